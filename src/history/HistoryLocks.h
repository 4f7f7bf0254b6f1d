#pragma once

#include "platform/Result.h"

#include <QLockFile>
#include <QString>

#include <memory>

// The history's own locks, in its .git folder, held while the result lives.
// A lock left by a program killed while holding it is taken over: its
// process is gone (or, unreadable, it is stale after 3 s). Whoever takes one
// clears the lock files git left under it when a program ended midway.
namespace HistoryLocks
{

// Every keeping, listing and sharing's merge takes it; a failure when
// another program holds it for 10 s.
Result<std::unique_ptr<QLockFile>> history(const QString &folder);
// A share holds it from its fetch to its push, so that two programs do not
// update the remote's branch here at once; a failure when another program
// holds it for waitMs.
Result<std::unique_ptr<QLockFile>> share(const QString &folder, int waitMs);

} // namespace HistoryLocks
