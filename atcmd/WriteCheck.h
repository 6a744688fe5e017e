// What the TA holds after a submit, against what the batch wrote.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "atcmd/Options.h"
#include "profile/FieldList.h"
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

// What a write of `wanted` would change on a TA that holds `ta` (as a query
// read it): every field the batch for this profile and these options
// assigns whose value the TA holds otherwise, with sent the wanted value and
// taHas the TA's, in record order. The TA's date and time count only with
// compareClock, as they run on by themselves.
std::vector<Difference> differencesToWrite(const TaProfile& wanted, const Options& options, const TaProfile& ta,
                                           bool compareClock);

// A field asked for that a submit of the profile would not leave on the TA
// as the profile holds it: the batch never assigns it under these options,
// or assigns another value (fixed multilink sends thresholds of its own).
struct UnwrittenField {
    const FieldInfo* field = nullptr;
    bool assigned = false; // the batch assigns it, with another value
    std::string readBack;  // what a query would read back after the submit
};
std::vector<UnwrittenField> fieldsNotWritten(const TaProfile& wanted, const Options& options,
                                             const std::vector<const FieldInfo*>& asked);

// "name: sent -> TA has"
std::string differenceLine(const Difference& difference);

} // namespace ta::atcmd
