// tactl against tasim over real pseudo-terminals: the POSIX serial layer, the
// Qt event loop and the simulated TA, end to end.
#include "tests/support/CaseName.h"
#include "tests/support/FloodServer.h"
#include "tests/support/Processes.h"
#include "profile/TaProfile.h"
#include "tests/support/TestCertificates.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using ta::testsupport::Outcome;
using ta::testsupport::slurp;
using SilentPty = ta::testsupport::Pty;
using ta::testsupport::Ser2net;
using ta::testsupport::Tasim;
using namespace std::string_literals;

class TactlLinkTest : public testing::Test {
protected:
    std::string file(const std::string& name) const { return dir_.file(name); }

    // The simulated TAs of these tests restart in 200 ms (--reboot-ms), so
    // tactl waits a second for them rather than a real TA's 30 s.
    Outcome tactl(const std::string& ports, const std::string& args) const
    {
        // A hang fails the test instead of stopping the suite.
        return dir_.shell("TA_SERIAL_PORTS='" + ports + "' TA_REBOOT_WAIT_MS=1000 timeout 100 " + TACTL_PATH + " " +
                          args);
    }
    // tactl --debug in the background; once its exchange has reached waitFor
    // (a line of its debug output) the shell runs `then` ($p is tactl's PID).
    Outcome tactlUntil(const std::string& ports, const std::string& args, const std::string& waitFor,
                       const std::string& then) const
    {
        return dir_.shell("TA_SERIAL_PORTS='" + ports + "' " + TACTL_PATH + " " + args + " --debug 2>err.txt & p=$!; " +
                          "for i in $(seq 600); do grep -qF '" + waitFor + "' err.txt && break; sleep 0.05; done; " +
                          then + "; wait $p; s=$?; cat err.txt >&2; exit $s");
    }
    // The same, sent the signal.
    Outcome tactlInterrupted(const std::string& ports, const std::string& args, const std::string& waitFor,
                             const std::string& signal) const
    {
        return tactlUntil(ports, args, waitFor, "kill -" + signal + " $p");
    }
    // tactl in the background, no port list, its output in files here.
    pid_t startTactl(const std::string& args) const
    {
        const std::string line = "exec " + std::string(TACTL_PATH) + " " + args + " >'" + file("out.txt") + "' 2>'" +
                                 file("err.txt") + "' </dev/null";
        const pid_t pid = fork();
        if (pid == 0) {
            setenv("TA_SERIAL_PORTS", "", 1);
            execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        return pid;
    }
    // Its exit code once it has gone, waiting at most limitMs; -1 when it
    // was still there (it is killed then).
    static int exitWithin(pid_t pid, int limitMs)
    {
        int status = 0;
        for (int waited = 0; waited < limitMs; waited += 5) {
            if (waitpid(pid, &status, WNOHANG) == pid)
                return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
            usleep(5000);
        }
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return -1;
    }

private:
    ta::testsupport::ScratchDir dir_{"tactl-link"};
};

TEST_F(TactlLinkTest, IdentifyFindsTheTaBehindTwoSilentPorts)
{
    SilentPty first, second;
    Tasim ta({"--model", "QM7B2-HXN", "--no-prefix", "--usb"});
    ASSERT_FALSE(ta.path().empty());
    const auto result = tactl(first.path() + ":" + second.path() + ":" + ta.path(), "identify");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("port = COM3 " + ta.path() + " (pseudo-terminal)\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("taVariant = 2"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("noPortPrefix = yes"), std::string::npos) << result.out;
}

TEST_F(TactlLinkTest, IdentifyFailsWithTheProgramsOwnMessages)
{
    SilentPty silent;
    const auto none = tactl(silent.path(), "identify");
    EXPECT_NE(none.exitCode, 0);
    EXPECT_EQ(none.err, "tactl: Cannot find a TA to config!\n  COM1 " + silent.path() +
                            ": no answer\n  COM2 to COM8: no serial port\n");

    const auto noPort = tactl("/nonexistent/tty:/dev/null", "identify");
    EXPECT_NE(noPort.exitCode, 0);
    EXPECT_EQ(noPort.err, "tactl: There is no free COM port!\n"
                          "  COM1 /nonexistent/tty: missing (unplugged?)\n"
                          "  COM2 /dev/null: not a serial port\n"
                          "  COM3 to COM8: no serial port\n");
}

// The state of each port as another program leaves it: this test process
// holds one of them.
TEST_F(TactlLinkTest, PortsListsEveryCandidateWithItsState)
{
    SilentPty free, held;
    const int holder = open(held.path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    const auto result = tactl(free.path() + ":" + held.path() + ":/nonexistent/tty", "ports");
    close(holder);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::string words; // the columns with single blanks between them
    for (char c : result.out)
        if (c != ' ' || (!words.empty() && words.back() != ' '))
            words += c;
    for (const std::string& line : {"COM1 " + free.path() + " pseudo-terminal free\n",
                                   "COM2 " + held.path() + " pseudo-terminal in use by PID " + std::to_string(getpid()),
                                   std::string("COM3 /nonexistent/tty - missing\n")})
        EXPECT_NE(words.find(line), std::string::npos) << line << " in\n" << result.out;

    // The same records as JSON, the table's "-" as null.
    const auto json = tactl(free.path() + ":/nonexistent/tty", "ports --json");
    EXPECT_EQ(json.exitCode, 0) << json.err;
    const QJsonArray ports = QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).array();
    ASSERT_EQ(ports.size(), 2) << json.out;
    const QJsonObject first{{"com", "COM1"},         {"path", QString::fromStdString(free.path())},
                            {"description", "pseudo-terminal"}, {"state", "free"}, {"class", "none"},
                            {"pid", QJsonValue()},   {"program", QJsonValue()}, {"reason", QJsonValue()},
                            {"status", "free"},      {"byId", QJsonValue()}};
    EXPECT_EQ(QJsonDocument(ports[0].toObject()).toJson().toStdString(), QJsonDocument(first).toJson().toStdString());
    EXPECT_TRUE(ports[1].toObject().value("description").isNull());
}

struct PortStateCase {
    const char* name;
    std::string port; // HELD: a pseudo-terminal this test holds with flock; REFUSED: a loopback port nobody listens on
    const char* state;
    const char* failureClass;
    bool heldByUs;      // pid and program are this test's
    const char* reason; // the start of it; nullptr: null
};

// Each port's state is a fixed word with its class, and what a script may
// want to tell the user besides is in fields of its own.
TEST_F(TactlLinkTest, PortsGiveEachPortAFixedStateAndItsDetails)
{
    SilentPty free, held;
    const int holder = open(held.path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    const std::string refused = "tcp://127.0.0.1:" + std::to_string(ta::testsupport::freeLoopbackPort());
    const std::vector<PortStateCase> cases{
        {"free", free.path(), "free", "none", false, nullptr},
        {"held with flock", held.path(), "in-use", "busy", true, nullptr},
        {"missing", "/nonexistent/tty", "missing", "other", false, nullptr},
        {"not a serial port", "/dev/null", "not-a-serial-port", "other", false, nullptr},
        {"refused", refused, "refused", "unreachable", false, nullptr},
        {"unresolved", "tcp://nohost.invalid:7000", "unresolved", "unreachable", false, ""},
        {"no port number", "rfc2217://127.0.0.1", "bad-address", "local", false, "no port number after the host"},
    };
    std::string ports;
    for (const PortStateCase& c : cases)
        ports += (ports.empty() ? "" : ",") + c.port;
    const auto run = tactl(ports, "ports --json");
    close(holder);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QJsonArray listed = QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).array();
    ASSERT_EQ(listed.size(), qsizetype(cases.size())) << run.out;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const PortStateCase& c = cases[i];
        SCOPED_TRACE(c.name);
        const QJsonObject port = listed[qsizetype(i)].toObject();
        EXPECT_EQ(port.value("path").toString().toStdString(), c.port);
        EXPECT_EQ(port.value("state").toString().toStdString(), c.state);
        EXPECT_EQ(port.value("class").toString().toStdString(), c.failureClass);
        if (c.heldByUs) {
            EXPECT_EQ(port.value("pid").toInt(), getpid());
            EXPECT_FALSE(port.value("program").toString().isEmpty());
        } else {
            EXPECT_TRUE(port.value("pid").isNull());
            EXPECT_TRUE(port.value("program").isNull());
        }
        const QJsonValue reason = port.value("reason");
        if (c.reason) {
            ASSERT_TRUE(reason.isString());
            EXPECT_FALSE(reason.toString().isEmpty());
            EXPECT_TRUE(reason.toString().startsWith(QString::fromLatin1(c.reason))) << reason.toString().toStdString();
        } else {
            EXPECT_TRUE(reason.isNull());
        }
    }
}

struct JsonCase {
    const char* name;
    std::string port; // TA: tasim; SILENT: a pseudo-terminal nobody answers on; HELD: one held with flock
    std::string args; // DIR: the test's folder
    int exitCode;
    QJsonObject expected; // these members, each as given
};

// With --json the link commands tell what the TA told and how they ended
// in one object on standard output, a failure included.
TEST_F(TactlLinkTest, JsonOutputsTellWhatTheTaToldAndHowTheyEnded)
{
    Tasim ta({"--model", "QM7A1-HXN"});
    ASSERT_FALSE(ta.path().empty());
    SilentPty silent, held;
    const int holder = open(held.path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    ASSERT_EQ(tactl("", "defaults -o " + file("d.cfg")).exitCode, 0);
    ASSERT_EQ(tactl("", "defaults -o " + file("e.cfg")).exitCode, 0);
    ASSERT_EQ(tactl("", "set " + file("e.cfg") + " redialCount=3").exitCode, 0);
    const QJsonObject ok{{"class", "none"}, {"message", ""}};
    const auto with = [](QJsonObject object, const QJsonObject& more) {
        for (auto it = more.begin(); it != more.end(); ++it)
            object.insert(it.key(), it.value());
        return object;
    };
    const QJsonObject found = with(ok, {{"model", "QM7A1-HXN"}, {"taVariant", 1}, {"noPortPrefix", false}});
    const QJsonArray redial{QJsonObject{{"field", "redialCount"}, {"old", "0"}, {"new", "3"}}};
    for (const JsonCase& c : std::vector<JsonCase>{
             {"identify", "TA", "identify --json", 0, with(found, {{"x25OnD", false}, {"sysDateTime", true}})},
             {"query", "TA", "query --json -o DIRq.cfg", 0, with(found, {{"firmwareVersion", "V2.10"}})},
             {"diff --ta, equal", "TA", "diff --ta --json DIRd.cfg", 0, with(found, {{"differences", QJsonArray()}})},
             {"diff --ta, different", "TA", "diff --ta --json DIRe.cfg", 1, with(found, {{"differences", redial}})},
             {"diff of files", "", "diff --json DIRd.cfg DIRe.cfg", 1, with(ok, {{"differences", redial}})},
             {"no TA", "SILENT", "identify --json", 1,
              {{"class", "line"}, {"message", "Cannot find a TA to config!"},
               {"details", "COM1 SILENT: no answer\nCOM2 to COM8: no serial port"}}},
             {"no free port", "/dev/null", "query --json -o DIRq2.cfg", 1,
              {{"class", "other"}, {"message", "There is no free COM port!"},
               {"details", "COM1 /dev/null: not a serial port\nCOM2 to COM8: no serial port"}}},
             {"the port held", "HELD", "diff --ta --json DIRd.cfg", 4,
              {{"class", "busy"}, {"message", "There is no free COM port!"}}},
             {"a file that is no profile", "TA", "diff --ta --json DIRnone.cfg", 2,
              {{"class", "local"}, {"message", "No such profile file: DIRnone.cfg"}}},
         }) {
        SCOPED_TRACE(c.name);
        std::string args = c.args, port = c.port == "TA"       ? ta.path()
                                          : c.port == "SILENT" ? silent.path()
                                          : c.port == "HELD"   ? held.path()
                                                               : c.port;
        for (auto at = args.find("DIR"); at != std::string::npos; at = args.find("DIR", at))
            args.replace(at, 3, file(""));
        const auto run = tactl(port, args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        QJsonParseError error{};
        const QJsonObject got = QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out;
        for (auto it = c.expected.begin(); it != c.expected.end(); ++it) {
            QString wanted = it.value().toString();
            wanted.replace("SILENT", QString::fromStdString(silent.path())).replace("DIR", QString::fromStdString(file("")));
            const QJsonValue expected = it.value().isString() ? QJsonValue(wanted) : it.value();
            EXPECT_EQ(QJsonDocument(QJsonArray{got.value(it.key())}).toJson(QJsonDocument::Compact).toStdString(),
                      QJsonDocument(QJsonArray{expected}).toJson(QJsonDocument::Compact).toStdString())
                << it.key().toStdString() << " in\n" << run.out;
        }
        const bool exchanged = !c.port.empty() && got.value("class") != "local";
        EXPECT_EQ(got.value("elapsedMs").isDouble(), exchanged) << run.out;
    }
    close(holder);
    EXPECT_EQ(tactl(ta.path(), "query --json -o -").exitCode, 2) << "standard output cannot take both";
}

// --stats tells the time and the bytes of whatever exchange a command ran,
// on standard error beside its output.
TEST_F(TactlLinkTest, StatsCountTheBytesOfEveryExchange)
{
    Tasim ta;
    ASSERT_FALSE(ta.path().empty());
    ASSERT_EQ(tactl("", "defaults -o " + file("d.cfg")).exitCode, 0);
    for (const std::string& args : std::vector<std::string>{"identify", "query -o " + file("q.cfg"), "diff --ta " + file("d.cfg"),
                                   "submit " + file("d.cfg")}) {
        SCOPED_TRACE(args);
        const auto run = tactl(ta.path(), args + " --stats");
        EXPECT_EQ(run.exitCode, 0) << run.err;
        std::map<std::string, long> figures;
        std::istringstream lines(run.err);
        for (std::string name, equals; lines >> name >> equals;)
            lines >> figures[name];
        EXPECT_TRUE(figures.contains("elapsedMs")) << run.err;
        EXPECT_GT(figures["bytesSent"], 0) << run.err;
        EXPECT_GT(figures["bytesReceived"], figures["bytesSent"]) << "every command comes back as its echo:\n" << run.err;
    }
}

TEST_F(TactlLinkTest, PortOptionOpensThatPortAloneWithoutTheSearch)
{
    Tasim ta;
    ASSERT_FALSE(ta.path().empty());
    const auto found = tactl("", "identify --port " + ta.path());
    EXPECT_EQ(found.exitCode, 0) << found.err;
    EXPECT_NE(found.out.find("port = " + ta.path() + " (pseudo-terminal)\n"), std::string::npos) << found.out;

    // Before the command, as git takes its options.
    for (const std::string& leading : {"--port " + ta.path() + " identify", "--port=" + ta.path() + " --debug identify"}) {
        const auto before = tactl("", leading);
        EXPECT_EQ(before.exitCode, 0) << leading << ": " << before.err;
        EXPECT_EQ(before.out, found.out) << leading;
        EXPECT_EQ(before.err.empty(), leading.find("--debug") == std::string::npos) << leading << ": " << before.err;
    }
    const auto full = tactl("", "identify --port " + ta.path() + " > /dev/full");
    EXPECT_EQ(full.exitCode, 2);
    EXPECT_EQ(full.err, "tactl: write error: No space left on device\n");

    const auto missing = tactl(ta.path(), "query --port /nonexistent/tty -o " + file("x.cfg"));
    EXPECT_EQ(missing.err, "tactl: There is no free COM port!\n  /nonexistent/tty: missing (unplugged?)\n");
}

TEST_F(TactlLinkTest, QuerySubmitQueryGivesAByteIdenticalFile)
{
    Tasim ta({"--one-digit-date"});
    ASSERT_FALSE(ta.path().empty());
    const auto first = tactl(ta.path(), "query -o " + file("a.cfg"));
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_NE(first.out.find("firmwareVersion = V2.10"), std::string::npos) << first.out;
    ASSERT_EQ(fs::file_size(file("a.cfg")), 2928u);
    ASSERT_EQ(tactl("", "defaults -o " + file("d.cfg")).exitCode, 0);
    const auto fresh = tactl("", "diff " + file("a.cfg") + " " + file("d.cfg"));
    EXPECT_EQ(fresh.exitCode, 0) << "a TA fresh from a reset holds the factory settings:\n" << fresh.out;

    const auto submit = tactl(ta.path(), "submit " + file("a.cfg"));
    ASSERT_EQ(submit.exitCode, 0) << submit.err;
    const auto second = tactl(ta.path(), "query -o " + file("b.cfg"));
    ASSERT_EQ(second.exitCode, 0) << second.err;
    EXPECT_EQ(slurp(file("a.cfg")), slurp(file("b.cfg")));
}

TEST_F(TactlLinkTest, RemoteTaIsQueriedThroughACallAndBusyIsReported)
{
    Tasim ta({"--dial-delay-ms", "100", "--remote-firmware", "R9.99"});
    ASSERT_FALSE(ta.path().empty());
    const auto remote = tactl(ta.path(), "query --remote 0301234 -o " + file("r.cfg"));
    ASSERT_EQ(remote.exitCode, 0) << remote.err;
    EXPECT_NE(remote.out.find("firmwareVersion = R9.99"), std::string::npos) << remote.out;

    Tasim busy({"--dial", "busy", "--dial-delay-ms", "100"});
    const auto refused = tactl(busy.path(), "identify --remote 0301234");
    EXPECT_NE(refused.exitCode, 0);
    EXPECT_NE(refused.err.find("tactl: TA respones (Busy)\n"), std::string::npos) << refused.err;
}

struct DiffWithTaCase {
    const char* name;
    std::string edits;   // set on a copy of what the TA holds
    std::string options; // of diff --ta
    int exitCode;
    std::string out;
};

// diff --ta lists what a submit of the file would change, "name: TA -> file";
// the clock only when asked, and never what the TA does not hold or the
// submit does not send.
TEST_F(TactlLinkTest, DiffWithTaListsWhatASubmitWouldChange)
{
    Tasim ta;
    ASSERT_FALSE(ta.path().empty());
    ASSERT_EQ(tactl(ta.path(), "query --x25 -o " + file("ta.cfg")).exitCode, 0);
    for (const DiffWithTaCase& c : std::vector<DiffWithTaCase>{
             {"the TA's own", "", "", 0, ""},
             {"two settings", "redialCount=3 dataPort1.dn=0301234", "", 1, "dataPort1.dn:  -> 0301234\nredialCount: 0 -> 3\n"},
             {"the clock", "sysDate=24-12-2030 sysTime=11:11:11", "", 0, ""},
             {"the clock, asked for", "sysTime=11:11:11", "--all", 1, "sysTime: 00:00:00 -> 11:11:11\n"},
             {"X.25 left alone", "dataPort1.x25WindowSize=5", "", 0, ""},
             {"X.25 handled", "dataPort1.x25WindowSize=5", "--x25", 1, "dataPort1.x25WindowSize: 2 -> 5\n"},
             {"never sent", "dataPort1.outScreenSub[0]=5 reserved831=7", "--all", 0, ""},
         }) {
        SCOPED_TRACE(c.name);
        fs::copy_file(file("ta.cfg"), file("want.cfg"), fs::copy_options::overwrite_existing);
        if (!c.edits.empty()) {
            ASSERT_EQ(tactl("", "set " + file("want.cfg") + " " + c.edits).exitCode, 0);
        }
        const auto run = tactl("", "diff --ta " + file("want.cfg") + " --port " + ta.path() + " " + c.options);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_EQ(run.out, c.out);
    }
    SilentPty silent;
    const auto trouble = tactl(silent.path(), "diff --ta " + file("ta.cfg"));
    EXPECT_EQ(trouble.exitCode, 2);
    EXPECT_EQ(trouble.err.substr(0, trouble.err.find('\n') + 1), "tactl: Cannot find a TA to config!\n");
}

// A backup as text or JSON changes only when a setting does: the clock the
// TA was given in between leaves it as it was, and it restores over a base.
TEST_F(TactlLinkTest, QueryFormatsAreStableBackups)
{
    Tasim ta;
    ASSERT_FALSE(ta.path().empty());
    ASSERT_EQ(tactl(ta.path(), "query -o " + file("ta.cfg")).exitCode, 0);
    for (const std::string format : {"text", "json"}) {
        SCOPED_TRACE(format);
        const auto first = tactl(ta.path(), "query --format " + format + " -o " + file("first"));
        ASSERT_EQ(first.exitCode, 0) << first.err;
        EXPECT_NE(first.out.find("model = QM7B2-HXN\nfirmwareVersion = V2.10\n"), std::string::npos) << first.out;
        ASSERT_EQ(tactl("", "set " + file("ta.cfg") + " sysTime=12:34:56").exitCode, 0);
        ASSERT_EQ(tactl(ta.path(), "submit " + file("ta.cfg")).exitCode, 0);
        const auto second = tactl(ta.path(), "query --format " + format + " -o - 2>/dev/null > " + file("second"));
        ASSERT_EQ(second.exitCode, 0) << second.err;
        EXPECT_EQ(slurp(file("first")), slurp(file("second")));
        EXPECT_EQ(slurp(file("first")).find("sysTime"), std::string::npos);

        ASSERT_EQ(tactl("", "import --base " + file("ta.cfg") + " -o " + file("back.cfg") + " " + file("first")).exitCode, 0);
        EXPECT_EQ(slurp(file("back.cfg")), slurp(file("ta.cfg")));
        ASSERT_EQ(tactl("", "set " + file("ta.cfg") + " sysTime=00:00:00").exitCode, 0);
    }
}

// A refused setting behind a late answer fails the submit: the late OK of
// the command before it cannot stand in for its answer.
TEST_F(TactlLinkTest, LateReplyDoesNotHideARefusal)
{
    ASSERT_EQ(tactl("", "defaults -o " + file("d.cfg")).exitCode, 0);
    Tasim refusing({"--reply-latency-ms", "15", "--late-reply", "7", "--late-reply-ms", "1100", "--refuse", "C0"});
    const auto refused = tactl(refusing.path(), "submit " + file("d.cfg"));
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err.rfind("tactl: Submit Setting failed, please check the TA!\n", 0), 0u) << refused.err;
    EXPECT_NE(refused.err.find(" refused AT1C0=8 (ERROR to each of 7 sends):\n  dataPort1.callType = 8 (PPP or MLP)\n"
                               "  \n  3 of 110 settings were written."),
              std::string::npos)
        << refused.err;
}

// --backup saves what the TA had before anything is written, --verify reads
// the TA back and lists what it did not take; a backup that cannot be read
// stops the write before it starts.
TEST_F(TactlLinkTest, BackupAndVerifyMakeTheWriteSafe)
{
    ASSERT_EQ(tactl("", "defaults -o " + file("d.cfg")).exitCode, 0);
    ASSERT_EQ(tactl("", "set " + file("d.cfg") + " dataPort1.callType=1 dataPort1.dn=0301234").exitCode, 0);
    EXPECT_EQ(tactl("", "submit " + file("d.cfg") + " --backup " + file("d.cfg")).exitCode, 2);

    Tasim keeping({"--keep", "C0"});
    ASSERT_EQ(tactl(keeping.path(), "query -o " + file("before.cfg")).exitCode, 0);
    const auto kept = tactl(keeping.path(), "submit " + file("d.cfg") + " --verify --backup " + file("b.cfg"));
    EXPECT_EQ(kept.exitCode, 3) << kept.err;
    EXPECT_EQ(kept.out, "dataPort1.callType: 1 (HDLC transparent) -> 8 (PPP or MLP)\n");
    EXPECT_EQ(slurp(file("b.cfg")), slurp(file("before.cfg"))) << "taken before the new dn went in";

    // A backup is a file of its own: a pipe (as /dev/stdout may be) is
    // refused, left a pipe, and the TA is not written.
    ASSERT_EQ(mkfifo(file("pipe").c_str(), 0600), 0);
    Tasim piped({"--log"}, file("piped.log"));
    const auto toPipe = tactl(piped.path(), "submit " + file("d.cfg") + " --backup " + file("pipe"));
    EXPECT_EQ(toPipe.exitCode, 1);
    EXPECT_NE(toPipe.err.find("tactl: Cannot save profile file " + file("pipe") + ": Is a pipe, not a file\n"),
              std::string::npos)
        << toPipe.err;
    EXPECT_TRUE(fs::is_fifo(file("pipe")));
    EXPECT_EQ(slurp(file("piped.log")).find('='), std::string::npos) << "nothing was written";

    Tasim taking;
    const auto taken = tactl(taking.path(), "submit " + file("d.cfg") + " --verify");
    EXPECT_EQ(taken.exitCode, 0) << taken.err;
    EXPECT_EQ(taken.out, "");

    // Restarting on the twelfth line, the TA loses the dn and the call type
    // written on the sixth and the eighth (a few lines later under load):
    // the read-back finds them lacking and they are written again.
    Tasim restarting({"--restart-at", "12"});
    const auto restarted = tactl(restarting.path(), "submit " + file("d.cfg"));
    EXPECT_EQ(restarted.exitCode, 0) << restarted.err;
    EXPECT_EQ(restarted.out, "");
    EXPECT_NE(restarted.err.find("as after a restart, so its settings were read back"), std::string::npos)
        << restarted.err;
    EXPECT_NE(restarted.err.find(" the TA lacked after the write were written again.\n"), std::string::npos)
        << restarted.err;
    EXPECT_EQ(tactl(restarting.path(), "diff --ta " + file("d.cfg")).out, "") << "the TA holds the file";

    // Every answer from the tenth command line on comes a minute late.
    Tasim stalling({"--late-reply", "10", "--late-reply-ms", "60000", "--log"}, file("tasim.log"));
    const auto stalled = tactl(stalling.path(), "submit " + file("d.cfg") + " --backup " + file("f.cfg"));
    EXPECT_EQ(stalled.exitCode, 1);
    EXPECT_EQ(stalled.err.rfind("tactl: Query Setting failed, please check the TA!\n", 0), 0u) << stalled.err;
    EXPECT_NE(stalled.err.find(" did not answer AT1C0?\n  dataPort1.callType\n"), std::string::npos) << stalled.err;
    EXPECT_FALSE(fs::exists(file("f.cfg")));
    const std::string log = slurp(file("tasim.log"));
    EXPECT_NE(log.find("tasim: AT1C0?"), std::string::npos) << log;
    EXPECT_EQ(log.find('='), std::string::npos) << "nothing was written:\n" << log;
}

// A TA that restarts, or a line that garbles a command, in the middle of a
// read or a write. The TA is first given voice settings it does not store
// (they come after the batch's stores), so that a restart takes them back
// to the factory's: a read across it would give half of each. The upgrade
// reads as the query does (its case is the link's, on virtual time).
struct LineFaultCliCase {
    const char* name;
    std::string tasim; // the fault, on the command line counted from tasim's start
    std::string args;  // the command under test; DIR is the test's folder
    int exitCode;
    std::string check;   // then, on the same TA: a command whose output ...
    std::string expected; // ... must be this
    std::string note = {}; // on standard error
};

TEST_F(TactlLinkTest, ReadsAndWritesAcrossARestartOrAGarbledLine)
{
    const std::string dir = file("");
    // s.cfg: what the TA stores after the priming write of v.cfg.
    ASSERT_EQ(tactl("", "defaults -o " + file("s.cfg")).exitCode, 0);
    ASSERT_EQ(tactl("", "set " + file("s.cfg") + " dataPort1.dn=0309999").exitCode, 0);
    fs::copy_file(file("s.cfg"), file("v.cfg"));
    ASSERT_EQ(tactl("", "set " + file("v.cfg") + " vp1Dn=0301234 vp2Dn=0407777").exitCode, 0);
    const std::string voiceDiffers = "vp1Dn:  -> 0301234\nvp2Dn:  -> 0407777\n";
    // The priming write takes 116 lines; the next command's read begins at
    // line 121, its voice entries at 198, and it ends at 237.
    for (const LineFaultCliCase& c : std::vector<LineFaultCliCase>{
             {"query", "--restart-at 228", "query -o DIRq.cfg", 0, "diff DIRq.cfg DIRs.cfg", ""},
             {"backup", "--restart-at 228", "submit DIRv.cfg --backup DIRb.cfg", 0, "diff DIRb.cfg DIRs.cfg", ""},
             {"diff --ta", "--restart-at 228", "diff --ta DIRv.cfg", 1, "diff --ta DIRv.cfg", voiceDiffers},
             // AT1%S? arrives as AT1%S= and empties the dn before it is read.
             {"query made an assignment", "--flip-at 124 --flip-byte 99 --flip-bit 1", "query -o DIRq.cfg", 0,
              "query -o - 2>/dev/null | cmp - DIRq.cfg && echo same", "same\n"},
             // AT1C1=0 arrives as AT1C0=0: the call type of port 1 is lost.
             {"write of another key", "--flip-at 125", "submit DIRs.cfg", 0, "diff --ta DIRs.cfg", "",
              "tactl: The TA echoed a command that was never sent, as when the line garbles one, so its settings were "
              "read back.\ntactl: 1 setting the TA lacked after the write was written again.\n"},
         }) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> options;
        std::istringstream words(c.tasim);
        for (std::string word; words >> word;)
            options.push_back(word);
        Tasim ta(options);
        ASSERT_FALSE(ta.path().empty());
        ASSERT_EQ(tactl(ta.path(), "submit --no-verify " + file("v.cfg")).exitCode, 0);
        std::string args = c.args, check = c.check;
        for (std::string* text : {&args, &check})
            for (auto at = text->find("DIR"); at != std::string::npos; at = text->find("DIR", at))
                text->replace(at, 3, dir);
        const auto run = tactl(ta.path(), args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE(run.err.find(c.note), std::string::npos) << run.err;
        const auto checked = tactl(ta.path(), check);
        EXPECT_EQ(checked.out, c.expected) << checked.err;
        if (c.args.starts_with("diff")) {
            EXPECT_EQ(run.out, checked.out) << "the same as a read without the fault";
        }
    }
}

struct LocalCheckCase {
    const char* name;
    std::string args;
    int exitCode;
    std::string err; // the whole of standard error, DIR for the scratch folder
};

// What a command takes from this machine is checked before the port is
// opened or the number dialled: a TA that logs every line it receives gets
// none, whatever the refusal.
TEST_F(TactlLinkTest, LocalInputsAreCheckedBeforeThePortOrTheCall)
{
    const std::string dir = file("");
    ASSERT_EQ(tactl("", "defaults -o " + file("d.cfg")).exitCode, 0);
    std::ofstream(file("fw.bin"), std::ios::binary) << std::string(300, 'x');
    std::ofstream(file("empty.bin"), std::ios::binary).flush();
    std::ofstream(file("bad.cfg"), std::ios::binary) << "TAPRF0.9";
    std::string odd = slurp(file("d.cfg"));
    odd.replace(offsetof(ta::TaProfile, vp1Dn), 4, std::string("12A\0", 4)); // every TA is sent the analog ports
    std::ofstream(file("odd.cfg"), std::ios::binary) << odd;
    { std::ofstream big(file("big.bin"), std::ios::binary); }
    fs::resize_file(file("big.bin"), 9u << 20); // sparse
    fs::create_directory(file("folder"));
    const std::string noFolder = "Cannot save profile file DIRnone/b.cfg: No such file or directory\n";
    Tasim ta({"--log", "--dial-delay-ms", "100"}, file("tasim.log"));
    ASSERT_FALSE(ta.path().empty());
    for (const LocalCheckCase& c : std::vector<LocalCheckCase>{
             {"firmware over 8 MiB, remote", "upgrade --remote 0301234 DIRbig.bin", 1,
              "Can not open file!\n  DIRbig.bin holds 9437184 bytes; a firmware file holds at most 8 MiB (8388608 "
              "bytes)\n"},
             {"no firmware", "upgrade DIRnone.bin", 1,
              "Can not open file!\n  DIRnone.bin: No such file or directory\n"},
             {"empty firmware", "upgrade DIRempty.bin --profile DIRd.cfg", 1, "Can not open file!\n  DIRempty.bin is empty\n"},
             {"firmware a folder", "upgrade DIRfolder", 1, "Can not open file!\n  DIRfolder is a folder, not a firmware file\n"},
             {"profile after the upgrade", "upgrade DIRfw.bin --profile DIRnone.cfg", 1, "No such profile file: DIRnone.cfg\n"},
             {"profile to submit", "submit DIRbad.cfg --remote 0301234", 1,
              "Not a TA profile file (no TAPRF1.0 header): DIRbad.cfg\n"},
             {"profile breaking a field rule", "submit DIRodd.cfg --remote 0301234 --backup DIRb.cfg", 1,
              "The settings were not written to the TA: some hold values the TA does not take.\n"
              "  Analog Port > Local DN and Options > Local Directory Number > Address Port 1 (vp1Dn = 12A) takes "
              "only the digits, '-', '*', '#', blank, '(', ')', '[' and ']'\n"},
             {"backup in no folder", "submit DIRd.cfg --backup DIRnone/b.cfg", 1, noFolder},
             {"backup of an upgrade", "upgrade DIRfw.bin --remote 0301234 --backup DIRnone/b.cfg", 1, noFolder},
             {"backup a folder", "submit DIRd.cfg --backup DIRfolder", 1,
              "Cannot save profile file DIRfolder: Is a folder\n"},
             {"query output in no folder", "query -o DIRnone/b.cfg", 1, noFolder},
             {"query text output a folder", "query --format json -o DIRfolder", 1,
              "Cannot save profile file DIRfolder: Is a folder\n"},
             {"defaults output a folder", "defaults -o DIRfolder", 1, "Cannot save profile file DIRfolder: Is a folder\n"},
             {"number without a digit", "query --remote '( )' -o DIRq.cfg", 2,
              "--remote takes a telephone number of 1 to 32 digits, '-', '*', '#', blanks, '(', ')', '[' or ']', at "
              "least one of them a digit, not '( )' (see tactl query --help)\n"},
         }) {
        SCOPED_TRACE(c.name);
        std::string args = c.args, expected = "tactl: " + c.err;
        for (std::string* text : {&args, &expected})
            for (auto at = text->find("DIR"); at != std::string::npos; at = text->find("DIR", at))
                text->replace(at, 3, dir);
        const auto run = tactl(ta.path(), args);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.err, expected);
    }
    EXPECT_EQ(slurp(file("tasim.log")), "") << "no line reached the TA";
    EXPECT_FALSE(fs::exists(file("q.cfg")));
    ASSERT_EQ(tactl(ta.path(), "identify").exitCode, 0);
    EXPECT_NE(slurp(file("tasim.log")), "") << "the log shows what does reach the TA";
}

struct TruthCase {
    const char* name;
    std::vector<std::string> tasim; // options; none: no TA needed
    std::string args;
    std::string pullCableAt; // a line of tactl's --debug output; "": left alone
    int exitCode;
    std::string err; // the start of standard error (after the --debug lines)
};

// A message says what happened: a write that finished before its read-back
// failed, a port gone in the middle of a transfer; names and values from
// files cannot drive the terminal, and a NUL cannot cut a text short.
TEST_F(TactlLinkTest, MessagesTellWhatHappened)
{
    ASSERT_EQ(tactl("", "defaults -o " + file("d.cfg")).exitCode, 0);
    std::ofstream(file("big.bin"), std::ios::binary) << std::string(65536, '\x5A');
    std::ofstream(file("nul.txt")) << "dataPort1.dn = 12\\x0034\n";
    std::ofstream(file("nul.json")) << "{\"dataPort1.dn\": \"12\\u000034\"}";
    std::ofstream(file("esc.txt")) << "redialCount = 3\x1b[2J\n";
    std::ofstream(file("esc.json")) << "{\"a\\n\\u001b[2Jb\": 1}";
    const std::string nul = ": line 1: dataPort1.dn has a NUL byte after 2 characters, which would end the text "
                            "there; a text cannot hold one\n";
    for (const TruthCase& c : std::vector<TruthCase>{
             // The read-back starts with the 117th line the TA gets; its 9th is never answered.
             {"read-back after a finished write", {"--late-reply", "125", "--late-reply-ms", "60000"},
              "submit " + file("d.cfg") + " --verify", "", 1,
              "tactl: Query Setting failed, please check the TA!\n"
              "  The write to the TA finished; reading the settings back to verify them failed.\n"},
             {"port gone in the transfer", {"--baud", "19200"},
              "upgrade " + file("big.bin") + " --profile " + file("d.cfg"), "(AT$D99)", 1,
              "tactl: Firmware upgrade abort, the port went away during the transfer!\n"},
             {"ESC in a file name", {}, "submit '" + file("\x1b[2J.cfg") + "'", "", 1,
              "tactl: No such profile file: " + file("\\x1b[2J.cfg") + "\n"},
             {"ESC in a value", {}, "import -o - " + file("esc.txt"), "", 1,
              "tactl: " + file("esc.txt") + ": line 1: redialCount is not a number: '3\\x1b[2J'\n"},
             {"ESC and a line break in a JSON name", {}, "import -o - " + file("esc.json"), "", 1,
              "tactl: " + file("esc.json") + ": a\\x0a\\x1b[2Jb no such field\n"},
             {"NUL in a text value", {}, "import -o " + file("n.cfg") + " " + file("nul.txt"), "", 1,
              "tactl: " + file("nul.txt") + nul},
             {"NUL in a JSON string", {}, "import -o " + file("n.cfg") + " " + file("nul.json"), "", 1,
              "tactl: " + file("nul.json") + ": dataPort1.dn has a NUL byte after 2 characters, which would end "
              "the text there; a text cannot hold one\n"},
         }) {
        SCOPED_TRACE(c.name);
        std::optional<Tasim> ta;
        if (!c.tasim.empty())
            ta.emplace(c.tasim);
        const std::string port = ta ? ta->path() : "";
        const auto run = c.pullCableAt.empty()
                             ? tactl(port, c.args)
                             : tactlUntil(port, c.args, c.pullCableAt, "sleep 0.5; kill -KILL " + std::to_string(ta->pid()));
        EXPECT_EQ(run.exitCode, c.exitCode);
        const auto start = run.err.find("tactl: ");
        EXPECT_EQ(run.err.substr(start == std::string::npos ? 0 : start, c.err.size()), c.err) << run.err;
        EXPECT_EQ(run.err.find("please make sure firmware is correct"), std::string::npos) << run.err;
    }
    EXPECT_FALSE(fs::exists(file("n.cfg")));
}

// SIGTERM during a remote submit ends it with the program's own message, the
// call hung up and the local TA restored; SIGINT during an upload cancels the
// transfer, so the TA leaves download mode and answers again at once.
TEST_F(TactlLinkTest, SignalsEndTheExchangeUnderWay)
{
    ASSERT_EQ(tactl("", "defaults -o " + file("d.cfg")).exitCode, 0);
    Tasim ta({"--dial-delay-ms", "100", "--remote-reply-latency-ms", "40", "--log"}, file("tasim.log"));
    const auto submit = tactlInterrupted(ta.path(), "submit " + file("d.cfg") + " --remote 0301234", "(AT1%P2=", "TERM");
    EXPECT_EQ(submit.exitCode, 128 + SIGTERM) << submit.err;
    EXPECT_NE(submit.err.find("tactl: Submit Setting failed, please check the TA!\n"), std::string::npos);
    EXPECT_NE(submit.err.find(" settings were written. The TA now holds a mix"), std::string::npos) << submit.err;
    EXPECT_EQ(submit.err.find("(AT1&W)"), std::string::npos) << "the batch stopped";
    // tasim takes the last line in its own time after tactl has gone.
    std::string log;
    for (int i = 0; i < 200 && log.find("tasim: ATC0=8%P5=0\n") == std::string::npos; ++i) {
        usleep(i == 0 ? 0 : 20000);
        log = slurp(file("tasim.log"));
    }
    EXPECT_NE(log.find("tasim: ATH\n"), std::string::npos) << log;
    EXPECT_NE(log.find("tasim: ATC0=8%P5=0\n"), std::string::npos) << log;

    std::ofstream(file("big.bin"), std::ios::binary) << std::string(65536, '\x5A');
    Tasim slow({"--baud", "19200"});
    const auto upgrade =
        tactlInterrupted(slow.path(), "upgrade " + file("big.bin") + " --profile " + file("d.cfg"), "(AT$D99)", "INT");
    EXPECT_EQ(upgrade.exitCode, 128 + SIGINT) << upgrade.err;
    EXPECT_NE(upgrade.err.find("tactl: Firmware upgrade abort, please make sure firmware is correct!\n"
                               "  Interrupted by a signal. The transfer was stopped after "),
              std::string::npos)
        << upgrade.err;
    EXPECT_EQ(tactl(slow.path(), "identify").exitCode, 0);
}

struct SignalCase {
    const char* name;
    std::vector<std::string> tasim;
    std::string args;
    std::string waitFor; // a line of tactl's --debug output
    std::string details; // after "Interrupted by a signal. "; N stands for the assignments in tasim's log
};

// Ctrl-C says that the exchange was interrupted and counts what the TA
// took: the command on the line when the signal comes is answered first.
TEST_F(TactlLinkTest, InterruptedWriteCountsWhatTheTaTook)
{
    ASSERT_EQ(tactl("", "defaults -o " + file("d.cfg")).exitCode, 0);
    const std::string mix = " settings were written. The TA now holds a mix";
    for (const SignalCase& c : std::vector<SignalCase>{
             {"at the first command", {"--reply-latency-ms", "300"}, "submit DIRd.cfg", "(AT$P5=216)", "N of 110" + mix},
             {"half way", {"--reply-latency-ms", "300"}, "submit DIRd.cfg", "(AT1%M3=35)", "N of 110" + mix},
             {"while dialling", {"--dial-delay-ms", "5000"}, "submit DIRd.cfg --remote 0301234", "(ATD0301234",
              "The call to 0301234 was being dialled. Nothing was written to the TA."},
         }) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> options = c.tasim;
        options.push_back("--log");
        const std::string logFile = file(std::string(c.name).substr(0, 4) + ".log");
        Tasim ta(options, logFile);
        std::string args = c.args;
        args.replace(args.find("DIR"), 3, file(""));
        const auto run = tactlInterrupted(ta.path(), args, c.waitFor, "INT");
        EXPECT_EQ(run.exitCode, 128 + SIGINT) << run.err;
        // What the TA took, once its log holds still.
        std::string log, before;
        for (int i = 0; i < 20 && (log.empty() || log != before); ++i) {
            before = log;
            usleep(150000);
            log = slurp(logFile);
        }
        int taken = 0;
        for (std::size_t at = log.find("tasim: AT"); at != std::string::npos; at = log.find("tasim: AT", at + 1))
            taken += log.substr(at, log.find('\n', at) - at).find('=') != std::string::npos ? 1 : 0;
        std::string details = c.details;
        if (details.starts_with("N"))
            details.replace(0, 1, std::to_string(taken));
        EXPECT_NE(run.err.find("tactl: Submit Setting failed, please check the TA!\n  Interrupted by a signal. " +
                               details),
                  std::string::npos)
            << run.err << log;
    }
}

