#include "app/CaptionPanel.h"

#include <QMouseEvent>
#include <QPainter>

CaptionPanel::CaptionPanel(QWidget *parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(1);
}

void CaptionPanel::setCaption(const QString &caption)
{
    m_caption = caption;
    update();
}

void CaptionPanel::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(contentsRect().adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, m_caption);
}

void CaptionPanel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QFrame::mouseReleaseEvent(event);
}
