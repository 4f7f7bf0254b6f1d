#pragma once

#include <QByteArray>

#include <chrono>

// The device's end of a line, as the simulator's runner thread sees it.
// waitForInput, deliver and hangUp are called from the runner thread only;
// interrupt may be called from any thread.
class SimLine
{
  public:
    using Clock = std::chrono::steady_clock;
    enum class Wait { Input, Timeout, Closed };

    virtual ~SimLine() = default;

    // Blocks until bytes arrive from the host (appended to `in`), the deadline
    // passes or interrupt() is called (both give Timeout), or the host side is
    // gone (Closed).
    virtual Wait waitForInput(Clock::time_point deadline, QByteArray &in) = 0;
    // Puts bytes on the line towards the host; false when the line is gone.
    virtual bool deliver(const QByteArray &bytes) = 0;
    // The device drops the line: the host sees a hang-up from now on.
    virtual void hangUp() = 0;
    virtual void interrupt() = 0;
};
