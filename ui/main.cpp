#include "ui/main.h"

#include "link/LocalChecks.h"
#include "link/port/NetworkAddress.h"
#include "link/port/PortList.h"
#include "link/Screen.h"
#include "profile/DefaultProfile.h"
#include "profile/ProfileFile.h"
#include "ui/Accessibility.h"
#include "ui/GestEdit.h"
#include "ui/Messages.h"
#include "ui/ScreenFit.h"
#include "ui/RecentPorts.h"
#include "ui/Switches.h"
#include "ui/progress.h"
#include "ta/Version.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace ta::ui {

namespace {

template <typename W>
W* named(W* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QRadioButton* radio(const char* name, const QString& caption)
{
    return named(new QRadioButton(caption), name);
}

QPushButton* button(const char* name, const QString& caption)
{
    auto* b = named(new QPushButton(caption), name);
    b->setFixedSize(75, 25);
    return b;
}

TFilterAlignEdit* remoteTelField()
{
    auto* field = named(new TFilterAlignEdit, "eRemoteTel");
    field->setValidChars(QStringLiteral("[0,1,2,3,4,5,6,7,8,9,-,*,#, ,(,),[,']']"));
    field->setMaxLength(32);
    field->setRequiredField(false);
    return field;
}

QWidget* page(const char* name) { return named(new QWidget, name); }

// A port plugged in after the start shows up the next time the list opens.
// Enter in the typed port is the wizard's Next>, as everywhere on the page.
class PortComboBox : public QComboBox {
public:
    explicit PortComboBox(std::function<void()> beforePopup) : beforePopup_(std::move(beforePopup)) {}
    void showPopup() override
    {
        beforePopup_();
        QComboBox::showPopup();
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            event->ignore();
            return;
        }
        QComboBox::keyPressEvent(event);
    }

private:
    std::function<void()> beforePopup_;
};

const char* const kSourceCaptions[] = {"&Read from file", "&Query from TA", "&Default Settings"};

} // namespace

// The version is the project's, as tautil --version prints it.
QString mainCaption()
{
    return QStringLiteral("Brimo Vela.Net Davo ISDN TA Utility") + QStringLiteral(" Ver ") +
           QString::fromLatin1(kProgramVersion);
}

