// The details that come with a failure's fixed text: which TA on which port,
// the command it did not take, the setting as the user knows it, and what
// each port did during discovery.
#include "TaLink.h"

#include "link/port/PortReport.h"
#include "atcmd/ParamTable.h"
#include "atcmd/QueryList.h"
#include "profile/FieldValue.h"
#include "profile/Printable.h"

#include <cstring>

namespace ta::link {

namespace {

bool contains(const std::string& text, const char* word) { return text.find(word) != std::string::npos; }

// "COM1 /dev/ttyUSB0", or the path the user chose.
std::string portShownAs(const std::string& portName)
{
    const int number = comNumberOf(portName);
    if (number == 0)
        return portName;
    const std::string path = devicePathFor(portName, serialPortCandidates());
    return "COM" + std::to_string(number) + (path.empty() ? "" : " " + path);
}

// tactl's form: "dataPort1.autoAnswerRings = 3", or the name alone.
std::string fieldText(const TaProfile& profile, std::size_t offset, bool withValue)
{
    for (const FieldInfo& field : profileFields())
        if (field.offset == offset)
            return withValue ? field.name + " = " + shownValue(profile, field) : field.name;
    return {};
}

} // namespace

std::string TaLink::taShownAs() const
{
    const std::string port = portShownAs(cCom_->PortName());
    if (ctx_.remoteChosen)
        return "the remote TA at " + ctx_.remoteNumber + " via " + port;
    return (ctx_.taModel.empty() ? std::string("the TA") : "the TA " + ctx_.taModel) + " on " + port;
}

// One line per field the command carries (a number and its sub-address are
// two), as the screen shows the setting; nothing for a command that is no
// setting of its own.
std::string TaLink::settingLines(const atcmd::BatchEntry& entry, const TaProfile& profile)
{
    if (!entry.param)
        return {};
    std::string lines;
    const auto* record = reinterpret_cast<const char*>(&profile);
    for (const auto bytes : {atcmd::fieldOf(profile, *entry.param, entry.port),
                             atcmd::subFieldOf(profile, *entry.param, entry.port)}) {
        if (bytes.empty())
            continue;
        const auto offset = std::size_t(bytes.data() - record);
        std::string line = screen_.settingText(offset, reinterpret_cast<const uint8_t*>(bytes.data()));
        if (line.empty())
            line = fieldText(profile, offset, true);
        lines += line + "\n";
    }
    return lines;
}

// "The TA QM7B2-HXN on COM1 /dev/ttyUSB0 refused AT1S0=3 (ERROR to each of 7
// sends):", the setting, and what the TA holds now.
std::string TaLink::refusedDetails()
{
    const auto index = std::size_t(ex_.submitIndex);
    if (index >= batch_.size())
        return {};
    const atcmd::BatchEntry& entry = batch_[index];
    const std::string command = "AT" + entry.command;
    const std::string sends = std::to_string(kSubmitSends) + " sends";
    std::string text = taShownAs();
    text[0] = char(std::toupper(static_cast<unsigned char>(text[0])));
    if (contains(ex_.replyBuffer, "ERROR\n"))
        text += " refused " + command + " (ERROR to each of " + sends + "):\n";
    else
        text += " did not answer " + command + " (" + sends + "):\n";
    text += settingLines(entry, ctx_.workingProfile);
    return text + "\n" + settingsWrittenText(written_, settingsInBatch()) + "\n";
}

// "The TA QM7B2-HXN on COM1 /dev/ttyS0 answered AT$P5? twice with a value
// its setting does not take:", and the setting with the value and the rule.
std::string TaLink::wrongReplyDetails(const std::string& command) const
{
    std::string text = taShownAs();
    text[0] = char(std::toupper(static_cast<unsigned char>(text[0])));
    const std::string times = wrongReply_.times > 1 ? " twice" : "";
    return text + " answered " + command + times + " with a value its setting does not take:\n" +
           printable(ruleBreakLine(wrongReply_.broken)) + "\n";
}

// The entry the query gave up on, and where.
std::string TaLink::unansweredQueryDetails()
{
    const auto index = std::size_t(ex_.queryIndex);
    if (index >= ex_.commandList.size() || index >= ex_.commandIds.size())
        return {};
    const int id = ex_.commandIds[index];
    if (wrongReply_.index == ex_.queryIndex)
        return wrongReplyDetails("AT" + ex_.commandList[index] + "?");
    std::string text = taShownAs();
    text[0] = char(std::toupper(static_cast<unsigned char>(text[0])));
    text += " did not answer AT" + ex_.commandList[index] + (atcmd::isPlainCommandId(id) ? "\n" : "?\n");
    int port = 0;
    const atcmd::Param* param = atcmd::paramById(id, &port);
    if (!param)
        return text;
    const TaProfile& profile = ctx_.workingProfile;
    const auto* record = reinterpret_cast<const char*>(&profile);
    for (const auto bytes : {atcmd::fieldOf(profile, *param, port), atcmd::subFieldOf(profile, *param, port)}) {
        if (bytes.empty())
            continue;
        const auto offset = std::size_t(bytes.data() - record);
        std::string line = screen_.settingText(offset, nullptr);
        text += (line.empty() ? fieldText(profile, offset, false) : line) + "\n";
    }
    return text;
}

// "COM1 /dev/ttyUSB0 went away after 12 of 40 blocks ...", or with the port
// still there "The transfer was stopped after ...".
std::string TaLink::transferLostDetails(bool portGone) const
{
    const int acknowledged = upg_.totalBlocks - upg_.blocksLeft;
    const std::string what = portGone ? portShownAs(cCom_->PortName()) + " went away" : "The transfer was stopped";
    return what + " after " + std::to_string(acknowledged) + " of " + std::to_string(upg_.totalBlocks) +
           " blocks of " + printable(upg_.firmwarePath) +
           " had been acknowledged. The TA did not get the whole firmware and its settings were not written back: " +
           (portGone ? "once the port is back, upgrade again." : "upgrade again.");
}

// How far a sequence came that a signal or the time limit stopped: what the TA answered, and
// the command it left unanswered at the stop, which it may have taken.
std::string TaLink::interruptedDetails(TransactionState state, bool unanswered)
{
    const std::string text = std::string(stopWhy_) + " ";
    const std::string nothing = ex_.pendingOperation == poUpgrade ? "The firmware was not sent to the TA."
                                : screen_.editorVisible()          ? "Nothing was written to the TA."
                                                                   : "Nothing was read from the TA.";
    if (readBack_)
        return text + kReadBackInterruptedText;
    switch (state) {
    case tsSubmitting: {
        if (!submitUnderWay() && !batch_.empty())
            return text + "All " + std::to_string(written_) +
                   " settings were written to the TA; they were not read back to verify them.";
        const std::string untold = unanswered ? " The TA did not answer " + lastCommand_ +
                                                    " before the stop: it may have taken it as well."
                                              : "";
        if (writeWatch_.writtenAgain)
            return text + "The write had finished; " + std::to_string(written_) + " of the " +
                   std::to_string(settingsInBatch()) + " settings the TA lacked afterwards were written again." +
                   untold;
        return text + settingsWrittenText(written_, settingsInBatch()) + untold;
    }
    case tsQuerying:
        return text + std::to_string(read_) + " of " + std::to_string(settingsInQuery_) +
               " settings had been read; none of them are kept.";
    case tsUpgrading: return text + transferLostDetails(false);
    case tsRebooting: return text + kRebootStoppedText;
    case tsDialing: return text + "The call to " + ctx_.remoteNumber + " was being dialled. " + nothing;
    default: return text + nothing;
    }
}

// The class of a failure, from what the exchange holds as it is told: the
// answer to the command given up on, what each port of the discovery did.
FailureClass TaLink::classOf(Failure failure) const
{
    const std::size_t ports = ctx_.chosenPort.empty() ? ex_.portFailures.size() : 1;
    return classOfFailure({failure, contains(ex_.replyBuffer, "ERROR\n"),
                           std::span(ex_.portFailures).first(ports), std::span(ex_.portProbes).first(ports)});
}

// Every port of the last discovery: why it was passed over, or what it
// answered to the identification.
std::string TaLink::triedPortsReport() const
{
    const bool chosen = !ctx_.chosenPort.empty();
    const int ports = chosen ? 1 : kPortCandidates;
    std::vector<OpenFailure> failures(ex_.portFailures.begin(), ex_.portFailures.begin() + ports);
    std::vector<ProbeOutcome> probes(ex_.portProbes.begin(), ex_.portProbes.begin() + ports);
    const std::vector<std::string> candidates = chosen ? std::vector<std::string>{} : serialPortCandidates();
    for (int i = 0; i < ports; ++i) {
        OpenFailure& failure = failures[std::size_t(i)];
        if (probes[std::size_t(i)] == ProbeOutcome::NotProbed || !failure.path.empty())
            continue;
        failure.path = chosen ? ctx_.chosenPort : devicePathFor(TCommPortDriver::comName(i + 1), candidates);
    }
    return discoveryReport(failures, probes, !chosen);
}

} // namespace ta::link
