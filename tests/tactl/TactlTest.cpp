#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <vector>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include "HelpText.h"
#include "Suggestion.h"
#include "TerminalScreen.h"
#include "link/FailureClass.h"
#include "link/port/PortReport.h"
#include "atcmd/QueryList.h"
#include "atcmd/SubmitBatch.h"
#include "profile/DefaultProfile.h"
#include "profile/FieldList.h"
#include "profile/FieldRules.h"
#include "profile/FieldValue.h"
#include "profile/ProfileFile.h"
#include "tests/support/CaseName.h"
#include "tests/support/FieldRuleCases.h"
#include "tests/support/Processes.h"

namespace ta {
namespace {

namespace fs = std::filesystem;

using testsupport::Outcome;
using testsupport::slurp;

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

class TactlTest : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return scratch.file(name); }

    // Arguments are passed through the shell in single quotes.
    Outcome tactl(const std::vector<std::string>& args) const
    {
        std::string command = TACTL_PATH;
        for (const std::string& arg : args)
            command += " '" + arg + "'";
        return scratch.shell(command);
    }

    // A shell command line in the test's folder; "$T" is tactl.
    // T is exported, so that a shell that script(1) starts sees it too.
    Outcome sh(const std::string& script) const
    {
        return scratch.shell("export T='" + std::string(TACTL_PATH) + "'; " + script);
    }

    void save(const std::string& name, TaProfile profile) const { ASSERT_TRUE(saveProfileFile(path(name), profile)); }

    void expectOneLineError(const Outcome& run) const
    {
        EXPECT_NE(run.exitCode, 0);
        EXPECT_EQ(lines(run.err).size(), 1u) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }

    testsupport::ScratchDir scratch{"tactl-test"};
    const fs::path& dir = scratch.path();
};

TEST_F(TactlTest, DefaultsWritesTheFactoryProfile)
{
    TaProfile expected{};
    buildDefaultProfile(expected, true, false);
    ASSERT_EQ(tactl({"defaults", "--x25", "--no-datetime", "-o", path("x.cfg")}).exitCode, 0);
    EXPECT_EQ(slurp(path("x.cfg")), std::string(reinterpret_cast<const char*>(&expected), kProfileSize));
}

TEST_F(TactlTest, ShowListsEveryFieldAsNameValueLines)
{
    TaProfile profile{};
    buildDefaultProfile(profile, false, true);
    setText(profile.dataPort1.dn, "12345");
    setText(profile.vp1InScreenDn[2], "0049 (89)");
    setText(profile.dataPort2.subAddr, "a\nb\\c\xff");
    ASSERT_TRUE(saveProfileFile(path("p.cfg"), profile));

    const Outcome run = tactl({"show", path("p.cfg")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto shown = lines(run.out);
    ASSERT_EQ(shown.size(), profileFields().size());
    for (const char* line :
         {"magic = TAPRF1.0", "countryCode = 216 (Other)", "dataPort1.dn = 12345", "dataPort2.callType = 8 (PPP or MLP)",
          "dataPort1.flowControl = 3 (CTS/RTS flow control)", "dataPort1.portBaudRate = 17 (115200 (default))",
          "vp1InScreenDn[2] = 0049 (89)", "x75TxFrameSize = 254", "sysDate = 03-01-2000", "sysTime = 00:00:00",
          "dataPort2.subAddr = a\\x0Ab\\\\c\\xFF", "reserved831 = 0"})
        EXPECT_NE(std::find(shown.begin(), shown.end(), std::string(line)), shown.end()) << line;
}

// A profile file loads as it is, with a warning for what is wrong with it:
// bytes missing at its end or a few after it, values the TA does not take
// (a submit refuses those it would send); a file far longer than a profile
// is refused. A 0 stands for a setting never read from the TA.
struct LoadWarningCase {
    const char* name;
    void (*change)(TaProfile&);
    std::size_t bytes; // of the record
    std::string tail;  // after it
    int exitCode;
    const char* told; // standard error after "tactl: warning: FILE" (exit 0) or "tactl: Not a profile file: FILE"
    friend void PrintTo(const LoadWarningCase& c, std::ostream* os) { *os << c.name; }
};

class TactlLoadWarning : public TactlTest, public ::testing::WithParamInterface<LoadWarningCase> {};

TEST_P(TactlLoadWarning, FileLoadsAsItIsAndTheWarningSaysWhy)
{
    const LoadWarningCase& c = GetParam();
    TaProfile profile{};
    buildDefaultProfile(profile, false, true);
    c.change(profile);
    const std::string record(reinterpret_cast<const char*>(&profile), sizeof profile);
    std::ofstream(path("p.cfg"), std::ios::binary) << record.substr(0, c.bytes) + c.tail;
    const Outcome run = tactl({"show", path("p.cfg")});
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    const std::string told = c.exitCode == 0 ? "tactl: warning: " : "tactl: Not a profile file: ";
    EXPECT_EQ(run.err, *c.told ? told + path("p.cfg") + c.told : "");
}

void unchanged(TaProfile&) {}

INSTANTIATE_TEST_SUITE_P(
    Files, TactlLoadWarning,
    ::testing::Values(
        LoadWarningCase{"Short", unchanged, 100, "", 0,
                        " holds 100 of the 2928 bytes of a profile; the settings after them are zero\n"},
        LoadWarningCase{"Whole", unchanged, kProfileSize, "", 0, ""},
        LoadWarningCase{"NewlineAfter", unchanged, kProfileSize, "\n", 0,
                        " holds 1 byte after the 2928 of a profile, left out\n"},
        LoadWarningCase{"FarLonger", unchanged, kProfileSize, std::string(2000, 'x'), 1,
                        " holds 4928 bytes; a profile holds 2928, and at most 1024 more are taken\n"},
        LoadWarningCase{"UsbPortAndX25NeverRead",
                        [](TaProfile& p) {
                            std::memset(&p.dataPort2, 0, sizeof p.dataPort2);
                            p.dataPort1.x25WindowSize = p.dataPort1.x25PacketSize = p.dataPort1.x25LcnRange = 0;
                        },
                        kProfileSize, "", 0, ""},
        LoadWarningCase{"ValuesTheTaDoesNotTake",
                        [](TaProfile& p) {
                            p.countryCode = 60;
                            p.dataPort2.mpDropThreshold = 40;
                        },
                        kProfileSize, "", 0,
                        " holds values the TA does not take; they are kept, but a submit refuses those it would send:\n"
                        "  System > Country Selection Code (countryCode = 60) takes one of 213 (Spain), 214 (India), "
                        "219 (France), 220 (Portugal), 235 (Ireland), 236 (Italy), 237 (German), 245 (Norway), 249 "
                        "(UK), 250 (Sweden), 251 (Switzerland), 252 (Denmark), 253 (Netherland), 216 (Other)\n"
                        "  USB Port > PPP/MP Parameters > Threshold of data loading to ADD/DROP one channel > DROP "
                        "(dataPort2.mpDropThreshold = 40) must be below ADD (35), unless both are 0\n"}),
    testsupport::CaseName());


// The list options reach the query list ("ID KEY" lines) and the batch as
// the program's own builders take them.
TEST_F(TactlTest, ListOptionsReachTheQueryListAndTheBatch)
{
    TaProfile profile{};
    buildDefaultProfile(profile, false, true);
    save("p.cfg", profile);
    const auto with = [](auto change) {
        atcmd::Options o;
        change(o);
        return o;
    };
    const std::vector<std::pair<std::vector<std::string>, atcmd::Options>> cases{
        {{"--variant", "1"}, with([](auto& o) { o.taVariant = 1; })},
        {{"--x25"}, with([](auto& o) { o.x25OnD = true; })},
        {{"--no-datetime", "--no-country"}, with([](auto& o) { o.sysDateTime = o.countryOption = false; })},
        {{"--no-prefix", "--remote=0301234"}, with([](auto& o) { o.noPortPrefix = o.remote = true; })}};
    for (auto [flags, options] : cases) {
        SCOPED_TRACE(flags[0]);
        std::vector<std::string> list, args{"querylist"};
        for (const atcmd::QueryEntry& entry : atcmd::buildQueryList(options))
            list.push_back(std::to_string(entry.id) + (entry.key.empty() ? "" : " " + entry.key));
        args.insert(args.end(), flags.begin(), flags.end());
        EXPECT_EQ(lines(tactl(args).out), list);
        args[0] = "batch";
        args.insert(args.end(), {"--clear-acc-charge", "--clear-last-charge", path("p.cfg")});
        options.clearAccCharge = options.clearLastCharge = true;
        EXPECT_EQ(lines(tactl(args).out), atcmd::buildSubmitBatch(profile, options));
    }
}

// Among them files that are no profile: a record of another kind, none at
// all, a pipe, a device or a folder (refused with the reason).
TEST_F(TactlTest, BadArgumentsGiveOneLineErrors)
{
    std::ofstream(path("bad.cfg")) << "TAPRF1.0X and more";
    ASSERT_EQ(::mkfifo(path("pipe.cfg").c_str(), 0600), 0);
    EXPECT_NE(tactl({"batch", dir.string()}).err.find("Not a profile file: " + dir.string() + " is a folder"),
              std::string::npos);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"show", path("bad.cfg")}, {"show", path("missing.cfg")}, {"show"}, {"batch", path("pipe.cfg")},
             {"batch", "/dev/zero"}, {"batch", dir.string()},
             {"frobnicate"}, {"querylist", "--variant", "4"}, {"querylist", "--bogus"}, {"querylist", "extra"},
             {"batch"}, {"batch", path("none.cfg")}, {"defaults"}, {"defaults", "-o", path("no/such/dir.cfg")},
             {"querylist", "--x25=1"}, {"querylist", "--variant"}, {"defaults", "-o"}, {"show", "--json=yes", "a"},
             {"querylist", "--remote", "0301;ATZ"}, {"querylist", "--remote", "0301A"},
             {"batch", "--remote=", path("p.cfg")},
             {"querylist", "--remote"}, {"show", "--output", "x", "a"}, {"identify", "--variant=1"},
             {"help", "nosuch"}, {"completion", "csh"}, {"--bogus"}, {"query", "--format", "xml", "-o", "x"},
             {"show", "--format=json", "a"}}) {
        SCOPED_TRACE(args[0]);
        expectOneLineError(tactl(args));
    }
}

