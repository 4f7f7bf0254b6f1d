#include "platform/D2xxLibFtdi.h"

#include <QMutexLocker>

#include <ftdi.h>
#include <libusb.h>

#include <chrono>
#include <cstring>

using namespace D2xx;

struct LibFtdiD2xx::Connection {
    ftdi_context *ftdi = nullptr;
    QByteArray serialNumber;
    QByteArray received;
    // When the last bulk read from the converter returned; none yet when unset.
    std::chrono::steady_clock::time_point lastTransfer{};

    ~Connection()
    {
        if (ftdi) {
            ftdi_usb_close(ftdi);
            ftdi_free(ftdi);
        }
    }
};

namespace
{

// Bulk reads return as soon as the converter has nothing more to send (it
// reports every latency period), so this limit only matters when the cable has
// gone away in the middle of a transfer.
constexpr int ReadTimeoutMs = 100;
constexpr int WriteTimeoutMs = 1000;

bool isConverter(libusb_device *device)
{
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(device, &descriptor) != 0)
        return false;
    return descriptor.idVendor == LibFtdiD2xx::VendorId &&
           LibFtdiD2xx::productIds().contains(descriptor.idProduct);
}

// The first converter whose serial-number string is serialNumber, or null.
// A converter we may not open (no access rights) cannot tell its serial number
// and is passed over.
libusb_device *findBySerialNumber(ftdi_context *ftdi, libusb_device **list, ssize_t count,
                                  const QByteArray &serialNumber)
{
    for (ssize_t i = 0; i < count; ++i) {
        if (!isConverter(list[i]))
            continue;
        char serial[128] = {};
        if (ftdi_usb_get_strings(ftdi, list[i], nullptr, 0, nullptr, 0, serial, sizeof serial) < 0)
            continue;
        if (std::strcmp(serial, serialNumber.constData()) == 0)
            return list[i];
    }
    return nullptr;
}

} // namespace

const QList<quint16> &LibFtdiD2xx::productIds()
{
    static const QList<quint16> ids{0x6001, 0x6010, 0x6011, 0x6014, 0x6015};
    return ids;
}

LibFtdiD2xx::LibFtdiD2xx() = default;
LibFtdiD2xx::~LibFtdiD2xx() = default;

LibFtdiD2xx::Connection *LibFtdiD2xx::find(Handle handle)
{
    auto it = open_.find(handle);
    return it == open_.end() ? nullptr : it->second.get();
}

Status LibFtdiD2xx::openEx(const QByteArray &serialNumber, quint32 flags, Handle *handle)
{
    if (!handle)
        return InvalidParameter;
    *handle = NoHandle;
    if (flags != OpenBySerialNumber)
        return InvalidParameter;
    // The serial number is a zero-terminated string: what follows a zero byte
    // is not part of it.
    const QByteArray wanted(serialNumber.constData());

    QMutexLocker lock(&mutex_);
    // A converter is open at most once, as with the vendor's driver; the USB
    // link relies on that to find and release a connection it still holds.
    for (const auto &[h, connection] : open_) {
        if (connection->serialNumber == wanted)
            return DeviceNotOpened;
    }

    auto connection = std::make_unique<Connection>();
    connection->serialNumber = wanted;
    connection->ftdi = ftdi_new();
    if (!connection->ftdi)
        return InsufficientResources; // libusb could not start (no USB here at all)

    libusb_device **list = nullptr;
    const ssize_t count = libusb_get_device_list(connection->ftdi->usb_ctx, &list);
    if (count < 0)
        return DeviceNotFound;
    libusb_device *device = findBySerialNumber(connection->ftdi, list, count, wanted);
    const int opened = device ? ftdi_usb_open_dev(connection->ftdi, device) : -1;
    libusb_free_device_list(list, 1);
    if (!device)
        return DeviceNotFound;
    if (opened < 0)
        return DeviceNotOpened; // held by another program or driver

    connection->ftdi->usb_read_timeout = ReadTimeoutMs;
    connection->ftdi->usb_write_timeout = WriteTimeoutMs;
    ftdi_set_latency_timer(connection->ftdi, LatencyTimerMs);
    ftdi_set_line_property(connection->ftdi, BITS_8, STOP_BIT_1, NONE);

    const Handle h = nextHandle_++;
    open_.emplace(h, std::move(connection));
    *handle = h;
    return Ok;
}

Status LibFtdiD2xx::close(Handle handle)
{
    QMutexLocker lock(&mutex_);
    return open_.erase(handle) ? Ok : InvalidHandle;
}

Status LibFtdiD2xx::setBitMode(Handle handle, quint8 mask, quint8 mode)
{
    QMutexLocker lock(&mutex_);
    Connection *c = find(handle);
    if (!c)
        return InvalidHandle;
    return ftdi_set_bitmode(c->ftdi, mask, mode) < 0 ? IoError : Ok;
}

