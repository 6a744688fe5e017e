#include "Messages.h"

#include <QMessageBox>

namespace ta::ui {

namespace {

MessageHandler& handler()
{
    static MessageHandler h;
    return h;
}

const QString kCaption = QStringLiteral(" ");

} // namespace

void setMessageHandler(MessageHandler h) { handler() = std::move(h); }

void showMessageBox(QWidget* parent, const QString& text)
{
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
