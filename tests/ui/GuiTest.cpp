// The real windows on the link, against the in-process simulated TA on
// virtual time: what the user sees of a query, an edit and a submit, of a
// call and of the debug log.
#include "ui/GuiScreen.h"

#include "link/TaLink.h"
#include "link/VirtualClock.h"
#include "tests/support/LinkProbe.h"
#include "tests/support/SimBackend.h"
#include "ui/GestEdit.h"
#include "ui/Messages.h"

#include <QAccessible>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace ta::ui {
namespace {

using testsupport::SimBackend;

const std::string COM1 = testsupport::FakeSerial::comName(1);
constexpr uint64_t kLimitMs = 300000;

struct GuiRig {
    explicit GuiRig(const std::vector<std::string>& arguments = {}) : windows(ctx, arguments)
    {
        setMessageHandler([this](const QString& text, bool) {
            messages << text;
            return true;
        });
        screen.setTerminateHandler([this] { ++terminations; });
        link = std::make_unique<link::TaLink>(ctx, clock, backend, screen);
        screen.connectLink(*link);
        windows.show();
    }
    ~GuiRig() { setMessageHandler(nullptr); }

    sim::SimTa& addTa(sim::SimTaOptions options = {})
    {
        sim::SimTa& ta = backend.addTa(COM1, options);
        ta.setValue("1%S", "0301234567");
        return ta;
    }
    // "Next>" on both pages with "&Query from TA" kept.
    void startQuery()
    {
        windows.fMain.btnNext->click();
        windows.fMain.btnNext->click();
    }
    bool runUntil(const std::function<bool()>& done) { return clock.runUntil(done, kLimitMs); }
    bool editorUp() const { return windows.fDetail.isVisible() && !windows.fProgress.isVisible(); }
    QToolButton* toolButton(const char* name) const
    {
        return windows.fDetail.findChild<QToolButton*>(QLatin1String(name));
    }
    QLineEdit* field(const char* name) const { return windows.fDetail.control<QLineEdit>(QLatin1String(name)); }

    link::VirtualClock clock;
    SimBackend backend{clock};
    link::AppContext ctx;
    GuiWindows windows;
    GuiScreen screen{windows};
    std::unique_ptr<link::TaLink> link;
    QStringList messages;
    int terminations = 0;
};

TEST(GuiSession, QueryEditAndSubmitReachTheTa)
{
    GuiRig rig;
    sim::SimTa& ta = rig.addTa();
    EXPECT_EQ(rig.windows.fProgress.windowTitle(), QStringLiteral("Querying current setting"));

    rig.startQuery();
    EXPECT_FALSE(rig.windows.fMain.isEnabled()); // while the TA is searched and queried
    ASSERT_TRUE(rig.runUntil([&] { return rig.editorUp(); })) << rig.messages.join('|').toStdString();
    EXPECT_FALSE(rig.windows.fMain.isVisible());
    EXPECT_EQ(rig.windows.fProgress.windowTitle(), QStringLiteral("Submit progress status"));
    ASSERT_NE(rig.field("eDPDN1"), nullptr);
    EXPECT_EQ(rig.field("eDPDN1")->text(), QStringLiteral("0301234567"));
    auto* connection = rig.windows.fDetail.findChild<QLabel*>(QStringLiteral("lbConnection"));
    EXPECT_EQ(connection->text(), QStringLiteral("QM7B2-HXN on ") + portShownAs(COM1)); // the status line

    rig.field("eDPDN1")->setText(QStringLiteral("0897654321"));
    ta.clearLog();
    rig.toolButton("tbSubmit")->click();
    EXPECT_FALSE(rig.windows.fDetail.isEnabled());
    EXPECT_TRUE(rig.windows.fProgress.isVisible());
    ASSERT_TRUE(rig.runUntil([&] { return rig.windows.fDetail.isEnabled(); }));
    EXPECT_FALSE(rig.windows.fProgress.isVisible());
    EXPECT_EQ(ta.value("1%S"), "0897654321");
    EXPECT_EQ(rig.windows.fProgress.cgPrgs->GetPercentDone(), 100);
    EXPECT_EQ(link::LinkProbe::state(*rig.link), link::tsSubmitting); // the connection stays open
    EXPECT_TRUE(rig.messages.isEmpty()) << rig.messages.join('|').toStdString();
    rig.backend.port(COM1).unplug();
    rig.clock.advance(200);
    EXPECT_EQ(connection->text(), QStringLiteral("Not connected"));

    rig.toolButton("tbExit")->click();
    EXPECT_EQ(rig.terminations, 1);
}

// "Verify after submit" (off at first) reads the TA back after the write and
// tells what it kept of its own; the editor goes on showing what was sent.
TEST(GuiSession, VerifyAfterSubmitTellsWhatTheTaDidNotTake)
{
    GuiRig rig;
    sim::SimTaOptions options;
    options.keptKey = "%S";
    sim::SimTa& ta = rig.addTa(options);
    rig.startQuery();
    ASSERT_TRUE(rig.runUntil([&] { return rig.editorUp(); }));
    QCheckBox* verify = rig.windows.fDetail.verifyAfterSubmit();
    EXPECT_FALSE(verify->isChecked());
    verify->setChecked(true);

    rig.field("eDPDN1")->setText(QStringLiteral("0897654321"));
    rig.toolButton("tbSubmit")->click();
    ASSERT_TRUE(rig.runUntil([&] { return !rig.messages.isEmpty(); }));
    EXPECT_EQ(rig.messages, QStringList{QStringLiteral("The TA did not take every value (name: sent -> TA has):\n\n"
                                                       "dataPort1.dn: 0897654321 -> 0301234567")});
    EXPECT_EQ(rig.field("eDPDN1")->text(), QStringLiteral("0897654321"));

    ta.options().keptKey.clear();
    rig.messages.clear();
    rig.toolButton("tbSubmit")->click();
    ASSERT_TRUE(rig.runUntil([&] { return !rig.messages.isEmpty(); }));
    EXPECT_EQ(rig.messages, QStringList{QStringLiteral("The TA took every value.")});
    EXPECT_EQ(ta.value("1%S"), "0897654321");
}

// A screen reader announces the wizard and the status windows as dialogs,
// not as nameless fillers, and the editor as the main window.
TEST(GuiSession, WindowsAreAnnouncedAsDialogsOrTheMainWindow)
{
    GuiRig rig;
    auto role = [](QWidget& window) { return QAccessible::queryAccessibleInterface(&window)->role(); };
    GuiWindows& w = rig.windows;
    for (QWidget* dialog : std::initializer_list<QWidget*>{&w.fMain, &w.fProgress, &w.fCRemote, &w.fRTick})
        EXPECT_EQ(role(*dialog), QAccessible::Dialog) << dialog->objectName().toStdString();
    EXPECT_EQ(role(w.fDetail), QAccessible::Window);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(&w.fMain)->text(QAccessible::Name), w.fMain.windowTitle());
}

