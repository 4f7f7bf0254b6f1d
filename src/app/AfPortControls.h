#pragma once

#include "serial/AfComPort.h"

#include <QGroupBox>
#include <QList>
#include <QPointer>
#include <QString>

#include <cstdint>

class QButtonGroup;
class QGridLayout;
class QRadioButton;

// What opening a port for an instant found. The numbers are part of each
// item's value (high word).
enum TAfPortState : uint16_t {
    psBusy = 0,   // the open failed for another reason, typically another program holds it
    psFree = 1,   // opened and closed again
    psAbsent = 2, // no such device
};

enum TAfPortCtlOption {
    pcCheckExist,    // ports that do not exist are disabled
    pcDisableOpen,   // ports held by another program are disabled
    pcHighlightOpen, // held ports that stay enabled are drawn in the grey-text colour
};
// A set of TAfPortCtlOption: bit n stands for option n.
using TAfPortCtlOptions = uint8_t;
constexpr TAfPortCtlOptions AfPortCtlOption(TAfPortCtlOption option)
{
    return static_cast<TAfPortCtlOptions>(1u << option);
}

// A radio group listing COM1..MaxComPorts, one button each, which shows
// whether each port can be used: every port is opened for an instant when
// the list is made and whenever RefreshPorts() asks (never on a click), and
// ports that do not exist or that another program holds are disabled or
// greyed as Options ask. Linked to a serial port component, a click moves
// that component to the chosen port.
class TAfPortRadioGroup : public QGroupBox
{
    Q_OBJECT
  public:
    explicit TAfPortRadioGroup(QWidget *parent = nullptr);
    ~TAfPortRadioGroup() override;

    // Opens the device of port `number` exclusively and closes it at once.
    // A serial node without a UART is absent; a device that this program
    // itself holds open is free.
    static TAfPortState ProbePort(int number);
    // The device path the port number maps to and, for a USB adapter, its
    // maker and product: the button's tooltip.
    static QString PortDescription(int number);
    // Probes every port again (ports plugged in or freed since the last look).
    void RefreshPorts();
    // "COM &n" below 10 (the digit is the accelerator), "COM n" above.
    static QString PortCaption(int number);

    // While the stored properties are being set (between BeginLoading and
    // Loaded) nothing is probed, refreshed or selected.
    void BeginLoading() { m_reading = true; }
    // After the stored properties: fill (probing the ports once) and select.
    void Loaded();

    TAfCustomComPort *ComPort() const { return m_comPort; }
    // Not owned; a port that is destroyed unlinks itself.
    void SetComPort(TAfCustomComPort *port);
    int MaxComPorts() const { return m_maxComPorts; }
    void SetMaxComPorts(int value);
    TAfPortCtlOptions Options() const { return m_options; }
    void SetOptions(TAfPortCtlOptions value);
    int Columns() const { return m_columns; }
    void SetColumns(int value);

    // The port whose button is selected, 0 for none. A number above the last
    // port selects the last button but is kept as it is.
    uint16_t SelectedPort() const { return m_selectedPort; }
    void SetSelectedPort(uint16_t value);

    // The items: port number in the low word of the value, state in the high.
    int ItemCount() const { return static_cast<int>(m_values.size()); }
    uint32_t ItemValue(int index) const { return m_values.value(index); }
    QRadioButton *Button(int index) const { return m_buttons.value(index); }
    // The selected button, -1 for none.
    int ItemIndex() const { return m_itemIndex; }
    void SetItemIndex(int index);

    // Raised by a click on a button, before the port follows it.
    TNotifyEvent OnClick;

  protected:
    void changeEvent(QEvent *event) override;

  private:
    void ButtonClick(int index);
    void FillItems(bool rebuild);
    void Refresh(bool rebuild, bool newProbe);
    void Select();
    void AddButton(int number, TAfPortState state);
    void ClearButtons();
    void PlaceButtons();

    QList<QRadioButton *> m_buttons;
    QList<uint32_t> m_values;
    QButtonGroup *m_group = nullptr;
    QGridLayout *m_layout = nullptr;
    QPointer<TAfCustomComPort> m_comPort;
    uint16_t m_selectedPort = 0;
    int m_maxComPorts = 4;
    TAfPortCtlOptions m_options = AfPortCtlOption(pcCheckExist);
    int m_columns = 1;
    int m_itemIndex = -1;
    bool m_reading = false;
};
