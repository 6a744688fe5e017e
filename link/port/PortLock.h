// How serial programs on Linux tell each other that a port is taken: UUCP
// lock files ("LCK..ttyUSB0" holding the owner's PID) in /var/lock, and what
// /proc says about who has a device open.
#pragma once

#include <string>

namespace ta::link {

inline constexpr const char* kDefaultLockDir = "/var/lock";

// "LCK..ttyUSB0" for /dev/ttyUSB0, "LCK..pts_3" for /dev/pts/3.
std::string uucpLockName(const std::string& devicePath);

// The live process named in the device's lock file, or 0 when there is no
// lock file or it is stale (dead PID, unreadable contents).
int uucpLockHolder(const std::string& lockDir, const std::string& devicePath);

// This process's lock file for a device while the object lives. A stale
// lock is replaced; where the folder is not writable there is simply none.
class UucpLock {
public:
    UucpLock() = default;
    UucpLock(const std::string& lockDir, const std::string& devicePath);
    ~UucpLock();
    UucpLock(UucpLock&& other) noexcept;
    UucpLock& operator=(UucpLock&& other) noexcept;
    UucpLock(const UucpLock&) = delete;
    UucpLock& operator=(const UucpLock&) = delete;

    bool held() const { return !path_.empty(); }

private:
    void release();
    std::string path_; // empty: no lock file of ours
};

// Another process that has the device open, or 0 when /proc does not tell
// (an unprivileged user sees only their own processes).
int processUsingDevice(const std::string& devicePath, const std::string& procDir = "/proc");

// The command name of a process ("" when unknown).
std::string processName(int pid, const std::string& procDir = "/proc");

} // namespace ta::link
