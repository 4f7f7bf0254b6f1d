#include "app/Zobraz.h"

#include "app/FormFont.h"
#include "device/ExchangeService.h"
#include "device/SerialTransport.h"
#include "serial/AfComPort.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>

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

    AfComPort1 = new TAfComPort(this);
    SerialTransport::setUpPort(*AfComPort1);
}

void TForm6::follow(ExchangeService &service)
{
    connect(&service, &ExchangeService::started, this, [this] {
        ProgressBar1->setValue(0);
        // Modal as long as the exchange runs; the service's own wait is the
        // event loop meanwhile.
        setWindowModality(Qt::ApplicationModal);
        show();
    });
    connect(&service, &ExchangeService::progressChanged, this, [this](int v) {
        // The bar stops at its end rather than ignoring steps beyond it.
        ProgressBar1->setValue(std::clamp(v, ProgressBar1->minimum(), ProgressBar1->maximum()));
    });
    connect(&service, &ExchangeService::finished, this, [this] {
        if (isVisible())
            accept();
    });
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
