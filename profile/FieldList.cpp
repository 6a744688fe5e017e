#include "profile/FieldList.h"

#include <cstddef>
#include <string_view>
#include <type_traits>

namespace ta {
namespace {

struct Member {
    const char* name;
    std::size_t offset;
    std::size_t size;  // of one entry
    std::size_t count; // entries of a list field, else 1
    FieldKind kind;
};

template <typename T>
constexpr Member member(const char* name, std::size_t offset)
{
    if constexpr (std::is_same_v<T, uint8_t>)
        return {name, offset, 1, 1, FieldKind::Byte};
    else if constexpr (std::is_same_v<T, LeU16>)
        return {name, offset, 2, 1, FieldKind::Word};
    else if constexpr (std::rank_v<T> == 1)
        return {name, offset, sizeof(T), 1, FieldKind::Text};
    else
        return {name, offset, sizeof(std::remove_extent_t<T>), std::extent_v<T>, FieldKind::Text};
}

#define PORT(f) member<decltype(DataPortSettings::f)>(#f, offsetof(DataPortSettings, f))
#define REC(f) member<decltype(TaProfile::f)>(#f, offsetof(TaProfile, f))

const Member kPortMembers[] = {
    PORT(dn), PORT(subAddr), PORT(clipClir), PORT(callType), PORT(maxThroughput), PORT(mpAddThreshold),
    PORT(mpDropThreshold), PORT(mpPersistTime), PORT(chap), PORT(callBumping), PORT(fixedMp),
    PORT(x25SelfDn), PORT(x25FixedTei), PORT(x25WindowSize), PORT(x25PacketSize), PORT(x25Lcgn),
    PORT(x25LcnRange), PORT(x25Lcn), PORT(x25ReverseCharge), PORT(x25DBit), PORT(dcdMode), PORT(dtrMode),
    PORT(flowControl), PORT(dsrMode), PORT(inScreenDn), PORT(inScreenSub), PORT(inScreenMode),
    PORT(outScreenDn), PORT(outScreenSub), PORT(outScreenMode), PORT(preStoredDn), PORT(preStoredSub),
    PORT(autoAnswerRings), PORT(waitForConnect), PORT(portBaudRate), PORT(portCharFormat),
    PORT(resultCodeFormat), PORT(extResultCode),
};

const Member kHeadMembers[] = {REC(magic), REC(reserved9), REC(countryCode)};
const Member kMiddleMembers[] = {REC(powerOnAssert), REC(redialCount), REC(reserved831), REC(x75TxFrameSize)};

const Member kVoiceMembers[] = {
    REC(vp1Dn), REC(vp2Dn), REC(vp1SubAddr), REC(vp2SubAddr), REC(vp1ClipClir), REC(vp2ClipClir),
    REC(vp1DeviceType), REC(vp2DeviceType), REC(portPriority), REC(dialMethod), REC(vp1InScreenDn),
    REC(vp2InScreenDn), REC(vp1InScreenSub), REC(vp2InScreenSub), REC(vp1InScreenMode), REC(vp2InScreenMode),
    REC(vp1OutScreenDn), REC(vp2OutScreenDn), REC(vp1OutScreenSub), REC(vp2OutScreenSub),
    REC(vp1OutScreenMode), REC(vp2OutScreenMode), REC(voicePreStoredDn), REC(voicePreStoredSub),
    REC(vp1CallWaiting), REC(vp2CallWaiting), REC(reserved2906), REC(sysDate), REC(sysTime), REC(sendDateTime),
};

#undef PORT
#undef REC

std::span<const CodeItem> codesOf(std::string_view name)
{
    if (name == "countryCode")
        return countryCodeItems();
    if (name == "callType")
        return callTypeItems();
    if (name == "flowControl")
        return flowControlItems();
    if (name == "portBaudRate")
        return baudRateItems();
    return {};
}

void append(std::vector<FieldInfo>& out, std::span<const Member> members, const std::string& prefix,
            std::size_t base)
{
    for (const Member& m : members) {
        for (std::size_t i = 0; i < m.count; ++i) {
            std::string name = prefix + m.name;
            if (m.count > 1)
                name += "[" + std::to_string(i) + "]";
            out.push_back({name, uint16_t(base + m.offset + i * m.size), uint16_t(m.size), m.kind, codesOf(m.name)});
        }
    }
}

std::vector<FieldInfo> listFields()
{
    std::vector<FieldInfo> fields;
    append(fields, kHeadMembers, "", 0);
    append(fields, kPortMembers, "dataPort1.", offsetof(TaProfile, dataPort1));
    append(fields, kMiddleMembers, "", 0);
    append(fields, kPortMembers, "dataPort2.", offsetof(TaProfile, dataPort2));
    append(fields, kVoiceMembers, "", 0);
    return fields;
}

} // namespace

const std::vector<FieldInfo>& profileFields()
{
    static const std::vector<FieldInfo> fields = listFields();
    return fields;
}

} // namespace ta
