#include "sim/tasim/TasimArgs.h"

#include "sim/ValueText.h"

#include <functional>
#include <limits>

namespace ta::sim {
namespace {

using Apply = std::function<std::string(SimTaOptions&, const std::string&)>;

struct TaOption {
    const char* name;
    bool takesValue;
    Apply apply;
};

bool readNumber(const std::string& text, uint64_t& out)
{
    unsigned value = 0;
    if (!parseUnsigned(text, 999999, value))
        return false;
    out = value;
    return true;
}

std::string setModel(SimTaOptions& o, const std::string& v)
{
    if (v == "QM7B2-HXN")
        o.model = Model::QM7B2;
    else if (v == "QM7A1-HXN")
        o.model = Model::QM7A1;
    else if (v == "OTHER")
        o.model = Model::Other;
    else
        return "unknown model '" + v + "' (QM7B2-HXN, QM7A1-HXN or OTHER)";
    return {};
}

std::string setDial(SimTaOptions& o, const std::string& v)
{
    static const std::pair<const char*, DialOutcome> outcomes[] = {
        {"connect", DialOutcome::Connect},     {"busy", DialOutcome::Busy},
        {"nodialtone", DialOutcome::NoDialTone}, {"nocarrier", DialOutcome::NoCarrier},
        {"silent", DialOutcome::Silent},
    };
    for (const auto& [name, outcome] : outcomes) {
        if (v == name) {
            o.dial = outcome;
            return {};
        }
    }
    return "unknown dial outcome '" + v + "' (connect, busy, nodialtone, nocarrier, silent)";
}

Apply setMs(uint64_t SimTaOptions::*field)
{
    return [field](SimTaOptions& o, const std::string& v) -> std::string {
        if (!readNumber(v, o.*field))
            return "'" + v + "' is not a number of milliseconds";
        return {};
    };
}

Apply setFlag(bool SimTaOptions::*field, bool value)
{
    return [field, value](SimTaOptions& o, const std::string&) -> std::string {
        o.*field = value;
        return {};
    };
}

Apply setText(std::string SimTaOptions::*field)
{
    return [field](SimTaOptions& o, const std::string& v) -> std::string {
        o.*field = v;
        return {};
    };
}

std::string setLateReply(SimTaOptions& o, const std::string& v)
{
    uint64_t n = 0;
    if (!readNumber(v, n) || n == 0)
        return "'" + v + "' is not a command line number (1 is the first)";
    o.lateReplyLine = int(n);
    return {};
}

std::string setRestartAt(SimTaOptions& o, const std::string& v)
{
    uint64_t n = 0;
    if (!readNumber(v, n) || n == 0)
        return "'" + v + "' is not a command line number (1 is the first)";
    o.restartAtLine = int(n);
    return {};
}

std::string setFlipAt(SimTaOptions& o, const std::string& v)
{
    uint64_t n = 0;
    if (!readNumber(v, n) || n == 0)
        return "'" + v + "' is not a command line number (1 is the first)";
    o.flipAtLine = int(n);
    return {};
}

std::string setFlipByte(SimTaOptions& o, const std::string& v)
{
    uint64_t n = 0;
    if (!readNumber(v, n))
        return "'" + v + "' is not a byte position (0 is the first)";
    o.flipByte = std::size_t(n);
    return {};
}

std::string setFlipBit(SimTaOptions& o, const std::string& v)
{
    uint64_t n = 0;
    if (!readNumber(v, n) || n > 7)
        return "'" + v + "' is not a bit number from 0 to 7";
    o.flipBit = int(n);
    return {};
}

std::string setCanAfter(SimTaOptions& o, const std::string& v)
{
    uint64_t n = 0;
    if (!readNumber(v, n))
        return "'" + v + "' is not a number of blocks";
    o.cancelAfterBlocks = int(n);
    return {};
}

const std::vector<TaOption>& taOptions()
{
    static const std::vector<TaOption> options = {
        {"model", true, setModel},
        {"no-prefix", false, setFlag(&SimTaOptions::portPrefix, false)},
        {"usb", false, setFlag(&SimTaOptions::usb, true)},
        {"no-x25", false, setFlag(&SimTaOptions::x25, false)},
        {"no-datetime", false, setFlag(&SimTaOptions::dateTime, false)},
        {"no-p3zero", false, setFlag(&SimTaOptions::p3Zero, false)},
        {"ident", true, setText(&SimTaOptions::ident)},
        {"firmware", true, setText(&SimTaOptions::firmware)},
        {"model-name", true, setText(&SimTaOptions::otherModelName)},
        {"one-digit-date", false, setFlag(&SimTaOptions::oneDigitDate, true)},
        {"dial", true, setDial},
        {"dial-delay-ms", true, setMs(&SimTaOptions::dialDelayMs)},
        {"reboot-ms", true, setMs(&SimTaOptions::rebootMs)},
        {"escape-guard-ms", true, setMs(&SimTaOptions::escapeGuardMs)},
        {"can-after", true, setCanAfter},
        {"reply-latency-ms", true, setMs(&SimTaOptions::replyLatencyMs)},
        {"late-reply", true, setLateReply},
        {"late-reply-ms", true, setMs(&SimTaOptions::lateReplyMs)},
        {"refuse", true, setText(&SimTaOptions::refusedKey)},
        {"keep", true, setText(&SimTaOptions::keptKey)},
        {"chatter", true, setText(&SimTaOptions::chatter)},
        {"chatter-ms", true, setMs(&SimTaOptions::chatterMs)},
        {"lose-end-ack", false, setFlag(&SimTaOptions::loseEndAck, true)},
        {"ok-to-download", false, setFlag(&SimTaOptions::okToDownload, true)},
        {"restart-at", true, setRestartAt},
        {"restart-ms", true, setMs(&SimTaOptions::restartMs)},
        {"flip-at", true, setFlipAt},
        {"flip-byte", true, setFlipByte},
        {"flip-bit", true, setFlipBit},
    };
    return options;
}

struct Arg {
    std::string name;
    std::string value;
    bool hasValue = false;
};

// "--name", "--name=value" or "--name value".
bool nextArg(const std::vector<std::string>& args, std::size_t& i, Arg& arg, bool wantsValue)
{
    std::string text = args[i].substr(2);
    std::size_t eq = text.find('=');
    arg.name = text.substr(0, eq);
    arg.hasValue = eq != std::string::npos;
    if (arg.hasValue)
        arg.value = text.substr(eq + 1);
    if (wantsValue && !arg.hasValue && i + 1 < args.size()) {
        arg.value = args[++i];
        arg.hasValue = true;
    }
    return !wantsValue || arg.hasValue;
}

const TaOption* findTaOption(const std::string& name)
{
    for (const TaOption& option : taOptions())
        if (name == option.name)
            return &option;
    return nullptr;
}

bool wantsValue(const std::string& name)
{
    std::string bare = name.starts_with("remote-") ? name.substr(7) : name;
    const TaOption* option = findTaOption(bare);
    return option ? option->takesValue
                  : (name == "baud" || name == "image-out" || name == "fault-rate" || name == "fault-seed");
}

std::string applyProgramOption(const Arg& arg, TasimConfig& config)
{
    uint64_t n = 0;
    if (arg.name == "help") {
        config.help = true;
    } else if (arg.name == "version") {
        config.version = true;
    } else if (arg.name == "log") {
        config.log = true;
    } else if (arg.name == "image-out") {
        config.imageOut = arg.value;
    } else if (arg.name == "baud" || arg.name == "fault-rate" || arg.name == "fault-seed") {
        if (!readNumber(arg.value, n) || (arg.name == "fault-rate" && n > 100))
            return "bad value '" + arg.value + "' for --" + arg.name;
        if (arg.name == "baud")
            config.baud = uint32_t(n);
        else if (arg.name == "fault-rate")
            config.faultPercent = int(n);
        else
            config.faultSeed = uint32_t(n);
    } else {
        return "unknown option --" + arg.name + " (see --help)";
    }
    return {};
}

std::string applyArg(const Arg& arg, TasimConfig& config)
{
    bool remote = arg.name.starts_with("remote-");
    const TaOption* option = findTaOption(remote ? arg.name.substr(7) : arg.name);
    if (!option)
        return applyProgramOption(arg, config);
    if (!option->takesValue && arg.hasValue)
        return "--" + arg.name + " takes no value";
    std::string error = option->apply(remote ? config.remote : config.local, arg.value);
    return error.empty() ? error : "--" + arg.name + ": " + error;
}

} // namespace

std::string parseTasimArgs(const std::vector<std::string>& args, TasimConfig& config)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-h") {
            config.help = true;
            continue;
        }
        if (!args[i].starts_with("--"))
            return "unexpected argument '" + args[i] + "' (see --help)";
        Arg arg;
        std::string name = args[i].substr(2, args[i].find('=') - 2);
        if (!nextArg(args, i, arg, wantsValue(name)))
            return "--" + name + " needs a value";
        std::string error = applyArg(arg, config);
        if (!error.empty())
            return error;
    }
    return {};
}