TEST_F(TactlLinkTest, UpgradeUploadsTheImageAndWritesTheSettingsBack)
{
    const std::string image = file("image.bin"), received = file("received.bin");
    {
        std::ofstream fw(image, std::ios::binary);
        for (int i = 0; i < 5000; ++i)
            fw.put(char(i * 7));
    }
    // A TA that says OK to the download command and whose answer to the end
    // of the transfer is lost still gets its image and its settings back.
    Tasim ta({"--reboot-ms", "200", "--image-out", received, "--ok-to-download", "--lose-end-ack"});
    ASSERT_FALSE(ta.path().empty());
    const auto result = tactl(ta.path(), "upgrade " + image);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::string expected = slurp(image);
    expected.resize(5120, char(0x1A));
    EXPECT_EQ(slurp(received), expected);
}

// A TA behind ser2net, once per kind of network port: a query gives the
// profile the pseudo-terminal gives, and an image of nothing but 0xFF bytes
// (each an IAC to Telnet) arrives whole, the restart found again over the
// network, in clear text and inside TLS.
struct ConsoleServerCase {
    const char* name;
    const char* accepter; // ser2net's
    const char* scheme;   // ours
    const char* note;     // what the debug log says of the server, "" nothing
    bool tls;             // the accepter inside ser2net's ssl, checked with the test's CA
    friend void PrintTo(const ConsoleServerCase& c, std::ostream* os) { *os << c.name; }
};

