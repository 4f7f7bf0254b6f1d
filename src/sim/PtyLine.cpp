#include "sim/PtyLine.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace
{

void setError(QString *error, const QString &what)
{
    if (error)
        *error = QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
}

speed_t speedFor(int baud)
{
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B0;
    }
}

bool makeRaw(int fd, speed_t speed)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return false;
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (speed != B0)
        cfsetspeed(&t, speed);
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

bool PtyLine::makeWakePipe(QString *error)
{
    if (::pipe2(m_wake, O_NONBLOCK | O_CLOEXEC) != 0) {
        setError(error, QStringLiteral("pipe"));
        return false;
    }
    return true;
}

std::unique_ptr<PtyLine> PtyLine::create(QString *error)
{
    std::unique_ptr<PtyLine> line(new PtyLine);
    line->m_fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (line->m_fd < 0) {
        setError(error, QStringLiteral("posix_openpt"));
        return nullptr;
    }
    if (::grantpt(line->m_fd) != 0 || ::unlockpt(line->m_fd) != 0) {
        setError(error, QStringLiteral("grantpt/unlockpt"));
        return nullptr;
    }
    char name[128];
    if (::ptsname_r(line->m_fd, name, sizeof name) != 0) {
        setError(error, QStringLiteral("ptsname"));
        return nullptr;
    }
    line->m_path = QString::fromLocal8Bit(name);
    line->m_heldSlave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (line->m_heldSlave < 0) {
        setError(error, line->m_path);
        return nullptr;
    }
    // Raw on both sides: no echo, no line editing, no CR/LF translation.
    if (!makeRaw(line->m_heldSlave, B2400) || !makeRaw(line->m_fd, B0)) {
        setError(error, QStringLiteral("tcsetattr"));
        return nullptr;
    }
    if (!line->makeWakePipe(error))
        return nullptr;
    return line;
}

std::unique_ptr<PtyLine> PtyLine::attach(const QString &path, int baud, QString *error)
{
    const speed_t speed = speedFor(baud);
    if (speed == B0) {
        if (error)
            *error = QStringLiteral("unsupported baud rate %1").arg(baud);
        return nullptr;
    }
    std::unique_ptr<PtyLine> line(new PtyLine);
    line->m_path = path;
    line->m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (line->m_fd < 0) {
        setError(error, path);
        return nullptr;
    }
    if (!::isatty(line->m_fd)) {
        if (error)
            *error = QStringLiteral("%1: not a terminal device").arg(path);
        return nullptr;
    }
    if (!makeRaw(line->m_fd, speed)) {
        setError(error, QStringLiteral("tcsetattr"));
        return nullptr;
    }
    if (!line->makeWakePipe(error))
        return nullptr;
    return line;
}

PtyLine::~PtyLine()
{
    closeFd(m_fd);
    closeFd(m_heldSlave);
    closeFd(m_wake[0]);
    closeFd(m_wake[1]);
}

SimLine::Wait PtyLine::waitForInput(Clock::time_point deadline, QByteArray &in)
{
    if (m_fd < 0)
        return Wait::Closed;
    pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
    const auto left = std::max(deadline - Clock::now(), Clock::duration::zero());
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    const timespec timeout{time_t(ns / 1000000000), long(ns % 1000000000)};
    const int r = ::ppoll(fds, 2, &timeout, nullptr);
    if (r < 0)
        return errno == EINTR ? Wait::Timeout : Wait::Closed;
    if (fds[1].revents & POLLIN) {
        char drain[64];
        while (::read(m_wake[0], drain, sizeof drain) > 0) {
        }
    }
    if (fds[0].revents & POLLIN) {
        char buf[512];
        const ssize_t n = ::read(m_fd, buf, sizeof buf);
        if (n > 0) {
            in.append(buf, n);
            return Wait::Input;
        }
        if (n == 0 || (errno != EAGAIN && errno != EINTR))
            return Wait::Closed;
        return Wait::Timeout;
    }
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
        return Wait::Closed;
    return Wait::Timeout;
}

bool PtyLine::deliver(const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0 && m_fd >= 0) {
        const ssize_t n = ::write(m_fd, p, size_t(left));
        if (n > 0) {
            p += n;
            left -= n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            // Nobody reads the other side and its buffer is full; a real line
            // would lose these bytes too, so give up after a short wait.
            pollfd out{m_fd, POLLOUT, 0};
            if (::poll(&out, 1, 100) <= 0)
                return true;
            continue;
        }
        return false;
    }
    return m_fd >= 0;
}

void PtyLine::hangUp()
{
    // Closing the master flushes what the host has not read yet. Bytes sent
    // before a hang-up reach a real host, so give it a moment to take them.
    // The kernel hands bytes from master to slave a little later, so wait a
    // few byte times before looking whether the host has read them all. A
    // host that leaves them there for 100 ms waits for more than was sent
    // (a whole answer, say) and would not take them in the whole 500 ms.
    if (m_heldSlave >= 0) {
        ::usleep(20000);
        int last = -1;
        for (int waited = 0, still = 0; waited < 500 && still < 100; waited += 2) {
            int pending = 0;
            if (::ioctl(m_heldSlave, FIONREAD, &pending) != 0 || pending == 0)
                break;
            still = pending == last ? still + 2 : 0;
            last = pending;
            ::usleep(2000);
        }
    }
    closeFd(m_fd);
    closeFd(m_heldSlave);
}

void PtyLine::interrupt()
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_wake[1], &c, 1);
}
