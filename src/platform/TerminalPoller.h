#pragma once

#include <cstdint>
#include <vector>

// Waits on several descriptors at once (terminals and TerminalSignals).
// A terminal can be watched edge-triggered: then every arrival of new input
// wakes the waiter once, even when older input is still unread, which is how
// the port reports "characters received" without spinning on unread data.
class TerminalPoller
{
  public:
    enum Event : uint32_t {
        Readable = 0x1,
        Writable = 0x4,
        Error = 0x8,
        HangUp = 0x10,
    };
    struct Ready {
        int fd;
        uint32_t events; // Event bits
    };

    TerminalPoller();
    ~TerminalPoller();
    TerminalPoller(const TerminalPoller &) = delete;
    TerminalPoller &operator=(const TerminalPoller &) = delete;

    bool valid() const { return m_epoll >= 0; }
    bool add(int fd, uint32_t events, bool edgeTriggered = false);
    void remove(int fd);

    // Waits up to timeoutMs (negative: without limit). An empty result is a
    // time-out; an interrupted wait also returns empty.
    std::vector<Ready> wait(int timeoutMs);

  private:
    int m_epoll = -1;
};