class TactlBehindSer2net : public TactlLinkTest, public testing::WithParamInterface<ConsoleServerCase> {};

TEST_P(TactlBehindSer2net, QueryMatchesThePtyAndAnAllFfImageArrivesWhole)
{
    const ConsoleServerCase& c = GetParam();
    const std::string received = file("received.bin"), image = file("ff.bin");
    Tasim ta({"--reboot-ms", "200", "--image-out", received});
    ASSERT_FALSE(ta.path().empty());
    std::optional<ta::testsupport::TestCertificates> pki;
    if (c.tls) {
        ASSERT_TRUE(pki.emplace().made()) << pki->problem();
    }
    // The certificate for 127.0.0.1.
    Ser2net server(c.tls ? pki->tlsAccepter(c.accepter, "elsewhere.crt") : c.accepter, ta.path(),
                   file("ser2net.log"));
    ASSERT_NE(server.port(), 0) << "ser2net did not come up:\n" << slurp(file("ser2net.log"));
    const std::string url = std::string(c.scheme) + "://127.0.0.1:" + std::to_string(server.port());
    const std::string port = (c.tls ? " --tls-ca " + pki->ca() : std::string()) + " --port " + url;

    const auto local = tactl("", "query --port " + ta.path() + " -o " + file("pty.cfg"));
    ASSERT_EQ(local.exitCode, 0) << local.err;
    const auto remote = tactl("", "query" + port + " -o " + file("net.cfg"));
    ASSERT_EQ(remote.exitCode, 0) << remote.err;
    EXPECT_EQ(slurp(file("net.cfg")), slurp(file("pty.cfg")));

    std::ofstream(image, std::ios::binary) << std::string(5000, '\xFF');
    const auto upgrade = tactl("", "upgrade " + image + port + " --debug");
    ASSERT_EQ(upgrade.exitCode, 0) << upgrade.err;
    std::string expected = slurp(image);
    expected.resize(5120, char(0x1A));
    EXPECT_EQ(slurp(received), expected);
    const std::string notes = "[" + url + ": ";
    if (*c.note)
        EXPECT_NE(upgrade.err.find(notes + c.note), std::string::npos) << upgrade.err;
    else
        EXPECT_EQ(upgrade.err.find(notes), std::string::npos) << upgrade.err;
}

