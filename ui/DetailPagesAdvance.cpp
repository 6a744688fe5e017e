// "Advance Setting" of a data port: answer and power-on options, the result
// codes, the TA's charge information and (RS232 only) auto-dialing.
#include "ui/DetailPages.h"

#include "profile/CodeTables.h"
#include "ui/Binding.h"
#include "ui/Cspin.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QStandardItemModel>

namespace ta::ui::pages {

namespace {

const QStringList kUncodedUsbRates = {QStringLiteral("300"), QStringLiteral("600"), QStringLiteral("1200"),
                                      QStringLiteral("2400"), QStringLiteral("4800")};

// The USB list shows the rates the TA has no code for, but they cannot be
// chosen: choosing one could store nothing the TA understands.
QComboBox* baudRateList(const QString& name, bool usb)
{
    QStringList items = usb ? kUncodedUsbRates : QStringList();
    for (const CodeItem& item : baudRateItems())
        items.append(QString::fromLatin1(item.name));
    QComboBox* list = comboBox(name, items);
    if (!usb)
        return list;
    auto* model = qobject_cast<QStandardItemModel*>(list->model());
    for (int i = 0; i < kUncodedUsbRates.size(); ++i)
        model->item(i)->setEnabled(false);
    list->setCurrentIndex(int(kUncodedUsbRates.size()));
    return list;
}

QStringList extResultList(bool usb)
{
    if (usb)
        return {QStringLiteral("no extended information (default)"), QStringLiteral("calling phone number"),
                QStringLiteral("user data"), QStringLiteral("calling phone number and user data")};
    return {QStringLiteral("no extended information (default)"), QStringLiteral("display calling phone number"),
            QStringLiteral("display user data"), QStringLiteral("display calling phone number and user data"),
            QStringLiteral("RVS-COM format")};
}

QString portName(const char* rs232Name, bool usb)
{
    const QString base = QString::fromLatin1(rs232Name);
    return usb ? binding::usbName(base) : base;
}

void addOptionsGroup(QWidget* pg, bool usb)
{
    auto n = [usb](const char* rs232Name) { return portName(rs232Name, usb); };
    QGridLayout* grid = gridOf(addGroup(pg, QString(), QStringLiteral("Advance options")));
    addLabelled(grid, 0, QStringLiteral("Auto Answer"),
                spinEdit(n("seAutoAnswer"), 2, QStringLiteral("rings, 0 disables")),
                QStringLiteral("(number of rings), 0 : Disable"));
    addLabelled(grid, 1, QStringLiteral("Wait for Conn"),
                spinEdit(n("seWaitForConn"), 60, QStringLiteral("seconds")),
                QStringLiteral("(second)"));
    addLabelled(grid, 2, QStringLiteral("Power on baud rate"), baudRateList(n("cbPOBaudRate"), usb));
    addLabelled(grid, 3, QStringLiteral("Power on attribute"),
                comboBox(n("cbPOAttrib"), {QStringLiteral("8 data bits, non parity (default)"),
                                           QStringLiteral("7 data bits, even parity"),
                                           QStringLiteral("7 data bits, odd parity")}));
    // The RS232 page's captions are the ones its users know, odd as they are.
    addLabelled(grid, 4, usb ? QStringLiteral("Result code format") : QStringLiteral("Extended result code"),
                comboBox(n("cbRltCodeFmt"), {QStringLiteral("basic result code (default)"),
                                             QStringLiteral("extended result code")}));
    addLabelled(grid, 5, usb ? QStringLiteral("Extended result code") : QStringLiteral("Ring result code"),
                comboBox(n("cbExtRltCode"), extResultList(usb)));
}

void addChargeGroup(QWidget* pg, bool usb)
{
    auto n = [usb](const char* rs232Name) { return portName(rs232Name, usb); };
    QGridLayout* grid = gridOf(addGroup(pg, QString(), QStringLiteral("Charge Information")));
    addLabelled(grid, 0, QStringLiteral("Last Call Charge Info."), readOnlyField(n("eCILast"), QStringLiteral("0")));
    grid->addWidget(checkBox(n("ckCIClrLast"), QStringLiteral("Clear last call charge info")), 1, 1, 1, 2);
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    grid->addWidget(line, 2, 0, 1, 4);
    addLabelled(grid, 3, QStringLiteral("Accumulate Charge Info."), readOnlyField(n("eCIAcc"), QStringLiteral("0")));
    grid->addWidget(checkBox(n("ckCIClrAcc"), QStringLiteral("Clear accumulate charge info")), 4, 1, 1, 2);
}

void addAutoDialGroup(QWidget* pg)
{
    QGridLayout* grid = gridOf(addGroup(pg, QStringLiteral("gbAdvanceVela"), QString()));
    addLabelled(grid, 0, QStringLiteral("Power On Auto-Dialing"),
                spinEdit(QStringLiteral("sePowerOnAssert"), 1, QStringLiteral("0 disables")),
                QStringLiteral(" 0 : Disable"));
    addLabelled(grid, 1, QStringLiteral("Maximum Retry Count to Redial"),
                spinEdit(QStringLiteral("seRedialCnt"), 2, QStringLiteral("retries, 0 disables")),
                QStringLiteral("0 : Disable"));
}

} // namespace

void buildAdvancePage(QStackedWidget* area, bool usb)
{
    QWidget* pg = addPage(area, usb ? 31 : 11);
    addOptionsGroup(pg, usb);
    addChargeGroup(pg, usb);
    if (!usb)
        addAutoDialGroup(pg);
}

} // namespace ta::ui::pages
