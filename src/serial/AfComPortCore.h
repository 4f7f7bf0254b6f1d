#pragma once

#include "platform/TerminalDevice.h"
#include "platform/TerminalLineSettings.h"
#include "platform/TerminalSignal.h"
#include "serial/AfCircularBuffer.h"
#include "serial/AfUtils.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

// Kinds of core events: the output ring has been sent (data 0), line events
// were seen (data = event mask), the poll found input waiting (data = count),
// an exception on the event thread (carried along as an exception_ptr).
enum TAfCoreEvent { ceOutFree, ceLineEvent, ceNeedReadData, ceException };

// Line event bits.
constexpr uint32_t EV_RXCHAR = 0x1;
constexpr uint32_t EV_CTS = 0x8;
constexpr uint32_t EV_DSR = 0x10;
constexpr uint32_t EV_RLSD = 0x20;
constexpr uint32_t EV_ERR = 0x80;
constexpr uint32_t EV_RING = 0x100;
constexpr uint32_t AfDefaultEventMask = EV_RXCHAR | EV_CTS | EV_DSR | EV_RLSD | EV_ERR | EV_RING; // 441

// Line error bits, as reported by GetComStat and TakeLineErrors.
constexpr uint32_t CE_RXOVER = 0x1;
constexpr uint32_t CE_OVERRUN = 0x2;
constexpr uint32_t CE_RXPARITY = 0x4;
constexpr uint32_t CE_FRAME = 0x8;
constexpr uint32_t CE_BREAK = 0x10;

// Line functions for EscapeLine.
enum TAfEscapeFunction {
    SETXOFF = 1,
    SETXON = 2,
    SETRTS = 3,
    CLRRTS = 4,
    SETDTR = 5,
    CLRDTR = 6,
    SETBREAK = 8,
    CLRBREAK = 9,
};

struct TAfComStat {
    uint32_t Errors = 0;
    int cbInQue = 0;
    int cbOutQue = 0;
};

// Raised by the core when the port cannot be opened or set up, and carried
// as ceException when the device goes away while open. what() is the
// English text.
class EAfComPortCoreError : public std::runtime_error
{
  public:
    explicit EAfComPortCoreError(const QString &message) : std::runtime_error(message.toStdString()) {}
    QString Message() const { return QString::fromStdString(what()); }
};

class TAfComPortCore;
using TAfCoreEventCallback =
    std::function<void(TAfComPortCore *core, TAfCoreEvent kind, uint32_t data, std::exception_ptr error)>;

// Common base of the two port threads: a stop flag and its wake-up, the
// core and its device.
class TAfComPortCoreThread
{
  public:
    explicit TAfComPortCoreThread(TAfComPortCore *core);
    virtual ~TAfComPortCoreThread();

    void Start();
    // Marks the thread terminated and wakes it.
    virtual void StopThread();
    // Waits for the thread's end; on the main thread the sends waiting for
    // it keep being served meanwhile.
    void WaitFor();
    pid_t ThreadId() const { return m_threadId.load(); }
    bool Terminated() const { return m_terminated.load(); }
    // The thread could not set itself up and has ended.
    bool StartFailed() const { return m_startFailed.load(); }
    bool Ended() const { return m_ended.load(); }

  protected:
    virtual void Execute() = 0;
    virtual void HandleThreadException(std::exception_ptr error);
    void ReportStartFailure();

    TAfComPortCore *m_core;
    TerminalSignal m_stopEvent; // manual reset
    std::atomic<bool> m_terminated{false};
    std::atomic<bool> m_startFailed{false};
    std::atomic<bool> m_ended{false};

  private:
    void run();

    std::thread m_thread;
    TerminalSignal m_finished;
    std::atomic<pid_t> m_threadId{0};
};

// Waits for line events and polls the input queue every 200 ms.
class TAfComPortEventThread : public TAfComPortCoreThread
{
  public:
    TAfComPortEventThread(TAfComPortCore *core, TAfCoreEventCallback callback);
    // From now on no event is raised.
    void ClearCallback() { m_callbackSet.store(false); }

  protected:
    void Execute() override;
    void HandleThreadException(std::exception_ptr error) override;

  private:
    void DoEvent(TAfCoreEvent kind, uint32_t data, std::exception_ptr error = {});
    void Poll();

    const TAfCoreEventCallback m_callback;
    std::atomic<bool> m_callbackSet{true};
    int m_lastModemBits = -1;
    bool m_inExceptionDelivery = false;
};