// No title-bar buttons: the wizard is left only through Next or Cancel.
TfMain::TfMain(ta::link::AppContext& ctx, const std::vector<std::string>& arguments, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      pcMain(named(new QStackedWidget, "pcMain")),
      PG0(page("PG0")),
      PG2(page("PG2")),
      rgTASel(named(new QGroupBox(QStringLiteral("TA selection")), "rgTASel")),
      rbLocalTA(radio("rbLocalTA", QStringLiteral("Local TA"))),
      rbRemoteTA(radio("rbRemoteTA", QStringLiteral("Remote TA"))),
      lbRemoteTel(named(new QLabel(QStringLiteral("Remote TEL:")), "lbRemoteTel")),
      eRemoteTel(remoteTelField()),
      lbPort(named(new QLabel(QStringLiteral("&Port:")), "lbPort")),
      cbPort(named(new PortComboBox([this] { refreshPorts(); }), "cbPort")),
      rgPrfSrc(named(new QGroupBox(QStringLiteral("Profile Loading")), "rgPrfSrc")),
      profileSources(new QButtonGroup(this)),
      btnPrev(button("btnPrev", QStringLiteral("<Prev"))),
      btnNext(button("btnNext", QStringLiteral("Next>"))),
      btnCancel(button("btnCancel", QStringLiteral("Cancel"))),
      ctx_(ctx)
{
    setObjectName(QStringLiteral("fMain"));
    installAccessibility();
    exposeAsDialog(this);
    QFont bold(QStringLiteral("Sans Serif"), 8, QFont::Bold);
    bold.setStyleHint(QFont::SansSerif);
    setFont(bold);
    buildLayout();
    FormCreate(arguments);
    connectControls();
}

void TfMain::FormCreate(const std::vector<std::string>& arguments)
{
    ctx_.switches = readSwitches(arguments);
    pcMain->setCurrentWidget(PG0);
    ctx_.taVariant = ta::link::variantFromCountryOption(ctx_.switches);
    ctx_.noPortPrefix = false;
    ctx_.chosenPort.clear();
    refreshPorts();
    setWindowTitle(mainCaption());
}

void TfMain::buildLayout()
{
    auto* selection = new QGridLayout(rgTASel);
    selection->addWidget(rbLocalTA, 0, 0, 1, 2);
    selection->addWidget(rbRemoteTA, 1, 0, 1, 2);
    selection->addWidget(lbRemoteTel, 2, 0);
    selection->addWidget(eRemoteTel, 2, 1);
    selection->addWidget(lbPort, 3, 0);
    selection->addWidget(cbPort, 3, 1);
    selection->setColumnMinimumWidth(1, 230);
    lbRemoteTel->setBuddy(eRemoteTel);
    lbPort->setBuddy(cbPort);
    cbPort->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbPort->setMinimumContentsLength(48);
    // A port may also be typed: a device path or a TA behind a console server.
    cbPort->setEditable(true);
    cbPort->setInsertPolicy(QComboBox::NoInsert);
    cbPort->setToolTip(QStringLiteral("Automatic, a serial port, or a network port: "
                                      "rfc2217://HOST:PORT or tcp://HOST:PORT, with +tls after either "
                                      "(the checks from TA_TLS_CA, TA_TLS_PIN, TA_TLS_CERT, TA_TLS_KEY)"));
    // A screen reader follows the focus into the typed text: both say "Port".
    for (QWidget* port : {static_cast<QWidget*>(cbPort), static_cast<QWidget*>(cbPort->lineEdit())})
        port->setAccessibleName(QStringLiteral("Port"));
    auto* taChoice = new QButtonGroup(this);
    taChoice->addButton(rbLocalTA);
    taChoice->addButton(rbRemoteTA);
    rbLocalTA->setChecked(true);
    tabLandsOnChosen(taChoice);
    remoteTelEnabled(false);

    auto* sources = new QVBoxLayout(rgPrfSrc);
    for (int i = 0; i < 3; ++i) {
        auto* item = new QRadioButton(QString::fromLatin1(kSourceCaptions[i]));
        item->setObjectName(QStringLiteral("rgPrfSrcItem%1").arg(i));
        profileSources->addButton(item, i);
        sources->addWidget(item);
    }
    setProfileSource(psQueryTa);
    tabLandsOnChosen(profileSources);

    for (auto [pg, group] : {std::pair{PG0, rgTASel}, std::pair{PG2, rgPrfSrc}}) {
        auto* layout = new QVBoxLayout(pg);
        layout->setContentsMargins(40, 40, 40, 20);
        group->setMinimumWidth(380);
        layout->addWidget(group, 0, Qt::AlignLeft);
        layout->addStretch();
        pcMain->addWidget(pg);
    }
    // The port choice follows to the second page (see showProfilePage).
    auto* portRow = named(new QWidget, "portRow");
    auto* portLine = new QHBoxLayout(portRow);
    portLine->setContentsMargins(0, 0, 0, 0);
    static_cast<QVBoxLayout*>(PG2->layout())->insertWidget(1, portRow, 0, Qt::AlignLeft);

    auto* line = new QFrame;
    line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnPrev);
    buttons->addWidget(btnNext);
    buttons->addSpacing(12);
    buttons->addWidget(btnCancel);
    btnPrev->setEnabled(false);
    // Enter on a focused button presses it; anywhere else it means Next>.
    for (QPushButton* b : {btnPrev, btnNext, btnCancel})
        b->setAutoDefault(true);
    btnNext->setDefault(true);

    // On a small screen the pages scroll; the buttons stay in sight.
    auto* pages = new QScrollArea;
    pages->setFocusPolicy(Qt::NoFocus);
    pages->setFrameShape(QFrame::NoFrame);
    pages->setWidgetResizable(true);
    pages->setWidget(pcMain);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(pages, 1);
    outer->addWidget(line);
    outer->addLayout(buttons);
    setFixedSize(712, 565);
    keepOnScreen(this, Placement::Centred);
}

