// A screenshot mode for the documentation: with TAUTIL_SCREENSHOTS set to a
// folder the program saves its wizard pages, queries the TA (normally the
// simulated one) and saves three editor pages (and the debug log when it is
// shown), then ends.
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

private:
    enum class Step { TaSelection, ProfileLoading, WaitForEditor, EditorPages, Done };

    void tick();
    void save(QWidget& window, const char* name);
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
