#include "ui/Icons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace ta::ui {

namespace {

// Mid-tone colours: about 3:1 against white and against a dark grey.
const QColor kBlue(0x2f, 0x81, 0xf7);
const QColor kGreen(0x2e, 0xa4, 0x4f);
const QColor kOrange(0xd9, 0x8e, 0x1f);
const QColor kPurple(0x8a, 0x63, 0xd2);
const QColor kRed(0xe5, 0x53, 0x4b);
const QColor kWhite(0xff, 0xff, 0xff);

constexpr qreal kGrid = 16; // the drawings' own units
constexpr qreal kDisabledOpacity = 0.4;

void drawReload(QPainter& p)
{
    p.setPen(QPen(kBlue, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(2.5, 2.5, 11, 11), 60 * 16, 270 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawPolygon(QPolygonF({{9.0, 0.5}, {14.5, 3.0}, {9.5, 6.5}}));
}

void drawOpen(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(kOrange.darker(115));
    p.drawRoundedRect(QRectF(1, 3, 6, 3), 1, 1);
    p.drawRoundedRect(QRectF(1, 4.5, 13, 9), 1, 1);
    p.setBrush(kOrange);
    p.drawPolygon(QPolygonF({{3.5, 7}, {15.5, 7}, {13.5, 13.5}, {1, 13.5}}));
}

void drawSave(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1.5, 1.5);
    p.setBrush(kWhite);
    p.drawRect(QRectF(4, 1.5, 8, 5));
    p.drawRect(QRectF(4, 9, 8, 5.5));
    p.setBrush(kBlue);
    p.drawRect(QRectF(9, 2.5, 2, 3));
}

void drawSend(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawRect(QRectF(1, 6, 8, 4));
    p.drawPolygon(QPolygonF({{8, 2}, {15, 8}, {8, 14}}));
}

void drawUpgrade(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(kPurple);
    p.drawPolygon(QPolygonF({{8, 1}, {14, 7.5}, {10, 7.5}, {10, 11.5}, {6, 11.5}, {6, 7.5}, {2, 7.5}}));
    p.drawRect(QRectF(2, 13, 12, 2));
}

void drawExit(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setPen(QPen(kWhite, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
    p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
}

// Paints at whatever size and pixel ratio the icon is asked for.
class DrawnIconEngine : public QIconEngine {
public:
    explicit DrawnIconEngine(OwnIcon icon) : icon_(icon) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        const qreal side = std::min(rect.width(), rect.height());
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(rect.x() + (rect.width() - side) / 2, rect.y() + (rect.height() - side) / 2);
        painter->scale(side / kGrid, side / kGrid);
        if (mode == QIcon::Disabled)
            painter->setOpacity(kDisabledOpacity);
        draw(*painter);
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap image(size);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        paint(&painter, QRect(QPoint(), size), mode, state);
        return image;
    }

    QIconEngine* clone() const override { return new DrawnIconEngine(icon_); }

private:
    void draw(QPainter& p) const
    {
        switch (icon_) {
        case OwnIcon::Reload: drawReload(p); break;
        case OwnIcon::Open: drawOpen(p); break;
        case OwnIcon::Save: drawSave(p); break;
        case OwnIcon::Send: drawSend(p); break;
        case OwnIcon::Upgrade: drawUpgrade(p); break;
        case OwnIcon::Exit: drawExit(p); break;
        }
    }

    OwnIcon icon_;
};

} // namespace

QIcon ownIcon(OwnIcon own) { return QIcon(new DrawnIconEngine(own)); }

QIcon themedIcon(const char* themeName, OwnIcon own)
{
    return QIcon::fromTheme(QLatin1String(themeName), ownIcon(own));
}

} // namespace ta::ui