TEST(GuiSession, UpgradeShowsTheTransferAndTheRebootThenWritesTheSettingsAgain)
{
    GuiRig rig;
    sim::SimTa& ta = rig.addTa();
    rig.startQuery();
    ASSERT_TRUE(rig.runUntil([&] { return rig.editorUp(); }));

    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("fw.bin"));
    QFile file(image);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(3000, 'x'));
    file.close();
    TfDetail::setUpgradeFileChooser([&] { return image; });
    rig.toolButton("tbUpgrade")->click();
    TfDetail::setUpgradeFileChooser(nullptr);

    ASSERT_TRUE(rig.runUntil([&] { return rig.windows.fRTick.isVisible(); }));
    EXPECT_EQ(rig.windows.fProgress.windowTitle(), QStringLiteral("Firmware upgrade progress status"));
    EXPECT_EQ(ta.downloadsCompleted(), 1);
    EXPECT_EQ(ta.receivedImage().size(), 3072u);
    EXPECT_EQ(rig.windows.fRTick.lTick->text(), QStringLiteral("30"));
    rig.clock.advance(5000);
    EXPECT_EQ(rig.windows.fRTick.lTick->text(), QStringLiteral("25"));

    // After the restart the editor's settings go to the TA again.
    ta.clearLog();
    const auto submitted = [&] {
        const auto& log = ta.commandLog();
        return std::any_of(log.begin(), log.end(),
                           [](const std::string& line) { return line.find("=0301234567") != std::string::npos; });
    };
    ASSERT_TRUE(rig.runUntil(submitted));
    EXPECT_FALSE(rig.windows.fRTick.isVisible());
    EXPECT_EQ(rig.windows.fProgress.windowTitle(), QStringLiteral("Query setting progress status"));
    ASSERT_TRUE(rig.runUntil([&] { return !rig.windows.fProgress.isVisible() && rig.windows.fDetail.isEnabled(); }));
    EXPECT_EQ(link::LinkProbe::state(*rig.link), link::tsSubmitting);
    EXPECT_EQ(rig.messages, QStringList{QStringLiteral("Upgrade firmware! Are you sure?")});
}

TEST(GuiSession, NoTaFoundIsToldAndTheWizardComesBack)
{
    GuiRig rig;
    rig.backend.port(COM1);
    rig.startQuery();
    ASSERT_TRUE(rig.runUntil([&] { return !rig.messages.isEmpty(); }));
    EXPECT_EQ(rig.messages, QStringList{QStringLiteral("Cannot find a TA to config!")});
    EXPECT_TRUE(rig.windows.fMain.isVisible());
    EXPECT_TRUE(rig.windows.fMain.isEnabled());
    EXPECT_TRUE(rig.windows.fMain.onProfilePage());
    EXPECT_FALSE(rig.windows.fDetail.isVisible());
}

TEST(GuiSession, NoFreePortIsToldWithTheReasonsAsDetails)
{
    GuiRig rig;
    rig.backend.port(COM1).refused = link::OpenFailure(link::PortProblem::InUse);
    rig.startQuery();
    EXPECT_EQ(rig.messages, QStringList{QStringLiteral("There is no free COM port!")});
    EXPECT_EQ(lastMessageDetails(), QStringLiteral("COM1: in use by another program\nCOM2 to COM8: no serial port\n"));
    EXPECT_TRUE(rig.windows.fMain.isEnabled());
}

