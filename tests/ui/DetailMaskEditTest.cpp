// The date and time fields: positions that may stay empty, refusing to be
// left half filled or holding a date or time that cannot be, and Escape
// abandoning the edit.
#include "support/UiTestSupport.h"
#include "ui/Messages.h"
#include "ui/detailMaskEdit.h"

#include <QLineEdit>

#include <tuple>

#include <gtest/gtest.h>

namespace ta::ui {
namespace {

class MaskEditTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setMessageHandler([this](const QString& text, bool) {
            messages.append(text);
            return true;
        });
        date->setStoredText("03-01-2000");
        time->setStoredText("00:00:00");
        ASSERT_TRUE(testing::showInColumn(window, {date, time, other}));
    }
    void TearDown() override { setMessageHandler(nullptr); }

    QWidget window;
    TMaskEdit* date = TMaskEdit::dateField(&window);
    TMaskEdit* time = TMaskEdit::timeField(&window);
    QLineEdit* other = new QLineEdit(&window);
    QStringList messages;
};

TEST_F(MaskEditTest, OptionalPositionsMayStayEmpty)
{
    date->setStoredText("  -  -1999");
    EXPECT_TRUE(date->complete());
    EXPECT_EQ(date->storedText(), "  -  -1999");
    date->setStoredText("01-01-19");
    EXPECT_FALSE(date->complete());
    EXPECT_EQ(date->firstIncompletePosition(), 8);
    time->setStoredText(" 7:30:00");
    EXPECT_TRUE(time->complete());
    time->setStoredText("07: 0:00");
    EXPECT_FALSE(time->complete());
    EXPECT_EQ(time->firstIncompletePosition(), 3);
}

TEST_F(MaskEditTest, LeavingAHalfFilledFieldIsRefused)
{
    testing::tabTo(date);
    date->setCursorPosition(10);
    QTest::keyClick(date, Qt::Key_Backspace);
    ASSERT_EQ(date->storedText(), "03-01-200 ");
    testing::tabTo(other);
    EXPECT_EQ(messages, QStringList{"Invalid input value.  Use escape key to abandon changes"});
    EXPECT_EQ(QApplication::focusWidget(), date);
    EXPECT_EQ(date->cursorPosition(), 9);

    QTest::keyClick(date, Qt::Key_Escape);
    EXPECT_EQ(date->storedText(), "03-01-2000");
    testing::tabTo(other);
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(QApplication::focusWidget(), other);
}

// Under a window manager the focus comes back to the field only after the
// message box has gone and the window is active again; that return is no
// new entry, so Escape still brings back the text from before the edit.
TEST_F(MaskEditTest, EscapeAfterALateReturnOfTheFocusRestoresTheEntryText)
{
    testing::tabTo(date);
    date->setCursorPosition(10);
    QTest::keyClick(date, Qt::Key_Backspace);
    testing::tabTo(other);
    ASSERT_EQ(messages.size(), 1);
    other->setFocus(Qt::ActiveWindowFocusReason);
    QApplication::processEvents();
    date->setFocus(Qt::ActiveWindowFocusReason);
    QApplication::processEvents();

    testing::tabTo(other); // still broken: refused again
    EXPECT_EQ(messages.size(), 2);
    QTest::keyClick(date, Qt::Key_Escape);
    EXPECT_EQ(date->storedText(), "03-01-2000");
}

TEST_F(MaskEditTest, EscapeAfterAWindowSwitchRestoresTheEntryText)
{
    testing::tabTo(time);
    time->setCursorPosition(0);
    QTest::keyClicks(time, "1");
    ASSERT_EQ(time->storedText(), "10:00:00");
    other->setFocus(Qt::ActiveWindowFocusReason);
    time->setFocus(Qt::ActiveWindowFocusReason);
    QTest::keyClick(time, Qt::Key_Escape);
    EXPECT_EQ(time->storedText(), "00:00:00");
}

TEST_F(MaskEditTest, CompleteOrUntouchedFieldsAreLeftFreely)
{
    testing::tabTo(time);
    time->setCursorPosition(0);
    QTest::keyClicks(time, "12");
    testing::tabTo(other);
    EXPECT_EQ(time->storedText(), "12:00:00");
    time->setStoredText("12:  :00"); // loaded that way, not typed
    testing::tabTo(time);
    testing::tabTo(other);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), other);
}

