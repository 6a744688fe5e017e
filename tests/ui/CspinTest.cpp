#include "ui/Cspin.h"

#include "tests/ui/support/UiTestSupport.h"

#include <climits>

#include <gtest/gtest.h>

using ta::ui::TCSpinEdit;

class SpinEditTest : public ::testing::Test {
protected:
    void SetUp() override { TCSpinEdit::setBeepHandler([this] { ++beeps; }); }
    void TearDown() override { TCSpinEdit::setBeepHandler(nullptr); }

    TCSpinEdit spin;
    int beeps = 0;
};

TEST_F(SpinEditTest, TextReadsUnclampedOrBadTextBecomesMinValue)
{
    spin.setMinValue(5);
    spin.setMaxValue(50);
    const std::pair<const char*, int> good[] = {
        {"300", 300}, {"1", 1}, {"+7", 7}, {"007", 7}, {"-2147483648", INT_MIN}, {"2147483647", INT_MAX}};
    for (const auto& [text, value] : good) {
        spin.setText(QString::fromLatin1(text));
        EXPECT_EQ(spin.GetValue(), value) << text;
        EXPECT_EQ(spin.text(), QString::fromLatin1(text));
    }
    for (const char* bad : {"", "1.5", "2147483648", "-2147483649", "-", "+", " 7", "12a", "0x10"}) {
        spin.setText(QString::fromLatin1(bad));
        EXPECT_EQ(spin.GetValue(), 5) << bad;
        EXPECT_EQ(spin.text(), QStringLiteral("5"));
    }
}

TEST_F(SpinEditTest, SetValueClampsUnlessTheLimitsAreEqual)
{
    spin.SetValue(-99999);
    EXPECT_EQ(spin.text(), QStringLiteral("-99999"));
    spin.setMinValue(1);
    spin.setMaxValue(255);
    spin.SetValue(0);
    EXPECT_EQ(spin.text(), QStringLiteral("1"));
    spin.SetValue(256);
    EXPECT_EQ(spin.text(), QStringLiteral("255"));
}

TEST_F(SpinEditTest, StepsSaturateInsteadOfWrapping)
{
    spin.SetValue(INT_MAX);
    spin.UpClick();
    EXPECT_EQ(spin.GetValue(), INT_MAX);
    spin.SetValue(INT_MIN);
    spin.DownClick();
    EXPECT_EQ(spin.GetValue(), INT_MIN);
}

TEST_F(SpinEditTest, ArrowKeysStepByTheIncrementAlsoWithTheEditorOff)
{
    spin.setMinValue(0);
    spin.setMaxValue(10);
    spin.setIncrement(4);
    spin.SetValue(5);
    QTest::keyClick(&spin, Qt::Key_Up);
    EXPECT_EQ(spin.text(), QStringLiteral("9"));
    QTest::keyClick(&spin, Qt::Key_Up);
    EXPECT_EQ(spin.text(), QStringLiteral("10"));
    QTest::keyClick(&spin, Qt::Key_Down);
    EXPECT_EQ(spin.text(), QStringLiteral("6"));
    spin.setEditorEnabled(false); // no typing, but the value still steps
    QTest::keyClick(&spin, Qt::Key_Up);
    EXPECT_EQ(spin.text(), QStringLiteral("10"));
}

TEST_F(SpinEditTest, ReadOnlyFieldBeepsInsteadOfStepping)
{
    spin.SetValue(3);
    spin.setReadOnly(true);
    spin.UpClick();
    spin.DownClick();
    EXPECT_EQ(spin.text(), QStringLiteral("3"));
    EXPECT_EQ(beeps, 2);
}

class SpinEditFocusTest : public SpinEditTest {
protected:
    void SetUp() override
    {
        SpinEditTest::SetUp();
        spin.setMinValue(1);
        spin.setMaxValue(255);
        ASSERT_TRUE(ta::ui::testing::showInColumn(form, {&spin, &other}));
    }
    // The field outlives the form: take it back before the form deletes it.
    void TearDown() override
    {
        spin.setParent(nullptr);
        SpinEditTest::TearDown();
    }

    QWidget form;
    QLineEdit other{&form};
};

TEST_F(SpinEditFocusTest, LeavingClampsTheText)
{
    spin.setFocus(Qt::OtherFocusReason);
    spin.setText(QStringLiteral("300"));
    EXPECT_EQ(spin.GetValue(), 300);
    QTest::keyClick(&spin, Qt::Key_Tab);
    EXPECT_EQ(spin.text(), QStringLiteral("255"));

    spin.setFocus(Qt::OtherFocusReason);
    spin.clear();
    other.setFocus(Qt::TabFocusReason);
    EXPECT_EQ(spin.text(), QStringLiteral("1"));
}

TEST_F(SpinEditFocusTest, ButtonClickStepsOnceAndFocusesTheField)
{
    other.setFocus(Qt::OtherFocusReason);
    spin.SetValue(7);
    QWidget* up = spin.Button()->UpButton();
    QTest::mouseClick(up, Qt::LeftButton, {}, up->rect().center());
    EXPECT_EQ(spin.text(), QStringLiteral("8"));
    EXPECT_EQ(QApplication::focusWidget(), &spin);
}
