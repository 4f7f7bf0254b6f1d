#pragma once

#include <QDialog>

class ExchangeService;
class QLabel;
class QProgressBar;
class TAfComPort;

// The communication dialog: shown modally while an exchange with the
// communicator runs, with its progress. The exchange service drives the
// exchange; the dialog shows it and closes when it ends.
class TForm6 : public QDialog
{
    Q_OBJECT

  public:
    explicit TForm6(QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    // The program's one serial port: 2400 baud, 8N1, DTR held off.
    TAfComPort *AfComPort1 = nullptr;

    // Shows the service's exchanges: modal from its start to its end, the
    // progress bar following it.
    void follow(ExchangeService &service);

    // An exchange cannot be cancelled: it ends by its answer, its time limit
    // or a failure, and then closes the dialog with accept().
    void reject() override {}

  protected:
    void closeEvent(QCloseEvent *event) override;
};
