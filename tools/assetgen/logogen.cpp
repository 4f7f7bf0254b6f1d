// Draws the maker's logo for the About box (150 by 70 pixels) and saves it as
// the bitmap the language files name: a lift car with its up and down arrows
// beside the name. Run with QT_QPA_PLATFORM=offscreen on a machine without a
// display; the build target about_logo refreshes the shipped file.

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace
{

const QColor navy(0x1B, 0x36, 0x5D);
const QColor amber(0xE8, 0x8A, 0x1A);

void drawEmblem(QPainter &p, const QRectF &box)
{
    // The car: a rounded navy square, its two doors meeting in the middle.
    p.setPen(Qt::NoPen);
    p.setBrush(navy);
    p.drawRoundedRect(box, 7, 7);
    const QRectF doors = box.adjusted(9, 9, -20, -9);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(doors.left(), doors.top(), doors.width() / 2 - 1, doors.height()));
    p.drawRect(QRectF(doors.center().x() + 1, doors.top(), doors.width() / 2 - 1, doors.height()));

    // The hall arrows on the right edge of the car.
    const qreal x = box.right() - 11;
    const qreal mid = box.center().y();
    QPainterPath up;
    up.moveTo(x, mid - 15);
    up.lineTo(x + 6, mid - 4);
    up.lineTo(x - 6, mid - 4);
    up.closeSubpath();
    QPainterPath down;
    down.moveTo(x, mid + 15);
    down.lineTo(x + 6, mid + 4);
    down.lineTo(x - 6, mid + 4);
    down.closeSubpath();
    p.setBrush(amber);
    p.drawPath(up);
    p.setBrush(Qt::white);
    p.drawPath(down);
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE.BMP\n", argv[0]);
        return 2;
    }

    QImage image(150, 70, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    drawEmblem(p, QRectF(5, 9, 52, 52));

    QFont name(QStringLiteral("DejaVu Sans"));
    name.setPixelSize(19);
    name.setBold(true);
    name.setLetterSpacing(QFont::AbsoluteSpacing, 0.5);
    p.setFont(name);
    p.setPen(navy);
    p.drawText(QRectF(62, 8, 88, 24), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("KAVRO"));
    p.setPen(amber);
    p.drawText(QRectF(62, 29, 88, 24), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("TECH"));

    p.setPen(QPen(navy, 1.5));
    p.drawLine(QPointF(63, 55), QPointF(145, 55));
    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(8);
    p.setFont(small);
    p.setPen(navy);
    p.drawText(QRectF(62, 56, 84, 12), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("s.r.o.  Brno"));
    p.end();

    if (!image.save(QString::fromLocal8Bit(argv[1]), "BMP")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
