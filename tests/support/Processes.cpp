#include "tests/support/Processes.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <poll.h>
#include <signal.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace ta::testsupport {

namespace fs = std::filesystem;

std::string slurp(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

ScratchDir::ScratchDir(const std::string& tag)
{
    std::string pattern = (fs::temp_directory_path() / (tag + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("no scratch folder");
    path_ = pattern;
}

ScratchDir::~ScratchDir() { fs::remove_all(path_); }

Outcome ScratchDir::shell(const std::string& commandLine) const
{
    const std::string out = file("stdout"), err = file("stderr");
    const std::string line = "cd '" + path_.string() + "' && { " + commandLine + "; } >'" + out + "' 2>'" + err +
                             "' </dev/null";
    const int status = std::system(line.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
}

Pty::Pty()
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        throw std::runtime_error("no pseudo-terminal");
    path_ = ::ptsname(master_);
}

Pty::~Pty() { closeMaster(); }

void Pty::closeMaster()
{
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

void Pty::send(const std::string& bytes)
{
    if (::write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("pty write failed");
}

std::string Pty::receive(std::size_t count, int timeoutMs)
{
    std::string got;
    for (int i = 0; i < std::max(1, timeoutMs / 10) && got.size() < count; ++i) {
        pollfd pfd{master_, POLLIN, 0};
        char buf[256];
        const ssize_t n = ::poll(&pfd, 1, 10) > 0 ? ::read(master_, buf, sizeof buf) : 0;
        if (n > 0)
            got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
}

namespace {

// The child keeps only its standard streams: a descriptor of the test (a
// serial port it holds, say) must not stay open in tasim.
[[noreturn]] void execTasim(int outFd, const std::vector<std::string>& options, const std::string& logFile)
{
    const int log = ::open(logFile.empty() ? "/dev/null" : logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(outFd, STDOUT_FILENO);
    ::dup2(log, STDERR_FILENO);
    for (int fd = 3; fd < 1024; ++fd)
        ::close(fd);
    std::vector<char*> argv{const_cast<char*>(TASIM_PATH)};
    for (const std::string& option : options)
        argv.push_back(const_cast<char*>(option.c_str()));
    argv.push_back(nullptr);
    ::execv(TASIM_PATH, argv.data());
    ::_exit(127);
}

std::string firstLine(int fd, int limitMs)
{
    std::string line;
    char c = 0;
    pollfd pfd{fd, POLLIN, 0};
    while (::poll(&pfd, 1, limitMs) == 1 && ::read(fd, &c, 1) == 1 && c != '\n')
        line.push_back(c);
    return c == '\n' ? line : std::string();
}

} // namespace

Tasim::Tasim(const std::vector<std::string>& options, const std::string& logFile)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return;
    pid_ = ::fork();
    if (pid_ == 0)
        execTasim(fds[1], options, logFile);
    ::close(fds[1]);
    if (pid_ > 0)
        path_ = firstLine(fds[0], 5000);
    ::close(fds[0]);
}

Tasim::~Tasim()
{
    if (pid_ > 0)
        stop();
}

int Tasim::stop()
{
    if (pid_ > 0)
        ::kill(pid_, SIGTERM);
    return wait();
}

int Tasim::wait()
{
    int status = 0;
    const bool reaped = pid_ > 0 && ::waitpid(pid_, &status, 0) == pid_;
    pid_ = -1;
    return reaped && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Tasim::pullCable()
{
    if (pid_ > 0)
        ::kill(pid_, SIGKILL);
    wait();
}

int freeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

namespace {

// Whether something listens on 127.0.0.1:port, from the kernel's table:
// connecting to find out would take ser2net's port for a moment.
bool listening(int port)
{
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, "0100007F:%04X", port);
    std::ifstream table("/proc/net/tcp");
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        if (local == wanted && state == "0A")
            return true;
    }
    return false;
}

} // namespace

Ser2net::Ser2net(const std::string& accepter, const std::string& device, const std::string& logFile,
                 const std::vector<std::string>& options)
{
    const int port = freeLoopbackPort();
    const std::string config = dir_.file("ser2net.yaml");
    {
        std::ofstream yaml(config);
        yaml << "%YAML 1.1\n---\n"
             << "connection: &ta\n"
             << "    accepter: " << accepter << ",127.0.0.1," << port << "\n"
             << "    connector: serialdev," << device << ",115200n81,local\n"
             // Replies go out as they come instead of being held to fill packets.
             << "    options:\n      chardelay: false\n";
        for (const std::string& option : options)
            yaml << "      " << option << "\n";
    }
    pid_ = ::fork();
    if (pid_ == 0) {
        const int log = ::open(logFile.empty() ? "/dev/null" : logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(log, STDOUT_FILENO);
        ::dup2(log, STDERR_FILENO);
        for (int fd = 3; fd < 1024; ++fd)
            ::close(fd);
        ::execl(SER2NET_PATH, SER2NET_PATH, "-n", "-d", "-u", "-c", config.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    for (int i = 0; pid_ > 0 && i < 500; ++i) {
        if (listening(port)) {
            port_ = port;
            return;
        }
        ::usleep(10000);
    }
}

Ser2net::~Ser2net() { kill(); }

void Ser2net::kill()
{
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name)
{
    if (const char* old = std::getenv(name))
        saved_ = old;
    if (value)
        ::setenv(name, value, 1);
    else
        ::unsetenv(name);
}

ScopedEnv::~ScopedEnv()
{
    if (saved_)
        ::setenv(name_.c_str(), saved_->c_str(), 1);
    else
        ::unsetenv(name_.c_str());
}

} // namespace ta::testsupport
