#include "device/ExchangeClock.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>

TimerClock::TimerClock()
{
    for (int slot = Poll; slot < SlotCount; ++slot) {
        m_timers[slot] = std::make_unique<QTimer>();
        m_timers[slot]->setTimerType(Qt::PreciseTimer);
        QObject::connect(m_timers[slot].get(), &QTimer::timeout, [this, slot] {
            // A tick must not run inside the cable's set-up it started.
            if (m_pausing == 0 && m_ticks[slot])
                m_ticks[slot]();
        });
    }
}

TimerClock::~TimerClock() = default;

void TimerClock::start(Slot slot, int ms, std::function<void()> tick)
{
    m_ticks[slot] = std::move(tick);
    m_timers[slot]->start(ms);
}

void TimerClock::stop(Slot slot)
{
    m_timers[slot]->stop();
}

bool TimerClock::active(Slot slot) const
{
    return m_timers[slot]->isActive();
}

void TimerClock::run()
{
    m_quit = false;
    QEventLoop loop;
    QEventLoop *outer = std::exchange(m_loop, &loop);
    if (!m_quit)
        loop.exec();
    m_loop = outer;
}

void TimerClock::quit()
{
    m_quit = true;
    if (m_loop)
        m_loop->quit();
}

void TimerClock::pause(int ms)
{
    if (ms <= 0)
        return;
    if (m_pausing > 0) {
        // Already inside a pause: a second event loop would gain nothing.
        QThread::msleep(ulong(ms));
        return;
    }
    ++m_pausing;
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    // Clicks and keys wait: the set-up is part of the command that started it.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    --m_pausing;
}
