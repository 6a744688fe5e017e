// The main wizard on its own: pages, the Next rules and the hand-over, with
// a recording screen in place of the other windows.
#include "ui/main.h"

#include "link/TaLink.h"
#include "link/VirtualClock.h"
#include "profile/DefaultProfile.h"
#include "profile/ProfileFile.h"
#include "tests/support/CaseName.h"
#include "tests/support/LinkProbe.h"
#include "tests/support/Processes.h"
#include "tests/support/RecordingScreen.h"
#include "tests/support/SimBackend.h"
#include "tests/ui/support/UiTestSupport.h"
#include "ui/GestEdit.h"
#include "ui/GuiScreen.h"
#include "ui/Messages.h"

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QWindow>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

namespace ta::ui {
namespace {

using testsupport::RecordingScreen;

const std::vector<std::string> kHandOver = {"showProfile", "enableEditor 1", "presentEditor", "hideWizard",
                                            "progressCaption: Submit progress status"};

class WizardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setMessageHandler([this](const QString& text, bool) {
            messages << text;
            return true;
        });
        ProfileDialogs::setChooser([this](ProfileDialogs::Kind) { return chosenFile; });
        wizard.setScreen(&screen);
        connectWizard(wizard, link);
    }
    void TearDown() override
    {
        setMessageHandler(nullptr);
        ProfileDialogs::setChooser(nullptr);
    }
    void toProfilePage(int source)
    {
        wizard.btnNextClick();
        ASSERT_TRUE(wizard.onProfilePage());
        wizard.setProfileSource(source);
    }
    QString writeFile(const char* name, const TaProfile& profile, std::size_t size = sizeof(TaProfile))
    {
        const QString path = dir.filePath(QLatin1String(name));
        std::ofstream(path.toStdString(), std::ios::binary).write(reinterpret_cast<const char*>(&profile), std::streamsize(size));
        return path;
    }
    static TaProfile markedProfile(uint8_t fill)
    {
        TaProfile p;
        std::memset(&p, fill, sizeof p);
        std::memcpy(&p, "TAPRF1.0", 9);
        return p;
    }
    bool profileIs(const TaProfile& expected) const
    {
        return std::memcmp(&ctx.workingProfile, &expected, sizeof expected) == 0;
    }

    link::AppContext ctx;
    TfMain wizard{ctx, {}};
    RecordingScreen screen;
    link::VirtualClock clock;
    testsupport::SimBackend backend{clock};
    link::TaLink link{ctx, clock, backend, screen};
    QStringList messages;
    QString chosenFile;
    QTemporaryDir dir;
};

TEST_F(WizardTest, StartsOnTheFirstPageWithLocalTaAndQueryChosen)
{
    EXPECT_EQ(wizard.pcMain->currentWidget(), wizard.PG0);
    EXPECT_TRUE(wizard.rbLocalTA->isChecked());
    EXPECT_FALSE(wizard.eRemoteTel->isEnabled());
    EXPECT_FALSE(wizard.btnPrev->isEnabled());
    EXPECT_EQ(wizard.profileSource(), TfMain::psQueryTa);
}

TEST_F(WizardTest, RemoteChoiceEnablesTheNumberAndResetsTheExchange)
{
    backend.addTa(testsupport::FakeSerial::comName(1));
    link.requestIdentify(); // the first probe is out
    ASSERT_EQ(link::LinkProbe::state(link), link::tsIdentify);
    wizard.rbRemoteTA->click();
    EXPECT_TRUE(wizard.eRemoteTel->isEnabled());
    EXPECT_TRUE(wizard.lbRemoteTel->isEnabled());
    EXPECT_TRUE(ctx.remoteChosen);
    EXPECT_EQ(link::LinkProbe::state(link), link::tsIdle);

    link.requestIdentify();
    ASSERT_EQ(link::LinkProbe::state(link), link::tsIdentify);
    wizard.rbLocalTA->click();
    EXPECT_FALSE(wizard.eRemoteTel->isEnabled());
    EXPECT_FALSE(ctx.remoteChosen);
    EXPECT_EQ(link::LinkProbe::state(link), link::tsIdle);
}

TEST_F(WizardTest, TypedNumberKeepsOnlyDialCharactersAndReachesTheContext)
{
    ASSERT_TRUE(testing::showActive(wizard));
    wizard.rbRemoteTA->click();
    wizard.eRemoteTel->setFocus();
    QTest::keyClicks(wizard.eRemoteTel, "0(30) 12-3a4*#[]x");
    EXPECT_EQ(wizard.eRemoteTel->text(), QStringLiteral("0(30) 12-34*#[]"));
    EXPECT_EQ(ctx.remoteNumber, "0(30) 12-34*#[]");
}

