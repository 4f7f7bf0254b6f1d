#include "device/ExchangeTrace.h"

#include "device/ExchangeState.h"

#include <QDateTime>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace
{
constexpr int StepWidth = 9; // "write 127"
} // namespace

ExchangeTrace::ExchangeTrace() = default;

ExchangeTrace::~ExchangeTrace()
{
    if (m_writer.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_writer.join();
    }
    if (m_fd >= 0)
        ::close(m_fd);
}

bool ExchangeTrace::open(const QString &path, QString *error)
{
    if (m_fd >= 0)
        return m_path == path;
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    m_fd = fd;
    m_path = path;
    m_writer = std::thread([this] { writerLoop(); });
    return true;
}

QString ExchangeTrace::step(const ExchangeState &exchange, Direction direction)
{
    const QString &command = exchange.ExchangeCommand;
    if (command == QLatin1String("VER"))
        return QStringLiteral("version");
    if (command == QLatin1String("PC"))
        return QStringLiteral("read");
    if (command == QLatin1String("PZ")) {
        // A data byte goes out before WriteIndex counts it; "W" "P" go out
        // while it is still 0 and ReadyForByte is not yet set.
        if (direction == Direction::Sent && exchange.ReadyForByte)
            return QStringLiteral("write %1").arg(exchange.WriteIndex);
        return QStringLiteral("write");
    }
    return QStringLiteral("start");
}

QString ExchangeTrace::hexLine(const QByteArray &bytes)
{
    QString hex;
    QString text;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (!hex.isEmpty())
            hex += QLatin1Char(' ');
        hex += QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
        text += (b >= 0x20 && b < 0x7F) ? QLatin1Char(char(b)) : QLatin1Char('.');
    }
    return hex + QStringLiteral(" | ") + text;
}

void ExchangeTrace::transfer(Direction direction, const ExchangeState &exchange, const QByteArray &bytes)
{
    if (m_fd < 0 || bytes.isEmpty())
        return;
    enqueue(QStringLiteral("%1 %2 %3")
                .arg(step(exchange, direction), -StepWidth)
                .arg(direction == Direction::Sent ? QStringLiteral("H>D") : QStringLiteral("D>H"))
                .arg(hexLine(bytes)));
}

void ExchangeTrace::note(const QString &text)
{
    if (m_fd >= 0)
        enqueue(text);
}

void ExchangeTrace::enqueue(const QString &line)
{
    QByteArray out =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz ")).toUtf8();
    out += line.toUtf8();
    out += '\n';
    {
        std::lock_guard lock(m_mutex);
        if (m_pending + out.size() > MaxPending) {
            ++m_dropped;
            return;
        }
        m_pending += out.size();
        m_queue.push_back(std::move(out));
    }
    m_wake.notify_one();
}

void ExchangeTrace::writerLoop()
{
    // A trace into a pipe whose reader went away must fail its writes, not
    // end the process in the middle of an exchange.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);

    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_queue.empty() || m_dropped; });
        if (m_queue.empty() && !m_dropped) {
            if (m_stop)
                return;
            continue;
        }
        QByteArray chunk;
        while (!m_queue.empty()) {
            chunk += m_queue.front();
            m_queue.pop_front();
        }
        if (m_dropped) {
            chunk += QStringLiteral("... %1 lines dropped (the trace file could not keep up)\n")
                         .arg(m_dropped)
                         .toUtf8();
            m_dropped = 0;
        }
        m_pending = 0;
        m_writing = true;
        lock.unlock();
        // A failing disk loses trace lines, never the exchange.
        const char *p = chunk.constData();
        qsizetype left = chunk.size();
        while (left > 0) {
            const ssize_t n = ::write(m_fd, p, size_t(left));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            p += n;
            left -= n;
        }
        lock.lock();
        m_writing = false;
        m_drained.notify_all();
    }
}

void ExchangeTrace::flush()
{
    if (m_fd < 0)
        return;
    std::unique_lock lock(m_mutex);
    m_drained.wait(lock, [this] { return m_queue.empty() && !m_writing && !m_dropped; });
}
