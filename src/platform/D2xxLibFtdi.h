#pragma once

#include "platform/D2xx.h"

#include <QList>
#include <QMutex>

#include <map>
#include <memory>

struct ftdi_context;

// The real cable, driven through libftdi1 (libusb underneath, no kernel serial
// driver needed). libftdi has no call that tells how many received bytes are
// waiting, so a status query first moves what the converter has sent into a
// buffer of our own and reports the buffer's size; reads take from it. The
// converter sends at most once a latency period, so a query sooner than that
// after its last packet reports the buffer without waiting on the bus.
class LibFtdiD2xx : public D2xxBackend
{
  public:
    static constexpr quint16 VendorId = 0x0403;
    // FT232R, FT2232, FT4232, FT232H and FT-X converters.
    static const QList<quint16> &productIds();
    // The converter sends what it has at least this often, so a one-byte
    // handshake is seen within a few milliseconds instead of the default 16.
    static constexpr quint8 LatencyTimerMs = 2;
    // Received bytes kept beyond this are dropped, as a driver's full queue would.
    static constexpr int MaxBuffered = 64 * 1024;

    LibFtdiD2xx();
    ~LibFtdiD2xx() override;
    LibFtdiD2xx(const LibFtdiD2xx &) = delete;
    LibFtdiD2xx &operator=(const LibFtdiD2xx &) = delete;

    D2xx::Status openEx(const QByteArray &serialNumber, quint32 flags, D2xx::Handle *handle) override;
    D2xx::Status close(D2xx::Handle handle) override;
    D2xx::Status setBitMode(D2xx::Handle handle, quint8 mask, quint8 mode) override;
    D2xx::Status setDtr(D2xx::Handle handle) override;
    D2xx::Status clrDtr(D2xx::Handle handle) override;
    D2xx::Status setRts(D2xx::Handle handle) override;
    D2xx::Status clrRts(D2xx::Handle handle) override;
    D2xx::Status setBaudRate(D2xx::Handle handle, quint32 baudRate) override;
    D2xx::Status getStatus(D2xx::Handle handle, quint32 *rxQueue, quint32 *txQueue,
                           quint32 *eventStatus) override;
    D2xx::Status read(D2xx::Handle handle, void *buffer, quint32 size, quint32 *bytesRead) override;
    D2xx::Status write(D2xx::Handle handle, const void *buffer, quint32 size, quint32 *bytesWritten) override;

  private:
    struct Connection;

    Connection *find(D2xx::Handle handle);
    D2xx::Status fill(Connection &connection);
    D2xx::Status lineCall(D2xx::Handle handle, int (*call)(ftdi_context *, int), int state);

    QMutex mutex_;
    std::map<D2xx::Handle, std::unique_ptr<Connection>> open_;
    D2xx::Handle nextHandle_ = 1;
};
