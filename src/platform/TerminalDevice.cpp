#include "platform/TerminalDevice.h"

#include "platform/TerminalCustomBaud.h"

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

struct BaudEntry {
    uint32_t rate;
    speed_t code;
};
constexpr BaudEntry kBaudTable[] = {
    {50, B50},         {75, B75},         {110, B110},         {134, B134},       {150, B150},
    {200, B200},       {300, B300},       {600, B600},         {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},       {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400},   {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000},
};

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

bool TerminalDevice::buildTermios(const TerminalLineSettings &s, termios &t, uint32_t *customBaud)
{
    *customBaud = 0;
    if (s.DCBlength != sizeof(TerminalLineSettings) || s.BaudRate == 0)
        return false;
    ::cfmakeraw(&t);
    t.c_cflag |= CREAD | CLOCAL | HUPCL;
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | IGNPAR);
    switch (s.ByteSize) {
    case 5:
        t.c_cflag |= CS5;
        break;
    case 6:
        t.c_cflag |= CS6;
        break;
    case 7:
        t.c_cflag |= CS7;
        break;
    case 8:
        t.c_cflag |= CS8;
        break;
    default:
        return false; // four data bits have no termios form
    }
    switch (s.Parity) {
    case 0:
        break;
    case 1:
        t.c_cflag |= PARENB | PARODD;
        break;
    case 2:
        t.c_cflag |= PARENB;
        break;
    case 3:
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case 4:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        return false;
    }
    switch (s.StopBits) {
    case 0:
        break;
    case 1: // one and a half: the UART sends it for two with five data bits
    case 2:
        t.c_cflag |= CSTOPB;
        break;
    default:
        return false;
    }
    if (s.Flags & LineFlag::ParityCheck)
        t.c_iflag |= INPCK;
    if ((s.Flags & LineFlag::OutxCtsFlow) ||
        (s.Flags & LineFlag::RtsControlMask) == LineFlag::RtsControlHandshake)
        t.c_cflag |= CRTSCTS;
    if (s.Flags & LineFlag::OutX)
        t.c_iflag |= IXON;
    if (s.Flags & LineFlag::InX)
        t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = static_cast<cc_t>(s.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(s.XoffChar);
    // Reads return at once with whatever is waiting.
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;

    for (const BaudEntry &e : kBaudTable) {
        if (e.rate == s.BaudRate) {
            ::cfsetispeed(&t, e.code);
            ::cfsetospeed(&t, e.code);
            return true;
        }
    }
    *customBaud = s.BaudRate;
    return true;
}

bool TerminalDevice::applyLineSettings(const TerminalLineSettings &s)
{
    if (m_fd < 0)
        return false;
    termios t{};
    uint32_t customBaud = 0;
    if (::tcgetattr(m_fd, &t) != 0 || !buildTermios(s, t, &customBaud))
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
    TerminalLineSettings s;
    termios t{};
    if (m_fd < 0 || ::tcgetattr(m_fd, &t) != 0)
        return s;
    const speed_t code = ::cfgetospeed(&t);
    for (const BaudEntry &e : kBaudTable) {
        if (e.code == code)
            s.BaudRate = e.rate;
    }
    switch (t.c_cflag & CSIZE) {
    case CS5:
        s.ByteSize = 5;
        break;
    case CS6:
        s.ByteSize = 6;
        break;
    case CS7:
        s.ByteSize = 7;
        break;
    default:
        s.ByteSize = 8;
        break;
    }
    if (t.c_cflag & PARENB) {
        const bool odd = t.c_cflag & PARODD;
        s.Parity = (t.c_cflag & CMSPAR) ? (odd ? 3 : 4) : (odd ? 1 : 2);
    }
    s.StopBits = (t.c_cflag & CSTOPB) ? 2 : 0;
    s.Flags = LineFlag::Binary;
    if (t.c_iflag & INPCK)
        s.Flags |= LineFlag::ParityCheck;
    if (t.c_cflag & CRTSCTS)
        s.Flags |= LineFlag::OutxCtsFlow | LineFlag::RtsControlHandshake;
    if (t.c_iflag & IXON)
        s.Flags |= LineFlag::OutX;
    if (t.c_iflag & IXOFF)
        s.Flags |= LineFlag::InX;
    const int bits = modemBits();
    if (bits >= 0) {
        if (bits & TIOCM_DTR)
            s.Flags |= LineFlag::DtrControlEnable;
        if ((bits & TIOCM_RTS) && !(t.c_cflag & CRTSCTS))
            s.Flags |= LineFlag::RtsControlEnable;
    }
    s.XonChar = static_cast<char>(t.c_cc[VSTART]);
    s.XoffChar = static_cast<char>(t.c_cc[VSTOP]);
    return s;
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
