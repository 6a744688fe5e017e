// TfProgress: the gauge window shown while a query, a submit or a firmware
// upgrade runs. The sequences drive it; it only shows what it is told.
#pragma once

#include "ui/Cgauges.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace ta::ui {

class TfProgress : public QWidget {
    Q_OBJECT
public:
    explicit TfProgress(QWidget* parent = nullptr);

    // Cancel is offered (not during the firmware transfer); a cancel asked
    // for waits, with the button off, until the exchange stops.
    void setCancellable(bool on);
    bool cancellable() const { return cancellable_; }

    QFrame* const Bevel1;
    QFrame* const Bevel2;
    TCGauge* const cgPrgs;
    QPushButton* const btnCancel;

signals:
    // Cancel, Escape, or a close of the window.
    void cancelRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void requestCancel();

    bool cancellable_ = true;
};

// Helpers shared by the status windows.
QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, int x, int y);
// Keeps a label at x, or just after `before` when a wider font pushes that
// one over it.
void placeAfter(QLabel* label, int x, const QLabel* before);
// Puts a top-level window in the middle of the screen it is on.
void centreOnScreen(QWidget* window);
// Puts a top-level window in the middle of another (the screen without one).
void centreOnWindow(QWidget* window, const QWidget* over);

} // namespace ta::ui
