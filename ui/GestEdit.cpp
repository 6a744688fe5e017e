#include "ui/GestEdit.h"

#include "ui/EditClipboard.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTimer>

namespace ta::ui {

namespace {

bool isControl(QChar c) { return c.unicode() < 32 || c.unicode() == 127; }

// Only a deliberate move away triggers the required-field warning; a
// window switch or a popup is no reason, and ignoring programmatic moves
// keeps two empty required fields from handing the focus back and forth.
bool leftByUser(Qt::FocusReason reason)
{
    return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
           reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason;
}

TFilterAlignEdit::WarningHandler& warningHandler()
{
    static TFilterAlignEdit::WarningHandler handler;
    return handler;
}

void showWarningBox(QWidget* field, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"), text, QMessageBox::Ok,
                    field->window());
    box.exec();
}

} // namespace

void CharSet::addElements(QStringView text)
{
    int low = 0;
    int high = 0;
    bool range = false;
    for (qsizetype i = 1; i < text.size(); ++i) {
        int current = text[i].unicode();
        if (current == ',' || current == ']') {
            addRange(low, range ? high : low);
            low = high = current = 0;
            range = false;
        } else if (current == '.') {
            range = true;
        } else if (current == '\'' && i + 1 < text.size()) {
            current = text[i + 1].unicode(); // still visited in its own turn
        }
        (range ? high : low) = current;
    }
}

void CharSet::addRange(int low, int high)
{
    // Code 0 cannot be typed; an empty element must not turn "accept all"
    // into "accept nothing".
    for (int c = std::max(low, 1); c <= std::min(high, 255); ++c)
        bits_.set(std::size_t(c));
}

bool enteredWithoutClick(const QFocusEvent* event)
{
    const Qt::FocusReason reason = event->reason();
    const bool byKeyOrProgram = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                                reason == Qt::ShortcutFocusReason || reason == Qt::OtherFocusReason;
    return byKeyOrProgram && !(QGuiApplication::mouseButtons() & Qt::LeftButton);
}

QString typedText(const QKeyEvent* event)
{
    // Some platforms report the plain letter for Ctrl+letter.
    if (event->modifiers() & Qt::ControlModifier)
        return QString();
    return event->text();
}

TFilterAlignEdit::TFilterAlignEdit(QWidget* parent) : QLineEdit(parent)
{
    // Pasted text is not filtered, only cut at its first line.
    new EditClipboard(this, PasteRule{.editable = [this] { return !isReadOnly(); },
                                      .keeps = nullptr,
                                      .refused = nullptr});
    setAlignment(taLeftJustify);
}

void TFilterAlignEdit::setValidChars(const QString& text)
{
    if (text == validChars_)
        return;
    if (text.startsWith(u'[') && text.endsWith(u']')) {
        validChars_ = text;
        charSet_.addElements(text);
    } else {
        validChars_ = QString::fromUtf8("Formato inválido") + text;
    }
}

void TFilterAlignEdit::setAlignment(TAlignment alignment)
{
    alignment_ = alignment;
    const Qt::Alignment horizontal = alignment == taRightJustify ? Qt::AlignRight
                                     : alignment == taCenter     ? Qt::AlignHCenter
                                                                 : Qt::AlignLeft;
    QLineEdit::setAlignment(horizontal | Qt::AlignVCenter);
}

bool TFilterAlignEdit::accepts(QChar c) const
{
    return charSet_.isEmpty() || c == u'\b' || charSet_.contains(c);
}

QString TFilterAlignEdit::requiredWarningText()
{
    return QString::fromUtf8(" ¡Es obligatorio rellenar este campo! ");
}

void TFilterAlignEdit::setWarningHandler(WarningHandler handler)
{
    warningHandler() = std::move(handler);
}

// Control characters are left to the standard processing: it inserts none
// of them, and the editing shortcuts keep working.
bool TFilterAlignEdit::refusesTyped(const QString& text) const
{
    for (QChar c : text) {
        if (!isControl(c) && !accepts(c))
            return true;
    }
    return false;
}

void TFilterAlignEdit::keyPressEvent(QKeyEvent* event)
{
    if (refusesTyped(typedText(event))) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TFilterAlignEdit::inputMethodEvent(QInputMethodEvent* event)
{
    const QString commit = event->commitString();
    QString kept;
    for (QChar c : commit) {
        if (accepts(c))
            kept += c;
    }
    if (kept == commit) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent filtered(event->preeditString(), event->attributes());
    filtered.setCommitString(kept, event->replacementStart(), event->replacementLength());
    QLineEdit::inputMethodEvent(&filtered);
    event->accept();
}

void TFilterAlignEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    if (autoSelect_ && enteredWithoutClick(event))
        selectAll();
}

void TFilterAlignEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // Queued: a modal box inside the focus change would run before the new
    // focus widget has been told it has the focus.
    if (requiredField_ && text().isEmpty() && leftByUser(event->reason()))
        QTimer::singleShot(0, this, &TFilterAlignEdit::insistIfEmpty);
}

void TFilterAlignEdit::insistIfEmpty()
{
    if (!requiredField_ || !text().isEmpty() || !isVisible() || !isEnabled())
        return;
    if (warningHandler())
        warningHandler()(this, requiredWarningText());
    else
        showWarningBox(this, requiredWarningText());
    setFocus(Qt::OtherFocusReason);
}

} // namespace ta::ui