Status LibFtdiD2xx::lineCall(Handle handle, int (*call)(ftdi_context *, int), int state)
{
    QMutexLocker lock(&mutex_);
    Connection *c = find(handle);
    if (!c)
        return InvalidHandle;
    return call(c->ftdi, state) < 0 ? IoError : Ok;
}

Status LibFtdiD2xx::setDtr(Handle handle)
{
    return lineCall(handle, ftdi_setdtr, 1);
}

Status LibFtdiD2xx::clrDtr(Handle handle)
{
    return lineCall(handle, ftdi_setdtr, 0);
}

Status LibFtdiD2xx::setRts(Handle handle)
{
    return lineCall(handle, ftdi_setrts, 1);
}

Status LibFtdiD2xx::clrRts(Handle handle)
{
    return lineCall(handle, ftdi_setrts, 0);
}

Status LibFtdiD2xx::setBaudRate(Handle handle, quint32 baudRate)
{
    QMutexLocker lock(&mutex_);
    Connection *c = find(handle);
    if (!c)
        return InvalidHandle;
    if (baudRate == 0 || baudRate > 12000000)
        return InvalidBaudRate;
    const int result = ftdi_set_baudrate(c->ftdi, int(baudRate));
    if (result == -1)
        return InvalidBaudRate;
    return result < 0 ? IoError : Ok;
}

Status LibFtdiD2xx::fill(Connection &connection)
{
    using Clock = std::chrono::steady_clock;
    // The converter sends a packet when its latency period has run out (or
    // when a packet's worth of bytes waits), and a bulk read waits for that
    // packet. Asking again within one period of the last packet would only
    // wait for the next one, so such a query reports what we already hold.
    // Polled once a millisecond during a write, this keeps each handshake from
    // costing several latency periods.
    const auto now = Clock::now();
    if (connection.lastTransfer != Clock::time_point{} &&
        now - connection.lastTransfer < std::chrono::milliseconds(LatencyTimerMs))
        return Ok;

    unsigned char chunk[512];
    // One bulk read: it ends with the first short packet the converter sends.
    // Asking libftdi for a single byte keeps it from going on to wait for a
    // further packet; the rest of what came in waits in libftdi's own buffer
    // and is taken from there without touching the bus.
    int got = ftdi_read_data(connection.ftdi, chunk, 1);
    // Only a read that worked holds off the next one: after a failure every
    // call asks the bus again and reports what it says (a cable pulled out).
    connection.lastTransfer = got < 0 ? Clock::time_point{} : Clock::now();
    while (got > 0) {
        // Bounded, so a line that never stops talking cannot keep us here.
        const int room = MaxBuffered - int(connection.received.size());
        connection.received.append(reinterpret_cast<const char *>(chunk), qMin(got, room));
        const int left = int(qMin<unsigned>(connection.ftdi->readbuffer_remaining, sizeof chunk));
        if (left == 0)
            break;
        got = ftdi_read_data(connection.ftdi, chunk, left);
    }
    return got < 0 ? IoError : Ok;
}

Status LibFtdiD2xx::getStatus(Handle handle, quint32 *rxQueue, quint32 *txQueue, quint32 *eventStatus)
{
    QMutexLocker lock(&mutex_);
    Connection *c = find(handle);
    if (!c)
        return InvalidHandle;
    // Bytes already taken from the converter are real even when asking for
    // more failed (the cable pulled out just now); report them.
    const Status filled = fill(*c);
    const Status status = c->received.isEmpty() ? filled : Ok;
    if (rxQueue)
        *rxQueue = quint32(c->received.size());
    if (txQueue)
        *txQueue = 0; // writes return only when the converter has taken the bytes
    if (eventStatus)
        *eventStatus = 0;
    return status;
}

Status LibFtdiD2xx::read(Handle handle, void *buffer, quint32 size, quint32 *bytesRead)
{
    if (bytesRead)
        *bytesRead = 0;
    if (!buffer || !bytesRead)
        return InvalidParameter;
    QMutexLocker lock(&mutex_);
    Connection *c = find(handle);
    if (!c)
        return InvalidHandle;
    Status status = Ok;
    if (quint32(c->received.size()) < size)
        status = fill(*c);
    const quint32 n = qMin(size, quint32(c->received.size()));
    std::memcpy(buffer, c->received.constData(), n);
    c->received.remove(0, n);
    *bytesRead = n;
    return n > 0 ? Ok : status;
}

Status LibFtdiD2xx::write(Handle handle, const void *buffer, quint32 size, quint32 *bytesWritten)
{
    if (bytesWritten)
        *bytesWritten = 0;
    if (!buffer || !bytesWritten)
        return InvalidParameter;
    QMutexLocker lock(&mutex_);
    Connection *c = find(handle);
    if (!c)
        return InvalidHandle;
    if (size == 0)
        return Ok;
    const int chunk = int(qMin<quint32>(size, 1u << 20));
    const int written = ftdi_write_data(c->ftdi, static_cast<const unsigned char *>(buffer), chunk);
    if (written < 0)
        return IoError;
    *bytesWritten = quint32(written);
    return Ok;
}
