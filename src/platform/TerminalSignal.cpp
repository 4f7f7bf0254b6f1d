#include "platform/TerminalSignal.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

TerminalSignal::TerminalSignal() : m_fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
}

TerminalSignal::~TerminalSignal()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void TerminalSignal::set()
{
    const uint64_t one = 1;
    // The counter only saturates after 2^64 sets, so a failed write means
    // it is already set.
    while (::write(m_fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void TerminalSignal::reset()
{
    consume();
}

bool TerminalSignal::consume()
{
    uint64_t value = 0;
    for (;;) {
        const ssize_t n = ::read(m_fd, &value, sizeof value);
        if (n == sizeof value)
            return value != 0;
        if (n < 0 && errno == EINTR)
            continue;
        return false;
    }
}

bool TerminalSignal::waitAndConsume(int timeoutMs)
{
    pollfd p{m_fd, POLLIN, 0};
    for (;;) {
        const int r = ::poll(&p, 1, timeoutMs);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        if (consume())
            return true;
        // Another waiter took it first: nothing to wait for any more.
        return false;
    }
}
