#include "app/AfPortControls.h"

#include "platform/PortPaths.h"
#include "platform/SerialPortInfo.h"
#include "platform/TerminalDevice.h"
#include "serial/AfUtils.h"

#include <QButtonGroup>
#include <QEvent>
#include <QGridLayout>
#include <QRadioButton>

#include <algorithm>

namespace
{

uint32_t itemValue(int number, TAfPortState state)
{
    return static_cast<uint16_t>(number) | (static_cast<uint32_t>(state) << 16);
}

TAfPortState stateOf(uint32_t value)
{
    return static_cast<TAfPortState>(value >> 16);
}

// The colour a button's caption is drawn in, for every state the button can
// be in while enabled.
void setTextColour(QRadioButton *button, const QColor &colour)
{
    QPalette pal = button->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(group, QPalette::WindowText, colour);
        pal.setColor(group, QPalette::ButtonText, colour);
    }
    button->setPalette(pal);
}

} // namespace

TAfPortRadioGroup::TAfPortRadioGroup(QWidget *parent) : QGroupBox(parent)
{
    m_group = new QButtonGroup(this);
    m_group->setExclusive(true);
    connect(m_group, &QButtonGroup::idClicked, this, [this](int id) { ButtonClick(id); });
    m_layout = new QGridLayout(this);
    m_layout->setContentsMargins(8, 4, 8, 4);
    m_layout->setHorizontalSpacing(8);
    m_layout->setVerticalSpacing(0);
}

TAfPortRadioGroup::~TAfPortRadioGroup() = default;

TAfPortState TAfPortRadioGroup::ProbePort(int number)
{
    const QString path = PortPaths::devicePath(number);
    if (path.isEmpty())
        return psAbsent;
    // A serial node with no UART behind it opens, or fails oddly, but there
    // is no port: it is absent, not held by anyone.
    if (SerialPortInfo::hasNoUart(path))
        return psAbsent;
    // The program's own open port is in use by us, so it is usable.
    if (TerminalDevice::openHere(path))
        return psFree;
    TerminalDevice device;
    switch (device.open(path)) {
    case TerminalDevice::OpenResult::Opened:
        device.close();
        return psFree;
    case TerminalDevice::OpenResult::Absent:
        return psAbsent;
    case TerminalDevice::OpenResult::Failed:
        break;
    }
    return psBusy;
}

QString TAfPortRadioGroup::PortDescription(int number)
{
    const QString path = PortPaths::devicePath(number);
    const QString adapter = SerialPortInfo::usbAdapter(path);
    return adapter.isEmpty() ? path : path + QStringLiteral(" \u2013 ") + adapter;
}

void TAfPortRadioGroup::RefreshPorts()
{
    Refresh(false, true);
}

QString TAfPortRadioGroup::PortCaption(int number)
{
    return number < 10 ? QStringLiteral("COM &%1").arg(number) : QStringLiteral("COM %1").arg(number);
}

void TAfPortRadioGroup::Loaded()
{
    m_reading = false;
    Refresh(false, false);
    Select();
}

void TAfPortRadioGroup::SetComPort(TAfCustomComPort *port)
{
    m_comPort = port;
    if (port)
        SetSelectedPort(static_cast<uint16_t>(std::clamp(port->ComNumber(), 0, 0xFFFF)));
}

void TAfPortRadioGroup::SetMaxComPorts(int value)
{
    m_maxComPorts = std::max(value, 0);
    // Another count does not match the items any more: the fill rebuilds
    // them and probes every port.
    Refresh(false, false);
}

void TAfPortRadioGroup::SetOptions(TAfPortCtlOptions value)
{
    m_options = value;
    Refresh(false, false);
}

void TAfPortRadioGroup::SetColumns(int value)
{
    value = std::clamp(value, 1, 16);
    if (value == m_columns)
        return;
    m_columns = value;
    PlaceButtons();
}

void TAfPortRadioGroup::SetSelectedPort(uint16_t value)
{
    if (value == m_selectedPort)
        return;
    m_selectedPort = value;
    Select();
}

void TAfPortRadioGroup::Select()
{
    if (!m_reading)
        SetItemIndex(static_cast<int>(m_selectedPort) - 1);
}

