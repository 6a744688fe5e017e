// tactl apply: brings the TA to wanted settings in one session (one call to
// a remote TA). The link reads the TA, compares, writes only what differs
// and reads it back; this file says what is wanted and reports the outcome.
#include "ApplyOutcome.h"
#include "CliOptions.h"
#include "LinkSession.h"
#include "LocalInputs.h"
#include "ProfileText.h"
#include "VolatileFields.h"
#include "atcmd/WriteCheck.h"
#include "profile/DefaultProfile.h"
#include "profile/FieldValue.h"
#include "profile/Printable.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <sstream>

namespace ta::tactl {
namespace {

// What apply was given: a profile file or the text of show, and fields
// named one by one. Each part is checked before the port is opened.
struct Wanted {
    std::optional<TaProfile> profile;     // a whole profile file: every setting it holds
    std::string text;                     // the text or JSON of show: its fields over the TA's
    std::string textName;                 // where it came from, for messages
    std::vector<std::string> assignments; // NAME=VALUE, over both
    std::vector<const FieldInfo*> asked;  // the fields they name: each must reach the TA as asked
    bool x25Asked = false;                // --x25 was given
};

// "redialCount=3": the part before "=" names a field, or it names no file
// either (and assign says what is wrong with it). Anything else is the file.
bool isAssignment(const std::string& operand)
{
    const auto equals = operand.find('=');
    if (equals == std::string::npos)
        return false;
    std::error_code error;
    return findField(operand.substr(0, equals)) != nullptr || !std::filesystem::exists(operand, error);
}

bool isProfileImage(const std::string& bytes)
{
    return bytes.size() >= sizeof kProfileMagic && std::memcmp(bytes.data(), kProfileMagic, sizeof kProfileMagic) == 0;
}

// The file is read once (standard input cannot be read again) and tried
// over the factory settings, so that a bad line is refused before any call.
Result<> readWantedFile(const std::string& path, Wanted& wanted, std::ostream& err)
{
    const auto bytes = readText(path);
    if (!bytes)
        return unexpected(bytes.error());
    const std::string name = isStdio(path) ? "standard input" : path;
    if (isProfileImage(*bytes)) {
        TaProfile profile{};
        std::memcpy(&profile, bytes->data(), std::min(bytes->size(), kProfileSize));
        if (bytes->size() < kProfileSize)
            err << "tactl: warning: " << printable(name) << " holds " << bytes->size() << " of the " << kProfileSize
                << " bytes of a profile; the settings after them are zero\n";
        wanted.profile = profile;
        return {};
    }
    TaProfile trial{};
    buildDefaultProfile(trial, false, true);
    const auto fields = readProfileText(*bytes, trial);
    if (!fields)
        return unexpected(name + ": " + fields.error());
    wanted.text = *bytes;
    wanted.textName = name;
    return {};
}

// A bad assignment is a bad argument, as with set: exit 2.
Result<Wanted> readWanted(const CommandLine& line, std::ostream& err, int& exitCode)
{
    Wanted wanted;
    std::vector<std::string> files;
    TaProfile trial{};
    for (const std::string& operand : line.operands()) {
        if (!isAssignment(operand)) {
            files.push_back(operand);
            continue;
        }
        exitCode = kExitUsage;
        if (const auto assigned = assign(trial, operand); !assigned)
            return unexpected(assigned.error());
        const FieldInfo* field = findField(operand.substr(0, operand.find('=')));
        wanted.assignments.push_back(operand);
        if (std::find(wanted.asked.begin(), wanted.asked.end(), field) == wanted.asked.end())
            wanted.asked.push_back(field);
    }
    wanted.x25Asked = line.has("x25");
    if (files.size() > 1 || (files.empty() && wanted.assignments.empty()))
        return unexpected("apply takes one profile file or text and NAME=VALUE settings");
    exitCode = kExitFailure;
    if (!files.empty())
        if (const auto read = readWantedFile(files[0], wanted, err); !read)
            return unexpected(read.error());
    return wanted;
}

atcmd::Options withX25(atcmd::Options options)
{
    options.x25OnD = true;
    return options;
}

// What each option that a field waits for says of it.
struct Enabler {
    void (*enable)(atcmd::Options&);
    const char* why;
};
constexpr Enabler kEnablers[] = {
    {[](atcmd::Options& o) { o.x25OnD = true; }, "X.25 settings are written only with --x25"},
    {[](atcmd::Options& o) { o.sysDateTime = true; }, "--no-datetime leaves the date and time alone"},
    {[](atcmd::Options& o) { o.countryOption = true; }, "--no-country leaves it alone"},
    {[](atcmd::Options& o) { o.taVariant = 3; }, "this TA has no such data port"},
    {[](atcmd::Options& o) { o.noPortPrefix = false; }, "a TA without port prefixes has no such setting"},
};

std::string whyNotWritten(const TaProfile& profile, const atcmd::Options& options, const atcmd::UnwrittenField& field,
                          bool x25Asked)
{
    const std::string name = field.field->name;
    if (x25Asked && !options.x25OnD && !atcmd::fieldsNotWritten(profile, withX25(options), {field.field}).empty())
        x25Asked = false; // not an X.25 field
    if (x25Asked && !options.x25OnD)
        return name + " is never written to the TA: it did not answer for X.25 (it has none)";
    if (field.assigned)
        return name + " would be written as " + field.readBack + ", not " + shownValue(profile, *field.field) +
               (name.find(".mp") != std::string::npos || name.find(".maxThroughput") != std::string::npos
                    ? " (fixed multilink sends its own; set " + name.substr(0, name.find('.')) + ".fixedMp=0)"
                    : "");
    atcmd::Options wider = options;
    for (const Enabler& enabler : kEnablers) {
        enabler.enable(wider);
        if (atcmd::fieldsNotWritten(profile, wider, {field.field}).empty())
            return name + " is never written to the TA: " + enabler.why;
    }
    return name + " is never written to the TA: no command of the TA sets it";
}

// The fields asked for one by one that the write would not leave on the TA
// as asked; with neverOnly, only those no value of the TA could change.
Result<> checkAsked(const TaProfile& profile, const atcmd::Options& options, const Wanted& wanted, bool neverOnly)
{
    for (const atcmd::UnwrittenField& field : atcmd::fieldsNotWritten(profile, options, wanted.asked))
        if (!(neverOnly && field.assigned))
            return unexpected(whyNotWritten(profile, options, field, wanted.x25Asked) + "; nothing was written");
    return {};
}

// The settings wanted over what the TA holds.
Result<TaProfile> wantedOver(const Wanted& wanted, const TaProfile& ta, const atcmd::Options& options)
{
    TaProfile profile = wanted.profile.value_or(ta);
    if (!wanted.text.empty())
        if (const auto read = readProfileText(wanted.text, profile); !read)
            return unexpected(wanted.textName + ": " + read.error());
    for (const std::string& assignment : wanted.assignments)
        if (const auto assigned = assign(profile, assignment); !assigned)
            return unexpected(assigned.error());
    if (const auto written = checkAsked(profile, options, wanted, false); !written)
        return unexpected(written.error());
    return profile;
}

// The TA's settings as read, saved before a write that will change them;
// a backup that cannot be saved stops the write.
Result<> saveBackup(const std::string& path, const TaProfile& ta)
{
    std::ostringstream unused; // a backup is a file, never standard output
    TaProfile copy = ta;
    if (const auto saved = writeProfile(path, copy, unused, OtherTargets::Refuse); !saved)
        return unexpected(saved.error() + "; nothing was written");
    return {};
}

// Before the port: what no TA of any kind would take with these switches.
Result<> checkBeforeTheTa(const Wanted& wanted, const CommandLine& line)
{
    TaProfile base{};
    buildDefaultProfile(base, line.has("x25"), !line.has("no-datetime"));
    Wanted unchecked = wanted;
    unchecked.asked.clear();
    const auto profile = wantedOver(unchecked, base, {});
    if (!profile)
        return unexpected(profile.error());
    atcmd::Options widest = listOptionsFrom(line);
    widest.taVariant = 3;
    widest.noPortPrefix = false;
    return checkAsked(*profile, widest, wanted, true);
}

bool asksForTheClock(const Wanted& wanted)
{
    return std::any_of(wanted.asked.begin(), wanted.asked.end(), [](const FieldInfo* field) {
        return std::find(kClockFields.begin(), kClockFields.end(), field->name) != kClockFields.end();
    });
}

int runApply(const CommandLine& line, std::ostream& out, std::ostream& err)
{
    ApplyOutcome outcome(line.has("json"), line.has("check"));
    int code = kExitUsage;
    auto wanted = readWanted(line, err, code);
    if (!wanted && code == kExitUsage)
        return usageError(err, line, wanted.error());
    if (wanted)
        if (const auto fits = checkBeforeTheTa(*wanted, line); !fits)
            wanted = unexpected(fits.error());
    if (!wanted)
        return outcome.localFailure(wanted.error(), out, err);
    const LinkCliOptions options = linkOptionsFrom(line);
    if (!options.backup.empty() && !checkLocalInputs(outputsOnly(options.backup, OtherTargets::Refuse), err))
        return outcome.localFailure("--backup " + options.backup + " cannot be saved", out, err, true);
    LinkSession session(options, err);
    session.screen().actAsEditor(false);
    link::ApplyRequest request;
    request.checkOnly = line.has("check");
    request.compareClock = line.has("all") || asksForTheClock(*wanted);
    const std::string backup = request.checkOnly ? std::string() : options.backup;
    request.wanted = [&wanted, backup, clock = request.compareClock](const TaProfile& ta,
                                                                      const atcmd::Options& batch) {
        const auto profile = wantedOver(*wanted, ta, batch);
        const bool writing = profile && !atcmd::differencesToWrite(*profile, batch, ta, clock).empty();
        if (writing && !backup.empty())
            if (const auto saved = saveBackup(backup, ta); !saved)
                return Result<TaProfile>(unexpected(saved.error()));
        return profile;
    };
    session.link().requestApply(std::move(request));
    const bool finished = session.runUntil([&] { return session.screen().applyFinished(); });
    return outcome.finish(session, finished, out, err);
}

const CommandRegistrar applyReg{{"apply", "[FILE] [NAME=VALUE...]",
                                 "bring the TA to the settings of a profile file, a text of show and NAME=VALUE "
                                 "settings in one session, writing only what differs; exit 3 when the TA did not "
                                 "take every value",
                                 &runApply, {"link"}}};

} // namespace
} // namespace ta::tactl