void TfMain::connectControls()
{
    connect(rbLocalTA, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            rbLocalTAClick();
    });
    connect(rbRemoteTA, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            rbRemoteTAClick();
    });
    connect(eRemoteTel, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (rbRemoteTA->isChecked())
            emit remoteChosen(text);
    });
    connect(cbPort, &QComboBox::currentIndexChanged, this, [this] { ctx_.chosenPort = chosenPort(); });
    connect(cbPort, &QComboBox::editTextChanged, this, [this] { ctx_.chosenPort = chosenPort(); });
    connect(btnNext, &QPushButton::clicked, this, &TfMain::btnNextClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfMain::btnCancelClick);
}

void TfMain::remoteTelEnabled(bool on)
{
    lbRemoteTel->setEnabled(on);
    eRemoteTel->setEnabled(on);
}

void TfMain::rbLocalTAClick()
{
    remoteTelEnabled(false);
    emit localChosen();
}

void TfMain::rbRemoteTAClick()
{
    remoteTelEnabled(true);
    emit remoteChosen(eRemoteTel->text());
}

// Each item carries the path that is opened; a USB port is kept by its
// by-id name, which stays the same when the TA reconnects after a restart.
// The network ports used before follow the machine's own. A typed port
// stays as typed.
void TfMain::refreshPorts()
{
    const bool typed = cbPort->findText(cbPort->currentText()) < 0;
    const QString kept = QFile::decodeName(QByteArray::fromStdString(chosenPort()));
    const QSignalBlocker quiet(cbPort);
    cbPort->clear();
    cbPort->addItem(QStringLiteral("Automatic"), QString());
    const auto ports = ta::link::describedPortCandidates();
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const auto& port = ports[i];
        const QString number = i < std::size_t(ta::link::kPortCandidates) ? QStringLiteral("COM%1  ").arg(i + 1) : QString();
        const std::string& opened = port.byIdPath.empty() ? port.path : port.byIdPath;
        cbPort->addItem(number + QString::fromLocal8Bit(port.label()), QString::fromLocal8Bit(opened));
        cbPort->setItemData(cbPort->count() - 1, QString::fromLocal8Bit(opened), Qt::ToolTipRole);
    }
    for (const QString& recent : recentNetworkPorts()) {
        if (cbPort->findData(recent) < 0)
            cbPort->addItem(QString::fromLocal8Bit(ta::link::describePort(recent.toStdString()).label()), recent);
    }
    const int index = cbPort->findData(kept);
    cbPort->setCurrentIndex(std::max(0, index));
    if (index < 0 && typed && !kept.isEmpty())
        cbPort->setEditText(kept);
    ctx_.chosenPort = chosenPort();
}

// The item whose caption the field shows, or what was typed into it.
std::string TfMain::chosenPort() const
{
    const QString text = cbPort->currentText().trimmed();
    const int index = cbPort->findText(text);
    return QFile::encodeName(index >= 0 ? cbPort->itemData(index).toString() : text).toStdString();
}

bool TfMain::onProfilePage() const { return pcMain->currentWidget() == PG2; }

// The focus follows to the new page, so the keyboard can choose the source.
// The port choice, the same list, comes along: a TA not found on the port
// chosen can be looked for on another one without going back.
void TfMain::showProfilePage()
{
    if (auto* portRow = PG2->findChild<QWidget*>(QStringLiteral("portRow")); portRow && !portRow->isAncestorOf(cbPort)) {
        portRow->layout()->addWidget(lbPort);
        portRow->layout()->addWidget(cbPort);
        setTabOrder(profileSources->button(psDefaults), cbPort); // Tab goes on from the source to the port
    }
    pcMain->setCurrentWidget(PG2);
    QAbstractButton* chosen = profileSources->checkedButton();
    (chosen ? chosen : profileSources->button(psReadFile))->setFocus(Qt::TabFocusReason);
}

