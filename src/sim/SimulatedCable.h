#pragma once

#include "sim/SimLine.h"

#include <condition_variable>
#include <mutex>

// An in-process stand-in for a USB cable with the simulated communicator on
// its far end: a thread-safe byte pipe in both directions. The host side
// (a simulated FTDI backend, a test) uses the public host calls below from
// any thread; the simulator's runner thread plays the device end through the
// SimLine calls. Answer bytes appear in the host's input only when the runner
// releases them, i.e. paced like the real line (and batched like an FTDI
// converter when the simulator is told to).
//
// Once the line is hung up — by the device (hang-up fault) or by the host
// (unplug) — writes fail, nothing more arrives, and bytes already received
// stay readable.
class SimulatedCable : public SimLine
{
  public:
    // ---- host side ----
    // Sends bytes to the device. False (nothing sent) when hung up.
    bool write(const QByteArray &bytes);
    // Takes up to maxBytes (all when negative) of the waiting device bytes.
    QByteArray read(int maxBytes = -1);
    // Number of device bytes waiting to be read.
    int bytesWaiting() const;
    // Waits until at least `count` bytes are waiting, the line is hung up, or
    // timeoutMs passes; true when the count was reached.
    bool waitForBytes(int count, int timeoutMs) const;
    // Drops all waiting device bytes.
    void purge();
    // True once either side has dropped the line.
    bool isHungUp() const;
    // The host pulls the cable: same as a hang-up, seen by the device too.
    void unplug();

    // ---- device side (runner thread) ----
    Wait waitForInput(Clock::time_point deadline, QByteArray &in) override;
    bool deliver(const QByteArray &bytes) override;
    void hangUp() override;
    void interrupt() override;

  private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_toDevice;
    mutable std::condition_variable m_toHost;
    QByteArray m_hostToDevice;
    QByteArray m_deviceToHost;
    bool m_hungUp = false;
    bool m_interrupted = false;
};
