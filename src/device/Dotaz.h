#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The confirmation dialog for the communicator's counters before a write:
// keep or change the hours to the service call and the power-on count.
class TForm9 : public QDialog
{
    Q_OBJECT

  public:
    explicit TForm9(QWidget *parent = nullptr);

    QFrame *Panel3 = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QFrame *Panel1 = nullptr;
    QLabel *Label3 = nullptr;
    QRadioButton *RadioButton3 = nullptr;
    QRadioButton *RadioButton4 = nullptr;
    QLabel *Label4 = nullptr;
    QPushButton *Button1 = nullptr;
};
