// The real windows on the link, against the in-process simulated TA on
// virtual time: what the user sees of a query, an edit and a submit, of a
// call and of the debug log.
#include "ui/GuiScreen.h"

#include "link/TaLink.h"
#include "link/VirtualClock.h"
#include "tests/support/LinkProbe.h"
#include "tests/support/Processes.h"
#include "tests/support/SimBackend.h"
#include "tests/ui/support/UiTestSupport.h"
#include "ui/Cspin.h"
#include "ui/GestEdit.h"
#include "profile/ProfileFile.h"
#include "ui/Messages.h"

#include <QAccessible>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QComboBox>
#include <QPushButton>
#include <QStatusBar>
#include <QRadioButton>
#include <QDir>
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
    // "Next>" on both pages with "&Default Settings" chosen.
    void startWithDefaults()
    {
        windows.fMain.btnNext->click();
        windows.fMain.setProfileSource(TfMain::psDefaults);
        windows.fMain.btnNext->click();
    }
    bool runUntil(const std::function<bool()>& done) { return clock.runUntil(done, kLimitMs); }
    QString statusText() const { return windows.fDetail.statusBar()->currentMessage(); }
    // "Upgrade" with a firmware file of that many bytes, confirmed.
    void upgradeWith(const QString& image, int size)
    {
        QFile file(image);
        if (file.open(QIODevice::WriteOnly))
            file.write(QByteArray(size, 'x'));
        file.close();
        TfDetail::setUpgradeFileChooser([&] { return image; });
        toolButton("tbUpgrade")->click();
        TfDetail::setUpgradeFileChooser(nullptr);
    }
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
    EXPECT_EQ(rig.statusText(), QStringLiteral("110 settings read from QM7B2-HXN on ") + portShownAs(COM1));

    rig.field("eDPDN1")->setText(QStringLiteral("0897654321"));
    ta.clearLog();
    rig.toolButton("tbSubmit")->click();
    EXPECT_FALSE(rig.windows.fDetail.isEnabled());
    EXPECT_TRUE(rig.windows.fProgress.isVisible());
    ASSERT_TRUE(rig.runUntil([&] { return rig.windows.fDetail.isEnabled(); }));
    EXPECT_FALSE(rig.windows.fProgress.isVisible());
    EXPECT_EQ(ta.value("1%S"), "0897654321");
    EXPECT_EQ(rig.windows.fProgress.cgPrgs->GetPercentDone(), 100);
    EXPECT_EQ(rig.statusText(), QStringLiteral("110 settings written to QM7B2-HXN on ") + portShownAs(COM1));
    EXPECT_EQ(link::LinkProbe::state(*rig.link), link::tsQuerying); // read back; the connection stays open
    EXPECT_EQ(rig.messages, QStringList{QStringLiteral("The TA took every value.")});
    rig.backend.port(COM1).unplug();
    rig.clock.advance(200);
    EXPECT_EQ(connection->text(), QStringLiteral("Not connected"));

    rig.toolButton("tbExit")->click();
    EXPECT_EQ(rig.terminations, 1);
}

// What the editor would send is held to the field rules before anything
// goes to the TA, the settings named as the editor shows them; the ADD and
// DROP thresholds keep their own message.
TEST(GuiSession, SubmitOfValuesTheTaDoesNotTakeSendsNothing)
{
    GuiRig rig;
    sim::SimTa& ta = rig.addTa();
    rig.startQuery();
    ASSERT_TRUE(rig.runUntil([&] { return rig.editorUp(); }));
    rig.field("eVP1DN1")->setText(QStringLiteral("12A")); // as a paste, which no filter sees
    ta.clearLog();
    rig.toolButton("tbSubmit")->click();
    ASSERT_TRUE(rig.runUntil([&] { return !rig.messages.isEmpty(); }));
    EXPECT_EQ(rig.messages, QStringList{QString::fromLatin1(link::kFieldRulesText)});
    EXPECT_EQ(lastMessageDetails(), QStringLiteral("Analog Port > Local DN and Options > Local Directory Number > "
                                                   "Address Port 1 (vp1Dn = 12A) takes only the digits, '-', '*', "
                                                   "'#', blank, '(', ')', '[' and ']'"));
    EXPECT_TRUE(rig.windows.fDetail.isEnabled());

    rig.messages.clear();
    rig.field("eVP1DN1")->setText(QStringLiteral("12"));
    rig.windows.fDetail.control<TCSpinEdit>(QStringLiteral("seAddThreshold"))->SetValue(20);
    rig.windows.fDetail.control<TCSpinEdit>(QStringLiteral("seDropThreshold"))->SetValue(30);
    rig.toolButton("tbSubmit")->click();
    ASSERT_TRUE(rig.runUntil([&] { return !rig.messages.isEmpty(); }));
    EXPECT_EQ(rig.messages, QStringList{QString::fromLatin1(link::kThresholdsText)});
    EXPECT_TRUE(ta.commandLog().empty());
}

