#include "link/port/PortList.h"

#include "link/port/NetworkAddress.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>
#include <utility>

namespace ta::link {

namespace {

namespace fs = std::filesystem;

constexpr int kMaxComNumber = 16;

// The number after `prefix` in a name such as "ttyUSB3", or -1.
long trailingNumber(const std::string& name, const std::string& prefix)
{
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
        return -1;
    const std::string digits = name.substr(prefix.size());
    if (digits.size() > 9 || !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }))
        return -1;
    return std::stol(digits);
}

// Names "<prefix><n>" among the entries of the given folders, by n, each once.
std::vector<std::string> numberedNames(const std::vector<std::string>& dirs, const std::string& prefix)
{
    std::vector<std::pair<long, std::string>> found;
    for (const std::string& dir : dirs) {
        std::error_code ec;
        for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            const long n = trailingNumber(name, prefix);
            if (n >= 0)
                found.emplace_back(n, name);
        }
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    std::vector<std::string> names;
    for (auto& entry : found)
        names.push_back(std::move(entry.second));
    return names;
}

std::string readAttribute(const fs::path& file)
{
    std::ifstream in(file);
    std::string value;
    std::getline(in, value);
    while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back())))
        value.pop_back();
    return value;
}

// Linux lists a ttyS entry for every possible UART; only those whose port
// type is not 0 (PORT_UNKNOWN) have hardware behind them.
long uartType(const std::string& sysTtyDir, const std::string& name)
{
    std::ifstream typeFile(fs::path(sysTtyDir) / name / "type");
    long type = 0;
    return typeFile >> type ? type : 0;
}

std::string uartTypeName(long type)
{
    static const char* const names[] = {"", "8250", "16450", "16550", "16550A", "Cirrus", "16650", "16650V2",
                                        "16750", "Startech", "16C950", "16654", "16850", "RSA"};
    if (type > 0 && std::size_t(type) < std::size(names))
        return names[type];
    return "type " + std::to_string(type);
}

struct UsbDevice {
    std::string vendorId, productId, manufacturer, product, serial;
};

// The USB device a tty belongs to: a few folders up from its sysfs device
// (port, interface, device), the first one with a vendor id.
std::optional<UsbDevice> usbDeviceOf(const std::string& sysTtyDir, const std::string& name)
{
    std::error_code ec;
    fs::path dir = fs::canonical(fs::path(sysTtyDir) / name / "device", ec);
    for (int level = 0; !ec && level < 4 && dir.has_relative_path(); ++level, dir = dir.parent_path()) {
        if (!fs::exists(dir / "idVendor", ec))
            continue;
        return UsbDevice{readAttribute(dir / "idVendor"), readAttribute(dir / "idProduct"),
                         readAttribute(dir / "manufacturer"), readAttribute(dir / "product"),
                         readAttribute(dir / "serial")};
    }
    return std::nullopt;
}

std::string usbDescription(const UsbDevice& usb, const std::string& fallback)
{
    std::string text = usb.product;
    if (!usb.manufacturer.empty() && !text.starts_with(usb.manufacturer))
        text = text.empty() ? usb.manufacturer : usb.manufacturer + " " + text;
    if (text.empty())
        text = fallback;
    if (!usb.serial.empty())
        text += ", serial " + usb.serial;
    if (!usb.vendorId.empty())
        text += " (" + usb.vendorId + ":" + usb.productId + ")";
    return text;
}

std::string ttyDescription(const std::string& sysTtyDir, const std::string& name)
{
    const bool acm = name.starts_with("ttyACM");
    if (acm || name.starts_with("ttyUSB")) {
        const std::string kind = acm ? "USB modem (CDC-ACM)" : "USB serial adapter";
        const auto usb = usbDeviceOf(sysTtyDir, name);
        return usb ? usbDescription(*usb, kind) : kind;
    }
    if (name.starts_with("ttyS")) {
        const long type = uartType(sysTtyDir, name);
        return type != 0 ? "on-board serial port (" + uartTypeName(type) + ")" : "serial port";
    }
    if (name.starts_with("ttyAMA"))
        return "on-board serial port (AMBA)";
    return "";
}

std::string canonicalText(const fs::path& path)
{
    std::error_code ec;
    const fs::path resolved = fs::weakly_canonical(path, ec);
    return ec ? path.string() : resolved.string();
}

// The stable name udev gives a USB serial device in /dev/serial/by-id.
std::string byIdPathOf(const std::string& devDir, const std::string& devicePath)
{
    const std::string target = canonicalText(devicePath);
    std::error_code ec;
    for (fs::directory_iterator it(fs::path(devDir) / "serial" / "by-id", ec), end; !ec && it != end; it.increment(ec)) {
        if (canonicalText(it->path()) == target)
            return it->path().string();
    }
    return "";
}

