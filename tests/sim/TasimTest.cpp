// tasim as a program: started, found through the path it prints, spoken to
// through the pseudo-terminal, stopped with SIGTERM.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

class Tasim {
public:
    explicit Tasim(std::vector<std::string> args)
    {
        args.insert(args.begin(), TASIM_PATH);
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        int out[2];
        if (pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0); // its error lines are not ours to show
        if (posix_spawn(&pid_, TASIM_PATH, &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        stdout_ = out[0];
    }
    ~Tasim()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (stdout_ >= 0)
            close(stdout_);
    }

    // The first line of the output, waiting at most limitMs.
    std::string firstLine(int limitMs = 5000)
    {
        std::string line;
        char c;
        while (line.find('\n') == std::string::npos && waitReadable(stdout_, limitMs) && read(stdout_, &c, 1) == 1)
            line += c;
        return line.substr(0, line.find('\n'));
    }

    int stop()
    {
        kill(pid_, SIGTERM);
        return wait();
    }

    int wait()
    {
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    static bool waitReadable(int fd, int limitMs)
    {
        pollfd p{fd, POLLIN, 0};
        return poll(&p, 1, limitMs) == 1;
    }

private:
    pid_t pid_ = -1;
    int stdout_ = -1;
};

// Reads until `until` has arrived or the TA stays quiet for limitMs.
std::string readUntil(int fd, const std::string& until, int limitMs = 3000)
{
    std::string text;
    char buf[256];
    while (text.find(until) == std::string::npos && Tasim::waitReadable(fd, limitMs)) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        text.append(buf, std::size_t(n));
    }
    return text;
}

TEST(TasimProgram, AnswersOnItsPseudoTerminalAndStopsCleanly)
{
    Tasim tasim({"--ident", "Pelagrin10"});
    std::string path = tasim.firstLine();
    ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
    for (int round = 0; round < 2; ++round) { // closing and reopening the port is fine
        int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, "ATI0\r", 5), 5);
        std::string reply = readUntil(fd, "OK\r\n");
        EXPECT_NE(reply.find("Pelagrin10"), std::string::npos) << reply;
        EXPECT_NE(reply.find("\r\nOK\r\n"), std::string::npos) << reply;
        close(fd);
    }
    EXPECT_EQ(tasim.stop(), 0);
}

TEST(TasimProgram, PacesAtTheGivenLineRate)
{
    Tasim tasim({"--baud", "1200"});
    std::string path = tasim.firstLine();
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(write(fd, "ATI0\r", 5), 5);
    std::string reply = readUntil(fd, "OK\r\n");
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_NE(reply.find("OK\r\n"), std::string::npos);
    // 10 bits a byte at 1200 bit/s: the 5 bytes in take 41.7 ms, and the last
    // of the 16 bytes out leaves 15 byte times (125 ms) after the first.
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 160);
    close(fd);
    EXPECT_EQ(tasim.stop(), 0);
}

TEST(TasimProgram, RefusesUnknownOptions)
{
    Tasim tasim({"--remote-colour", "red"});
    EXPECT_EQ(tasim.wait(), 2);
}

} // namespace
