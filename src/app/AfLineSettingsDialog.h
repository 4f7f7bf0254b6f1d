#pragma once

#include "platform/TerminalLineSettings.h"

#include <QDialog>

class QComboBox;

// The port component's own line-settings dialog: baud rate (any whole rate
// may be typed in), data bits, parity, stop bits and flow control, shown over
// a line-settings record. Everything else in the record passes through it
// unchanged. The texts are fixed English ones, like the serial layer's
// messages.
class TAfLineSettingsDialog : public QDialog
{
    Q_OBJECT
  public:
    explicit TAfLineSettingsDialog(const QString &portName, QWidget *parent = nullptr);

    // Shows the record in the controls.
    void SetLineSettings(const TerminalLineSettings &record);
    // The record set last, with what the controls now show. A typed rate that
    // is no whole number above 0 keeps the record's rate.
    TerminalLineSettings LineSettings() const;

    // Makes this dialog the one every port component shows for its line
    // settings (over the active window).
    static void installForPorts();

    QComboBox *BaudRateBox = nullptr; // editable: a rate not in the list is a user rate
    QComboBox *DataBitsBox = nullptr; // 4 to 8
    QComboBox *ParityBox = nullptr;   // none, odd, even, mark, space
    QComboBox *StopBitsBox = nullptr; // 1, 1.5, 2
    QComboBox *FlowControlBox = nullptr;

  private:
    TerminalLineSettings m_record;
};