// "Verify after submit" (on at first) reads the TA back after the write and
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
    EXPECT_TRUE(verify->isChecked());

    rig.field("eDPDN1")->setText(QStringLiteral("0897654321"));
    rig.toolButton("tbSubmit")->click();
    ASSERT_TRUE(rig.runUntil([&] { return !rig.messages.isEmpty(); }));
    EXPECT_EQ(rig.messages, QStringList{QStringLiteral("The TA did not take every value (setting: sent -> TA has):\n\n"
                                                       "RS232 Port > Local DN and Call Type > Local Directory Number > "
                                                       "Address: 0897654321 -> 0301234567")});
    EXPECT_EQ(rig.field("eDPDN1")->text(), QStringLiteral("0897654321"));

    ta.options().keptKey.clear();
    rig.messages.clear();
    rig.toolButton("tbSubmit")->click();
    ASSERT_TRUE(rig.runUntil([&] { return !rig.messages.isEmpty(); }));
    EXPECT_EQ(rig.messages, QStringList{QStringLiteral("The TA took every value.")});
    EXPECT_EQ(ta.value("1%S"), "0897654321");

    // Without verify: a TA that restarts on the third line loses the dn
    // written on the second, and the submit reads it back by itself and
    // writes it again.
    verify->setChecked(false);
    ta.options().restartAtLine = int(ta.commandLog().size()) + 3;
    rig.field("eDPDN1")->setText(QStringLiteral("0111111111"));
    rig.messages.clear();
    rig.toolButton("tbSubmit")->click();
    ASSERT_TRUE(rig.runUntil([&] { return !rig.messages.isEmpty(); }));
    EXPECT_EQ(rig.messages, QStringList{QStringLiteral("The TA went silent or lost its echo during the submit, as after a "
                                                       "restart, so its settings were read back.\n"
                                                       "1 setting the TA lacked after the write was written again.\n"
                                                       "The TA took every value.")});
    EXPECT_EQ(ta.value("1%S"), "0111111111");
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
    rig.upgradeWith(dir.filePath(QStringLiteral("fw.bin")), 3000);

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
    EXPECT_EQ(link::LinkProbe::state(*rig.link), link::tsQuerying); // and read back
    EXPECT_EQ(rig.messages,
              (QStringList{QStringLiteral("Upgrade firmware! Are you sure?"), QStringLiteral("The TA took every value.")}));
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
    EXPECT_TRUE(lastMessageDetails().startsWith(QStringLiteral("COM1: in use by another program\nCOM2 to COM8: no serial port\n")))
        << lastMessageDetails().toStdString();
    EXPECT_TRUE(lastMessageDetails().contains(QStringLiteral("\"Port:\""))) << "another port can be chosen";
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

// --- Nothing is lost on the way out ---

// Exit asks about settings neither saved nor written to the TA since they
// were loaded; Save goes through the save dialog, Discard ends, Cancel keeps
// the editor. A value typed and typed back is no change.
enum class Edit { None, TypedBack, Changed, ChangedThenSubmitted, ChangedThenSaved };

struct UnsavedCase {
    const char* name;
    Edit edit;
    UnsavedChoice answer;
    bool fileChosen; // in the save dialog
    bool asked;
    bool ends;
    friend void PrintTo(const UnsavedCase& c, std::ostream* os) { *os << c.name; }
};

