// TfDetail: the settings editor. A toolbar, a tree of settings pages and the
// page of the selected node. It edits the program's working profile through
// the binding (showProfile / collectProfile); the link does the talking to
// the TA when the editor raises submitRequested or upgradeRequested.
#pragma once

#include "link/Context.h"
#include "ui/Binding.h"
#include "ui/Icons.h"
#include "ui/ProfileDialogs.h"

#include <QHash>
#include <QKeySequence>
#include <QMainWindow>
#include <QPointer>
#include <QStyle>

#include <functional>

class QCheckBox;
class QLabel;
class QSplitter;
class QStackedWidget;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace ta::ui {

class TRadioGroup;

class TfDetail : public QMainWindow {
    Q_OBJECT
public:
    // FormCreate: builds the window; it stays hidden.
    TfDetail(link::AppContext& ctx, ProfileDialogs& dialogs, QWidget* parent = nullptr);

    void showProfile();    // ctx.workingProfile -> every bound control
    void collectProfile(); // every bound control -> ctx.workingProfile, the charge clear and verify boxes
    // "Verify after submit", beside "Submit to TA"; remembered between runs.
    QCheckBox* verifyAfterSubmit() const { return ckVerify_; }
    void presentEditor();  // title, pruning, show
    void removeX25Support();
    void hideSysDateTime();
    // The bound controls into a record, as collectProfile into workingProfile:
    // what a submit would send, checked against the field rules first.
    void collectProfileInto(TaProfile& profile);
    void chargeTextsChanged(); // ctx.chargeLast / chargeAcc -> the charge fields
    // The status line: where the TA is ("" while none is connected) and the
    // profile file worked on.
    void showConnection(const QString& description);
    void setProfileFile(const QString& path);
    // Disabled while the link works with the TA; enabled again, the field the
    // user was in has the focus back.
    void setWorking(bool working);

    void removeRs232Branch();
    void removeUsbBranch();

    // Whether the controls hold settings other than those last loaded, read
    // from the TA, saved or written to it (a value typed and typed back is
    // no change).
    bool hasUnsavedChanges();
    // The settings as the controls hold them were saved or written to the TA.
    void markUnchanged();
    // Before the program ends: asks what becomes of unsaved changes; Save
    // goes through the save dialog. False when the user stays in the editor.
    bool settleUnsavedChanges();
    // A brief confirmation in the status line.
    void showConfirmation(const QString& text);

    // How the user knows the setting at this offset of the profile record:
    // "RS232 Port > Advance Setting > Advance options > Auto Answer"; empty
    // for a field no control shows.
    QString settingName(std::size_t offset) const;
    // The field's value (its bytes) as that setting's control shows it.
    QString settingValue(std::size_t offset, const uint8_t* field);

    // A control of the pages by its name, or nullptr.
    QWidget* control(const QString& name) const { return controls_.value(name); }
    template <class T>
    T* control(const QString& name) const
    {
        return qobject_cast<T*>(control(name));
    }
    QTreeWidget* tree() const { return tvTree_; }
    QStackedWidget* pageArea() const { return pcDetail_; }
    QWidget* page(int number) const;
    QWidget* visiblePage() const;
    // The first tree node attached to a page, or nullptr.
    QTreeWidgetItem* nodeOf(const QWidget* page) const;
    binding::CodeTables& codeTables() { return codeTables_; }

    // Lets a close through from now on. The program's own quit
    // (QCoreApplication::quit, which asks every visible window) does this by
    // itself; until then a close request counts as "Exit".
    void allowClose() { closingAllowed_ = true; }

    static QString baseTitle();
    // For tests: choose the firmware file without a dialog.
    using FileChooser = std::function<QString()>;
    static void setUpgradeFileChooser(FileChooser chooser);

signals:
    void submitRequested();
    void upgradeRequested(const QString& path);
    void exitRequested();

public slots:
    void ToolButton4Click(); // Load Default
    void ToolButton1Click(); // Load
    void tbSaveClick();
    void tbSubmitClick();
    void tbUpgradeClick();
    void tbExitClick();
    void tvTreeChange();
    // F6 or Ctrl+Tab: from the tree to the page and back.
    void switchPane();
    void ckFixMPClick(bool checked);
    void ckUsbFixMPClick(bool checked);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct ToolCommand {
        const char* name;
        const char* caption;
        const char* themeIcon;
        OwnIcon ownIcon;
        QKeySequence key;
        void (TfDetail::*handler)();
    };
    void buildToolBar();
    QToolButton* addToolButton(const ToolCommand& command);
    void addVerifyBox();
    static constexpr QSize kToolButtonSize{68, 36};
    void fitToolBar();
    void buildStatusLine();
    void showProfileFile();
    static constexpr int kTreeWidth = 145; // the narrowest the tree starts
    void buildTree();
    int treeWidthForCaptions() const;
    void widenToShowPages(int treeWidth);
    void buildPages();
    void registerControls();
    void bindPagesToTree();
    void connectHandlers();
    void addPaneKeys();

    // Tree pruning; a node already gone is skipped.
    void deleteNode(QTreeWidgetItem* node);
    void deleteNodeOf(int pageNumber);
    void deleteBranch(const QString& caption, std::initializer_list<int> pageNumbers);
    void dropX25(); // the X.25 pages and call type
    void keepSelectionValid();
    void selectPage(QWidget* pg);

    bool focusedFieldAccepted();
    bool saveToFile(); // true when the file was written
    TaProfile collectedProfile();
    void fixedMpClicked(bool usb, bool checked);
    void showMultilinkGroups(bool usb, bool visible);
    void syncChargeBoxes();

    link::AppContext& ctx_;
    ProfileDialogs& dialogs_;
    binding::CodeTables codeTables_;
    binding::LoadedValues loadedValues_;
    TaProfile unchanged_{}; // the controls' settings when last loaded, saved or submitted
    QHash<QString, QWidget*> controls_;
    bool x25Removed_ = false;
    bool shownBefore_ = false;
    bool closingAllowed_ = false;
    bool selectionLost_ = false;
    bool exitInProgress_ = false;

    QPointer<QWidget> focusWhileWorking_;
    QToolBar* toolBar1_ = nullptr;
    QCheckBox* ckVerify_ = nullptr;
    int fullToolBarWidth_ = 0; // with the captions under the icons
    QLabel* lbConnection_ = nullptr;
    QLabel* lbProfileFile_ = nullptr;
    QSplitter* splitter1_ = nullptr;
    QTreeWidget* tvTree_ = nullptr;
    QStackedWidget* pcDetail_ = nullptr;
};

} // namespace ta::ui
