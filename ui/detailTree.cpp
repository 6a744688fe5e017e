// The tree of settings pages: its nodes, their pages, pruning for the TA that
// was found, and page selection.
#include "ui/detail.h"

#include "ui/detailRadioGroup.h"

#include <QAbstractButton>
#include <QAction>
#include <QHeaderView>
#include <QPalette>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QStyle>
#include <QTreeWidget>

#include <utility>

namespace ta::ui {

namespace {

constexpr int kPageRole = Qt::UserRole;
constexpr int kNoPage = -1;

struct NodeSpec {
    const char* caption;
    int level;
    int page;
};

constexpr NodeSpec kNodes[] = {
    {"TA", 0, kNoPage},
    {"System", 1, 0},
    {"RS232 Port", 1, kNoPage},
    {"Local DN and Call Type", 2, 2},
    {"PPP/MP Parameters", 2, 3},
    {"X.25 Parameters", 2, 5},
    {"V.24 Signal", 2, 7},
    {"Incoming Call Screen", 2, 8},
    {"Outgoing Call Screen", 2, 9},
    {"Pre-stored Numbers", 2, 10},
    {"Advance Setting", 2, 11},
    {"USB Port", 1, kNoPage},
    {"Local DN and Call Type", 2, 22},
    {"PPP/MP Parameters", 2, 23},
    {"X.25 Parameters", 2, 25},
    {"V.24 Signal", 2, 27},
    {"Incoming Call Screen", 2, 28},
    {"Outgoing Call Screen", 2, 29},
    {"Pre-stored Numbers", 2, 30},
    {"Advance Setting", 2, 31},
    {"Analog Port", 1, kNoPage},
    {"Local DN and Options", 2, 12},
    {"Incoming Call Screen", 2, 13},
    {"Outgoing Call Screen", 2, 14},
    {"Pre-stored Numbers", 2, 16},
    {"Supplementary Service", 2, 17},
};

const QString kX25CallType = QStringLiteral("X.25 on D channel");

QStyle::StandardPixmap iconOf(const NodeSpec& node)
{
    if (node.level == 0)
        return QStyle::SP_ComputerIcon;
    if (node.page != kNoPage)
        return QStyle::SP_FileIcon;
    return QLatin1String(node.caption) == QLatin1String("Analog Port") ? QStyle::SP_MediaVolume
                                                                        : QStyle::SP_DriveNetIcon;
}

QWidget* pageOfNode(const QTreeWidgetItem* node)
{
    return node ? qobject_cast<QWidget*>(node->data(0, kPageRole).value<QObject*>()) : nullptr;
}

bool isWithin(const QTreeWidgetItem* node, const QTreeWidgetItem* ancestor)
{
    for (; node; node = node->parent())
        if (node == ancestor)
            return true;
    return false;
}

} // namespace

void TfDetail::buildTree()
{
    tvTree_ = new QTreeWidget;
    tvTree_->setObjectName(QStringLiteral("tvTree"));
    tvTree_->setAccessibleName(QStringLiteral("Settings pages"));
    tvTree_->setHeaderHidden(true);
    tvTree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvTree_->setMinimumWidth(40);
    // Long captions scroll sideways instead of being cut short.
    tvTree_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tvTree_->header()->setStretchLastSection(false);
    // The chosen node stays marked while the user works on its page.
    QPalette palette = tvTree_->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    tvTree_->setPalette(palette);

    QTreeWidgetItem* parents[3] = {};
    for (const NodeSpec& row : kNodes) {
        auto* node = row.level == 0 ? new QTreeWidgetItem(tvTree_) : new QTreeWidgetItem(parents[row.level - 1]);
        node->setText(0, QString::fromLatin1(row.caption));
        node->setIcon(0, style()->standardIcon(iconOf(row)));
        parents[row.level] = node;
    }
}

// Wide enough that no caption is cut and no sideways scrolling is needed,
// whatever the font; never narrower than the tree was designed.
int TfDetail::treeWidthForCaptions() const
{
    int rows = 0;
    for (QTreeWidgetItemIterator it(tvTree_); *it; ++it)
        ++rows;
    const QAbstractItemView* view = tvTree_;
    const int rowHeight = view->sizeHintForRow(0);
    const int frame = 2 * tvTree_->frameWidth();
    const bool scrolls = rows * rowHeight > tvTree_->height() - frame;
    const int scrollBar = scrolls ? tvTree_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, tvTree_) : 0;
    return std::max(kTreeWidth, view->sizeHintForColumn(0) + frame + scrollBar);
}

// A page is announced by its node, with the branch it belongs to.
void TfDetail::bindPagesToTree()
{
    QTreeWidgetItemIterator it(tvTree_);
    for (const NodeSpec& row : kNodes) {
        if (row.page != kNoPage) {
            QWidget* pg = page(row.page);
            (*it)->setData(0, kPageRole, QVariant::fromValue<QObject*>(pg));
            const QTreeWidgetItem* branch = (*it)->parent();
            pg->setAccessibleName(row.level > 1 && branch ? branch->text(0) + QStringLiteral(", ") + (*it)->text(0)
                                                           : (*it)->text(0));
        }
        ++it;
    }
}