// The restart wait that tests of a simulated TA shorten: a whole number of
// milliseconds up to the program's own 30 s, anything else refused aloud.
TEST_F(TactlTest, TestRestartWaitTakesWholeMillisecondsUpToTheProgramsOwn)
{
    const std::string warning = "tactl: TA_REBOOT_WAIT_MS ignored: not a whole number of milliseconds from 0 to 30000\n";
    for (const auto& [value, taken] : std::vector<std::pair<std::string, bool>>{
             {"1000", true}, {"0", true}, {"30000", true}, {"30001", false}, {"-1", false}, {"1000ms", false},
             {" 500", false}, {"", false}, {"99999999999", false}}) {
        SCOPED_TRACE("'" + value + "'");
        const Outcome run = sh("TA_SERIAL_PORTS=/nonexistent/tty TA_REBOOT_WAIT_MS='" + value + "' \"$T\" identify");
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err.starts_with(warning), !taken) << run.err;
        EXPECT_NE(run.err.find("There is no free COM port!"), std::string::npos) << run.err;
    }
}

// A record whose every byte is some value: texts without terminators, bytes
// above 0x7F, backslashes and control characters, reserved bytes set.
TaProfile scrambledProfile()
{
    TaProfile profile{};
    auto* bytes = reinterpret_cast<unsigned char*>(&profile);
    uint32_t state = 12345;
    for (std::size_t i = 0; i < sizeof profile; ++i) {
        state = state * 1103515245 + 12345;
        bytes[i] = uint8_t(state >> 16);
    }
    std::memcpy(profile.magic, kProfileMagic, sizeof profile.magic);
    return profile;
}

// A record whose every field holds a value its rule takes, picked from all
// over the field's range or codes: numbers of every length up to the full
// width, with the scrambled bytes after each terminator and in the reserved
// bytes. ADD lies above DROP on both ports.
TaProfile variedProfile()
{
    TaProfile profile = scrambledProfile();
    uint32_t state = 4242;
    const auto next = [&state](unsigned below) {
        state = state * 1103515245 + 12345;
        return (state >> 16) % below;
    };
    const auto two = [&next](unsigned low, unsigned high) {
        const unsigned n = low + next(high - low + 1);
        return std::string(n < 10 ? "0" : "") + std::to_string(n);
    };
    for (const FieldInfo& field : profileFields()) {
        std::string text;
        if (field.form == TextForm::Phone) {
            for (unsigned i = next(field.size); i > 0; --i)
                text += "0123456789-*# ()[]"[next(18)];
        } else if (field.form == TextForm::Date) {
            text = two(1, 28) + "-" + two(1, 12) + "-" + std::to_string(1990 + next(60));
        } else if (field.form == TextForm::Time) {
            text = two(0, 23) + ":" + two(0, 59) + ":" + two(0, 59);
        }
        bool stored = true;
        if (!text.empty() || field.form == TextForm::Phone)
            stored = bool(storeText(profile, field, text));
        else if (field.kind != FieldKind::Text && !field.codes.empty())
            stored = bool(storeNumber(profile, field, field.codes[next(unsigned(field.codes.size()))].code));
        else if (field.kind != FieldKind::Text)
            stored = bool(storeNumber(profile, field, field.min + next(field.max - field.min + 1u)));
        EXPECT_TRUE(stored) << field.name;
    }
    for (DataPortSettings* port : {&profile.dataPort1, &profile.dataPort2}) {
        port->mpAddThreshold = uint8_t(33 + next(32));
        port->mpDropThreshold = uint8_t(next(33));
    }
    return profile;
}

