#include "ApplyOutcome.h"

#include "CommandTable.h"
#include "LinkSession.h"
#include "link/Failures.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <ostream>
#include <vector>

namespace ta::tactl {
namespace {

struct Report {
    std::vector<atcmd::Difference> differences; // before the write: sent is the file's, taHas the TA's
    std::vector<atcmd::Difference> notTaken;    // after it: what the read-back found otherwise
    int written = 0;                            // settings the TA acknowledged
    bool verified = false;
    link::FailureClass failureClass = link::FailureClass::None;
    std::string message;
};

QString qt(const std::string& text) { return QString::fromLatin1(text.data(), qsizetype(text.size())); }

QJsonArray differencesJson(const std::vector<atcmd::Difference>& differences, const char* before, const char* after)
{
    QJsonArray list;
    for (const atcmd::Difference& difference : differences)
        list.append(QJsonObject{{"field", qt(difference.field)},
                                {before, qt(difference.taHas)},
                                {after, qt(difference.sent)}});
    return list;
}

void printJson(const Report& report, bool check, std::ostream& out)
{
    const bool changed = check ? !report.differences.empty() : report.written > 0;
    const QJsonObject object{{"changed", changed},
                             {"check", check},
                             {"differences", differencesJson(report.differences, "old", "new")},
                             {"written", report.written},
                             {"verified", report.verified},
                             {"notTaken", differencesJson(report.notTaken, "taHas", "sent")},
                             {"class", qt(std::string(link::failureClassName(report.failureClass)))},
                             {"message", qt(report.message)}};
    out << QJsonDocument(object).toJson(QJsonDocument::Indented).toStdString();
}

// The differences as diff --ta prints them; what the TA did not take, as
// the reason of the failure.
void printLines(const Report& report, std::ostream& out, std::ostream& err)
{
    for (const atcmd::Difference& difference : report.differences)
        out << difference.field << ": " << difference.taHas << " -> " << difference.sent << '\n';
    out.flush();
    if (report.notTaken.empty())
        return;
    err << "tactl: the TA did not take every value written (name: sent -> TA has):\n";
    for (const atcmd::Difference& difference : report.notTaken)
        err << "  " << atcmd::differenceLine(difference) << '\n';
}

} // namespace

int ApplyOutcome::localFailure(const std::string& message, std::ostream& out, std::ostream& err, bool told) const
{
    if (json_)
        printJson({{}, {}, 0, false, link::FailureClass::Local, message}, check_, out);
    return told ? kExitFailure : fail(err, message);
}

int ApplyOutcome::finish(LinkSession& session, bool finished, std::ostream& out, std::ostream& err) const
{
    const TerminalScreen& screen = session.screen();
    Report report;
    report.differences = screen.applyDifferences();
    report.written = screen.applyWriting() ? session.link().settingsWritten() : 0;
    int code = kExitOk;
    if (finished) {
        if (session.link().restartSuspected())
            err << "tactl: " << link::kRestartSuspectedText << '\n';
        report.notTaken = screen.applyWriting() ? screen.differences() : std::vector<atcmd::Difference>{};
        report.verified = screen.applyWriting() && report.notTaken.empty();
        code = report.notTaken.empty() ? kExitOk : kExitDiffers;
    }
    session.hangUpIfRemote();
    if (!finished) {
        report.failureClass = session.failureClass();
        report.message = screen.failure();
        code = session.failureCode();
    }
    if (json_)
        printJson(report, check_, out);
    else
        printLines(report, out, err);
    session.printStats(err);
    return code;
}

} // namespace ta::tactl
