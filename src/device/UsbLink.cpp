#include "device/UsbLink.h"

UsbLink::UsbLink(std::shared_ptr<D2xxBackend> backend, TFT232::Wait wait)
    : backend_(std::move(backend)), wait_(std::move(wait))
{
}

// The program never released the cable when it ended; destroying the link
// still closes a connection it holds so no handle outlives its owner.
UsbLink::~UsbLink() = default;

bool UsbLink::attempt(int waitMs)
{
    try {
        // Taking over replaces (and so closes) a connection still held, which
        // is only possible when the converter has been replugged meanwhile.
        UsbDevice = std::make_unique<TFT232>(SerialNumber, backend_ ? backend_ : D2xx::backend(), wait_);
        if (wait_)
            wait_(waitMs);
        UsbDevice->SetBitMode(0, 0); // plain serial, no bit-bang
        UsbDevice->SetDtr(false);    // DTR up
        UsbDevice->SetRts(true);     // RTS down
        UsbDevice->SetBaudRate(BaudRate);
        UsbState = StateOpen;
        UsbOpen = true;
        if (wait_)
            wait_(waitMs);
        return true;
    } catch (...) {
        return false;
    }
}

void UsbLink::open()
{
    if (attempt(20))
        return;
    UsbState = StateClosed;
    // The failed open left the earlier connection in place; it is what keeps
    // the converter busy, so let it go before trying again.
    release();
    UsbOpen = false;
    if (attempt(10))
        return;
    UsbState = StateClosed;
    UsbOpen = false;
}

void UsbLink::close()
{
    if (!UsbOpen)
        return;
    UsbState = StateClosed;
    UsbOpen = false;
}

QByteArray UsbLink::readAllWaiting()
{
    QByteArray result;
    if (!UsbOpen) {
        release();
        open();
        if (!UsbOpen)
            return result;
    }
    if (!UsbDevice)
        return result; // released after a failed exchange: nothing to read from

    const quint32 count = UsbDevice->RxQueueCount();
    for (quint32 i = 0; i < count; ++i) {
        quint8 byte = 0;
        if (!UsbDevice->ReadByte(byte))
            break;
        result.append(char(byte));
    }
    // More came in while we read: start over with a fresh connection rather
    // than hand the caller a half-taken answer next time.
    if (UsbDevice->RxQueueCount() != 0)
        open();
    return result;
}

void UsbLink::release()
{
    UsbDevice.reset();
}

quint32 UsbLink::waitingCount()
{
    return UsbDevice ? UsbDevice->RxQueueCount() : 0;
}

bool UsbLink::writeByte(quint8 byte)
{
    UsbWriteOk = UsbDevice && UsbDevice->WriteByte(byte);
    return UsbWriteOk;
}
