// TfRTick: the "Rebooting Status" window with the countdown that the link
// runs while the TA restarts.
#pragma once

#include <QLabel>
#include <QWidget>

namespace ta::ui {

class TfRTick : public QWidget {
    Q_OBJECT
public:
    explicit TfRTick(QWidget* parent = nullptr);

    void setTickText(const QString& text);

    QLabel* const Label1;
    QLabel* const lTick;
};

} // namespace ta::ui
