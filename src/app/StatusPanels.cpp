#include "app/StatusPanels.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>

namespace
{

struct PanelLayout {
    int width;
    const char *designText;
    bool bevel;
    Qt::Alignment align;
};

// Panel 5 is wider than the 60 pixels the date once had, and panel 6 than
// its 50: a date such as 28.12.2026 and a time such as 23:59:59 must show
// whole in the font used here.
constexpr PanelLayout panels[StatusPanels::Count] = {
    {50, "COM", true, Qt::AlignLeft | Qt::AlignVCenter},
    {200, "Soubor", true, Qt::AlignLeft | Qt::AlignVCenter},
    {50, " ", false, Qt::AlignLeft | Qt::AlignVCenter},
    {140, "Firmware:", true, Qt::AlignCenter},
    {50, " ", false, Qt::AlignLeft | Qt::AlignVCenter},
    {72, "Date", true, Qt::AlignCenter},
    {58, "Time", true, Qt::AlignCenter},
};

} // namespace

StatusPanels::StatusPanels(QWidget *parent) : QFrame(parent)
{
    setCursor(Qt::PointingHandCursor);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 1, 0, 0);
    row->setSpacing(0);
    for (int i = 0; i < Count; ++i) {
        auto *label = new QLabel(QString::fromUtf8(panels[i].designText), this);
        label->setObjectName(QStringLiteral("StatusBar1Panel%1").arg(i));
        label->setFixedWidth(panels[i].width);
        label->setAlignment(panels[i].align);
        label->setFrameStyle(panels[i].bevel ? QFrame::Panel | QFrame::Sunken : QFrame::NoFrame);
        label->setIndent(2);
        row->addWidget(label);
        m_panels.append(label);
    }
    row->addStretch(1);
}

QString StatusPanels::panelText(int index) const
{
    const QLabel *label = m_panels.value(index);
    return label ? label->text() : QString();
}

void StatusPanels::setPanelText(int index, const QString &text)
{
    if (QLabel *label = m_panels.value(index))
        label->setText(text);
}

int StatusPanels::panelWidth(int index) const
{
    const QLabel *label = m_panels.value(index);
    return label ? label->width() : 0;
}

void StatusPanels::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QFrame::mouseReleaseEvent(event);
}
