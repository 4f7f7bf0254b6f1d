#pragma once

#include <cstdint>
#include <functional>

// Lets a background thread run a registered handler on the main thread and
// wait for it at most a given time. Handlers sit in a process-wide table of
// 64 slots under ids that are never 0; a slot can be switched off at any
// moment, after which sends to it return false at once - including sends
// already waiting, so a thread blocked in a send never holds up the main
// thread that is closing its port.
//
// The first registration must be made on the main thread (with the Qt
// application running there); handlers always run on that thread.

using TAfSafeSyncHandler = std::function<void()>;

constexpr int AfSafeSyncSlotCount = 64;

// New id, or 0 when all slots are taken. The slot starts disabled.
uint32_t SafeSyncRegister(TAfSafeSyncHandler handler);
bool SafeSyncUnregister(uint32_t id);
bool SafeSyncEnable(uint32_t id, bool enabled);
// Runs the handler on the main thread and waits up to timeoutMs for it.
// True when the slot is still registered and enabled afterwards (also after
// a time-out, so the caller goes on with its next event); false at once for
// a disabled or unknown slot. On the main thread the handler runs directly.
bool SafeSyncSend(uint32_t id, int timeoutMs);

// Runs the sends that are waiting for the main thread. The main thread calls
// it while it waits for a port thread to end, so a thread in the middle of a
// send can finish.
void SafeSyncRunPending();

// Sets the id counter, so the wrap past 0 can be exercised.
void SafeSyncSetIdCounter(uint32_t value);
