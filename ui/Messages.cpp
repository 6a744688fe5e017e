#include "Messages.h"

#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>

#include "profile/Printable.h"

namespace ta::ui {

namespace {

MessageHandler& handler()
{
    static MessageHandler h;
    return h;
}

UnsavedHandler& unsavedHandler()
{
    static UnsavedHandler h;
    return h;
}

struct LastBox {
    QString details;
    MessageKind kind = MessageKind::Information;
};

LastBox& last()
{
    static LastBox box;
    return box;
}

constexpr int kDetailsWidth = 560;

// A message may quote a file's name or a value read from a file: its control
// bytes are shown escaped, and nothing in it is taken for markup.
QString shownText(const QString& text)
{
    return QString::fromStdString(printableLines(text.toStdString()));
}

QMessageBox::Icon iconOf(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Information: return QMessageBox::Information;
    case MessageKind::Warning: return QMessageBox::Warning;
    case MessageKind::Error: return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

} // namespace

// One blank, as every box of the utility has always had; the icon and the
// text tell what a box is about.
QString messageCaption() { return QStringLiteral(" "); }

void setMessageHandler(MessageHandler h) { handler() = std::move(h); }

void setUnsavedHandler(UnsavedHandler h) { unsavedHandler() = std::move(h); }

QString lastMessageDetails() { return last().details; }

MessageKind lastMessageKind() { return last().kind; }

void showMessageBox(QWidget* parent, const QString& message, const QString& detailMessage, MessageKind kind)
{
    const QString text = shownText(message), detailText = shownText(detailMessage);
    last() = {detailText, kind};
    if (handler()) {
        handler()(text, false);
        return;
    }
    QMessageBox box(iconOf(kind), messageCaption(), text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.setDetailedText(detailText);
    // The box is as wide as its short text; the detail lines need more room.
    if (!detailText.isEmpty())
        if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
            grid->addItem(new QSpacerItem(kDetailsWidth, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                          grid->rowCount(), 0, 1, grid->columnCount());
    box.exec();
}

void showMessageBox(QWidget* parent, const QString& text, MessageKind kind)
{
    showMessageBox(parent, text, QString(), kind);
}

bool confirmBox(QWidget* parent, const QString& text)
{
    if (handler())
        return handler()(text, true);
    return QMessageBox::question(parent, messageCaption(), text, QMessageBox::Ok | QMessageBox::Cancel) ==
           QMessageBox::Ok;
}

UnsavedChoice unsavedChangesBox(QWidget* parent, const QString& text)
{
    if (unsavedHandler())
        return unsavedHandler()(text);
    QMessageBox box(QMessageBox::Warning, messageCaption(), text,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save: return UnsavedChoice::Save;
    case QMessageBox::Discard: return UnsavedChoice::Discard;
    default: return UnsavedChoice::Cancel;
    }
}

} // namespace ta::ui
