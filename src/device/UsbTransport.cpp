#include "device/UsbTransport.h"

#include "device/UsbLink.h"

#include <limits>

ExchangeTransport::Pacing UsbTransport::pacing(const ExchangeOptions &) const
{
    Pacing p;
    p.pollMs = PollMs;
    p.timeoutTicks = TimeoutTicks;
    p.partialBlockStep = 3;
    p.notifies = false;
    p.colourOnWholeAnswer = false;
    p.rereadOnTimeout = false; // the message shows the last data read
    p.handshakePollMs = HandshakePollMs;
    return p;
}

ExchangeTransport::Opened UsbTransport::open()
{
    if (!m_usb.UsbOpen) {
        m_usb.open();
        if (!m_usb.UsbOpen)
            return Opened::Unavailable;
    }
    // Released after a failed exchange: nothing to talk to until the next
    // command opens the cable again.
    return m_usb.UsbDevice ? Opened::Ready : Opened::Unavailable;
}

QByteArray UsbTransport::take()
{
    return m_usb.readAllWaiting();
}

bool UsbTransport::send(const QByteArray &bytes)
{
    bool ok = true;
    for (const char c : bytes)
        ok = m_usb.writeByte(static_cast<quint8>(c)) && ok;
    return ok;
}

int UsbTransport::waiting()
{
    const quint32 count = m_usb.waitingCount();
    return count > quint32(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max() : int(count);
}

ExchangeTransport::Health UsbTransport::health()
{
    if (!m_usb.UsbDevice || !m_usb.UsbOpen)
        return Health::Gone;
    return Health::Ok;
}

void UsbTransport::finish(bool failed, const ExchangeOptions &)
{
    // After a failure the connection goes; the next command opens it again.
    if (failed || !m_usb.UsbOpen)
        m_usb.release();
}
