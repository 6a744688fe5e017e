#include "profile/DefaultProfile.h"

#include <cstring>

namespace ta {
namespace {

// A default text is empty; only the first byte is written, so whatever
// followed an earlier terminator stays as it was.
template <std::size_t N>
void clearText(char (&field)[N])
{
    field[0] = '\0';
}

template <std::size_t Count, std::size_t N>
void clearTexts(char (&fields)[Count][N])
{
    for (auto& field : fields)
        clearText(field);
}

void defaultMultilink(DataPortSettings& port)
{
    port.maxThroughput = 0;
    port.mpAddThreshold = 35;
    port.mpDropThreshold = 25;
    port.mpPersistTime = 24;
    port.chap = 0;
    port.callBumping = 1;
    port.fixedMp = 0;
}

void defaultX25(DataPortSettings& port)
{
    clearText(port.x25SelfDn);
    port.x25FixedTei = 0;
    port.x25WindowSize = 2;
    port.x25PacketSize = 7;
    port.x25Lcgn = 0;
    port.x25LcnRange = 7;
    port.x25Lcn = 0;
    port.x25ReverseCharge = 0;
    port.x25DBit = 0;
}

void defaultScreening(DataPortSettings& port)
{
    clearTexts(port.inScreenDn);
    clearTexts(port.inScreenSub);
    port.inScreenMode = 0;
    clearTexts(port.outScreenDn);
    clearTexts(port.outScreenSub);
    port.outScreenMode = 0;
    clearTexts(port.preStoredDn);
    clearTexts(port.preStoredSub);
}

void defaultDataPort(DataPortSettings& port, bool x25OnD)
{
    clearText(port.dn);
    clearText(port.subAddr);
    port.clipClir = 1;
    port.callType = 8;
    defaultMultilink(port);
    if (x25OnD)
        defaultX25(port);
    port.dcdMode = 1;
    port.dtrMode = 2;
    port.flowControl = 3;
    port.dsrMode = 0;
    defaultScreening(port);
    port.autoAnswerRings = 0;
    port.waitForConnect = 60;
    port.portBaudRate = 17;
    port.portCharFormat = 0;
    port.resultCodeFormat = 0;
    port.extResultCode = 0;
}

void defaultVoiceScreening(TaProfile& p)
{
    clearTexts(p.vp1InScreenDn);
    clearTexts(p.vp1InScreenSub);
    clearTexts(p.vp2InScreenDn);
    clearTexts(p.vp2InScreenSub);
    clearTexts(p.vp1OutScreenDn);
    clearTexts(p.vp1OutScreenSub);
    clearTexts(p.vp2OutScreenDn);
    clearTexts(p.vp2OutScreenSub);
    clearTexts(p.voicePreStoredDn);
    clearTexts(p.voicePreStoredSub);
    p.vp1InScreenMode = 0;
    p.vp2InScreenMode = 0;
    p.vp1OutScreenMode = 0;
    p.vp2OutScreenMode = 0;
}

void defaultVoice(TaProfile& p)
{
    clearText(p.vp1Dn);
    clearText(p.vp1SubAddr);
    clearText(p.vp2Dn);
    clearText(p.vp2SubAddr);
    p.vp1ClipClir = 1;
    p.vp2ClipClir = 1;
    p.vp1DeviceType = 0;
    p.vp2DeviceType = 0;
    p.portPriority = 0;
    p.dialMethod = 0;
    defaultVoiceScreening(p);
    p.vp1CallWaiting = 1;
    p.vp2CallWaiting = 1;
}

} // namespace

void buildDefaultProfile(TaProfile& profile, bool x25OnD, bool sysDateTime)
{
    std::memcpy(profile.magic, kProfileMagic, sizeof profile.magic);
    profile.countryCode = 216;
    defaultDataPort(profile.dataPort1, x25OnD);
    profile.powerOnAssert = 0;
    profile.redialCount = 0;
    profile.x75TxFrameSize = 254;
    defaultDataPort(profile.dataPort2, x25OnD);
    defaultVoice(profile);
    if (sysDateTime) {
        setText(profile.sysDate, "03-01-2000");
        setText(profile.sysTime, "00:00:00");
        profile.sendDateTime = 1;
    }
}

} // namespace ta
