// A screenshot mode for the documentation: with TAUTIL_SCREENSHOTS set to a
// folder the program saves its wizard pages, queries the TA (normally the
// simulated one), saves the progress window as soon as the gauge passes 40%,
// three editor pages (and the debug log when it is shown), then ends. The
// pictures in docs/ come from a slow simulated TA, so that the progress
// window stays up long enough to be seen:
//   TAUTIL_SCREENSHOTS=docs TASIM_ARGS="--baud 9600" tools/run-demo.sh build /B:1
#pragma once

#include "ui/GuiScreen.h"

#include <QObject>
#include <QString>
#include <QTimer>

namespace ta::app {

inline constexpr const char* kScreenshotVariable = "TAUTIL_SCREENSHOTS";

class ScreenshotTour : public QObject {
public:
    ScreenshotTour(ui::GuiWindows& windows, const QString& folder);
    void start();

protected:
    // The gauge's repaints, to catch the progress window between two ticks.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Step { TaSelection, ProfileLoading, WaitForEditor, EditorPages, Done };

    void tick();
    void save(QWidget& window, const char* name);
    void saveProgress();
    void saveEditorPages();
    void finish(int exitCode, const QString& problem = {});

    ui::GuiWindows& w_;
    QString folder_;
    QTimer timer_;
    Step step_ = Step::TaSelection;
    int waitedMs_ = 0;
    bool progressSaved_ = false;
};

} // namespace ta::app
