#include "ui/dbg.h"
#include "ui/fCall.h"
#include "ui/fReboot.h"
#include "ui/progress.h"

#include "tests/ui/support/UiTestSupport.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace ta::ui;

TEST(DebugWindow, DefaultSwitchesKeepItHiddenAndEmpty)
{
    ta::link::AppContext context;
    TfDBG window;
    window.FormCreate(context);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(window.lines().isEmpty());
}

TEST(DebugWindow, DebugSwitchShowsItWithTheSwitchesLine)
{
    ta::link::AppContext context;
    context.switches.debugLog = true; // "/B:1", the rest at their defaults
    TfDBG window;
    window.FormCreate(context);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.lines(), QStringList{QStringLiteral(", X25_D: 0, USB Spt: 1, Force RCFG: 1")});
}

TEST(DebugWindow, HeaderLineFollowsEachSwitch)
{
    ta::link::Switches switches;
    switches.x25OnD = true;
    switches.usbSupport = false;
    switches.forceRemoteConfig = false;
    EXPECT_EQ(debugHeaderLine(switches), QStringLiteral(", X25_D: 1, USB Spt: 0, Force RCFG: 0"));
}

TEST(DebugWindow, DoubleClickEmptiesTheLogAndLoggingGoesOn)
{
    TfDBG window;
    window.appendLine(QStringLiteral("(ATI0)"));
    window.appendLine(std::string_view("OK\xB0"));
    EXPECT_EQ(window.lines(), (QStringList{QStringLiteral("(ATI0)"), QString::fromUtf8("OK°")}));
    QTest::mouseDClick(window.meDBG->viewport(), Qt::LeftButton);
    EXPECT_TRUE(window.lines().isEmpty());
    window.appendLine(QStringLiteral("(ATH)"));
    EXPECT_EQ(window.lines(), QStringList{QStringLiteral("(ATH)")});
}

TEST(ProgressWindow, CreatedHiddenWithTheGaugeAtFullScale)
{
    TfProgress window;
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Querying current setting"));
    auto* gauge = window.findChild<TCGauge*>(QStringLiteral("cgPrgs"));
    ASSERT_NE(gauge, nullptr);
    EXPECT_EQ(gauge->geometry(), QRect(9, 10, 376, 31));
    EXPECT_EQ(gauge->MaxValue(), 100);
    EXPECT_EQ(gauge->ForeColor(), QColor(Qt::blue));
}

TEST(StatusWindows, NoneKeepsTheProgramRunningOnItsOwn)
{
    TfProgress progress;
    TfCRemote connecting;
    TfRTick rebooting;
    TfDBG debug;
    for (QWidget* window : std::initializer_list<QWidget*>{&progress, &connecting, &rebooting, &debug}) {
        SCOPED_TRACE(window->objectName().toStdString());
        EXPECT_FALSE(window->testAttribute(Qt::WA_QuitOnClose));
        EXPECT_FALSE(window->isVisible());
    }
}

TEST(ConnectingWindow, ShowsWhatTheLinkSaysAndPassesCancelOn)
{
    TfCRemote window;
    window.setCallingText(QStringLiteral("..."));
    EXPECT_EQ(window.lCalling->text(), QStringLiteral("..."));
    EXPECT_GT(window.lCalling->x(), window.label1->geometry().right());

    QSignalSpy cancelled(&window, &TfCRemote::cancelRequested);
    auto* cancel = window.findChild<QPushButton*>(QStringLiteral("btnCancel"));
    ASSERT_NE(cancel, nullptr);
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_EQ(cancelled.count(), 1);
}

TEST(RebootingWindow, ShowsTheCountdown)
{
    TfRTick window;
    window.setTickText(QStringLiteral("25"));
    EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("lTick"))->text(), QStringLiteral("25"));
    EXPECT_GT(window.lTick->x(), window.Label1->geometry().right());
}
