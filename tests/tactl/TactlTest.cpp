#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

#include "atcmd/SubmitBatch.h"
#include "profile/DefaultProfile.h"
#include "profile/FieldList.h"
#include "profile/ProfileFile.h"

namespace ta {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int exitCode;
    std::string out, err;
};

std::string slurp(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

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
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "tactl-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string path(const std::string& name) const { return (dir / name).string(); }

    // Arguments are passed through the shell in single quotes.
    Outcome tactl(const std::vector<std::string>& args) const
    {
        std::string command = TACTL_PATH;
        for (const std::string& arg : args)
            command += " '" + arg + "'";
        command += " >'" + path("stdout") + "' 2>'" + path("stderr") + "' </dev/null";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(path("stdout")), slurp(path("stderr"))};
    }

    void expectOneLineError(const Outcome& run) const
    {
        EXPECT_NE(run.exitCode, 0);
        EXPECT_EQ(lines(run.err).size(), 1u) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }

    fs::path dir;
};

TEST_F(TactlTest, DefaultsWritesTheFactoryProfile)
{
    const Outcome run = tactl({"defaults", "-o", path("d.cfg")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string file = slurp(path("d.cfg"));
    ASSERT_EQ(file.size(), kProfileSize);
    EXPECT_EQ(file.substr(0, 9), std::string("TAPRF1.0\0", 9));
    EXPECT_EQ(static_cast<unsigned char>(file[10]), 216);

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
    ASSERT_EQ(saveProfileFile(path("p.cfg"), profile), "");

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

TEST_F(TactlTest, ShowRefusesFilesThatAreNoProfile)
{
    std::ofstream(path("bad.cfg")) << "TAPRF1.0X and more";
    expectOneLineError(tactl({"show", path("bad.cfg")}));
    expectOneLineError(tactl({"show", path("missing.cfg")}));
    expectOneLineError(tactl({"show"}));
}

// A pipe, a device or a folder is refused with the reason; a short file
// loads with a warning.
TEST_F(TactlTest, ProfileFilesThatAreNoRecordSayWhy)
{
    ASSERT_EQ(::mkfifo(path("pipe.cfg").c_str(), 0600), 0);
    for (const std::string& notAFile : {path("pipe.cfg"), std::string("/dev/zero"), dir.string()}) {
        const Outcome run = tactl({"batch", notAFile});
        expectOneLineError(run);
        EXPECT_NE(run.err.find("Not a profile file: " + notAFile + " is a"), std::string::npos) << run.err;
    }
    TaProfile profile{};
    buildDefaultProfile(profile, false, true);
    std::ofstream(path("short.cfg"), std::ios::binary).write(reinterpret_cast<const char*>(&profile), 100);
    const Outcome run = tactl({"show", path("short.cfg")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "tactl: warning: " + path("short.cfg") +
                           " holds 100 of the 2928 bytes of a profile; the settings after them are zero\n");
}

TEST_F(TactlTest, BatchPrintsTheSubmitBatch)
{
    TaProfile profile{};
    buildDefaultProfile(profile, false, true);
    ASSERT_EQ(saveProfileFile(path("p.cfg"), profile), "");

    const Outcome run = tactl({"batch", path("p.cfg"), "--variant", "1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    atcmd::Options options;
    options.taVariant = 1;
    EXPECT_EQ(lines(run.out), atcmd::buildSubmitBatch(profile, options));
    EXPECT_EQ(lines(run.out).size(), 77u);

    const Outcome remote = tactl({"batch", "--no-prefix", "--remote", "--clear-acc-charge", path("p.cfg")});
    ASSERT_EQ(remote.exitCode, 0) << remote.err;
    EXPECT_EQ(lines(remote.out).front(), "$P3=1");
    EXPECT_NE(remote.out.find("\n$C1=0\n"), std::string::npos);
}

TEST_F(TactlTest, QueryListPrintsIdAndKey)
{
    const Outcome run = tactl({"querylist", "--x25"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto shown = lines(run.out);
    ASSERT_EQ(shown.size(), 135u);
    EXPECT_EQ(shown[0], "1 I3");
    EXPECT_EQ(shown[2], "3");
    EXPECT_EQ(shown[3], "4 1%S");
    EXPECT_EQ(lines(tactl({"querylist", "--no-datetime", "--no-country"}).out).size(), 135u - 18 - 5 - 3);
}

TEST_F(TactlTest, BadArgumentsGiveOneLineErrors)
{
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"frobnicate"}, {"querylist", "--variant", "4"}, {"querylist", "--bogus"}, {"querylist", "extra"},
             {"batch"}, {"batch", path("none.cfg")}, {"defaults"}, {"defaults", "-o", path("no/such/dir.cfg")}}) {
        SCOPED_TRACE(args[0]);
        expectOneLineError(tactl(args));
    }
}

TEST_F(TactlTest, HelpListsTheCommands)
{
    for (const std::string flag : {"--help", "help"}) {
        const Outcome run = tactl({flag});
        EXPECT_EQ(run.exitCode, 0);
        for (const char* command : {"defaults", "show", "batch", "querylist"})
            EXPECT_NE(run.out.find(command), std::string::npos) << command;
    }
}

} // namespace
} // namespace ta
