#include "ui/detailMaskEdit.h"

#include "profile/FieldRules.h"
#include "ui/Messages.h"

#include <QApplication>
#include <QDate>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

#include <algorithm>
#include <utility>

namespace ta::ui {

namespace {

constexpr QChar kBlank = u'_';

struct Part {
    int position;
    int value; // -1: no digit
};

// The number in text[position, position + length), blanks left out.
Part partAt(const QString& text, int position, int length)
{
    int value = -1;
    for (const QChar c : QStringView(text).mid(position, length)) {
        if (c.isDigit())
            value = std::max(value, 0) * 10 + c.digitValue();
        else if (c != u' ')
            return {position, -1};
    }
    return {position, value};
}

bool within(const Part& part, int low, int high) { return part.value >= low && part.value <= high; }

// The field rules judge the value as it goes to the TA; the position only
// tells where the cursor goes.
int refusedPosition(const char* fieldName, const QString& stored, int (*impossiblePosition)(const QString&))
{
    const FieldInfo* field = findField(fieldName);
    if (!field || checkText(*field, zeroFilledParts(stored).toStdString()))
        return -1;
    return std::max(0, impossiblePosition(stored));
}

int refusedDatePosition(const QString& stored) { return refusedPosition("sysDate", stored, impossibleDatePosition); }
int refusedTimePosition(const QString& stored) { return refusedPosition("sysTime", stored, impossibleTimePosition); }

} // namespace

int impossibleDatePosition(const QString& date)
{
    const Part day = partAt(date, 0, 2), month = partAt(date, 3, 2), year = partAt(date, 6, 4);
    const bool monthOk = within(month, 1, 12);
    const bool yearOk = year.value >= 1;
    // A day is judged by its month only when the month and year can be.
    const int lastDay = monthOk && yearOk ? QDate(year.value, month.value, 1).daysInMonth() : 31;
    for (const auto& [part, ok] : {std::pair{day, within(day, 1, lastDay)}, {month, monthOk}, {year, yearOk}})
        if (!ok)
            return part.position;
    return -1;
}

int impossibleTimePosition(const QString& time)
{
    const std::pair<Part, int> parts[] = {{partAt(time, 0, 2), 23}, {partAt(time, 3, 2), 59}, {partAt(time, 6, 2), 59}};
    for (const auto& [part, last] : parts)
        if (!within(part, 0, last))
            return part.position;
    return -1;
}

QString zeroFilledParts(const QString& stored)
{
    QString filled;
    QString part;
    const auto takePart = [&] {
        QString digits = part;
        digits.remove(u' ');
        filled += digits.isEmpty() ? part : digits.rightJustified(part.size(), u'0');
        part.clear();
    };
    for (const QChar c : stored) {
        if (c.isDigit() || c == u' ') {
            part += c;
        } else {
            takePart();
            filled += c;
        }
    }
    takePart();
    return filled;
}

TMaskEdit::TMaskEdit(const QString& qtMask, QWidget* parent, ValueCheck check, const QString& format)
    : QLineEdit(parent), check_(check)
{
    setInputMask(qtMask + QStringLiteral(";_"));
    for (const QChar c : qtMask)
        requiredPositions_ += (c == u'9') ? u'r' : u' ';
    setPlaceholderText(format);
    setAccessibleDescription(format);
}

TMaskEdit* TMaskEdit::dateField(QWidget* parent)
{
    return new TMaskEdit(QStringLiteral("00-00-9999"), parent, refusedDatePosition, QStringLiteral("DD-MM-YYYY"));
}

TMaskEdit* TMaskEdit::timeField(QWidget* parent)
{
    return new TMaskEdit(QStringLiteral("09:99:99"), parent, refusedTimePosition, QStringLiteral("HH:MM:SS"));
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

bool TMaskEdit::acceptable() const { return complete() && !(check_ && check_(storedText()) >= 0); }

// Where the refusal puts the cursor: the first missing digit, else the first
// part that cannot be.
int TMaskEdit::firstRefusedPosition() const
{
    const int missing = firstIncompletePosition();
    if (missing >= 0 || !check_)
        return missing;
    return check_(storedText());
}

bool TMaskEdit::holdsNoDigit() const
{
    return std::none_of(displayText().cbegin(), displayText().cend(), [](QChar c) { return c.isDigit(); });
}

// The mask keeps its separators in the text, so the line edit never sees the
// field as empty and never shows the placeholder; without a digit (and
// without the cursor) the field shows its format instead.
void TMaskEdit::paintEvent(QPaintEvent* event)
{
    if (hasFocus() || placeholderText().isEmpty() || !holdsNoDigit()) {
        QLineEdit::paintEvent(event);
        return;
    }
    QPainter painter(this);
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);
    constexpr int horizontalMargin = 2; // QLineEdit's own
    const QRect text = style()->subElementRect(QStyle::SE_LineEditContents, &panel, this)
                           .marginsRemoved(textMargins())
                           .adjusted(horizontalMargin, 0, -horizontalMargin, 0);
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.drawText(text, int(Qt::AlignVCenter | alignment()), placeholderText());
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
    if (!isModified() || acceptable())
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
    const int position = firstRefusedPosition();
    if (position >= 0)
        setCursorPosition(position);
}

} // namespace ta::ui
