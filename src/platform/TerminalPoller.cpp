#include "platform/TerminalPoller.h"

#include <cerrno>
#include <sys/epoll.h>
#include <unistd.h>

static_assert(uint32_t(TerminalPoller::Readable) == uint32_t(EPOLLIN) &&
              uint32_t(TerminalPoller::Writable) == uint32_t(EPOLLOUT) &&
              uint32_t(TerminalPoller::Error) == uint32_t(EPOLLERR) &&
              uint32_t(TerminalPoller::HangUp) == uint32_t(EPOLLHUP));

TerminalPoller::TerminalPoller() : m_epoll(::epoll_create1(EPOLL_CLOEXEC))
{
}

TerminalPoller::~TerminalPoller()
{
    if (m_epoll >= 0)
        ::close(m_epoll);
}

bool TerminalPoller::add(int fd, uint32_t events, bool edgeTriggered)
{
    epoll_event ev{};
    ev.events = events;
    if (events & Readable)
        ev.events |= EPOLLRDHUP;
    if (edgeTriggered)
        ev.events |= EPOLLET;
    ev.data.fd = fd;
    return ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &ev) == 0;
}

void TerminalPoller::remove(int fd)
{
    epoll_event ev{};
    ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, &ev);
}

std::vector<TerminalPoller::Ready> TerminalPoller::wait(int timeoutMs)
{
    epoll_event events[8];
    const int n = ::epoll_wait(m_epoll, events, 8, timeoutMs);
    std::vector<Ready> ready;
    for (int i = 0; i < n; ++i) {
        uint32_t e = events[i].events & (EPOLLIN | EPOLLOUT | EPOLLERR | EPOLLHUP);
        // The far side closing its end counts as a hang-up.
        if (events[i].events & EPOLLRDHUP)
            e |= HangUp;
        ready.push_back({events[i].data.fd, e});
    }
    return ready;
}
