#include "ui/detail.h"

#include "profile/DefaultProfile.h"
#include "profile/ProfileFile.h"
#include "ui/Accessibility.h"
#include "ui/DetailPages.h"
#include "ui/Icons.h"
#include "ui/Messages.h"
#include "ui/ProgramSettings.h"
#include "ui/ScreenFit.h"
#include "ui/detailMaskEdit.h"
#include "ui/main.h"
#include "ui/progress.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>

namespace ta::ui {

namespace {

TfDetail::FileChooser& upgradeFileChooser()
{
    static TfDetail::FileChooser chooser;
    return chooser;
}

// The read-back after a submit is on unless the user turned it off. The
// choice kept under the first key was mostly the old default of off, kept
// by a user who once tried the box: it is forgotten, and the box starts on.
const QString kVerifyKey = QStringLiteral("editor/verifyAfterSubmitChoice");
const QString kVerifyKeyWhenOffByDefault = QStringLiteral("editor/verifyAfterSubmit");

bool rememberedVerify()
{
    QSettings settings = programSettings();
    settings.remove(kVerifyKeyWhenOffByDefault);
    return settings.value(kVerifyKey, true).toBool();
}

void rememberVerify(bool on) { programSettings().setValue(kVerifyKey, on); }

// Firmware comes as a binary image, "*.bin"; any other file may still be one.
QString chooseFirmware(QWidget* parent)
{
    QFileDialog dialog(parent, QStringLiteral("Open Firmware Image"), QString(),
                       QStringLiteral("Firmware images (*.bin);;All files (*)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    keepOnScreen(&dialog, Placement::Centred);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

// The platform's key for a standard command, or the usual one where the
// platform has none.
QKeySequence keyFor(QKeySequence::StandardKey standard, Qt::Key letter)
{
    const QKeySequence key(standard);
    return key.isEmpty() ? QKeySequence(Qt::CTRL | letter) : key;
}

} // namespace

TfDetail::TfDetail(link::AppContext& ctx, ProfileDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint), ctx_(ctx),
      dialogs_(dialogs)
{
    setObjectName(QStringLiteral("fDetail"));
    installAccessibility();
    // The toolbar is fixed: no menu to hide it.
    setContextMenuPolicy(Qt::PreventContextMenu);
    ctx_.firmwareVersion.clear();
    buildToolBar();
    buildStatusLine();
    buildTree();
    buildPages();
    registerControls();
    bindPagesToTree();
    connectHandlers();
    addPaneKeys();
    tvTree_->expandAll();
    selectPage(page(2));
    if (!ctx_.switches.x25OnD)
        dropX25();
    if (!ctx_.switches.sysDateTime)
        hideSysDateTime();
    setWindowTitle(baseTitle());
    resize(712, 567);
    keepOnScreen(this, Placement::Centred);
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
}

QString TfDetail::baseTitle() { return mainCaption(); }

void TfDetail::setUpgradeFileChooser(FileChooser chooser) { upgradeFileChooser() = std::move(chooser); }

void TfDetail::buildToolBar()
{
    toolBar1_ = new QToolBar(this);
    toolBar1_->setObjectName(QStringLiteral("ToolBar1"));
    toolBar1_->setMovable(false);
    toolBar1_->setFloatable(false);
    toolBar1_->setIconSize(QSize(16, 16));
    // Captions must fit the 68-pixel buttons under their icons.
    QFont small = toolBar1_->font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    toolBar1_->setFont(small);
    addToolBar(Qt::TopToolBarArea, toolBar1_);
    const QKeySequence defaults(Qt::CTRL | Qt::Key_D);
    const QKeySequence submit(Qt::CTRL | Qt::Key_T);
    const QKeySequence upgrade(Qt::CTRL | Qt::Key_G);
    const ToolCommand commands[] = {
        {"ToolButton4", "Load Default", "document-revert", OwnIcon::Reload, defaults, &TfDetail::ToolButton4Click},
        {"ToolButton1", "Load", "document-open", OwnIcon::Open, keyFor(QKeySequence::Open, Qt::Key_O),
         &TfDetail::ToolButton1Click},
        {"tbSave", "Save", "document-save", OwnIcon::Save, keyFor(QKeySequence::Save, Qt::Key_S),
         &TfDetail::tbSaveClick},
        {"tbSubmit", "Submit to TA", "document-send", OwnIcon::Send, submit, &TfDetail::tbSubmitClick},
        {"tbUpgrade", "Upgrade", "system-software-update", OwnIcon::Upgrade, upgrade, &TfDetail::tbUpgradeClick},
        {"tbExit", "Exit", "application-exit", OwnIcon::Exit, keyFor(QKeySequence::Quit, Qt::Key_Q),
         &TfDetail::tbExitClick},
    };
    for (const ToolCommand& command : commands) {
        addToolButton(command);
        if (command.handler == &TfDetail::tbSubmitClick)
            addVerifyBox();
    }
}

// With Submit, as it changes what Submit does; a choice of the user's, not
// of the profile, so it is kept in the program's settings.
void TfDetail::addVerifyBox()
{
    ckVerify_ = new QCheckBox(QStringLiteral("Verify after submit"), toolBar1_);
    ckVerify_->setObjectName(QStringLiteral("ckVerify"));
    ckVerify_->setToolTip(QStringLiteral("Read the TA back after Submit to TA and list what it did not take"));
    ckVerify_->setFocusPolicy(Qt::TabFocus); // like the buttons: a click leaves the focus in the field
    ckVerify_->setChecked(rememberedVerify());
    connect(ckVerify_, &QCheckBox::toggled, this, rememberVerify);
    toolBar1_->addWidget(ckVerify_);
}

QToolButton* TfDetail::addToolButton(const ToolCommand& command)
{
    const QString caption = QLatin1String(command.caption);
    auto* action = new QAction(themedIcon(command.themeIcon, command.ownIcon), caption, this);
    action->setShortcut(command.key);
    action->setToolTip(caption + QStringLiteral(" (") + command.key.toString(QKeySequence::NativeText) +
                       QLatin1Char(')'));
    connect(action, &QAction::triggered, this, command.handler);
    addAction(action); // the key works wherever the focus is in the window

    auto* button = new QToolButton(toolBar1_);
    button->setObjectName(QLatin1String(command.name));
    button->setDefaultAction(action);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setFixedSize(kToolButtonSize);
    // Reached by Tab, but a click leaves the focus where it was, so a spin
    // field being typed in is read as typed (the binding settles the value).
    button->setFocusPolicy(Qt::TabFocus);
    toolBar1_->addWidget(button);
    return button;
}

void TfDetail::buildPages()
{
    pcDetail_ = new QStackedWidget;
    pcDetail_->setObjectName(QStringLiteral("pcDetail"));
    QFont bold = pcDetail_->font();
    bold.setBold(true);
    pcDetail_->setFont(bold);
    pages::buildDevicePages(pcDetail_);
    pages::buildDataPortPages(pcDetail_, false);
    pages::buildDataPortPages(pcDetail_, true);
    pages::fitFieldsToFont(pcDetail_);

    splitter1_ = new QSplitter(Qt::Horizontal);
    splitter1_->setObjectName(QStringLiteral("Splitter1"));
    splitter1_->setHandleWidth(2);
    splitter1_->setChildrenCollapsible(false);
    splitter1_->addWidget(tvTree_);
    splitter1_->addWidget(pcDetail_);
    splitter1_->setStretchFactor(0, 0); // the tree keeps its width
    splitter1_->setStretchFactor(1, 1);
    splitter1_->setSizes({kTreeWidth, 712 - kTreeWidth});
    setCentralWidget(splitter1_);
}

void TfDetail::registerControls()
{
    for (QWidget* widget : pcDetail_->findChildren<QWidget*>())
        if (!widget->objectName().isEmpty())
            controls_.insert(widget->objectName(), widget);
}

QWidget* TfDetail::page(int number) const
{
    return pcDetail_->findChild<QWidget*>(QStringLiteral("PG%1").arg(number), Qt::FindDirectChildrenOnly);
}

QWidget* TfDetail::visiblePage() const { return pcDetail_->currentWidget(); }

void TfDetail::ToolButton4Click()
{
    if (!confirmBox(this, QStringLiteral("Load default setting! Are you sure?")))
        return;
    buildDefaultProfile(ctx_.workingProfile, ctx_.switches.x25OnD, ctx_.switches.sysDateTime);
    showProfile();
    setProfileFile(QString());
}

void TfDetail::ToolButton1Click()
{
    const QString path = dialogs_.chooseOpen(this);
    if (path.isEmpty())
        return;
    const std::string file = QFile::encodeName(path).toStdString();
    std::size_t trailing = 0;
    if (const auto loaded = loadProfileFile(file, ctx_.workingProfile, &trailing); !loaded) {
        // The record and the controls are untouched; say why nothing changed.
        showMessageBox(this, QString::fromLocal8Bit(loaded.error()));
        return;
    }
    QWidget* shown = visiblePage();
    showProfile();
    pcDetail_->setCurrentWidget(shown);
    setProfileFile(path);
    if (trailing > 0)
        showMessageBox(this, QString::fromLocal8Bit(trailingBytesWarning(file, trailing)), MessageKind::Information);
    warnOfRuleBreaks(this, path, ctx_.workingProfile);
}

// A toolbar command or its key leaves the focus where it was, so a date or
// time being typed has not been checked yet: half filled, it stops the
// command as leaving the field would.
bool TfDetail::focusedFieldAccepted()
{
    auto* masked = qobject_cast<TMaskEdit*>(focusWidget());
    return !masked || masked->acceptsLeaving();
}

void TfDetail::tbSaveClick() { saveToFile(); }

bool TfDetail::saveToFile()
{
    if (!focusedFieldAccepted())
        return false;
    collectProfile();
    const QString path = dialogs_.chooseSave(this);
    if (path.isEmpty())
        return false;
    const auto saved = saveProfileFile(QFile::encodeName(path).toStdString(), ctx_.workingProfile);
    // The save goes through a temporary file, so a failure leaves any older
    // file as it was; the user must learn that this one was not written.
    if (!saved) {
        showMessageBox(this, QString::fromLocal8Bit(saved.error()));
        return false;
    }
    setProfileFile(path);
    markUnchanged();
    showConfirmation(QStringLiteral("Profile saved to %1").arg(QDir::toNativeSeparators(path)));
    return true;
}

void TfDetail::setWorking(bool working)
{
    if (working && isEnabled())
        focusWhileWorking_ = focusWidget();
    setEnabled(!working);
    if (!working && focusWhileWorking_ && focusWhileWorking_->isVisible())
        focusWhileWorking_->setFocus(Qt::OtherFocusReason);
}

void TfDetail::buildStatusLine()
{
    lbConnection_ = new QLabel;
    lbConnection_->setObjectName(QStringLiteral("lbConnection"));
    lbProfileFile_ = new QLabel;
    lbProfileFile_->setObjectName(QStringLiteral("lbProfileFile"));
    // A file named "<b>site</b>.cfg" or a port typed so is shown as named.
    lbConnection_->setTextFormat(Qt::PlainText);
    lbProfileFile_->setTextFormat(Qt::PlainText);
    statusBar()->addWidget(lbConnection_, 1);
    statusBar()->addPermanentWidget(lbProfileFile_);
    statusBar()->setSizeGripEnabled(false);
    showConnection(QString());
}

void TfDetail::showConnection(const QString& description)
{
    lbConnection_->setText(description.isEmpty() ? QStringLiteral("Not connected") : description);
}

void TfDetail::setProfileFile(const QString& path)
{
    dialogs_.setCurrentFile(path);
    showProfileFile();
}

void TfDetail::showProfileFile()
{
    const QString& path = dialogs_.currentFile();
    lbProfileFile_->setText(QFileInfo(path).fileName());
    lbProfileFile_->setToolTip(QDir::toNativeSeparators(path));
}

void TfDetail::tbSubmitClick()
{
    if (focusedFieldAccepted())
        emit submitRequested();
}

void TfDetail::tbUpgradeClick()
{
    if (!focusedFieldAccepted())
        return;
    const QString path = upgradeFileChooser() ? upgradeFileChooser()() : chooseFirmware(this);
    if (path.isEmpty())
        return;
    if (!confirmBox(this, QStringLiteral("Upgrade firmware! Are you sure?")))
        return;
    emit upgradeRequested(path);
}

void TfDetail::tbExitClick() { emit exitRequested(); }

void TfDetail::closeEvent(QCloseEvent* event)
{
    if (closingAllowed_) {
        event->accept();
        return;
    }
    event->ignore();
    // A close from the window manager is the same request as "Exit". Guard
    // against a handler that answers by asking every window to close again.
    if (exitInProgress_)
        return;
    exitInProgress_ = true;
    emit exitRequested();
    exitInProgress_ = false;
}

bool TfDetail::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit)
        closingAllowed_ = true;
    return QMainWindow::eventFilter(watched, event);
}

void TfDetail::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    fitToolBar();
}

// Where the window is narrower than the toolbar with its captions, the
// buttons show their icons only (the captions stay in the tooltips and for
// screen readers), so that every command and "Verify after submit" stay in
// sight and within reach of Tab.
void TfDetail::fitToolBar()
{
    const QList<QToolButton*> buttons = toolBar1_->findChildren<QToolButton*>(QString(), Qt::FindDirectChildrenOnly);
    if (fullToolBarWidth_ == 0)
        fullToolBarWidth_ = toolBar1_->sizeHint().width();
    const bool compact = width() < fullToolBarWidth_;
    const QSize size = compact ? QSize(kToolButtonSize.height(), kToolButtonSize.height()) : kToolButtonSize;
    for (QToolButton* button : buttons) {
        if (!button->defaultAction())
            continue; // the toolbar's own extension button
        button->setToolButtonStyle(compact ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextUnderIcon);
        button->setFixedSize(size);
    }
}

void TfDetail::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (shownBefore_)
        return;
    shownBefore_ = true;
    widenToShowPages(treeWidthForCaptions());
    // On a narrow screen the page keeps the larger part; the tree scrolls.
    const int treeWidth = std::min(treeWidthForCaptions(), std::max(kTreeWidth, splitter1_->width() * 2 / 5));
    splitter1_->setSizes({treeWidth, std::max(0, splitter1_->width() - treeWidth)});
    tvTree_->setFocus(Qt::OtherFocusReason);
}

// The window grows, within the screen, until the widest page fits beside the
// tree: a larger font or a long caption must not leave text cut or hidden
// behind a scroll bar. Where the screen is too small, the pages scroll.
void TfDetail::widenToShowPages(int treeWidth)
{
    int widestPage = 0;
    for (auto* pg : pcDetail_->findChildren<QScrollArea*>(QString(), Qt::FindDirectChildrenOnly))
        widestPage = std::max(widestPage, pg->widget()->sizeHint().width());
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const int chrome = width() - splitter1_->width(); // window margins beside the splitter
    const int wanted = chrome + treeWidth + splitter1_->handleWidth() + widestPage + scrollBar;
    if (wanted > width())
        fitOnScreen(this, QSize(wanted, height()));
}

} // namespace ta::ui
