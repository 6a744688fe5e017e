#include "ui/progress.h"

#include "ui/Accessibility.h"
#include "ui/ScreenFit.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

#include <algorithm>

namespace ta::ui {

namespace {

QFrame* makeFrame(QWidget* parent, const char* name, QFrame::Shape shape, QFrame::Shadow shadow)
{
    auto* frame = new QFrame(parent);
    frame->setObjectName(QLatin1String(name));
    frame->setFrameStyle(shape | shadow);
    return frame;
}

TCGauge* makeGauge(QWidget* parent)
{
    auto* gauge = new TCGauge(parent);
    gauge->setObjectName(QStringLiteral("cgPrgs"));
    gauge->setGeometry(9, 10, 376, 31);
    gauge->setForeColor(Qt::blue);
    gauge->setAccessibleName(QStringLiteral("Progress"));
    return gauge;
}

} // namespace

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, int x, int y)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->move(x, y);
    label->adjustSize();
    return label;
}

void placeAfter(QLabel* label, int x, const QLabel* before)
{
    constexpr int gap = 4;
    label->adjustSize();
    label->move(std::max(x, before->geometry().right() + gap), label->y());
}

void centreOnScreen(QWidget* window)
{
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

void centreOnWindow(QWidget* window, const QWidget* over)
{
    if (!over || !over->isVisible()) {
        centreOnScreen(window);
        return;
    }
    QRect frame = window->frameGeometry();
    frame.moveCenter(over->frameGeometry().center());
    window->move(frame.topLeft());
}

// No title-bar buttons: only the sequence that showed it may hide it. Below
// the gauge, Cancel stops the exchange at its next command.
TfProgress::TfProgress(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      Bevel1(makeFrame(this, "Bevel1", QFrame::Panel, QFrame::Raised)),
      Bevel2(makeFrame(this, "Bevel2", QFrame::Box, QFrame::Sunken)),
      cgPrgs(makeGauge(this)),
      btnCancel(new QPushButton(QStringLiteral("Cancel"), this))
{
    constexpr int gaugeHeight = 51;
    constexpr int buttonRow = 36;
    setObjectName(QStringLiteral("fProgress"));
    exposeAsDialog(this);
    keepOnScreen(this, Placement::Centred);
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Querying current setting"));
    setFixedSize(392, gaugeHeight + buttonRow);
    Bevel1->setGeometry(0, 0, 392, gaugeHeight + buttonRow);
    Bevel2->setGeometry(8, 9, 302, 33);
    cgPrgs->SetMaxValue(0);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->adjustSize();
    btnCancel->move(392 - 9 - btnCancel->width(), gaugeHeight + (buttonRow - btnCancel->height()) / 2 - 4);
    connect(btnCancel, &QPushButton::clicked, this, &TfProgress::requestCancel);
}

void TfProgress::setCancellable(bool on)
{
    cancellable_ = on;
    btnCancel->setEnabled(on);
}

void TfProgress::requestCancel()
{
    if (cancellable_)
        btnCancel->setEnabled(false); // once is enough; the stop comes at the next command
    emit cancelRequested();
}

void TfProgress::showEvent(QShowEvent* event)
{
    centreOnScreen(this);
    QWidget::showEvent(event);
}

void TfProgress::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && btnCancel->isEnabled())
        requestCancel();
    else
        QWidget::keyPressEvent(event);
}

// A close from the window manager asks for the same as Cancel; the window
// goes when the exchange has stopped.
void TfProgress::closeEvent(QCloseEvent* event)
{
    event->ignore();
    requestCancel();
}

} // namespace ta::ui