TEST_F(WizardTest, RemoteWithoutNumberKeepsTheFirstPageAndFocusesTheField)
{
    ASSERT_TRUE(testing::showActive(wizard));
    wizard.rbRemoteTA->click();
    wizard.btnNext->setFocus();
    for (const char* number : {"", "   ", "( )-"}) {
        wizard.eRemoteTel->setText(QLatin1String(number));
        wizard.btnNextClick();
        EXPECT_EQ(wizard.pcMain->currentWidget(), wizard.PG0) << '"' << number << '"';
        EXPECT_TRUE(wizard.eRemoteTel->hasFocus());
        wizard.btnNext->setFocus();
    }
    wizard.eRemoteTel->setText(QStringLiteral("12345"));
    wizard.btnNextClick();
    EXPECT_TRUE(wizard.onProfilePage());
    EXPECT_TRUE(screen.calls().empty());
}

TEST_F(WizardTest, CancelledOpenDialogLoadsNothingEvenAfterAnEarlierChoice)
{
    toProfilePage(TfMain::psReadFile);
    chosenFile = writeFile("bad.CFG", TaProfile{}); // no magic: refused
    wizard.btnNextClick();
    const TaProfile before = ctx.workingProfile;
    chosenFile.clear();
    messages.clear();
    wizard.btnNextClick();
    EXPECT_TRUE(wizard.onProfilePage());
    EXPECT_TRUE(profileIs(before));
    EXPECT_TRUE(screen.calls().empty());
    EXPECT_TRUE(messages.isEmpty());
}

// A profile file chosen on the page "Read from file", or named on the
// command line (loaded from the first page, without the dialog): a refused
// or missing file is told and changes nothing, a good one goes to the editor.
class WizardFileLoad : public WizardTest, public ::testing::WithParamInterface<bool> {
protected:
    void load(const QString& path)
    {
        chosenFile = path;
        messages.clear();
        if (GetParam())
            wizard.openProfile(QFile::encodeName(path).toStdString());
        else
            wizard.btnNextClick();
    }
};

TEST_P(WizardFileLoad, RefusesWhatIsNoProfileAndHandsOverWhatIs)
{
    std::memset(&ctx.workingProfile, 0x5a, sizeof ctx.workingProfile);
    const TaProfile before = ctx.workingProfile;
    TaProfile wrong = markedProfile(7);
    wrong.magic[8] = 'X';
    if (!GetParam())
        toProfilePage(TfMain::psReadFile);
    // A name with control bytes is shown with them escaped.
    for (const QString& path : {writeFile("wrong.CFG", wrong), dir.filePath("missing.CFG"),
                                dir.filePath(QStringLiteral("\x1b[2J\n") + QChar(0x9b) + QStringLiteral(".CFG"))}) {
        load(path);
        EXPECT_EQ(wizard.onProfilePage(), !GetParam());
        EXPECT_TRUE(profileIs(before)) << path.toStdString();
        ASSERT_EQ(messages.size(), 1);
        const QString name = QFileInfo(path).fileName().replace(QChar(0x1b), "\\x1b").replace('\n', "\\x0a").replace(
            QChar(0x9b), "\\xc2\\x9b");
        EXPECT_TRUE(messages.first().contains(name))
            << messages.first().toStdString();
    }
    EXPECT_TRUE(screen.calls().empty());

    // A profile whose values the TA does not take loads all the same, with a warning.
    const TaProfile odd = markedProfile(0x33);
    load(writeFile("odd.CFG", odd));
    EXPECT_TRUE(profileIs(odd));
    EXPECT_EQ(screen.calls(), kHandOver);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.first().contains(QStringLiteral("holds values the TA does not take")));

    TaProfile stored{};
    buildDefaultProfile(stored, false, true);
    screen.clear();
    load(writeFile("good \xe9.CFG", stored));
    EXPECT_TRUE(profileIs(stored));
    EXPECT_EQ(screen.calls(), kHandOver);
    EXPECT_EQ(wizard.dialogs().currentFile(), chosenFile); // for the editor's status line
    EXPECT_TRUE(messages.isEmpty());

    // Bytes after the record (an editor's line end) are left out, with a word.
    const QString longer = writeFile("longer.CFG", stored);
    std::ofstream(longer.toStdString(), std::ios::binary | std::ios::app) << "\r\n";
    screen.clear();
    load(longer);
    EXPECT_TRUE(profileIs(stored));
    EXPECT_EQ(screen.calls(), kHandOver);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.first().endsWith(QStringLiteral("longer.CFG holds 2 bytes after the 2928 of a profile, left out")))
        << messages.first().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Doors, WizardFileLoad, ::testing::Bool(),
                         [](const auto& test) { return test.param ? "CommandLine" : "ReadFromFilePage"; });