TEST_F(TactlTest, ShowOfAScrambledFileWarnsOfTwentyBreaksAndCountsTheRest)
{
    save("p.cfg", scrambledProfile());
    const Outcome run = tactl({"show", path("p.cfg")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> warned = lines(run.err);
    ASSERT_EQ(warned.size(), 22u) << run.err;
    EXPECT_EQ(warned.back().rfind("  ... and ", 0), 0u) << warned.back();
}

TEST_F(TactlTest, OptionSpellingsMeanTheSame)
{
    TaProfile expected{};
    buildDefaultProfile(expected, true, true);
    const std::string wanted(reinterpret_cast<const char*>(&expected), sizeof expected);
    const std::string f = path("d.cfg");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"defaults", "--x25", "-o", f}, {"defaults", "-o", f, "--x25"}, {"defaults", "-o" + f, "--x25"},
             {"defaults", "-o=" + f, "--x25"}, {"defaults", "--output", f, "--x25"}, {"defaults", "--x25", "--output=" + f}}) {
        fs::remove(f);
        const Outcome run = tactl(args);
        ASSERT_EQ(run.exitCode, 0) << args[2] << ": " << run.err;
        EXPECT_EQ(slurp(f), wanted) << args[2];
    }
    EXPECT_EQ(tactl({"querylist", "--variant=1", "--no-country"}).out, tactl({"querylist", "--no-country", "--variant", "1"}).out);

    // After "--" a name that begins with "-" is a file.
    save("-odd.cfg", expected);
    EXPECT_EQ(sh("\"$T\" show -- -odd.cfg").out, tactl({"show", f}).out);
    expectOneLineError(sh("\"$T\" show -odd.cfg"));
}

// More of "-" in the import round trips.
TEST_F(TactlTest, DashStandsForStandardInputAndOutput)
{
    save("p.cfg", scrambledProfile());
    EXPECT_EQ(sh("cat p.cfg | \"$T\" batch -").out, tactl({"batch", path("p.cfg")}).out);
    EXPECT_EQ(sh("\"$T\" defaults -o - > d.cfg && \"$T\" show d.cfg").out, sh("\"$T\" defaults -o - | \"$T\" show -").out);
    expectOneLineError(sh("\"$T\" show - < /dev/null"));
    // A binary profile never goes to a terminal (script gives the command one).
    const Outcome terminal = sh("script -qec '\"$T\" defaults -o -' /dev/null");
    EXPECT_EQ(terminal.exitCode, 1);
    EXPECT_EQ(terminal.out.find("TAPRF1.0"), std::string::npos);
    EXPECT_NE(terminal.out.find("will not write a binary profile to a terminal"), std::string::npos) << terminal.out;
}

// -o writes into a pipe and leaves it a pipe (the reader waits at most ten
// seconds, so a pipe replaced by a file fails instead of hanging); a folder
// or a pipe where a file of its own is wanted is refused with the reason.
TEST_F(TactlTest, OutputsWriteIntoAPipeAndNeverReplaceIt)
{
    TaProfile expected{};
    buildDefaultProfile(expected, false, true);
    const Outcome piped = sh("mkfifo pipe && { timeout 10 cat pipe > got & } && timeout 10 \"$T\" defaults -o pipe; "
                             "s=$?; wait; test -p pipe || echo 'replaced by a file'; exit $s");
    EXPECT_EQ(piped.exitCode, 0) << piped.err;
    EXPECT_EQ(piped.out, "");
    EXPECT_EQ(slurp(path("got")), std::string(reinterpret_cast<const char*>(&expected), kProfileSize));

    fs::create_directory(path("folder"));
    const Outcome folder = sh("\"$T\" defaults -o folder");
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_EQ(folder.err, "tactl: Cannot save profile file folder: Is a folder\n");
}

