#include "device/Zobraz.h"

#include "device/ComPortLink.h"
#include "device/FormFont.h"
#include "serial/AfComPort.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>

TForm6::TForm6(QWidget *parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("TForm6"));
    setFont(formFont());
    setFixedSize(476, 65);

    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(0, 0, 476, 65);

    Label1 = new QLabel(panel);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 8, 460, 18);
    Label1->setAlignment(Qt::AlignCenter);
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);

    ProgressBar1 = new QProgressBar(panel);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(8, 34, 460, 20);
    ProgressBar1->setRange(0, 127);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(10);

    AfComPort1 = new TAfComPort(this);
    ComPortLink::setUpPort(*AfComPort1);
}

void TForm6::setPollInterval(int milliseconds)
{
    Timer1->setInterval(std::max(1, milliseconds));
}

void TForm6::closeEvent(QCloseEvent *event)
{
    // A close from the window system (there is no close box, but a window
    // manager shortcut still asks) would leave the exchange running unseen.
    if (event->spontaneous())
        event->ignore();
    else
        QDialog::closeEvent(event);
}
