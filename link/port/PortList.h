// Which devices stand behind the port numbers COM1..COM16: the candidate
// list, and the mapping of a device name to the path that is opened.
#pragma once

#include <string>
#include <vector>

namespace ta::link {

// One serial port of the machine, as it is shown to the user.
struct PortCandidate {
    std::string path;        // "/dev/ttyUSB0"
    std::string description; // "FTDI FT232R USB UART, serial A50285BI (0403:6001)", or ""
    std::string byIdPath;    // "/dev/serial/by-id/usb-FTDI_...", or ""

    // "/dev/ttyUSB0 (FTDI FT232R USB UART, ...)", or the path alone.
    std::string label() const;
};

// Discovery searches the first eight: COM1..COM8.
constexpr int kPortCandidates = 8;

// The ports that replace the machine's own port list: device paths and
// network ports, separated as parsePortList says.
inline constexpr const char* kSerialPortsVariable = "TA_SERIAL_PORTS";

// The candidate list: TA_SERIAL_PORTS when it is set (even empty), else the
// machine's serial ports as scanSerialPorts() finds them.
std::vector<std::string> serialPortCandidates();

// The entries of a port list, empty ones left out. Entries are separated by
// ':' (as device paths always were), ',', ';' or whitespace; a network port
// ("rfc2217://HOST:PORT", "tcp://[::1]:PORT") keeps its own colons:
// "/dev/ttyUSB0:rfc2217://cs1:7001:/dev/ttyS0" is three entries.
std::vector<std::string> parsePortList(const std::string& list);

// The serial ports present on the machine, in a stable order: USB serial
// adapters, then CDC-ACM devices, each in numeric order, then the on-board
// UARTs that really exist. Looks at directory entries only; opens no port.
std::vector<std::string> scanSerialPorts(const std::string& devDir = "/dev",
                                         const std::string& sysTtyDir = "/sys/class/tty");
// The same ports with what sysfs and /dev/serial/by-id tell about them.
std::vector<PortCandidate> scanSerialPortCandidates(const std::string& devDir = "/dev",
                                                    const std::string& sysTtyDir = "/sys/class/tty");

// What the machine knows about one device path (also one outside the scan,
// such as a pseudo-terminal).
PortCandidate describePort(const std::string& path, const std::string& devDir = "/dev",
                           const std::string& sysTtyDir = "/sys/class/tty");

// serialPortCandidates(), each described; COM1 is the first.
std::vector<PortCandidate> describedPortCandidates();

// The device behind a driver's port name ("\\.\COMn" or a path), described, with
// symbolic links (/dev/serial/by-id/...) resolved to the device itself; an
// empty path when a port number has no device.
PortCandidate portInUse(const std::string& portName);

// "\\.\COMn" (n = 1..16) is the n-th candidate, or "" when there is none;
// any other name is a path and is returned unchanged.
std::string devicePathFor(const std::string& name, const std::vector<std::string>& candidates);

// The port number n of "\\.\COMn", or 0 for any other name.
int comNumberOf(const std::string& name);

} // namespace ta::link
