// tasim: a simulated TA on a pseudo-terminal, for running the utility and its
// tests without hardware.
#include "sim/tasim/Pty.h"
#include "sim/tasim/Server.h"
#include "sim/tasim/TasimArgs.h"
#include "ta/Version.h"

#include <csignal>
#include <cstdio>
#include <sys/signalfd.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    using namespace ta::sim;
    TasimConfig config;
    std::string error = parseTasimArgs(std::vector<std::string>(argv + 1, argv + argc), config);
    if (!error.empty()) {
        std::fprintf(stderr, "tasim: %s\n", error.c_str());
        return 2;
    }
    if (config.help) {
        std::fputs(tasimUsage().c_str(), stdout);
        return 0;
    }
    if (config.version) {
        std::printf("tasim %s\n", ta::kProgramVersion);
        return 0;
    }
    // SIGTERM and SIGINT arrive as a readable descriptor, so the loop ends cleanly.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGINT);
    sigprocmask(SIG_BLOCK, &stops, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    int stopFd = signalfd(-1, &stops, SFD_CLOEXEC);
    Pty pty;
    error = openPty(pty);
    if (stopFd < 0 || !error.empty()) {
        std::fprintf(stderr, "tasim: %s\n", stopFd < 0 ? "signalfd failed" : error.c_str());
        return 1;
    }
    std::printf("%s\n", pty.slavePath.c_str());
    std::fflush(stdout);
    int status = Server(config, pty, stopFd).run();
    closePty(pty);
    close(stopFd);
    return status;
}
