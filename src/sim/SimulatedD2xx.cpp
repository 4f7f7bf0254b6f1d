#include "sim/SimulatedD2xx.h"

#include "sim/SimulatedCable.h"

#include <QMutexLocker>

#include <cstring>

using namespace D2xx;

SimulatedD2xx::SimulatedD2xx(const QByteArray &serialNumber) : serialNumber_(serialNumber)
{
}

void SimulatedD2xx::setPlugged(bool plugged)
{
    QMutexLocker lock(&mutex_);
    plugged_ = plugged;
    if (!plugged && openHandle_ != NoHandle) {
        dead_ = true;
        rxQueue_.clear();
    }
}

bool SimulatedD2xx::plugged() const
{
    QMutexLocker lock(&mutex_);
    return plugged_;
}

void SimulatedD2xx::setHeldElsewhere(bool held)
{
    QMutexLocker lock(&mutex_);
    heldElsewhere_ = held;
}

bool SimulatedD2xx::isOpen() const
{
    QMutexLocker lock(&mutex_);
    return openHandle_ != NoHandle;
}

void SimulatedD2xx::setDeviceSide(std::function<void(const QByteArray &)> receiver)
{
    QMutexLocker lock(&mutex_);
    deviceSide_ = std::move(receiver);
}

void SimulatedD2xx::attachLine(std::shared_ptr<SimulatedCable> line, std::shared_ptr<void> keepAlive)
{
    QMutexLocker lock(&mutex_);
    simLine_ = std::move(line);
    keepAlive_ = std::move(keepAlive);
}

void SimulatedD2xx::pullFromLine()
{
    if (simLine_ && openHandle_ != NoHandle && !dead_)
        rxQueue_.append(simLine_->read());
}

void SimulatedD2xx::deliverToHost(const QByteArray &bytes)
{
    QMutexLocker lock(&mutex_);
    if (openHandle_ != NoHandle && !dead_)
        rxQueue_.append(bytes);
}

void SimulatedD2xx::setAfterRead(std::function<void()> hook)
{
    QMutexLocker lock(&mutex_);
    afterRead_ = std::move(hook);
}

void SimulatedD2xx::setWritesFail(bool fail)
{
    QMutexLocker lock(&mutex_);
    writesFail_ = fail;
}

void SimulatedD2xx::setReadsFail(bool fail)
{
    QMutexLocker lock(&mutex_);
    readsFail_ = fail;
}

void SimulatedD2xx::setStatusFails(bool fail)
{
    QMutexLocker lock(&mutex_);
    statusFails_ = fail;
}

SimulatedD2xx::Line SimulatedD2xx::line() const
{
    QMutexLocker lock(&mutex_);
    return line_;
}

int SimulatedD2xx::openCount() const
{
    QMutexLocker lock(&mutex_);
    return opens_;
}

int SimulatedD2xx::closeCount() const
{
    QMutexLocker lock(&mutex_);
    return closes_;
}

int SimulatedD2xx::staleHandleCalls() const
{
    QMutexLocker lock(&mutex_);
    return staleCalls_;
}

QByteArray SimulatedD2xx::written() const
{
    QMutexLocker lock(&mutex_);
    return written_;
}

Status SimulatedD2xx::check(Handle handle)
{
    if (handle == NoHandle || handle != openHandle_) {
        ++staleCalls_;
        return InvalidHandle;
    }
    return dead_ ? IoError : Ok;
}

Status SimulatedD2xx::openEx(const QByteArray &serialNumber, quint32 flags, Handle *handle)
{
    if (!handle)
        return InvalidParameter;
    *handle = NoHandle;
    if (flags != OpenBySerialNumber)
        return InvalidParameter;
    QMutexLocker lock(&mutex_);
    if (!plugged_ || QByteArray(serialNumber.constData()) != serialNumber_)
        return DeviceNotFound;
    if (heldElsewhere_ || openHandle_ != NoHandle)
        return DeviceNotOpened;
    openHandle_ = nextHandle_++;
    ++opens_;
    rxQueue_.clear();
    if (simLine_)
        simLine_->purge(); // what came while nothing was open is gone
    *handle = openHandle_;
    return Ok;
}

