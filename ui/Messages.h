// The program's message boxes: caption " " (one blank), a fixed text, and an
// OK button, or OK and Cancel for a confirmation. Tests replace the boxes.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace ta::ui {

void showMessageBox(QWidget* parent, const QString& text);
// The same box with a "Show Details..." part below the text.
void showMessageBox(QWidget* parent, const QString& text, const QString& details);
// True only when the user pressed OK.
bool confirmBox(QWidget* parent, const QString& text);

// For tests: answer instead of showing a modal box. The handler receives the
// text and returns the answer a confirmation gets (ignored for messages).
using MessageHandler = std::function<bool(const QString& text, bool isConfirmation)>;
void setMessageHandler(MessageHandler handler);
// The details of the last box shown (empty when it had none).
QString lastMessageDetails();

} // namespace ta::ui
