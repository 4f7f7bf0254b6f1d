#include "sim/SimulatedCable.h"

// Bytes cross between the host's thread and the simulator's as copies: a
// shared QByteArray would be freed on one thread while the other still looks
// at its count, and Qt's own reference counting is invisible to the thread
// checker.

bool SimulatedCable::write(const QByteArray &bytes)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_hungUp)
            return false;
        m_hostToDevice.append(bytes.constData(), bytes.size());
    }
    m_toDevice.notify_all();
    return true;
}

QByteArray SimulatedCable::read(int maxBytes)
{
    std::lock_guard lock(m_mutex);
    const int n = maxBytes < 0 ? int(m_deviceToHost.size()) : std::min<int>(maxBytes, m_deviceToHost.size());
    QByteArray out(m_deviceToHost.constData(), n);
    m_deviceToHost.remove(0, n);
    return out;
}

int SimulatedCable::bytesWaiting() const
{
    std::lock_guard lock(m_mutex);
    return int(m_deviceToHost.size());
}

bool SimulatedCable::waitForBytes(int count, int timeoutMs) const
{
    std::unique_lock lock(m_mutex);
    m_toHost.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                      [&] { return m_deviceToHost.size() >= count || m_hungUp; });
    return m_deviceToHost.size() >= count;
}

void SimulatedCable::purge()
{
    std::lock_guard lock(m_mutex);
    m_deviceToHost.clear();
}

bool SimulatedCable::isHungUp() const
{
    std::lock_guard lock(m_mutex);
    return m_hungUp;
}

void SimulatedCable::unplug()
{
    hangUp();
}

SimLine::Wait SimulatedCable::waitForInput(Clock::time_point deadline, QByteArray &in)
{
    std::unique_lock lock(m_mutex);
    m_toDevice.wait_until(lock, deadline,
                          [&] { return !m_hostToDevice.isEmpty() || m_hungUp || m_interrupted; });
    m_interrupted = false;
    if (!m_hostToDevice.isEmpty()) {
        // Bytes the host sent before pulling the cable still count.
        in.append(m_hostToDevice.constData(), m_hostToDevice.size());
        m_hostToDevice.clear();
        return Wait::Input;
    }
    return m_hungUp ? Wait::Closed : Wait::Timeout;
}

bool SimulatedCable::deliver(const QByteArray &bytes)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_hungUp)
            return false;
        m_deviceToHost.append(bytes.constData(), bytes.size());
    }
    m_toHost.notify_all();
    return true;
}

void SimulatedCable::hangUp()
{
    {
        std::lock_guard lock(m_mutex);
        m_hungUp = true;
    }
    m_toDevice.notify_all();
    m_toHost.notify_all();
}

void SimulatedCable::interrupt()
{
    {
        std::lock_guard lock(m_mutex);
        m_interrupted = true;
    }
    m_toDevice.notify_all();
}
