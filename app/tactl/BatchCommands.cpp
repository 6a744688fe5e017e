#include <ostream>

#include "CliOptions.h"
#include "atcmd/QueryList.h"
#include "atcmd/SubmitBatch.h"

namespace ta::tactl {
namespace {

int runBatch(const CommandLine& line, std::ostream& out, std::ostream& err)
{
    if (line.operands().size() != 1)
        return usageError(err, line, "batch needs one profile file");
    const auto profile = readProfile(line.operands()[0], &err);
    if (!profile)
        return fail(err, profile.error());
    for (const std::string& command : atcmd::buildSubmitBatch(*profile, listOptionsFrom(line)))
        out << command << '\n';
    return kExitOk;
}

int runQueryList(const CommandLine& line, std::ostream& out, std::ostream& err)
{
    if (!line.operands().empty())
        return usageError(err, line, "unexpected argument '" + line.operands()[0] + "'");
    for (const atcmd::QueryEntry& entry : atcmd::buildQueryList(listOptionsFrom(line))) {
        out << entry.id;
        if (!entry.key.empty())
            out << ' ' << entry.key;
        out << '\n';
    }
    return kExitOk;
}

const CommandRegistrar batchReg{{"batch", "FILE.CFG", "print the AT assignments that submit a profile file, one per line",
                                 &runBatch, {"lists"}}};

const CommandRegistrar queryReg{{"querylist", "", "print the query list as 'id key' lines", &runQueryList, {"lists"}}};

} // namespace
} // namespace ta::tactl
