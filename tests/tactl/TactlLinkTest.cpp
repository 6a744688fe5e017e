// tactl against tasim over real pseudo-terminals: the POSIX serial layer, the
// Qt event loop and the simulated TA, end to end.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int exitCode = -1;
    std::string out, err;
};

std::string slurp(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A tasim child; its pseudo-terminal path is the first line it prints.
class Tasim {
public:
    explicit Tasim(const std::vector<std::string>& options)
    {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[1], STDOUT_FILENO);
            close(fds[0]);
            close(fds[1]);
            std::vector<char*> argv{const_cast<char*>(TASIM_PATH)};
            for (const auto& o : options)
                argv.push_back(const_cast<char*>(o.c_str()));
            argv.push_back(nullptr);
            execv(TASIM_PATH, argv.data());
            _exit(127);
        }
        close(fds[1]);
        FILE* out = fdopen(fds[0], "r");
        char line[256] = {};
        if (out && fgets(line, sizeof line, out))
            path_ = std::string(line, strcspn(line, "\n"));
        out_ = out;
    }
    ~Tasim()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        if (out_)
            fclose(out_);
    }
    const std::string& path() const { return path_; }

private:
    pid_t pid_ = -1;
    FILE* out_ = nullptr;
    std::string path_;
};

// A pseudo-terminal nobody answers on.
class SilentPty {
public:
    SilentPty()
    {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0)
            path_ = ptsname(master_);
    }
    ~SilentPty()
    {
        if (master_ >= 0)
            close(master_);
    }
    const std::string& path() const { return path_; }

private:
    int master_ = -1;
    std::string path_;
};

class TactlLinkTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "tactl-link-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string file(const std::string& name) const { return (dir_ / name).string(); }

    Outcome tactl(const std::string& ports, const std::string& args) const
    {
        const std::string out = file("out.txt"), err = file("err.txt");
        const std::string command = "TA_SERIAL_PORTS='" + ports + "' " + TACTL_PATH + " " + args + " >" + out +
                                    " 2>" + err;
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
    }

private:
    fs::path dir_;
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
    EXPECT_EQ(none.err, "tactl: Cannot find a TA to config!\n");

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
}

TEST_F(TactlLinkTest, PortOptionOpensThatPortAloneWithoutTheSearch)
{
    Tasim ta({});
    ASSERT_FALSE(ta.path().empty());
    const auto found = tactl("", "identify --port " + ta.path());
    EXPECT_EQ(found.exitCode, 0) << found.err;
    EXPECT_NE(found.out.find("port = " + ta.path() + " (pseudo-terminal)\n"), std::string::npos) << found.out;

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

TEST_F(TactlLinkTest, UpgradeUploadsTheImageAndWritesTheSettingsBack)
{
    const std::string image = file("image.bin"), received = file("received.bin");
    {
        std::ofstream fw(image, std::ios::binary);
        for (int i = 0; i < 5000; ++i)
            fw.put(char(i * 7));
    }
    Tasim ta({"--reboot-ms", "200", "--image-out", received});
    ASSERT_FALSE(ta.path().empty());
    // The restart wait is the program's fixed 30 s: this test takes that long.
    const auto result = tactl(ta.path(), "upgrade " + image);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::string expected = slurp(image);
    expected.resize(5120, char(0x1A));
    EXPECT_EQ(slurp(received), expected);
}

} // namespace
