// What the tests that run the project's programs share: a scratch folder,
// the shell with the output kept, pseudo-terminals, tasim as a child process
// and environment variables set for one scope.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ta::testsupport {

struct Outcome {
    int exitCode = -1;
    std::string out, err;
};

std::string slurp(const std::filesystem::path& file);

// A folder of its own, removed with everything in it.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& tag = "ta-test");
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // Runs the command line with the folder as its working folder, its
    // output in two files there and standard input from /dev/null.
    Outcome shell(const std::string& commandLine) const;

private:
    std::filesystem::path path_;
};

// A pseudo-terminal whose master side stays with the test; the slave path is
// the "serial port". Nobody answers on it unless the test does.
class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& path() const { return path_; }
    void send(const std::string& bytes);
    // What the other side wrote, waiting at most timeoutMs for `count` bytes.
    std::string receive(std::size_t count, int timeoutMs = 1000);
    void closeMaster();

private:
    int master_ = -1;
    std::string path_;
};

// tasim as a child process on a pseudo-terminal of its own. Its error lines
// go to logFile, or nowhere.
class Tasim {
public:
    explicit Tasim(const std::vector<std::string>& options = {}, const std::string& logFile = "");
    ~Tasim();
    Tasim(const Tasim&) = delete;
    Tasim& operator=(const Tasim&) = delete;

    // The path it serves on (the first line it prints); empty when it did not start.
    const std::string& path() const { return path_; }
    pid_t pid() const { return pid_; }
    int stop(); // SIGTERM; its exit code
    int wait(); // its exit code, -1 when it did not exit normally
    // SIGKILL: no goodbye on the line, the pseudo-terminal vanishes at once.
    void pullCable();

private:
    pid_t pid_ = -1;
    std::string path_;
};

// A TCP port on 127.0.0.1 that nothing listens on at the moment.
int freeLoopbackPort();

// ser2net in the foreground in front of a serial device, listening on
// 127.0.0.1 and a free port with the accepter given: "telnet(rfc2217),tcp",
// "tcp" or either over "ssl(key=...,cert=...)". Its log goes to logFile,
// or nowhere; options are lines of the connection's options ("authdir: DIR").
class Ser2net {
public:
    Ser2net(const std::string& accepter, const std::string& device, const std::string& logFile = "",
            const std::vector<std::string>& options = {});
    ~Ser2net();
    Ser2net(const Ser2net&) = delete;
    Ser2net& operator=(const Ser2net&) = delete;

    // The port it listens on; 0 when it did not come up.
    int port() const { return port_; }
    pid_t pid() const { return pid_; }
    // SIGKILL: every connection ends at once, the port is gone.
    void kill();

private:
    ScratchDir dir_{"ser2net"};
    pid_t pid_ = -1;
    int port_ = 0;
};

// Sets or clears an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> saved_;
};

} // namespace ta::testsupport
