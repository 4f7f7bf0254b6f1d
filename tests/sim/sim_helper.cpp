#include "sim_helper.h"

#include <QElapsedTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

HostTerminal::HostTerminal(const QString &path)
{
    m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return;
    termios t{};
    if (tcgetattr(m_fd, &t) == 0) {
        cfmakeraw(&t);
        cfsetspeed(&t, B2400);
        tcsetattr(m_fd, TCSANOW, &t);
    }
}

HostTerminal::~HostTerminal()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool HostTerminal::send(const QByteArray &bytes)
{
    if (m_fd < 0)
        return false;
    return ::write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
}

QByteArray HostTerminal::receive(int count, int timeoutMs)
{
    QByteArray got;
    if (m_fd < 0)
        return got;
    QElapsedTimer timer;
    timer.start();
    while (got.size() < count) {
        const qint64 left = timeoutMs - timer.elapsed();
        if (left <= 0)
            break;
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, int(left)) <= 0)
            continue;
        if (p.revents & POLLIN) {
            char buf[256];
            const ssize_t n = ::read(m_fd, buf, std::min<size_t>(sizeof buf, size_t(count - got.size())));
            if (n > 0) {
                got.append(buf, n);
                continue;
            }
            if (n < 0 && errno == EAGAIN)
                continue;
        }
        if (p.revents & (POLLHUP | POLLERR | POLLIN)) {
            m_hungUp = true;
            break;
        }
    }
    return got;
}

QByteArray hexBytes(const char *hex)
{
    QByteArray clean(hex);
    clean.replace(' ', "").replace('\n', "");
    return QByteArray::fromHex(clean);
}

QByteArray writeBlockHandshaking(HostTerminal &host, const QByteArray &block, int perByteTimeoutMs)
{
    QByteArray answers;
    host.send("WP");
    for (int i = 0; i < block.size(); ++i) {
        host.send(block.mid(i, 1));
        const QByteArray a = host.receive(1, perByteTimeoutMs);
        answers += a;
        if (a != "D")
            break;
    }
    return answers;
}