class GuiUnsaved : public ::testing::TestWithParam<UnsavedCase> {};

TEST_P(GuiUnsaved, ExitAsksOnlyAboutRealChanges)
{
    const UnsavedCase& c = GetParam();
    GuiRig rig;
    rig.addTa();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("site.CFG"));
    ProfileDialogs::setChooser([&](ProfileDialogs::Kind) { return c.fileChosen ? file : QString(); });
    int asked = 0;
    setUnsavedHandler([&](const QString&) {
        ++asked;
        return c.answer;
    });
    rig.startWithDefaults();
    ASSERT_TRUE(rig.windows.fDetail.isVisible());
    QLineEdit* dn = rig.field("eDPDN1");
    if (c.edit != Edit::None)
        dn->setText(QStringLiteral("0897654321"));
    if (c.edit == Edit::TypedBack)
        dn->setText(QString());
    if (c.edit == Edit::ChangedThenSubmitted) {
        rig.toolButton("tbSubmit")->click();
        ASSERT_TRUE(rig.runUntil([&] { return rig.windows.fDetail.isEnabled(); }));
    }
    if (c.edit == Edit::ChangedThenSaved) {
        rig.toolButton("tbSave")->click();
        EXPECT_EQ(rig.statusText(), QStringLiteral("Profile saved to ") + QDir::toNativeSeparators(file));
    }

    rig.toolButton("tbExit")->click();
    rig.clock.advance(100);
    EXPECT_EQ(asked, c.asked ? 1 : 0);
    EXPECT_EQ(rig.terminations, c.ends ? 1 : 0);
    EXPECT_EQ(rig.windows.fDetail.isVisible(), true);
    if (c.answer == UnsavedChoice::Save && c.fileChosen) {
        TaProfile saved{};
        ASSERT_TRUE(loadProfileFile(QFile::encodeName(file).toStdString(), saved));
        EXPECT_STREQ(saved.dataPort1.dn, "0897654321");
    }
    setUnsavedHandler(nullptr);
    ProfileDialogs::setChooser(nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Edits, GuiUnsaved,
    ::testing::Values(UnsavedCase{"Unchanged", Edit::None, UnsavedChoice::Cancel, false, false, true},
                      UnsavedCase{"TypedAndTypedBack", Edit::TypedBack, UnsavedChoice::Cancel, false, false, true},
                      UnsavedCase{"ChangedAndKept", Edit::Changed, UnsavedChoice::Cancel, false, true, false},
                      UnsavedCase{"ChangedAndDiscarded", Edit::Changed, UnsavedChoice::Discard, false, true, true},
                      UnsavedCase{"ChangedAndSaved", Edit::Changed, UnsavedChoice::Save, true, true, true},
                      UnsavedCase{"SaveDialogCancelled", Edit::Changed, UnsavedChoice::Save, false, true, false},
                      UnsavedCase{"Submitted", Edit::ChangedThenSubmitted, UnsavedChoice::Cancel, false, false, true},
                      UnsavedCase{"SavedBefore", Edit::ChangedThenSaved, UnsavedChoice::Cancel, true, false, true}),
    [](const auto& test) { return std::string(test.param.name); });

// --- Closing a window during an exchange, and Cancel ---

// The progress window's Cancel, Escape and close stop the exchange at its
// next command, and the user learns what the TA took. Ending the program
// while the TA is worked with asks first, and agreeing stops the same way
// before the end; during the firmware transfer both are refused with the
// reason.
enum class Phase { Query, Submit, Transfer };
enum class Door { CancelButton, Escape, ProgressClose, EditorClose, WizardClose };

struct StopCase {
    const char* name;
    Phase phase;
    Door door;
    bool agree; // to the question before the end
    const char* firstMessage;
    bool ends;
    friend void PrintTo(const StopCase& c, std::ostream* os) { *os << c.name; }
};

class GuiStop : public ::testing::TestWithParam<StopCase> {};

