#pragma once

#include "platform/TerminalLineSettings.h"

#include <QString>

#include <cstdint>
#include <sys/types.h>
#include <termios.h>

// One serial terminal opened exclusively: non-blocking, never the
// controlling terminal, TIOCEXCL against other openers and an flock() that
// every program honouring serial-port locks respects (root ignores TIOCEXCL).
class TerminalDevice
{
  public:
    enum class OpenResult {
        Opened,
        Absent, // no such device node
        Failed, // held by another program, no permission, not a terminal...
    };
    // Outcome of a modem-line request: pseudo-terminals have no modem lines.
    enum class LineResult { Done, Unsupported, Failed };

    struct IoResult {
        long count = 0; // bytes moved
        int error = 0;  // errno when the call failed (EAGAIN: try later)
    };

    // Counts of line errors the driver has seen since the port was opened.
    struct ErrorCounts {
        bool supported = false;
        uint32_t frame = 0, overrun = 0, parity = 0, brk = 0, bufferOverrun = 0;
    };

    TerminalDevice() = default;
    ~TerminalDevice();
    TerminalDevice(const TerminalDevice &) = delete;
    TerminalDevice &operator=(const TerminalDevice &) = delete;

    OpenResult open(const QString &path);
    // True when a TerminalDevice of this program has the device at `path`
    // open now (by whatever name it was opened): the port list counts such a
    // port as usable, not as held by another program.
    static bool openHere(const QString &path);
    int lastOpenError() const { return m_openError; }
    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    // Releases the exclusive hold and closes; the descriptor is marked
    // closed once close() has run.
    void close();

    bool applyLineSettings(const TerminalLineSettings &settings);
    // The settings the terminal holds now, as a line-settings record.
    TerminalLineSettings currentLineSettings() const;

    LineResult setDtr(bool on);
    LineResult setRts(bool on);
    LineResult setBreak(bool on);
    // Sends the stop (XOFF) or start (XON) character to the far side.
    bool sendFlowControl(bool stop);
    // TIOCM_* bits of the modem lines, -1 where the terminal has none.
    int modemBits() const;
    ErrorCounts errorCounts() const;

    // Bytes waiting in the driver's input queue; -1 when the device fails.
    int inputQueueCount() const;
    int outputQueueCount() const;

    IoResult read(void *buffer, long count);
    IoResult write(const void *buffer, long count);
    void purge(bool input, bool output);
    // True when the far side has gone (hang-up or error reported by poll).
    bool hungUp() const;

  private:
    LineResult modemLine(int bit, bool on);

    int m_fd = -1;
    int m_openError = 0;
    dev_t m_device = 0; // the device number while open
};