void TfDetail::connectHandlers()
{
    connect(tvTree_, &QTreeWidget::currentItemChanged, this, &TfDetail::tvTreeChange);
    connect(control<QAbstractButton>(QStringLiteral("ckFixMP")), &QAbstractButton::clicked, this,
            &TfDetail::ckFixMPClick);
    connect(control<QAbstractButton>(QStringLiteral("ckUsbFixMP")), &QAbstractButton::clicked, this,
            &TfDetail::ckUsbFixMPClick);
    syncChargeBoxes();
}

QTreeWidgetItem* TfDetail::nodeOf(const QWidget* pg) const
{
    if (!pg)
        return nullptr;
    for (QTreeWidgetItemIterator it(tvTree_); *it; ++it)
        if (pageOfNode(*it) == pg)
            return *it;
    return nullptr;
}

void TfDetail::tvTreeChange()
{
    if (QWidget* pg = pageOfNode(tvTree_->currentItem()))
        pcDetail_->setCurrentWidget(pg);
}

void TfDetail::addPaneKeys()
{
    auto* keys = new QAction(this);
    keys->setShortcuts({QKeySequence(Qt::Key_F6), QKeySequence(Qt::SHIFT | Qt::Key_F6),
                        QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab)});
    connect(keys, &QAction::triggered, this, &TfDetail::switchPane);
    addAction(keys);
}

// Into the page, the field last worked in there, or else the first one; out
// of it, the tree. With two panes both directions are the same move.
void TfDetail::switchPane()
{
    QWidget* pg = visiblePage();
    if (!tvTree_->hasFocus() || !pg) {
        tvTree_->setFocus(Qt::ShortcutFocusReason);
        return;
    }
    QWidget* last = pg->focusWidget();
    if (last && last->isVisible() && last->isEnabled()) {
        last->setFocus(Qt::ShortcutFocusReason);
        return;
    }
    for (QWidget* w = pg->nextInFocusChain(); w && w != pg; w = w->nextInFocusChain()) {
        if (pg->isAncestorOf(w) && w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void TfDetail::selectPage(QWidget* pg)
{
    QTreeWidgetItem* node = nodeOf(pg);
    if (!node)
        return;
    pcDetail_->setCurrentWidget(pg);
    const QSignalBlocker quiet(tvTree_);
    tvTree_->setCurrentItem(node);
}

void TfDetail::deleteNode(QTreeWidgetItem* node)
{
    if (!node)
        return;
    if (isWithin(tvTree_->currentItem(), node))
        selectionLost_ = true;
    const QSignalBlocker quiet(tvTree_);
    delete node;
}

void TfDetail::deleteNodeOf(int pageNumber) { deleteNode(nodeOf(page(pageNumber))); }

void TfDetail::deleteBranch(const QString& caption, std::initializer_list<int> pageNumbers)
{
    for (int number : pageNumbers)
        deleteNodeOf(number);
    const QList<QTreeWidgetItem*> found = tvTree_->findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
    if (!found.isEmpty())
        deleteNode(found.first());
}

void TfDetail::removeRs232Branch()
{
    deleteBranch(QStringLiteral("RS232 Port"), {2, 3, 5, 7, 8, 9, 10, 11});
    keepSelectionValid();
}

void TfDetail::removeUsbBranch()
{
    deleteBranch(QStringLiteral("USB Port"), {22, 23, 25, 27, 28, 29, 30, 31});
    keepSelectionValid();
}

void TfDetail::removeX25Support()
{
    if (x25Removed_)
        return;
    x25Removed_ = true;
    dropX25();
}

void TfDetail::dropX25()
{
    deleteNodeOf(5);
    deleteNodeOf(25);
    auto* rs232 = control<TRadioGroup>(QStringLiteral("rgCallType"));
    const int position = int(rs232->items().indexOf(kX25CallType));
    if (position >= 0) {
        rs232->deleteItem(position);
        control<TRadioGroup>(QStringLiteral("rgUsbCallType"))->deleteItem(position);
        codeTables_.callType.removeAt(position);
    }
    keepSelectionValid();
}

// After pruning took the chosen node, the node of the visible page becomes
// the chosen one. When the page itself lost its node, the first page left in
// the tree takes over, so the editor never shows a page it cannot reach.
void TfDetail::keepSelectionValid()
{
    const bool lost = std::exchange(selectionLost_, false);
    if (nodeOf(visiblePage())) {
        if (lost)
            selectPage(visiblePage());
        return;
    }
    for (QTreeWidgetItemIterator it(tvTree_); *it; ++it) {
        if (QWidget* pg = pageOfNode(*it)) {
            selectPage(pg);
            return;
        }
    }
}

void TfDetail::hideSysDateTime()
{
    if (QWidget* group = control(QStringLiteral("gbSysDT")))
        group->hide();
}

void TfDetail::presentEditor()
{
    setWindowTitle(baseTitle() + QStringLiteral("         Firmware Ver ") +
                   QString::fromStdString(ctx_.firmwareVersion));
    if (ctx_.switches.countryOption) {
        hideSysDateTime();
        removeUsbBranch();
    } else {
        deleteNodeOf(0);
        control(QStringLiteral("gbX75Setup"))->hide();
        control(QStringLiteral("gbAdvanceVela"))->hide();
        if (!(ctx_.taVariant & 1))
            removeRs232Branch();
        if (!(ctx_.taVariant & 2))
            removeUsbBranch();
    }
    if (!ctx_.switches.sysDateTime)
        hideSysDateTime();
    keepSelectionValid();
    showProfileFile();
    show();
}

} // namespace ta::ui
