#include "ui/GuiScreen.h"

#include "link/Failures.h"
#include "link/port/PortList.h"
#include "link/TaLink.h"
#include "ui/Messages.h"

#include <QCoreApplication>
#include <QFile>

namespace ta::ui {

namespace {

constexpr int kDifferencesInText = 15; // more go below, behind the details button

const QString kTransferRunsText = QStringLiteral(
    "The firmware is being sent to the TA. The transfer cannot be stopped: a TA left with half its firmware "
    "may not start again. Please wait until it has ended.");
const QString kStopToEndText = QStringLiteral(
    "The TA is still being worked with. Stop at the next command and end the program?\n\n"
    "A submit stopped half way leaves the TA with only some of the new settings.");
const QString kChoosePortText = QStringLiteral(
    "\nIf the TA is on another port, choose it under \"Port:\" and press Next> again.");

// What the TA and the link tell that is no failure.
bool isNews(const std::string& text)
{
    return text == ta::link::kQueryCancelledText || text == ta::link::kSubmitCancelledEarlyText ||
           text == ta::link::kUpgradeCancelledEarlyText || text == ta::link::kReadBackCancelledText;
}

} // namespace

QString fromLink(const std::string& text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

GuiWindows::GuiWindows(ta::link::AppContext& ctx, const std::vector<std::string>& arguments)
    : fMain(ctx, arguments), fDetail(ctx, fMain.dialogs()), ctx_(ctx)
{
}

void GuiWindows::show()
{
    fMain.show();
    fDBG.FormCreate(ctx_, &fMain);
}

GuiScreen::GuiScreen(GuiWindows& windows)
    : w_(windows), terminate_([] { QCoreApplication::exit(0); })
{
    w_.fMain.setScreen(this);
}

QString portShownAs(const std::string& portName)
{
    const ta::link::PortCandidate port = ta::link::portInUse(portName);
    return fromLink(port.path.empty() ? portName : port.path);
}

bool mayEndDuringExchange(QWidget* window, const ta::link::TaLink& link)
{
    if (link.transferring()) {
        showMessageBox(window, kTransferRunsText);
        return false;
    }
    return !link.busy() || confirmBox(window, kStopToEndText);
}

void connectWizard(TfMain& wizard, ta::link::TaLink& link)
{
    QObject::connect(&wizard, &TfMain::localChosen, &wizard, [&link] { link.chooseLocal(); });
    QObject::connect(&wizard, &TfMain::remoteChosen, &wizard, [&link](const QString& number) {
        link.chooseRemote(number.toLatin1().toStdString());
    });
    QObject::connect(&wizard, &TfMain::queryRequested, &wizard, [&link] { link.requestQuery(); });
    QObject::connect(&wizard, &TfMain::endRequested, &wizard, [&wizard, &link] {
        if (!link.busy())
            link.endSession();
        else if (mayEndDuringExchange(&wizard, link))
            link.requestExit();
    });
}

void connectEditor(TfDetail& editor, ta::link::TaLink& link)
{
    QObject::connect(&editor, &TfDetail::submitRequested, &editor, [&link] { link.requestSubmit(); });
    QObject::connect(&editor, &TfDetail::upgradeRequested, &editor, [&link](const QString& path) {
        link.requestUpgrade(QFile::encodeName(path).toStdString());
    });
    QObject::connect(&editor, &TfDetail::exitRequested, &editor, [&editor, &link] {
        if (mayEndDuringExchange(&editor, link) && editor.settleUnsavedChanges())
            link.requestExit();
    });
}

void connectCallWindow(TfCRemote& window, ta::link::TaLink& link)
{
    QObject::connect(&window, &TfCRemote::cancelRequested, &window, [&link] { link.cancelCall(); });
}

// The transfer refuses to stop, with its reason; anything else stops at its
// next command.
void connectProgressWindow(TfProgress& window, ta::link::TaLink& link)
{
    QObject::connect(&window, &TfProgress::cancelRequested, &window, [&window, &link] {
        if (link.transferring())
            showMessageBox(&window, kTransferRunsText);
        else
            link.cancelExchange();
    });
}

void GuiScreen::connectLink(ta::link::TaLink& link)
{
    link_ = &link;
    connectWizard(w_.fMain, link);
    connectEditor(w_.fDetail, link);
    connectCallWindow(w_.fCRemote, link);
    connectProgressWindow(w_.fProgress, link);
}

// A box belongs to the window the user is working in, so that it stays on
// top of it; with neither window up it stands alone.
QWidget* GuiScreen::messageOwner() const
{
    if (w_.fDetail.isVisible())
        return &w_.fDetail;
    if (w_.fMain.isVisible())
        return &w_.fMain;
    return nullptr;
}

void GuiScreen::showMessage(const std::string& text)
{
    showMessageBox(messageOwner(), fromLink(text), isNews(text) ? MessageKind::Information : MessageKind::Warning);
}

// The details name device paths and USB product strings: the system's text.
// On the wizard, a TA not found, or a port that cannot be opened (a network
// port mistyped, a console server down), leads to the port choice.
void GuiScreen::showDetailedMessage(const std::string& text, const std::string& details)
{
    QString shown = QString::fromLocal8Bit(details);
    if ((text == ta::link::kNoTaText || text == ta::link::kNoFreePortText) && wizardVisible())
        shown += kChoosePortText;
    showMessageBox(messageOwner(), fromLink(text), shown);
}

void GuiScreen::logLine(const std::string& line) { w_.fDBG.appendLine(std::string_view(line)); }

QString GuiScreen::connectionText() const
{
    if (!link_ || !link_->identified())
        return {};
    const ta::link::AppContext& ctx = w_.context();
    const QString model = ctx.taModel.empty() ? QStringLiteral("TA") : fromLink(ctx.taModel);
    const QString port = portShownAs(link_->portName());
    if (ctx.remoteChosen)
        return model + QStringLiteral(" at ") + fromLink(ctx.remoteNumber) + QStringLiteral(" via ") + port;
    return model + QStringLiteral(" on ") + port;
}

void GuiScreen::refreshConnection() { w_.fDetail.showConnection(connectionText()); }

bool GuiScreen::wizardVisible() { return w_.fMain.isVisible(); }

void GuiScreen::enableWizard(bool on) { w_.fMain.setEnabled(on); }

void GuiScreen::focusWizard()
{
    w_.fMain.raise();
    w_.fMain.activateWindow();
}

void GuiScreen::showWizardProfilePage() { w_.fMain.showProfilePage(); }

void GuiScreen::hideWizard() { w_.fMain.hide(); }

bool GuiScreen::editorVisible() { return w_.fDetail.isVisible(); }

void GuiScreen::enableEditor(bool on)
{
    w_.fDetail.setWorking(!on);
    refreshConnection();
}

void GuiScreen::focusEditor()
{
    w_.fDetail.raise();
    w_.fDetail.activateWindow();
}

void GuiScreen::showProfile() { w_.fDetail.showProfile(); }

void GuiScreen::collectProfile() { w_.fDetail.collectProfile(); }

void GuiScreen::presentEditor()
{
    refreshConnection();
    w_.fDetail.presentEditor();
}

void GuiScreen::removeX25Support() { w_.fDetail.removeX25Support(); }

void GuiScreen::hideSysDateTime() { w_.fDetail.hideSysDateTime(); }

void GuiScreen::collectProfileInto(ta::TaProfile& profile) { w_.fDetail.collectProfileInto(profile); }

void GuiScreen::chargeTextsChanged() { w_.fDetail.chargeTextsChanged(); }

void GuiScreen::setProgressCaption(const std::string& caption) { w_.fProgress.setWindowTitle(fromLink(caption)); }

// The gauge refuses a maximum below its minimum; a sequence with nothing to
// do keeps the previous maximum rather than ending the program.
void GuiScreen::setProgressMax(int max)
{
    TCGauge& gauge = *w_.fProgress.cgPrgs;
    if (max >= gauge.MinValue())
        gauge.SetMaxValue(max);
}

void GuiScreen::setProgress(int position) { w_.fProgress.cgPrgs->SetProgress(position); }

// Shown, the window takes the keyboard, so that Escape reaches its Cancel.
void GuiScreen::showProgress(bool visible)
{
    w_.fProgress.setVisible(visible);
    if (visible) {
        w_.fProgress.raise();
        w_.fProgress.activateWindow();
        if (w_.fProgress.btnCancel->isEnabled())
            w_.fProgress.btnCancel->setFocus(Qt::OtherFocusReason);
    }
    refreshConnection();
}

void GuiScreen::setProgressCancellable(bool on) { w_.fProgress.setCancellable(on); }

void GuiScreen::showConnecting(bool visible) { w_.fCRemote.setVisible(visible); }

void GuiScreen::setCallingText(const std::string& dots) { w_.fCRemote.setCallingText(fromLink(dots)); }

void GuiScreen::showRebooting(bool visible)
{
    w_.fRTick.setVisible(visible);
    refreshConnection();
}

void GuiScreen::setTickText(const std::string& text) { w_.fRTick.setTickText(fromLink(text)); }

void GuiScreen::queryDone()
{
    if (link_)
        w_.fDetail.showConfirmation(
            QStringLiteral("%1 settings read from %2").arg(link_->settingsRead()).arg(connectionText()));
}

void GuiScreen::submitDone()
{
    w_.fDetail.markUnchanged();
    if (link_)
        w_.fDetail.showConfirmation(
            QStringLiteral("%1 settings written to %2").arg(link_->settingsWritten()).arg(connectionText()));
}

std::string GuiScreen::settingText(std::size_t offset, const uint8_t* field)
{
    const QString name = w_.fDetail.settingName(offset);
    if (name.isEmpty())
        return {};
    const QString value = field ? QStringLiteral(": ") + w_.fDetail.settingValue(offset, field) : QString();
    return (name + value).toLocal8Bit().toStdString();
}

// "RS232 Port > Local DN and Call Type > Local Directory Number > Address:
// 0897654321 -> 0301234567", values as the editor shows them.
QString GuiScreen::differenceText(const ta::atcmd::Difference& difference)
{
    const QString name = w_.fDetail.settingName(difference.offset);
    if (name.isEmpty())
        return fromLink(ta::atcmd::differenceLine(difference));
    const auto bytes = [](const std::string& raw) { return reinterpret_cast<const uint8_t*>(raw.data()); };
    return name + QStringLiteral(": ") + w_.fDetail.settingValue(difference.offset, bytes(difference.sentBytes)) +
           QStringLiteral(" -> ") + w_.fDetail.settingValue(difference.offset, bytes(difference.taBytes));
}

void GuiScreen::readBackDone(const std::vector<ta::atcmd::Difference>& differences)
{
    // A read-back the submit ran by itself says why, and what it wrote again.
    QString restart;
    for (const std::string& note : link_ ? link_->writeNotes() : std::vector<std::string>{})
        restart += fromLink(note) + QLatin1Char('\n');
    if (differences.empty()) {
        showMessageBox(messageOwner(), restart + QStringLiteral("The TA took every value."), MessageKind::Information);
        return;
    }
    QStringList lines;
    for (const ta::atcmd::Difference& difference : differences)
        lines << differenceText(difference);
    QString text = restart + QStringLiteral("The TA did not take every value (setting: sent -> TA has):\n\n");
    if (lines.size() <= kDifferencesInText) {
        showMessageBox(messageOwner(), text + lines.join(QLatin1Char('\n')));
        return;
    }
    text += lines.mid(0, kDifferencesInText).join(QLatin1Char('\n')) +
            QStringLiteral("\n... and %1 more").arg(lines.size() - kDifferencesInText);
    showMessageBox(messageOwner(), text, lines.join(QLatin1Char('\n')));
}

void GuiScreen::terminate()
{
    w_.fDetail.allowClose();
    if (terminate_)
        terminate_();
}

} // namespace ta::ui