TEST_F(WizardTest, DefaultSettingsHandOverWithTheDefaultProfile)
{
    ctx.switches.x25OnD = true;
    TaProfile expected{};
    buildDefaultProfile(expected, true, ctx.switches.sysDateTime);
    toProfilePage(TfMain::psDefaults);
    wizard.dialogs().setCurrentFile(QStringLiteral("old.CFG"));
    wizard.btnNextClick();
    EXPECT_TRUE(wizard.dialogs().currentFile().isEmpty());
    EXPECT_TRUE(profileIs(expected));
    EXPECT_EQ(screen.calls(), kHandOver);
}

TEST_F(WizardTest, NoSourceChosenDoesNothing)
{
    toProfilePage(TfMain::psNone);
    EXPECT_EQ(wizard.profileSource(), TfMain::psNone);
    wizard.btnNextClick();
    EXPECT_TRUE(wizard.onProfilePage());
    EXPECT_TRUE(screen.calls().empty());
}

TEST_F(WizardTest, CancelAndTheWindowManagersCloseEndTheProgram)
{
    QSignalSpy ends(&wizard, &TfMain::endRequested);
    wizard.btnCancel->click();
    EXPECT_EQ(screen.count("terminate"), 1);

    ASSERT_TRUE(testing::showActive(wizard));
    wizard.windowHandle()->close();
    EXPECT_EQ(ends.count(), 2);
    EXPECT_TRUE(wizard.isVisible()) << "the program's end, not the close, takes the wizard down";
}

// Keys: Enter presses Next> wherever the focus is, except on another button,
// which it presses itself; Escape presses Cancel.
struct WizardKey {
    const char* focus;
    Qt::Key key;
    bool movesOn;
    bool ends;
};

void PrintTo(const WizardKey& c, std::ostream* os) { *os << c.focus << " key " << c.key; }

class WizardKeys : public WizardTest, public ::testing::WithParamInterface<WizardKey> {};

TEST_P(WizardKeys, EnterMeansNextAndEscapeCancel)
{
    const WizardKey& c = GetParam();
    ASSERT_TRUE(testing::showActive(wizard));
    wizard.rbRemoteTA->click();
    wizard.eRemoteTel->setText(QStringLiteral("0401234"));
    auto* focus = wizard.findChild<QWidget*>(QLatin1String(c.focus));
    focus->setFocus(Qt::TabFocusReason);
    QTest::keyClick(focus, c.key);
    EXPECT_EQ(wizard.onProfilePage(), c.movesOn);
    EXPECT_EQ(screen.count("terminate"), c.ends ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Keys, WizardKeys,
                         ::testing::Values(WizardKey{"rbRemoteTA", Qt::Key_Return, true, false},
                                           WizardKey{"eRemoteTel", Qt::Key_Enter, true, false},
                                           WizardKey{"cbPort", Qt::Key_Return, true, false},
                                           WizardKey{"btnCancel", Qt::Key_Return, false, true},
                                           WizardKey{"eRemoteTel", Qt::Key_Escape, false, true}),
                         [](const auto& test) {
                             const bool escape = test.param.key == Qt::Key_Escape;
                             return std::string(test.param.focus) + (escape ? "Escape" : "Enter");
                         });

TEST_F(WizardTest, TheKeyboardAloneChoosesTheSourceAndLoads)
{
    ASSERT_TRUE(testing::showActive(wizard));
    QTest::keyClick(wizard.rbLocalTA, Qt::Key_Return);
    ASSERT_TRUE(wizard.onProfilePage());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(wizard.profileSource(), TfMain::psDefaults);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(screen.calls(), kHandOver);
}

// Tab back into the TA choice lands on the chosen one, as the arrow keys
// would then move the choice.
TEST_F(WizardTest, TabIntoTheTaChoiceLandsOnTheChosenOne)
{
    ASSERT_TRUE(testing::showActive(wizard));
    wizard.rbRemoteTA->setChecked(true);
    wizard.btnCancel->setFocus(Qt::TabFocusReason);
    QTest::keyClick(wizard.btnCancel, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), wizard.rbRemoteTA);
}

// "Automatic" first; a chosen port is the only one a query opens, and the
// choice survives a relisting as long as the port is there.
TEST_F(WizardTest, PortChoiceReachesTheLinkAndSurvivesARelisting)
{
    backend.addTa(testsupport::FakeSerial::comName(1));
    backend.addTa("/dev/ttyTA1");
    {
        testsupport::ScopedEnv ports("TA_SERIAL_PORTS", "/dev/ttyTA0:/dev/ttyTA1");
        wizard.refreshPorts();
    }
    ASSERT_EQ(wizard.cbPort->count(), 3);
    EXPECT_EQ(wizard.cbPort->currentText(), QStringLiteral("Automatic"));
    wizard.cbPort->setCurrentIndex(2);
    {
        testsupport::ScopedEnv ports("TA_SERIAL_PORTS", "/dev/ttyNEW:/dev/ttyTA1"); // a port plugged in before it
        wizard.refreshPorts();
    }
    EXPECT_EQ(wizard.cbPort->currentText(), QStringLiteral("COM2  /dev/ttyTA1"));
    wizard.btnNextClick();
    wizard.btnNextClick();
    EXPECT_EQ(backend.port("/dev/ttyTA1").count("ATI0\r"), 1);
    EXPECT_EQ(backend.com(1).opens, 0);

    testsupport::ScopedEnv ports("TA_SERIAL_PORTS", "/dev/ttyNEW"); // the chosen one unplugged
    wizard.refreshPorts();
    EXPECT_EQ(wizard.cbPort->currentIndex(), 0);
    EXPECT_EQ(ctx.chosenPort, "");
}

