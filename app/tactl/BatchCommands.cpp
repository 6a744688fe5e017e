#include <ostream>

#include "CliOptions.h"
#include "CommandTable.h"
#include "atcmd/QueryList.h"
#include "atcmd/SubmitBatch.h"

namespace ta::tactl {
namespace {

int runBatch(Args args, std::ostream& out, std::ostream& err)
{
    std::string error;
    const auto parsed = parseLinkArgs(args, true, error);
    if (!parsed)
        return fail(err, error + std::string(" (usage: batch FILE.CFG ") + kLinkOptionsUsage + ")", kExitUsage);
    const auto profile = loadProfileOrError(parsed->file, error, &err);
    if (!profile)
        return fail(err, error);
    for (const std::string& command : atcmd::buildSubmitBatch(*profile, parsed->options))
        out << command << '\n';
    return kExitOk;
}

int runQueryList(Args args, std::ostream& out, std::ostream& err)
{
    std::string error;
    const auto parsed = parseLinkArgs(args, false, error);
    if (!parsed)
        return fail(err, error + std::string(" (usage: querylist ") + kLinkOptionsUsage + ")", kExitUsage);
    for (const atcmd::QueryEntry& entry : atcmd::buildQueryList(parsed->options)) {
        out << entry.id;
        if (!entry.key.empty())
            out << ' ' << entry.key;
        out << '\n';
    }
    return kExitOk;
}

const CommandRegistrar batchReg{{"batch", std::string("batch FILE.CFG ") + kLinkOptionsUsage,
                                 "print the AT assignments that submit a profile file, one per line", &runBatch}};

const CommandRegistrar queryReg{{"querylist", std::string("querylist ") + kLinkOptionsUsage,
                                 "print the query list as 'id key' lines", &runQueryList}};

} // namespace
} // namespace ta::tactl
