#include "app/Uvod.h"

#include "app/FormFont.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

TForm8::TForm8(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("TForm8"));
    setFont(formFont());
    setFixedSize(450, 299);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 449, 297);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setPixmap(picture());

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(0, 0, 450, 97);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    Label1->setAttribute(Qt::WA_TranslucentBackground);
    QFont big = font();
    big.setPixelSize(23);
    big.setBold(true);
    Label1->setFont(big);
    QPalette pal = Label1->palette();
    pal.setColor(QPalette::WindowText, Qt::red);
    Label1->setPalette(pal);
    Label1->setText(designText());

    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

QString TForm8::designText()
{
    return QStringLiteral("Před zápisem dat do KAVR nezapomeňte nejprve data načíst !");
}

QPixmap TForm8::picture()
{
    QPixmap pm(440, 290);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);

    // A pale sky at the top keeps the red text readable.
    QLinearGradient sky(0, 0, 0, 290);
    sky.setColorAt(0.0, QColor(250, 250, 246));
    sky.setColorAt(0.45, QColor(226, 234, 242));
    sky.setColorAt(1.0, QColor(170, 185, 200));
    p.fillRect(pm.rect(), sky);

    // The lift shaft and the open car.
    p.setPen(QPen(QColor(90, 95, 105), 3));
    p.setBrush(QColor(205, 210, 218));
    p.drawRect(QRectF(40, 110, 170, 170));
    p.setBrush(QColor(245, 238, 215));
    p.drawRect(QRectF(62, 128, 126, 152));
    p.setBrush(QColor(175, 182, 192));
    p.drawRect(QRectF(40, 128, 22, 152));
    p.drawRect(QRectF(188, 128, 22, 152));
    // The communicator on the car wall: a grille and the alarm button.
    p.setPen(QPen(QColor(60, 60, 60), 2));
    p.setBrush(QColor(230, 232, 235));
    p.drawRoundedRect(QRectF(140, 170, 38, 58), 4, 4);
    p.setPen(QPen(QColor(120, 120, 120), 1.5));
    for (int i = 0; i < 4; ++i)
        p.drawLine(QPointF(147, 178 + i * 6), QPointF(171, 178 + i * 6));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(230, 180, 20));
    p.drawEllipse(QPointF(159, 214), 8, 8);

    // The laptop with the arrows: first read, then write.
    p.setPen(QPen(QColor(50, 50, 55), 2));
    p.setBrush(QColor(60, 65, 75));
    p.drawRoundedRect(QRectF(268, 150, 130, 84), 4, 4);
    p.setBrush(QColor(90, 150, 210));
    p.drawRect(QRectF(276, 158, 114, 68));
    QPainterPath base;
    base.moveTo(256, 236);
    base.lineTo(410, 236);
    base.lineTo(420, 250);
    base.lineTo(246, 250);
    base.closeSubpath();
    p.setBrush(QColor(150, 155, 165));
    p.drawPath(base);

    auto arrow = [&p](QPointF from, QPointF to, const QColor &colour) {
        p.setPen(QPen(colour, 6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(from, to);
        const double dir = to.x() > from.x() ? 1 : -1;
        QPainterPath head;
        head.moveTo(to + QPointF(dir * 12, 0));
        head.lineTo(to + QPointF(-dir * 6, -10));
        head.lineTo(to + QPointF(-dir * 6, 10));
        head.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawPath(head);
    };
    arrow(QPointF(190, 180), QPointF(250, 180), QColor(30, 150, 50)); // 1: read
    arrow(QPointF(258, 212), QPointF(198, 212), QColor(200, 40, 40)); // 2: write
    p.setPen(Qt::white);
    QFont f = formFont();
    f.setPixelSize(14);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(30, 150, 50));
    p.drawText(QRectF(205, 150, 40, 20), Qt::AlignCenter, QStringLiteral("1"));
    p.setPen(QColor(200, 40, 40));
    p.drawText(QRectF(210, 222, 40, 20), Qt::AlignCenter, QStringLiteral("2"));
    p.end();
    return pm;
}
