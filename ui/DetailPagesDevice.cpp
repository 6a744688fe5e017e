// The device-wide pages: the country page and the analog voice ports' pages.
#include "ui/DetailPages.h"

#include "profile/CodeTables.h"
#include "ui/GestEdit.h"
#include "ui/detailMaskEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QStackedWidget>

namespace ta::ui::pages {

namespace {

void buildCountryPage(QStackedWidget* area)
{
    QStringList countries;
    for (const CodeItem& item : countryCodeItems())
        countries.append(QString::fromLatin1(item.name));
    addSole(addGroup(addPage(area, 0), QString(), QStringLiteral("Country Selection Code")),
            comboBox(QStringLiteral("cbCountryCode"), countries));
}

// A "Port 1" / "Port 2" pair of lists in one group.
void addPortLists(QWidget* pg, const QString& caption, const QString& name1, const QString& name2,
                  const QStringList& items)
{
    QGridLayout* grid = gridOf(addGroup(pg, QString(), caption));
    addLabelled(grid, 0, QStringLiteral("Port 1"), comboBox(name1, items));
    addLabelled(grid, 1, QStringLiteral("Port 2"), comboBox(name2, items));
}

void buildLocalNumberPage(QStackedWidget* area)
{
    QWidget* pg = addPage(area, 12);
    QGridLayout* numbers = gridOf(addGroup(pg, QString(), QStringLiteral("Local Directory Number")));
    numbers->addWidget(label(QStringLiteral("Address")), 0, 1);
    numbers->addWidget(label(QStringLiteral("SubAddress")), 0, 2);
    for (int port = 1; port <= 2; ++port) {
        addPhoneRow(numbers, port, QStringLiteral("Port %1").arg(port),
                    numberEdit(QStringLiteral("eVP%1DN1").arg(port), 32),
                    numberEdit(QStringLiteral("eVP%1SDN1").arg(port), 20));
    }
    numbers->setColumnStretch(3, 1);
    addPortLists(pg, QStringLiteral("CLIP and CLIR selection"), QStringLiteral("cbV1ClipClir"),
                 QStringLiteral("cbV2ClipClir"), clipClirItems());
    addPortLists(pg, QStringLiteral("Device type on analog port"), QStringLiteral("cbVDevType1"),
                 QStringLiteral("cbVDevType2"),
                 {QStringLiteral("Telephone, G3 Fax or Modem"),
                  QStringLiteral("Telephone with Call Waiting caller ID device")});
    addSole(addGroup(pg, QString(), QStringLiteral("Port priority")),
            comboBox(QStringLiteral("cbVPriority"),
                     {QStringLiteral("Both ports are same priority"), QStringLiteral("Analog Port 1 is high priority"),
                      QStringLiteral("Analog Port 2 is high priority")}));
    addSole(addGroup(pg, QString(), QStringLiteral("Dialing method")),
            comboBox(QStringLiteral("cbVDialMethod"),
                     {QStringLiteral("OVERLAP sending"), QStringLiteral("EN-BLOC sending")}));
}

void buildScreenPages(QStackedWidget* area)
{
    QWidget* incoming = addPage(area, 13);
    QWidget* outgoing = addPage(area, 14);
    for (int port = 1; port <= 2; ++port) {
        const QString vp = QStringLiteral("VP%1").arg(port);
        QGridLayout* in = gridOf(
            addGroup(incoming, QString(), QStringLiteral("Port %1: phone list of incoming call screen").arg(port)));
        addPhoneRows(in, 0, 5, QLatin1Char('e') + vp + QStringLiteral("ISDN"),
                     QLatin1Char('e') + vp + QStringLiteral("ISSDN"));
        addModeRow(in, 6, QStringLiteral("cbV%1ISMode").arg(port), inScreenModeItems());
        QGridLayout* out = gridOf(
            addGroup(outgoing, QString(), QStringLiteral("Port %1: phone list of outgoing call screen").arg(port)));
        addPhoneRows(out, 0, 3, QLatin1Char('e') + vp + QStringLiteral("OSDN"));
        addModeRow(out, 4, QStringLiteral("cbV%1OSMode").arg(port), outScreenModeItems());
    }
}

void buildPreStoredPage(QStackedWidget* area)
{
    addPhoneRows(gridOf(addGroup(addPage(area, 16), QString(), QStringLiteral("Pre-stored phone list"))), 0, 5,
                 QStringLiteral("eVPPSDN"), QStringLiteral("eVPPSSDN"));
}

void buildSupplementaryPage(QStackedWidget* area)
{
    QWidget* pg = addPage(area, 17);
    QGridLayout* options = gridOf(addGroup(pg, QString(), QStringLiteral("Supplementary service options")));
    options->addWidget(checkBox(QStringLiteral("ckDisableCW1"), QStringLiteral("Disable PORT 1 call waiting")), 0, 0);
    options->addWidget(checkBox(QStringLiteral("ckDisableCW2"), QStringLiteral("Disable PORT 2 call waiting")), 1, 0);
    QGridLayout* dateTime = gridOf(addGroup(pg, QStringLiteral("gbSysDT"), QStringLiteral("Date/Time")));
    TMaskEdit* date = TMaskEdit::dateField();
    date->setObjectName(QStringLiteral("eSysDate"));
    date->setStoredText(QStringLiteral("03-01-2000"));
    TMaskEdit* time = TMaskEdit::timeField();
    time->setObjectName(QStringLiteral("eSysTime"));
    time->setStoredText(QStringLiteral("00:00:00"));
    addLabelled(dateTime, 0, QStringLiteral("System Date"), date);
    addLabelled(dateTime, 1, QStringLiteral("System Time"), time);
    dateTime->addWidget(checkBox(QStringLiteral("ckSendDT"), QStringLiteral("Send Date/Time for Caller ID")), 2, 0,
                        1, 3);
}

} // namespace

void buildDevicePages(QStackedWidget* area)
{
    buildCountryPage(area);
    buildLocalNumberPage(area);
    buildScreenPages(area);
    buildPreStoredPage(area);
    buildSupplementaryPage(area);
}

} // namespace ta::ui::pages
