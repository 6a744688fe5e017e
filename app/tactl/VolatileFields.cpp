#include "VolatileFields.h"

#include <algorithm>

namespace ta::tactl {

bool isVolatile(std::string_view name)
{
    return std::find(kClockFields.begin(), kClockFields.end(), name) != kClockFields.end() ||
           name == kFirmwareVersion || name == kLastCallCharge || name == kAccumulatedCharge;
}

} // namespace ta::tactl