// ser2net on a pseudo-terminal cannot set modem lines and leaves DTR unanswered.
INSTANTIATE_TEST_SUITE_P(Accepters, TactlBehindSer2net,
                         testing::Values(ConsoleServerCase{"Rfc2217", "telnet(rfc2217),tcp", "rfc2217",
                                                           "no answer to SET-CONTROL DTR on within 1000 ms", false},
                                         ConsoleServerCase{"RawTcp", "tcp", "tcp", "", false},
                                         ConsoleServerCase{"Rfc2217OverTls", "telnet(rfc2217)", "rfc2217+tls",
                                                           "no answer to SET-CONTROL DTR on within 1000 ms", true}),
                         ta::testsupport::CaseName());

// Servers that never stop talking: data without a pause, a subnegotiation
// that never ends, Telnet NOPs without end. The search ends by itself with
// its message, and SIGTERM in the middle of the flood ends tactl within a
// second, as anywhere else.
struct FloodCase {
    const char* name;
    const char* scheme;
    std::string opening, piece; // sent once, then over and over
    const char* reason;         // how the port is reported
    friend void PrintTo(const FloodCase& c, std::ostream* os) { *os << c.name; }
};

class TactlAgainstAFlood : public TactlLinkTest, public testing::WithParamInterface<FloodCase> {};