TEST_F(TactlTest, ShowJsonGivesNumbersTextsAndTheLabelsOfCodedValues)
{
    TaProfile profile{};
    buildDefaultProfile(profile, true, true);
    profile.dataPort1.x25PacketSize = 8;
    profile.countryCode = 1; // a code no item has: no label
    setText(profile.vp2Dn, "12\"3\\\xe9");
    save("p.cfg", profile);
    const Outcome run = tactl({"show", "--json", path("p.cfg")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    QJsonParseError error{};
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out;

    int labels = 0;
    for (const FieldInfo& field : profileFields()) {
        ASSERT_TRUE(json.contains(QString::fromStdString(field.name))) << field.name;
        const QJsonValue value = json.value(QString::fromStdString(field.name));
        EXPECT_EQ(value.isString(), field.kind == FieldKind::Text) << field.name;
        EXPECT_EQ(value.isDouble(), field.kind != FieldKind::Text) << field.name;
        labels += json.contains(QString::fromStdString(field.name + ".label")) ? 1 : 0;
    }
    EXPECT_EQ(json.size(), int(profileFields().size()) + labels);
    EXPECT_EQ(json.value("dataPort1.x25PacketSize.label").toString(), "256 bytes");
    EXPECT_EQ(json.value("dataPort2.callType").toInt(), 8);
    EXPECT_EQ(json.value("dataPort2.callType.label").toString(), "PPP or MLP");
    EXPECT_FALSE(json.contains("countryCode.label"));
    EXPECT_EQ(json.value("countryCode").toInt(), 1);
    EXPECT_EQ(json.value("x75TxFrameSize").toInt(), 254);
    EXPECT_EQ(json.value("vp2Dn").toString(), QString::fromLatin1("12\"3\\\xe9"));
}

struct ImportRoute {
    const char* name;
    const char* show;   // prints the text of p.cfg
    const char* import; // reads it back, with the extra arguments appended
};

TEST_F(TactlTest, ImportRestoresEveryFieldFromEitherForm)
{
    const TaProfile original = variedProfile();
    save("p.cfg", original);
    const std::string fields = tactl({"show", path("p.cfg")}).out;
    const std::string bytes = slurp(path("p.cfg"));
    for (const ImportRoute& route : {
             ImportRoute{"lines", "\"$T\" show p.cfg > t", "\"$T\" import t -o out.cfg"},
             ImportRoute{"json", "\"$T\" show --json p.cfg > t", "\"$T\" import -o out.cfg t"},
             ImportRoute{"lines, piped", "true", "\"$T\" show p.cfg | \"$T\" import - -o - > out.cfg"},
             ImportRoute{"json, piped", "true", "\"$T\" show --json - < p.cfg | \"$T\" import -o - - > out.cfg"},
         }) {
        SCOPED_TRACE(route.name);
        fs::remove(path("out.cfg"));
        ASSERT_EQ(sh(route.show).exitCode, 0);
        Outcome run = sh(route.import);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(tactl({"show", path("out.cfg")}).out, fields);
        EXPECT_EQ(tactl({"diff", path("p.cfg"), path("out.cfg")}).exitCode, 0);

        // With the original as the base even the bytes after the terminators come back.
        run = sh(std::string(route.import) + " --base p.cfg");
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(slurp(path("out.cfg")), bytes);
    }
}

std::string bytesOf(TaProfile profile)
{
    std::memcpy(profile.magic, kProfileMagic, sizeof profile.magic);
    return std::string(reinterpret_cast<const char*>(&profile), sizeof profile);
}

TEST_F(TactlTest, ImportBuildsTheRestFromTheDefaultsOrTheBase)
{
    const TaProfile base = scrambledProfile();
    save("base.cfg", base);
    std::ofstream(path("t")) << "# two fields\n\ncountryCode = 249 (UK)\r\ndataPort1.dn=0301\n";
    ASSERT_EQ(tactl({"import", path("t"), "-o", path("z.cfg")}).exitCode, 0);
    TaProfile expected{};
    buildDefaultProfile(expected, false, true);
    expected.countryCode = 249;
    setText(expected.dataPort1.dn, "0301");
    EXPECT_EQ(slurp(path("z.cfg")), bytesOf(expected));

    ASSERT_EQ(tactl({"import", "--base", path("base.cfg"), path("t"), "-o", path("b.cfg")}).exitCode, 0);
    expected = base;
    expected.countryCode = 249;
    setText(expected.dataPort1.dn, "0301");
    EXPECT_EQ(slurp(path("b.cfg")), bytesOf(expected));
}

// A stable text holds every field but the TA's clock; imported, the clock
// comes from the base or the defaults and every other byte from the text.
TEST_F(TactlTest, StableTextsLeaveOutTheClockAndComeBackOverTheBase)
{
    TaProfile profile = variedProfile();
    setText(profile.sysDate, "24-12-2030");
    setText(profile.sysTime, "11:11:11");
    save("p.cfg", profile);
    TaProfile base{};
    buildDefaultProfile(base, true, true);
    setText(base.sysDate, "01-02-2003");
    save("base.cfg", base);
    for (const char* form : {"", "--json"}) {
        SCOPED_TRACE(form);
        const Outcome run = sh(std::string("\"$T\" show --stable ") + form + " p.cfg > t");
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::string stable = slurp(path("t"));
        EXPECT_EQ(stable.find("sysDate"), std::string::npos) << stable;
        EXPECT_EQ(stable.find("sysTime"), std::string::npos) << stable;

        ASSERT_EQ(tactl({"import", path("t"), "--base", path("base.cfg"), "-o", path("b.cfg")}).exitCode, 0);
        TaProfile expected = profile;
        std::memcpy(expected.sysDate, base.sysDate, sizeof base.sysDate);
        std::memcpy(expected.sysTime, base.sysTime, sizeof base.sysTime);
        save("e.cfg", expected);
        EXPECT_EQ(tactl({"show", path("b.cfg")}).out, tactl({"show", path("e.cfg")}).out);

        ASSERT_EQ(tactl({"import", path("t"), "-o", path("d.cfg")}).exitCode, 0);
        const Outcome fromDefaults = tactl({"diff", path("p.cfg"), path("d.cfg")});
        EXPECT_EQ(fromDefaults.out, "sysDate: 24-12-2030 -> 03-01-2000\nsysTime: 11:11:11 -> 00:00:00\n");
    }
}

TEST_F(TactlTest, ImportRefusesTextsItCannotRestore)
{
    for (const std::string text : {
             "bogus = 1", "countryCode = 216\ncountryCode = 216", "countryCode = 216 (UK)", "countryCode = 300",
             "countryCode = -1", "x75TxFrameSize = 70000",
             "magic = TAPRF1.1", "dataPort1.dn = 0123456789012345678901234567890123",
             "dataPort1.dn = a\\qb", "dataPort1.dn = a\\x4", "countryCode: 216", "", "# nothing\n",
             R"({"countryCode": "216"})", R"({"dataPort1.dn": 5})", R"({"countryCode": 216, "countryCode.label": "UK"})",
             R"({"countryCode": 216.5})", R"({"reserved9.label": "x"})", R"({"vp1Dn": "\u0100"})", "{ broken", "[1]",
             R"({"countryCode": 216, "redialCount": 3, "countryCode": 249})", R"({"vp1Dn": "1", "vp1\u0044n": "2"})"}) {
        SCOPED_TRACE(text);
        std::ofstream(path("t"), std::ios::trunc) << text;
        const Outcome run = tactl({"import", path("t"), "-o", path("out.cfg")});
        expectOneLineError(run);
        EXPECT_FALSE(fs::exists(path("out.cfg")));
    }
    expectOneLineError(tactl({"import", path("t")}));
    expectOneLineError(tactl({"import", "-", "--base", "-", "-o", path("out.cfg")}));
}

TEST_F(TactlTest, SetChangesCheckedFieldsInPlace)
{
    TaProfile profile = scrambledProfile();
    save("p.cfg", profile);
    const Outcome run = tactl({"set", path("p.cfg"), "countryCode=uk", "dataPort2.callType=5", "dataPort1.dn=0301 234",
                               "dataPort1.subAddr=", "x75TxFrameSize=2048", "sysDate=03-01-2000", "sysTime=23:59:00",
                               "dataPort2.extResultCode=3", "vp2DeviceType=Telephone with Call Waiting caller ID device",
                               "dataPort1.preStoredDn[4]=" + std::string(32, '9')});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    profile.countryCode = 249;
    profile.dataPort2.callType = 5;
    setText(profile.dataPort1.dn, "0301 234");
    setText(profile.dataPort1.subAddr, "");
    profile.x75TxFrameSize = 2048;
    setText(profile.sysDate, "03-01-2000");
    setText(profile.sysTime, "23:59:00");
    profile.dataPort2.extResultCode = 3;
    profile.vp2DeviceType = 2;
    setText(profile.dataPort1.preStoredDn[4], std::string(32, '9'));
    EXPECT_EQ(slurp(path("p.cfg")), std::string(reinterpret_cast<const char*>(&profile), sizeof profile));
}

TEST_F(TactlTest, SetRefusesWhatItsFieldDoesNotTakeAndLeavesTheFile)
{
    TaProfile profile{};
    buildDefaultProfile(profile, true, true);
    save("p.cfg", profile);
    const std::string before = slurp(path("p.cfg"));
    for (const std::string& assignment : std::vector<std::string>{
             "bogus=1", "countryCode", "countryCode=1", "countryCode=Mars", "dataPort1.mpAddThreshold=65",
          "x75TxFrameSize=127", "x75TxFrameSize=2049", "redialCount=-1", "redialCount=1e1",
          "redialCount=11", "dataPort1.x25WindowSize=0", "dataPort1.x25PacketSize=9", "vp1DeviceType=1",
          "dataPort1.dn=" + std::string(33, '1'), "dataPort1.dn=12;ATZ", "dataPort1.dn=12\r", "dataPort1.dn=12A",
          "sysDate=2000-01-03", "sysTime=1:2:3", "magic=TAPRF1.0", "dataPort1.callType=", "dataPort1.chap=2"}) {
        SCOPED_TRACE(assignment);
        const Outcome run = tactl({"set", path("p.cfg"), "dataPort1.dn=777", assignment});
        EXPECT_EQ(run.exitCode, 2);
        expectOneLineError(run);
        EXPECT_EQ(slurp(path("p.cfg")), before);
    }
    expectOneLineError(tactl({"set", path("p.cfg")}));
    expectOneLineError(tactl({"set", "-", "countryCode=249"}));
    expectOneLineError(tactl({"set", path("none.cfg"), "countryCode=249"}));
    EXPECT_FALSE(fs::exists(path("none.cfg")));
}

// set and import, as text and as JSON, refuse what the field rules refuse,
// in one line naming the field, and leave their output as it was; they take
// what the rules take.
class TactlFieldRules : public TactlTest, public ::testing::WithParamInterface<testsupport::FieldRuleCase> {};

TEST_P(TactlFieldRules, SetAndImportJudgeAlike)
{
    const testsupport::FieldRuleCase& c = GetParam();
    const FieldInfo& field = testsupport::fieldOfCase(c);
    TaProfile expected{};
    buildDefaultProfile(expected, false, true);
    save("d.cfg", expected);
    const std::string defaults = slurp(path("d.cfg"));
    testsupport::putCase(expected, c);
    const std::string wanted = bytesOf(expected);

    QJsonObject json;
    if (field.kind == FieldKind::Text)
        json.insert(QString::fromStdString(c.field), QString::fromLatin1(c.value.data(), qsizetype(c.value.size())));
    else
        json.insert(QString::fromStdString(c.field), std::stoi(c.value));
    std::ofstream(path("t.txt")) << c.field << " = " << shownValue(expected, field) << '\n';
    std::ofstream(path("t.json")) << QJsonDocument(json).toJson().toStdString();

    const auto judged = [&](const Outcome& run, const std::string& output, const std::string& unchanged) {
        if (c.taken) {
            EXPECT_EQ(run.exitCode, 0) << run.err;
            EXPECT_TRUE(slurp(output) == wanted);
            return;
        }
        expectOneLineError(run);
        EXPECT_NE(run.err.find(c.field), std::string::npos) << run.err;
        EXPECT_TRUE(fs::exists(output) ? slurp(output) == unchanged : unchanged.empty());
    };
    {
        SCOPED_TRACE("set");
        judged(tactl({"set", path("d.cfg"), std::string(c.field) + "=" + c.value}), path("d.cfg"), defaults);
    }
    for (const char* text : {"t.txt", "t.json"}) {
        SCOPED_TRACE(text);
        judged(tactl({"import", path(text), "-o", path("out.cfg")}), path("out.cfg"), "");
        fs::remove(path("out.cfg"));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, TactlFieldRules, ::testing::ValuesIn(testsupport::kFieldRuleCases),
                         testsupport::CaseName());

// What the TA was never asked for is 0 in a record read from it: an import
// gives such a text back as it was, where set, choosing a value, refuses it.
TEST_F(TactlTest, ZeroOfASettingNeverReadComesBackThroughImportOnly)
{
    TaProfile profile{};
    buildDefaultProfile(profile, false, true);
    std::memset(&profile.dataPort2, 0, sizeof profile.dataPort2);
    profile.countryCode = 0;
    profile.x75TxFrameSize = 0;
    save("p.cfg", profile);
    ASSERT_EQ(sh("\"$T\" show p.cfg > t && \"$T\" import t -o out.cfg").exitCode, 0);
    EXPECT_EQ(slurp(path("out.cfg")), slurp(path("p.cfg")));
    for (const char* zero : {"dataPort2.mpPersistTime=0", "countryCode=0", "x75TxFrameSize=0"}) {
        SCOPED_TRACE(zero);
        EXPECT_EQ(tactl({"set", path("p.cfg"), zero}).exitCode, 2);
    }
}

TEST_F(TactlTest, DiffListsTheFieldsThatDifferAndTellsByItsExitCode)
{
    TaProfile a{};
    buildDefaultProfile(a, false, true);
    save("a.cfg", a);
    save("same.cfg", a);
    a.dataPort2.callType = 5;
    setText(a.vp1InScreenDn[2], "0\\1");
    save("b.cfg", a);

    const Outcome equal = tactl({"diff", path("a.cfg"), path("same.cfg")});
    EXPECT_EQ(equal.exitCode, 0);
    EXPECT_EQ(equal.out, "");
    const Outcome different = sh("\"$T\" diff a.cfg - < b.cfg");
    EXPECT_EQ(different.exitCode, 1) << different.err;
    EXPECT_EQ(different.out, "dataPort2.callType: 8 (PPP or MLP) -> 5 (X.75)\nvp1InScreenDn[2]:  -> 0\\\\1\n");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"diff", path("a.cfg")}, {"diff", path("a.cfg"), path("none.cfg")}, {"diff", "-", "-"},
             {"diff", path("a.cfg"), path("b.cfg"), path("b.cfg")}, {"diff", "--bogus", path("a.cfg"), path("b.cfg")},
             {"diff", "--port", "/dev/null", path("a.cfg"), path("b.cfg")}, {"diff", "--all", path("a.cfg"), path("b.cfg")},
             {"diff", "--ta", path("a.cfg"), path("b.cfg")}, {"diff", "--ta", path("none.cfg"), "--port", "/dev/null"}}) {
        SCOPED_TRACE(args.back());
        const Outcome run = tactl(args);
        EXPECT_EQ(run.exitCode, 2);
        expectOneLineError(run);
    }
}