// A TA behind a console server: its address is typed, on the first page or
// on the second (where the port is chosen again after a TA was not found),
// opened alone, kept through a relisting, and offered in the list at the
// next run.
struct TypedPortCase {
    const char* name;
    bool onSecondPage;
    const char* url;
    const char* offeredAs;
    friend void PrintTo(const TypedPortCase& c, std::ostream* os) { *os << c.name; }
};

class WizardNetworkPort : public WizardTest, public ::testing::WithParamInterface<TypedPortCase> {};

TEST_P(WizardNetworkPort, TypedIsOpenedAloneAndOfferedAtTheNextRun)
{
    const bool onSecondPage = GetParam().onSecondPage;
    const std::string url = GetParam().url;
    backend.addTa(url);
    testsupport::ScopedEnv ports("TA_SERIAL_PORTS", "/dev/ttyTA0");
    wizard.refreshPorts();
    if (onSecondPage)
        wizard.btnNextClick();
    wizard.cbPort->lineEdit()->clear();
    QTest::keyClicks(wizard.cbPort->lineEdit(), QString::fromStdString(" " + url));
    EXPECT_EQ(ctx.chosenPort, url);
    wizard.refreshPorts();
    EXPECT_EQ(ctx.chosenPort, url) << "a relisting keeps what was typed";
    if (!onSecondPage)
        wizard.btnNextClick();
    wizard.btnNextClick();
    EXPECT_EQ(backend.port(url).count("ATI0\r"), 1);
    EXPECT_EQ(backend.port("/dev/ttyTA0").opens, 0);

    link::AppContext nextCtx;
    TfMain nextRun(nextCtx, {});
    const int offered = nextRun.cbPort->findData(QString::fromStdString(url));
    ASSERT_EQ(offered, nextRun.cbPort->count() - 1) << "after the machine's own ports";
    EXPECT_EQ(nextRun.cbPort->itemText(offered), QString::fromLatin1(GetParam().offeredAs));
    nextRun.cbPort->setCurrentIndex(offered);
    EXPECT_EQ(nextCtx.chosenPort, url);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, WizardNetworkPort,
    ::testing::Values(TypedPortCase{"FirstPage", false, "rfc2217://cs1.example:7001",
                                    "rfc2217://cs1.example:7001 (RFC 2217 network port)"},
                      TypedPortCase{"SecondPageOverTls", true, "rfc2217+tls://cs1.example:7001",
                                    "rfc2217+tls://cs1.example:7001 (RFC 2217 network port over TLS)"}),
    testsupport::CaseName());

// A screen reader hears the port list by its label, with what it shows as
// value, and follows the focus into its text field, named alike.
TEST_F(WizardTest, PortListIsAnnouncedByItsLabelAlsoWhereTheTypingGoes)
{
    ASSERT_TRUE(testing::showActive(wizard));
    wizard.cbPort->setFocus(Qt::TabFocusReason);
    wizard.cbPort->lineEdit()->clear();
    QTest::keyClicks(wizard.cbPort->lineEdit(), QStringLiteral("tcp://cs1:7002"));
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(wizard.cbPort);
    EXPECT_EQ(list->text(QAccessible::Name), QStringLiteral("Port"));
    EXPECT_EQ(list->text(QAccessible::Value), QStringLiteral("tcp://cs1:7002"));
    QAccessibleInterface* field = list->focusChild();
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->object(), wizard.cbPort->lineEdit());
    EXPECT_EQ(field->text(QAccessible::Name), QStringLiteral("Port"));
    EXPECT_EQ(list->child(list->indexOfChild(field)), field);
}

TEST(WizardSwitches, ArgumentsAreReadAtCreation)
{
    link::AppContext ctx;
    ctx.taVariant = 0;
    TfMain wizard(ctx, {"/p:0", "/B:1"});
    EXPECT_FALSE(ctx.switches.countryOption);
    EXPECT_TRUE(ctx.switches.debugLog);
    EXPECT_EQ(ctx.taVariant, 3);
}

} // namespace
} // namespace ta::ui
