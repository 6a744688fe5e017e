#include "profile/FieldList.h"

#include <cstddef>
#include <string_view>
#include <type_traits>

namespace ta {
namespace {

// What a field takes when it is edited: a range of numbers, a code table or
// a kind of text.
struct Rule {
    uint16_t min = 0, max = 0;
    TextForm form = TextForm::Any;
    std::span<const CodeItem> (*codes)() = nullptr;
};

constexpr Rule range(uint16_t min, uint16_t max) { return {min, max}; }
constexpr Rule kFlag = range(0, 1);
constexpr Rule kAnyByte = range(0, 255);
constexpr Rule kPhone{0, 0, TextForm::Phone};
constexpr Rule coded(std::span<const CodeItem> (*codes)()) { return {0, 0, TextForm::Any, codes}; }

struct Member {
    const char* name;
    std::size_t offset;
    std::size_t size;  // of one entry
    std::size_t count; // entries of a list field, else 1
    FieldKind kind;
    Rule rule;
};

template <typename T>
constexpr Member member(const char* name, std::size_t offset, Rule rule)
{
    if constexpr (std::is_same_v<T, uint8_t>)
        return {name, offset, 1, 1, FieldKind::Byte, rule};
    else if constexpr (std::is_same_v<T, LeU16>)
        return {name, offset, 2, 1, FieldKind::Word, rule};
    else if constexpr (std::rank_v<T> == 1)
        return {name, offset, sizeof(T), 1, FieldKind::Text, rule};
    else
        return {name, offset, sizeof(std::remove_extent_t<T>), std::extent_v<T>, FieldKind::Text, rule};
}

#define PORT(f, rule) member<decltype(DataPortSettings::f)>(#f, offsetof(DataPortSettings, f), rule)
#define REC(f, rule) member<decltype(TaProfile::f)>(#f, offsetof(TaProfile, f), rule)

const Member kPortMembers[] = {
    PORT(dn, kPhone), PORT(subAddr, kPhone), PORT(clipClir, kFlag), PORT(callType, coded(callTypeItems)),
    PORT(maxThroughput, kFlag), PORT(mpAddThreshold, range(0, 64)), PORT(mpDropThreshold, range(0, 64)),
    PORT(mpPersistTime, range(1, 255)), PORT(chap, kFlag), PORT(callBumping, kFlag), PORT(fixedMp, kFlag),
    PORT(x25SelfDn, kPhone), PORT(x25FixedTei, range(0, 63)), PORT(x25WindowSize, range(1, 7)),
    PORT(x25PacketSize, coded(packetSizeItems)), PORT(x25Lcgn, range(0, 15)), PORT(x25LcnRange, range(1, 255)),
    PORT(x25Lcn, kAnyByte), PORT(x25ReverseCharge, kFlag), PORT(x25DBit, kFlag), PORT(dcdMode, kFlag),
    PORT(dtrMode, range(0, 2)), PORT(flowControl, coded(flowControlItems)), PORT(dsrMode, kFlag),
    PORT(inScreenDn, kPhone), PORT(inScreenSub, kPhone), PORT(inScreenMode, range(0, 3)),
    PORT(outScreenDn, kPhone), PORT(outScreenSub, kPhone), PORT(outScreenMode, range(0, 3)),
    PORT(preStoredDn, kPhone), PORT(preStoredSub, kPhone), PORT(autoAnswerRings, kAnyByte),
    PORT(waitForConnect, range(1, 255)), PORT(portBaudRate, coded(baudRateItems)), PORT(portCharFormat, range(0, 2)),
    PORT(resultCodeFormat, kFlag), PORT(extResultCode, range(0, 4)),
};

const Member kHeadMembers[] = {
    REC(magic, (Rule{0, 0, TextForm::Fixed})), REC(reserved9, kAnyByte), REC(countryCode, coded(countryCodeItems)),
};
const Member kMiddleMembers[] = {
    REC(powerOnAssert, kFlag), REC(redialCount, range(0, 10)), REC(reserved831, kAnyByte),
    REC(x75TxFrameSize, range(128, 2048)),
};

const Member kVoiceMembers[] = {
    REC(vp1Dn, kPhone), REC(vp2Dn, kPhone), REC(vp1SubAddr, kPhone), REC(vp2SubAddr, kPhone),
    REC(vp1ClipClir, kFlag), REC(vp2ClipClir, kFlag), REC(vp1DeviceType, coded(deviceTypeItems)),
    REC(vp2DeviceType, coded(deviceTypeItems)), REC(portPriority, range(0, 2)), REC(dialMethod, kFlag),
    REC(vp1InScreenDn, kPhone), REC(vp2InScreenDn, kPhone), REC(vp1InScreenSub, kPhone),
    REC(vp2InScreenSub, kPhone), REC(vp1InScreenMode, range(0, 3)), REC(vp2InScreenMode, range(0, 3)),
    REC(vp1OutScreenDn, kPhone), REC(vp2OutScreenDn, kPhone), REC(vp1OutScreenSub, kPhone),
    REC(vp2OutScreenSub, kPhone), REC(vp1OutScreenMode, range(0, 3)), REC(vp2OutScreenMode, range(0, 3)),
    REC(voicePreStoredDn, kPhone), REC(voicePreStoredSub, kPhone), REC(vp1CallWaiting, kFlag),
    REC(vp2CallWaiting, kFlag), REC(reserved2906, kAnyByte), REC(sysDate, (Rule{0, 0, TextForm::Date})),
    REC(sysTime, (Rule{0, 0, TextForm::Time})), REC(sendDateTime, kFlag),
};

#undef PORT
#undef REC

void append(std::vector<FieldInfo>& out, std::span<const Member> members, const std::string& prefix,
            std::size_t base)
{
    for (const Member& m : members) {
        for (std::size_t i = 0; i < m.count; ++i) {
            std::string name = prefix + m.name;
            if (m.count > 1)
                name += "[" + std::to_string(i) + "]";
            const auto codes = m.rule.codes ? m.rule.codes() : std::span<const CodeItem>{};
            out.push_back({name, uint16_t(base + m.offset + i * m.size), uint16_t(m.size), m.kind, codes,
                           m.rule.min, m.rule.max, m.rule.form});
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
    // The USB port's list of extended result codes lacks the RS232 port's last item.
    for (FieldInfo& field : fields)
        if (field.name == "dataPort2.extResultCode")
            field.max = 3;
    return fields;
}

} // namespace

const std::vector<FieldInfo>& profileFields()
{
    static const std::vector<FieldInfo> fields = listFields();
    return fields;
}

const FieldInfo* findField(std::string_view name)
{
    for (const FieldInfo& field : profileFields())
        if (field.name == name)
            return &field;
    return nullptr;
}

} // namespace ta