TEST_F(TactlTest, EveryCommandTakesHelpBeforeItsOperands)
{
    for (const char* command : {"batch", "completion", "defaults", "diff", "help", "identify", "import", "query",
                                "ports", "querylist", "set", "show", "submit", "upgrade"}) {
        SCOPED_TRACE(command);
        const Outcome run = tactl({command, "--help"});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out.rfind(std::string("Usage: tactl ") + command, 0), 0u) << run.out;
        EXPECT_EQ(tactl({command, "-h"}).out, run.out);
        EXPECT_EQ(tactl({"help", command}).out, run.out);
    }
}

struct OutputCase {
    const char* command; // a shell command line; "$T" is tactl
    int exitCode;        // with the output written to a file
};

// Output that could not be written turns every command into a failure with
// the reason, as with git and ls: exit 2, not a success or "differ".
TEST_F(TactlTest, EveryCommandFailsWhenItsOutputCannotBeWritten)
{
    TaProfile profile{};
    buildDefaultProfile(profile, false, true);
    save("a.cfg", profile);
    save("b.cfg", variedProfile());
    ASSERT_EQ(sh("\"$T\" show a.cfg > a.txt").exitCode, 0);
    for (const OutputCase& c : {
             OutputCase{"\"$T\" show a.cfg", 0}, OutputCase{"\"$T\" show --json a.cfg", 0},
             OutputCase{"\"$T\" diff a.cfg b.cfg", 1}, OutputCase{"\"$T\" batch b.cfg", 0},
             OutputCase{"\"$T\" querylist", 0}, OutputCase{"\"$T\" defaults -o -", 0},
             OutputCase{"\"$T\" import -o - a.txt", 0}, OutputCase{"\"$T\" completion bash", 0},
             OutputCase{"\"$T\" completion zsh", 0}, OutputCase{"\"$T\" completion fish", 0},
             OutputCase{"TA_SERIAL_PORTS=/nonexistent/tty \"$T\" ports", 0},
             OutputCase{"TA_SERIAL_PORTS=/nonexistent/tty \"$T\" ports --json", 0},
             OutputCase{"\"$T\" --help", 0}, OutputCase{"\"$T\" --version", 0}, OutputCase{"\"$T\" -V", 0},
             OutputCase{"\"$T\" help show", 0},
             OutputCase{"\"$T\" set --help", 0},
         }) {
        SCOPED_TRACE(c.command);
        const Outcome written = sh(std::string(c.command) + " > out");
        EXPECT_EQ(written.exitCode, c.exitCode) << written.err;
        EXPECT_FALSE(slurp(path("out")).empty());
        const Outcome full = sh(std::string(c.command) + " > /dev/full");
        EXPECT_EQ(full.exitCode, 2);
        EXPECT_EQ(full.err, "tactl: write error: No space left on device\n");
    }
    const Outcome closed = sh("\"$T\" show a.cfg >&-");
    EXPECT_EQ(closed.exitCode, 2);
    EXPECT_EQ(closed.err, std::string("tactl: write error: ") + std::strerror(EBADF) + "\n");
}

