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

    // The counters as the window shows them and as the communicator reported
    // them to the write's version query.
    struct Counters {
        QString hours;         // Edit14
        QString powerOnCount;  // Edit157
        QString deviceHours;   // DeviceServiceHours
        QString devicePowerOn; // DevicePowerOnCount
    };
    // Fills the dialog before it is shown: the hours panel when the hours
    // differ (Edit1 holding the window's hours, to keep or change), the
    // power-on panel when the counts differ (the communicator's count or the
    // window's), texts from the language in force. OK accepts; the close box
    // and Esc reject.
    void prepare(const Counters &counters);
    // After OK: the hours to write, and the caption of the chosen count.
    QString chosenHours() const;
    QString chosenPowerOnCount() const;
};
