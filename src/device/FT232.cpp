#include "device/FT232.h"

#include <QThread>

TFT232Exception::TFT232Exception(const QString &text)
    : std::runtime_error(text.toStdString()), text_(text)
{
}

void TFT232::sleepWait(int ms)
{
    QThread::msleep(ulong(ms));
}

TFT232::TFT232(const QString &serialNumber, std::shared_ptr<D2xxBackend> backend, Wait wait)
    : backend_(std::move(backend)), wait_(std::move(wait))
{
    lastStatus_ = backend_ ? backend_->openEx(serialNumber.toLatin1(), D2xx::OpenBySerialNumber, &handle_)
                           : D2xx::DeviceNotFound;
    if (lastStatus_ != D2xx::Ok)
        throw TFT232Exception(QStringLiteral("Device ") + serialNumber + QStringLiteral(" can not open"));
}

TFT232::~TFT232()
{
    backend_->close(handle_);
    if (wait_)
        wait_(10);
}

D2xx::Status TFT232::SetBaudRate(int baudRate)
{
    if (baudRate <= 0)
        return D2xx::InvalidBaudRate;
    return backend_->setBaudRate(handle_, quint32(baudRate));
}

bool TFT232::ReadByte(quint8 &byte)
{
    quint32 count = 0;
    backend_->read(handle_, &byte, 1, &count);
    return count == 1;
}

bool TFT232::WriteByte(quint8 byte)
{
    quint32 count = 0;
    backend_->write(handle_, &byte, 1, &count);
    return count == 1;
}

quint32 TFT232::RxQueueCount()
{
    quint32 rx = 0, tx = 0, events = 0;
    if (backend_->getStatus(handle_, &rx, &tx, &events) != D2xx::Ok)
        return 0;
    return rx;
}

D2xx::Status TFT232::SetDtr(bool clear)
{
    return clear ? backend_->clrDtr(handle_) : backend_->setDtr(handle_);
}

D2xx::Status TFT232::SetRts(bool clear)
{
    return clear ? backend_->clrRts(handle_) : backend_->setRts(handle_);
}

bool TFT232::SetBitMode(quint8 mask, quint8 mode)
{
    lastStatus_ = backend_->setBitMode(handle_, mask, mode);
    return lastStatus_ == D2xx::Ok;
}