bool nodeExists(const std::string& devDir, const std::string& name)
{
    std::error_code ec;
    return fs::exists(fs::path(devDir) / name, ec);
}

bool separatesEverything(char c) { return c == ',' || c == ';' || std::isspace(static_cast<unsigned char>(c)); }
bool separatesPaths(char c) { return c == ':' || separatesEverything(c); }

// The length of the entry at the start of `text`: a network port keeps its
// colons; one that is not well-formed runs to the next ',', ';' or blank,
// so that it is reported whole instead of as pieces.
std::size_t entryLength(std::string_view text)
{
    const std::size_t url = networkPortLength(text);
    if (url != 0 && (url == text.size() || separatesPaths(text[url])))
        return url;
    const bool network = isNetworkPortName(text);
    const auto end = std::find_if(text.begin(), text.end(), network ? separatesEverything : separatesPaths);
    return std::size_t(end - text.begin());
}

} // namespace

std::vector<std::string> parsePortList(const std::string& list)
{
    std::vector<std::string> entries;
    const std::string_view text(list);
    for (std::size_t i = 0; i < text.size();) {
        if (separatesPaths(text[i])) {
            ++i;
            continue;
        }
        const std::size_t length = entryLength(text.substr(i));
        entries.emplace_back(text.substr(i, length));
        i += length;
    }
    return entries;
}

std::string PortCandidate::label() const
{
    return description.empty() ? path : path + " (" + description + ")";
}

PortCandidate describePort(const std::string& path, const std::string& devDir, const std::string& sysTtyDir)
{
    if (isNetworkPortName(path)) {
        const auto address = parseNetworkAddress(path);
        return {path, address ? networkPortDescription(*address) : "", ""};
    }
    PortCandidate port{path, "", byIdPathOf(devDir, path)};
    const fs::path resolved = canonicalText(path);
    if (resolved.parent_path() == fs::path(canonicalText(devDir)))
        port.description = ttyDescription(sysTtyDir, resolved.filename().string());
    else if (resolved.string().starts_with("/dev/pts/"))
        port.description = "pseudo-terminal";
    return port;
}

// USB serial adapters and CDC-ACM devices first, then the UARTs with
// hardware behind them. Names come from sysfs and from /dev (a container may
// have one without the other); a port counts only where its node exists.
std::vector<PortCandidate> scanSerialPortCandidates(const std::string& devDir, const std::string& sysTtyDir)
{
    std::vector<PortCandidate> ports;
    for (const char* prefix : {"ttyUSB", "ttyACM", "ttyS", "ttyAMA"}) {
        for (const std::string& name : numberedNames({sysTtyDir, devDir}, prefix)) {
            const bool uart = std::string_view(prefix) == "ttyS";
            if (!nodeExists(devDir, name) || (uart && uartType(sysTtyDir, name) == 0))
                continue;
            ports.push_back(describePort((fs::path(devDir) / name).string(), devDir, sysTtyDir));
        }
    }
    return ports;
}

std::vector<std::string> scanSerialPorts(const std::string& devDir, const std::string& sysTtyDir)
{
    std::vector<std::string> paths;
    for (const PortCandidate& port : scanSerialPortCandidates(devDir, sysTtyDir))
        paths.push_back(port.path);
    return paths;
}

std::vector<PortCandidate> describedPortCandidates()
{
    if (std::getenv(kSerialPortsVariable) == nullptr)
        return scanSerialPortCandidates();
    std::vector<PortCandidate> ports;
    for (const std::string& path : serialPortCandidates())
        ports.push_back(describePort(path));
    return ports;
}

PortCandidate portInUse(const std::string& portName)
{
    const std::string path = devicePathFor(portName, serialPortCandidates());
    if (path.empty())
        return {};
    return describePort(isNetworkPortName(path) ? path : canonicalText(path));
}

std::vector<std::string> serialPortCandidates()
{
    if (const char* list = std::getenv(kSerialPortsVariable))
        return parsePortList(list);
    return scanSerialPorts();
}

int comNumberOf(const std::string& name)
{
    static const std::string prefix = "\\\\.\\COM";
    const long n = trailingNumber(name, prefix);
    return n >= 1 && n <= kMaxComNumber ? int(n) : 0;
}

std::string devicePathFor(const std::string& name, const std::vector<std::string>& candidates)
{
    const int n = comNumberOf(name);
    if (n == 0)
        return name;
    return std::size_t(n) <= candidates.size() ? candidates[std::size_t(n) - 1] : std::string();
}

} // namespace ta::link
