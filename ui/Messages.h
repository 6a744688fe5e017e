// The program's message boxes: caption " " (one blank), a fixed text, and an
// OK button, or OK and Cancel for a confirmation. Tests replace the boxes.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace ta::ui {

void showMessageBox(QWidget* parent, const QString& text);
// True only when the user pressed OK.
bool confirmBox(QWidget* parent, const QString& text);

// For tests: answer instead of showing a modal box. The handler receives the
// text and returns the answer a confirmation gets (ignored for messages).
using MessageHandler = std::function<bool(const QString& text, bool isConfirmation)>;
void setMessageHandler(MessageHandler handler);

} // namespace ta::ui
