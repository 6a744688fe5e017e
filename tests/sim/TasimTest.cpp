// tasim as a program: started, found through the path it prints, spoken to
// through the pseudo-terminal, stopped with SIGTERM.
#include "tests/support/Processes.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace {

using ta::testsupport::Tasim;

// Reads until `until` has arrived or the TA stays quiet for limitMs.
std::string readUntil(int fd, const std::string& until, int limitMs = 3000)
{
    std::string text;
    char buf[256];
    pollfd p{fd, POLLIN, 0};
    while (text.find(until) == std::string::npos && poll(&p, 1, limitMs) == 1) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        text.append(buf, static_cast<std::size_t>(n));
    }
    return text;
}

TEST(TasimProgram, AnswersOnItsPseudoTerminalAndStopsCleanly)
{
    Tasim tasim({"--ident", "Pelagrin10"});
    ASSERT_EQ(tasim.path().rfind("/dev/pts/", 0), 0u) << tasim.path();
    for (int round = 0; round < 2; ++round) { // closing and reopening the port is fine
        const int fd = open(tasim.path().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, "ATI0\r", 5), 5);
        const std::string reply = readUntil(fd, "OK\r\n");
        EXPECT_NE(reply.find("Pelagrin10"), std::string::npos) << reply;
        EXPECT_NE(reply.find("\r\nOK\r\n"), std::string::npos) << reply;
        close(fd);
    }
    EXPECT_EQ(tasim.stop(), 0);
}

} // namespace
