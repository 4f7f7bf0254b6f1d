#pragma once

#include "history/DeviceHistory.h"
#include "settings/MemoryRecord.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// What the tests ask of a repository, read with libgit2 directly rather than
// through the code under test.
namespace HistoryHelper
{
// A record whose settings differ by the value given (the service password).
MemoryRecord record(const QString &password = QStringLiteral("7391"));

// The commits reachable from the repository's main branch (or of a bare
// repository's), newest first: "author name <mail>|first line".
QStringList log(const QString &gitFolder);
// The full message of the newest commit.
QString lastMessage(const QString &gitFolder);
// The files of the newest commit's tree, "serial/name".
QStringList files(const QString &gitFolder);
// Makes an empty bare repository whose main branch is "main".
bool initBare(const QString &path);
// A program folder's History/.git.
QString gitOf(const QString &programFolder);

// A fixed clock for names that tests can predict.
inline auto fixedClock(int second = 2)
{
    return [second] { return QDateTime(QDate(2026, 12, 8), QTime(10, 15, second)); };
}
// A program folder standing for one technician's laptop, with its history.
struct LaptopFolder {
    QTemporaryDir folder;
    DeviceHistory history;
    LaptopFolder(const QString &technician, const QString &remote)
        : history(folder.path(), {technician, technician.toLower() + QStringLiteral("@servis.cz"), remote})
    {
    }
    // Keeps a read of the settings with this password; the kept file's path,
    // empty when nothing was kept.
    // Shares; empty when it went, else why not.
    QString share()
    {
        const Result<void> shared = history.share();
        return shared ? QString() : shared.failure().text();
    }
    QString keep(const QString &serial, const QString &password, int second = 2)
    {
        history.clock = fixedClock(second);
        const Result<QString> kept =
            history.keep(record(password), serial, QStringLiteral("1.20"), HistoryStore::Event::Read);
        return kept ? kept.value() : QString();
    }
};
} // namespace HistoryHelper
