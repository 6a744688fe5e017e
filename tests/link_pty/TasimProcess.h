// tasim as a child process on a pseudo-terminal of its own, for tests that
// need the real serial layer. Killing it is the USB cable pulled: the master
// side of its pseudo-terminal closes at once.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace ta::ptytest {

class TasimProcess {
public:
    explicit TasimProcess(const std::vector<std::string>& options = {});
    ~TasimProcess();
    TasimProcess(const TasimProcess&) = delete;
    TasimProcess& operator=(const TasimProcess&) = delete;

    // The slave path tasim serves on; empty when it did not start.
    const std::string& ptyPath() const { return path_; }
    // SIGKILL and reap: no goodbye on the line, the pseudo-terminal vanishes.
    void pullCable();

private:
    pid_t pid_ = -1;
    std::string path_;
};

// A path that stands for the serial port, always pointing at the current TA,
// so that a TA that comes back is found under the same name.
class PortAlias {
public:
    PortAlias();
    ~PortAlias();
    PortAlias(const PortAlias&) = delete;
    PortAlias& operator=(const PortAlias&) = delete;

    const std::string& path() const { return path_; }
    // Replaces the link in one step (rename), never leaving the name absent.
    bool pointAt(const std::string& target);

private:
    std::string dir_;
    std::string path_;
};

} // namespace ta::ptytest
