// The link's screen on the program's six windows: what a sequence asks for
// (a message, a log line, a window shown, enabled or filled) is done to the
// window it concerns. The windows reach the link one way: their signals,
// connected here to its verbs.
#pragma once

#include "link/Context.h"
#include "link/Screen.h"
#include "ui/dbg.h"
#include "ui/detail.h"
#include "ui/fCall.h"
#include "ui/fReboot.h"
#include "ui/main.h"
#include "ui/progress.h"

#include <functional>
#include <string>
#include <vector>

namespace ta::link {
class TaLink;
}

namespace ta::ui {

// The six windows, created in this order when the program starts and kept
// for the whole run; all hidden but the wizard, which show() puts up.
class GuiWindows {
public:
    GuiWindows(ta::link::AppContext& ctx, const std::vector<std::string>& arguments);

    // The wizard, then the debug window with its first line when the debug
    // switch is on (the wizard keeps the focus).
    void show();
    const ta::link::AppContext& context() const { return ctx_; }

    TfMain fMain;
    TfDetail fDetail;
    TfProgress fProgress;
    TfDBG fDBG;
    TfCRemote fCRemote;
    TfRTick fRTick;

private:
    ta::link::AppContext& ctx_;
};

class GuiScreen : public ta::link::Screen {
public:
    explicit GuiScreen(GuiWindows& windows);

    // The wizard, the editor's toolbar and the connecting window's Cancel
    // talk to this link from now on; the status line describes its TA.
    void connectLink(ta::link::TaLink& link);

    // What ends the program; the default leaves the event loop.
    using TerminateHandler = std::function<void()>;
    void setTerminateHandler(TerminateHandler handler) { terminate_ = std::move(handler); }

    void showMessage(const std::string& text) override;
    void showDetailedMessage(const std::string& text, const std::string& details) override;
    void logLine(const std::string& line) override;

    bool wizardVisible() override;
    void enableWizard(bool on) override;
    void focusWizard() override;
    void showWizardProfilePage() override;
    void hideWizard() override;

    bool editorVisible() override;
    void enableEditor(bool on) override;
    void focusEditor() override;
    void showProfile() override;
    void collectProfile() override;
    void presentEditor() override;
    void removeX25Support() override;
    void hideSysDateTime() override;
    void collectProfileInto(ta::TaProfile& profile) override;
    void chargeTextsChanged() override;

    void setProgressCaption(const std::string& caption) override;
    void setProgressMax(int max) override;
    void setProgress(int position) override;
    void showProgress(bool visible) override;
    void setProgressCancellable(bool on) override;

    void showConnecting(bool visible) override;
    void setCallingText(const std::string& dots) override;
    void showRebooting(bool visible) override;
    void setTickText(const std::string& text) override;

    void terminate() override;
    void queryDone() override;
    void submitDone() override;
    void readBackDone(const std::vector<ta::atcmd::Difference>& differences) override;
    std::string settingText(std::size_t offset, const uint8_t* field) override;

    // "QM7B2-HXN on /dev/ttyUSB0" while a TA is connected, else empty.
    QString connectionText() const;

private:
    QWidget* messageOwner() const;
    QString differenceText(const ta::atcmd::Difference& difference);
    // Called whenever a sequence starts, ends or fails.
    void refreshConnection();

    GuiWindows& w_;
    TerminateHandler terminate_;
    ta::link::TaLink* link_ = nullptr;
};

// Each window's requests to the link's verbs.
void connectWizard(TfMain& wizard, ta::link::TaLink& link);
void connectEditor(TfDetail& editor, ta::link::TaLink& link);
void connectCallWindow(TfCRemote& window, ta::link::TaLink& link);
void connectProgressWindow(TfProgress& window, ta::link::TaLink& link);

// Whether the program may end while the link may be busy: never during the
// firmware transfer (the user is told why), during any other exchange only
// when the user agrees to stop it.
bool mayEndDuringExchange(QWidget* window, const ta::link::TaLink& link);

// Texts from the TA and the link are 8-bit characters, one to one.
QString fromLink(const std::string& text);

// How the user knows the port the driver calls portName.
QString portShownAs(const std::string& portName);

} // namespace ta::ui
