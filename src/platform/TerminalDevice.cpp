#include "platform/TerminalDevice.h"

#include "platform/TerminalCustomBaud.h"
#include "platform/TerminalTermios.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <linux/serial.h>
#include <mutex>
#include <poll.h>
#include <set>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace
{

// Terminals without modem lines (pseudo-terminals) refuse the ioctls this way.
bool lacksModemLines(int err)
{
    return err == ENOTTY || err == EINVAL;
}

int retryIoctl(int fd, unsigned long request, void *arg)
{
    int r;
    do {
        r = ::ioctl(fd, request, arg);
    } while (r < 0 && errno == EINTR);
    return r;
}

// The devices this program's terminals hold open, by device number.
std::mutex &openDevicesMutex()
{
    static std::mutex m;
    return m;
}
std::multiset<dev_t> &openDevices()
{
    static std::multiset<dev_t> devices;
    return devices;
}

} // namespace

bool TerminalDevice::openHere(const QString &path)
{
    struct stat st {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    std::lock_guard lock(openDevicesMutex());
    return openDevices().count(st.st_rdev) > 0;
}

TerminalDevice::~TerminalDevice()
{
    close();
}

TerminalDevice::OpenResult TerminalDevice::open(const QString &path)
{
    close();
    m_openError = 0;
    const QByteArray native = path.toLocal8Bit();
    int fd;
    do {
        fd = ::open(native.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        m_openError = errno;
        return m_openError == ENOENT ? OpenResult::Absent : OpenResult::Failed;
    }
    if (!::isatty(fd)) {
        m_openError = ENOTTY;
        ::close(fd);
        return OpenResult::Failed;
    }
    // A held flock means another program has the port, whoever we are.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        m_openError = errno;
        ::close(fd);
        return OpenResult::Failed;
    }
    if (::ioctl(fd, TIOCEXCL) != 0 && !lacksModemLines(errno)) {
        m_openError = errno;
        ::close(fd);
        return OpenResult::Failed;
    }
    m_fd = fd;
    struct stat st {
    };
    m_device = ::fstat(fd, &st) == 0 ? st.st_rdev : 0;
    {
        std::lock_guard lock(openDevicesMutex());
        openDevices().insert(m_device);
    }
    return OpenResult::Opened;
}

void TerminalDevice::close()
{
    if (m_fd < 0)
        return;
    // Exclusive mode lives in the tty, not in our descriptor: release it so
    // the next opener is not refused.
    ::ioctl(m_fd, TIOCNXCL);
    ::flock(m_fd, LOCK_UN);
    // Linux releases the descriptor even when close() reports EINTR, so it
    // is never closed twice.
    ::close(m_fd);
    m_fd = -1;
    std::lock_guard lock(openDevicesMutex());
    const auto it = openDevices().find(m_device);
    if (it != openDevices().end())
        openDevices().erase(it);
}

bool TerminalDevice::applyLineSettings(const TerminalLineSettings &s)
{
    if (m_fd < 0)
        return false;
    termios t{};
    uint32_t customBaud = 0;
    if (::tcgetattr(m_fd, &t) != 0 || !TerminalTermios::build(s, t, &customBaud))
        return false;
    if (::tcsetattr(m_fd, TCSANOW, &t) != 0)
        return false;
    if (customBaud != 0 && !terminalSetCustomBaudRate(m_fd, customBaud))
        return false;

    // DTR and RTS follow the record while the port is open.
    const bool dtr = (s.Flags & LineFlag::DtrControlMask) != 0;
    const bool rts = (s.Flags & LineFlag::RtsControlMask) != 0;
    return setDtr(dtr) != LineResult::Failed && setRts(rts) != LineResult::Failed;
}

TerminalLineSettings TerminalDevice::currentLineSettings() const
{
    termios t{};
    if (m_fd < 0 || ::tcgetattr(m_fd, &t) != 0)
        return TerminalLineSettings();
    return TerminalTermios::settings(t, modemBits());
}

TerminalDevice::LineResult TerminalDevice::modemLine(int bit, bool on)
{
    if (m_fd < 0)
        return LineResult::Failed;
    int arg = bit;
    if (retryIoctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &arg) == 0)
        return LineResult::Done;
    return lacksModemLines(errno) ? LineResult::Unsupported : LineResult::Failed;
}

TerminalDevice::LineResult TerminalDevice::setDtr(bool on)
{
    return modemLine(TIOCM_DTR, on);
}

TerminalDevice::LineResult TerminalDevice::setRts(bool on)
{
    return modemLine(TIOCM_RTS, on);
}

TerminalDevice::LineResult TerminalDevice::setBreak(bool on)
{
    if (m_fd < 0)
        return LineResult::Failed;
    if (retryIoctl(m_fd, on ? TIOCSBRK : TIOCCBRK, nullptr) == 0)
        return LineResult::Done;
    return lacksModemLines(errno) ? LineResult::Unsupported : LineResult::Failed;
}

bool TerminalDevice::sendFlowControl(bool stop)
{
    return m_fd >= 0 && ::tcflow(m_fd, stop ? TCIOFF : TCION) == 0;
}

int TerminalDevice::modemBits() const
{
    int bits = 0;
    if (m_fd < 0 || retryIoctl(m_fd, TIOCMGET, &bits) != 0)
        return -1;
    return bits;
}

TerminalDevice::ErrorCounts TerminalDevice::errorCounts() const
{
    ErrorCounts c;
    serial_icounter_struct ic{};
    if (m_fd < 0 || retryIoctl(m_fd, TIOCGICOUNT, &ic) != 0)
        return c;
    c.supported = true;
    c.frame = static_cast<uint32_t>(ic.frame);
    c.overrun = static_cast<uint32_t>(ic.overrun);
    c.parity = static_cast<uint32_t>(ic.parity);
    c.brk = static_cast<uint32_t>(ic.brk);
    c.bufferOverrun = static_cast<uint32_t>(ic.buf_overrun);
    return c;
}

int TerminalDevice::inputQueueCount() const
{
    int n = 0;
    if (m_fd < 0 || retryIoctl(m_fd, FIONREAD, &n) != 0)
        return -1;
    return n;
}

int TerminalDevice::outputQueueCount() const
{
    int n = 0;
    if (m_fd < 0 || retryIoctl(m_fd, TIOCOUTQ, &n) != 0)
        return -1;
    return n;
}

namespace
{
// One read or write, repeated when a signal interrupts it.
template <typename Op> TerminalDevice::IoResult transfer(int fd, long count, Op op)
{
    TerminalDevice::IoResult r;
    if (fd < 0) {
        r.error = EBADF;
        return r;
    }
    if (count <= 0)
        return r;
    ssize_t n;
    do {
        n = op(fd, static_cast<size_t>(count));
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        r.error = errno;
    else
        r.count = n;
    return r;
}
} // namespace

TerminalDevice::IoResult TerminalDevice::read(void *buffer, long count)
{
    return transfer(m_fd, count, [buffer](int fd, size_t n) { return ::read(fd, buffer, n); });
}

TerminalDevice::IoResult TerminalDevice::write(const void *buffer, long count)
{
    return transfer(m_fd, count, [buffer](int fd, size_t n) { return ::write(fd, buffer, n); });
}

void TerminalDevice::purge(bool input, bool output)
{
    if (m_fd < 0 || (!input && !output))
        return;
    ::tcflush(m_fd, input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH);
}

bool TerminalDevice::hungUp() const
{
    if (m_fd < 0)
        return true;
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0)
        return false;
    return p.revents & (POLLHUP | POLLERR | POLLNVAL);
}
