#include "history/HistoryLocks.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLockFile>

namespace HistoryLocks
{

namespace
{

// Git's lock files that a program ended midway (killed, a power cut) leaves
// behind: each would fail every later update of what it locks ("failed to
// lock file"). Called by the holder of the program's own lock under which
// alone they are made, so none of them belongs to a live update.
void removeLeftGitLocks(const QString &gitFolder, const QStringList &files, const QString &refsFolder)
{
    const QDir git(gitFolder);
    for (const QString &file : files)
        QFile::remove(git.filePath(file));
    QDirIterator it(git.filePath(refsFolder), {QStringLiteral("*.lock")}, QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        QFile::remove(it.next());
}

} // namespace

Result<std::unique_ptr<QLockFile>> history(const QString &folder)
{
    const QString gitFolder = QDir(folder).filePath(QStringLiteral(".git"));
    auto held = std::make_unique<QLockFile>(QDir(gitFolder).filePath(QStringLiteral("tessaro.lock")));
    held->setStaleLockTime(3000);
    if (!held->tryLock(10000))
        return Failure{Failure::Kind::History, folder,
                       QStringLiteral("the history is in use by another program")};
    // The branch and HEAD are moved under this lock only.
    removeLeftGitLocks(gitFolder, {QStringLiteral("HEAD.lock"), QStringLiteral("packed-refs.lock")},
                       QStringLiteral("refs/heads"));
    return held;
}

Result<std::unique_ptr<QLockFile>> share(const QString &folder, int waitMs)
{
    const QString gitFolder = QDir(folder).filePath(QStringLiteral(".git"));
    auto held = std::make_unique<QLockFile>(QDir(gitFolder).filePath(QStringLiteral("tessaro-share.lock")));
    held->setStaleLockTime(3000);
    if (!held->tryLock(waitMs))
        return Failure{Failure::Kind::History, folder,
                       QStringLiteral("another program is sharing the history")};
    // The remote's settings and what was fetched from it are written under
    // this lock only.
    removeLeftGitLocks(gitFolder,
                       {QStringLiteral("config.lock"), QStringLiteral("FETCH_HEAD.lock"),
                        QStringLiteral("packed-refs.lock")},
                       QStringLiteral("refs/remotes"));
    return held;
}

} // namespace HistoryLocks
