// The editor's page tree: what pruning leaves for each switch setting and TA
// variant, the X.25 removal, and which page shows.
#include "DetailTestSupport.h"

#include "ui/detailRadioGroup.h"

#include <QGroupBox>
#include <QStackedWidget>

#include <gtest/gtest.h>

#include <string>

namespace ta::ui {
namespace {

using testing::EditorHarness;
using testing::treeOutline;

const QStringList kRs232Pages = {
    "  Local DN and Call Type", "  PPP/MP Parameters", "  V.24 Signal", "  Incoming Call Screen",
    "  Outgoing Call Screen", "  Pre-stored Numbers", "  Advance Setting"};
const QStringList kAnalog = {" Analog Port", "  Local DN and Options", "  Incoming Call Screen",
                             "  Outgoing Call Screen", "  Pre-stored Numbers", "  Supplementary Service"};

QStringList outline(const QStringList& head, const QStringList& branches, bool withAnalog = true)
{
    QStringList lines = head;
    lines += branches;
    if (withAnalog)
        lines += kAnalog;
    return lines;
}

QStringList branch(const char* caption) { return QStringList{QLatin1String(caption)} + kRs232Pages; }

bool hiddenGroup(const EditorHarness& h, const char* name) { return h.control<QWidget>(name)->isHidden(); }

// With the country option the tree keeps the system page and the RS232
// port whatever the variant; without it the variant chooses the branches.
// A pruned page is never left showing: the first remaining page takes over.
struct VariantCase {
    bool countryOption;
    uint8_t variant;
    QStringList head, branches;
    int firstPage;
};

void PrintTo(const VariantCase& c, std::ostream* os) { *os << "country " << c.countryOption << " variant " << int(c.variant); }

class DetailTreeVariant : public ::testing::TestWithParam<VariantCase> {};

TEST_P(DetailTreeVariant, SwitchesAndVariantChooseTheBranches)
{
    const VariantCase& c = GetParam();
    EditorHarness h(testing::switchesWith(c.countryOption), c.variant);
    h.editor->presentEditor();
    EXPECT_EQ(treeOutline(h.editor->tree()), outline(c.head, c.branches));
    EXPECT_EQ(hiddenGroup(h, "gbX75Setup"), !c.countryOption);
    EXPECT_EQ(hiddenGroup(h, "gbAdvanceVela"), !c.countryOption);
    EXPECT_EQ(hiddenGroup(h, "gbSysDT"), c.countryOption);
    QWidget* first = h.editor->page(c.firstPage);
    EXPECT_EQ(h.editor->visiblePage(), first);
    EXPECT_EQ(h.editor->tree()->currentItem(), h.editor->nodeOf(first));
}

INSTANTIATE_TEST_SUITE_P(Variants, DetailTreeVariant,
                         ::testing::Values(VariantCase{true, 1, {"TA", " System"}, branch(" RS232 Port"), 2},
                                           VariantCase{true, 2, {"TA", " System"}, branch(" RS232 Port"), 2},
                                           VariantCase{true, 3, {"TA", " System"}, branch(" RS232 Port"), 2},
                                           VariantCase{false, 1, {"TA"}, branch(" RS232 Port"), 2},
                                           VariantCase{false, 2, {"TA"}, branch(" USB Port"), 22},
                                           VariantCase{false, 3, {"TA"}, branch(" RS232 Port") + branch(" USB Port"), 2},
                                           VariantCase{false, 0, {"TA"}, {}, 12}),
                         [](const auto& test) {
                             return std::string(test.param.countryOption ? "Country" : "Variant") +
                                    std::to_string(test.param.variant);
                         });

TEST(DetailTree, RepeatedPruningChangesNothingMore)
{
    EditorHarness h(testing::switchesWith(false), 2);
    h.editor->presentEditor();
    const QStringList once = treeOutline(h.editor->tree());
    h.editor->presentEditor();
    h.editor->removeRs232Branch();
    EXPECT_EQ(treeOutline(h.editor->tree()), once);
    h.editor->removeUsbBranch();
    h.editor->removeUsbBranch();
    EXPECT_EQ(treeOutline(h.editor->tree()), outline({"TA"}, {}));
    EXPECT_EQ(h.editor->visiblePage(), h.editor->page(12));
}

TEST(DetailTree, SysDateTimeOffHidesTheDateGroupAtCreation)
{
    EditorHarness h(testing::switchesWith(false, false, false), 3);
    EXPECT_TRUE(hiddenGroup(h, "gbSysDT"));
    EditorHarness later(testing::switchesWith(false), 3);
    EXPECT_FALSE(hiddenGroup(later, "gbSysDT"));
    later.editor->hideSysDateTime();
    EXPECT_TRUE(hiddenGroup(later, "gbSysDT"));
}

TEST(DetailTree, WithoutX25OnDBothCallTypeListsOfferFiveEntries)
{
    EditorHarness h(testing::switchesWith(false), 3);
    const QStringList five = {"HDLC transparent", "PPP or MLP", "V.120", "X.75", "V.110"};
    EXPECT_EQ(h.control<TRadioGroup>("rgCallType")->items(), five);
    EXPECT_EQ(h.control<TRadioGroup>("rgUsbCallType")->items(), five);
    EXPECT_EQ(h.editor->codeTables().callType.size(), 5);
    EXPECT_FALSE(h.editor->nodeOf(h.editor->page(5)));
    EXPECT_FALSE(h.editor->nodeOf(h.editor->page(25)));
}

TEST(DetailTree, RemoveX25SupportRemovesOnce)
{
    EditorHarness h(testing::switchesWith(false, true), 3);
    ASSERT_TRUE(h.editor->nodeOf(h.editor->page(5)));
    ASSERT_EQ(h.control<TRadioGroup>("rgCallType")->count(), 6);
    h.editor->removeX25Support();
    const QStringList after = treeOutline(h.editor->tree());
    EXPECT_FALSE(after.contains("  X.25 Parameters"));
    EXPECT_EQ(h.control<TRadioGroup>("rgCallType")->count(), 5);
    EXPECT_EQ(h.control<TRadioGroup>("rgUsbCallType")->count(), 5);
    EXPECT_EQ(h.editor->codeTables().callType.size(), 5);
    h.editor->removeX25Support();
    EXPECT_EQ(treeOutline(h.editor->tree()), after);
    EXPECT_EQ(h.control<TRadioGroup>("rgCallType")->items().last(), "V.110");
    EXPECT_EQ(h.editor->codeTables().callType.size(), 5);
}

TEST(DetailTree, RemovingTheShownX25PageMovesToTheFirstPage)
{
    EditorHarness h(testing::switchesWith(false, true), 3);
    h.editor->tree()->setCurrentItem(h.editor->nodeOf(h.editor->page(25)));
    ASSERT_EQ(h.editor->visiblePage(), h.editor->page(25));
    h.editor->removeX25Support();
    EXPECT_EQ(h.editor->visiblePage(), h.editor->page(0));
    EXPECT_EQ(h.editor->tree()->currentItem(), h.editor->nodeOf(h.editor->page(0)));
}

TEST(DetailTree, BranchNodesKeepTheVisiblePage)
{
    EditorHarness h(testing::switchesWith(true), 1);
    QTreeWidget* tree = h.editor->tree();
    tree->setCurrentItem(h.editor->nodeOf(h.editor->page(7)));
    EXPECT_EQ(h.editor->visiblePage(), h.editor->page(7));
    tree->setCurrentItem(tree->findItems("RS232 Port", Qt::MatchExactly | Qt::MatchRecursive).first());
    EXPECT_EQ(h.editor->visiblePage(), h.editor->page(7));
    tree->setCurrentItem(tree->topLevelItem(0));
    EXPECT_EQ(h.editor->visiblePage(), h.editor->page(7));
    tree->setCurrentItem(h.editor->nodeOf(h.editor->page(17)));
    EXPECT_EQ(h.editor->visiblePage(), h.editor->page(17));
}

TEST(DetailTree, PruningAnotherBranchLeavesTheChoiceAlone)
{
    EditorHarness h(testing::switchesWith(false), 1);
    QTreeWidget* tree = h.editor->tree();
    tree->setCurrentItem(h.editor->nodeOf(h.editor->page(13)));
    h.editor->presentEditor();
    EXPECT_EQ(h.editor->visiblePage(), h.editor->page(13));
    EXPECT_EQ(tree->currentItem(), h.editor->nodeOf(h.editor->page(13)));
}

} // namespace
} // namespace ta::ui
