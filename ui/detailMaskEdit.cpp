#include "ui/detailMaskEdit.h"

#include "ui/Messages.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>

namespace ta::ui {

namespace {

constexpr QChar kBlank = u'_';

} // namespace

TMaskEdit::TMaskEdit(const QString& qtMask, QWidget* parent) : QLineEdit(parent)
{
    setInputMask(qtMask + QStringLiteral(";_"));
    for (const QChar c : qtMask)
        requiredPositions_ += (c == u'9') ? u'r' : u' ';
}

TMaskEdit* TMaskEdit::dateField(QWidget* parent)
{
    return new TMaskEdit(QStringLiteral("00-00-9999"), parent);
}

TMaskEdit* TMaskEdit::timeField(QWidget* parent)
{
    return new TMaskEdit(QStringLiteral("09:99:99"), parent);
}

QString TMaskEdit::invalidInputText()
{
    return QStringLiteral("Invalid input value.  Use escape key to abandon changes");
}

QString TMaskEdit::storedText() const
{
    QString text = displayText();
    for (QChar& c : text)
        if (c == kBlank)
            c = u' ';
    return text;
}

void TMaskEdit::setStoredText(const QString& text)
{
    // QLineEdit places a blank only where a digit is optional; a required
    // position is filled with a stand-in first and then emptied.
    QString placed = text.left(requiredPositions_.size());
    QList<int> emptyRequired;
    for (int i = 0; i < placed.size(); ++i) {
        if (placed[i] != u' ')
            continue;
        if (requiredPositions_[i] == u'r') {
            placed[i] = u'0';
            emptyRequired.append(i);
        } else {
            placed[i] = kBlank;
        }
    }
    setText(placed);
    for (int position : emptyRequired) {
        setSelection(position, 1);
        del();
    }
    deselect();
    setModified(false);
}

int TMaskEdit::firstIncompletePosition() const
{
    const QString shown = displayText();
    for (int i = 0; i < requiredPositions_.size() && i < shown.size(); ++i)
        if (requiredPositions_[i] == u'r' && !shown[i].isDigit())
            return i;
    return -1;
}

void TMaskEdit::focusInEvent(QFocusEvent* event)
{
    if (!inside_ && !refused_)
        textOnEntry_ = storedText();
    inside_ = true;
    QLineEdit::focusInEvent(event);
}

void TMaskEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // A window switch or a popup is not the user leaving the field.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason ||
        refusalShown_)
        return;
    inside_ = false;
    if (acceptsLeaving())
        refused_ = false;
}

bool TMaskEdit::acceptsLeaving()
{
    if (!isModified() || complete())
        return true;
    refuseExit();
    return false;
}

void TMaskEdit::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && (isModified() || refused_)) {
        abandonChanges();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TMaskEdit::abandonChanges()
{
    setStoredText(textOnEntry_);
    refused_ = false;
}

void TMaskEdit::refuseExit()
{
    refused_ = true;
    refusalShown_ = true;
    QApplication::beep();
    showMessageBox(this, invalidInputText());
    refusalShown_ = false;
    setFocus(Qt::OtherFocusReason);
    const int position = firstIncompletePosition();
    if (position >= 0)
        setCursorPosition(position);
}

} // namespace ta::ui
