#include "ui/Cspin.h"

#include "ui/EditClipboard.h"
#include "ui/GestEdit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QStyle>

#include <climits>

namespace ta::ui {

namespace {

constexpr int kButtonWidth = 16;

std::function<void()>& beepHandler()
{
    static std::function<void()> handler;
    return handler;
}

void beep()
{
    if (beepHandler())
        beepHandler()();
    else
        QApplication::beep();
}

bool isControl(QChar c) { return c.unicode() < 32 || c.unicode() == 127; }

bool isDecimalSeparator(QChar c)
{
    const QString separator = QLocale().decimalPoint();
    return separator.size() == 1 && c == separator[0];
}

} // namespace

std::optional<int> parseInt32(QStringView text)
{
    qsizetype i = 0;
    const bool negative = !text.isEmpty() && text[0] == u'-';
    if (!text.isEmpty() && (text[0] == u'-' || text[0] == u'+'))
        i = 1;
    if (i == text.size())
        return std::nullopt;
    long long magnitude = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        magnitude = magnitude * 10 + (c - u'0');
        if (magnitude > 2147483648LL)
            return std::nullopt;
    }
    const long long value = negative ? -magnitude : magnitude;
    if (value > INT_MAX)
        return std::nullopt;
    return int(value);
}

TTimerSpeedButton::TTimerSpeedButton(QWidget* parent) : QToolButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAutoRepeat(true);
    setAutoRepeatDelay(kInitRepeatPause);
    setAutoRepeatInterval(kRepeatPause);
}

TCSpinButton::TCSpinButton(QWidget* parent)
    : QWidget(parent), up_(new TTimerSpeedButton(this)), down_(new TTimerSpeedButton(this))
{
    up_->setObjectName(QStringLiteral("UpButton"));
    down_->setObjectName(QStringLiteral("DownButton"));
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    up_->setAccessibleName(QStringLiteral("Up"));
    down_->setAccessibleName(QStringLiteral("Down"));
    connect(up_, &QAbstractButton::pressed, this, &TCSpinButton::focusTheControl);
    connect(down_, &QAbstractButton::pressed, this, &TCSpinButton::focusTheControl);
    connect(up_, &QAbstractButton::clicked, this, &TCSpinButton::upClick);
    connect(down_, &QAbstractButton::clicked, this, &TCSpinButton::downClick);
}

void TCSpinButton::resizeEvent(QResizeEvent*)
{
    const int upHeight = height() / 2;
    up_->setGeometry(0, 0, width(), upHeight);
    down_->setGeometry(0, upHeight, width(), height() - upHeight);
}

void TCSpinButton::focusTheControl()
{
    if (focusControl_ && focusControl_->isEnabled() && focusControl_->isVisible() &&
        focusControl_->focusPolicy() != Qt::NoFocus && !focusControl_->hasFocus())
        focusControl_->setFocus(Qt::OtherFocusReason);
}

TCSpinEdit::TCSpinEdit(QWidget* parent) : QLineEdit(parent), button_(new TCSpinButton(this))
{
    button_->setObjectName(QStringLiteral("Button"));
    button_->setFocusControl(this);
    connect(button_, &TCSpinButton::upClick, this, &TCSpinEdit::UpClick);
    connect(button_, &TCSpinButton::downClick, this, &TCSpinEdit::DownClick);
    connect(this, &QLineEdit::textEdited, this, [this] { storedShown_ = false; });
    new EditClipboard(this, PasteRule{.editable = [this] { return textEditable(); },
                                      .keeps = [this](QChar c) { return keepsPasted(c); },
                                      .refused = beep});
    setText(QStringLiteral("0"));
    placeButton();
}

int TCSpinEdit::GetValue()
{
    if (const std::optional<int> value = parseInt32(text()))
        return *value;
    setText(QString::number(minValue_));
    return minValue_;
}

int TCSpinEdit::CheckValue(long long value) const
{
    if (maxValue_ == minValue_)
        return int(std::clamp<long long>(value, INT_MIN, INT_MAX));
    if (value < minValue_)
        return minValue_;
    if (value > maxValue_)
        return maxValue_;
    return int(value);
}

void TCSpinEdit::SetValue(long long value)
{
    setText(QString::number(CheckValue(value)));
    storedShown_ = false;
}

void TCSpinEdit::showStored(long long value)
{
    setText(QString::number(value));
    storedShown_ = true;
}

void TCSpinEdit::UpClick()
{
    if (isReadOnly())
        beep();
    else
        SetValue(static_cast<long long>(GetValue()) + increment_);
}

void TCSpinEdit::DownClick()
{
    if (isReadOnly())
        beep();
    else
        SetValue(static_cast<long long>(GetValue()) - increment_);
}

bool TCSpinEdit::isValidChar(QChar c) const
{
    const char16_t u = c.unicode();
    const bool control = isControl(c) && u != u'\r';
    const bool valid = (u >= u'0' && u <= u'9') || u == u'+' || u == u'-' ||
                       isDecimalSeparator(c) || control;
    // With the editor off the buttons still step, but nothing is typed.
    const bool editsText = !control || u == u'\b' || u == 127;
    return valid && (editorEnabled_ || !editsText);
}

bool TCSpinEdit::keepsPasted(QChar c) const { return !isControl(c) && isValidChar(c); }

QString TCSpinEdit::filtered(const QString& text) const
{
    QString kept = text;
    kept.removeIf([this](QChar c) { return !keepsPasted(c); });
    return kept;
}

void TCSpinEdit::setBeepHandler(std::function<void()> handler)
{
    beepHandler() = std::move(handler);
}

void TCSpinEdit::keyPressEvent(QKeyEvent* event)
{
    const bool arrow = event->key() == Qt::Key_Up || event->key() == Qt::Key_Down;
    if (event->key() == Qt::Key_Up)
        UpClick();
    else if (event->key() == Qt::Key_Down)
        DownClick();
    for (QChar c : typedText(event)) {
        if (!isValidChar(c)) {
            beep();
            event->accept();
            return;
        }
    }
    if (event->key() == Qt::Key_Delete && !textEditable()) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
    if (arrow)
        event->accept();
}

void TCSpinEdit::inputMethodEvent(QInputMethodEvent* event)
{
    const QString commit = event->commitString();
    const QString kept = filtered(commit);
    if (kept == commit) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    beep();
    QInputMethodEvent reduced(event->preeditString(), event->attributes());
    reduced.setCommitString(kept, event->replacementStart(), event->replacementLength());
    QLineEdit::inputMethodEvent(&reduced);
    event->accept();
}

void TCSpinEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    if (enteredWithoutClick(event))
        selectAll();
}

void TCSpinEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (event->reason() == Qt::PopupFocusReason || storedShown_)
        return;
    const int value = GetValue();
    if (CheckValue(value) != value)
        SetValue(value);
}

void TCSpinEdit::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    placeButton();
}

void TCSpinEdit::placeButton()
{
    const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    button_->setGeometry(width() - kButtonWidth - frame, frame, kButtonWidth,
                         height() - 2 * frame);
    setTextMargins(0, 0, kButtonWidth, 0);
}

} // namespace ta::ui
