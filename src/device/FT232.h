#pragma once

#include "platform/D2xx.h"

#include <QString>

#include <functional>
#include <memory>
#include <stdexcept>

// Raised when the converter cannot be opened.
class TFT232Exception : public std::runtime_error
{
  public:
    explicit TFT232Exception(const QString &text);
    QString text() const { return text_; }

  private:
    QString text_;
};

// One open connection to the cable's USB-serial converter. The object exists
// only while the converter is open: creating it opens by serial number (or
// throws), destroying it closes the handle.
class TFT232
{
  public:
    // Blocking wait of the given milliseconds; tests pass one that only records.
    using Wait = std::function<void(int ms)>;
    static void sleepWait(int ms);

    explicit TFT232(const QString &serialNumber, std::shared_ptr<D2xxBackend> backend = D2xx::backend(),
                    Wait wait = sleepWait);
    // Closes the handle and gives the converter 10 ms before anything reopens it.
    ~TFT232();
    TFT232(const TFT232 &) = delete;
    TFT232 &operator=(const TFT232 &) = delete;

    D2xx::Status SetBaudRate(int baudRate);
    // True when exactly one byte was taken.
    bool ReadByte(quint8 &byte);
    // True when exactly one byte was handed to the converter.
    bool WriteByte(quint8 byte);
    // Received bytes waiting; 0 when the converter cannot be asked.
    quint32 RxQueueCount();
    // clear set: drop the line; otherwise raise it.
    D2xx::Status SetDtr(bool clear);
    D2xx::Status SetRts(bool clear);
    // True when the converter accepted the mode; the status is kept as last status.
    bool SetBitMode(quint8 mask, quint8 mode);

    D2xx::Handle handle() const { return handle_; }
    D2xx::Status lastStatus() const { return lastStatus_; }

  private:
    D2xx::Handle handle_ = D2xx::NoHandle;
    D2xx::Status lastStatus_ = D2xx::Ok;
    std::shared_ptr<D2xxBackend> backend_;
    Wait wait_;
};