void TAfPortRadioGroup::SetItemIndex(int index)
{
    index = std::clamp(index, -1, ItemCount() - 1);
    m_itemIndex = index;
    if (index >= 0) {
        m_buttons[index]->setChecked(true);
        return;
    }
    // An exclusive group never lets its last checked button go by itself.
    m_group->setExclusive(false);
    for (QRadioButton *b : std::as_const(m_buttons))
        b->setChecked(false);
    m_group->setExclusive(true);
}

void TAfPortRadioGroup::ButtonClick(int index)
{
    m_itemIndex = index;
    if (OnClick)
        OnClick(this);
    m_selectedPort = static_cast<uint16_t>(index + 1);
    // No new probe here: the list shows what was found when it was shown,
    // and a port the click just opened stays clickable.
    try {
        if (m_comPort) {
            m_comPort->SetComNumber(m_selectedPort);
            if (!m_comPort->IsOpen())
                m_comPort->Open();
        }
    } catch (...) {
        AfShowException(std::current_exception());
    }
}

void TAfPortRadioGroup::changeEvent(QEvent *event)
{
    QGroupBox::changeEvent(event);
    // Buttons are sized for the font: new ones, and the rebuild probes again.
    if (event->type() == QEvent::FontChange)
        Refresh(true, false);
}

void TAfPortRadioGroup::FillItems(bool rebuild)
{
    if (!rebuild && ItemCount() == m_maxComPorts)
        return;
    ClearButtons();
    for (int n = 1; n <= m_maxComPorts; ++n)
        AddButton(n, ProbePort(n));
    PlaceButtons();
    SetItemIndex(m_itemIndex);
}

void TAfPortRadioGroup::Refresh(bool rebuild, bool newProbe)
{
    if (m_reading)
        return;
    FillItems(rebuild);
    const QColor buttonText = palette().color(QPalette::Active, QPalette::ButtonText);
    const QColor greyText = palette().color(QPalette::Disabled, QPalette::WindowText);
    const bool checkExist = m_options & AfPortCtlOption(pcCheckExist);
    const bool disableOpen = m_options & AfPortCtlOption(pcDisableOpen);
    const bool highlightOpen = m_options & AfPortCtlOption(pcHighlightOpen);
    for (int i = 0; i < ItemCount(); ++i) {
        QRadioButton *button = m_buttons[i];
        if (newProbe) {
            m_values[i] = itemValue(i + 1, ProbePort(i + 1));
            button->setToolTip(PortDescription(i + 1));
        }
        switch (stateOf(m_values[i])) {
        case psBusy:
            button->setEnabled(!disableOpen);
            setTextColour(button, !disableOpen && highlightOpen ? greyText : buttonText);
            break;
        case psFree:
            button->setEnabled(true);
            setTextColour(button, buttonText);
            break;
        case psAbsent:
            button->setEnabled(!checkExist);
            setTextColour(button, buttonText);
            break;
        }
    }
}

void TAfPortRadioGroup::AddButton(int number, TAfPortState state)
{
    auto *button = new QRadioButton(PortCaption(number), this);
    button->setObjectName(QStringLiteral("COM%1").arg(number));
    button->setToolTip(PortDescription(number));
    m_group->addButton(button, static_cast<int>(m_buttons.size()));
    m_buttons.append(button);
    m_values.append(itemValue(number, state));
    if (isVisible())
        button->show();
}

void TAfPortRadioGroup::ClearButtons()
{
    for (QRadioButton *b : std::as_const(m_buttons)) {
        m_group->removeButton(b);
        delete b;
    }
    m_buttons.clear();
    m_values.clear();
}

// Buttons run down the columns, as many rows as the count needs.
void TAfPortRadioGroup::PlaceButtons()
{
    while (m_layout->count() > 0)
        delete m_layout->takeAt(0);
    const int count = ItemCount();
    if (count == 0)
        return;
    const int rows = (count + m_columns - 1) / m_columns;
    for (int i = 0; i < count; ++i)
        m_layout->addWidget(m_buttons[i], i % rows, i / rows);
    for (int c = 0; c < m_layout->columnCount(); ++c)
        m_layout->setColumnStretch(c, c < m_columns ? 1 : 0);
}
