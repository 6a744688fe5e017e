// The eight pages of a data port. The USB pages repeat the RS232 ones with
// "Usb" in every control name; the X.75 and auto-dialing groups belong to the
// RS232 port only, and the two ports' result-code lists differ.
#include "ui/DetailPages.h"

#include "profile/CodeTables.h"
#include "ui/Binding.h"
#include "ui/Cspin.h"
#include "ui/GestEdit.h"
#include "ui/detailRadioGroup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace ta::ui::pages {

namespace {

class PortPages {
public:
    PortPages(QStackedWidget* area, bool usb) : area_(area), usb_(usb) {}

    void build()
    {
        buildNumberPage();
        buildMultilinkPage();
        buildX25Page();
        buildSignalPage();
        buildIncomingPage();
        buildOutgoingPage();
        buildPreStoredPage();
        buildAdvancePage(area_, usb_);
    }

private:
    // The page number of the RS232 port's page; the USB page is 20 more.
    QWidget* page(int rs232Number) { return addPage(area_, usb_ ? rs232Number + 20 : rs232Number); }
    QString name(const char* rs232Name) const
    {
        const QString base = QString::fromLatin1(rs232Name);
        return usb_ ? binding::usbName(base) : base;
    }
    QGroupBox* group(QWidget* pg, const char* rs232Name, const QString& caption)
    {
        return addGroup(pg, rs232Name ? name(rs232Name) : QString(), caption);
    }
    void singleListGroup(QWidget* pg, const QString& caption, const char* control,
                         const QStringList& items)
    {
        addSole(group(pg, nullptr, caption), comboBox(name(control), items));
    }

    void buildNumberPage();
    void buildMultilinkPage();
    void buildX25Page();
    void buildSignalPage();
    void buildIncomingPage();
    void buildOutgoingPage();
    void buildPreStoredPage();