// The options of the commands that talk to a TA may also come before the
// command, as git and nmcli take theirs.
TEST_F(TactlTest, LinkOptionsMayComeBeforeTheCommand)
{
    using Args = std::vector<std::string>;
    const struct {
        Args before, after;
    } same[] = {
        {{"--x25", "--remote=0301", "querylist"}, {"querylist", "--x25", "--remote", "0301"}},
        {{"--remote", "0301", "--no-datetime", "--", "batch", path("a.cfg")},
         {"batch", path("a.cfg"), "--no-datetime", "--remote=0301"}},
        {{"--x25", "defaults", "-o", "-"}, {"defaults", "-o", "-", "--x25"}},
    };
    TaProfile profile{};
    buildDefaultProfile(profile, false, true);
    save("a.cfg", profile);
    for (const auto& c : same) {
        SCOPED_TRACE(c.before[0]);
        const Outcome before = tactl(c.before), after = tactl(c.after);
        EXPECT_EQ(before.exitCode, 0) << before.err;
        EXPECT_EQ(before.out, after.out);
        EXPECT_NE(tactl({c.after[0]}).out, after.out) << "the options change the output";
    }
    const struct {
        Args args;
        const char* message;
    } refused[] = {
        {{"--bogus"}, "tactl: unknown option '--bogus' (see tactl --help)"},
        {{"--bogus", "querylist"}, "tactl: unknown option '--bogus' (see tactl --help)"},
        {{"-x", "querylist"}, "tactl: unknown option '-x' (see tactl --help)"},
        {{"--json", "show", path("a.cfg")}, "tactl: unknown option '--json' (see tactl --help)"},
        {{"--port=/dev/null", "show", path("a.cfg")}, "tactl: --port does not apply to show (see tactl show --help)"},
        {{"--port"}, "tactl: option '--port' needs a value (see tactl --help)"},
        {{"--debug"}, "tactl: no command given (see tactl --help)"},
        {{"--debug", "frobnicate"}, "tactl: unknown command 'frobnicate' (see tactl --help)"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.message);
        const Outcome run = tactl(c.args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.err, std::string(c.message) + "\n");
        EXPECT_EQ(run.out, "");
    }
}

// The schema of tactl's JSON lists every state a port can be in and every
// class a failure can have, as the program names them.
TEST(TactlSchema, ListsEveryPortStateAndFailureClass)
{
    const QJsonObject defs = QJsonDocument::fromJson(QByteArray::fromStdString(slurp(TACTL_SCHEMA)))
                                 .object()
                                 .value("$defs")
                                 .toObject();
    const auto listed = [&](const char* name) {
        std::set<std::string> words;
        for (const QJsonValue word : defs.value(name).toObject().value("enum").toArray())
            words.insert(word.toString().toStdString());
        return words;
    };
    std::set<std::string> states{link::portStateName(link::OpenFailure(), true)}, classes;
    for (auto problem = int(link::PortProblem::None); problem <= int(link::kLastPortProblem); ++problem)
        states.insert(link::portStateName(link::OpenFailure(link::PortProblem(problem))));
    for (auto each = int(link::FailureClass::None); each <= int(link::FailureClass::Other); ++each)
        classes.insert(std::string(link::failureClassName(link::FailureClass(each))));
    EXPECT_EQ(listed("state"), states);
    EXPECT_EQ(listed("class"), classes);
}

struct UsageCase {
    std::vector<std::string> args; // "A" stands for a profile file in the test's folder
    std::string err;               // the whole of standard error
};

// Every usage error is one line in one style: what was typed, quoted as it
// was typed, what may have been meant, and where to read more.
TEST_F(TactlTest, UsageErrorsNameWhatWasTypedAndWhatWasMeant)
{
    TaProfile profile{};
    buildDefaultProfile(profile, false, true);
    save("a.cfg", profile);
    save("-odd.cfg", profile);
    const std::string before = slurp(path("a.cfg"));
    for (UsageCase c : std::vector<UsageCase>{
             {{"show", "--jsno", "A"}, "unknown option '--jsno'; did you mean '--json'? (see tactl show --help)"},
             {{"show", "-das.", "A"},
              "unknown option '-das.'; for a file of that name write ./-das. or -- -das. (see tactl show --help)"},
             {{"show", "-odd.cfg"},
              "unknown option '-odd.cfg'; for a file of that name write ./-odd.cfg or -- -odd.cfg (see tactl show "
              "--help)"},
             {{"show", "-x", "A"}, "unknown option '-x' (see tactl show --help)"},
             {{"show", "--port=x", "A"}, "--port does not apply to show (see tactl show --help)"},
             {{"querylist", "--x25=1"}, "option '--x25' takes no value, not '1' (see tactl querylist --help)"},
             {{"defaults", "-o"}, "option '-o' needs a value (FILE) (see tactl defaults --help)"},
             {{"querylist", "--variant"}, "option '--variant' needs a value (1|2|3) (see tactl querylist --help)"},
             {{"querylist", "--variant=4"},
              "--variant takes 1 (RS232 port), 2 (USB port) or 3 (both), not '4' (see tactl querylist --help)"},
             {{"shwo", "A"}, "unknown command 'shwo'; did you mean 'show'? (see tactl --help)"},
             {{"--debug", "qurey"}, "unknown command 'qurey'; did you mean 'query'? (see tactl --help)"},
             {{"frobnicate"}, "unknown command 'frobnicate' (see tactl --help)"},
             {{"--prot", "x", "identify"}, "unknown option '--prot'; did you mean '--port'? (see tactl --help)"},
             {{"set", "A", "contryCode=UK"},
              "no such field: 'contryCode'; did you mean 'countryCode'? (tactl show lists them)"},
             {{"set", "A", "dataport1.DN=1"},
              "no such field: 'dataport1.DN'; did you mean 'dataPort1.dn'? (tactl show lists them)"},
         }) {
        for (std::string& arg : c.args)
            arg = arg == "A" ? path("a.cfg") : arg;
        SCOPED_TRACE(c.err);
        const Outcome run = tactl(c.args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.err, "tactl: " + c.err + "\n");
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(slurp(path("a.cfg")), before);

    // The advice given works.
    EXPECT_EQ(sh("\"$T\" show ./-odd.cfg").out, tactl({"show", path("a.cfg")}).out);
    std::ofstream(path("t")) << "contryCode = 249\n";
    EXPECT_EQ(tactl({"import", path("t"), "-o", path("b.cfg")}).err,
              "tactl: " + path("t") + ": line 1: contryCode no such field; did you mean 'countryCode'?\n");

    // help for a command that does not exist names them all.
    const Outcome help = tactl({"help", "nosuch"});
    EXPECT_EQ(help.exitCode, 2);
    EXPECT_EQ(help.err.rfind("tactl: unknown command 'nosuch'; the commands are ", 0), 0u) << help.err;
    EXPECT_NE(help.err.find(" batch, completion, "), std::string::npos) << help.err;
    EXPECT_NE(help.err.find(", show, submit, "), std::string::npos) << help.err;
    EXPECT_EQ(tactl({"-V"}).out, tactl({"--version"}).out);
}

struct SuggestionCase {
    const char* typed;
    std::vector<std::string> meant;
};

TEST(Suggestions, OfferTheNamesOneOrTwoSlipsAway)
{
    const std::vector<std::string> names{"show", "set", "query", "querylist", "submit", "--json", "--port",
                                         "--poll-only", "countryCode", "dataPort1.dn", "dataPort2.dn"};
    for (const SuggestionCase& c : std::vector<SuggestionCase>{
             {"shwo", {"show"}},                       // two letters swapped
             {"SHOW", {"show"}},                       // case
             {"sow", {"show"}},                        // a letter dropped
             {"quer", {"query", "querylist"}},         // begun, not finished
             {"querylsit", {"querylist"}},
             {"--jsno", {"--json"}},
             {"--prot", {"--port"}},
             {"--pol", {"--poll-only"}},
             {"contryCode", {"countryCode"}},
             {"cuontryCoed", {"countryCode"}},         // two slips in a long name
             {"dataPort3.dn", {"dataPort1.dn", "dataPort2.dn"}},
             {"frobnicate", {}},
             {"xyz", {}},
             {"se", {}},                               // too short to guess from
             {"", {}},
         }) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(tactl::closestNames(c.typed, names), c.meant);
    }
    EXPECT_EQ(tactl::didYouMean("dataPort3.dn", names), "; did you mean 'dataPort1.dn' or 'dataPort2.dn'?");
    EXPECT_EQ(tactl::didYouMean("zzz", names), "");
}

