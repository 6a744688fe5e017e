#include "atcmd/ChangeBatch.h"

#include "atcmd/ParamTable.h"

#include <algorithm>

namespace ta::atcmd {
namespace {

constexpr char kPortEnd[] = "$P3=0";

bool isStore(const BatchEntry& entry) { return !entry.param && entry.command.ends_with(kStoreKey); }

// The stretch of the batch each command belongs to: a port's block up to its
// store command (and the port's end after it), then the next; what follows
// the last store command is a stretch of its own.
std::vector<int> stretches(const std::vector<BatchEntry>& batch)
{
    std::vector<int> stretchOf(batch.size());
    int stretch = 0;
    for (std::size_t i = 0; i < batch.size(); ++i) {
        stretchOf[i] = stretch;
        const bool endFollows = i + 1 < batch.size() && batch[i + 1].command == kPortEnd;
        if ((isStore(batch[i]) && !endFollows) || batch[i].command == kPortEnd)
            ++stretch;
    }
    return stretchOf;
}

bool carriesDifference(const TaProfile& wanted, const BatchEntry& entry, const std::vector<Difference>& differences)
{
    if (!entry.param)
        return false;
    const auto* record = reinterpret_cast<const char*>(&wanted);
    for (const auto bytes : {fieldOf(wanted, *entry.param, entry.port), subFieldOf(wanted, *entry.param, entry.port)}) {
        if (bytes.empty())
            continue;
        const auto offset = std::size_t(bytes.data() - record);
        if (std::any_of(differences.begin(), differences.end(),
                        [&](const Difference& difference) { return difference.offset == offset; }))
            return true;
    }
    return false;
}

bool isX25OnPort(const BatchEntry& entry, int port) { return entry.param && entry.param->isX25() && entry.port == port; }

} // namespace

std::vector<BatchEntry> changeBatch(const TaProfile& wanted, const Options& options,
                                    const std::vector<Difference>& differences)
{
    std::vector<BatchEntry> batch = buildSubmitEntries(wanted, options);
    std::vector<bool> keep(batch.size());
    for (std::size_t i = 0; i < batch.size(); ++i)
        keep[i] = carriesDifference(wanted, batch[i], differences);
    for (int port : {1, 2}) {
        const auto inRun = [&](std::size_t i) { return isX25OnPort(batch[i], port); };
        bool runChanges = false;
        for (std::size_t i = 0; i < batch.size(); ++i)
            runChanges = runChanges || (keep[i] && inRun(i));
        for (std::size_t i = 0; i < batch.size(); ++i)
            keep[i] = keep[i] || (runChanges && inRun(i));
    }
    const std::vector<int> stretchOf = stretches(batch);
    std::vector<bool> stretchChanges(batch.size() + 1);
    for (std::size_t i = 0; i < batch.size(); ++i)
        if (keep[i])
            stretchChanges[std::size_t(stretchOf[i])] = true;
    std::vector<BatchEntry> cut;
    for (std::size_t i = 0; i < batch.size(); ++i) {
        const bool framing = !batch[i].param && stretchChanges[std::size_t(stretchOf[i])];
        if (keep[i] || framing)
            cut.push_back(std::move(batch[i]));
    }
    return cut;
}

} // namespace ta::atcmd
