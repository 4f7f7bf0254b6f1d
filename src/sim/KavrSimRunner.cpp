#include "sim/KavrSimRunner.h"

#include <QSaveFile>

#include <cmath>
#include <cstdio>

namespace
{

using namespace std::chrono;

// An FTDI converter sends its buffer when the latency timer expires or when a
// full USB packet (64 bytes less 2 status bytes) has gathered.
constexpr int FtdiPacketPayload = 62;

SimLine::Clock::duration byteTime(int baud, double factor)
{
    const double seconds = 10.0 * factor / double(std::max(baud, 1));
    return duration_cast<SimLine::Clock::duration>(duration<double>(seconds));
}

} // namespace

KavrSimRunner::KavrSimRunner(const KavrSimOptions &options, std::shared_ptr<SimLine> line)
    : m_options(options), m_line(std::move(line)), m_model(options.state, options.faults),
      m_inByte(byteTime(options.line.baud, 1.0)),
      m_outByte(byteTime(options.line.baud, options.line.slowFactor > 0 ? options.line.slowFactor : 1.0))
{
}

KavrSimRunner::~KavrSimRunner()
{
    stop();
}

bool KavrSimRunner::start(QString *error)
{
    if (m_thread.joinable())
        return true;
    if (!m_options.traceFile.isEmpty()) {
        m_trace.setFileName(m_options.traceFile);
        if (!m_trace.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
            if (error)
                *error = QStringLiteral("%1: %2").arg(m_options.traceFile, m_trace.errorString());
            return false;
        }
    }
    m_stop = false;
    m_running = true;
    m_thread = std::thread([this] { run(); });
    return true;
}

void KavrSimRunner::stop()
{
    m_stop = true;
    if (m_line)
        m_line->interrupt();
    if (m_thread.joinable())
        m_thread.join();
    m_running = false;
    if (m_trace.isOpen())
        m_trace.close();
}

KavrDeviceState KavrSimRunner::state() const
{
    std::lock_guard lock(m_modelMutex);
    return m_model.state();
}

int KavrSimRunner::writesCompleted() const
{
    std::lock_guard lock(m_modelMutex);
    return m_model.writesCompleted();
}

QByteArray KavrSimRunner::lastWrittenBlock() const
{
    std::lock_guard lock(m_modelMutex);
    return m_model.lastWrittenBlock();
}

void KavrSimRunner::run()
{
    m_epoch = Clock::now();
    m_inFree = m_outFree = m_lastInput = m_epoch;
    if (m_options.line.hangUpAfter == 0) {
        m_line->hangUp();
        m_running = false;
        return;
    }
    while (!m_stop) {
        const Clock::time_point now = Clock::now();
        takeDueInput(now);
        if (!releaseDueOutput(now))
            break;
        {
            std::lock_guard lock(m_modelMutex);
            if (m_model.midCommand() && m_in.empty() &&
                now - m_lastInput >= milliseconds(m_options.line.abandonAfterMs))
                m_model.abandonCommand();
        }
        QByteArray arrived;
        const SimLine::Wait w = m_line->waitForInput(nextWake(now), arrived);
        if (w == SimLine::Wait::Closed)
            break;
        if (!arrived.isEmpty()) {
            // A byte reaches the device one byte time after the line is free
            // for it: the host cannot send faster than the line's baud rate.
            const Clock::time_point t = Clock::now();
            for (char c : arrived) {
                m_inFree = std::max(m_inFree, t) + m_inByte;
                m_in.push_back({m_inFree, std::uint8_t(c)});
            }
        }
    }
    m_running = false;
    if (m_trace.isOpen())
        m_trace.flush();
}

void KavrSimRunner::takeDueInput(Clock::time_point now)
{
    while (!m_in.empty() && m_in.front().at <= now) {
        const Timed in = m_in.front();
        m_in.pop_front();
        m_lastInput = in.at;
        ++m_received;
        trace(in.at, "H>D", QByteArray(1, char(in.byte)));

        QByteArray answer;
        int writesBefore = 0;
        int writesAfter = 0;
        QByteArray written;
        {
            std::lock_guard lock(m_modelMutex);
            writesBefore = m_model.writesCompleted();
            answer = m_model.feed(in.byte);
            writesAfter = m_model.writesCompleted();
            if (writesAfter != writesBefore)
                written = m_model.lastWrittenBlock();
        }
        if (!written.isEmpty())
            saveBlock(written);
        if (answer.isEmpty())
            continue;
        const int delay = answer == "D" && m_options.line.handshakeDelayMs >= 0
                              ? m_options.line.handshakeDelayMs
                              : m_options.line.turnaroundMs;
        Clock::time_point t = std::max(in.at + milliseconds(delay), m_outFree);
        for (char c : answer) {
            t += m_outByte;
            m_out.push_back({t, std::uint8_t(c)});
        }
        m_outFree = t;
    }
}

