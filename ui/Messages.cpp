#include "Messages.h"

#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

namespace ta::ui {

namespace {

MessageHandler& handler()
{
    static MessageHandler h;
    return h;
}

QString& details()
{
    static QString d;
    return d;
}

const QString kCaption = QStringLiteral(" ");
constexpr int kDetailsWidth = 560;

} // namespace

void setMessageHandler(MessageHandler h) { handler() = std::move(h); }

QString lastMessageDetails() { return details(); }

void showMessageBox(QWidget* parent, const QString& text, const QString& detailText)
{
    details() = detailText;
    if (handler()) {
        handler()(text, false);
        return;
    }
    QMessageBox box(QMessageBox::Information, kCaption, text, QMessageBox::Ok, parent);
    box.setDetailedText(detailText);
    // The box is as wide as its short text; the detail lines need more room.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(kDetailsWidth, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                      grid->rowCount(), 0, 1, grid->columnCount());
    box.exec();
}

void showMessageBox(QWidget* parent, const QString& text)
{
    details().clear();
    if (handler()) {
        handler()(text, false);
        return;
    }
    QMessageBox::information(parent, kCaption, text, QMessageBox::Ok);
}

bool confirmBox(QWidget* parent, const QString& text)
{
    if (handler())
        return handler()(text, true);
    return QMessageBox::question(parent, kCaption, text, QMessageBox::Ok | QMessageBox::Cancel) ==
           QMessageBox::Ok;
}

} // namespace ta::ui
