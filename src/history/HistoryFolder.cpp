#include "history/HistoryFolder.h"

#include "platform/SafeFile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace HistoryFolder
{
namespace
{
Failure failure(const QString &subject, const QString &reason, int code = 0)
{
    return Failure{Failure::Kind::History, subject, reason, code};
}

QString systemReason(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// The bytes in a new temporary file beside the target, flushed unless the
// caller syncs many at once: its name, or the error number.
std::pair<QByteArray, int> writeTemporary(const QByteArray &target, const QByteArray &bytes, bool flush = true)
{
    const QByteArray temporary =
        target + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 16) + ".tmp";
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0)
        return {{}, errno};
    const bool ok = writeAll(fd, bytes) && (!flush || ::fsync(fd) == 0);
    const int code = ok ? 0 : (errno ? errno : EIO);
    ::close(fd);
    if (!ok) {
        ::unlink(temporary.constData());
        return {{}, code};
    }
    return {temporary, 0};
}
} // namespace

Result<void> prepare(const QString &folder)
{
    const QByteArray path = QFile::encodeName(folder);
    struct stat st {
    };
    if (::lstat(path.constData(), &st) != 0) {
        if (errno != ENOENT)
            return failure(folder, systemReason(errno), errno);
        if (::mkdir(path.constData(), 0755) != 0)
            return failure(folder, QStringLiteral("cannot be made: %1").arg(systemReason(errno)), errno);
        return {};
    }
    if (S_ISLNK(st.st_mode))
        return failure(
            folder,
            QStringLiteral("a symbolic link, not a folder: the history is kept only in a folder of its own"),
            ELOOP);
    if (!S_ISDIR(st.st_mode))
        return failure(
            folder, QStringLiteral("%1, not a folder").arg(SafeFile::kindName(st.st_mode & S_IFMT)), ENOTDIR);
    // A trial file says more than the permission bits (a read-only mount,
    // an administrator's own folder).
    const QByteArray probe = path + "/.tessaro-probe-" + QByteArray::number(::getpid());
    const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        const int code = errno;
        if (code == EACCES || code == EPERM)
            return failure(folder,
                           QStringLiteral("the folder may not be written to (%1)").arg(systemReason(code)),
                           code);
        if (code == EROFS)
            return failure(folder, QStringLiteral("on a disk that is mounted read-only"), code);
        return failure(folder, systemReason(code), code);
    }
    ::close(fd);
    ::unlink(probe.constData());
    return {};
}

Result<QString> writeNew(const QString &dir, const QString &stem, const QByteArray &bytes,
                         const std::function<bool(const QString &name)> &taken)
{
    if (!QDir().mkpath(dir))
        return failure(dir, QStringLiteral("the folder cannot be made"), EACCES);
    const QString first = QDir(dir).filePath(stem + QStringLiteral(".kvr"));
    const auto [temporary, code] = writeTemporary(QFile::encodeName(first), bytes);
    if (code)
        return failure(first, systemReason(code), code);
    for (int n = 1; n < 10000; ++n) {
        const QString name =
            n == 1 ? stem + QStringLiteral(".kvr") : QStringLiteral("%1 (%2).kvr").arg(stem).arg(n);
        if (taken && taken(name))
            continue;
        const QByteArray target = QFile::encodeName(QDir(dir).filePath(name));
        // link() never replaces: a name that is there already (a file, a
        // link, anything) leaves it as it is.
        if (::link(temporary.constData(), target.constData()) == 0) {
            ::unlink(temporary.constData());
            return name;
        }
        if (errno != EEXIST) {
            const int error = errno;
            ::unlink(temporary.constData());
            return failure(QDir(dir).filePath(name), systemReason(error), error);
        }
    }
    ::unlink(temporary.constData());
    return failure(first, QStringLiteral("no free name"), EEXIST);
}

bool writeMissing(const QString &dir, const QString &name, const QByteArray &bytes)
{
    const QByteArray target = QFile::encodeName(QDir(dir).filePath(name));
    struct stat st {
    };
    if (::lstat(target.constData(), &st) == 0)
        return true;
    if (!QDir().mkpath(dir))
        return false;
    const auto [temporary, code] = writeTemporary(target, bytes);
    if (code)
        return false;
    const bool linked = ::link(temporary.constData(), target.constData()) == 0 || errno == EEXIST;
    ::unlink(temporary.constData());
    return linked;
}

std::vector<bool> writeMissing(const QString &root, const QList<std::pair<QString, QByteArray>> &files)
{
    std::vector<bool> there(size_t(files.size()), false);
    std::vector<std::pair<size_t, QByteArray>> written; // index, temporary
    int folder = -1;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString path = QDir(root).filePath(files[i].first);
        const QByteArray target = QFile::encodeName(path);
        struct stat st {
        };
        if (::lstat(target.constData(), &st) == 0) {
            there[size_t(i)] = true;
            continue;
        }
        if (!QDir().mkpath(QFileInfo(path).path()))
            continue;
        const auto [temporary, code] = writeTemporary(target, files[i].second, false);
        if (!code) {
            written.emplace_back(size_t(i), temporary);
            if (folder < 0)
                folder = ::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        }
    }
    // Every file whole on the disk before any takes its name.
    const bool synced = folder >= 0 && ::syncfs(folder) == 0;
    if (folder >= 0)
        ::close(folder);
    for (const auto &[i, temporary] : written) {
        const QByteArray target = QFile::encodeName(QDir(root).filePath(files[qsizetype(i)].first));
        there[i] = synced && (::link(temporary.constData(), target.constData()) == 0 || errno == EEXIST);
        ::unlink(temporary.constData());
    }
    return there;
}

bool isLeftover(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral(R"(\.kvr\.[0-9a-fA-F]+\.tmp$)"));
    return pattern.match(name).hasMatch();
}

void removeLeftovers(const QString &dir)
{
    const QDir folder(dir);
    const QDateTime old = QDateTime::currentDateTime().addSecs(-60);
    for (const QFileInfo &info :
         folder.entryInfoList({QStringLiteral("*.tmp")}, QDir::Files | QDir::Hidden | QDir::System))
        if (isLeftover(info.fileName()) && !info.isSymLink() && info.lastModified() < old)
            QFile::remove(info.absoluteFilePath());
}

} // namespace HistoryFolder
