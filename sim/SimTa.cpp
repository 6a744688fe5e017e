// The line side of the simulated TA: bytes in by mode, command lines, result
// framing, time and faults.
#include "sim/SimTa.h"

#include <algorithm>
#include <limits>

namespace ta::sim {
namespace {

constexpr std::size_t kMaxLine = 512; // a longer command line is refused whole
constexpr char kGarbage[] = "#?~!garbage!~?#";

std::size_t findAt(const std::string& line)
{
    for (std::size_t i = 0; i + 1 < line.size(); ++i)
        if ((line[i] == 'A' || line[i] == 'a') && (line[i + 1] == 'T' || line[i + 1] == 't'))
            return i;
    return std::string::npos;
}

// Result codes of the short (V0) form.
char numericCode(std::string_view word)
{
    if (word == "OK")
        return '0';
    if (word.starts_with("CONNECT"))
        return '1';
    if (word == "NO CARRIER")
        return '3';
    if (word == "NO DIAL TONE")
        return '6';
    if (word == "BUSY")
        return '7';
    return '4'; // ERROR
}

} // namespace

const char* modelName(Model model)
{
    switch (model) {
    case Model::QM7B2: return "QM7B2-HXN";
    case Model::QM7A1: return "QM7A1-HXN";
    case Model::Other: break;
    }
    return "OTHER";
}

SimTa::SimTa(SimTaOptions options) : options_(std::move(options))
{
    for (const TaKey& key : taKeys()) {
        store_.emplace(slotName(key, 1), key.factory);
        if (key.perDataPort)
            store_.emplace(slotName(key, 2), key.factory);
    }
}

SimTa::~SimTa() = default;

void SimTa::receive(std::string_view text, uint64_t nowMs)
{
    receive(reinterpret_cast<const uint8_t*>(text.data()), text.size(), nowMs);
}

void SimTa::receive(const uint8_t* data, std::size_t size, uint64_t nowMs)
{
    for (std::size_t i = 0; i < size; ++i) {
        if (mode_ == Mode::Online) {
            forwardToRemote(data + i, size - i, nowMs);
            break;
        }
        receiveByte(data[i], nowMs);
    }
    tick(nowMs);
}

void SimTa::receiveByte(uint8_t byte, uint64_t nowMs)
{
    switch (mode_) {
    case Mode::Rebooting: break;
    case Mode::Download:
        xmodem_.feed(&byte, 1, nowMs);
        pumpDownload(nowMs);
        break;
    case Mode::Dialing: // a key pressed while dialling abandons the call
        mode_ = Mode::Command;
        emitResult("NO CARRIER");
        break;
    case Mode::Online: break; // handled a whole run at a time
    case Mode::Command: commandByte(byte, nowMs); break;
    }
}

void SimTa::commandByte(uint8_t byte, uint64_t nowMs)
{
    if (byte == '\r') {
        std::string line;
        line.swap(line_);
        handleLine(line, nowMs);
    } else if (byte == '\b') {
        if (!line_.empty())
            line_.pop_back();
    } else if (byte != '\n' && line_.size() <= kMaxLine) {
        line_ += char(byte);
    }
}

void SimTa::handleLine(const std::string& line, uint64_t nowMs)
{
    if (!stored_)
        stored_ = store_;
    if (++commandLines_ == options_.restartAtLine) {
        restartNow(nowMs); // the line is lost with the restart
        return;
    }
    std::string arrived = line;
    if (commandLines_ == options_.flipAtLine && !arrived.empty())
        arrived[std::min(options_.flipByte, arrived.size() - 1)] ^= char(1 << options_.flipBit);
    const std::size_t answerStart = out_.size();
    answerLine(arrived, nowMs);
    delayAnswer(answerStart, nowMs);
}

// The TA works on one line at a time: an answer is due its latency after the
// line came in or after the answer before it left, whichever is later.
void SimTa::delayAnswer(std::size_t from, uint64_t nowMs)
{
    uint64_t delay = options_.replyLatencyMs;
    if (++linesHandled_ == options_.lateReplyLine)
        delay += options_.lateReplyMs;
    if (out_.size() == from || (delay == 0 && lastAnswerDueMs_ <= nowMs))
        return;
    const uint64_t due = std::max(nowMs, lastAnswerDueMs_) + delay;
    delayed_.push_back({due, out_.substr(from)});
    out_.resize(from);
    lastAnswerDueMs_ = due;
}

void SimTa::releaseAnswers(uint64_t nowMs)
{
    while (!delayed_.empty() && delayed_.front().dueMs <= nowMs) {
        out_ += delayed_.front().text;
        delayed_.pop_front();
    }
}

void SimTa::chatter(uint64_t nowMs)
{
    if (options_.chatter.empty() || options_.chatterMs == 0 || mode_ != Mode::Command || nowMs < nextChatterMs_)
        return;
    out_ += options_.chatter + eol();
    nextChatterMs_ = nowMs + options_.chatterMs;
}

void SimTa::answerLine(const std::string& line, uint64_t nowMs)
{
    log_.push_back(line);
    ++commandsLogged_;
    if (log_.size() > kCommandLogLines)
        log_.pop_front();
    badNumbersThisLine_ = false;
    pickRandomFault();
    if (faults_.silentCommands > 0) {
        --faults_.silentCommands;
        return;
    }
    if (echo_)
        out_ += line + "\r";
    std::size_t at = findAt(line);
    if (at == std::string::npos)
        return;
    if (faults_.garbageReplies > 0) {
        --faults_.garbageReplies;
        emitInfo(kGarbage);
    }
    if (faults_.errorReplies > 0 || line.size() > kMaxLine) {
        faults_.errorReplies = std::max(0, faults_.errorReplies - 1);
        emitResult("ERROR");
        return;
    }
    runBody(std::string_view(line).substr(at + 2), nowMs);
}

void SimTa::pickRandomFault()
{
    if (randomPercent_ <= 0 || int(rng_() % 100) >= randomPercent_)
        return;
    switch (rng_() % 5) {
    case 0: ++faults_.silentCommands; break;
    case 1: ++faults_.errorReplies; break;
    case 2: ++faults_.garbageReplies; break;
    case 3: badNumbersThisLine_ = true; break;
    default: injectNoCarrier(); break;
    }
}

void SimTa::setRandomFaults(uint32_t seed, int percent)
{
    rng_.seed(seed);
    randomPercent_ = std::clamp(percent, 0, 100);
}

void SimTa::injectNoCarrier()
{
    if (callUp_)
        dropCall();
    else
        emitResult("NO CARRIER");
}

void SimTa::tick(uint64_t nowMs)
{
    lastNowMs_ = nowMs;
    releaseAnswers(nowMs);
    chatter(nowMs);
    if (mode_ == Mode::Rebooting && nowMs >= rebootEndMs_)
        endReboot();
    if (mode_ == Mode::Dialing && nowMs >= dialDueMs_)
        finishDial();
    if (mode_ == Mode::Download) {
        xmodem_.tick(nowMs);
        pumpDownload(nowMs);
    }
    checkEscape(nowMs);
    pumpRemote(nowMs);
}

uint64_t SimTa::nextWakeMs() const
{
    uint64_t next = std::numeric_limits<uint64_t>::max();
    if (mode_ == Mode::Rebooting)
        next = rebootEndMs_;
    if (mode_ == Mode::Dialing)
        next = dialDueMs_;
    if (mode_ == Mode::Download)
        next = xmodem_.nextWakeMs();
    if (mode_ == Mode::Online && plusCount_ == 3)
        next = plusMs_ + options_.escapeGuardMs;
    if (!delayed_.empty())
        next = std::min(next, delayed_.front().dueMs);
    if (!options_.chatter.empty() && options_.chatterMs != 0 && mode_ == Mode::Command)
        next = std::min(next, nextChatterMs_);
    if (remote_)
        next = std::min(next, remote_->nextWakeMs());
    return next;
}

std::string SimTa::takeOutput()
{
    std::string out;
    out.swap(out_);
    return out;
}

std::string SimTa::eol() const
{
    switch (faults_.lineEnd) {
    case LineEnd::Cr: return "\r";
    case LineEnd::Lf: return "\n";
    case LineEnd::CrLf: break;
    }
    return "\r\n";
}

void SimTa::emitResult(std::string_view word)
{
    if (verbose_)
        out_ += eol() + std::string(word) + eol();
    else
        out_ += std::string(1, numericCode(word)) + "\r";
}

void SimTa::emitInfo(std::string_view text)
{
    out_ += (verbose_ ? eol() : std::string()) + std::string(text) + eol();
}

void SimTa::resetSession()
{
    echo_ = false;
    verbose_ = true;
    selectedPort_ = 0;
    line_.clear();
    plusCount_ = 0;
}

} // namespace ta::sim
