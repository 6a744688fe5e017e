// A simulated terminal adapter: the AT command interpreter, its settings
// store, the ISDN call to a second (remote) simulated TA, the firmware
// download and the restart. Pure logic without I/O: the owner passes in the
// bytes the program sent and the time, and takes out what the TA answers.
#pragma once

#include "sim/AtParser.h"
#include "sim/SimOptions.h"
#include "sim/ValueText.h"
#include "sim/XmodemReceiver.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace ta::sim {

class SimTa {
public:
    enum class Mode : uint8_t { Command, Dialing, Online, Download, Rebooting };

    explicit SimTa(SimTaOptions options = {});
    ~SimTa();
    SimTa(const SimTa&) = delete;
    SimTa& operator=(const SimTa&) = delete;

    // --- The line ---
    void receive(const uint8_t* data, std::size_t size, uint64_t nowMs);
    void receive(std::string_view text, uint64_t nowMs);
    void tick(uint64_t nowMs);
    uint64_t nextWakeMs() const; // UINT64_MAX when nothing is timed
    std::string takeOutput();
    bool hasOutput() const { return !out_.empty(); }

    // --- The store, for tests ---
    SimTaOptions& options() { return options_; }
    // Every value under the name the TA keeps it by (slotName: "1C0", "2%S",
    // "$P5", "%P5", "$C0"), as the text a query answers; unknown names throw.
    const std::map<std::string, std::string>& store() const { return store_; }
    const std::string& value(const std::string& slot) const { return store_.at(slot); }
    void setValue(const std::string& slot, std::string text) { store_.at(slot) = std::move(text); } // unchecked
    // The command lines taken (without CR), the last kCommandLogLines of
    // them: a long run forgets its oldest lines instead of growing.
    static constexpr std::size_t kCommandLogLines = 10000;
    const std::deque<std::string>& commandLog() const { return log_; }
    // Lines taken since the start, the forgotten and cleared ones among them.
    uint64_t commandsLogged() const { return commandsLogged_; }
    void clearLog() { log_.clear(); }

    // --- State ---
    Mode mode() const { return mode_; }
    bool echo() const { return echo_; }
    bool verbose() const { return verbose_; }
    bool callUp() const { return callUp_; }
    int selectedPort() const { return selectedPort_; } // 0: the default port
    int defaultPort() const;
    const std::string& lastDialled() const { return lastDialled_; }

    // --- The call ---
    SimTa& remote(); // the TA at the other end (created with default options on first use)
    SimTa& setRemote(SimTaOptions options);
    void dropCall(); // the line drops: "NO CARRIER"

    // --- Download and restart ---
    const XmodemReceiver& download() const { return xmodem_; }
    const std::vector<uint8_t>& receivedImage() const { return image_; } // last complete image
    int downloadsCompleted() const { return downloads_; }
    void setImageHandler(std::function<void(const std::vector<uint8_t>&)> handler) { onImage_ = std::move(handler); }
    void cancelDownloadNow();
    void reboot(uint64_t nowMs);
    int reboots() const { return reboots_; }
    // Restarts as a power dip does: what was not stored with &W is lost.
    void restartNow(uint64_t nowMs);

    // --- Faults ---
    SimFaults& faults() { return faults_; }
    void injectNoCarrier(); // "NO CARRIER" now; a call that is up drops
    // Every command line meets one random fault with this chance (0 switches it off).
    void setRandomFaults(uint32_t seed, int percent);

private:
    enum class Result : uint8_t { Ok, Error, None };

    void receiveByte(uint8_t byte, uint64_t nowMs);
    void commandByte(uint8_t byte, uint64_t nowMs);
    void handleLine(const std::string& line, uint64_t nowMs);
    void answerLine(const std::string& line, uint64_t nowMs);
    void delayAnswer(std::size_t from, uint64_t nowMs);
    void releaseAnswers(uint64_t nowMs);
    void chatter(uint64_t nowMs);
    bool applyLineFaults();
    void pickRandomFault();
    void runBody(std::string_view body, uint64_t nowMs);
    Result execute(const AtCommand& cmd, uint64_t nowMs);
    Result executeParam(const AtCommand& cmd);
    Result executeInfo(const std::string& number);
    Result executeDial(const std::string& number, uint64_t nowMs);
    Result executeHangUp();
    Result executeOnline();
    Result executePortSelect(const std::string& digit);
    Result executeStore(int port);
    bool keyKnown(const TaKey& key, int prefixPort) const;
    void undoLine();
    int resolvePort(int prefixPort) const;
    bool portExists(int port) const;

    void forwardToRemote(const uint8_t* data, std::size_t size, uint64_t nowMs);
    void finishDial();
    void connect();
    void hangUp();
    void pumpRemote(uint64_t nowMs);
    void checkEscape(uint64_t nowMs);
    void startDownload(uint64_t nowMs);
    void pumpDownload(uint64_t nowMs);
    void endReboot();
    void resetSession();

    std::string eol() const;
    void emitResult(std::string_view word);
    void emitInfo(std::string_view text);

    SimTaOptions options_;
    SimFaults faults_;
    std::map<std::string, std::string> store_;
    // What &W stored; taken from the store at the first command line when
    // nothing was stored yet, so that values a test sets before count.
    std::optional<std::map<std::string, std::string>> stored_;
    int commandLines_ = 0;
    std::vector<std::pair<std::string, std::string>> lineUndo_; // slot and value before, this line
    std::deque<std::string> log_;
    uint64_t commandsLogged_ = 0;
    std::string out_;

    // Answers held back by the latency options, in the order they leave.
    struct Delayed {
        uint64_t dueMs;
        std::string text;
    };
    std::deque<Delayed> delayed_;
    uint64_t lastAnswerDueMs_ = 0;
    int linesHandled_ = 0;
    uint64_t nextChatterMs_ = 0;

    Mode mode_ = Mode::Command;
    bool echo_ = false;
    bool verbose_ = true;
    int selectedPort_ = 0;
    std::string line_;

    // The call.
    std::unique_ptr<SimTa> remote_;
    bool throughCall_ = false; // this TA is the far end of a call
    bool callUp_ = false;
    uint64_t dialDueMs_ = 0;
    std::string lastDialled_;
    int plusCount_ = 0;
    uint64_t lastDataMs_ = 0;
    uint64_t plusMs_ = 0;
    bool dataSeen_ = false;

    // Download and restart.
    XmodemReceiver xmodem_;
    std::vector<uint8_t> image_;
    int downloads_ = 0;
    std::function<void(const std::vector<uint8_t>&)> onImage_;
    uint64_t rebootEndMs_ = 0;
    int reboots_ = 0;
    uint64_t lastNowMs_ = 0;

    // Random faults.
    std::mt19937 rng_;
    int randomPercent_ = 0;
    bool badNumbersThisLine_ = false;
};

} // namespace ta::sim
