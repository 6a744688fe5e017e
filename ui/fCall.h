// TfCRemote: the "Connecting" window shown while a remote TA is dialled.
// The link animates the dots and decides when it closes; Cancel (or a close
// of the window) is passed on.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace ta::ui {

class TfCRemote : public QWidget {
    Q_OBJECT
public:
    explicit TfCRemote(QWidget* parent = nullptr);

    void setCallingText(const QString& text);

    QLabel* const label1;
    QLabel* const lCalling;
    QPushButton* const btnCancel;

signals:
    void cancelRequested();

protected:
    void showEvent(QShowEvent* event) override;
    // Closing the window is Cancel: the link hides it once the call is down.
    void closeEvent(QCloseEvent* event) override;
};

} // namespace ta::ui
