#include "platform/TerminalPoller.h"
#include "serial/AfComPortCore.h"
#include "serial/AfSafeSync.h"

#include <sys/ioctl.h>

// ---- common base ----------------------------------------------------------

TAfComPortCoreThread::TAfComPortCoreThread(TAfComPortCore *core) : m_core(core)
{
}

TAfComPortCoreThread::~TAfComPortCoreThread()
{
    if (m_thread.joinable()) {
        StopThread();
        m_thread.join();
    }
}

void TAfComPortCoreThread::Start()
{
    m_thread = std::thread([this] { run(); });
}

void TAfComPortCoreThread::run()
{
    m_threadId.store(AfCurrentThreadId());
    try {
        Execute();
    } catch (...) {
        HandleThreadException(std::current_exception());
    }
    m_ended.store(true);
    m_finished.set();
}

void TAfComPortCoreThread::ReportStartFailure()
{
    m_startFailed.store(true);
    m_core->m_threadStarted.set();
}

void TAfComPortCoreThread::StopThread()
{
    m_terminated.store(true);
    m_stopEvent.set();
}

void TAfComPortCoreThread::WaitFor()
{
    if (!m_thread.joinable())
        return;
    if (!m_finished.valid()) {
        // Only a thread that could not set itself up lacks this signal, and
        // it has ended already.
        m_thread.join();
        return;
    }
    // A thread in the middle of a main-thread send can only finish if the
    // main thread serves it; off the main thread this only waits.
    while (!m_finished.waitAndConsume(2))
        SafeSyncRunPending();
    m_thread.join();
}

void TAfComPortCoreThread::HandleThreadException(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const EAbort &) {
        return;
    } catch (...) {
    }
    // A thread that dies leaves the port unusable: tell the owner.
    m_core->ReportLost(AfExceptionText(error));
}

// ---- event thread ---------------------------------------------------------

TAfComPortEventThread::TAfComPortEventThread(TAfComPortCore *core, TAfCoreEventCallback callback)
    : TAfComPortCoreThread(core), m_callback(std::move(callback))
{
    m_callbackSet.store(static_cast<bool>(m_callback));
}

void TAfComPortEventThread::Execute()
{
    TerminalPoller waitSet;
    const int device = m_core->m_device.fd();
    // Edge-triggered on the device: each arrival of characters wakes us
    // once, unread input does not keep waking us.
    const bool ready = waitSet.valid() && waitSet.add(m_stopEvent.fd(), TerminalPoller::Readable) &&
                       waitSet.add(m_core->m_outputDrained.fd(), TerminalPoller::Readable) &&
                       waitSet.add(m_core->m_lostSignal.fd(), TerminalPoller::Readable) &&
                       waitSet.add(device, TerminalPoller::Readable, true);
    if (!ready) {
        ReportStartFailure(); // out of descriptors: the open fails cleanly
        return;
    }
    m_core->m_outputDrained.reset();
    m_lastModemBits = m_core->m_device.modemBits();
    m_core->m_threadStarted.set();

    while (!Terminated()) {
        const std::vector<TerminalPoller::Ready> ready = waitSet.wait(200);
        if (ready.empty()) {
            if (!Terminated())
                Poll();
            continue;
        }
        for (const TerminalPoller::Ready &r : ready) {
            if (Terminated())
                break;
            if (r.fd == m_stopEvent.fd()) {
                m_terminated.store(true);
            } else if (r.fd == m_core->m_outputDrained.fd()) {
                if (m_core->m_outputDrained.consume())
                    DoEvent(ceOutFree, 0);
            } else if (r.fd == m_core->m_lostSignal.fd()) {
                m_core->m_lostSignal.consume();
                if (std::exception_ptr error = m_core->TakeLostError())
                    DoEvent(ceException, 0, error);
            } else if (r.fd == device) {
                if (r.events & (TerminalPoller::HangUp | TerminalPoller::Error)) {
                    // The far side has gone: stop watching it (it would stay
                    // "ready" for ever) and report once.
                    waitSet.remove(device);
                    m_core->ReportLost(QString::asprintf("Connection lost (COM%d)", m_core->ComNumber()));
                } else if ((r.events & TerminalPoller::Readable) && (m_core->EventMask() & EV_RXCHAR)) {
                    DoEvent(ceLineEvent, EV_RXCHAR);
                }
            }
        }
    }
}

void TAfComPortEventThread::Poll()
{
    TAfComStat stat;
    int modemBits = -1;
    if (!m_core->TryGetComStat(stat, modemBits))
        return;
    uint32_t mask = 0;
    if (stat.Errors)
        mask |= EV_ERR;
    if (modemBits >= 0 && m_lastModemBits >= 0) {
        const int changed = modemBits ^ m_lastModemBits;
        if (changed & TIOCM_CTS)
            mask |= EV_CTS;
        if (changed & TIOCM_DSR)
            mask |= EV_DSR;
        if (changed & TIOCM_CD)
            mask |= EV_RLSD;
        if ((changed & TIOCM_RNG) && (modemBits & TIOCM_RNG))
            mask |= EV_RING;
    }
    m_lastModemBits = modemBits;
    mask &= m_core->EventMask();
    if (stat.cbInQue > 0)
        DoEvent(ceNeedReadData, static_cast<uint32_t>(stat.cbInQue));
    if (mask)
        DoEvent(ceLineEvent, mask);
}