struct WrapCase {
    const char* name;
    const char* text;
    std::size_t width;
    const char* prefix;
    std::size_t indent;
    const char* wrapped;
};

TEST(HelpText, WrapsAtWordsWithinTheWidth)
{
    for (const WrapCase& c : {
             WrapCase{"fits", "one two", 20, "  ", 2, "  one two\n"},
             WrapCase{"breaks before the word that would pass", "one two three", 9, "", 2, "one two\n  three\n"},
             WrapCase{"exactly the width", "abc def", 7, "", 0, "abc def\n"},
             WrapCase{"a word longer than the width alone", "a verylongword b", 6, "", 1, "a\n verylongword\n b\n"},
             WrapCase{"after a prefix", "aa bb cc", 9, "xxxx", 4, "xxxxaa bb\n    cc\n"},
             WrapCase{"blanks collapse", "  a   b  ", 10, "", 0, "a b\n"},
         }) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(tactl::wrapped(c.text, c.width, c.prefix, c.indent), c.wrapped);
    }
}

// Help fits the terminal it is shown on (script gives tactl one, 50
// columns wide), and 80 columns when it goes anywhere else.
TEST_F(TactlTest, HelpFitsTheTerminalOrEightyColumns)
{
    for (const char* command : {"--help", "submit --help", "help query"}) {
        SCOPED_TRACE(command);
        const auto longest = [](const std::string& text) {
            std::size_t most = 0;
            for (const std::string& line : lines(text))
                most = std::max(most, line.size() - (line.ends_with('\r') ? 1 : 0));
            return most;
        };
        const Outcome piped = sh(std::string("\"$T\" ") + command);
        ASSERT_EQ(piped.exitCode, 0) << piped.err;
        EXPECT_LE(longest(piped.out), 80u) << piped.out;
        EXPECT_GT(longest(piped.out), 60u) << "the width is used";
        const Outcome narrow = sh(std::string("script -qec 'stty cols 50; \"$T\" ") + command + "' /dev/null");
        ASSERT_EQ(narrow.exitCode, 0) << narrow.err;
        EXPECT_LE(longest(narrow.out), 50u) << narrow.out;
        EXPECT_GT(narrow.out.size(), piped.out.size() / 2) << narrow.out;
    }
}

struct CompletionCase {
    std::string words; // what is typed, the word under the cursor last ("": an empty one; " = ": as bash splits it)
    std::vector<std::string> offered;
    std::optional<std::vector<std::string>> zshOffers = std::nullopt; // where zsh's convention differs
};

// The candidates, sorted: an option's value without "--name=" before it,
// a field's name without "=" after it.
std::vector<std::string> normalised(std::vector<std::string> candidates)
{
    for (std::string& candidate : candidates) {
        if (candidate.starts_with("--") && candidate.find('=') + 1 < candidate.size())
            candidate.erase(0, candidate.find('=') + 1);
        if (candidate.ends_with('='))
            candidate.pop_back();
    }
    std::sort(candidates.begin(), candidates.end());
    return candidates;
}

class ShellCompletion : public TactlTest, public ::testing::WithParamInterface<std::string> {
protected:
    // The line as typed at a prompt: bash's split words joined again.
    static std::string typedLine(std::string words)
    {
        for (auto at = words.find(" = "); at != std::string::npos; at = words.find(" = "))
            words.replace(at, 3, "=");
        for (auto at = words.find("\"\""); at != std::string::npos; at = words.find("\"\""))
            words.erase(at, 2);
        return words;
    }

    std::vector<std::string> offered(const std::string& words) const
    {
        const std::string shell = GetParam();
        if (shell == "bash")
            return lines(sh("bash -c 'source tactl.bash; COMP_WORDS=(" + words +
                            "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _tactl; printf \"%s\\n\" \"${COMPREPLY[@]}\"' "
                            "2>&1 | grep -v \"^$\"")
                             .out);
        std::string line = typedLine(words);
        if (shell == "zsh") {
            for (auto at = line.find('['); at != std::string::npos; at = line.find('[', at + 2))
                line.insert(at, "\\");
            return lines(sh("timeout 60 zsh -f '" + std::string(ZSH_CAPTURE) + "' \"$PWD/zsh\" '" + line + "'").out);
        }
        std::vector<std::string> candidates;
        for (const std::string& candidate : lines(sh("fish -c 'source tactl.fish; complete -C \"" + line + "\"'").out))
            candidates.push_back(candidate.substr(0, candidate.find('\t')));
        return candidates;
    }
};

TEST_P(ShellCompletion, OffersCommandsOptionsFieldsAndFiles)
{
    const std::string shell = GetParam();
    if (std::system(("command -v " + shell + " > /dev/null").c_str()) != 0)
        GTEST_SKIP() << shell << " is not installed (tools/install-deps.sh installs it)";
    ASSERT_EQ(tactl({"completion", shell}).exitCode, 0);
    fs::create_directory(path("zsh"));
    fs::copy_file(path("stdout"), path(shell == "zsh" ? "zsh/_tactl" : "tactl." + shell));
    std::ofstream(path("site.cfg")) << "x";
    for (const CompletionCase& c : std::vector<CompletionCase>{
             {"tactl su", {"submit"}},
             {"tactl show --", {"--help", "--json", "--stable"}},
             {"tactl querylist --var", {"--variant"}},
             {"tactl querylist --variant \"\"", {"1", "2", "3"}},
             {"tactl querylist --variant = \"\"", {"1", "2", "3"}},
             {"tactl set site.cfg dataPort2.mpA", {"dataPort2.mpAddThreshold="}},
             {"tactl set site.cfg vp1InScreenDn[4", {"vp1InScreenDn[4]="}},
             {"tactl set site.cfg countryCode = \"\"", {}},
             {"tactl set si", {"site.cfg"}},
             {"tactl import -o si", {"site.cfg"}},
             {"tactl defaults --output = si", {"site.cfg"}},
             {"tactl submit --remote \"\"", {}},
             {"tactl help up", {"upgrade"}},
             {"tactl completion \"\"", {"bash", "fish", "zsh"}},
             {"tactl identify \"\"", {}, std::vector<std::string>{"--debug", "--help", "--json", "--no-country",
                                                                  "--no-datetime", "--no-force", "--poll-only",
                                                                  "--port", "--remote", "--stats", "--timeout",
                                                                  "--tls-ca", "--tls-cert", "--tls-insecure",
                                                                  "--tls-key", "--tls-pin", "--x25", "-h"}},
             // zsh offers the options instead
             {"tactl set site.cfg dataPort1.inScreenDn", {"dataPort1.inScreenDn[0]=", "dataPort1.inScreenDn[1]=",
                                                           "dataPort1.inScreenDn[2]=", "dataPort1.inScreenDn[3]=",
                                                           "dataPort1.inScreenDn[4]="}},
             {"tactl --por", {"--port"}},
             {"tactl --port /dev/ttyS0 --debug qu", {"query", "querylist"}},
             {"tactl --port = si", {"site.cfg"}},
             {"tactl --remote 0301 --x25 submit --ver", {"--verify"}},
             {"tactl --x25 set site.cfg countryC", {"countryCode="}},
             {"tactl diff --ta --j", {"--json"}},
         }) {
        SCOPED_TRACE(c.words);
        const auto& expected = shell == "zsh" && c.zshOffers ? *c.zshOffers : c.offered;
        EXPECT_EQ(normalised(offered(c.words)), normalised(expected));
    }
}

