#include "device/ExchangeLines.h"

#include "device/UsbLink.h"
#include "device/UsbTransport.h"

ExchangeLines::ExchangeLines(std::function<void(int ms)> pause)
    : m_usb(std::make_unique<UsbLink>(nullptr, std::move(pause))),
      m_usbTransport(std::make_unique<UsbTransport>(*m_usb))
{
}

ExchangeLines::~ExchangeLines()
{
    // The serial port outlives this; it must not call back into a protocol
    // that is gone.
    if (m_serial) {
        m_serial->dataArrived = nullptr;
        m_serial->lineLost = nullptr;
    }
}

ExchangeTransport *ExchangeLines::current() const
{
    return m_usbSelected ? static_cast<ExchangeTransport *>(m_usbTransport.get()) : m_serial;
}

bool ExchangeLines::openCable()
{
    m_usb->open();
    return cableOpen();
}

bool ExchangeLines::cableOpen() const
{
    return m_usb->UsbState == UsbLink::StateOpen;
}

void ExchangeLines::closeCable()
{
    m_usb->close();
}
