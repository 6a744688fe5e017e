#include "LinkJson.h"

#include "LinkSession.h"
#include "OptionTable.h"

#include <QJsonDocument>

#include <ostream>

namespace ta::tactl {

QJsonValue jsonBytes(const std::string& bytes) { return QString::fromLatin1(bytes.data(), qsizetype(bytes.size())); }

namespace {

// An absent value is null.
QJsonValue textOrNull(const std::string& text) { return text.empty() ? QJsonValue() : jsonBytes(text); }

QJsonObject portJson(const LinkSession& session)
{
    const link::PortCandidate port = session.port();
    return {{"com", textOrNull(session.comName())},
            {"path", textOrNull(port.path)},
            {"description", textOrNull(port.description)}};
}

} // namespace

QJsonArray changesJson(const std::vector<ChangedField>& changes)
{
    QJsonArray list;
    for (const ChangedField& change : changes)
        list.append(QJsonObject{{"field", jsonBytes(change.field)},
                                {"old", jsonBytes(change.before)},
                                {"new", jsonBytes(change.after)}});
    return list;
}

QJsonObject taJson(const LinkSession& session)
{
    const link::AppContext& ctx = session.ctx();
    return {{"port", portJson(session)},
            {"model", jsonBytes(ctx.taModel)},
            {"modelReply", jsonBytes(ctx.taModelReply)},
            {"taVariant", int(ctx.taVariant)},
            {"noPortPrefix", ctx.noPortPrefix},
            {"elapsedMs", qint64(session.elapsed().count())}};
}

QJsonObject withOutcome(QJsonObject object, link::FailureClass failureClass, const std::string& message)
{
    object.insert("class", QString::fromLatin1(link::failureClassName(failureClass)));
    object.insert("message", jsonBytes(message));
    return object;
}

QJsonObject failureJson(const LinkSession& session)
{
    std::string details = session.screen().failureDetails();
    while (details.ends_with('\n'))
        details.pop_back();
    const QJsonObject object{{"details", jsonBytes(details)},
                             {"elapsedMs", qint64(session.elapsed().count())}};
    return withOutcome(object, session.failureClass(), session.screen().failure());
}

void printJson(const QJsonObject& object, std::ostream& out)
{
    out << QJsonDocument(object).toJson(QJsonDocument::Indented).toStdString();
    out.flush();
}

std::ostream* jsonTarget(const CommandLine& line, std::ostream& out) { return line.has("json") ? &out : nullptr; }

int localFailure(const std::string& message, std::ostream* json, std::ostream& err, int exitCode)
{
    if (json)
        printJson(withOutcome({}, link::FailureClass::Local, message), *json);
    return fail(err, message, exitCode);
}

} // namespace ta::tactl
