// What kind of TA the simulator plays, and the faults it can be told to make.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ta::sim {

enum class Model : uint8_t {
    QM7B2, // two data ports: RS232 (port 1) and USB (port 2)
    QM7A1, // the basic model: the RS232 data port only
    Other, // a TA of the family whose information names neither model
};

enum class DialOutcome : uint8_t { Connect, Busy, NoDialTone, NoCarrier, Silent };

enum class LineEnd : uint8_t { CrLf, Cr, Lf };

struct SimTaOptions {
    Model model = Model::QM7B2;
    bool portPrefix = true;  // takes "1" / "2" before data-port keys
    bool usb = false;        // reached through its USB port (bare keys then go to port 2)
    bool x25 = true;         // knows the X.25 keys ("-X", "-B0" ...)
    bool dateTime = true;    // knows "$T0", "$T1" and "\P4"
    bool p3Zero = true;      // knows "$P3=0"
    std::string ident = "128000";               // "ATI0"; empty names no TA of the family
    std::string firmware = "V2.10";             // "ATI3"
    std::string otherModelName = "ISDN TA 2000"; // "ATI10" of Model::Other
    bool oneDigitDate = false; // date and time components without leading zeros
    DialOutcome dial = DialOutcome::Connect;
    uint64_t dialDelayMs = 2000;   // from "ATD" to the call result
    uint64_t rebootMs = 30000;     // silence while restarting
    uint64_t escapeGuardMs = 0;    // quiet time needed before and after "+++"
    int cancelAfterBlocks = -1;    // download: CAN instead of an answer after N good blocks

    // A TA that is slow, chatty or picky. Answers leave in order: one that is
    // late holds back those after it.
    uint64_t replyLatencyMs = 0;   // each answer this long after its line (or the answer before)
    int lateReplyLine = 0;         // the answer to this command line (1: the first) is later still
    uint64_t lateReplyMs = 1500;   // ... by this much
    std::string refusedKey;        // assignments to this bare key ("C0", "%M3") answer "ERROR"
    std::string keptKey;           // assignments to this bare key answer "OK"; the TA keeps its own value
    std::string chatter;           // a line sent unprompted in command mode ("RING", "OK")
    uint64_t chatterMs = 100;      // ... this often
    bool loseEndAck = false;       // download: the ACK to the end of the transfer never arrives
    bool okToDownload = false;     // "AT$D99" is answered "OK" before download mode starts
    // A TA that restarts on its own: this command line (1: the first) is
    // never answered, the TA is silent for restartMs and comes back with echo
    // off and the settings it last stored with &W.
    int restartAtLine = 0;
    uint64_t restartMs = 2000;
    // A line that garbles a command on its way to the TA: one bit of one
    // byte of this command line (1: the first) arrives flipped, and the TA
    // takes, echoes and answers the line as it arrived.
    int flipAtLine = 0;
    std::size_t flipByte = 4; // 0: the first; past the end, the last ("AT1C1=0": the port's digit)
    int flipBit = 0;
};

// Faults, each one small and independent. Counters count down as they are used.
struct SimFaults {
    int silentCommands = 0;   // the next N command lines get no echo and no reply
    int errorReplies = 0;     // the next N command lines answer "ERROR" and change nothing
    int garbageReplies = 0;   // the next N replies start with a line of garbage
    std::string badNumberKey; // queries of this bare key ("C0", "%M3") answer "N/A"
    LineEnd lineEnd = LineEnd::CrLf;
};

const char* modelName(Model model);

} // namespace ta::sim
