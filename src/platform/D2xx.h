#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <functional>
#include <memory>

// The eleven operations the program needs from an FTDI USB-serial converter,
// with the calling conventions of FTDI's D2XX driver library: every call
// returns a status (0 is success) and takes the handle that the open call gave.
// Handles are plain numbers handed out by a backend and never reused, so a call
// on a closed handle fails with InvalidHandle instead of touching freed memory.
namespace D2xx
{

using Handle = quint32;
using Status = quint32;

constexpr Handle NoHandle = 0;

// Status values as the driver library numbers them.
constexpr Status Ok = 0;
constexpr Status InvalidHandle = 1;
constexpr Status DeviceNotFound = 2;
constexpr Status DeviceNotOpened = 3;
constexpr Status IoError = 4;
constexpr Status InsufficientResources = 5;
constexpr Status InvalidParameter = 6;
constexpr Status InvalidBaudRate = 7;
constexpr Status OtherError = 18;

// The only open mode the program uses: pick the converter by its serial number.
constexpr quint32 OpenBySerialNumber = 1;

} // namespace D2xx

class D2xxBackend
{
  public:
    virtual ~D2xxBackend() = default;

    // Opens the converter whose serial-number string equals serialNumber. A
    // converter that is already open (here or in another program) does not open
    // a second time.
    virtual D2xx::Status openEx(const QByteArray &serialNumber, quint32 flags, D2xx::Handle *handle) = 0;
    virtual D2xx::Status close(D2xx::Handle handle) = 0;
    virtual D2xx::Status setBitMode(D2xx::Handle handle, quint8 mask, quint8 mode) = 0;
    virtual D2xx::Status setDtr(D2xx::Handle handle) = 0;
    virtual D2xx::Status clrDtr(D2xx::Handle handle) = 0;
    virtual D2xx::Status setRts(D2xx::Handle handle) = 0;
    virtual D2xx::Status clrRts(D2xx::Handle handle) = 0;
    virtual D2xx::Status setBaudRate(D2xx::Handle handle, quint32 baudRate) = 0;
    // Counts of received bytes waiting, bytes still to send, and pending events.
    virtual D2xx::Status getStatus(D2xx::Handle handle, quint32 *rxQueue, quint32 *txQueue,
                                   quint32 *eventStatus) = 0;
    // Takes up to size waiting bytes; never waits for more to arrive.
    virtual D2xx::Status read(D2xx::Handle handle, void *buffer, quint32 size, quint32 *bytesRead) = 0;
    virtual D2xx::Status write(D2xx::Handle handle, const void *buffer, quint32 size,
                               quint32 *bytesWritten) = 0;
};

namespace D2xx
{

// The backend the program talks to. Unless another one was installed, the
// first call creates the libftdi1 backend that drives a real cable.
std::shared_ptr<D2xxBackend> backend();

// Installs the backend that later opens use (the simulated cable for tests and
// the demonstration); nullptr goes back to the real cable. Connections opened
// before keep the backend they were opened with.
void setBackend(std::shared_ptr<D2xxBackend> backend);

} // namespace D2xx
