#include "app/tautil/ScreenshotTour.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QPushButton>
#include <QTreeWidget>

#include <iostream>

namespace ta::app {

namespace {

constexpr int kTickMs = 250;
constexpr int kEditorLimitMs = 90000;
constexpr int kProgressShownAtPercent = 40;

struct EditorShot {
    int page;
    const char* file;
};
constexpr EditorShot kEditorShots[] = {
    {2, "editor-local-dn.png"},
    {3, "editor-ppp-mp.png"},
    {12, "editor-analog-port.png"},
};

} // namespace

ScreenshotTour::ScreenshotTour(ui::GuiWindows& windows, const QString& folder) : w_(windows), folder_(folder)
{
    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, &ScreenshotTour::tick);
}

void ScreenshotTour::start()
{
    QDir().mkpath(folder_);
    w_.fProgress.cgPrgs->installEventFilter(this);
    timer_.start();
}

// The picture is taken after the repaint, not inside it.
bool ScreenshotTour::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint && !progressSaved_)
        QMetaObject::invokeMethod(this, &ScreenshotTour::saveProgress, Qt::QueuedConnection);
    return QObject::eventFilter(watched, event);
}

void ScreenshotTour::saveProgress()
{
    if (progressSaved_ || !w_.fProgress.isVisible() || w_.fProgress.cgPrgs->GetPercentDone() < kProgressShownAtPercent)
        return;
    save(w_.fProgress, "query-progress.png");
    progressSaved_ = true;
}

void ScreenshotTour::save(QWidget& window, const char* name)
{
    const QString path = QDir(folder_).filePath(QLatin1String(name));
    if (window.grab().save(path))
        std::cout << path.toLocal8Bit().constData() << std::endl;
    else
        std::cerr << "tautil: could not save " << path.toLocal8Bit().constData() << std::endl;
}

void ScreenshotTour::tick()
{
    switch (step_) {
    case Step::TaSelection:
        save(w_.fMain, "wizard-ta-selection.png");
        w_.fMain.btnNext->click();
        step_ = Step::ProfileLoading;
        break;
    case Step::ProfileLoading:
        save(w_.fMain, "wizard-profile-loading.png");
        w_.fMain.btnNext->click();
        step_ = Step::WaitForEditor;
        break;
    case Step::WaitForEditor:
        if (w_.fDetail.isVisible() && !w_.fProgress.isVisible())
            step_ = Step::EditorPages;
        else if ((waitedMs_ += kTickMs) > kEditorLimitMs)
            finish(1, QStringLiteral("the editor did not open; is a TA on the ports?"));
        break;
    case Step::EditorPages:
        if (!progressSaved_)
            std::cerr << "tautil: screenshots: the query ended before its progress window was drawn at "
                      << kProgressShownAtPercent << "%; try a slower TA (tasim --baud 9600)" << std::endl;
        saveEditorPages();
        if (w_.fDBG.isVisible())
            save(w_.fDBG, "debug-log.png");
        finish(0);
        break;
    case Step::Done:
        break;
    }
}

void ScreenshotTour::saveEditorPages()
{
    for (const EditorShot& shot : kEditorShots) {
        QTreeWidgetItem* node = w_.fDetail.nodeOf(w_.fDetail.page(shot.page));
        if (!node)
            continue;
        w_.fDetail.tree()->setCurrentItem(node);
        QCoreApplication::processEvents();
        save(w_.fDetail, shot.file);
    }
}

void ScreenshotTour::finish(int exitCode, const QString& problem)
{
    step_ = Step::Done;
    timer_.stop();
    if (!problem.isEmpty())
        std::cerr << "tautil: screenshots: " << problem.toLocal8Bit().constData() << std::endl;
    QCoreApplication::exit(exitCode);
}

} // namespace ta::app
