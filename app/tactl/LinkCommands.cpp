// The commands that talk to a TA: identify, query, submit and upgrade, each
// one sequence of the exchange machine run to its end.
#include "LinkSession.h"

#include "CliOptions.h"
#include "profile/ProfileFile.h"

#include <ostream>

namespace ta::tactl {
namespace {

const char* yesNo(bool on) { return on ? "yes" : "no"; }

int usageError(std::ostream& err, const std::string& error, const std::string& usage)
{
    return fail(err, error + " (usage: " + usage + ")", kExitUsage);
}

// The failure message of a sequence has been printed already.
int sequenceFailed(LinkSession& session)
{
    session.hangUpIfRemote();
    return kExitFailure;
}

int runIdentify(Args args, std::ostream& out, std::ostream& err)
{
    const std::string usage = std::string("identify ") + kLinkCliUsage;
    std::string error;
    const auto options = parseLinkCli(args, error);
    if (!options || !options->positional.empty())
        return usageError(err, options ? "unexpected argument " + options->positional[0] : error, usage);
    LinkSession session(*options, err);
    bool identified = false;
    session.link().setSessionReadyHook([&] { identified = true; });
    session.link().startQueryFromWizard();
    if (!session.runUntil([&] { return identified; }))
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

bool saveQueried(LinkSession& session, const std::string& path, std::ostream& err)
{
    const std::string error = saveProfileFile(path, session.ctx().workingProfile);
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
    session.link().startQueryFromWizard();
    return session.runUntil([&] { return session.screen().queryFinished(); });
}

int runQuery(Args args, std::ostream& out, std::ostream& err)
{
    const std::string usage = std::string("query -o FILE.CFG ") + kLinkCliUsage;
    std::string error;
    const auto options = parseLinkCli(args, error);
    if (!options)
        return usageError(err, error, usage);
    if (options->output.empty() || !options->positional.empty())
        return usageError(err, "query needs -o FILE.CFG and nothing else", usage);
    LinkSession session(*options, err);
    if (!queryTa(session))
        return sequenceFailed(session);
    const bool saved = saveQueried(session, options->output, err);
    printTaTexts(session.ctx(), out);
    session.hangUpIfRemote();
    session.printStats(err);
    return saved ? kExitOk : kExitFailure;
}

bool loadInto(LinkSession& session, const std::string& path, std::ostream& err)
{
    std::string error;
    const auto profile = loadProfileOrError(path, error);
    if (!profile) {
        err << "tactl: " << error << '\n';
        return false;
    }
    session.ctx().workingProfile = *profile;
    return true;
}

int runSubmit(Args args, std::ostream&, std::ostream& err)
{
    const std::string usage =
        std::string("submit FILE.CFG [--clear-last-charge] [--clear-acc-charge] ") + kLinkCliUsage;
    std::string error;
    const auto options = parseLinkCli(args, error);
    if (!options)
        return usageError(err, error, usage);
    if (options->positional.size() != 1)
        return usageError(err, "submit needs one profile file", usage);
    LinkSession session(*options, err);
    if (!loadInto(session, options->positional[0], err))
        return kExitFailure;
    session.screen().actAsEditor(true);
    session.link().tbSubmitClick();
    if (!session.runUntil([&] { return session.screen().submitFinished(); }))
        return sequenceFailed(session);
    session.hangUpIfRemote();
    session.printStats(err);
    return kExitOk;
}

int runUpgrade(Args args, std::ostream&, std::ostream& err)
{
    const std::string usage = std::string("upgrade FIRMWARE [--profile FILE.CFG] ") + kLinkCliUsage;
    std::string error;
    const auto options = parseLinkCli(args, error);
    if (!options)
        return usageError(err, error, usage);
    if (options->positional.size() != 1)
        return usageError(err, "upgrade needs one firmware file", usage);
    LinkSession session(*options, err);
    if (!options->profile.empty()) {
        if (!loadInto(session, options->profile, err))
            return kExitFailure;
    } else if (!queryTa(session)) {
        // Without a profile the TA's own settings are written back after the upload.
        return sequenceFailed(session);
    }
    session.screen().actAsEditor(true);
    session.screen().resetOutcome();
    session.link().tbUpgradeClick(options->positional[0]);
    if (!session.runUntil([&] { return session.screen().submitFinished(); }))
        return sequenceFailed(session);
    session.hangUpIfRemote();
    session.printStats(err);
    return kExitOk;
}

const CommandRegistrar identifyReg{{"identify", std::string("identify ") + kLinkCliUsage,
                                    "find the TA on the serial ports and tell what it is", &runIdentify}};
const CommandRegistrar queryReg{{"query", std::string("query -o FILE.CFG ") + kLinkCliUsage,
                                 "read every setting of the TA into a profile file", &runQuery}};
const CommandRegistrar submitReg{
    {"submit", std::string("submit FILE.CFG [--clear-last-charge] [--clear-acc-charge] ") + kLinkCliUsage,
     "write a profile file to the TA", &runSubmit}};
const CommandRegistrar upgradeReg{
    {"upgrade", std::string("upgrade FIRMWARE [--profile FILE.CFG] ") + kLinkCliUsage,
     "upload firmware, wait for the restart, then write the settings back", &runUpgrade}};

} // namespace
} // namespace ta::tactl
