#include "atcmd/WriteCheck.h"

#include "atcmd/ParamTable.h"
#include "atcmd/ReplyDecoder.h"
#include "atcmd/SubmitBatch.h"
#include "profile/FieldValue.h"

#include <algorithm>

namespace ta::atcmd {
namespace {

bool compared(const BatchEntry& entry)
{
    const Param* param = entry.param;
    return param && param->size != 0 && param->form != Form::Date && param->form != Form::Time;
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

} // namespace

std::vector<Difference> differencesAfterWrite(const TaProfile& written, const Options& options,
                                              const TaProfile& readBack)
{
    std::vector<Difference> differences;
    TaProfile expected = readBack;
    const TaProfile& sent = expected;
    for (const BatchEntry& entry : buildSubmitEntries(written, options)) {
        if (!compared(entry))
            continue;
        takeAsSent(expected, entry);
        const Param& param = *entry.param;
        for (const auto bytes : {fieldOf(sent, param, entry.port), subFieldOf(sent, param, entry.port)}) {
            const FieldInfo* field = fieldAt(sent, bytes);
            if (!field)
                continue;
            std::string sentText = shownValue(sent, *field), taText = shownValue(readBack, *field);
            if (sentText != taText)
                differences.push_back({field->name, std::move(sentText), std::move(taText), field->offset,
                                       bytesOf(sent, *field), bytesOf(readBack, *field)});
        }
    }
    return differences;
}

std::vector<BatchEntry> entriesToWriteAgain(const TaProfile& written, const Options& options,
                                            const TaProfile& readBack)
{
    std::vector<std::size_t> differing;
    for (const Difference& difference : differencesAfterWrite(written, options, readBack))
        differing.push_back(difference.offset);
    if (differing.empty())
        return {};
    const auto record = reinterpret_cast<const char*>(&written);
    const auto differs = [&](std::span<const char> bytes) {
        return !bytes.empty() && std::find(differing.begin(), differing.end(), std::size_t(bytes.data() - record)) !=
                                     differing.end();
    };
    Options once = options;
    once.clearLastCharge = false;
    once.clearAccCharge = false;
    std::vector<BatchEntry> entries;
    for (BatchEntry& entry : buildSubmitEntries(written, once)) {
        const bool again = !entry.param || differs(fieldOf(written, *entry.param, entry.port)) ||
                           differs(subFieldOf(written, *entry.param, entry.port));
        if (again)
            entries.push_back(std::move(entry));
    }
    return entries;
}

std::string differenceLine(const Difference& difference)
{
    return difference.field + ": " + difference.sent + " -> " + difference.taHas;
}

} // namespace ta::atcmd
