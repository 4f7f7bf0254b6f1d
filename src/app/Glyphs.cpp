#include "app/Glyphs.h"

#include <QPainter>

#include <QPainterPath>
#include <QPixmap>
#include <cmath>

#include <functional>

namespace
{

QIcon drawn(int size, const std::function<void(QPainter &, double)> &draw)
{
    QIcon icon;
    for (int scale : {1, 2}) {
        QPixmap pm(size * scale, size * scale);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(scale * size / 32.0, scale * size / 32.0); // every glyph is drawn on a 32 by 32 grid
        draw(p, size);
        p.end();
        pm.setDevicePixelRatio(scale);
        icon.addPixmap(pm);
    }
    return icon;
}

// The communicator: a small grey box with a keypad.
void drawDevice(QPainter &p, const QRectF &r)
{
    p.setPen(QPen(QColor(60, 60, 60), 1.2));
    p.setBrush(QColor(205, 210, 215));
    p.drawRoundedRect(r, 2, 2);
    p.setBrush(QColor(40, 90, 160));
    const double w = r.width() / 4.0;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 2; ++col)
            p.drawRect(QRectF(r.left() + w * (0.6 + col * 1.6), r.top() + r.height() * (0.15 + row * 0.27),
                              w * 0.9, r.height() * 0.16));
}

// The computer: a monitor on a foot.
void drawComputer(QPainter &p, const QRectF &r)
{
    p.setPen(QPen(QColor(50, 50, 50), 1.2));
    p.setBrush(QColor(235, 235, 235));
    p.drawRoundedRect(QRectF(r.left(), r.top(), r.width(), r.height() * 0.75), 1.5, 1.5);
    p.setBrush(QColor(70, 130, 200));
    p.drawRect(QRectF(r.left() + 2, r.top() + 2, r.width() - 4, r.height() * 0.75 - 4));
    p.setBrush(QColor(120, 120, 120));
    p.drawRect(QRectF(r.center().x() - 2, r.top() + r.height() * 0.75, 4, r.height() * 0.12));
    p.drawRect(QRectF(r.center().x() - 6, r.bottom() - 2, 12, 2));
}

void drawArrow(QPainter &p, QPointF from, QPointF to, const QColor &colour)
{
    p.setPen(QPen(colour, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, to);
    const QPointF d = (to - from) / std::hypot(to.x() - from.x(), to.y() - from.y());
    const QPointF n(-d.y(), d.x());
    QPainterPath head;
    head.moveTo(to + d * 3);
    head.lineTo(to - d * 4 + n * 4);
    head.lineTo(to - d * 4 - n * 4);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(head);
}

} // namespace

namespace Glyphs
{

QIcon open()
{
    return drawn(16, [](QPainter &p, double) {
        p.setPen(QPen(QColor(120, 85, 10), 1.5));
        p.setBrush(QColor(240, 200, 90));
        p.drawRect(QRectF(3, 7, 24, 19));
        p.drawRect(QRectF(3, 4, 10, 4));
        p.setBrush(QColor(252, 226, 130));
        QPainterPath front;
        front.moveTo(7, 13);
        front.lineTo(30, 13);
        front.lineTo(26, 26);
        front.lineTo(3, 26);
        front.closeSubpath();
        p.drawPath(front);
    });
}

QIcon save()
{
    return drawn(16, [](QPainter &p, double) {
        p.setPen(QPen(QColor(20, 30, 70), 1.5));
        p.setBrush(QColor(50, 80, 160));
        p.drawRoundedRect(QRectF(3, 3, 26, 26), 2, 2);
        p.setBrush(QColor(245, 245, 245));
        p.drawRect(QRectF(8, 3, 16, 10));
        p.setBrush(QColor(190, 190, 190));
        p.drawRect(QRectF(8, 18, 16, 11));
        p.setBrush(QColor(20, 30, 70));
        p.drawRect(QRectF(19, 5, 3, 6));
    });
}

QIcon readDevice()
{
    return drawn(28, [](QPainter &p, double) {
        drawDevice(p, QRectF(2, 8, 10, 18));
        drawComputer(p, QRectF(17, 6, 14, 20));
        drawArrow(p, QPointF(9, 3), QPointF(22, 3), QColor(20, 140, 40));
    });
}

QIcon writeDevice()
{
    return drawn(28, [](QPainter &p, double) {
        drawDevice(p, QRectF(2, 8, 10, 18));
        drawComputer(p, QRectF(17, 6, 14, 20));
        drawArrow(p, QPointF(23, 3), QPointF(10, 3), QColor(190, 30, 30));
    });
}

QIcon program()
{
    return drawn(32, [](QPainter &p, double) {
        p.setPen(QPen(QColor(60, 60, 60), 1.5));
        p.setBrush(QColor(200, 205, 212));
        p.drawRect(QRectF(4, 2, 24, 28));
        p.setBrush(QColor(160, 168, 178));
        p.drawRect(QRectF(7, 5, 8, 22));
        p.drawRect(QRectF(17, 5, 8, 22));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 30, 30));
        p.drawEllipse(QPointF(16, 16), 7, 7);
        p.setBrush(Qt::white);
        QPainterPath handset;
        handset.addRoundedRect(QRectF(11, 14.5, 10, 3), 1.5, 1.5);
        p.drawPath(handset);
        p.drawEllipse(QPointF(11.5, 16), 2, 2.5);
        p.drawEllipse(QPointF(20.5, 16), 2, 2.5);
    });
}

} // namespace Glyphs