TEST_P(TactlAgainstAFlood, EndsBySelfAndWithinASecondOfSigterm)
{
    const FloodCase& c = GetParam();
    ta::testsupport::FloodServer server(c.opening, c.piece);
    ASSERT_NE(server.port(), 0);
    const std::string url = std::string(c.scheme) + "://127.0.0.1:" + std::to_string(server.port());

    const auto alone = tactl("", "identify --port " + url);
    EXPECT_EQ(alone.exitCode, 1);
    EXPECT_EQ(alone.err, "tactl: Cannot find a TA to config!\n  " + url + ": " + c.reason + "\n");

    const pid_t pid = startTactl("identify --port " + url);
    const uint64_t before = server.sent();
    for (int i = 0; i < 1000 && server.sent() < before + (4u << 20); ++i)
        usleep(10000);
    ASSERT_GE(server.sent(), before + (4u << 20)) << "the flood did not get going";
    const auto signalled = std::chrono::steady_clock::now();
    kill(pid, SIGTERM);
    const int exitCode = exitWithin(pid, 5000);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - signalled);
    EXPECT_EQ(exitCode, 128 + SIGTERM) << slurp(file("err.txt"));
    EXPECT_LT(took.count(), 1000);
}

const std::string kLetters(65536, 'x');
const std::string kEndlessSub = "\xFF\xFA\x2C"s;
const std::string kNops = [] {
    std::string nops;
    for (int i = 0; i < 32768; ++i)
        nops += "\xFF\xF1";
    return nops;
}();

