#include "serial/AfComPortCore.h"

#include "platform/PortPaths.h"

#include <cerrno>
#include <sys/ioctl.h>
#include <system_error>

TAfComPortCore::TAfComPortCore() = default;

TAfComPortCore::~TAfComPortCore()
{
    CloseComm();
}

void TAfComPortCore::Fail(const char *format)
{
    throw EAfComPortCoreError(QString::asprintf(format, m_number));
}

void TAfComPortCore::OpenComm(int number)
{
    if (m_open)
        return;
    if (number <= 0)
        throw EAfComPortCoreError(QString::asprintf("Invalid port number (COM%d)", number));
    m_number = number;
    const QString path = PortPaths::devicePath(number);
    if (path.isEmpty())
        Fail("Invalid port number (COM%d)");
    switch (m_device.open(path)) {
    case TerminalDevice::OpenResult::Opened:
        break;
    case TerminalDevice::OpenResult::Absent:
        Fail("Invalid port number (COM%d)");
    case TerminalDevice::OpenResult::Failed:
        Fail("Can't open device COM%d");
    }

    m_eventThread.reset();
    m_writeThread.reset();
    // From here on a failure stops what was started and closes the device.
    try {
        if (!m_device.applyLineSettings(m_dcb)) {
            m_dcb = m_device.currentLineSettings();
            Fail("Error setting parameters from DCB");
        }
        {
            std::lock_guard lock(m_readLock);
            m_lineErrors = 0;
            m_errorBase = m_device.errorCounts();
        }
        {
            std::lock_guard lock(m_lostLock);
            m_lostError = nullptr;
            m_lostReported = false;
        }
        m_lost.store(false);
        m_lostSignal.reset();
        m_threadStarted.reset();
        if (!m_threadStarted.valid() || !m_outputDrained.valid() || !m_lostSignal.valid())
            Fail("Error creating threads");

        try {
            m_writeThread = std::make_unique<TAfComPortWriteThread>(this, m_outBufSize);
            m_writeThread->Start();
        } catch (const std::system_error &) {
            Fail("Error creating threads");
        }
        if (!m_threadStarted.waitAndConsume(3000) || m_writeThread->StartFailed())
            Fail("Error creating threads");
        AfSetThreadPriority(m_writeThread->ThreadId(), m_writeThreadPriority);

        m_active.store(true);

        try {
            m_eventThread = std::make_unique<TAfComPortEventThread>(this, m_callback);
            m_eventThread->Start();
        } catch (const std::system_error &) {
            Fail("Error creating threads");
        }
        if (!m_threadStarted.waitAndConsume(3000) || m_eventThread->StartFailed())
            Fail("Error creating threads");
        AfSetThreadPriority(m_eventThread->ThreadId(), m_eventThreadPriority);

        m_open = true;
    } catch (...) {
        CloseSequence();
        throw;
    }
}

void TAfComPortCore::CloseComm()
{
    if (!m_open && !m_device.isOpen())
        return;
    CloseSequence();
    m_open = false;
}

void TAfComPortCore::CloseSequence()
{
    if (!m_device.isOpen())
        return;
    // Before any lock: the event thread's poll tests this flag and never
    // queues on the read lock held below.
    m_active.store(false);
    if (m_eventThread)
        m_eventThread->ClearCallback();

    std::unique_lock readLock(m_readLock);
    m_device.purge(true, true);

    if (m_writeThread) {
        if (m_writeThread->RequestPurge(2000)) {
            m_writeThread->ClearRing();
            m_device.purge(false, true);
        }
        m_writeThread->StopThread();
        m_writeThread->WaitFor();
        m_writeThread.reset();
    }
    if (m_eventThread) {
        m_eventThread->ClearCallback();
        m_eventThread->StopThread();
        m_device.purge(true, false);
        m_eventThread->WaitFor();
        m_eventThread.reset();
    }
    readLock.unlock();
    m_device.close();
    m_lost.store(false);
}

int TAfComPortCore::ReadInput(void *buffer, int count)
{
    if (!m_active.load())
        return -1;
    std::lock_guard lock(m_readLock);
    if (count <= 0)
        return 0;
    const TerminalDevice::IoResult r = m_device.read(buffer, count);
    if (r.error != 0 && r.error != EAGAIN) {
        ReportLost(QString::asprintf("Connection lost (COM%d)", m_number));
        return 0;
    }
    // With reads that never wait, an empty read says nothing by itself;
    // a hang-up behind it does.
    if (r.count == 0 && m_device.hungUp())
        ReportLost(QString::asprintf("Connection lost (COM%d)", m_number));
    return static_cast<int>(r.count);
}