KavrSimRunner::Clock::time_point KavrSimRunner::batchTick(Clock::time_point t) const
{
    const auto latency = milliseconds(m_options.line.ftdiLatencyMs);
    const auto since = t - m_epoch;
    const auto ticks = (since + latency - Clock::duration(1)) / latency;
    return m_epoch + ticks * latency;
}

bool KavrSimRunner::releaseDueOutput(Clock::time_point now)
{
    if (m_out.empty())
        return true;
    int due = 0;
    while (due < int(m_out.size()) && m_out[size_t(due)].at <= now)
        ++due;
    if (due == 0)
        return true;
    int n = due;
    if (m_options.line.ftdiLatencyMs > 0) {
        // Only what was complete at the last timer expiry goes out, unless a
        // full packet has gathered.
        const auto latency = milliseconds(m_options.line.ftdiLatencyMs);
        const Clock::time_point lastTick = m_epoch + ((now - m_epoch) / latency) * latency;
        n = 0;
        while (n < due && m_out[size_t(n)].at <= lastTick)
            ++n;
        if (due >= FtdiPacketPayload)
            n = std::max(n, FtdiPacketPayload);
        if (n == 0)
            return true;
    }

    const long long limit = m_options.line.hangUpAfter;
    if (limit >= 0)
        n = int(std::min<long long>(n, limit - m_sent.load()));
    QByteArray bytes;
    for (int i = 0; i < n; ++i) {
        bytes.append(char(m_out.front().byte));
        m_out.pop_front();
    }
    if (!bytes.isEmpty()) {
        if (!m_line->deliver(bytes))
            return false;
        m_sent += bytes.size();
        trace(now, "D>H", bytes);
    }
    if (limit >= 0 && m_sent.load() >= limit) {
        trace(now, "---", "hang-up");
        m_line->hangUp();
        return false;
    }
    return true;
}

KavrSimRunner::Clock::time_point KavrSimRunner::nextWake(Clock::time_point now) const
{
    Clock::time_point wake = now + milliseconds(500);
    if (!m_in.empty())
        wake = std::min(wake, m_in.front().at);
    if (!m_out.empty()) {
        Clock::time_point out = m_out.front().at;
        if (m_options.line.ftdiLatencyMs > 0) {
            out = batchTick(out);
            if (m_out.size() >= size_t(FtdiPacketPayload))
                out = std::min(out, m_out[FtdiPacketPayload - 1].at);
        }
        wake = std::min(wake, out);
    }
    {
        std::lock_guard lock(m_modelMutex);
        if (m_model.midCommand())
            wake = std::min(wake, m_lastInput + milliseconds(m_options.line.abandonAfterMs));
    }
    return std::max(wake, now);
}

void KavrSimRunner::trace(Clock::time_point at, const char *direction, const QByteArray &bytes)
{
    if (!m_trace.isOpen())
        return;
    const double seconds = duration<double>(at - m_epoch).count();
    if (qstrcmp(direction, "---") == 0) {
        char line[96];
        std::snprintf(line, sizeof line, "%11.6f %s %s\n", seconds, direction, bytes.constData());
        m_trace.write(line);
    } else {
        for (char c : bytes) {
            const auto b = std::uint8_t(c);
            const char shown = (b >= 0x20 && b < 0x7F) ? char(b) : '.';
            char line[64];
            std::snprintf(line, sizeof line, "%11.6f %s %02X %c\n", seconds, direction, unsigned(b), shown);
            m_trace.write(line);
        }
    }
    m_trace.flush();
}

void KavrSimRunner::saveBlock(const QByteArray &block)
{
    if (m_options.saveBlockFile.isEmpty())
        return;
    QSaveFile file(m_options.saveBlockFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(block) != block.size() || !file.commit())
        std::fprintf(stderr, "kavr-sim: cannot save the written block to %s: %s\n",
                     qPrintable(m_options.saveBlockFile), qPrintable(file.errorString()));
}
