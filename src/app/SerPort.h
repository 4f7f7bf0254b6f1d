#pragma once

#include <QDialog>

class QCheckBox;
class TAfPortRadioGroup;

// The port choice dialog: the serial port list and the "USB cable" box, the
// program's one switch between the two transports.
class TForm5 : public QDialog
{
    Q_OBJECT

  public:
    explicit TForm5(QWidget *parent = nullptr);

    TAfPortRadioGroup *AfPortRadioGroup1 = nullptr; // the serial ports, probed when made and when shown
    QCheckBox *CheckBox1 = nullptr;                 // "USB cable"

    // Checks or clears the box exactly as a click would, so its reaction runs
    // (start-up does this from Config.ini).
    void setUsbChecked(bool checked);
    // The box's reaction to a click.
    void CheckBox1Click();

  protected:
    void showEvent(QShowEvent *event) override;

  private:
    void fitToChoice();

  signals:
    // The cable was chosen (true) or given up (false); the USB link and the
    // port list react.
    void usbChoiceChanged(bool checked);
};