INSTANTIATE_TEST_SUITE_P(
    Servers, TactlAgainstAFlood,
    testing::Values(FloodCase{"DataOnARawPort", "tcp", "", kLetters, "answered, but not as a TA of this family"},
                    FloodCase{"DataOnAnRfc2217Port", "rfc2217", "", kLetters, "answered, but not as a TA of this family"},
                    FloodCase{"EndlessSubnegotiation", "rfc2217", kEndlessSub, kLetters, "no answer"},
                    FloodCase{"EndlessNops", "rfc2217", "", kNops, "no answer"}),
    ta::testsupport::CaseName());

// A ser2net port that another client holds turns the next away with its
// words; both kinds of port say so, not that a TA is missing there.
TEST_F(TactlLinkTest, BusyConsoleServerPortIsReportedAsBusy)
{
    Tasim ta;
    ASSERT_FALSE(ta.path().empty());
    for (const auto& [accepter, scheme] : {std::pair{"tcp", "tcp"}, std::pair{"telnet(rfc2217),tcp", "rfc2217"}}) {
        Ser2net server(accepter, ta.path(), file("ser2net.log"));
        ASSERT_NE(server.port(), 0) << slurp(file("ser2net.log"));
        const std::string url = std::string(scheme) + "://127.0.0.1:" + std::to_string(server.port());
        const int holder = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(uint16_t(server.port()));
        ASSERT_EQ(connect(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        for (int attempt = 0; attempt < 3; ++attempt) {
            const auto busy = tactl("", "identify --port " + url);
            EXPECT_EQ(busy.exitCode, 4) << "busy: worth a retry";
            EXPECT_EQ(busy.err, "tactl: There is no free COM port!\n  " + url +
                                    ": the server closed the connection at once (Port already in use); is another "
                                    "program connected to that port?\n")
                << scheme;
        }
        close(holder);
    }
}

// Network ports in the list: their state in `tactl ports`, the reason each
// was passed over when none can be used, and a console server that goes away
// in the middle of a query ends it like an unplugged TA.
TEST_F(TactlLinkTest, NetworkPortsSayWhatWentWrong)
{
    Tasim ta({"--baud", "4800"});
    ASSERT_FALSE(ta.path().empty());
    Ser2net server("telnet(rfc2217),tcp", ta.path(), file("ser2net.log"));
    ASSERT_NE(server.port(), 0) << slurp(file("ser2net.log"));
    const std::string reachable = "rfc2217://127.0.0.1:" + std::to_string(server.port());
    const std::string refused = "tcp://127.0.0.1:" + std::to_string(ta::testsupport::freeLoopbackPort());
    const std::string unknown = "tcp://nohost.invalid:7000";

    const auto ports = tactl(reachable + "," + refused + " " + unknown, "ports");
    EXPECT_EQ(ports.exitCode, 0) << ports.err;
    std::string words; // the columns with single blanks between them
    for (char c : ports.out)
        if (c != ' ' || (!words.empty() && words.back() != ' '))
            words += c;
    for (const std::string& line : {"COM1 " + reachable + " RFC 2217 network port reachable\n",
                                    "COM2 " + refused + " raw TCP network port refused\n",
                                    "COM3 " + unknown + " raw TCP network port unresolved ("})
        EXPECT_NE(words.find(line), std::string::npos) << line << " in\n" << ports.out;

    const auto none = tactl(refused + ":" + unknown + ":rfc2217://127.0.0.1", "identify");
    EXPECT_NE(none.exitCode, 0);
    EXPECT_NE(none.err.find("tactl: There is no free COM port!\n"
                            "  COM1 " + refused + ": connection refused; is the console server (ser2net) listening"),
              std::string::npos) << none.err;
    EXPECT_NE(none.err.find("  COM2 " + unknown + ": host not found ("), std::string::npos) << none.err;
    EXPECT_NE(none.err.find("  COM3 rfc2217://127.0.0.1: not a network port (no port number after the host)"),
              std::string::npos) << none.err;

    const auto cut = tactlUntil("", "query -o q.cfg --port " + reachable, "(AT1C0?)",
                                "kill -KILL " + std::to_string(server.pid()));
    EXPECT_EQ(cut.exitCode, 1) << cut.err;
    EXPECT_NE(cut.err.find("tactl: Query Setting failed, please check the TA!\n"
                           "  The connection to " + reachable + " was closed by the server.\n"),
              std::string::npos) << cut.err;

    // Other programs' schemes for the same ports.
    const auto foreign = tactl("", "identify --port telnet://127.0.0.1:" + std::to_string(server.port()));
    EXPECT_NE(foreign.err.find(": not a network port (telnet:// is not a scheme of this program; Telnet with COM "
                               "port control is rfc2217://); write rfc2217://HOST:PORT or tcp://HOST:PORT"),
              std::string::npos) << foreign.err;
}

// A TA behind ser2net's TLS accepter (the query and the upgrade with
// --tls-ca: TactlBehindSer2net): a query with the CA from the variable the
// windows read gives the profile the pseudo-terminal gives; `ports` tells
// the server that passes the checks from the one that does not;
// --tls-insecure warns; and a key with a passphrase ends the command before
// any port is opened.
TEST_F(TactlLinkTest, ConsoleServerOverTls)
{
    const ta::testsupport::TestCertificates pki;
    ASSERT_TRUE(pki.made()) << pki.problem();
    Tasim ta;
    ASSERT_FALSE(ta.path().empty());
    Ser2net server(pki.tlsAccepter("telnet(rfc2217)", "server.crt"), ta.path(), file("ser2net.log"));
    ASSERT_NE(server.port(), 0) << slurp(file("ser2net.log"));
    const std::string byName = "rfc2217+tls://localhost:" + std::to_string(server.port());
    const std::string byAddress = "rfc2217+tls://127.0.0.1:" + std::to_string(server.port());

    const auto local = tactl("", "query --port " + ta.path() + " -o " + file("pty.cfg"));
    ASSERT_EQ(local.exitCode, 0) << local.err;
    {
        const ta::testsupport::ScopedEnv ca("TA_TLS_CA", pki.ca().c_str());
        const auto fromVariable = tactl("", "query --port " + byName + " -o " + file("env.cfg"));
        ASSERT_EQ(fromVariable.exitCode, 0) << fromVariable.err;
        EXPECT_EQ(slurp(file("env.cfg")), slurp(file("pty.cfg")));
    }

    const auto ports = tactl(byName + "," + byAddress, "ports --tls-ca " + pki.ca());
    EXPECT_EQ(ports.exitCode, 0) << ports.err;
    std::string words; // the columns with single blanks between them
    for (char c : ports.out)
        if (c != ' ' || (!words.empty() && words.back() != ' '))
            words += c;
    for (const std::string& line :
         {"COM1 " + byName + " RFC 2217 network port over TLS reachable\n",
          "COM2 " + byAddress + " RFC 2217 network port over TLS no TLS session (the server's certificate is not for "
                                "127.0.0.1 (it is for localhost)"})
        EXPECT_NE(words.find(line), std::string::npos) << line << " in\n" << ports.out;

    const auto insecure = tactl("", "identify --tls-insecure --port " + byAddress);
    EXPECT_EQ(insecure.exitCode, 0) << insecure.err;
    EXPECT_EQ(insecure.err, "tactl: warning: --tls-insecure: the console server's certificate is not checked; "
                            "anyone on the way can read and change what goes to the TA\n");

    const std::string refused = "rfc2217+tls://127.0.0.1:" + std::to_string(ta::testsupport::freeLoopbackPort());
    const auto locked = tactl("", "identify --tls-cert " + pki.clientCert() + " --tls-key " + pki.lockedClientKey()
                                      + " --port " + refused);
    EXPECT_EQ(locked.exitCode, 1);
    EXPECT_EQ(locked.err, "tactl: the client key " + pki.lockedClientKey()
                              + " is protected by a passphrase, which is never asked for: write the key without one "
                                "(openssl pkey -in KEY -out NEWKEY) to a file that only you can read\n");
}

// apply's JSON object.
QJsonObject applyJson(const Outcome& run)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
}

// The assignments the TA received, in order: its log's lines with "=" or a
// store command.
std::vector<std::string> writtenLines(const std::string& log)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = log.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = log.substr(start, end - start);
        if (line.find('=') != std::string::npos || line.ends_with("&W"))
            lines.push_back(line.substr(line.find("AT")));
    }
    return lines;
}

