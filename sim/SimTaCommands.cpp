// The command interpreter of the simulated TA: one AT line, command by command.
#include "sim/SimTa.h"

namespace ta::sim {
namespace {

using Kind = AtCommand::Kind;

// "" and "0" switch off, "1" switches on; anything else is refused.
bool readSwitch(const std::string& value, bool& out)
{
    if (value.empty() || value == "0")
        out = false;
    else if (value == "1")
        out = true;
    else
        return false;
    return true;
}

bool isNumberKind(ValueKind kind) { return kind == ValueKind::Number || kind == ValueKind::WideNumber; }

} // namespace

// A line answered with ERROR leaves every setting as it was, also those that
// commands before the faulty one had changed.
void SimTa::runBody(std::string_view body, uint64_t nowMs)
{
    lineUndo_.clear();
    const bool echoBefore = echo_, verboseBefore = verbose_;
    const int portBefore = selectedPort_;
    for (const AtCommand& cmd : parseAtBody(body)) {
        Result result = execute(cmd, nowMs);
        if (result == Result::Error) {
            undoLine();
            echo_ = echoBefore;
            verbose_ = verboseBefore;
            selectedPort_ = portBefore;
            emitResult("ERROR");
            return;
        }
        if (result == Result::None) // the command answered, or ends the line, itself
            return;
    }
    emitResult("OK");
}

SimTa::Result SimTa::execute(const AtCommand& cmd, uint64_t nowMs)
{
    bool on = false;
    switch (cmd.kind) {
    case Kind::Param: return executeParam(cmd);
    case Kind::Info: return executeInfo(cmd.value);
    case Kind::Echo: return readSwitch(cmd.value, echo_) ? Result::Ok : Result::Error;
    case Kind::Verbose: return readSwitch(cmd.value, verbose_) ? Result::Ok : Result::Error;
    case Kind::HangUp: return readSwitch(cmd.value, on) && !on ? executeHangUp() : Result::Error;
    case Kind::Online: return executeOnline();
    case Kind::Reset: resetSession(); return Result::Ok;
    case Kind::Dial: return executeDial(cmd.value, nowMs);
    case Kind::Store: return executeStore(cmd.port);
    case Kind::PortSelect: return executePortSelect(cmd.value);
    case Kind::Download:
        if (options_.okToDownload)
            emitResult("OK");
        startDownload(nowMs);
        return Result::None;
    case Kind::Reboot:
        emitResult("OK");
        reboot(nowMs);
        return Result::None;
    case Kind::Invalid: break;
    }
    return Result::Error;
}

void SimTa::undoLine()
{
    for (auto it = lineUndo_.rbegin(); it != lineUndo_.rend(); ++it)
        store_[it->first] = it->second;
    lineUndo_.clear();
}

bool SimTa::keyKnown(const TaKey& key, int prefixPort) const
{
    bool has = true;
    switch (key.need) {
    case KeyNeed::Always: break;
    case KeyNeed::X25: has = options_.x25; break;
    case KeyNeed::Clock: has = options_.dateTime; break;
    case KeyNeed::PortPrefix: has = options_.portPrefix; break;
    }
    return has && (prefixPort == 0 || options_.portPrefix);
}

int SimTa::defaultPort() const
{
    return options_.usb && portExists(2) ? 2 : 1;
}

bool SimTa::portExists(int port) const
{
    return port == 1 || (port == 2 && options_.model == Model::QM7B2);
}

int SimTa::resolvePort(int prefixPort) const
{
    if (prefixPort != 0)
        return prefixPort;
    return selectedPort_ != 0 ? selectedPort_ : defaultPort();
}

SimTa::Result SimTa::executeParam(const AtCommand& cmd)
{
    const TaKey& key = *cmd.key;
    if (!keyKnown(key, cmd.port))
        return Result::Error;
    const int port = key.perDataPort ? resolvePort(cmd.port) : 0;
    if (key.perDataPort && !portExists(port))
        return Result::Error;
    const std::string slot = slotName(key, port);
    if (cmd.query) {
        bool bad = isNumberKind(key.kind) && (badNumbersThisLine_ || faults_.badNumberKey == key.name);
        emitInfo(bad ? "N/A" : valueLine(key.kind, store_.at(slot), options_.oneDigitDate));
        return Result::Ok;
    }
    if (key.name == options_.refusedKey)
        return Result::Error;
    if (key.name == options_.keptKey) // OK, and the TA goes on with its own value
        return Result::Ok;
    std::optional<std::string> stored = storedText(key.kind, cmd.value);
    if (!stored)
        return Result::Error;
    lineUndo_.emplace_back(slot, store_.at(slot));
    store_[slot] = std::move(*stored);
    return Result::Ok;
}

SimTa::Result SimTa::executeInfo(const std::string& number)
{
    if (number.empty() || number == "0")
        emitInfo(options_.ident.empty() ? "ISDN TA" : options_.ident);
    else if (number == "3")
        emitInfo(options_.firmware);
    else if (number == "10")
        emitInfo(options_.model == Model::Other ? options_.otherModelName : modelName(options_.model));
    else if (number == "30")
        emitInfo(options_.usb ? "USB" : "RS232");
    else
        return Result::Error;
    return Result::Ok;
}

SimTa::Result SimTa::executePortSelect(const std::string& digit)
{
    if (digit == "0") {
        if (!options_.p3Zero)
            return Result::Error;
        selectedPort_ = 0;
        return Result::Ok;
    }
    int port = digit == "1" ? 1 : digit == "2" ? 2 : 0;
    if (!portExists(port))
        return Result::Error;
    selectedPort_ = port;
    return Result::Ok;
}

SimTa::Result SimTa::executeStore(int port)
{
    if (port != 0 && !options_.portPrefix)
        return Result::Error;
    if (!portExists(resolvePort(port)))
        return Result::Error;
    stored_ = store_; // what a restart comes back with
    return Result::Ok;
}

} // namespace ta::sim
