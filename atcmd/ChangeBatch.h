// The part of a submit's batch that changes what a TA holds: only the
// assignments of the fields that differ, with every command the batch needs
// around them, so that one short write brings the TA to the wanted settings.
#pragma once

#include "atcmd/SubmitBatch.h"
#include "atcmd/WriteCheck.h"

#include <vector>

namespace ta::atcmd {

// The batch for `wanted` cut down to the assignments that carry a field
// named in `differences` (from differencesToWrite), in the batch's order.
// Kept with them: a port's selection and its end (a remote TA without port
// prefixes), and the store command of each stretch of the batch that holds
// one of them; a port's X.25 run whole, since a TA without X.25 makes the
// submit skip the run as one block. Nothing when nothing differs.
std::vector<BatchEntry> changeBatch(const TaProfile& wanted, const Options& options,
                                    const std::vector<Difference>& differences);

} // namespace ta::atcmd