std::size_t countOf(const std::string& text, const std::string& word)
{
    std::size_t count = 0;
    for (auto at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++count;
    return count;
}

struct FailureClassCase {
    const char* name;
    std::vector<std::string> tasim; // a TA behind the port with these options; none: the port below
    std::string port;               // HELD: a pty this test holds; SILENT: a pty nobody answers; else as given
    std::string args;
    int exitCode;
    const char* failureClass;
};

// Each failure a script acts on has its class in the JSON and, where a retry
// may help or the time ran out, an exit code of its own.
TEST_F(TactlLinkTest, FailuresCarryTheirClass)
{
    const std::string refused = "tcp://127.0.0.1:" + std::to_string(ta::testsupport::freeLoopbackPort());
    for (const FailureClassCase& c : std::vector<FailureClassCase>{
             {"a port another program holds", {}, "HELD", "redialCount=3", 4, "busy"},
             {"nothing listens", {}, refused, "redialCount=3", 5, "unreachable"},
             {"an unknown host", {}, "tcp://nohost.invalid:7000", "redialCount=3", 5, "unreachable"},
             {"not a TA", {"--ident", ""}, "", "redialCount=3", 1, "not-a-ta"},
             {"no answer", {}, "SILENT", "redialCount=3", 1, "line"},
             {"a refused setting", {"--refuse", "C0"}, "", "dataPort1.callType=1", 1, "refused-setting"},
             {"a TA too slow for the limit", {"--late-reply", "30", "--late-reply-ms", "60000"}, "",
              "--timeout 2 redialCount=3", 6, "timeout"},
             {"a setting no write sets", {}, "SILENT", "dataPort1.x25WindowSize=4", 1, "local"},
             {"X.25 asked of a TA without it", {"--no-x25"}, "", "--x25 dataPort1.x25WindowSize=4", 1, "local"},
             {"DROP above the TA's own ADD", {"--model", "QM7B2-HXN"}, "", "dataPort2.mpDropThreshold=40", 1, "local"},
         }) {
        SCOPED_TRACE(c.name);
        std::optional<Tasim> ta;
        SilentPty silent;
        std::string port = c.port == "SILENT" || c.port == "HELD" ? silent.path() : c.port;
        if (!c.tasim.empty()) {
            ta.emplace(c.tasim);
            port = ta->path();
        }
        const int holder = c.port == "HELD" ? open(port.c_str(), O_RDWR | O_NOCTTY) : -1;
        if (holder >= 0) {
            ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
        }
        const auto run = tactl("", "apply --json --port " + port + " " + c.args);
        if (holder >= 0)
            close(holder);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        const QJsonObject outcome = applyJson(run);
        EXPECT_EQ(outcome.value("class").toString().toStdString(), c.failureClass) << run.out;
        EXPECT_FALSE(outcome.value("message").toString().isEmpty()) << run.out;
        EXPECT_FALSE(outcome.value("verified").toBool());
    }
}

// apply reads the TA, writes only what differs with the store command it
// needs, and reads it back; again it finds nothing to do, and a check or a
// refusal writes nothing.
TEST_F(TactlLinkTest, ApplyWritesOnlyWhatDiffers)
{
    Tasim ta({"--log"}, file("tasim.log"));
    ASSERT_FALSE(ta.path().empty());
    const std::string apply = "apply --json --port " + ta.path() + " ";
    const auto first = tactl("", apply + "redialCount=3 dataPort1.dn=0301234");
    EXPECT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(writtenLines(slurp(file("tasim.log"))),
              (std::vector<std::string>{"AT1%S=0301234/", "AT1%D3=3", "AT1&W"}));
    QJsonObject outcome = applyJson(first);
    EXPECT_TRUE(outcome.value("changed").toBool());
    EXPECT_TRUE(outcome.value("verified").toBool());
    EXPECT_EQ(outcome.value("written").toInt(), 2);
    EXPECT_EQ(QJsonDocument(outcome.value("differences").toArray()).toJson(QJsonDocument::Compact).toStdString(),
              R"([{"field":"dataPort1.dn","new":"0301234","old":""},{"field":"redialCount","new":"3","old":"0"}])");

    ASSERT_EQ(tactl("", "defaults -o " + file("d.cfg")).exitCode, 0);
    ASSERT_EQ(tactl("", "set " + file("d.cfg") + " redialCount=3 dataPort1.dn=0301234 countryCode=German").exitCode, 0);
    std::ofstream(file("wanted.txt")) << "redialCount = 3\ndataPort1.dn = 0301234\n";
    std::ofstream(file("bad.txt")) << "dataPort1.mpAddThreshold = 1\ndataPort1.mpDropThreshold = 4\n";
    struct Step {
        const char* name;
        std::string args;
        int exitCode;
        bool changed;
        std::vector<std::string> written;
    };
    for (const Step& step : std::vector<Step>{
             {"the same again", "redialCount=3 dataPort1.dn=0301234", 0, false, {}},
             {"the same from a text", file("wanted.txt"), 0, false, {}},
             {"a check", file("d.cfg") + " --check", 0, true, {}},
             {"thresholds the editor refuses, checked", file("bad.txt") + " --check", 1, false, {}},
             {"thresholds the editor refuses", file("bad.txt"), 1, false, {}},
             {"a profile file", file("d.cfg"), 0, true, {"AT$P5=237", "AT1&W"}},
         }) {
        SCOPED_TRACE(step.name);
        const std::size_t seen = slurp(file("tasim.log")).size();
        const auto run = tactl("", apply + step.args);
        EXPECT_EQ(run.exitCode, step.exitCode) << run.err;
        EXPECT_EQ(applyJson(run).value("changed").toBool(), step.changed) << run.out;
        EXPECT_EQ(writtenLines(slurp(file("tasim.log")).substr(seen)), step.written);
    }

    Tasim keeping({"--keep", "C0"});
    const auto kept = tactl("", "apply --port " + keeping.path() + " dataPort1.callType=1");
    EXPECT_EQ(kept.exitCode, 3) << kept.err;
    EXPECT_EQ(kept.out, "dataPort1.callType: 8 (PPP or MLP) -> 1 (HDLC transparent)\n");
    EXPECT_NE(kept.err.find("  dataPort1.callType: 1 (HDLC transparent) -> 8 (PPP or MLP)\n"), std::string::npos)
        << kept.err;
}

// A remote TA is read, written and read back through one call; past the time
// limit the call is hung up and the local TA restored all the same.
TEST_F(TactlLinkTest, ApplyToARemoteTaMakesOneCall)
{
    Tasim ta({"--dial-delay-ms", "100", "--log"}, file("tasim.log"));
    ASSERT_FALSE(ta.path().empty());
    const auto run = tactl(ta.path(), "apply --remote 0301234 redialCount=4");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "redialCount: 0 -> 4\n");
    const std::string log = slurp(file("tasim.log"));
    EXPECT_EQ(countOf(log, "tasim: ATD"), 1u) << log;
    EXPECT_EQ(countOf(log, "tasim: ATH"), 1u) << log;
    EXPECT_NE(log.find("tasim: remote: AT1%D3=4"), std::string::npos) << log;

    Tasim slow({"--dial-delay-ms", "100", "--remote-reply-latency-ms", "100", "--log"}, file("slow.log"));
    const auto late = tactl(slow.path(), "--timeout 3 apply --remote 0301234 redialCount=4");
    EXPECT_EQ(late.exitCode, 6) << late.err;
    EXPECT_NE(late.err.find("tactl: the time limit of 3 s (--timeout) ran out"), std::string::npos) << late.err;
    std::string slowLog;
    for (int i = 0; i < 200 && slowLog.find("tasim: ATC0=8%P5=0\n") == std::string::npos; ++i) {
        usleep(i == 0 ? 0 : 20000);
        slowLog = slurp(file("slow.log"));
    }
    EXPECT_NE(slowLog.find("tasim: ATH\n"), std::string::npos) << slowLog;
    EXPECT_NE(slowLog.find("tasim: ATC0=8%P5=0\n"), std::string::npos) << slowLog;
    EXPECT_EQ(slowLog.find("AT1%D3="), std::string::npos) << "nothing was written";
}

} // namespace