TEST_P(GuiStop, WaitsForTheNextCommandOrRefuses)
{
    const StopCase& c = GetParam();
    GuiRig rig;
    rig.addTa();
    rig.startQuery();
    QTemporaryDir dir;
    if (c.phase == Phase::Query) {
        ASSERT_TRUE(rig.runUntil([&] { return rig.backend.port(COM1).count("AT1C0?") > 0; }));
    } else {
        ASSERT_TRUE(rig.runUntil([&] { return rig.editorUp(); }));
        if (c.phase == Phase::Transfer)
            rig.upgradeWith(dir.filePath(QStringLiteral("fw.bin")), 30000);
        else
            rig.toolButton("tbSubmit")->click();
        ASSERT_TRUE(rig.runUntil([&] {
            return c.phase == Phase::Transfer ? rig.link->transferring() : rig.backend.port(COM1).count("AT1C0=") > 0;
        }));
    }
    TfProgress& progress = rig.windows.fProgress;
    EXPECT_EQ(progress.btnCancel->isEnabled(), c.phase != Phase::Transfer);
    rig.messages.clear();
    setMessageHandler([&](const QString& text, bool) {
        rig.messages << text;
        return c.agree;
    });
    switch (c.door) {
    case Door::CancelButton: progress.btnCancel->click(); break;
    case Door::Escape: QTest::keyClick(&progress, Qt::Key_Escape); break;
    case Door::ProgressClose: progress.close(); break;
    case Door::EditorClose: rig.windows.fDetail.close(); break;
    case Door::WizardClose: rig.windows.fMain.close(); break;
    }
    ASSERT_TRUE(rig.runUntil([&] { return !rig.link->busy() || rig.link->transferring(); }));
    rig.clock.advance(100);
    ASSERT_FALSE(rig.messages.isEmpty());
    EXPECT_TRUE(rig.messages.first().startsWith(QLatin1String(c.firstMessage))) << rig.messages.first().toStdString();
    EXPECT_EQ(rig.terminations, c.ends ? 1 : 0);
    if (c.ends) {
        EXPECT_TRUE(rig.messages.last().contains(QStringLiteral("cancelled"))) << rig.messages.last().toStdString();
    }
    if (c.phase != Phase::Transfer) {
        EXPECT_FALSE(progress.isVisible());
    }
}

const char* const kAskEnd = "The TA is still being worked with.";
const char* const kCancelled = "Submit cancelled after 4 of 110 settings. The TA now holds a mix";
const char* const kTransferRuns = "The firmware is being sent to the TA.";

INSTANTIATE_TEST_SUITE_P(
    Doors, GuiStop,
    ::testing::Values(StopCase{"CancelButton", Phase::Submit, Door::CancelButton, true, kCancelled, false},
                      StopCase{"Escape", Phase::Submit, Door::Escape, true, kCancelled, false},
                      StopCase{"ProgressClosed", Phase::Submit, Door::ProgressClose, true, kCancelled, false},
                      StopCase{"EditorClosedAndKept", Phase::Submit, Door::EditorClose, false, kAskEnd, false},
                      StopCase{"EditorClosedAndStopped", Phase::Submit, Door::EditorClose, true, kAskEnd, true},
                      StopCase{"WizardClosedAndStopped", Phase::Query, Door::WizardClose, true, kAskEnd, true},
                      StopCase{"TransferNotCancelled", Phase::Transfer, Door::ProgressClose, true, kTransferRuns,
                               false},
                      StopCase{"TransferNotLeft", Phase::Transfer, Door::EditorClose, true, kTransferRuns, false}),
    [](const auto& test) { return std::string(test.param.name); });

// --- Failures name the setting and the port ---

// A refused setting is named as the editor shows it: page, group, label and
// the value sent; a number and its sub-address are two settings.
struct RefusedCase {
    const char* key; // bare key the TA answers with ERROR
    const char* lines;
    friend void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.key; }
};