    QStackedWidget* area_;
    bool usb_;
};

void PortPages::buildNumberPage()
{
    QWidget* pg = page(2);
    QGridLayout* numbers = gridOf(group(pg, nullptr, QStringLiteral("Local Directory Number")));
    numbers->addWidget(label(QStringLiteral("Address")), 0, 0);
    numbers->addWidget(label(QStringLiteral("SubAddress")), 0, 1);
    TFilterAlignEdit* dn = numberEdit(name("eDPDN1"), 32);
    TFilterAlignEdit* subAddress = numberEdit(name("eDPSDN1"), 20);
    numbers->addWidget(dn, 1, 0);
    numbers->addWidget(subAddress, 1, 1);
    nameAfter(dn, QStringLiteral("Address"), numbers);
    nameAfter(subAddress, QStringLiteral("SubAddress"), numbers);
    numbers->setColumnStretch(2, 1);
    singleListGroup(pg, QStringLiteral("CLIP and CLIR selection"), "cbDClipClir", clipClirItems());

    auto* callType = new TRadioGroup(QStringLiteral("Call Type"), 2);
    callType->setObjectName(name("rgCallType"));
    QStringList items;
    for (const CodeItem& item : callTypeItems())
        items.append(QString::fromLatin1(item.name));
    callType->setItems(items);
    callType->setItemIndex(0);
    auto* column = static_cast<QVBoxLayout*>(pg->layout());
    column->insertWidget(column->count() - 1, callType);

    if (usb_)
        return;
    QGridLayout* x75 = gridOf(group(pg, "gbX75Setup", QStringLiteral("X.75 Setup")));
    addLabelled(x75, 0, QStringLiteral("Transmitting Frame Size"),
                spinEdit(QStringLiteral("seX75TxFrameSize"), 128, QStringLiteral("bytes")),
                QStringLiteral("(bytes)"));
}

void PortPages::buildMultilinkPage()
{
    QWidget* pg = page(3);
    auto* boxes = new QWidget;
    auto* boxColumn = new QVBoxLayout(boxes);
    boxColumn->setContentsMargins(0, 0, 0, 0);
    boxColumn->addWidget(checkBox(name("ckFixMP"), QStringLiteral("Enable Fixed MP (fixed 128K)")));
    boxColumn->addWidget(checkBox(name("ckChap"), QStringLiteral("Enable CHAP")));
    boxColumn->addWidget(checkBox(
        name("ckDropB"), QStringLiteral("Enable Call Bumping (dynamic bandwidth allocation for voice call)"),
        true));
    auto* column = static_cast<QVBoxLayout*>(pg->layout());
    column->insertWidget(column->count() - 1, boxes);

    addSole(group(pg, "gbMPMaxThroughput", QStringLiteral("Maximum throughput (1 or 2 B-channel)")),
            comboBox(name("cbMaxThroughput"),
                     {QStringLiteral("64 kbps (1 B-channel)"), QStringLiteral("128 kbps (2 B-channel)")}));
    QGridLayout* thresholds =
        gridOf(group(pg, "gbMPADThrehold", QStringLiteral("Threshold of data loading to ADD/DROP one channel")));
    const QString kbps = QStringLiteral("Kbps");
    addLabelled(thresholds, 0, QStringLiteral("ADD"), spinEdit(name("seAddThreshold"), 35, kbps),
                QStringLiteral("Kbps (0 - 64)"));
    addLabelled(thresholds, 1, QStringLiteral("DROP"), spinEdit(name("seDropThreshold"), 25, kbps),
                QStringLiteral("Kbps (0 - 64)"));
    QGridLayout* persist = gridOf(group(
        pg, "gbMPTimeToDrop", QStringLiteral("Persist time for monitoring threshold to add or drop one channel")));
    TCSpinEdit* persistTime = spinEdit(name("sePerTime"), 24, QStringLiteral("times 5 seconds"));
    persist->addWidget(persistTime, 0, 0);
    nameAfter(persistTime, QStringLiteral("times 5 seconds"), persist);
    persist->addWidget(label(QStringLiteral("* 5 sec")), 0, 1);
    persist->setColumnStretch(2, 1);
}

void PortPages::buildX25Page()
{
    QWidget* pg = page(5);
    addLabelled(gridOf(group(pg, nullptr, QStringLiteral("Self phone number for X.25"))), 0,
                QStringLiteral("Address"), numberEdit(name("eDPAodiDN"), 32));
    QGridLayout* grid = gridOf(group(pg, nullptr, QStringLiteral("X.25 parameters")));
    addLabelled(grid, 0, QStringLiteral("Fixed TEI for PVC"), spinEdit(name("seFixedTEI"), 0));
    addLabelled(grid, 1, QStringLiteral("LCGN"), spinEdit(name("seLCGN"), 0));
    addLabelled(grid, 2, QStringLiteral("Window Size"), spinEdit(name("seWinSize"), 2));
    addLabelled(grid, 3, QStringLiteral("LCN Range"), spinEdit(name("seLCNRange"), 7));
    addLabelled(grid, 4, QStringLiteral("LCN for PVC"), spinEdit(name("seLCN"), 0));
    grid->addWidget(checkBox(name("ckDBit"), QStringLiteral("Enable D bit")), 5, 0, 1, 2);
    addLabelled(grid, 6, QStringLiteral("Packet Size"),
                comboBox(name("cbPktSize"), {QStringLiteral("128 bytes (default)"), QStringLiteral("256 bytes")}));
    addLabelled(grid, 7, QStringLiteral("Reverse Charge"),
                comboBox(name("cbReverCharge"), {QStringLiteral("Reject (default)"), QStringLiteral("Accept")}));
}

void PortPages::buildSignalPage()
{
    QWidget* pg = page(7);
    singleListGroup(pg, QStringLiteral("Data Carrier Detect Control"), "cbDCD",
                    {QStringLiteral("Follow DTR signal"), QStringLiteral("ON only if in communication")});
    singleListGroup(pg, QStringLiteral("Data Terminal Ready Action"), "cbDTR",
                    {QStringLiteral("Ignore DTR status"),
                     QStringLiteral("OFF to ON, make a call , ON to OFF, clear the call (108/1)"),
                     QStringLiteral("ON to OFF, disconnect the call (108/2) ")});
    QStringList flow;
    for (const CodeItem& item : flowControlItems())
        flow.append(QString::fromLatin1(item.name));
    singleListGroup(pg, QStringLiteral("Flow Control Setting"), "cbFlowCtrl", flow);
    singleListGroup(pg, QStringLiteral("Data Set Ready"), "cbDSR",
                    {QStringLiteral("Follow DTR signal"), QStringLiteral("Follow DCD signal")});
}

void PortPages::buildIncomingPage()
{
    QGridLayout* grid = gridOf(group(page(8), nullptr, QStringLiteral("Phone list of incoming call screen")));
    addPhoneRows(grid, 0, 5, name("eDP1ISDN"), name("eDP1ISSDN"));
    addModeRow(grid, 6, name("cbD1ISMode"), inScreenModeItems());
}

void PortPages::buildOutgoingPage()
{
    QGridLayout* grid = gridOf(group(page(9), nullptr, QStringLiteral("Phone list of outgoing call screen")));
    addPhoneRows(grid, 0, 3, name("eDP1OSDN"));
    addModeRow(grid, 4, name("cbD1OSMode"), outScreenModeItems());
}

void PortPages::buildPreStoredPage()
{
    QGridLayout* grid = gridOf(group(page(10), nullptr, QStringLiteral("Pre-stored phone list")));
    // Row "0" gets the note under it, so the list starts one row lower after it.
    addPhoneRows(grid, 0, 1, name("eDPPSDN"), name("eDPPSSDN"));
    grid->addWidget(label(QStringLiteral("NO.0 for 108/1 also, refer to 'Data Terminal Ready Action'")), 2, 1, 1, 3);
    for (int i = 1; i < 5; ++i) {
        const QString number = QString::number(i + 1);
        addPhoneRow(grid, 2 + i, QString::number(i), numberEdit(name("eDPPSDN") + number, 32),
                    numberEdit(name("eDPPSSDN") + number, 20));
    }
}

} // namespace

void buildDataPortPages(QStackedWidget* area, bool usb) { PortPages(area, usb).build(); }

} // namespace ta::ui::pages
