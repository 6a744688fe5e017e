#include "ui/EditClipboard.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>

namespace ta::ui {

QString firstLineOf(const QString& text)
{
    qsizetype end = 0;
    while (end < text.size() && text[end].unicode() >= 32)
        ++end;
    return text.left(end);
}

QAction* findMenuAction(const QMenu* menu, StandardEditAction which)
{
    const QString label = QCoreApplication::translate("QLineEdit", which.label);
    for (QAction* action : menu->actions()) {
        const QString name = action->objectName();
        if (name == QLatin1String(which.objectName) ||
            (name.isEmpty() && action->text().startsWith(label)))
            return action;
    }
    return nullptr;
}

EditClipboard::EditClipboard(QLineEdit* field, PasteRule rule)
    : QObject(field), field_(field), rule_(std::move(rule))
{
    field_->setAcceptDrops(false);
    field_->installEventFilter(this);
}

bool EditClipboard::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != field_)
        return false;
    switch (event->type()) {
    case QEvent::KeyPress:
        return handleKey(static_cast<QKeyEvent*>(event));
    case QEvent::ContextMenu:
        if (field_->contextMenuPolicy() != Qt::DefaultContextMenu)
            return false;
        showMenu(static_cast<QContextMenuEvent*>(event));
        return true;
    case QEvent::MouseButtonRelease:
        return handleMiddleClick(static_cast<QMouseEvent*>(event));
    default:
        return false;
    }
}

void EditClipboard::paste(QClipboard::Mode mode)
{
    if (!rule_.editable())
        return;
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const QString line = firstLineOf(clipboard ? clipboard->text(mode) : QString());
    QString kept = line;
    if (rule_.keeps)
        kept.removeIf([this](QChar c) { return !rule_.keeps(c); });
    if (kept.size() != line.size())
        refuse();
    // insert() replaces the selection and stops at the maximum length.
    field_->insert(kept);
}

bool EditClipboard::handleKey(QKeyEvent* event)
{
    const bool pasting = event->matches(QKeySequence::Paste);
    if (!pasting && !event->matches(QKeySequence::Cut))
        return false;
    if (!rule_.editable())
        refuse();
    else if (pasting)
        paste(QClipboard::Clipboard);
    else
        field_->cut();
    event->accept();
    return true;
}

void EditClipboard::showMenu(const QContextMenuEvent* event)
{
    QMenu* menu = field_->createStandardContextMenu();
    if (QAction* pasteAction = findMenuAction(menu, kPasteAction)) {
        QObject::disconnect(pasteAction, &QAction::triggered, nullptr, nullptr);
        connect(pasteAction, &QAction::triggered, this, [this] { paste(QClipboard::Clipboard); });
    }
    if (!rule_.editable()) {
        for (StandardEditAction which : {kCutAction, kPasteAction, kDeleteAction}) {
            if (QAction* action = findMenuAction(menu, which))
                action->setEnabled(false);
        }
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

bool EditClipboard::handleMiddleClick(QMouseEvent* event)
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (event->button() != Qt::MiddleButton || !clipboard || !clipboard->supportsSelection())
        return false;
    if (field_->rect().contains(event->position().toPoint())) {
        field_->deselect();
        paste(QClipboard::Selection);
    }
    event->accept();
    return true;
}

void EditClipboard::refuse() const
{
    if (rule_.refused)
        rule_.refused();
}

} // namespace ta::ui