void TAfComPortEventThread::DoEvent(TAfCoreEvent kind, uint32_t data, std::exception_ptr error)
{
    if (!m_callbackSet.load())
        return;
    try {
        m_callback(m_core, kind, data, std::move(error));
    } catch (...) {
        HandleThreadException(std::current_exception());
    }
}

void TAfComPortEventThread::HandleThreadException(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const EAbort &) {
        return;
    } catch (...) {
    }
    // An exception thrown while an exception is delivered is dropped, not
    // delivered again.
    if (m_inExceptionDelivery || !m_callbackSet.load())
        return;
    m_inExceptionDelivery = true;
    DoEvent(ceException, 0, error);
    m_inExceptionDelivery = false;
}

// ---- write thread ---------------------------------------------------------

TAfComPortWriteThread::TAfComPortWriteThread(TAfComPortCore *core, int ringSize)
    : TAfComPortCoreThread(core), m_ring(ringSize)
{
}

bool TAfComPortWriteThread::QueueOutput(const void *buffer, int count)
{
    {
        std::lock_guard lock(m_core->m_writeLock);
        if (!m_ring.Write(buffer, count))
            return false;
    }
    m_dataQueued.set();
    return true;
}

int TAfComPortWriteThread::FreeCount()
{
    std::lock_guard lock(m_core->m_writeLock);
    return m_ring.FreeCount();
}

bool TAfComPortWriteThread::RequestPurge(int timeoutMs)
{
    // A thread that has ended answers nothing: no use waiting for it.
    if (Ended() || StartFailed())
        return false;
    m_purgeRequest.set();
    return m_purgeAcknowledge.waitAndConsume(timeoutMs);
}

void TAfComPortWriteThread::ClearRing()
{
    std::lock_guard lock(m_core->m_writeLock);
    m_dataQueued.reset();
    m_ring.Clear();
}

void TAfComPortWriteThread::Execute()
{
    TerminalPoller idleWait, lineWait;
    const bool ready = idleWait.valid() && lineWait.valid() && m_purgeRequest.valid() &&
                       m_purgeAcknowledge.valid() && m_dataQueued.valid() &&
                       idleWait.add(m_stopEvent.fd(), TerminalPoller::Readable) &&
                       idleWait.add(m_purgeRequest.fd(), TerminalPoller::Readable) &&
                       idleWait.add(m_dataQueued.fd(), TerminalPoller::Readable) &&
                       lineWait.add(m_stopEvent.fd(), TerminalPoller::Readable) &&
                       lineWait.add(m_purgeRequest.fd(), TerminalPoller::Readable) &&
                       lineWait.add(m_core->m_device.fd(), TerminalPoller::Writable);
    if (!ready) {
        ReportStartFailure();
        return;
    }
    m_core->m_threadStarted.set();

    while (!Terminated()) {
        bool purge = false, data = false;
        for (const TerminalPoller::Ready &r : idleWait.wait(-1)) {
            if (r.fd == m_stopEvent.fd())
                m_terminated.store(true);
            else if (r.fd == m_purgeRequest.fd())
                purge = m_purgeRequest.consume();
            else if (r.fd == m_dataQueued.fd())
                data = m_dataQueued.consume();
        }
        if (Terminated())
            break;
        if (purge)
            m_purgeAcknowledge.set();
        else if (data)
            WriteOut(lineWait);
    }
}

void TAfComPortWriteThread::WriteOut(TerminalPoller &lineWait)
{
    const int device = m_core->m_device.fd();
    for (;;) {
        if (Terminated() || m_core->ConnectionLost())
            return;
        int n;
        const char *piece;
        {
            std::lock_guard lock(m_core->m_writeLock);
            n = m_ring.LinearReadCount();
            piece = m_ring.ReadPointer();
        }
        if (n == 0)
            return;
        // The piece stays in the ring while it is written; new bytes only go
        // to the free part, so nobody touches it meanwhile.
        const TerminalDevice::IoResult r = m_core->m_device.write(piece, n);
        if (r.count > 0) {
            // A short write removes what went out; the rest follows at once.
            int used;
            {
                std::lock_guard lock(m_core->m_writeLock);
                m_ring.Remove(static_cast<int>(r.count));
                used = m_ring.UsedCount();
            }
            if (used == 0) {
                m_core->m_outputDrained.set();
                return;
            }
            continue;
        }
        if (r.error != 0 && r.error != EAGAIN) {
            m_core->ReportLost(QString::asprintf("Connection lost (COM%d)", m_core->ComNumber()));
            return;
        }
        // The line's buffer is full: wait until it takes more.
        for (const TerminalPoller::Ready &w : lineWait.wait(-1)) {
            if (w.fd == m_stopEvent.fd()) {
                m_terminated.store(true);
                return;
            }
            if (w.fd == m_purgeRequest.fd() && m_purgeRequest.consume()) {
                // The pending bytes are left to the purge.
                m_purgeAcknowledge.set();
                return;
            }
            if (w.fd == device && (w.events & (TerminalPoller::HangUp | TerminalPoller::Error))) {
                m_core->ReportLost(QString::asprintf("Connection lost (COM%d)", m_core->ComNumber()));
                return;
            }
        }
    }
}
