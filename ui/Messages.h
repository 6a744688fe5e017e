// The program's message boxes: the program's title as caption, an icon for
// the kind of news, a fixed text, and an OK button; OK and Cancel for a
// confirmation; Save, Discard and Cancel for unsaved work. Tests replace the
// boxes.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace ta::ui {

// Most messages tell of something that went wrong.
enum class MessageKind { Information, Warning, Error };

void showMessageBox(QWidget* parent, const QString& text, MessageKind kind = MessageKind::Warning);
// The same box with a "Show Details..." part below the text.
void showMessageBox(QWidget* parent, const QString& text, const QString& details,
                    MessageKind kind = MessageKind::Warning);
// True only when the user pressed OK.
bool confirmBox(QWidget* parent, const QString& text);

// What to do with work that was neither saved nor submitted.
enum class UnsavedChoice { Save, Discard, Cancel };
UnsavedChoice unsavedChangesBox(QWidget* parent, const QString& text);

// The caption of every box.
QString messageCaption();

// For tests: answer instead of showing a modal box. The handler receives the
// text and returns the answer a confirmation gets (ignored for messages).
using MessageHandler = std::function<bool(const QString& text, bool isConfirmation)>;
void setMessageHandler(MessageHandler handler);
using UnsavedHandler = std::function<UnsavedChoice(const QString& text)>;
void setUnsavedHandler(UnsavedHandler handler);
// The details and the kind of the last box shown (details empty when it had none).
QString lastMessageDetails();
MessageKind lastMessageKind();

} // namespace ta::ui
