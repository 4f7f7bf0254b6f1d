#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QTimer;
class TAfComPort;

// The communication dialog: shown modally for every exchange with the
// communicator, with its progress; its poll timer drives the exchange.
class TForm6 : public QDialog
{
    Q_OBJECT

  public:
    explicit TForm6(QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QTimer *Timer1 = nullptr; // poll timer, stopped until an exchange runs
    // The program's one serial port: 2400 baud, 8N1, DTR held off.
    TAfComPort *AfComPort1 = nullptr;

    // Whether the port could be opened (PortOpenFailed) is the exchange's
    // state: ExchangeEngine holds it, the dialog only shows the exchange.

    // Poll interval in milliseconds; at least 1, so a zero or negative
    // setting from Config.ini cannot make the timer spin.
    void setPollInterval(int milliseconds);

    // An exchange cannot be cancelled: it ends by its answer, its time limit
    // or a failure, and then closes the dialog with accept().
    void reject() override {}

  protected:
    void closeEvent(QCloseEvent *event) override;
};
