#include "serial/AfSafeSync.h"

#include "platform/TerminalSignal.h"
#include "serial/AfUtils.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>

#include <array>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace
{

struct Slot {
    bool enabled = false;
    TAfSafeSyncHandler handler;
    uint32_t id = 0;
};

struct Call {
    enum State { Queued, Running, Done, Abandoned };
    uint32_t id;
    State state = Queued;
};

// Waiting threads wake the main thread through an eventfd watched by a
// socket notifier: nothing but our own queue, guarded by our own mutex,
// passes between the threads.
struct Table {
    std::mutex mutex;
    std::condition_variable changed;
    std::array<Slot, AfSafeSyncSlotCount> entries{};
    uint32_t counter = 0;
    std::deque<std::shared_ptr<Call>> queue;
    std::thread::id mainThread;
    bool created = false;
    TerminalSignal wake;
    QSocketNotifier *notifier = nullptr;
};

Table &table()
{
    static Table t;
    return t;
}

Slot *findSlot(Table &t, uint32_t id)
{
    if (id == 0)
        return nullptr;
    for (Slot &s : t.entries) {
        if (s.id == id && s.handler)
            return &s;
    }
    return nullptr;
}

bool isLive(Table &t, uint32_t id)
{
    const Slot *s = findSlot(t, id);
    return s && s->enabled;
}

// Runs one handler outside the lock; an exception stays here and goes to the
// standard display.
void runHandler(const TAfSafeSyncHandler &handler)
{
    try {
        handler();
    } catch (const EAbort &) {
    } catch (...) {
        AfShowException(std::current_exception());
    }
}

// Called with the lock held by every registration: the thread that registers
// first is the main thread, and the wake-up watch is (re)made there while a
// Qt application runs on it.
void prepareMainThread(Table &t)
{
    if (!t.created) {
        t.created = true;
        t.mainThread = std::this_thread::get_id();
    }
    QCoreApplication *app = QCoreApplication::instance();
    if (t.notifier || !app || !t.wake.valid() || std::this_thread::get_id() != t.mainThread ||
        app->thread() != QThread::currentThread())
        return;
    t.notifier = new QSocketNotifier(t.wake.fd(), QSocketNotifier::Read, app);
    QObject::connect(t.notifier, &QObject::destroyed, [] {
        Table &t = table();
        std::lock_guard lock(t.mutex);
        t.notifier = nullptr;
    });
    QObject::connect(t.notifier, &QSocketNotifier::activated, t.notifier, [] {
        table().wake.consume();
        SafeSyncRunPending();
    });
}

} // namespace

uint32_t SafeSyncRegister(TAfSafeSyncHandler handler)
{
    Table &t = table();
    std::lock_guard lock(t.mutex);
    prepareMainThread(t);
    if (!handler)
        return 0;
    for (Slot &s : t.entries) {
        if (!s.handler) {
            if (++t.counter == 0)
                ++t.counter;
            s.enabled = false;
            s.handler = std::move(handler);
            s.id = t.counter;
            return s.id;
        }
    }
    return 0;
}

bool SafeSyncUnregister(uint32_t id)
{
    Table &t = table();
    std::lock_guard lock(t.mutex);
    Slot *s = findSlot(t, id);
    if (!s)
        return false;
    *s = Slot{};
    t.changed.notify_all();
    return true;
}

bool SafeSyncEnable(uint32_t id, bool enabled)
{
    Table &t = table();
    std::lock_guard lock(t.mutex);
    Slot *s = findSlot(t, id);
    if (!s)
        return false;
    s->enabled = enabled;
    // Senders waiting for this slot give up at once.
    if (!enabled)
        t.changed.notify_all();
    return true;
}

bool SafeSyncSend(uint32_t id, int timeoutMs)
{
    Table &t = table();
    std::unique_lock lock(t.mutex);
    Slot *slot = findSlot(t, id);
    if (!slot || !slot->enabled)
        return false;

    if (std::this_thread::get_id() == t.mainThread) {
        TAfSafeSyncHandler handler = slot->handler;
        lock.unlock();
        runHandler(handler);
        lock.lock();
        return isLive(t, id);
    }

    if (!t.notifier)
        return false; // no main thread to run it: the caller drops the event
    auto call = std::make_shared<Call>(Call{id});
    t.queue.push_back(call);
    t.wake.set();
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        if (call->state == Call::Done || !isLive(t, id))
            break;
        if (t.changed.wait_until(lock, deadline) == std::cv_status::timeout) {
            // A handler already running is waited for, so the caller never
            // refills its event while the main thread still reads it.
            if (call->state == Call::Running) {
                while (call->state == Call::Running && isLive(t, id))
                    t.changed.wait(lock);
            }
            break;
        }
    }
    if (call->state == Call::Queued)
        call->state = Call::Abandoned;
    return isLive(t, id);
}

void SafeSyncRunPending()
{
    Table &t = table();
    std::unique_lock lock(t.mutex);
    if (std::this_thread::get_id() != t.mainThread)
        return;
    while (!t.queue.empty()) {
        std::shared_ptr<Call> call = t.queue.front();
        t.queue.pop_front();
        if (call->state != Call::Queued)
            continue;
        // Looked up again: a handler switched off on the way is not called.
        Slot *slot = findSlot(t, call->id);
        if (slot && slot->enabled) {
            call->state = Call::Running;
            TAfSafeSyncHandler handler = slot->handler;
            lock.unlock();
            runHandler(handler);
            lock.lock();
        }
        call->state = Call::Done;
        t.changed.notify_all();
    }
}

void SafeSyncSetIdCounter(uint32_t value)
{
    Table &t = table();
    std::lock_guard lock(t.mutex);
    t.counter = value;
}
