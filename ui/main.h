// TfMain: the main wizard. Two pages ask which TA to configure and where the
// profile comes from; then the profile is loaded and the detail editor takes
// over for the rest of the run. What needs the TA goes out as signals; the
// screen that hands over to the editor is set after every window exists.
#pragma once

#include "link/Context.h"
#include "ui/ProfileDialogs.h"

#include <QWidget>

#include <string>
#include <vector>

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace ta::link {
class Screen;
} // namespace ta::link

namespace ta::ui {

class TFilterAlignEdit;

// "Brimo Vela.Net Davo ISDN TA Utility Ver 1.2"
QString mainCaption();

class TfMain : public QWidget {
    Q_OBJECT
public:
    enum ProfileSource { psNone = -1, psReadFile = 0, psQueryTa = 1, psDefaults = 2 };

    // Reads the switches from the arguments (without the program name).
    TfMain(ta::link::AppContext& ctx, const std::vector<std::string>& arguments, QWidget* parent = nullptr);

    void setScreen(ta::link::Screen* screen) { screen_ = screen; }
    ProfileDialogs& dialogs() { return dialogs_; }

    // "Read from file" without the dialog: a loaded file goes straight to the
    // editor; a refused one is reported and the wizard stays.
    void openProfile(const std::string& fileName);

    void rbLocalTAClick();
    void rbRemoteTAClick();
    void btnNextClick();
    void btnCancelClick();

    // The port choice: "Automatic" (the search of COM1 to COM8), one of
    // the machine's serial ports, listed afresh whenever the list opens, a
    // network port used before, or a port typed in (a device path,
    // "rfc2217://HOST:PORT", "tcp://HOST:PORT", either with "+tls").
    void refreshPorts();
    std::string chosenPort() const;

    bool onProfilePage() const;
    void showProfilePage();
    int profileSource() const;
    void setProfileSource(int index); // psNone clears the choice

    QStackedWidget* const pcMain;
    QWidget* const PG0;
    QWidget* const PG2;
    QGroupBox* const rgTASel;
    QRadioButton* const rbLocalTA;
    QRadioButton* const rbRemoteTA;
    QLabel* const lbRemoteTel;
    TFilterAlignEdit* const eRemoteTel;
    QLabel* const lbPort;
    QComboBox* const cbPort;
    QGroupBox* const rgPrfSrc;
    QButtonGroup* const profileSources;
    QPushButton* const btnPrev;
    QPushButton* const btnNext;
    QPushButton* const btnCancel;

signals:
    // The TA choice; the remote one again whenever its number changes.
    void localChosen();
    void remoteChosen(const QString& number);
    void queryRequested();
    // Cancel, or a close request: the program ends the orderly way.
    void endRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FormCreate(const std::vector<std::string>& arguments);
    void buildLayout();
    void connectControls();
    void remoteTelEnabled(bool on);
    void loadFromFile();
    void loadDefaults();
    void handOver();

    ta::link::AppContext& ctx_;
    ProfileDialogs dialogs_;
    ta::link::Screen* screen_ = nullptr;
};

} // namespace ta::ui
