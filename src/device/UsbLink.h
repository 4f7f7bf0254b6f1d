#pragma once

#include "device/FT232.h"

#include <QByteArray>
#include <QString>

#include <memory>

// The USB cable as the program sees it: the connection to the converter and
// the state that the status bar, the commands and the exchanges read.
//
// Opening is also how the cable is detected. The converter opens only once at
// a time, so an open while an earlier connection is still held fails at first;
// the open procedure then releases the old connection and tries again.
class UsbLink
{
  public:
    static inline const QString SerialNumber = QStringLiteral("ZARP-USB");
    static constexpr int BaudRate = 2400;
    static inline const QString StateOpen = QStringLiteral("OK");
    static inline const QString StateClosed = QStringLiteral("--");

    // backend null: whichever D2xx::backend() is installed at each open.
    // wait: blocking millisecond waits (tests pass one that only records).
    explicit UsbLink(std::shared_ptr<D2xxBackend> backend = nullptr, TFT232::Wait wait = TFT232::sleepWait);
    ~UsbLink();
    UsbLink(const UsbLink &) = delete;
    UsbLink &operator=(const UsbLink &) = delete;

    // The current connection; empty when none was opened or it was released.
    std::unique_ptr<TFT232> UsbDevice;
    // The cable was found and opened (still set after a release, see release()).
    bool UsbOpen = false;
    // "OK" open, "--" not; empty until the first attempt. Shown after "USB:".
    QString UsbState;
    // The last one-byte write of an exchange succeeded.
    bool UsbWriteOk = false;

    // Opens the cable: a first attempt with 20 ms waits and, if that fails, a
    // second with 10 ms waits. Never throws; the outcome is in UsbOpen/UsbState.
    void open();
    // The user turned the cable off: shows "--" and clears UsbOpen, but keeps
    // the connection (the handle stays open).
    void close();
    // Takes every byte waiting, in arrival order. Opens first when UsbOpen is
    // clear. When more bytes came in while reading, the cable is opened afresh,
    // which drops them: an answer is only ever taken whole.
    QByteArray readAllWaiting();
    // Closes and forgets the connection; nothing when there is none. UsbOpen and
    // UsbState keep saying open, so the next command's open starts afresh.
    void release();

    // Received bytes waiting; 0 without a connection.
    quint32 waitingCount();
    // Sends one byte, stores the outcome in UsbWriteOk and returns it. Fails
    // without a connection.
    bool writeByte(quint8 byte);

    // "USB:" + UsbState, the text of the status bar's first panel.
    QString statusText() const { return QStringLiteral("USB:") + UsbState; }

  private:
    bool attempt(int waitMs);

    std::shared_ptr<D2xxBackend> backend_;
    TFT232::Wait wait_;
};
