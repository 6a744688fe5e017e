// The exchange machine with the TA: one receive handler, one transaction
// state, and the chains of senders and timeout handlers that make up
// discovery, query, submit, the remote call and the firmware upgrade. The
// windows and the command line drive it through its verbs alone.
#pragma once

#include "CPDrv.h"
#include "Clock.h"
#include "Context.h"
#include "Exchange.h"
#include "FailureClass.h"
#include "Failures.h"
#include "Screen.h"
#include "Xmodem.h"
#include "atcmd/QueryList.h"
#include "atcmd/SubmitBatch.h"
#include "profile/FieldRules.h"
#include "profile/Result.h"

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace ta::link {

// The lines of text an answer has before its OK.
enum class TextLines : uint8_t { Any, AtLeastOne, OneValue };

// Which window started a discovery; it is disabled while discovery runs.
enum class Caller { Wizard, Editor, Reboot };

enum UpgradeStep : uint8_t { usWaitStart, usSendBlocks, usEndSent, usFinished, usAborted };

// The firmware transfer's own state.
struct UpgradeState {
    std::string firmwarePath;
    std::vector<uint8_t> firmwareImage;
    int imageLength = 0;
    int imageCursor = 0;
    int bigBlocksLeft = 0;
    int blocksLeft = 0;
    int blockNumber = 1;
    int totalBlocks = 0;
    int watchBlocksLeft = -1;
    UpgradeStep upgradeStep = usWaitStart;
    std::vector<uint8_t> lastBlock; // what a NAK sends again
    bool watchdogRecycled = false;  // the port was recycled once without progress since
    int endSends = 0;               // ends of transfer sent without an answer
};

// What follows when a dialled call has been hung up (or none was up) and the
// local TA's settings are restored.
enum class CallEnd : uint8_t {
    None,       // no hang-up under way
    StayIdle,   // a failed remote sequence: the caller window comes back
    ClosePort,  // a cancelled call: the port closes as well
    EditorExit, // the editor's Exit: a dead line gives the editor back
    Terminate,  // the program ends whatever happens
};

// What an apply brings the TA to.
struct ApplyRequest {
    // The settings wanted, made from what the TA holds (as the apply read
    // it) and the options the batch is built with (without X.25 when the TA
    // did not answer for it). An error ends the apply with it before
    // anything is written.
    std::function<Result<TaProfile>(const TaProfile& ta, const atcmd::Options& options)> wanted;
    bool checkOnly = false;    // compare, and write nothing
    bool compareClock = false; // the TA's date and time count as well
};

// The key form, variant and switches the query list and the batch are
// built for.
atcmd::Options commandOptions(const AppContext& ctx);

// Ownership: the link holds references to the context, the clock, the
// backend and the screen it is given; whoever makes the link (the program's
// start, a test's rig) owns them and keeps them alive until the link is gone.
// The link owns its port driver and its timers.
// Threads: the link runs on one thread, the one whose event loop drives the
// clock (its timers, posted calls and port readiness); its verbs are called
// on that thread only, and nothing in it is locked.
class TaLink {
public:
    TaLink(AppContext& ctx, Clock& clock, SerialBackend& backend, Screen& screen);
    ~TaLink();
    TaLink(const TaLink&) = delete;
    TaLink& operator=(const TaLink&) = delete;

    // --- What the windows and the command line ask for ---
    // Which TA the next discovery reaches: the local one, or the one behind
    // a call to number. Either choice forgets the connection (the port stays
    // as it is).
    void chooseLocal();
    void chooseRemote(const std::string& number);
    // Finds and identifies the TA, then tells the screen (identifyDone)
    // instead of going on to a query or a submit.
    void requestIdentify();
    // Reads every setting of the TA into the working profile.
    void requestQuery();
    // Writes the editor's settings to the TA.
    void requestSubmit();
    // After a submit, on the connection it left open: reads the TA's
    // settings into a record of their own, leaving the working profile as it
    // was sent, and tells the screen what the TA holds other than the last
    // batch wrote (readBackDone). A failed read ends with the query's
    // message. A submit runs it by itself when verifyAfterSubmit is set.
    void requestReadBack();
    // Brings the TA to wanted settings in one session (one call to a remote
    // TA): reads it, tells the screen what differs (applyCompared) and,
    // unless only a check was asked for or nothing differs, writes only the
    // commands that change something and reads the TA back, ending as a
    // submit with its read-back ends (readBackDone, submitDone). Multilink
    // thresholds the editor would refuse stop the write, in a check too.
    void requestApply(ApplyRequest request);
    // Sends the firmware file, waits for the restart and writes the editor's
    // settings back (the file dialog and the confirmation come before).
    void requestUpgrade(const std::string& path);
    // The call attempt is hung up.
    void cancelCall();
    // Stops the query, submit or read-back under way, or the discovery or
    // call set-up before it, at its next command boundary: the command on the
    // line is answered or given up first, so that no command is left half
    // done. A call is hung up and the local TA restored, and the screen is
    // told what was done. A call attempt and the wait for a restart stop at
    // once. False when there is nothing to stop, and during the firmware
    // transfer, which runs to its end.
    bool cancelExchange();
    // The user's end of the program: what runs stops as cancelExchange
    // stops it, then a remote TA is hung up and the local TA restored, then
    // the screen terminates. Ignored during the firmware transfer.
    void requestExit();
    // The program ends (a signal, the wizard closed, the command line done):
    // what is under way stops, with its failure message when tellUser is
    // set; a dialled call is hung up and the local TA restored; then the
    // screen terminates. A second call while that runs changes nothing.
    void endSession(bool tellUser = false);
    // A signal to the program, or its time limit: a command of a query or a
    // submit on the line is answered first, or given up at its timeout
    // (within a second), so that what the TA took is counted; then as
    // endSession(true), the details opening with why (kInterruptedText,
    // kTimeLimitText) and telling how far the exchange came.
    void interrupt(const char* why = kInterruptedText);
    // Receive on the port's readiness as well as on the driver's poll.
    void setReadinessWakeups(bool on);

    // --- What they may look at ---
    bool ending() const { return callEnd_ == CallEnd::Terminate || sessionEnded_; }
    // True while a command waits for its answer or a call, transfer or
    // reboot is under way.
    bool busy() const;
    // A TA was identified on the open port and its session is under way.
    bool identified() const;
    bool readingBack() const { return readBack_.has_value(); }
    // The firmware is on the line: it can be neither cancelled nor left.
    bool transferring() const { return ex_.transactionState == tsUpgrading; }
    // Settings the last submit wrote (acknowledged by the TA) and the last
    // query read (not the firmware version, the charges or the port
    // selections it also asks for); settings in the last batch.
    int settingsWritten() const { return writeWatch_.writtenAgain ? writeWatch_.writtenFirst : written_; }
    int settingsRead() const { return read_; }
    int settingsInBatch() const;
    // The last submit saw signs that the TA restarted while it ran (silent
    // through a re-send, or answering without echo again), and read the
    // settings back after its batch to tell what the TA lacks.
    bool restartSuspected() const { return restartWatch_.suspected; }
    // The TA echoed a command of the last submit that was never sent (the
    // line garbled one), so the settings were read back as after a restart.
    bool lineErrorSeen() const { return writeWatch_.lineError; }
    // Settings the TA lacked after the last submit's first write and its
    // read-back, which were written once more.
    int settingsWrittenAgain() const { return writeWatch_.settingsWrittenAgain; }
    // Why the last submit read the TA back on its own and what it did about
    // it, one line each; none after a write without trouble.
    std::vector<std::string> writeNotes() const;
    // The port the driver uses ("\\.\COM3", or the chosen device path).
    const std::string& portName() const;
    int queryCount() const { return queryCount_; }
    int batchCount() const { return batchCount_; }
    // The class of the last failure the screen was told of since the last
    // request: None when the request has not failed (yet).
    FailureClass failureClass() const { return failureClass_; }

private:
    friend struct LinkProbe; // the tests' way in: tests/support/LinkProbe.h

    // --- Discovery and identification ---
    bool scanPorts();
    void startDiscovery(Caller caller);
    void sendIdentify();
    void sendPortProbe();
    void sendInfoQuery();
    void sendSessionEcho();
    void classifyTa();
    void noteProbe(ProbeOutcome outcome);
    void goOnWithoutPrefix();

    // --- Query ---
    void startQuery(); // builds the list and sends its first entry
    void sendQuery();
    bool advanceQuery();
    bool skipX25Group();

    // --- Apply ---
    void compareForApply(); // at the end of the apply's query
    bool refuseApply(const std::string& message, const std::string& details = {});

    // --- Submit ---
    void startSubmit(); // builds the batch and sends its first command
    // Whether the field rules refuse what a submit would send, the user told
    // which settings break which rule. Before the TA has said what it is only
    // what every TA is sent counts.
    bool refusedByFieldRules(bool taKnown);
    // The message and the details of a refusal by the field rules.
    std::pair<Failure, std::string> ruleRefusal(const std::vector<RuleBreak>& breaks);
    // After a refusal by the rules once the TA was identified: nothing was
    // sent, and the session stays open as after a submit.
    void settleRefusedSubmit();
    void sendSubmitCommand();
    bool advanceSubmit();
    bool skipSubmitX25Group();

    // --- Remote call and hang-up ---
    void sendRemoteEcho();
    void sendQueryC0();
    void sendQueryP5();
    void sendRemoteSetup();
    void sendDial();
    void sendEscape();
    void sendHangUp();
    bool sendRestore(); // false when the restore did not go out whole
    // Hangs up a dialled call ("+++" and ATH, or ATH alone while dialling),
    // then restores the local TA and goes on as `then` says.
    void releaseCall(CallEnd then);

    // --- Firmware upgrade ---
    Result<> LoadFirmwareImage(const std::string& path);
    void StartUpgrade();
    void OnUpgradeByte(uint8_t byte);

    // --- Receive event and timer handlers ---
    void cComReceiveData(const uint8_t* dataPtr, uint32_t dataSize);
    void tmVerTimerTimer();
    void tmInitTimerTimer();
    void tmQryTimerTimer();
    void tmSmtTimerTimer();
    void tmCallTimerTimer();
    void tmUpgTimerTimer();
    void tmTickTimerTimer();

    // A step's sends in all and what its timer does once they are used up.
    enum class GiveUp : uint8_t { Message, NextPort, WithoutPrefix, HangUpFailed };
    struct RetryRule {
        TransactionState state;
        int limit;
        void (TaLink::*resend)();
        GiveUp then;
        Failure message;
    };
    static const RetryRule* retryRuleFor(TransactionState state);
    void retryOrGiveUp(const RetryRule& rule);
    bool probeNextPort();
    void passOverPort();

    // The text of every failure the user is told of; notes its class.
    std::string failureMessage(Failure failure);
    FailureClass classOf(Failure failure) const;
    static Failure lostFailure(TransactionState state);
    std::string lostDetails(TransactionState state) const;
    std::string carrierLostDetails(TransactionState state) const;
    void tell(const std::string& message, const std::string& details);
    std::string transferLostDetails(bool portGone) const;
    Failure interruptedFailure(TransactionState state) const;

    // Sender pattern and shared helpers. A sender that meets a cancel at its
    // command boundary stops the sequence there and sends nothing (false).
    bool send(const std::string& command, TransactionState state, Timer& timer);
    void sendRaw(const std::string& line, const std::string& logText);
    // Writes the bytes; false, with a log line naming `what`, when the port
    // did not take them all.
    bool writeOut(const uint8_t* data, std::size_t size, const std::string& what);
    void logLine(const std::string& line);
    void stepDone();
    void enableCallerWindow();
    void enableAndFocusCallerWindow();
    void giveUp(Failure failure, const std::string& details = {});
    void dropOptionalGroups();
    void selectPort(int index);
    int firstPresentPort() const;
    void stopSequenceTimers();
    void portLost();
    void stopExchange(bool tellUser, bool atBoundary = false, bool unanswered = false);
    void finishInterrupt(bool unanswered);
    std::string interruptedDetails(TransactionState state, bool unanswered);

    // Cancel and exit on the user's word.
    bool stopIfCancelled();
    void finishCancel();
    void stopRebootWait();
    std::string cancelledText(TransactionState state);
    // After every event of the port and the timers: a pending exit goes on
    // once nothing runs any more.
    void afterEvent();

    // What a failure's details say: where the TA is, what it was sent, the
    // setting as the screen shows it.
    std::string taShownAs() const;
    std::string settingLines(const atcmd::BatchEntry& entry, const TaProfile& profile);
    std::string refusedDetails();
    std::string unansweredQueryDetails();
    std::string wrongReplyDetails(const std::string& command) const;
    std::string triedPortsReport() const;

    // Receive dispatcher.
    void collectReceived(const uint8_t* data, uint32_t size);
    bool commandPending() const;
    void boundReplyBuffer();
    bool answerOks();
    enum class ReplyCheck : uint8_t { Kept, Dropped, CarrierLost };
    ReplyCheck checkFirstReply();
    void runOkAction();
    // An ERROR to the command on the line that ends its step at once
    // (link/Refusal.cpp); true when it was taken.
    bool refusalDecides() const;
    bool takeRefusal();
    ReplyCheck dropReply(std::size_t end, const std::string& why);
    void handleNoCarrier();
    void handleDialOutcome(const std::string& upper);
    void passToUpgrade();
    bool takeReplyNumber(uint8_t& target);
    void onTaIdentified();

    // What each step does with the OK that ends its answer, and what the
    // answer must hold before it counts.
    struct OkRule {
        TransactionState state;
        void (TaLink::*onOk)();
        bool echoed;    // once the session's ATE1V1 is answered, only a reply with the command's echo counts
        TextLines text; // the lines of text the answer has before its OK
    };
    static const OkRule* okRuleFor(TransactionState state);
    void onRemoteEchoOk();
    void onLocalC0Read();
    void onLocalP5Read();
    void onRemoteSetupOk();
    void onSessionEchoOk();
    void onEscapeOk();
    void onHangUpOk();
    void onInfoReply();
    void onPortProbeOk();

    // A TA that lost its echo gets ATE1V1 again in place of a re-send; the
    // OK to it repeats the command.
    bool echoRestoring() const;
    bool sendEchoFirst(Timer& timer);
    void onEchoRestored();

    // Identification from the ATI10I30 answer.
    void takeModel(const std::string& text);

    // Query and submit.
    static bool isDateTimeEntry(const std::string& entry);
    static bool isPortEndEntry(const std::string& entry);
    static bool isX25Entry(const std::string& entry);
    bool queryUnderWay() const;
    void onQueryReply();
    // A reply whose value its field's rule refuses: asked again once, as
    // after noise; false when it was the entry's second such reply.
    bool askAgainAfter(const RuleBreak& broken);
    void finishQuery(bool clearReply);
    void queryWithoutClock();
    void failQuery();
    bool submitUnderWay() const;
    void onSubmitReply();
    void finishSubmit(bool clearReply);
    bool optionalSubmitCommand(const std::string& command) const;
    void submitWithoutCommand(const std::string& command);
    void failSubmit();
    void finishReadBack(bool clearReply);
    void failReadBack();
    std::string readFailedDetails();

    // Restarts of the TA and a line that garbles commands.
    void beginRequest();
    void noteReadFault();
    bool startReadAgainIfDue();
    void noteRestartSign();
    void noteQuietTimeout(bool optional);
    void noteAnswerAfterSilence();
    bool isOptionalEntry(const std::string& entry) const;
    bool wasSent(std::string_view line) const;
    void noteLineError(std::string_view echo);
    bool faultDuringWrite() const;
    void startBatch(std::vector<atcmd::BatchEntry> entries);

    // Remote call.
    void callConnected();
    void callEnded(Failure failure, bool closePort);
    void hangUpFailed();
    void finishRelease();
    void restoreLocalTa();

    // Upgrade.
    void SendBlock();
    void resendBlock();
    void SendEnd();
    void armEndWait();
    void endUnanswered();
    void cancelTransfer();
    void FinishUpgrade();
    void AbortUpgrade();
    void AfterReboot();
    void recyclePort();

    AppContext& ctx_;
    ExchangeState ex_;
    Clock& clock_;
    Screen& screen_;
    std::unique_ptr<TCommPortDriver> cCom_;
    std::unique_ptr<Timer> tmVerTimer_;
    std::unique_ptr<Timer> tmInitTimer_;
    std::unique_ptr<Timer> tmQryTimer_;
    std::unique_ptr<Timer> tmSmtTimer_;
    std::unique_ptr<Timer> tmCallTimer_;
    std::unique_ptr<Timer> tmUpgTimer_;
    std::unique_ptr<Timer> tmTickTimer_;
    int queryCount_ = 0;
    int settingsInQuery_ = 0; // the query's entries that read a setting
    int batchCount_ = 0;
    int tick_ = 0;
    bool identifyOnly_ = false; // requestIdentify: the session ends at the TA's identification
    std::string callingText_;
    UpgradeState upg_;
    std::string lastCommand_; // the command line last sent, without its CR
    uint64_t sendCount_ = 0;  // grows with every command sent
    CallEnd callEnd_ = CallEnd::None;
    bool sessionEnded_ = false;
    bool cancelPending_ = false; // stop at the next command boundary
    bool interruptPending_ = false; // a signal: end at the next command boundary
    const char* stopWhy_ = kInterruptedText;
    bool exitPending_ = false;   // end the program once nothing runs
    std::vector<atcmd::BatchEntry> batch_; // what each command of the batch assigns
    int written_ = 0;
    int read_ = 0;
    FailureClass failureClass_ = FailureClass::None;
    // What a query reads; it becomes the working profile only when the
    // query has ended well, so a cancelled or failed one leaves no half.
    TaProfile queried_{};
    // The entry of the query whose reply broke its field's rule, how often,
    // and the last such reply.
    struct WrongReply {
        int index = -1;
        int times = 0;
        RuleBreak broken;
    };
    WrongReply wrongReply_;

    // What a read-back under way compares: the record and the options the
    // batch was built from, and what the TA answers.
    struct ReadBack {
        TaProfile written;
        atcmd::Options options;
        TaProfile ta;
    };
    std::optional<ReadBack> readBack_;
    void writeAgain(const ReadBack& done);

    // The apply under way, from its request to the end of its write.
    struct Apply {
        ApplyRequest request;
        std::vector<atcmd::Difference> differences; // what its write changes
        bool x25Unanswered = false; // its query found no X.25 on the TA
    };
    std::optional<Apply> apply_;

    // What the watch over a submit or a read saw of a possible restart of the TA.
    struct RestartWatch {
        uint64_t received = 0;  // bytes received in all
        uint64_t atSend = 0;    // ... when the command last went out
        bool sentWhole = true;  // ... and it went out whole: silence to half a command tells nothing
        int quietTimeouts = 0;  // the command's timeouts in a row with nothing received
        bool suspected = false;
    };
    RestartWatch restartWatch_;

    // A read (a query or a read-back) that meets a restart of the TA or a
    // garbled command starts again from its first entry, once, so that what
    // it reads is one whole set; the next such fault fails it.
    enum class ReadFault : uint8_t { None, StartAgain, Fail };
    struct ReadWatch {
        int startedAgain = 0;
        bool answeredSince = false; // an entry was answered since: a new sign is another fault
        ReadFault pending = ReadFault::None; // acted on before the next entry goes out
        bool endedByFaults = false;
        bool silenceSeen = false; // silent through a re-send: it starts again once the TA answers
    };
    ReadWatch readWatch_;
    // What a submit met besides a restart, and what it wrote once more.
    struct WriteWatch {
        bool lineError = false;     // the TA echoed a command that was never sent
        bool writtenAgain = false;  // the settings the read-back found lacking went out once more
        int settingsWrittenAgain = 0;
        int writtenFirst = 0;       // by the first write, when there was another
    };
    WriteWatch writeWatch_;
    // The command lines sent since the user's request began: an echo of any
    // other is a command the line garbled on its way to the TA.
    std::set<std::string, std::less<>> sentLines_;
    // An ATI10I30 answer that named no known model, until a second one
    // confirms or contradicts it.
    std::optional<std::string> unknownModelReply_;
};

} // namespace ta::link
