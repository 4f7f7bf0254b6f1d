#pragma once

#include "platform/D2xx.h"

#include <QByteArray>
#include <QMutex>

#include <functional>
#include <memory>

class SimulatedCable;

// A USB cable with an FTDI converter, simulated: it can be plugged in or not,
// held by another program, and it carries bytes to and from whatever plays the
// communicator at its far end. It keeps the converter's rules that the
// program relies on: one open connection at a time, handles that stop working
// once closed, and a receive queue that belongs to the open connection (bytes
// arriving while nothing is open are lost, closing drops what was not read).
//
// It also counts what the program did with it, so tests can tell whether a
// closed connection was ever used again.
class SimulatedD2xx : public D2xxBackend
{
  public:
    explicit SimulatedD2xx(const QByteArray &serialNumber = "ZARP-USB");

    // --- the cable ---
    void setPlugged(bool plugged);
    bool plugged() const;
    // Another program (or a kernel driver) has the converter open.
    void setHeldElsewhere(bool held);
    // Unplugging while open leaves the handle dead: every call on it then fails
    // with IoError until it is closed.
    bool isOpen() const;

    // --- the far end ---
    // Puts the simulated communicator's cable at the far end: what the program
    // writes goes down it (a hung-up line makes writes fail), and its answers
    // are taken into the open connection's queue whenever the program asks.
    // keepAlive is held as long as this backend (the simulator running the line).
    void attachLine(std::shared_ptr<SimulatedCable> line, std::shared_ptr<void> keepAlive = {});
    // Receives every byte the program sends, in order.
    void setDeviceSide(std::function<void(const QByteArray &)> receiver);
    // Bytes the communicator sends; they wait in the open connection's queue.
    void deliverToHost(const QByteArray &bytes);
    // Called after every read (with the lock released), so a test can let bytes
    // arrive while the program is still reading.
    void setAfterRead(std::function<void()> hook);

    // --- faults ---
    void setWritesFail(bool fail);
    void setReadsFail(bool fail);
    void setStatusFails(bool fail);

    // --- what the program did ---
    struct Line {
        bool dtr = false;
        bool rts = false;
        quint32 baudRate = 9600;
        quint8 bitMask = 0xFF;
        quint8 bitMode = 0xFF; // nothing chosen yet
    };
    Line line() const;
    int openCount() const;  // successful opens
    int closeCount() const; // closes of open handles
    // Calls naming a handle that was closed before (or never given out).
    int staleHandleCalls() const;
    QByteArray written() const; // everything the program sent, in order

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
    // Ok for the open handle, otherwise the status to return (and counts the
    // stale call). Called with the lock held.
    D2xx::Status check(D2xx::Handle handle);
    // Moves what the communicator has sent into the open connection's queue.
    // Called with the lock held.
    void pullFromLine();
    D2xx::Status lineChange(D2xx::Handle handle, const std::function<void(Line &)> &change);

    mutable QMutex mutex_;
    QByteArray serialNumber_;
    bool plugged_ = true;
    bool heldElsewhere_ = false;
    bool dead_ = false; // unplugged while open
    D2xx::Handle openHandle_ = D2xx::NoHandle;
    D2xx::Handle nextHandle_ = 1;
    QByteArray rxQueue_;
    Line line_;
    int opens_ = 0;
    int closes_ = 0;
    int staleCalls_ = 0;
    QByteArray written_;
    bool writesFail_ = false;
    bool readsFail_ = false;
    bool statusFails_ = false;
    std::function<void(const QByteArray &)> deviceSide_;
    std::function<void()> afterRead_;
    std::shared_ptr<SimulatedCable> simLine_;
    std::shared_ptr<void> keepAlive_;
};
