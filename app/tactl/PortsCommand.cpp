// tactl ports: the serial ports in the order the TA is searched on them
// (the first eight are COM1 to COM8), each with what the search would find
// there now.
#include "OptionTable.h"

#include "link/NetworkAddress.h"
#include "link/PortList.h"
#include "link/PortReport.h"
#include "link/PosixSerial.h"
#include "link/VirtualClock.h"

#include <algorithm>
#include <array>
#include <ostream>

namespace ta::tactl {
namespace {

using Row = std::array<std::string, 5>; // number, path, description, status, by-id name

// Opened and closed at once, as the search itself does; a network port that
// answers is "reachable" rather than "free": whether its TA is free is the
// console server's to say.
std::string statusOf(link::SerialBackend& backend, const std::string& path)
{
    if (backend.open(path) == nullptr)
        return link::portStatusText(backend.lastOpenFailure());
    return link::isNetworkPortName(path) ? "reachable" : link::portStatusText(link::OpenFailure());
}

void printRows(const std::vector<Row>& rows, std::ostream& out)
{
    std::array<std::size_t, 4> width{};
    for (const Row& row : rows)
        for (std::size_t column = 0; column < width.size(); ++column)
            width[column] = std::max(width[column], row[column].size());
    for (const Row& row : rows) {
        std::string line;
        for (std::size_t column = 0; column < width.size(); ++column)
            line += row[column] + std::string(width[column] - row[column].size() + 2, ' ');
        line += row[4];
        line.erase(line.find_last_not_of(' ') + 1);
        out << line << '\n';
    }
}

int runPorts(const CommandLine& line, std::ostream& out, std::ostream& err)
{
    if (!line.operands().empty())
        return usageError(err, line, "unexpected argument '" + line.operands()[0] + "'");
    const std::vector<link::PortCandidate> ports = link::describedPortCandidates();
    if (ports.empty()) {
        err << "tactl: no serial ports found\n";
        return kExitOk;
    }
    link::VirtualClock clock;
    link::PosixSerialBackend backend(clock);
    std::vector<Row> rows;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const link::PortCandidate& port = ports[i];
        const std::string number = i < std::size_t(link::kPortCandidates) ? "COM" + std::to_string(i + 1) : "-";
        rows.push_back({number, port.path, port.description.empty() ? "-" : port.description,
                        statusOf(backend, port.path), port.byIdPath});
    }
    printRows(rows, out);
    return kExitOk;
}

const CommandRegistrar portsReg{{"ports", "",
                                 "list the serial ports searched for the TA (COM1 first) and whether each is free",
                                 &runPorts}};

} // namespace
} // namespace ta::tactl
