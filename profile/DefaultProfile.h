// Factory settings of the TA.
#pragma once

#include "profile/TaProfile.h"

namespace ta {

// Writes the factory settings into the record in place. Only the settings the
// TA has defaults for are written: the X.25 fields only with x25OnD, the date,
// time and caller-ID date flag only with sysDateTime; reserved bytes, the
// fields of switched-off features and bytes after a text's terminator keep
// what they held. Fixed-MP is not derived (the defaults are consistent).
void buildDefaultProfile(TaProfile& profile, bool x25OnD, bool sysDateTime);

} // namespace ta
