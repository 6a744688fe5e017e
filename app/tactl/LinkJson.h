// What identify, query, diff and diff --ta print with --json: one object
// each, in the shape docs/tactl.schema.json gives. Like apply's, each says
// how it ended: "class" is "none" and "message" empty when all went well,
// else the failure's class (link/FailureClass.h) and the message of
// standard error.
#pragma once

#include "link/FailureClass.h"

#include <QJsonArray>
#include <QJsonObject>

#include <iosfwd>
#include <string>
#include <vector>

namespace ta::tactl {

class LinkSession;

// One field that differs, as "name: before -> after" shows it.
struct ChangedField {
    std::string field;
    std::string before;
    std::string after;
};
QJsonArray changesJson(const std::vector<ChangedField>& changes);

// Bytes as JSON text, one character per byte, as show --json gives texts.
QJsonValue jsonBytes(const std::string& bytes);

// The TA the session found and how long it took: the port, the model and
// the answer it was decided by, the variant and the port prefix.
QJsonObject taJson(const LinkSession& session);

// How a command ended: "class" and "message" added to the object.
QJsonObject withOutcome(QJsonObject object, link::FailureClass failureClass = link::FailureClass::None,
                        const std::string& message = {});

// A session that failed: its class, its message with its details, and how
// long it ran.
QJsonObject failureJson(const LinkSession& session);

void printJson(const QJsonObject& object, std::ostream& out);

class CommandLine;
// Where the object goes: standard output with --json, else nowhere.
std::ostream* jsonTarget(const CommandLine& line, std::ostream& out);

// A refusal of something local (a file): the message on standard error and,
// with json, an object of class "local".
int localFailure(const std::string& message, std::ostream* json, std::ostream& err, int exitCode = 1);

} // namespace ta::tactl