class GuiRefusedSetting : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(GuiRefusedSetting, IsNamedAsTheEditorShowsIt)
{
    const RefusedCase& c = GetParam();
    testsupport::ScopedEnv ports("TA_SERIAL_PORTS", "");
    GuiRig rig;
    sim::SimTaOptions options;
    options.refusedKey = c.key;
    rig.addTa(options);
    rig.startQuery();
    ASSERT_TRUE(rig.runUntil([&] { return rig.editorUp(); }));
    rig.toolButton("tbSubmit")->click();
    ASSERT_TRUE(rig.runUntil([&] { return !rig.messages.isEmpty(); }));
    EXPECT_EQ(rig.messages, QStringList{QStringLiteral("Submit Setting failed, please check the TA!")});
    const QStringList details = lastMessageDetails().split(QLatin1Char('\n'));
    ASSERT_GE(details.size(), 3);
    EXPECT_TRUE(details[0].startsWith(QStringLiteral("The TA QM7B2-HXN on COM1 refused AT"))) << details[0].toStdString();
    EXPECT_EQ(details.mid(1, int(QString::fromLatin1(c.lines).count(QLatin1Char('\n'))) + 1).join(QLatin1Char('\n')),
              QString::fromLatin1(c.lines));
    EXPECT_EQ(lastMessageKind(), MessageKind::Warning);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, GuiRefusedSetting,
    ::testing::Values(
        RefusedCase{"S0", "RS232 Port > Advance Setting > Advance options > Auto Answer: 0"},
        RefusedCase{"&D", "RS232 Port > V.24 Signal > Data Terminal Ready Action: ON to OFF, disconnect the call "
                          "(108/2) "},
        RefusedCase{"%M1", "RS232 Port > PPP/MP Parameters > Enable CHAP: not checked"},
        RefusedCase{"%S", "RS232 Port > Local DN and Call Type > Local Directory Number > Address: 0301234567\n"
                          "RS232 Port > Local DN and Call Type > Local Directory Number > SubAddress: (empty)"},
        RefusedCase{"!1P2", "Analog Port > Local DN and Options > CLIP and CLIR selection > Port 1: "
                            "CLIP (pass self DN to destination site)"},
        RefusedCase{"$P5", "System > Country Selection Code: Other "}),
    [](const auto& test) {
        std::string name;
        for (const char* p = test.param.key; *p; ++p)
            if (std::isalnum(static_cast<unsigned char>(*p)))
                name += *p;
        return "Key" + name;
    });

// --- A wrong port choice is not a trap ---

// The TA is on COM2, the user chose COM1: the failure names the port that
// was tried, and the same port list on the second page reaches the TA
// without a restart.
TEST(GuiSession, AnotherPortCanBeChosenAfterNoTaWasFound)
{
    testsupport::ScopedEnv ports("TA_SERIAL_PORTS", "/dev/ttyTA0:/dev/ttyTA1");
    GuiRig rig;
    rig.backend.port("/dev/ttyTA0");
    rig.backend.addTa("/dev/ttyTA1").setValue("1%S", "0301234567");
    TfMain& wizard = rig.windows.fMain;
    wizard.refreshPorts();
    wizard.cbPort->setCurrentIndex(1);
    rig.startQuery();
    ASSERT_TRUE(rig.runUntil([&] { return !rig.messages.isEmpty(); }));
    EXPECT_EQ(rig.messages, QStringList{QStringLiteral("Cannot find a TA to config!")});
    EXPECT_TRUE(lastMessageDetails().startsWith(QStringLiteral("/dev/ttyTA0: no answer\n"))) << lastMessageDetails().toStdString();
    EXPECT_TRUE(lastMessageDetails().contains(QStringLiteral("\"Port:\"")));
    ASSERT_TRUE(wizard.onProfilePage());
    EXPECT_FALSE(wizard.btnPrev->isEnabled());
    EXPECT_TRUE(wizard.PG2->isAncestorOf(wizard.cbPort));
    EXPECT_TRUE(wizard.cbPort->isVisible());

    wizard.cbPort->setCurrentIndex(2);
    rig.messages.clear();
    wizard.btnNext->click();
    ASSERT_TRUE(rig.runUntil([&] { return rig.editorUp(); })) << rig.messages.join('|').toStdString();
    EXPECT_EQ(rig.field("eDPDN1")->text(), QStringLiteral("0301234567"));
    EXPECT_TRUE(rig.messages.isEmpty());
}

} // namespace
} // namespace ta::ui