std::string tasimUsage()
{
    return R"(Usage: tasim [options]
A simulated ISDN terminal adapter on a pseudo-terminal. The first line of the
output is the device path to open; the program serves until it is stopped.

The TA:
  --model QM7B2-HXN|QM7A1-HXN|OTHER   model (default QM7B2-HXN)
  --model-name TEXT     what an OTHER model reports for ATI10
  --no-prefix           takes no "1"/"2" port prefixes
  --usb                 reached through its USB port
  --no-x25              knows no X.25 keys
  --no-datetime         knows no date/time keys ($T0, $T1, \P4)
  --no-p3zero           refuses "$P3=0"
  --ident WORD          ATI0 identification (default 128000; empty: none)
  --firmware TEXT       ATI3 firmware version
  --one-digit-date      date and time without leading zeros
  --dial connect|busy|nodialtone|nocarrier|silent   outcome of ATD
  --dial-delay-ms N     time from ATD to its result (default 2000)
  --reboot-ms N         silence while restarting (default 30000)
  --escape-guard-ms N   quiet time around "+++" (default 0)
  --can-after N         download: cancel after N good blocks
  --reply-latency-ms N  answer each line N ms after it (or the answer before)
                        came
  --late-reply N        the answer to the Nth command line (1: the first) is
                        late
  --late-reply-ms N     ... by N ms more (default 1500)
  --refuse KEY          assignments to the bare key KEY (e.g. C0, %M3) answer
                        ERROR
  --keep KEY            assignments to the bare key KEY answer OK, but the TA
                        keeps its own value
  --chatter TEXT        send the line TEXT unprompted in command mode (RING,
                        OK ...)
  --chatter-ms N        ... every N ms (default 100)
  --lose-end-ack        download: the ACK to the end of the transfer is lost
  --ok-to-download      answer AT$D99 with OK before download mode starts
  --restart-at N        restart on the Nth command line (1: the first): no
                        answer, silent, then echo off and the settings last
                        stored with &W
  --restart-ms N        ... silent for N ms (default 2000)
  --flip-at N           the Nth command line (1: the first) arrives with one
                        bit flipped, and the TA takes, echoes and answers it so
  --flip-byte K         ... in its byte K (0: the first; default 4, past the
                        end the last)
  --flip-bit B          ... bit B, 0 to 7 (default 0)
The TA at the far end of a call: the same options as --remote-NAME
  (e.g. --remote-model QM7A1-HXN --remote-no-x25).
The program:
  --baud N              pace both directions at N bit/s, 10 bits per byte
  --image-out FILE      write each received firmware image to FILE
  --log                 command lines received, on stderr
  --fault-rate P        each command line meets a random fault with P % chance
  --fault-seed N        seed of the random faults (default 1)
  --help                this text
  --version             the program's version
)";
}

} // namespace ta::sim
