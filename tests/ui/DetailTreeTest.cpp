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

link::Switches switches(bool countryOption, bool x25OnD = false, bool sysDateTime = true)
{
    link::Switches s;
    s.countryOption = countryOption;
    s.x25OnD = x25OnD;
    s.sysDateTime = sysDateTime;
    return s;
}

bool hiddenGroup(const EditorHarness& h, const char* name) { return h.control<QWidget>(name)->isHidden(); }

TEST(DetailTree, CountryOptionKeepsSystemAndRs232WhateverTheVariant)
{
    for (uint8_t variant = 1; variant <= 3; ++variant) {
        EditorHarness h(switches(true), variant);
        h.editor->presentEditor();
        EXPECT_EQ(treeOutline(h.editor->tree()), outline({"TA", " System"}, branch(" RS232 Port")))
            << "variant " << int(variant);
        EXPECT_TRUE(hiddenGroup(h, "gbSysDT"));
        EXPECT_FALSE(hiddenGroup(h, "gbX75Setup"));
        EXPECT_FALSE(hiddenGroup(h, "gbAdvanceVela"));
        EXPECT_EQ(h.editor->visiblePage(), h.editor->page(2));
    }
}

struct VariantCase {
    uint8_t variant;
    QStringList branches;
    int firstPage;
};

void PrintTo(const VariantCase& c, std::ostream* os) { *os << "taVariant " << int(c.variant); }

class DetailTreeVariant : public ::testing::TestWithParam<VariantCase> {};

TEST_P(DetailTreeVariant, WithoutCountryOptionTheVariantChoosesTheBranches)
{
    const VariantCase& c = GetParam();
    EditorHarness h(switches(false), c.variant);
    h.editor->presentEditor();
    EXPECT_EQ(treeOutline(h.editor->tree()), outline({"TA"}, c.branches));
    EXPECT_TRUE(hiddenGroup(h, "gbX75Setup"));
    EXPECT_TRUE(hiddenGroup(h, "gbAdvanceVela"));
    EXPECT_FALSE(hiddenGroup(h, "gbSysDT"));
    // A pruned page is never left showing: the first remaining page takes over.
    QWidget* first = h.editor->page(c.firstPage);
    EXPECT_EQ(h.editor->visiblePage(), first);
    EXPECT_EQ(h.editor->tree()->currentItem(), h.editor->nodeOf(first));
}

INSTANTIATE_TEST_SUITE_P(Variants, DetailTreeVariant,
                         ::testing::Values(VariantCase{1, branch(" RS232 Port"), 2},
                                           VariantCase{2, branch(" USB Port"), 22},
                                           VariantCase{3, branch(" RS232 Port") + branch(" USB Port"), 2},
                                           VariantCase{0, {}, 12}),
                         [](const auto& testCase) { return "Variant" + std::to_string(testCase.param.variant); });

TEST(DetailTree, RepeatedPruningChangesNothingMore)
{
    EditorHarness h(switches(false), 2);
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
    EditorHarness h(switches(false, false, false), 3);
    EXPECT_TRUE(hiddenGroup(h, "gbSysDT"));
    EditorHarness later(switches(false), 3);
    EXPECT_FALSE(hiddenGroup(later, "gbSysDT"));
    later.editor->hideSysDateTime();
    EXPECT_TRUE(hiddenGroup(later, "gbSysDT"));
}

TEST(DetailTree, WithoutX25OnDBothCallTypeListsOfferFiveEntries)
{
    EditorHarness h(switches(false), 3);
    const QStringList five = {"HDLC transparent", "PPP or MLP", "V.120", "X.75", "V.110"};
    EXPECT_EQ(h.control<TRadioGroup>("rgCallType")->items(), five);
    EXPECT_EQ(h.control<TRadioGroup>("rgUsbCallType")->items(), five);
    EXPECT_EQ(h.editor->codeTables().callType.size(), 5);
    EXPECT_FALSE(h.editor->nodeOf(h.editor->page(5)));
    EXPECT_FALSE(h.editor->nodeOf(h.editor->page(25)));
}

TEST(DetailTree, RemoveX25SupportRemovesOnce)
{
    EditorHarness h(switches(false, true), 3);
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
    EditorHarness h(switches(false, true), 3);
    h.editor->tree()->setCurrentItem(h.editor->nodeOf(h.editor->page(25)));
    ASSERT_EQ(h.editor->visiblePage(), h.editor->page(25));
    h.editor->removeX25Support();
    EXPECT_EQ(h.editor->visiblePage(), h.editor->page(0));
    EXPECT_EQ(h.editor->tree()->currentItem(), h.editor->nodeOf(h.editor->page(0)));
}

TEST(DetailTree, BranchNodesKeepTheVisiblePage)
{
    EditorHarness h(switches(true), 1);
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
    EditorHarness h(switches(false), 1);
    QTreeWidget* tree = h.editor->tree();
    tree->setCurrentItem(h.editor->nodeOf(h.editor->page(13)));
    h.editor->presentEditor();
    EXPECT_EQ(h.editor->visiblePage(), h.editor->page(13));
    EXPECT_EQ(tree->currentItem(), h.editor->nodeOf(h.editor->page(13)));
}

} // namespace
} // namespace ta::ui