INSTANTIATE_TEST_SUITE_P(Shells, ShellCompletion, ::testing::Values("bash", "zsh", "fish"),
                         [](const ::testing::TestParamInfo<std::string>& shell) { return shell.param; });

// bash alone: a file name that a field name with brackets matches as a
// pattern stays a field name.
TEST_F(TactlTest, BashCompletionKeepsFieldNamesFromFilePatterns)
{
    ASSERT_EQ(tactl({"completion", "bash"}).exitCode, 0);
    fs::copy_file(path("stdout"), path("tactl.bash"));
    std::ofstream(path("dataPort1.inScreenDn0=")) << "x";
    const Outcome run = sh("bash -c 'source tactl.bash; COMP_WORDS=(tactl set a.cfg dataPort1.inScreenDn); "
                           "COMP_CWORD=3; _tactl; printf \"%s\\n\" \"${COMPREPLY[@]}\"'");
    EXPECT_EQ(lines(run.out), (std::vector<std::string>{"dataPort1.inScreenDn[0]=", "dataPort1.inScreenDn[1]=",
                                                        "dataPort1.inScreenDn[2]=", "dataPort1.inScreenDn[3]=",
                                                        "dataPort1.inScreenDn[4]="}));
}

// What the schema in docs/ says of a value: its property, with what the
// property refers to merged in.
class SchemaRules {
public:
    SchemaRules()
    {
        QFile file(QStringLiteral(PROFILE_SCHEMA_PATH));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        const QJsonObject schema = QJsonDocument::fromJson(file.readAll()).object();
        properties_ = schema.value("properties").toObject();
        defs_ = schema.value("$defs").toObject();
    }
    QJsonObject of(const std::string& name) const
    {
        QJsonObject rule = properties_.value(QString::fromStdString(name)).toObject();
        const QString ref = rule.value("$ref").toString();
        if (ref.startsWith("#/$defs/")) {
            const QJsonObject target = defs_.value(ref.mid(8)).toObject();
            for (auto it = target.begin(); it != target.end(); ++it)
                rule.insert(it.key(), it.value());
        }
        return rule;
    }
    static bool takesNumber(const QJsonObject& rule, unsigned value)
    {
        if (rule.contains("enum"))
            return rule.value("enum").toArray().contains(int(value));
        if (rule.contains("anyOf")) {
            const QJsonArray ways = rule.value("anyOf").toArray();
            return std::any_of(ways.begin(), ways.end(), [value](const QJsonValue& way) {
                return takesNumber(way.toObject(), value);
            });
        }
        if (rule.contains("const"))
            return rule.value("const").toInt(-1) == int(value);
        return value >= unsigned(rule.value("minimum").toInt()) && value <= unsigned(rule.value("maximum").toInt());
    }
    static bool takesText(const QJsonObject& rule, const std::string& text)
    {
        if (rule.contains("const"))
            return rule.value("const").toString().toStdString() == text;
        const QString latin1 = QString::fromLatin1(text.data(), qsizetype(text.size()));
        return (!rule.contains("maxLength") || latin1.size() <= rule.value("maxLength").toInt()) &&
               QRegularExpression(rule.value("pattern").toString()).match(latin1).hasMatch();
    }

private:
    QJsonObject properties_, defs_;
};

// The JSON Schema states the field rules: it takes exactly the numbers the
// rules take and 0 (a setting never read from the TA), and the texts they
// take, as far as a pattern can tell (not a day that its month lacks).
TEST(ProfileSchema, StatesTheFieldRulesOfEveryField)
{
    const SchemaRules schema;
    const std::vector<std::string> texts = {
        "", "0301 234", "(030)#*[1]-9", "12A", "12/3", "12\x01", std::string(20, '1'), std::string(21, '1'),
        std::string(32, '1'), std::string(33, '1'), "03-01-2000", "29-02-2024", "31-12-9999", "99-99-9999",
        "00-01-2000", "01-13-2000", "01-01-0000", "1-1-2000", "00:00:00", "23:59:59", "24:00:00", "00:60:00", "1:2:3",
        "TAPRF1.0", "TAPRF1.1"};
    for (const FieldInfo& field : profileFields()) {
        SCOPED_TRACE(field.name);
        const QJsonObject rule = schema.of(field.name);
        ASSERT_FALSE(rule.isEmpty());
        if (field.kind == FieldKind::Text) {
            for (const std::string& text : texts)
                EXPECT_EQ(SchemaRules::takesText(rule, text), bool(checkText(field, text))) << text;
            continue;
        }
        const unsigned widest = field.kind == FieldKind::Word ? 65535 : 255;
        for (unsigned value = 0; value <= widest; ++value)
            ASSERT_EQ(SchemaRules::takesNumber(rule, value), value == 0 || bool(checkNumber(field, value))) << value;
    }
}

TEST(TerminalScreen, AnOpenBarOrRebootCountLineEndsBeforeAnythingElse)
{
    struct Next {
        const char* name;
        std::function<void(tactl::TerminalScreen&, std::ostream&)> print;
        const char* text;
    };
    const Next nexts[] = {
        {"message", [](auto& s, auto&) { s.showMessage("Submit Setting failed"); }, "tactl: Submit Setting failed"},
        {"connecting", [](auto& s, auto&) { s.showConnecting(true); }, "Connecting remote TA ..."},
        {"rebooting", [](auto& s, auto&) { s.showRebooting(true); }, "Rebooting TA ..."},
        {"command output", [](auto& s, auto& err) { s.finishLine(); err << "elapsedMs = 3"; }, "elapsedMs = 3"},
    };
    for (const bool rebootCount : {false, true}) {
        for (const Next& next : nexts) {
            SCOPED_TRACE(std::string(next.name) + (rebootCount ? " after the reboot count" : " after the bar"));
            link::AppContext ctx;
            std::ostringstream err;
            tactl::TerminalScreen screen(ctx, err, false, true);
            if (rebootCount) {
                screen.showRebooting(true);
                screen.setTickText("25");
            } else {
                screen.setProgressMax(10);
                screen.showProgress(true);
                screen.setProgress(3);
            }
            next.print(screen, err);
            const std::string all = err.str();
            const auto at = all.rfind(next.text);
            ASSERT_NE(at, std::string::npos) << all;
            ASSERT_GT(at, 0u);
            EXPECT_EQ(all[at - 1], '\n') << all;
            screen.finishLine();
            const std::string finished = err.str();
            screen.finishLine();
            EXPECT_EQ(err.str(), finished) << "a closed line is not closed again";
        }
    }
}

} // namespace
} // namespace ta
