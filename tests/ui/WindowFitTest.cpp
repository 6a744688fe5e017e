// Every window fits the screen it is shown on, at scale 1 and 2 on the three
// screen sizes of support/screens.json: never larger than the available area
// with its frame, wholly inside it, its buttons in sight; what does not fit
// scrolls.
#include "tests/ui/DetailTestSupport.h"
#include "ui/dbg.h"
#include "ui/fCall.h"
#include "ui/fReboot.h"
#include "ui/main.h"
#include "ui/progress.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

#include <string>

namespace ta::ui {
namespace {

// One row per screen and scale: the wizard's and the debug window's size
// there (designed 712x565 and 409x359; the offscreen frame is 1 pixel).
struct ScreenCase {
    const char* screen;
    QSize wizard;
    QSize debug;
};

void PrintTo(const ScreenCase& c, std::ostream* os) { *os << c.screen; }

class WindowsOnScreen : public ::testing::TestWithParam<ScreenCase> {
protected:
    void SetUp() override
    {
        for (QScreen* candidate : QGuiApplication::screens())
            if (candidate->name() == QLatin1String(GetParam().screen))
                screen = candidate;
        ASSERT_TRUE(screen) << "run with QT_QPA_PLATFORM=offscreen:configfile=support/screens.json";
        editor.ctx.switches = testing::switchesWith(false, true);
    }
    // Shown on the screen (a window opens on the screen it stands on), framed
    // and settled.
    void showOnScreen(QWidget& window)
    {
        window.move(screen->geometry().topLeft());
        window.setScreen(screen);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QApplication::processEvents();
    }
    void expectInside(QWidget& window)
    {
        const QRect available = screen->availableGeometry();
        EXPECT_TRUE(available.contains(window.frameGeometry())) << window.objectName().toStdString();
        const QSize minimum = window.minimumSizeHint();
        EXPECT_TRUE(minimum.width() <= available.width() && minimum.height() <= available.height())
            << window.objectName().toStdString();
    }
    static bool inSight(const QWidget& window, const QWidget* part)
    {
        return part->isVisible() && window.rect().contains(QRect(part->mapTo(&window, QPoint()), part->size()));
    }

    QScreen* screen = nullptr;
    testing::EditorHarness editor;
};

TEST_P(WindowsOnScreen, FitAndKeepTheirButtonsInSight)
{
    link::AppContext ctx;
    TfMain wizard(ctx, {});
    showOnScreen(wizard);
    expectInside(wizard);
    EXPECT_EQ(wizard.size(), GetParam().wizard);
    EXPECT_TRUE(inSight(wizard, wizard.btnNext) && inSight(wizard, wizard.btnCancel));

    editor.editor->presentEditor();
    showOnScreen(*editor.editor);
    expectInside(*editor.editor);
    EXPECT_TRUE(inSight(*editor.editor, editor.editor->findChild<QToolBar*>()));
    for (const char* command : {"ToolButton4", "ToolButton1", "tbSave", "tbSubmit", "ckVerify", "tbUpgrade", "tbExit"})
        EXPECT_TRUE(inSight(*editor.editor, editor.editor->findChild<QWidget*>(QLatin1String(command)))) << command;
    EXPECT_TRUE(inSight(*editor.editor, editor.editor->statusBar()));
    EXPECT_GE(editor.editor->height(), std::min(567, screen->availableGeometry().height() - 2));

    TfDBG debug;
    showOnScreen(debug);
    expectInside(debug);
    EXPECT_EQ(debug.size(), GetParam().debug);
    TfProgress progress;
    TfCRemote connecting;
    TfRTick rebooting;
    for (QWidget* window : std::initializer_list<QWidget*>{&progress, &connecting, &rebooting}) {
        showOnScreen(*window);
        expectInside(*window);
    }
    EXPECT_TRUE(inSight(connecting, connecting.btnCancel));
}

INSTANTIATE_TEST_SUITE_P(Screens, WindowsOnScreen, ::testing::Values(
    ScreenCase{"800x600@1", {712, 565}, {409, 359}},
    ScreenCase{"1280x720@1", {712, 565}, {409, 359}},
    ScreenCase{"1920x1080@1", {712, 565}, {409, 359}},
    ScreenCase{"800x600@2", {398, 298}, {398, 298}},
    ScreenCase{"1280x720@2", {638, 358}, {409, 358}},
    ScreenCase{"1920x1080@2", {712, 538}, {409, 359}}),
    [](const auto& test) {
        std::string name = test.param.screen;
        name[name.find('@')] = '_';
        return "Screen" + name;
    });

} // namespace
} // namespace ta::ui
