#pragma once

#include <functional>
#include <memory>

class QEventLoop;
class QTimer;

// Time as the exchange service sees it: the poll timer of the communication
// dialog, the short handshake poll of a cable write, the wait for an exchange
// to end and the cable's set-up pauses. The program and the tool run on real
// timers (TimerClock); the tests put a virtual clock here, so the service's
// time limits and pacing are tested without waiting.
class ExchangeClock
{
  public:
    virtual ~ExchangeClock() = default;

    // Quiet: once, when an answer has had its moment of silence.
    enum Slot { Poll, HandshakePoll, Quiet, SlotCount };
    // Calls tick every ms milliseconds from now on, replacing what the slot
    // ran before; stop() ends it.
    virtual void start(Slot slot, int ms, std::function<void()> tick) = 0;
    virtual void stop(Slot slot) = 0;
    virtual bool active(Slot slot) const = 0;

    // Runs the ticks and whatever else arrives until quit(): the wait for an
    // exchange to end.
    virtual void run() = 0;
    virtual void quit() = 0;

    // Lets ms milliseconds pass (the cable's set-up). The program's window
    // stays responsive meanwhile; no tick of this clock runs.
    virtual void pause(int ms) = 0;
};

// The real clock: precise Qt timers and a local event loop. The pause lets the
// event loop run too, but none of this clock's ticks.
class TimerClock : public ExchangeClock
{
  public:
    TimerClock();
    ~TimerClock() override;

    void start(Slot slot, int ms, std::function<void()> tick) override;
    void stop(Slot slot) override;
    bool active(Slot slot) const override;
    void run() override;
    void quit() override;
    void pause(int ms) override;

  private:
    std::unique_ptr<QTimer> m_timers[SlotCount];
    std::function<void()> m_ticks[SlotCount];
    QEventLoop *m_loop = nullptr;
    bool m_quit = false;
    int m_pausing = 0;
};
