#pragma once

#include "history/HistoryAuthor.h"
#include "platform/Result.h"

#include <QDateTime>
#include <QString>

#include <atomic>
#include <functional>

// Sharing a History with the company's repository: fetch, merge (a
// fast-forward or a merge commit that holds every entry of both), push;
// never a forced push, never a local entry dropped. A push refused because
// another computer pushed first is fetched, merged and pushed again.
//
// The remote is a folder (a path or file://, a bare repository on a mounted
// share; an empty folder becomes one) or ssh (ssh://user@host[:port]/path or
// user@host:path) with the keys of the user's agent or ~/.ssh, the host's key
// checked against ~/.ssh/known_hosts.
namespace HistoryShare
{

struct Job {
    QString programFolder; // relative remote paths are taken from here
    QString historyFolder;
    QString remote;
    HistoryAuthor author;
    QDateTime now;
};

// The whole share, in the calling thread; cancel ends it at the next chance
// (a callback of the transfer).
Result<void> run(const Job &job, const std::atomic<bool> &cancel);

// How many entries of the history are not in the remote as last fetched.
int unshared(const QString &historyFolder);

// Test hook: called after each merge, before the push (another computer
// pushes then). Pass nullptr to remove it.
void setBeforePushHook(std::function<void()> hook);

// Which kind of remote a Remote= value names.
enum class RemoteKind { Folder, Ssh, Other };
RemoteKind kindOf(const QString &remote);

} // namespace HistoryShare