// Owns the output ring and writes it to the port piece by piece.
class TAfComPortWriteThread : public TAfComPortCoreThread
{
  public:
    TAfComPortWriteThread(TAfComPortCore *core, int ringSize);

    // Main thread: puts the bytes into the ring (all or nothing).
    bool QueueOutput(const void *buffer, int count);
    int FreeCount();
    // Close: asks the thread to leave any pending write and waits for it.
    bool RequestPurge(int timeoutMs);
    void ClearRing();

  protected:
    void Execute() override;

  private:
    // Writes until the ring is empty or the line is full; false when told to
    // stop or purge meanwhile.
    void WriteOut(class TerminalPoller &lineWait);

    TerminalSignal m_purgeRequest, m_purgeAcknowledge, m_dataQueued;
    TAfCircularBuffer m_ring;
};

// One open serial port: the device, its line settings, the event thread, the
// write thread and the locks that guard reading and the output ring.
class TAfComPortCore
{
  public:
    TAfComPortCore();
    ~TAfComPortCore();
    TAfComPortCore(const TAfComPortCore &) = delete;
    TAfComPortCore &operator=(const TAfComPortCore &) = delete;

    void OpenComm(int number);
    void CloseComm();

    // -1 when not active; else the bytes read (never blocks).
    int ReadInput(void *buffer, int count);
    bool QueueOutput(const void *buffer, int count);
    TAfComStat GetComStat();
    uint32_t TakeLineErrors();
    void ApplyDCB(const TerminalLineSettings &record);
    int OutBufferFree();
    bool EscapeLine(TAfEscapeFunction function);

    bool Active() const { return m_active.load(); }
    bool IsOpen() const { return m_open; }
    // The device went away while the port was open (hang-up, write error).
    bool ConnectionLost() const { return m_lost.load(); }
    int ComNumber() const { return m_number; }
    int Handle() const { return m_device.fd(); }
    const TerminalLineSettings &DCB() const { return m_dcb; }
    uint32_t EventMask() const { return m_eventMask; }

    void SetInQueueSize(int size) { m_inQueueSize = size; }
    int InQueueSize() const { return m_inQueueSize; }
    void SetOutBufSize(int size) { m_outBufSize = size; }
    int OutBufSize() const { return m_outBufSize; }
    void SetEventThreadPriority(TThreadPriority priority);
    void SetWriteThreadPriority(TThreadPriority priority);
    TThreadPriority EventThreadPriority() const { return m_eventThreadPriority; }
    TThreadPriority WriteThreadPriority() const { return m_writeThreadPriority; }
    void SetEventCallback(TAfCoreEventCallback callback) { m_callback = std::move(callback); }

  private:
    friend class TAfComPortCoreThread;
    friend class TAfComPortEventThread;
    friend class TAfComPortWriteThread;

    void CloseSequence();
    [[noreturn]] void Fail(const char *format);
    // Threads: the device is gone. The first report travels as ceException.
    void ReportLost(const QString &what);
    std::exception_ptr TakeLostError();
    // Event thread's poll: does not wait for the read lock (the close holds
    // it while it waits for the event thread).
    bool TryGetComStat(TAfComStat &stat, int &modemBits);
    void AccumulateErrors(const TerminalDevice::ErrorCounts &now, TerminalDevice::ErrorCounts &before);

    std::atomic<bool> m_active{false};
    int m_number = 0;
    TerminalLineSettings m_dcb;
    uint32_t m_eventMask = AfDefaultEventMask;
    TerminalDevice m_device;
    bool m_open = false;
    uint32_t m_lineErrors = 0;
    TerminalDevice::ErrorCounts m_errorBase;
    int m_inQueueSize = 8192;
    int m_outBufSize = 4096;
    TAfCoreEventCallback m_callback;
    std::mutex m_readLock;
    std::mutex m_writeLock;
    std::unique_ptr<TAfComPortEventThread> m_eventThread;
    TerminalSignal m_threadStarted;
    TerminalSignal m_outputDrained;
    TerminalSignal m_lostSignal;
    std::unique_ptr<TAfComPortWriteThread> m_writeThread;
    TThreadPriority m_writeThreadPriority = tpHigher;
    TThreadPriority m_eventThreadPriority = tpNormal;

    std::atomic<bool> m_lost{false};
    std::mutex m_lostLock;
    std::exception_ptr m_lostError;
    bool m_lostReported = false;
};