int TfMain::profileSource() const { return profileSources->checkedId(); }

void TfMain::setProfileSource(int index)
{
    if (QAbstractButton* item = profileSources->button(index)) {
        item->setChecked(true);
        return;
    }
    // An exclusive group refuses to uncheck its last button.
    profileSources->setExclusive(false);
    for (QAbstractButton* item : profileSources->buttons())
        item->setChecked(false);
    profileSources->setExclusive(true);
}

void TfMain::btnNextClick()
{
    // A number without a digit (blanks or brackets only) would dial nothing:
    // it counts as empty, checked as tactl checks --remote, before any port.
    if (!onProfilePage() && rbRemoteTA->isChecked() &&
        !ta::link::checkDialNumber(eRemoteTel->text().toLatin1().toStdString())) {
        eRemoteTel->setFocus(Qt::OtherFocusReason);
        return;
    }
    // On either page: after a TA was not found the port is chosen again on
    // the second one.
    if (ta::link::isNetworkPortName(ctx_.chosenPort))
        rememberNetworkPort(QString::fromStdString(ctx_.chosenPort));
    if (!onProfilePage()) {
        showProfilePage();
        return;
    }
    switch (profileSource()) {
    case psReadFile:
        loadFromFile();
        break;
    case psQueryTa:
        dialogs_.setCurrentFile(QString());
        emit queryRequested();
        break;
    case psDefaults:
        loadDefaults();
        break;
    default:
        break;
    }
}

// A rejected file leaves the profile as it was; the user is told why rather
// than left wondering why Next did nothing.
void TfMain::loadFromFile()
{
    const QString path = dialogs_.chooseOpen(this);
    if (path.isEmpty())
        return;
    openProfile(QFile::encodeName(path).toStdString());
}

void TfMain::openProfile(const std::string& fileName)
{
    std::size_t trailing = 0;
    if (const auto loaded = ta::loadProfileFile(fileName, ctx_.workingProfile, &trailing); !loaded) {
        showMessageBox(this, QString::fromLocal8Bit(loaded.error()));
        return;
    }
    if (trailing > 0)
        showMessageBox(this, QString::fromLocal8Bit(ta::trailingBytesWarning(fileName, trailing)),
                       MessageKind::Information);
    dialogs_.setCurrentFile(QFile::decodeName(QByteArray::fromStdString(fileName)));
    handOver();
    // Over the editor, which the hand-over brought up in the wizard's place.
    QWidget* owner = QApplication::activeWindow();
    warnOfRuleBreaks(owner ? owner : this, dialogs_.currentFile(), ctx_.workingProfile);
}

void TfMain::loadDefaults()
{
    ta::buildDefaultProfile(ctx_.workingProfile, ctx_.switches.x25OnD, ctx_.switches.sysDateTime);
    dialogs_.setCurrentFile(QString());
    handOver();
}

void TfMain::handOver()
{
    if (!screen_)
        return;
    screen_->showProfile();
    screen_->enableEditor(true);
    screen_->presentEditor();
    screen_->hideWizard();
    screen_->setProgressCaption("Submit progress status");
}

// The program ends the orderly way: a call still up is hung up and the
// local TA restored before the screen terminates.
void TfMain::btnCancelClick() { emit endRequested(); }

// A close request (the window manager's, since the wizard has no close
// button) stands for Cancel: a user who closes it wants the program to end.
// The program itself never closes the wizard; it hides it.
void TfMain::closeEvent(QCloseEvent* event)
{
    event->ignore();
    btnCancelClick();
}

void TfMain::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        btnNext->click();
    else if (event->key() == Qt::Key_Escape)
        btnCancel->click();
    else
        QWidget::keyPressEvent(event);
}

} // namespace ta::ui