Status SimulatedD2xx::close(Handle handle)
{
    QMutexLocker lock(&mutex_);
    if (handle == NoHandle || handle != openHandle_) {
        ++staleCalls_;
        return InvalidHandle;
    }
    openHandle_ = NoHandle;
    dead_ = false;
    rxQueue_.clear();
    ++closes_;
    return Ok;
}

Status SimulatedD2xx::lineChange(Handle handle, const std::function<void(Line &)> &change)
{
    QMutexLocker lock(&mutex_);
    const Status status = check(handle);
    if (status == Ok)
        change(line_);
    return status;
}

Status SimulatedD2xx::setBitMode(Handle handle, quint8 mask, quint8 mode)
{
    return lineChange(handle, [&](Line &l) {
        l.bitMask = mask;
        l.bitMode = mode;
    });
}

Status SimulatedD2xx::setDtr(Handle handle)
{
    return lineChange(handle, [](Line &l) { l.dtr = true; });
}

Status SimulatedD2xx::clrDtr(Handle handle)
{
    return lineChange(handle, [](Line &l) { l.dtr = false; });
}

Status SimulatedD2xx::setRts(Handle handle)
{
    return lineChange(handle, [](Line &l) { l.rts = true; });
}

Status SimulatedD2xx::clrRts(Handle handle)
{
    return lineChange(handle, [](Line &l) { l.rts = false; });
}

Status SimulatedD2xx::setBaudRate(Handle handle, quint32 baudRate)
{
    if (baudRate == 0)
        return InvalidBaudRate;
    return lineChange(handle, [&](Line &l) { l.baudRate = baudRate; });
}

Status SimulatedD2xx::getStatus(Handle handle, quint32 *rxQueue, quint32 *txQueue, quint32 *eventStatus)
{
    QMutexLocker lock(&mutex_);
    Status status = check(handle);
    if (status == Ok && statusFails_)
        status = IoError;
    const bool ok = status == Ok;
    if (ok)
        pullFromLine();
    if (rxQueue)
        *rxQueue = ok ? quint32(rxQueue_.size()) : 0;
    if (txQueue)
        *txQueue = 0;
    if (eventStatus)
        *eventStatus = 0;
    return status;
}

Status SimulatedD2xx::read(Handle handle, void *buffer, quint32 size, quint32 *bytesRead)
{
    if (bytesRead)
        *bytesRead = 0;
    if (!buffer || !bytesRead)
        return InvalidParameter;
    std::function<void()> hook;
    Status status;
    {
        QMutexLocker lock(&mutex_);
        status = check(handle);
        if (status == Ok && readsFail_)
            status = IoError;
        if (status == Ok) {
            if (quint32(rxQueue_.size()) < size)
                pullFromLine();
            const quint32 n = qMin(size, quint32(rxQueue_.size()));
            std::memcpy(buffer, rxQueue_.constData(), n);
            rxQueue_.remove(0, n);
            *bytesRead = n;
        }
        hook = afterRead_;
    }
    if (hook)
        hook();
    return status;
}

Status SimulatedD2xx::write(Handle handle, const void *buffer, quint32 size, quint32 *bytesWritten)
{
    if (bytesWritten)
        *bytesWritten = 0;
    if (!buffer || !bytesWritten)
        return InvalidParameter;
    std::function<void(const QByteArray &)> receiver;
    QByteArray bytes;
    {
        QMutexLocker lock(&mutex_);
        Status status = check(handle);
        if (status == Ok && writesFail_)
            status = IoError;
        if (status != Ok)
            return status;
        bytes = QByteArray(static_cast<const char *>(buffer), qsizetype(size));
        if (simLine_ && !bytes.isEmpty() && !simLine_->write(bytes))
            return IoError; // the communicator dropped the line
        written_.append(bytes);
        *bytesWritten = size;
        receiver = deviceSide_;
    }
    // Outside the lock: the far end may answer at once through deliverToHost().
    if (receiver && !bytes.isEmpty())
        receiver(bytes);
    return Ok;
}
