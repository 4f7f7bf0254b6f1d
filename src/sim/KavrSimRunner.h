#pragma once

#include "sim/KavrDeviceModel.h"
#include "sim/KavrSimOptions.h"
#include "sim/SimLine.h"

#include <QFile>

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

// Runs the device model on its own thread against one line, paced like a
// serial line: every byte takes 10 bit times in each direction, answers start
// after the turnaround delay, and all send times are absolute deadlines so a
// long answer does not drift. Optionally the answer bytes are handed over in
// batches, the way an FTDI converter's latency timer does.
class KavrSimRunner
{
  public:
    KavrSimRunner(const KavrSimOptions &options, std::shared_ptr<SimLine> line);
    ~KavrSimRunner();
    KavrSimRunner(const KavrSimRunner &) = delete;
    KavrSimRunner &operator=(const KavrSimRunner &) = delete;

    // Opens the trace file (if any) and starts the thread.
    bool start(QString *error = nullptr);
    // Stops the thread; the line stays as it is.
    void stop();
    // False once stopped, or when the line was hung up or closed by the host.
    bool isRunning() const { return m_running.load(); }

    // Snapshots, safe from any thread.
    KavrDeviceState state() const;
    int writesCompleted() const;
    QByteArray lastWrittenBlock() const;
    long long bytesSent() const { return m_sent.load(); }
    long long bytesReceived() const { return m_received.load(); }

  private:
    using Clock = SimLine::Clock;
    struct Timed {
        Clock::time_point at;
        std::uint8_t byte;
    };

    void run();
    void takeDueInput(Clock::time_point now);
    bool releaseDueOutput(Clock::time_point now); // false: line ended
    Clock::time_point nextWake(Clock::time_point now) const;
    Clock::time_point batchTick(Clock::time_point t) const;
    void trace(Clock::time_point at, const char *direction, const QByteArray &bytes);
    void saveBlock(const QByteArray &block);

    KavrSimOptions m_options;
    std::shared_ptr<SimLine> m_line;
    mutable std::mutex m_modelMutex;
    KavrDeviceModel m_model;

    Clock::duration m_inByte;
    Clock::duration m_outByte;
    Clock::time_point m_epoch;
    Clock::time_point m_inFree;  // when the host-to-device line is free again
    Clock::time_point m_outFree; // when the device-to-host line is free again
    Clock::time_point m_lastInput;
    std::deque<Timed> m_in;  // bytes on their way to the device, by the time it has them
    std::deque<Timed> m_out; // answer bytes, by the time their stop bit ends

    QFile m_trace;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_running{false};
    std::atomic<long long> m_sent{0};
    std::atomic<long long> m_received{0};
};
