#include "ui/Cgauges.h"

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QPainter>

#include <algorithm>
#include <climits>
#include <string>

namespace ta::ui {

namespace {

std::string rangeMessage(long long low, long long high)
{
    return "Value must be between " + std::to_string(low) + " and " + std::to_string(high);
}

// What assistive technology learns of a gauge: a progress bar with its
// value, limits and the percentage it shows.
class GaugeAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit GaugeAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::ProgressBar) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return QString::number(gauge()->GetPercentDone()) + QLatin1Char('%');
        return QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override { return gauge()->Progress(); }
    void setCurrentValue(const QVariant&) override {} // only the program moves it
    QVariant maximumValue() const override { return gauge()->MaxValue(); }
    QVariant minimumValue() const override { return gauge()->MinValue(); }
    QVariant minimumStepSize() const override { return 1; }

private:
    const TCGauge* gauge() const { return static_cast<const TCGauge*>(widget()); }
};

QAccessibleInterface* gaugeAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1String(TCGauge::staticMetaObject.className()) && object->isWidgetType())
        return new GaugeAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

} // namespace

GaugeRangeError::GaugeRangeError(long long low, long long high)
    : std::range_error(rangeMessage(low, high))
{
}

// 64-bit arithmetic: the span of two 32-bit limits does not fit in 32 bits.
int GaugeValues::percentDone() const
{
    const long long span = static_cast<long long>(max_) - min_;
    if (span == 0)
        return 0;
    return int((static_cast<long long>(progress_) - min_) * 100 / span);
}

bool GaugeValues::setProgress(long long value)
{
    const int clamped = int(std::clamp<long long>(value, min_, max_));
    if (clamped == progress_)
        return false;
    const int before = percentDone();
    progress_ = clamped;
    return percentDone() != before;
}

void GaugeValues::setMaxValue(int value)
{
    if (value == 0)
        return;
    if (value < min_)
        throw GaugeRangeError(static_cast<long long>(min_) + 1, INT_MAX);
    max_ = value;
    progress_ = std::min(progress_, max_);
}

void GaugeValues::setMinValue(int value)
{
    if (value == min_)
        return;
    if (value > max_)
        throw GaugeRangeError(-INT_MAX, static_cast<long long>(max_) - 1);
    min_ = value;
    progress_ = std::max(progress_, min_);
}

int barLength(int percent, int span)
{
    // Integer arithmetic: 29 * 0.01 * 100 is 28.999... in floating point.
    return std::clamp(int(static_cast<long long>(percent) * span / 100), 0, std::max(span, 0));
}

TCGauge::TCGauge(QWidget* parent) : QWidget(parent)
{
    static const bool factoryInstalled = (QAccessible::installFactory(gaugeAccessible), true);
    (void)factoryInstalled;
    resize(100, 100);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TCGauge::SetProgress(int value)
{
    if (!values_.setProgress(value))
        return;
    update();
    QAccessibleValueChangeEvent changed(this, Progress());
    QAccessible::updateAccessibility(&changed);
}

void TCGauge::AddProgress(int delta)
{
    values_.setProgress(static_cast<long long>(values_.Progress()) + delta);
    update();
}

void TCGauge::SetMaxValue(int value)
{
    if (value == 0)
        return;
    values_.setMaxValue(value);
    update();
}

void TCGauge::SetMinValue(int value)
{
    if (value == values_.MinValue())
        return;
    values_.setMinValue(value);
    update();
}

void TCGauge::setKind(TCGaugeKind kind)
{
    kind_ = kind;
    update();
}

void TCGauge::setShowText(bool on)
{
    showText_ = on;
    update();
}

void TCGauge::setBorderStyle(TGaugeBorderStyle style)
{
    borderStyle_ = style;
    update();
}

void TCGauge::setForeColor(const QColor& color)
{
    foreColor_ = color;
    update();
}

void TCGauge::setBackColor(const QColor& color)
{
    backColor_ = color;
    update();
}

QImage TCGauge::renderImage() const
{
    QImage image(size(), QImage::Format_RGB32);
    QPainter painter(&image);
    QRect inner = image.rect();
    if (borderStyle_ == bsSingle) {
        painter.fillRect(inner, Qt::black);
        inner.adjust(1, 1, -1, -1);
    }
    painter.fillRect(inner, backColor_);
    drawGauge(painter, inner);
    if (showText_)
        drawPercentText(painter, inner);
    return image;
}

void TCGauge::drawGauge(QPainter& painter, const QRect& inner) const
{
    const int percent = GetPercentDone();
    switch (kind_) {
    case gkText:
        break;
    case gkHorizontalBar:
        painter.fillRect(inner.x(), inner.y(), barLength(percent, inner.width()), inner.height(),
                         foreColor_);
        break;
    case gkVerticalBar: {
        const int height = barLength(percent, inner.height());
        painter.fillRect(inner.x(), inner.bottom() + 1 - height, inner.width(), height, foreColor_);
        break;
    }
    case gkPie:
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::black);
        painter.setBrush(foreColor_);
        painter.drawPie(inner.adjusted(0, 0, -1, -1), 90 * 16, -percent * 360 * 16 / 100);
        break;
    case gkNeedle: {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(foreColor_, 2));
        const QLineF needle = QLineF::fromPolar(inner.height() - 2, 180.0 - percent * 1.8);
        const QPointF base(inner.center().x(), inner.bottom());
        painter.drawLine(base, base + needle.p2());
        break;
    }
    }
}

// Inverting the pixels under the glyphs keeps the text legible over the bar
// and over the background alike.
void TCGauge::drawPercentText(QPainter& painter, const QRect& inner) const
{
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Difference);
    painter.setPen(Qt::white);
    painter.setFont(font());
    painter.drawText(inner, Qt::AlignCenter, QString::number(GetPercentDone()) + u'%');
    painter.restore();
}

void TCGauge::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, renderImage());
}

} // namespace ta::ui
