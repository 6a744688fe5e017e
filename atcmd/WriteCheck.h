// What the TA holds after a submit, against what the batch wrote.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "atcmd/Options.h"
#include "atcmd/SubmitBatch.h"
#include "profile/TaProfile.h"

namespace ta::atcmd {

// A value the TA holds other than the one written, the field named and both
// values printed as tactl show prints them.
struct Difference {
    std::string field; // "dataPort1.callType"
    std::string sent;  // "8 (PPP)"
    std::string taHas;
    // Where the field lies in the record, and its bytes in either record, for
    // a screen that shows values in a form of its own.
    std::size_t offset = 0;
    std::string sentBytes;
    std::string taBytes;
};

// Every field the batch for this profile and these options assigns, where
// the record read back from the TA after the write holds another value. The
// TA's date and time are left out: its clock runs on. Values are compared as
// a query reads them back, so what a reply cannot carry (blanks around a
// text) does not count as a difference.
std::vector<Difference> differencesAfterWrite(const TaProfile& written, const Options& options,
                                              const TaProfile& readBack);

// The commands that write again what the TA holds otherwise than the batch
// for this profile and these options assigns: the assignments of each such
// field in batch order, with the port selection and the store commands of
// the batch around them, so that what goes out again is stored as the first
// write was; nothing when the TA holds every value. The charges are not
// cleared a second time.
std::vector<BatchEntry> entriesToWriteAgain(const TaProfile& written, const Options& options,
                                            const TaProfile& readBack);

// "name: sent -> TA has"
std::string differenceLine(const Difference& difference);

} // namespace ta::atcmd
