#include "atcmd/WriteCheck.h"

#include "atcmd/ParamTable.h"
#include "atcmd/ReplyDecoder.h"
#include "atcmd/SubmitBatch.h"
#include "profile/FieldValue.h"

#include <algorithm>

namespace ta::atcmd {
namespace {

bool isClock(const Param& param) { return param.form == Form::Date || param.form == Form::Time; }

bool compared(const BatchEntry& entry, bool compareClock)
{
    const Param* param = entry.param;
    return param && param->size != 0 && (compareClock || !isClock(*param));
}

// What a query reads back from a TA that took the value exactly as sent.
void takeAsSent(TaProfile& profile, const BatchEntry& entry)
{
    std::string firmwareVersion, chargeLast, chargeAcc;
    DecodeTargets targets{profile, firmwareVersion, chargeLast, chargeAcc};
    decodeReply(idOnPort(*entry.param, entry.port), "\n" + entry.value + "\nOK\n", targets);
}

const FieldInfo* fieldAt(const TaProfile& profile, std::span<const char> bytes)
{
    if (bytes.empty())
        return nullptr;
    const auto offset = std::size_t(bytes.data() - reinterpret_cast<const char*>(&profile));
    for (const FieldInfo& field : profileFields())
        if (field.offset == offset)
            return &field;
    return nullptr;
}

std::string bytesOf(const TaProfile& profile, const FieldInfo& field)
{
    return std::string(reinterpret_cast<const char*>(&profile) + field.offset, field.size);
}

// Each assignment of the batch taken into a copy of what the TA holds, as a
// query would read it back; the fields it carries are compared as shown.
std::vector<Difference> differencesOfBatch(const TaProfile& written, const Options& options, const TaProfile& ta,
                                           bool compareClock)
{
    std::vector<Difference> differences;
    TaProfile expected = ta;
    const TaProfile& sent = expected;
    for (const BatchEntry& entry : buildSubmitEntries(written, options)) {
        if (!compared(entry, compareClock))
            continue;
        takeAsSent(expected, entry);
        const Param& param = *entry.param;
        for (const auto bytes : {fieldOf(sent, param, entry.port), subFieldOf(sent, param, entry.port)}) {
            const FieldInfo* field = fieldAt(sent, bytes);
            if (!field)
                continue;
            std::string sentText = shownValue(sent, *field), taText = shownValue(ta, *field);
            if (sentText != taText)
                differences.push_back({field->name, std::move(sentText), std::move(taText), field->offset,
                                       bytesOf(sent, *field), bytesOf(ta, *field)});
        }
    }
    return differences;
}

} // namespace

std::vector<Difference> differencesAfterWrite(const TaProfile& written, const Options& options,
                                              const TaProfile& readBack)
{
    return differencesOfBatch(written, options, readBack, false);
}

std::string differenceLine(const Difference& difference)
{
    return difference.field + ": " + difference.sent + " -> " + difference.taHas;
}

std::vector<Difference> differencesToWrite(const TaProfile& wanted, const Options& options, const TaProfile& ta,
                                           bool compareClock)
{
    std::vector<Difference> differences = differencesOfBatch(wanted, options, ta, compareClock);
    std::stable_sort(differences.begin(), differences.end(),
                     [](const Difference& a, const Difference& b) { return a.offset < b.offset; });
    return differences;
}

// What a TA that took the whole batch reads back, from a record in which
// every field asked for held something else before: a field left so was not
// written as asked. The fixed-multilink flags are derived as a query does.
std::vector<UnwrittenField> fieldsNotWritten(const TaProfile& wanted, const Options& options,
                                             const std::vector<const FieldInfo*>& asked)
{
    TaProfile taken = wanted;
    auto* bytes = reinterpret_cast<unsigned char*>(&taken);
    for (const FieldInfo* field : asked)
        for (std::size_t i = field->offset; i < std::size_t(field->offset) + field->size; ++i)
            bytes[i] = static_cast<unsigned char>(~bytes[i]);
    std::vector<std::size_t> assigned;
    for (const BatchEntry& entry : buildSubmitEntries(wanted, options)) {
        if (!compared(entry, true))
            continue;
        takeAsSent(taken, entry);
        for (const auto field : {fieldOf(taken, *entry.param, entry.port), subFieldOf(taken, *entry.param, entry.port)})
            if (!field.empty())
                assigned.push_back(std::size_t(field.data() - reinterpret_cast<const char*>(&taken)));
    }
    deriveFixedMp(taken);
    std::vector<UnwrittenField> unwritten;
    for (const FieldInfo* field : asked) {
        std::string readBack = shownValue(taken, *field);
        if (readBack != shownValue(wanted, *field))
            unwritten.push_back({field, std::find(assigned.begin(), assigned.end(), field->offset) != assigned.end(),
                                 std::move(readBack)});
    }
    return unwritten;
}

} // namespace ta::atcmd
