// The query reply decoder for every parameter id, including ids outside the
// table: whatever the TA answers, the decoder writes only the id's own
// fields, every text field keeps its terminator, a decoded text comes from
// the reply's value line, and the firmware version stays within 11
// characters.
#include "tests/fuzz/FuzzSupport.h"

#include "atcmd/ParamTable.h"
#include "atcmd/ReplyDecoder.h"
#include "profile/FieldList.h"

#include <cstring>
#include <vector>

namespace {

using namespace ta;

// Every text field full to the last byte before its terminator, bytes in
// between distinct, so that a stale tail or a lost terminator shows.
TaProfile fullRecord(uint8_t seed)
{
    TaProfile record;
    auto* bytes = reinterpret_cast<uint8_t*>(&record);
    for (std::size_t i = 0; i < kProfileSize; ++i)
        bytes[i] = uint8_t(0x80 | ((i + seed) & 0x7F));
    for (const auto& field : profileFields())
        if (field.kind == FieldKind::Text)
            bytes[field.offset + field.size - 1] = 0;
    return record;
}

struct Span {
    std::size_t offset = 0, size = 0;
    bool holds(std::size_t at) const { return at >= offset && at < offset + size; }
};

Span spanOf(const TaProfile& record, std::span<const char> field)
{
    if (field.empty())
        return {};
    return {std::size_t(field.data() - reinterpret_cast<const char*>(&record)), field.size()};
}

// A destination is one whole field of the record, never a piece of two.
void expectWholeField(const Span& span, int id)
{
    if (span.size == 0)
        return;
    for (const auto& field : profileFields())
        if (field.offset == span.offset && field.size == span.size)
            return;
    FUZZ_EXPECT(false, "id " + std::to_string(id) + " writes a span that is not one field");
}

std::string_view textIn(const TaProfile& record, const Span& span)
{
    const char* at = reinterpret_cast<const char*>(&record) + span.offset;
    return std::string_view(at, strnlen(at, span.size));
}

void expectTerminators(const TaProfile& record)
{
    const auto* bytes = reinterpret_cast<const char*>(&record);
    for (const auto& field : profileFields())
        if (field.kind == FieldKind::Text)
            FUZZ_EXPECT(std::memchr(bytes + field.offset, 0, field.size) != nullptr, field.name);
}

void expectOnlyDestinationChanged(const TaProfile& before, const TaProfile& after, const Span& main,
                                  const Span& sub, int id)
{
    const auto* was = reinterpret_cast<const uint8_t*>(&before);
    const auto* now = reinterpret_cast<const uint8_t*>(&after);
    for (std::size_t i = 0; i < kProfileSize; ++i)
        if (!main.holds(i) && !sub.holds(i))
            FUZZ_EXPECT(was[i] == now[i], "id " + std::to_string(id) + " changed byte " + std::to_string(i));
}

void expectFromValueLine(std::string_view text, std::string_view reply, int id)
{
    const std::string_view value = atcmd::valueLine(reply).value_or(std::string_view());
    FUZZ_EXPECT(value.find(text) != std::string_view::npos,
                "id " + std::to_string(id) + " stored text that is not in the value line");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput in(data, size);
    const int id = in.byte() % (atcmd::kMaxParamId + 5); // 0 and a few past the end too
    const TaProfile before = fullRecord(in.byte());
    const std::string_view reply = in.rest();

    TaProfile record = before;
    std::string firmware = "previous", chargeLast = "1", chargeAcc = "2";
    atcmd::DecodeTargets targets{record, firmware, chargeLast, chargeAcc};
    const bool decoded = atcmd::decodeReply(id, reply, targets);

    Span main, sub;
    int port = 0;
    const atcmd::Param* param = atcmd::paramById(id, &port);
    if (param) {
        main = spanOf(before, atcmd::fieldOf(before, *param, port));
        sub = spanOf(before, atcmd::subFieldOf(before, *param, port));
    }
    expectWholeField(main, id);
    expectWholeField(sub, id);
    expectTerminators(record);
    expectOnlyDestinationChanged(before, record, main, sub, id);
    FUZZ_EXPECT(firmware.size() <= atcmd::kFirmwareVersionMax, firmware);
    FUZZ_EXPECT(chargeLast.find('\n') == std::string::npos && chargeAcc.find('\n') == std::string::npos,
                "a charge text runs past its line");
    if (!decoded)
        FUZZ_EXPECT(std::memcmp(&before, &record, kProfileSize) == 0, "a failed conversion changed the record");
    if (param && (param->form == atcmd::Form::Text || param->form == atcmd::Form::Pair)) {
        expectFromValueLine(textIn(record, main), reply, id);
        expectFromValueLine(textIn(record, sub), reply, id);
    }
    if (id == 1)
        expectFromValueLine(firmware, reply, id);
    return 0;
}
