#include "atcmd/QueryList.h"

#include "atcmd/ParamTable.h"

namespace ta::atcmd {
namespace {

constexpr int kPort1Select = 3, kPort1End = 47, kPort2Select = 51, kPort2End = 95;
constexpr int kFirstVoiceId = 96;

void add(std::vector<QueryEntry>& list, int id, const Options& options, int port = 0)
{
    const Param* param = paramById(id);
    list.push_back({keyOnPort(*param, port, options.noPortPrefix), idOnPort(*param, port)});
}

// Port selection only means something to a remote TA without port prefixes;
// elsewhere the entry keeps its place as an empty line.
void addPortSelect(std::vector<QueryEntry>& list, int id, const Options& options)
{
    const bool framed = options.noPortPrefix && options.remote;
    list.push_back({framed ? paramById(id)->key : "", id});
}

void addPortBlock(std::vector<QueryEntry>& list, int port, const Options& options)
{
    addPortSelect(list, port == 1 ? kPort1Select : kPort2Select, options);
    for (const Param& param : paramTable()) {
        if (param.scope != Scope::DataPort || (param.isX25() && !options.x25OnD))
            continue;
        add(list, param.id, options, port);
    }
    addPortSelect(list, port == 1 ? kPort1End : kPort2End, options);
}

bool devicePartQueried(const Options& options) { return !options.noPortPrefix && options.countryOption; }

} // namespace

std::vector<QueryEntry> buildQueryList(const Options& options)
{
    std::vector<QueryEntry> list;
    if (devicePartQueried(options)) {
        add(list, 1, options);
        add(list, 2, options);
    }
    if (options.taVariant & 1) {
        addPortBlock(list, 1, options);
        if (devicePartQueried(options))
            for (int id : {48, 49, 50})
                add(list, id, options);
    }
    if (options.taVariant & 2)
        addPortBlock(list, 2, options);
    for (const Param& param : paramTable()) {
        if (param.id < kFirstVoiceId || (param.isDateTime() && !options.sysDateTime))
            continue;
        add(list, param.id, options);
    }
    return list;
}

bool isPlainCommandId(int id)
{
    return id == 1 || id == kPort1Select || id == kPort1End || id == kPort2Select || id == kPort2End;
}

std::string queryBody(const QueryEntry& entry)
{
    return isPlainCommandId(entry.id) ? entry.key : entry.key + "?";
}

} // namespace ta::atcmd
