#include "ui/Cgauges.h"

#include "tests/ui/support/UiTestSupport.h"

#include <QAccessible>
#include <QAccessibleValueInterface>

#include <climits>

#include <gtest/gtest.h>

using ta::ui::GaugeRangeError;
using ta::ui::GaugeValues;
using ta::ui::TCGauge;

TEST(GaugeValues, PercentDoneRoundsDown)
{
    GaugeValues values;
    values.setMaxValue(7);
    values.setProgress(3);
    EXPECT_EQ(values.percentDone(), 42);
    values.setProgress(7);
    EXPECT_EQ(values.percentDone(), 100);
    values.setMinValue(7); // empty range
    EXPECT_EQ(values.percentDone(), 0);
}

TEST(GaugeValues, PercentDoneOverTheWidestRange)
{
    GaugeValues values;
    values.setMaxValue(INT_MAX);
    values.setMinValue(-INT_MAX);
    values.setProgress(0);
    EXPECT_EQ(values.percentDone(), 50);
}

TEST(GaugeValues, ProgressIsClampedToTheRange)
{
    GaugeValues values;
    values.setProgress(-5);
    EXPECT_EQ(values.Progress(), 0);
    values.setProgress(500);
    EXPECT_EQ(values.Progress(), 100);
    values.setMaxValue(INT_MAX);
    values.setProgress(static_cast<long long>(INT_MAX) + 10);
    EXPECT_EQ(values.Progress(), INT_MAX);
}

TEST(GaugeValues, RepaintOnlyWhenThePercentageChanges)
{
    GaugeValues values;
    values.setMaxValue(1000);
    EXPECT_FALSE(values.setProgress(9));  // still 0 %
    EXPECT_TRUE(values.setProgress(10));  // 1 %
    EXPECT_FALSE(values.setProgress(10)); // unchanged
    EXPECT_FALSE(values.setProgress(19));
}

TEST(GaugeValues, MaximumOfZeroIsIgnored)
{
    GaugeValues values;
    values.setMaxValue(0);
    EXPECT_EQ(values.MaxValue(), 100);
    values.setMaxValue(40);
    values.setMaxValue(0);
    EXPECT_EQ(values.MaxValue(), 40);
}

TEST(GaugeValues, LimitsMoveTheProgressWithThem)
{
    GaugeValues values;
    values.setProgress(80);
    values.setMaxValue(50);
    EXPECT_EQ(values.Progress(), 50);
    values.setMinValue(20);
    values.setProgress(20);
    values.setMinValue(30);
    EXPECT_EQ(values.Progress(), 30);
}

TEST(GaugeValues, LimitsOnTheWrongSideRaiseTheRangeError)
{
    GaugeValues values;
    values.setMinValue(10);
    try {
        values.setMaxValue(5);
        FAIL() << "no range error";
    } catch (const GaugeRangeError& error) {
        EXPECT_STREQ(error.what(), "Value must be between 11 and 2147483647");
    }
    try {
        values.setMinValue(101);
        FAIL() << "no range error";
    } catch (const GaugeRangeError& error) {
        EXPECT_STREQ(error.what(), "Value must be between -2147483647 and 99");
    }
    EXPECT_EQ(values.MinValue(), 10);
    EXPECT_EQ(values.MaxValue(), 100);
}

TEST(Gauge, AddProgressClamps)
{
    TCGauge gauge;
    gauge.SetProgress(95);
    gauge.AddProgress(10);
    EXPECT_EQ(gauge.Progress(), 100);
    gauge.AddProgress(-300);
    EXPECT_EQ(gauge.Progress(), 0);
}

namespace {

bool isInverted(QRgb pixel, QColor under)
{
    // Difference with white gives the complement; edges of glyphs blend.
    return qRed(pixel) == 255 - under.red() && qGreen(pixel) == 255 - under.green() &&
           qBlue(pixel) == 255 - under.blue();
}

} // namespace

TEST(Gauge, BarCoversItsShareOfTheInnerWidth)
{
    TCGauge gauge;
    gauge.resize(376, 31);
    gauge.setForeColor(Qt::blue);
    gauge.setShowText(false);
    gauge.SetMaxValue(7);
    gauge.SetProgress(3);
    const QImage image = gauge.renderImage();
    const int barEnd = 1 + 42 * 374 / 100; // first pixel after the bar
    EXPECT_EQ(image.pixel(0, 15), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(1, 15), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(barEnd - 1, 15), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(barEnd, 15), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(375, 15), qRgb(0, 0, 0));
}

TEST(Gauge, TextStaysLegibleOverBarAndBackground)
{
    TCGauge gauge;
    gauge.resize(200, 31);
    gauge.setForeColor(Qt::blue);
    gauge.SetProgress(50); // the bar ends under the middle of "50%"
    const QImage image = gauge.renderImage();
    int overBar = 0;
    int overBackground = 0;
    for (int y = 1; y < 30; ++y) {
        for (int x = 1; x < 199; ++x) {
            const bool onBar = x <= 99;
            if (isInverted(image.pixel(x, y), onBar ? QColor(Qt::blue) : QColor(Qt::white)))
                ++(onBar ? overBar : overBackground);
        }
    }
    EXPECT_GT(overBar, 0);
    EXPECT_GT(overBackground, 0);
}

// A screen reader sees a progress bar with the gauge's value and limits.
TEST(TCGauge, AssistiveTechnologySeesValueAndMaximum)
{
    TCGauge gauge;
    gauge.SetMaxValue(7);
    gauge.SetProgress(3);
    QAccessibleInterface* seen = QAccessible::queryAccessibleInterface(&gauge);
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(seen->role(), QAccessible::ProgressBar);
    EXPECT_EQ(seen->text(QAccessible::Value), QStringLiteral("42%"));
    QAccessibleValueInterface* value = seen->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->currentValue().toInt(), 3);
    EXPECT_EQ(value->maximumValue().toInt(), 7);
    EXPECT_EQ(value->minimumValue().toInt(), 0);
    gauge.SetProgress(7);
    EXPECT_EQ(value->currentValue().toInt(), 7);
}
