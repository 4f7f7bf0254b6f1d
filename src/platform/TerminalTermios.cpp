#include "platform/TerminalTermios.h"

#include <sys/ioctl.h>

namespace TerminalTermios
{

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

} // namespace

bool build(const TerminalLineSettings &s, termios &t, uint32_t *customBaud)
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

TerminalLineSettings settings(const termios &t, int modemBits)
{
    TerminalLineSettings s;
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
    if (modemBits >= 0) {
        if (modemBits & TIOCM_DTR)
            s.Flags |= LineFlag::DtrControlEnable;
        if ((modemBits & TIOCM_RTS) && !(t.c_cflag & CRTSCTS))
            s.Flags |= LineFlag::RtsControlEnable;
    }
    s.XonChar = static_cast<char>(t.c_cc[VSTART]);
    s.XoffChar = static_cast<char>(t.c_cc[VSTOP]);
    return s;
}

} // namespace TerminalTermios
