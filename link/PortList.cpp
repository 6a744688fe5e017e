#include "link/PortList.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
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

// Device nodes "<prefix><n>" in devDir, by n.
std::vector<std::pair<long, std::string>> numberedDevices(const std::string& devDir, const std::string& prefix)
{
    std::vector<std::pair<long, std::string>> found;
    std::error_code ec;
    for (fs::directory_iterator it(devDir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const long n = trailingNumber(name, prefix);
        if (n >= 0)
            found.emplace_back(n, name);
    }
    std::sort(found.begin(), found.end());
    return found;
}

// Linux lists a ttyS entry for every possible UART; only those whose port
// type is not 0 (PORT_UNKNOWN) have hardware behind them.
bool uartPresent(const std::string& sysTtyDir, const std::string& name)
{
    std::ifstream typeFile(fs::path(sysTtyDir) / name / "type");
    long type = 0;
    return typeFile >> type && type != 0;
}

} // namespace

std::vector<std::string> parsePortList(const std::string& colonSeparated)
{
    std::vector<std::string> paths;
    std::istringstream in(colonSeparated);
    for (std::string path; std::getline(in, path, ':');) {
        if (!path.empty())
            paths.push_back(path);
    }
    return paths;
}

std::vector<std::string> scanSerialPorts(const std::string& devDir, const std::string& sysTtyDir)
{
    std::vector<std::string> ports;
    for (const char* prefix : {"ttyUSB", "ttyACM"}) {
        for (const auto& [n, name] : numberedDevices(devDir, prefix))
            ports.push_back((fs::path(devDir) / name).string());
    }
    for (const auto& [n, name] : numberedDevices(devDir, "ttyS")) {
        if (uartPresent(sysTtyDir, name))
            ports.push_back((fs::path(devDir) / name).string());
    }
    return ports;
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
