// TCGauge: the progress gauge of the status windows. Its numbers live in
// GaugeValues so that they can be reasoned about without painting.
#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

#include <stdexcept>

namespace ta::ui {

// Raised for a minimum above the maximum or a maximum below the minimum.
class GaugeRangeError : public std::range_error {
public:
    GaugeRangeError(long long low, long long high);
};

// MinValue <= Progress <= MaxValue at all times.
class GaugeValues {
public:
    int MinValue() const { return min_; }
    int MaxValue() const { return max_; }
    int Progress() const { return progress_; }
    // (Progress - MinValue) * 100 / (MaxValue - MinValue), rounded down.
    int percentDone() const;
    // Clamps; true when the percentage changed (the only time to repaint).
    bool setProgress(long long value);
    // 0 is ignored: the progress window is created with it.
    void setMaxValue(int value);
    void setMinValue(int value);

private:
    int min_ = 0;
    int max_ = 100;
    int progress_ = 0;
};

// Length in pixels of a bar for percent of a span.
int barLength(int percent, int span);

enum TCGaugeKind { gkText, gkHorizontalBar, gkVerticalBar, gkPie, gkNeedle };
enum TGaugeBorderStyle { bsNone, bsSingle };

class TCGauge : public QWidget {
    Q_OBJECT
public:
    explicit TCGauge(QWidget* parent = nullptr);

    int MinValue() const { return values_.MinValue(); }
    int MaxValue() const { return values_.MaxValue(); }
    int Progress() const { return values_.Progress(); }
    int GetPercentDone() const { return values_.percentDone(); }
    void SetProgress(int value);
    void AddProgress(int delta);
    void SetMaxValue(int value); // throws GaugeRangeError
    void SetMinValue(int value); // throws GaugeRangeError

    TCGaugeKind Kind() const { return kind_; }
    void setKind(TCGaugeKind kind);
    bool ShowText() const { return showText_; }
    void setShowText(bool on);
    TGaugeBorderStyle BorderStyle() const { return borderStyle_; }
    void setBorderStyle(TGaugeBorderStyle style);
    QColor ForeColor() const { return foreColor_; }
    void setForeColor(const QColor& color);
    QColor BackColor() const { return backColor_; }
    void setBackColor(const QColor& color);

    // The picture the gauge copies to the screen.
    QImage renderImage() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void drawGauge(QPainter& painter, const QRect& inner) const;
    void drawPercentText(QPainter& painter, const QRect& inner) const;

    GaugeValues values_;
    TCGaugeKind kind_ = gkHorizontalBar;
    bool showText_ = true;
    TGaugeBorderStyle borderStyle_ = bsSingle;
    QColor foreColor_ = Qt::black;
    QColor backColor_ = Qt::white;
};

} // namespace ta::ui
