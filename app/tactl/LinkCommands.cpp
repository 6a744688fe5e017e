// The commands that talk to a TA: identify, query, submit and upgrade, each
// one sequence of the exchange machine run to its end.
#include "LinkCommands.h"
#include "LinkJson.h"
#include "LinkSession.h"

#include "CliOptions.h"
#include "LocalInputs.h"
#include "ProfileText.h"
#include "VolatileFields.h"
#include "atcmd/WriteCheck.h"
#include "link/Failures.h"
#include "profile/FieldValue.h"
#include "profile/ProfileFile.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <optional>
#include <ostream>
#include <utility>
#include <vector>

namespace ta::tactl {
namespace {

const char* yesNo(bool on) { return on ? "yes" : "no"; }

// The failure message of a sequence has been printed already; with --json
// the failure goes to standard output as an object too.
int sequenceFailed(LinkSession& session, std::ostream* json = nullptr)
{
    session.hangUpIfRemote();
    if (json)
        printJson(failureJson(session), *json);
    return session.failureCode();
}

int runIdentify(const CommandLine& line, std::ostream& out, std::ostream& err)
{
    if (!line.operands().empty())
        return usageError(err, line, "unexpected argument '" + line.operands()[0] + "'");
    LinkSession session(linkOptionsFrom(line), err);
    session.link().requestIdentify();
    if (!session.runUntil([&] { return session.screen().identifyFinished(); }))
        return sequenceFailed(session, jsonTarget(line, out));
    const auto& ctx = session.ctx();
    if (line.has("json")) {
        QJsonObject ta = taJson(session);
        ta.insert("x25OnD", ctx.switches.x25OnD);
        ta.insert("sysDateTime", ctx.switches.sysDateTime);
        printJson(withOutcome(ta), out);
    } else {
        out << "port = " << session.portText() << '\n'
            << "model = " << ctx.taModel << '\n'
            << "modelReply = " << ctx.taModelReply << '\n'
            << "taVariant = " << int(ctx.taVariant) << '\n'
            << "noPortPrefix = " << yesNo(ctx.noPortPrefix) << '\n'
            << "x25OnD = " << yesNo(ctx.switches.x25OnD) << '\n'
            << "sysDateTime = " << yesNo(ctx.switches.sysDateTime) << '\n';
    }
    session.hangUpIfRemote();
    session.printStats(err);
    return kExitOk;
}

// The settings read, as a profile file or, with a format, as the stable
// text of show --stable (which a nightly backup can keep in git). A backup
// is a file of its own; -o may name a pipe or a device.
Result<> saveQueried(LinkSession& session, const std::string& path, std::ostream& out, const std::string& format = {},
                     OtherTargets others = OtherTargets::Refuse)
{
    TaProfile& profile = session.ctx().workingProfile;
    std::memcpy(profile.magic, kProfileMagic, sizeof profile.magic);
    if (format.empty())
        return writeProfile(path, profile, out, others);
    return writeProfileText(path,
                            format == "json" ? profileJson(profile, TextScope::Stable)
                                             : profileLines(profile, TextScope::Stable),
                            out, others);
}

// The backup before a write; its failure has been told.
bool saveBackup(LinkSession& session, const std::string& path, std::ostream& out, std::ostream& err)
{
    const auto saved = saveQueried(session, path, out);
    if (!saved)
        fail(err, saved.error());
    return bool(saved);
}

// What the TA tells besides its settings.
void printTaTexts(LinkSession& session, std::ostream& out)
{
    const link::AppContext& ctx = session.ctx();
    out << "port = " << session.portText() << '\n'
        << "model = " << ctx.taModel << '\n'
        << kFirmwareVersion << " = " << ctx.firmwareVersion << '\n'
        << kLastCallCharge << " = " << ctx.chargeLast << '\n'
        << kAccumulatedCharge << " = " << ctx.chargeAcc << '\n';
}

QJsonObject taTextsJson(const LinkSession& session)
{
    const link::AppContext& ctx = session.ctx();
    QJsonObject ta = taJson(session);
    ta.insert(QString::fromLatin1(kFirmwareVersion), jsonBytes(ctx.firmwareVersion));
    ta.insert(QString::fromLatin1(kLastCallCharge), jsonBytes(ctx.chargeLast));
    ta.insert(QString::fromLatin1(kAccumulatedCharge), jsonBytes(ctx.chargeAcc));
    return ta;
}

// Reads the TA into the working profile, from the fresh all-zero record.
bool queryTa(LinkSession& session)
{
    session.screen().actAsEditor(false);
    session.link().requestQuery();
    return session.runUntil([&] { return session.screen().queryFinished(); });
}

// With the profile on standard output, the TA's texts go to standard
// error; as JSON they need standard output to themselves.
int runQuery(const CommandLine& line, std::ostream& out, std::ostream& err)
{
    const LinkCliOptions options = linkOptionsFrom(line);
    if (options.output.empty() || !line.operands().empty())
        return usageError(err, line, "query needs -o FILE.CFG and nothing else");
    std::ostream* json = jsonTarget(line, out);
    if (json && isStdio(options.output))
        return usageError(err, line, "--json takes standard output; -o - cannot have it too");
    const std::string format = line.value("format");
    if (const auto output = checkOutput(options.output); format.empty() && !output)
        return localFailure(output.error(), json, err);
    if (const auto writable = checkOutputTarget({options.output}); !isStdio(options.output) && !writable)
        return localFailure(writable.error(), json, err);
    LinkSession session(options, err);
    if (!queryTa(session))
        return sequenceFailed(session, json);
    const auto saved = saveQueried(session, options.output, out, format, OtherTargets::WriteInto);
    if (!saved)
        fail(err, saved.error());
    if (json)
        printJson(saved ? withOutcome(taTextsJson(session))
                        : withOutcome(taTextsJson(session), link::FailureClass::Local, saved.error()),
                  out);
    else
        printTaTexts(session, isStdio(options.output) ? err : out);
    session.hangUpIfRemote();
    session.printStats(err);
    return saved ? kExitOk : kExitFailure;
}

// The batch's options as far as they are known before the TA is found.
atcmd::Options batchOptions(const LinkCliOptions& options)
{
    link::AppContext ctx;
    ctx.switches = options.switches;
    ctx.remoteChosen = !options.remoteNumber.empty();
    ctx.clearLastCharge = options.clearLastCharge;
    ctx.clearAccCharge = options.clearAccCharge;
    return link::commandOptions(ctx);
}

// The backup must not replace the profile that is about to be written.
Result<> checkBackup(const std::string& backup, const std::string& profile)
{
    std::error_code error;
    if (!backup.empty() && !profile.empty() && !isStdio(profile) && std::filesystem::equivalent(backup, profile, error))
        return unexpected("--backup names the profile to be written");
    return {};
}

// The write under way runs to its end, and its read-back (unless
// --no-verify); the values the TA did not take go to standard output.
int finishWrite(LinkSession& session, std::ostream& out, std::ostream& err)
{
    if (!session.runUntil([&] { return session.screen().submitFinished(); }))
        return sequenceFailed(session);
    for (const std::string& note : session.link().writeNotes())
        err << "tactl: " << note << '\n';
    const auto& differences = session.screen().differences();
    for (const atcmd::Difference& difference : differences)
        out << atcmd::differenceLine(difference) << '\n';
    out.flush();
    session.hangUpIfRemote();
    session.printStats(err);
    return differences.empty() ? kExitOk : kExitDiffers;
}

void startWrite(LinkSession& session)
{
    session.screen().actAsEditor(true);
    session.screen().resetOutcome();
}

int runSubmit(const CommandLine& line, std::ostream& out, std::ostream& err)
{
    if (line.operands().size() != 1)
        return usageError(err, line, "submit needs one profile file");
    const LinkCliOptions options = linkOptionsFrom(line);
    if (const auto backup = checkBackup(options.backup, line.operands()[0]); !backup)
        return usageError(err, line, backup.error());
    LocalInputs local = outputsOnly(options.backup, OtherTargets::Refuse);
    local.profile = line.operands()[0];
    local.batch = batchOptions(options);
    const auto inputs = checkLocalInputs(local, err);
    if (!inputs)
        return kExitFailure;
    const TaProfile& profile = *inputs->profile;
    LinkSession session(options, err);
    // Nothing is written unless the TA's own settings are safe in the backup.
    if (!options.backup.empty() && !(queryTa(session) && saveBackup(session, options.backup, out, err)))
        return sequenceFailed(session);
    session.ctx().workingProfile = profile;
    startWrite(session);
    session.link().requestSubmit();
    return finishWrite(session, out, err);
}

int runUpgrade(const CommandLine& line, std::ostream& out, std::ostream& err)
{
    if (line.operands().size() != 1)
        return usageError(err, line, "upgrade needs one firmware file");
    const LinkCliOptions options = linkOptionsFrom(line);
    if (const auto backup = checkBackup(options.backup, options.profile); !backup)
        return usageError(err, line, backup.error());
    LocalInputs local = outputsOnly(options.backup, OtherTargets::Refuse);
    local.firmware = line.operands()[0];
    if (line.has("profile"))
        local.profile = options.profile;
    local.batch = batchOptions(options);
    const auto inputs = checkLocalInputs(local, err);
    if (!inputs)
        return kExitFailure;
    const std::optional<TaProfile>& profile = inputs->profile;
    LinkSession session(options, err);
    // Without a profile the TA's own settings, read first, are written back after the upload.
    if ((!profile || !options.backup.empty()) && !queryTa(session))
        return sequenceFailed(session);
    if (!options.backup.empty() && !saveBackup(session, options.backup, out, err))
        return sequenceFailed(session);
    if (profile)
        session.ctx().workingProfile = *profile;
    startWrite(session);
    session.link().requestUpgrade(line.operands()[0]);
    return finishWrite(session, out, err);
}

// What a submit of the file would change on the TA, in record order: each
// field the batch assigns whose value the TA holds otherwise, compared as a
// query reads it back; with all, the TA's date and time too.
std::vector<ChangedField> differencesWithTa(const TaProfile& wanted, const link::AppContext& ctx, bool all)
{
    const atcmd::Options options = link::commandOptions(ctx);
    const TaProfile& ta = ctx.workingProfile;
    std::vector<std::pair<uint16_t, ChangedField>> found;
    for (const atcmd::Difference& difference : atcmd::differencesAfterWrite(wanted, options, ta))
        if (const FieldInfo* field = findField(difference.field); field && !isVolatile(field->name))
            found.emplace_back(field->offset, ChangedField{field->name, difference.taHas, difference.sent});
    // A TA without a clock (its query ended at the date) has none to compare.
    const bool clockCompared = all && options.sysDateTime;
    for (const std::string_view name : kClockFields) {
        const FieldInfo* field = findField(name);
        const std::string taText = shownValue(ta, *field), fileText = shownValue(wanted, *field);
        if (clockCompared && taText != fileText)
            found.emplace_back(field->offset, ChangedField{field->name, taText, fileText});
    }
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<ChangedField> changes;
    for (auto& [offset, change] : found)
        changes.push_back(std::move(change));
    return changes;
}

} // namespace

int runDiffWithTa(const CommandLine& line, std::ostream& out, std::ostream& err)
{
    if (line.operands().size() != 1)
        return fail(err, "diff --ta needs one profile file (see tactl diff --help)", kDiffTrouble);
    std::ostream* json = jsonTarget(line, out);
    const auto wanted = readProfile(line.operands()[0], &err);
    if (!wanted)
        return localFailure(wanted.error(), json, err, kDiffTrouble);
    LinkSession session(linkOptionsFrom(line), err);
    if (!queryTa(session)) {
        const int code = sequenceFailed(session, json);
        return code == kExitFailure ? kDiffTrouble : code;
    }
    session.hangUpIfRemote();
    const auto differences = differencesWithTa(*wanted, session.ctx(), line.has("all"));
    if (json) {
        QJsonObject ta = taTextsJson(session);
        ta.insert("differences", changesJson(differences));
        printJson(withOutcome(ta), out);
    } else {
        printChanges(differences, out);
    }
    session.printStats(err);
    return differences.empty() ? kExitOk : kDiffDifferent;
}

void printChanges(const std::vector<ChangedField>& changes, std::ostream& out)
{
    for (const ChangedField& change : changes)
        out << change.field << ": " << change.before << " -> " << change.after << '\n';
}

namespace {

const CommandRegistrar identifyReg{
    {"identify", "", "find the TA on the serial ports and tell what it is", &runIdentify, {"link"}}};
const CommandRegistrar queryReg{
    {"query", "-o FILE.CFG", "read every setting of the TA into a profile file", &runQuery, {"link"}}};
const CommandRegistrar submitReg{{"submit", "FILE.CFG",
                                  "write a profile file to the TA, read it back and exit 3 when the TA did not "
                                  "take every value",
                                  &runSubmit, {"link"}}};
const CommandRegistrar upgradeReg{{"upgrade", "FIRMWARE",
                                   "upload firmware, wait for the restart, then write the settings back",
                                   &runUpgrade, {"link"}}};

} // namespace
} // namespace ta::tactl