// Cancel and the window manager's close of the connecting window both hang
// up the call attempt and put the local TA back as it was.
TEST(GuiSession, CancelOfTheConnectingWindowEndsTheCall)
{
    for (const bool byClose : {false, true}) {
        SCOPED_TRACE(byClose ? "window closed" : "Cancel");
        GuiRig rig;
        sim::SimTaOptions options;
        options.dial = sim::DialOutcome::Silent;
        sim::SimTa& local = rig.addTa(options);
        rig.windows.fMain.rbRemoteTA->click();
        rig.windows.fMain.eRemoteTel->setText(QStringLiteral("0401234"));
        rig.startQuery();
        ASSERT_TRUE(rig.runUntil([&] { return rig.windows.fCRemote.isVisible(); }));
        EXPECT_EQ(rig.backend.port(COM1).count("ATD0401234"), 1);
        rig.clock.advance(3500);
        EXPECT_EQ(rig.windows.fCRemote.lCalling->text(), QStringLiteral("..."));

        if (byClose)
            rig.windows.fCRemote.close();
        else
            rig.windows.fCRemote.btnCancel->click();
        EXPECT_FALSE(rig.windows.fCRemote.isVisible());
        ASSERT_TRUE(rig.runUntil([&] { return !rig.backend.port(COM1).isOpen(); }));
        EXPECT_EQ(link::LinkProbe::state(*rig.link), link::tsIdle);
        EXPECT_EQ(rig.backend.port(COM1).count("ATH\r"), 1);
        EXPECT_EQ(local.value("1C0"), "8") << "the call set-up is undone";
        EXPECT_EQ(local.value("%P5"), "0");
        EXPECT_TRUE(rig.windows.fMain.isEnabled());
        EXPECT_EQ(rig.terminations, 0);
        EXPECT_TRUE(rig.messages.isEmpty());
    }
}

// The debug switch shows the log, with the switches' line and every
// exchange; without it the log stays hidden and empty.
class GuiDebugLog : public ::testing::TestWithParam<bool> {};

TEST_P(GuiDebugLog, FollowsTheDebugSwitch)
{
    const bool on = GetParam();
    GuiRig rig(on ? std::vector<std::string>{"/b:1"} : std::vector<std::string>{});
    rig.addTa();
    rig.startQuery();
    ASSERT_TRUE(rig.runUntil([&] { return rig.editorUp(); }));
    const QStringList log = rig.windows.fDBG.lines();
    EXPECT_EQ(rig.windows.fDBG.isVisible(), on);
    EXPECT_EQ(log.isEmpty(), !on);
    EXPECT_EQ(log.value(0), on ? QStringLiteral(", X25_D: 0, USB Spt: 1, Force RCFG: 1") : QString());
    EXPECT_EQ(log.contains(QStringLiteral("(ATI0)")) && log.contains(QStringLiteral("OK")), on);
}

INSTANTIATE_TEST_SUITE_P(Switch, GuiDebugLog, ::testing::Bool());

// A maximum of 0 is how the progress window starts (the gauge keeps 100); a
// negative one must not end the program with the gauge's range error.
TEST(GuiScreenWindows, ProgressMaximumBelowTheMinimumIsIgnored)
{
    GuiRig rig;
    EXPECT_NO_THROW(rig.screen.setProgressMax(0));
    EXPECT_EQ(rig.windows.fProgress.cgPrgs->MaxValue(), 100);
    EXPECT_NO_THROW(rig.screen.setProgressMax(-3));
    EXPECT_EQ(rig.windows.fProgress.cgPrgs->MaxValue(), 100);
}

TEST(StatusWindows, NoneKeepsTheProgramRunningOnItsOwnAndTheLogEmptiesOnADoubleClick)
{
    GuiRig rig;
    for (QWidget* window : std::initializer_list<QWidget*>{&rig.windows.fProgress, &rig.windows.fCRemote,
                                                           &rig.windows.fRTick, &rig.windows.fDBG}) {
        EXPECT_FALSE(window->testAttribute(Qt::WA_QuitOnClose)) << window->objectName().toStdString();
    }
    TfDBG& log = rig.windows.fDBG;
    log.appendLine(QStringLiteral("(ATI0)"));
    log.appendLine(std::string_view("OK\xB0"));
    EXPECT_EQ(log.lines(), (QStringList{QStringLiteral("(ATI0)"), QString::fromUtf8("OK°")}));
    QTest::mouseDClick(log.meDBG->viewport(), Qt::LeftButton);
    EXPECT_TRUE(log.lines().isEmpty());
    log.appendLine(QStringLiteral("(ATH)"));
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("(ATH)")});
}

TEST(StatusWindows, DebugHeaderLineFollowsEachSwitch)
{
    link::Switches switches;
    switches.x25OnD = true;
    switches.usbSupport = false;
    switches.forceRemoteConfig = false;
    EXPECT_EQ(debugHeaderLine(switches), QStringLiteral(", X25_D: 1, USB Spt: 0, Force RCFG: 0"));
}

} // namespace
} // namespace ta::ui