// The part of a date or time that cannot be, by its position; -1 for one that
// can. Blanks stand for the digits a field may leave out.
struct ImpossibleCase {
    const char* text;
    int position;
};

class ImpossibleDates : public ::testing::TestWithParam<ImpossibleCase> {};
class ImpossibleTimes : public ::testing::TestWithParam<ImpossibleCase> {};

TEST_P(ImpossibleDates, AreFoundByPosition)
{
    EXPECT_EQ(impossibleDatePosition(QString::fromLatin1(GetParam().text)), GetParam().position);
}

TEST_P(ImpossibleTimes, AreFoundByPosition)
{
    EXPECT_EQ(impossibleTimePosition(QString::fromLatin1(GetParam().text)), GetParam().position);
}

INSTANTIATE_TEST_SUITE_P(Table, ImpossibleDates, ::testing::Values(
    ImpossibleCase{"03-01-2000", -1}, ImpossibleCase{"31-12-1999", -1}, ImpossibleCase{"13-45-2024", 3},
    ImpossibleCase{"00-01-2000", 0}, ImpossibleCase{"32-01-2000", 0}, ImpossibleCase{"31-04-2000", 0},
    ImpossibleCase{"29-02-2024", -1}, ImpossibleCase{"29-02-2023", 0}, ImpossibleCase{"29-02-2000", -1},
    ImpossibleCase{"29-02-1900", 0}, ImpossibleCase{"01-13-2000", 3}, ImpossibleCase{"01-00-2000", 3},
    ImpossibleCase{"40-13-2000", 0}, ImpossibleCase{"01-01-0000", 6}, ImpossibleCase{" 3- 1-2000", -1},
    ImpossibleCase{"3 -1 -2000", -1}, ImpossibleCase{"  -01-2000", 0}));

INSTANTIATE_TEST_SUITE_P(Table, ImpossibleTimes, ::testing::Values(
    ImpossibleCase{"00:00:00", -1}, ImpossibleCase{"23:59:59", -1}, ImpossibleCase{" 7:05:09", -1},
    ImpossibleCase{"24:00:00", 0}, ImpossibleCase{"12:60:00", 3}, ImpossibleCase{"12:00:60", 6},
    ImpossibleCase{"99:99:99", 0}));

// What the TA gets of a date or time typed with a digit left out: the part
// filled up with a leading zero (a blank inside a part is refused by the TA).
TEST(MaskEditParts, ArePaddedWithZerosForTheTa)
{
    for (const auto& [stored, sent] : {std::pair{"3 -1 -2000", "03-01-2000"}, {" 3- 1-2000", "03-01-2000"},
                                       {"03-01-2000", "03-01-2000"}, {" 7:05:09", "07:05:09"},
                                       {"  -01-2000", "  -01-2000"}, {"", ""}})
        EXPECT_EQ(zeroFilledParts(QString::fromLatin1(stored)), QLatin1String(sent)) << stored;
}

// Typed, a date or time that cannot be is refused on leaving as a half
// filled one is, with the cursor on the part to mend; mended, it is left.
TEST_F(MaskEditTest, LeavingAnImpossibleValueIsRefusedAtItsPart)
{
    for (const auto& [field, typed, position] :
         {std::tuple{date, "13452024", 3}, {date, "29022023", 0}, {time, "12:61:00", 3}}) {
        messages.clear();
        testing::tabTo(field);
        field->selectAll();
        QTest::keyClicks(field, QString::fromLatin1(typed).remove(u':'));
        testing::tabTo(other);
        EXPECT_EQ(messages, QStringList{TMaskEdit::invalidInputText()}) << typed;
        EXPECT_EQ(QApplication::focusWidget(), field) << typed;
        EXPECT_EQ(field->cursorPosition(), position) << typed;
        QTest::keyClick(field, Qt::Key_Escape);
        testing::tabTo(other);
    }
    testing::tabTo(date);
    date->selectAll();
    QTest::keyClicks(date, "29022024");
    testing::tabTo(other);
    EXPECT_EQ(date->storedText(), "29-02-2024");
    EXPECT_EQ(QApplication::focusWidget(), other);
}

} // namespace
} // namespace ta::ui
