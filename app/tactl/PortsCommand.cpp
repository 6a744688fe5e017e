// tactl ports: the serial ports in the order the TA is searched on them
// (the first eight are COM1 to COM8), each with what the search would find
// there now.
#include "OptionTable.h"
#include "TlsCliOptions.h"

#include "link/FailureClass.h"
#include "link/port/NetworkAddress.h"
#include "link/port/PortList.h"
#include "link/port/PortReport.h"
#include "link/port/PosixSerial.h"
#include "link/VirtualClock.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <array>
#include <ostream>

namespace ta::tactl {
namespace {

// One port as both listings show it.
struct PortRow {
    std::string number; // "COM1", or "" after the eighth
    std::string path;
    std::string description;
    std::string status; // "free", "in use by PID 812, minicom", ...
    std::string byIdPath;
    link::OpenFailure failure; // problem None: it opened
    bool network = false;
};

// Opened and closed at once, as the search itself does; a network port that
// answers is "reachable" rather than "free": whether its TA is free is the
// console server's to say.
link::OpenFailure tryOpen(link::SerialBackend& backend, const std::string& path)
{
    if (backend.open(path) == nullptr)
        return backend.lastOpenFailure();
    return link::OpenFailure(link::PortProblem::None, path);
}

std::string statusText(const link::OpenFailure& failure, bool network)
{
    return network && failure.problem == link::PortProblem::None ? "reachable" : link::portStatusText(failure);
}

std::vector<PortRow> portRows(const link::TlsOptions& tls)
{
    const std::vector<link::PortCandidate> ports = link::describedPortCandidates();
    link::VirtualClock clock;
    link::PosixSerialBackend backend(clock);
    backend.network().tls() = tls;
    std::vector<PortRow> rows;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const link::PortCandidate& port = ports[i];
        const std::string number = i < std::size_t(link::kPortCandidates) ? "COM" + std::to_string(i + 1) : "";
        const link::OpenFailure failure = tryOpen(backend, port.path);
        const bool network = link::isNetworkPortName(port.path);
        rows.push_back({number, port.path, port.description, statusText(failure, network), port.byIdPath, failure,
                        network});
    }
    return rows;
}

void printTable(const std::vector<PortRow>& rows, std::ostream& out)
{
    auto cells = [](const PortRow& row) {
        return std::array<std::string, 5>{row.number.empty() ? "-" : row.number, row.path,
                                          row.description.empty() ? "-" : row.description, row.status, row.byIdPath};
    };
    std::array<std::size_t, 4> width{};
    for (const PortRow& row : rows)
        for (std::size_t column = 0; column < width.size(); ++column)
            width[column] = std::max(width[column], cells(row)[column].size());
    for (const PortRow& row : rows) {
        const auto cell = cells(row);
        std::string line;
        for (std::size_t column = 0; column < width.size(); ++column)
            line += cell[column] + std::string(width[column] - cell[column].size() + 2, ' ');
        line += cell[4];
        line.erase(line.find_last_not_of(' ') + 1);
        out << line << '\n';
    }
}

// An absent value is null, never the "-" of the table.
QJsonValue jsonText(const std::string& text)
{
    return text.empty() ? QJsonValue() : QJsonValue(QString::fromStdString(text));
}

// The state is a fixed word; who holds the port and why it cannot be used
// are fields of their own, and "status" keeps the table's words.
void printJson(const std::vector<PortRow>& rows, std::ostream& out)
{
    QJsonArray ports;
    for (const PortRow& row : rows) {
        const link::OpenFailure& failure = row.failure;
        ports.append(QJsonObject{
            {"com", jsonText(row.number)},
            {"path", jsonText(row.path)},
            {"description", jsonText(row.description)},
            {"state", jsonText(link::portStateName(failure, row.network))},
            {"class", jsonText(std::string(link::failureClassName(link::classOfPortProblem(failure.problem))))},
            {"pid", failure.holderPid > 0 ? QJsonValue(failure.holderPid) : QJsonValue()},
            {"program", jsonText(failure.holderPid > 0 ? failure.holderName : "")},
            {"reason", jsonText(link::portStateReason(failure))},
            {"status", jsonText(row.status)},
            {"byId", jsonText(row.byIdPath)}});
    }
    out << QJsonDocument(ports).toJson(QJsonDocument::Indented).toStdString();
}

int runPorts(const CommandLine& line, std::ostream& out, std::ostream& err)
{
    if (!line.operands().empty())
        return usageError(err, line, "unexpected argument '" + line.operands()[0] + "'");
    const std::vector<PortRow> rows = portRows(tlsOptionsFrom(line));
    if (line.has("json"))
        printJson(rows, out);
    else if (rows.empty())
        err << "tactl: no serial ports found\n";
    else
        printTable(rows, out);
    return kExitOk;
}

const CommandRegistrar portsReg{{"ports", "",
                                 "list the serial ports searched for the TA (COM1 first) and whether each is free",
                                 &runPorts}};

} // namespace
} // namespace ta::tactl
