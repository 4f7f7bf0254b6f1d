#include "device/ExchangeTrace.h"

#include "device/ExchangeState.h"
#include "platform/SafeFile.h"

#include <QDateTime>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
constexpr int StepWidth = 9; // "write 127"
} // namespace

ExchangeTrace::ExchangeTrace() = default;

ExchangeTrace::~ExchangeTrace()
{
    static_cast<void>(close());
}

Result<void> ExchangeTrace::open(const QString &path)
{
    if (m_fd >= 0) {
        if (m_path == path)
            return {};
        return Failure{Failure::Kind::File, path, QStringLiteral("a trace is already open on ") + m_path};
    }
    auto refuse = [&](const QString &reason, int e = 0) {
        return Failure{Failure::Kind::File, path, reason, e};
    };
    // A link to nothing would make a file wherever it points.
    const SafeFile::Status kind = SafeFile::check(path);
    if (kind.failure == SafeFile::Failure::NotRegular)
        return refuse(kind.reason());
    // Without O_NONBLOCK a named pipe put there since would hold open() until
    // something reads it.
    const QByteArray name = QFile::encodeName(path);
    const int fd =
        ::open(name.constData(), O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0) {
        const int e = errno;
        const SafeFile::Status now = SafeFile::check(path);
        return refuse(now.failure == SafeFile::Failure::NotRegular ? now.reason()
                                                                   : QString::fromLocal8Bit(std::strerror(e)),
                      e);
    }
    struct stat st {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return refuse(SafeFile::kindName(st.st_mode) + QStringLiteral(", not a regular file"));
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    adopt(fd, path);
    return {};
}

void ExchangeTrace::adopt(int fd, const QString &name)
{
    if (m_fd >= 0 || fd < 0)
        return;
    m_fd = fd;
    m_path = name;
    m_failure = 0;
    m_stop = false;
    m_writer = std::thread([this] { writerLoop(); });
}

Result<void> ExchangeTrace::close()
{
    if (m_writer.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_writer.join();
    }
    if (m_fd < 0)
        return status();
    struct stat st {
    };
    // What the disk has not taken yet may still fail here (a full disk
    // behind a cache, a network folder).
    const bool regular = ::fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode);
    if (regular && ::fsync(m_fd) != 0 && !m_failure)
        m_failure = errno;
    if (::close(m_fd) != 0 && !m_failure)
        m_failure = errno;
    m_fd = -1;
    return status();
}

bool ExchangeTrace::failed() const
{
    std::lock_guard lock(m_mutex);
    return m_failure != 0;
}

Result<void> ExchangeTrace::status() const
{
    std::lock_guard lock(m_mutex);
    if (!m_failure)
        return {};
    return Failure{Failure::Kind::File, m_path, QString::fromLocal8Bit(std::strerror(m_failure)), m_failure};
}

QString ExchangeTrace::step(const ExchangeState &exchange, Direction direction)
{
    switch (exchange.Step) {
    case ExchangeStep::Version:
        return QStringLiteral("version");
    case ExchangeStep::Read:
        return QStringLiteral("read");
    case ExchangeStep::Write:
        // A data byte goes out before WriteIndex counts it; "W" "P" go out
        // while it is still 0 and ReadyForByte is not yet set.
        if (direction == Direction::Sent && exchange.ReadyForByte)
            return QStringLiteral("write %1").arg(exchange.WriteIndex);
        return QStringLiteral("write");
    case ExchangeStep::None:
        break;
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
        // A failing disk loses trace lines, never the exchange; the failure
        // is kept for the end of the run.
        const char *p = chunk.constData();
        qsizetype left = chunk.size();
        int failure = 0;
        while (left > 0) {
            const ssize_t n = ::write(m_fd, p, size_t(left));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                failure = n < 0 ? errno : EIO;
                break;
            }
            p += n;
            left -= n;
        }
        lock.lock();
        if (failure && !m_failure)
            m_failure = failure;
        m_writing = false;
        m_drained.notify_all();
    }
}

Result<void> ExchangeTrace::flush()
{
    {
        std::unique_lock lock(m_mutex);
        if (m_fd >= 0)
            m_drained.wait(lock, [this] { return m_queue.empty() && !m_writing && !m_dropped; });
    }
    return status();
}
