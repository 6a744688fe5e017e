#include "profile/TaProfile.h"

namespace ta {
namespace {

void deriveFixedMp(DataPortSettings& port)
{
    const bool fixed = port.maxThroughput == 1 && port.mpAddThreshold == 0 && port.mpDropThreshold == 0;
    port.fixedMp = fixed ? 1 : 0;
}

} // namespace

void deriveFixedMp(TaProfile& profile)
{
    deriveFixedMp(profile.dataPort1);
    deriveFixedMp(profile.dataPort2);
}

} // namespace ta
