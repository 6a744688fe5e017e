// Serial ports on POSIX: UARTs, USB serial adapters and pseudo-terminals,
// opened exclusively and driven without blocking; network ports beside them.
#pragma once

#include "link/Clock.h"
#include "link/port/NetworkSerial.h"
#include "link/port/SerialDevice.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct termios;

namespace ta::link {

class PosixSerialBackend : public SerialBackend {
public:
    using CandidateList = std::function<std::vector<std::string>()>;

    // Readiness is watched through `clock`. The candidate list behind
    // "\\.\COMn" is asked for at every open, so ports plugged in later count.
    explicit PosixSerialBackend(Clock& clock, CandidateList candidates = {});

    // nullptr when the device is missing, is not a terminal, or is held by
    // another program (lastOpenFailure() tells which).
    std::unique_ptr<SerialDevice> open(const std::string& name) override;
    OpenFailure lastOpenFailure() const override { return failure_; }

    // The path that `name` stands for ("" when a "\\.\COMn" has no device).
    std::string resolve(const std::string& name) const;

    // Where UUCP lock files are looked for and made (default /var/lock).
    void setLockDirectory(std::string dir) { lockDir_ = std::move(dir); }

    // What opens the network ports ("rfc2217://HOST:PORT", "tcp://HOST:PORT")
    // that a name or a candidate list may hold beside device paths.
    NetworkSerialOpener& network() { return network_; }

private:
    std::unique_ptr<SerialDevice> refuse(OpenFailure failure);
    std::unique_ptr<SerialDevice> openPath(const std::string& path);

    Clock& clock_;
    CandidateList candidates_;
    std::string lockDir_;
    NetworkSerialOpener network_;
    OpenFailure failure_;
};

// Errors of read, write or ioctl after which the device will not come back
// on this descriptor: the port is closed and its owner told. EIO is what an
// unplugged USB adapter or a pty whose other end closed answers.
bool deviceGone(int error);

// Sets the frame, flow control and raw mode of `line` in `tio`; the bit rate
// and the modem lines are set apart.
void programLine(termios& tio, const LineSettings& line);

// Bit rates beyond the fixed termios table (termios2); kept apart because
// the kernel's termios header cannot share a file with the C library's.
bool setCustomBitRate(int fd, uint32_t bitsPerSecond);
// The line's output bit rate as the kernel holds it; 0 when it cannot tell.
uint32_t currentBitRate(int fd);

} // namespace ta::link
