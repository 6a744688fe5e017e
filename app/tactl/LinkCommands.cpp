// The commands that talk to a TA: identify, query, submit and upgrade, each
// one sequence of the exchange machine run to its end.
#include "LinkSession.h"

#include "CliOptions.h"
#include "profile/ProfileFile.h"

#include <ostream>

namespace ta::tactl {
namespace {

const char* yesNo(bool on) { return on ? "yes" : "no"; }

// The failure message of a sequence has been printed already.
int sequenceFailed(LinkSession& session)
{
    session.hangUpIfRemote();
    return session.failureCode();
}

int runIdentify(const CommandLine& line, std::ostream& out, std::ostream& err)
{
    if (!line.operands().empty())
        return usageError(err, line, "unexpected argument '" + line.operands()[0] + "'");
    LinkSession session(linkOptionsFrom(line), err);
    session.link().requestIdentify();
    if (!session.runUntil([&] { return session.screen().identifyFinished(); }))
        return sequenceFailed(session);
    const auto& ctx = session.ctx();
    out << "port = " << session.portText() << '\n'
        << "taVariant = " << int(ctx.taVariant) << '\n'
        << "noPortPrefix = " << yesNo(ctx.noPortPrefix) << '\n'
        << "x25OnD = " << yesNo(ctx.switches.x25OnD) << '\n'
        << "sysDateTime = " << yesNo(ctx.switches.sysDateTime) << '\n';
    session.hangUpIfRemote();
    return kExitOk;
}

bool saveQueried(LinkSession& session, const std::string& path, std::ostream& out, std::ostream& err)
{
    const std::string error = writeProfile(path, session.ctx().workingProfile, out);
    if (!error.empty()) {
        err << "tactl: " << error << '\n';
        return false;
    }
    return true;
}

void printTaTexts(const link::AppContext& ctx, std::ostream& out)
{
    out << "firmwareVersion = " << ctx.firmwareVersion << '\n'
        << "lastCallCharge = " << ctx.chargeLast << '\n'
        << "accumulatedCharge = " << ctx.chargeAcc << '\n';
}

// Reads the TA into the working profile, from the fresh all-zero record.
bool queryTa(LinkSession& session)
{
    session.screen().actAsEditor(false);
    session.link().requestQuery();
    return session.runUntil([&] { return session.screen().queryFinished(); });
}

// With the profile on standard output, the TA's texts go to standard error.
int runQuery(const CommandLine& line, std::ostream& out, std::ostream& err)
{
    const LinkCliOptions options = linkOptionsFrom(line);
    if (options.output.empty() || !line.operands().empty())
        return usageError(err, line, "query needs -o FILE.CFG and nothing else");
    if (const std::string refusal = outputRefusal(options.output); !refusal.empty())
        return fail(err, refusal);
    LinkSession session(options, err);
    if (!queryTa(session))
        return sequenceFailed(session);
    const bool saved = saveQueried(session, options.output, out, err);
    printTaTexts(session.ctx(), isStdio(options.output) ? err : out);
    session.hangUpIfRemote();
    session.printStats(err);
    return saved ? kExitOk : kExitFailure;
}

bool loadInto(LinkSession& session, const std::string& path, std::ostream& err)
{
    std::string error;
    const auto profile = loadProfileOrError(path, error, &err);
    if (!profile) {
        err << "tactl: " << error << '\n';
        return false;
    }
    session.ctx().workingProfile = *profile;
    return true;
}

int runSubmit(const CommandLine& line, std::ostream&, std::ostream& err)
{
    if (line.operands().size() != 1)
        return usageError(err, line, "submit needs one profile file");
    LinkSession session(linkOptionsFrom(line), err);
    if (!loadInto(session, line.operands()[0], err))
        return kExitFailure;
    session.screen().actAsEditor(true);
    session.link().requestSubmit();
    if (!session.runUntil([&] { return session.screen().submitFinished(); }))
        return sequenceFailed(session);
    session.hangUpIfRemote();
    session.printStats(err);
    return kExitOk;
}

int runUpgrade(const CommandLine& line, std::ostream&, std::ostream& err)
{
    if (line.operands().size() != 1)
        return usageError(err, line, "upgrade needs one firmware file");
    const LinkCliOptions options = linkOptionsFrom(line);
    LinkSession session(options, err);
    if (!options.profile.empty()) {
        if (!loadInto(session, options.profile, err))
            return kExitFailure;
    } else if (!queryTa(session)) {
        // Without a profile the TA's own settings are written back after the upload.
        return sequenceFailed(session);
    }
    session.screen().actAsEditor(true);
    session.screen().resetOutcome();
    session.link().requestUpgrade(line.operands()[0]);
    if (!session.runUntil([&] { return session.screen().submitFinished(); }))
        return sequenceFailed(session);
    session.hangUpIfRemote();
    session.printStats(err);
    return kExitOk;
}

const CommandRegistrar identifyReg{
    {"identify", "", "find the TA on the serial ports and tell what it is", &runIdentify, {"link"}}};
const CommandRegistrar queryReg{
    {"query", "-o FILE.CFG", "read every setting of the TA into a profile file", &runQuery, {"link"}}};
const CommandRegistrar submitReg{{"submit", "FILE.CFG", "write a profile file to the TA", &runSubmit, {"link"}}};
const CommandRegistrar upgradeReg{{"upgrade", "FIRMWARE",
                                   "upload firmware, wait for the restart, then write the settings back",
                                   &runUpgrade, {"link"}}};

} // namespace
} // namespace ta::tactl
