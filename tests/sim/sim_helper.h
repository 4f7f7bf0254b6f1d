#pragma once

#include <QByteArray>
#include <QString>

// The host's end of a terminal line in tests: opens a path raw, sends bytes,
// and collects answer bytes until a count or a time limit is reached.
class HostTerminal
{
  public:
    explicit HostTerminal(const QString &path);
    // Takes over an open descriptor (closed with this object).
    explicit HostTerminal(int fd) : m_fd(fd) {}
    ~HostTerminal();
    HostTerminal(const HostTerminal &) = delete;
    HostTerminal &operator=(const HostTerminal &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    bool send(const QByteArray &bytes);
    // Reads until `count` bytes have come or timeoutMs has passed.
    QByteArray receive(int count, int timeoutMs);
    // Everything that arrives within the next `ms` milliseconds.
    QByteArray drain(int ms) { return receive(1 << 20, ms); }
    // True once the far side has closed the line.
    bool hungUp() const { return m_hungUp; }

  private:
    int m_fd = -1;
    bool m_hungUp = false;
};

// Bytes from a hex text written by hand, blanks and newlines ignored.
QByteArray hexBytes(const char *hex);

// A write as the program sends it: "W" "P" and then the 128 data bytes, each
// after the previous handshake. Returns the handshake bytes received.
QByteArray writeBlockHandshaking(HostTerminal &host, const QByteArray &block, int perByteTimeoutMs = 500);
