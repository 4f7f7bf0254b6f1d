#pragma once

// A wake-up flag another thread can wait for, together with a terminal, in
// one poll(): an eventfd counter that is either set or not. Auto-reset users
// take the flag with consume(); manual-reset users leave it set.
class TerminalSignal
{
  public:
    TerminalSignal();
    ~TerminalSignal();
    TerminalSignal(const TerminalSignal &) = delete;
    TerminalSignal &operator=(const TerminalSignal &) = delete;

    bool valid() const { return m_fd >= 0; }
    int fd() const { return m_fd; }

    void set();
    void reset();
    // Takes the flag if it is set; true when it was.
    bool consume();
    // Waits up to timeoutMs (negative: without limit) for the flag and takes it.
    bool waitAndConsume(int timeoutMs);

  private:
    int m_fd = -1;
};