bool TAfComPortCore::QueueOutput(const void *buffer, int count)
{
    if (!m_active.load() || m_lost.load() || !m_writeThread)
        return false;
    return m_writeThread->QueueOutput(buffer, count);
}

void TAfComPortCore::AccumulateErrors(const TerminalDevice::ErrorCounts &now,
                                      TerminalDevice::ErrorCounts &before)
{
    if (!now.supported || !before.supported) {
        before = now;
        return;
    }
    uint32_t bits = 0;
    if (now.frame != before.frame)
        bits |= CE_FRAME;
    if (now.overrun != before.overrun)
        bits |= CE_OVERRUN;
    if (now.parity != before.parity)
        bits |= CE_RXPARITY;
    if (now.brk != before.brk)
        bits |= CE_BREAK;
    if (now.bufferOverrun != before.bufferOverrun)
        bits |= CE_RXOVER;
    before = now;
    m_lineErrors |= bits;
}

TAfComStat TAfComPortCore::GetComStat()
{
    TAfComStat stat;
    if (!m_active.load())
        return stat;
    std::lock_guard lock(m_readLock);
    const uint32_t before = m_lineErrors;
    AccumulateErrors(m_device.errorCounts(), m_errorBase);
    stat.Errors = m_lineErrors & ~before;
    stat.cbInQue = std::max(m_device.inputQueueCount(), 0);
    stat.cbOutQue = std::max(m_device.outputQueueCount(), 0);
    return stat;
}

bool TAfComPortCore::TryGetComStat(TAfComStat &stat, int &modemBits)
{
    if (!m_active.load())
        return false;
    std::unique_lock lock(m_readLock, std::try_to_lock);
    if (!lock.owns_lock())
        return false; // the next poll looks again
    const uint32_t before = m_lineErrors;
    AccumulateErrors(m_device.errorCounts(), m_errorBase);
    stat.Errors = m_lineErrors & ~before;
    const int waiting = m_device.inputQueueCount();
    if (waiting < 0)
        ReportLost(QString::asprintf("Connection lost (COM%d)", m_number));
    stat.cbInQue = std::max(waiting, 0);
    modemBits = m_device.modemBits();
    return true;
}

uint32_t TAfComPortCore::TakeLineErrors()
{
    if (!m_active.load())
        return 0;
    std::lock_guard lock(m_readLock);
    const uint32_t errors = m_lineErrors;
    m_lineErrors = 0;
    return errors;
}

void TAfComPortCore::ApplyDCB(const TerminalLineSettings &record)
{
    m_dcb = record;
    if (!m_active.load())
        return;
    if (!m_device.applyLineSettings(m_dcb)) {
        m_dcb = m_device.currentLineSettings();
        Fail("Error setting parameters from DCB");
    }
}

int TAfComPortCore::OutBufferFree()
{
    if (!m_active.load() || !m_writeThread)
        return 0;
    return m_writeThread->FreeCount();
}

bool TAfComPortCore::EscapeLine(TAfEscapeFunction function)
{
    if (!m_active.load())
        return false;
    using R = TerminalDevice::LineResult;
    switch (function) {
    case SETDTR:
        return m_device.setDtr(true) == R::Done;
    case CLRDTR:
        return m_device.setDtr(false) == R::Done;
    case SETRTS:
        return m_device.setRts(true) == R::Done;
    case CLRRTS:
        return m_device.setRts(false) == R::Done;
    case SETBREAK:
        return m_device.setBreak(true) == R::Done;
    case CLRBREAK:
        return m_device.setBreak(false) == R::Done;
    case SETXOFF:
        return m_device.sendFlowControl(true);
    case SETXON:
        return m_device.sendFlowControl(false);
    }
    return false;
}

void TAfComPortCore::SetEventThreadPriority(TThreadPriority priority)
{
    m_eventThreadPriority = priority;
    if (m_active.load() && m_eventThread)
        AfSetThreadPriority(m_eventThread->ThreadId(), priority);
}

void TAfComPortCore::SetWriteThreadPriority(TThreadPriority priority)
{
    m_writeThreadPriority = priority;
    if (m_active.load() && m_writeThread)
        AfSetThreadPriority(m_writeThread->ThreadId(), priority);
}

void TAfComPortCore::ReportLost(const QString &what)
{
    if (m_lost.exchange(true))
        return;
    {
        std::lock_guard lock(m_lostLock);
        m_lostError = std::make_exception_ptr(EAfComPortCoreError(what));
    }
    m_lostSignal.set();
}

std::exception_ptr TAfComPortCore::TakeLostError()
{
    std::lock_guard lock(m_lostLock);
    if (m_lostReported)
        return nullptr;
    m_lostReported = true;
    return m_lostError;
}
