#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SafeFile
{

namespace
{

constexpr qint64 ReadChunk = 64 * 1024;

Status failed(Failure failure, int error = 0, mode_t type = 0)
{
    Status s;
    s.failure = failure;
    s.error = error;
    s.type = type;
    return s;
}

// A failure told by the system's error number.
Status fromErrno(int e)
{
    switch (e) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return failed(Failure::Missing, e);
    case EACCES:
    case EPERM:
    case EROFS:
        return failed(Failure::NoAccess, e);
    default:
        return failed(Failure::IoError, e);
    }
}

// What a name stands for, told by stat(): a regular file, something else,
// or the failure to look.
Status classify(const QByteArray &name, struct stat *st)
{
    if (::stat(name.constData(), st) != 0) {
        const int e = errno;
        // A link that names nothing is something else than a missing file.
        struct stat link {
        };
        if (e == ENOENT && ::lstat(name.constData(), &link) == 0 && S_ISLNK(link.st_mode))
            return failed(Failure::NotRegular, 0, S_IFLNK);
        return fromErrno(e);
    }
    if (!S_ISREG(st->st_mode))
        return failed(Failure::NotRegular, 0, st->st_mode & S_IFMT);
    return {};
}

QString sizeText(qint64 bytes)
{
    if (bytes >= 1024 * 1024 && bytes % (1024 * 1024) == 0)
        return QStringLiteral("%1 MiB").arg(bytes / (1024 * 1024));
    if (bytes >= 1024 && bytes % 1024 == 0)
        return QStringLiteral("%1 KiB").arg(bytes / 1024);
    return QStringLiteral("%1 bytes").arg(bytes);
}

bool writeAll(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

void syncFolder(const QString &file)
{
    const int fd =
        ::open(QFile::encodeName(QFileInfo(file).absolutePath()).constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

QString kindName(mode_t type)
{
    switch (type & S_IFMT) {
    case S_IFDIR:
        return QStringLiteral("a folder");
    case S_IFIFO:
        return QStringLiteral("a named pipe");
    case S_IFCHR:
        return QStringLiteral("a character device");
    case S_IFBLK:
        return QStringLiteral("a block device");
    case S_IFSOCK:
        return QStringLiteral("a socket");
    case S_IFLNK:
        return QStringLiteral("a symbolic link to nothing");
    case S_IFREG:
        return QStringLiteral("a regular file");
    default:
        return QStringLiteral("a special file");
    }
}

QString Status::reason() const
{
    switch (failure) {
    case Failure::None:
        return QString();
    case Failure::BadName:
        return QStringLiteral("no file name");
    case Failure::Missing:
        return QStringLiteral("no such file");
    case Failure::NoAccess:
        return QStringLiteral("permission denied");
    case Failure::NotRegular:
        return kindName(type) + QStringLiteral(", not a regular file");
    case Failure::TooLarge:
        return QStringLiteral("larger than %1").arg(sizeText(limit));
    case Failure::IoError:
        return QString::fromLocal8Bit(std::strerror(error ? error : EIO));
    }
    return QString();
}

int Status::errorNumber() const
{
    switch (failure) {
    case Failure::None:
        return 0;
    case Failure::BadName:
        return EINVAL;
    case Failure::NotRegular:
        return (type & S_IFMT) == S_IFDIR ? EISDIR : EACCES;
    case Failure::TooLarge:
        return EACCES;
    case Failure::Missing:
        return error ? error : ENOENT;
    case Failure::NoAccess:
        return error ? error : EACCES;
    case Failure::IoError:
        return error ? error : EIO;
    }
    return EIO;
}

namespace
{

// Reads fd to its end, at most limit bytes (one more tells that there are more).
void readToEnd(int fd, qint64 limit, qint64 sizeHint, Contents &c)
{
    c.bytes.reserve(qsizetype(std::min(sizeHint, limit)) + 1);
    qint64 have = 0;
    while (have <= limit) {
        const qint64 room = std::min(ReadChunk, limit + 1 - have);
        c.bytes.resize(qsizetype(have + room));
        const ssize_t n = ::read(fd, c.bytes.data() + have, size_t(room));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            static_cast<Status &>(c) = failed(Failure::IoError, errno);
            break;
        }
        if (n == 0)
            break;
        have += n;
    }
    c.bytes.resize(qsizetype(std::min(have, limit + 1)));
    if (c.ok() && have > limit)
        static_cast<Status &>(c) = failed(Failure::TooLarge);
}

enum class Accept { RegularOnly, Streams };

Contents readWith(const QString &path, qint64 limit, Accept accept)
{
    Contents c;
    if (path.isEmpty()) {
        static_cast<Status &>(c) = failed(Failure::BadName);
        return c;
    }
    const QByteArray name = QFile::encodeName(path);
    // Without O_NONBLOCK a named pipe with no writer holds open() for ever.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        struct stat st {
        };
        // A socket gives ENXIO; say what it is rather than the error.
        const Status kind = classify(name, &st);
        static_cast<Status &>(c) = kind.failure == Failure::NotRegular ? kind : fromErrno(e);
        return c;
    }

    struct stat st {
    };
    if (::fstat(fd, &st) != 0) {
        static_cast<Status &>(c) = failed(Failure::IoError, errno);
    } else if (!S_ISREG(st.st_mode) &&
               !(accept == Accept::Streams && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode)))) {
        static_cast<Status &>(c) = failed(Failure::NotRegular, 0, st.st_mode & S_IFMT);
    } else if (S_ISREG(st.st_mode) && st.st_size > limit) {
        static_cast<Status &>(c) = failed(Failure::TooLarge);
    } else {
        // Plain reads from here on: a regular file never blocks, and a pipe
        // that no one writes to reads as ended rather than waiting.
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        // The size is only a hint: a file that grows while it is read (or
        // one of the kernel's, which tell no size) is read to the limit.
        readToEnd(fd, limit, S_ISREG(st.st_mode) ? qint64(st.st_size) : ReadChunk, c);
    }
    ::close(fd);
    if (c.failure == Failure::TooLarge)
        c.limit = limit;
    if (!c.ok())
        c.bytes.clear();
    return c;
}

} // namespace

Contents read(const QString &path, qint64 limit)
{
    return readWith(path, limit, Accept::RegularOnly);
}

Contents readInput(const QString &path, qint64 limit)
{
    return readWith(path, limit, Accept::Streams);
}

Contents readInFolder(const QString &folder, const QString &name, qint64 limit)
{
    Contents c;
    if (name.isEmpty() || folder.isEmpty()) {
        static_cast<Status &>(c) = failed(Failure::BadName);
        return c;
    }
    // realpath() only looks at names: a named pipe or device is not opened.
    const QString base = QFileInfo(folder).canonicalFilePath();
    const QString path = QDir(folder).absoluteFilePath(name);
    static_cast<Status &>(c) = check(path);
    if (!c.ok())
        return c;
    const QString real = QFileInfo(path).canonicalFilePath();
    if (base.isEmpty() || real.isEmpty() || !real.startsWith(base + QLatin1Char('/'))) {
        static_cast<Status &>(c) = failed(Failure::NoAccess, EACCES);
        return c;
    }
    return read(real, limit);
}

Status check(const QString &path)
{
    if (path.isEmpty())
        return failed(Failure::BadName);
    struct stat st {
    };
    return classify(QFile::encodeName(path), &st);
}

Target writeTarget(const QString &path)
{
    Target t;
    if (path.isEmpty()) {
        static_cast<Status &>(t) = failed(Failure::BadName);
        return t;
    }
    t.path = QFileInfo(path).absoluteFilePath();
    const QByteArray name = QFile::encodeName(t.path);
    struct stat link {
    };
    if (::lstat(name.constData(), &link) != 0) {
        const int e = errno;
        if (e != ENOENT) {
            static_cast<Status &>(t) = fromErrno(e);
            return t;
        }
        // A new file: its folder must be there.
        struct stat folder {
        };
        const QByteArray folderName = QFile::encodeName(QFileInfo(t.path).absolutePath());
        if (::stat(folderName.constData(), &folder) != 0)
            static_cast<Status &>(t) = fromErrno(errno);
        else if (!S_ISDIR(folder.st_mode))
            static_cast<Status &>(t) = failed(Failure::Missing, ENOTDIR);
        return t;
    }
    if (S_ISLNK(link.st_mode)) {
        // Replace the file the link names; the link itself stays.
        char resolved[PATH_MAX];
        if (!::realpath(name.constData(), resolved)) {
            const int e = errno;
            static_cast<Status &>(t) = e == ENOENT ? failed(Failure::NotRegular, 0, S_IFLNK) : fromErrno(e);
            return t;
        }
        t.path = QFile::decodeName(resolved);
    }
    struct stat st {
    };
    static_cast<Status &>(t) = classify(QFile::encodeName(t.path), &st);
    if (!t.ok())
        return t;
    // A write-protected file stays protected.
    if (::access(QFile::encodeName(t.path).constData(), W_OK) != 0) {
        static_cast<Status &>(t) = fromErrno(errno);
        return t;
    }
    t.exists = true;
    t.mode = st.st_mode & 07777;
    return t;
}

Replacement::Replacement(const QString &path) : m_target(writeTarget(path))
{
    m_status = m_target;
    if (!m_status.ok())
        return;
    const QFileInfo info(m_target.path);
    for (int attempt = 0; attempt < 16; ++attempt) {
        m_temporary = QFile::encodeName(
            info.absolutePath() + QStringLiteral("/.") + info.fileName() +
            QStringLiteral(".%1.tmp").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        m_fd = ::open(m_temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0 || errno != EEXIST)
            break;
    }
    if (m_fd < 0) {
        m_status = fromErrno(errno);
        m_temporary.clear();
        return;
    }
    if (m_target.exists)
        ::fchmod(m_fd, m_target.mode);
}

Replacement::~Replacement()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_committed && !m_temporary.isEmpty())
        ::unlink(m_temporary.constData());
}

QString Replacement::temporaryPath() const
{
    return QFile::decodeName(m_temporary);
}

bool Replacement::commit()
{
    if (m_fd < 0 || !m_status.ok())
        return false;
    int e = 0;
    if (::fsync(m_fd) != 0)
        e = errno;
    if (::close(m_fd) != 0 && !e)
        e = errno;
    m_fd = -1;
    if (!e && ::rename(m_temporary.constData(), QFile::encodeName(m_target.path).constData()) != 0)
        e = errno;
    if (e) {
        m_status = failed(Failure::IoError, e);
        return false;
    }
    m_committed = true;
    syncFolder(m_target.path);
    return true;
}

QString Replacement::release()
{
    if (m_fd < 0 || !m_status.ok())
        return QString();
    const int closed = ::close(m_fd);
    m_fd = -1;
    if (closed != 0) {
        m_status = failed(Failure::IoError, errno);
        return QString();
    }
    m_committed = true; // no longer this object's to remove
    return QFile::decodeName(m_temporary);
}

Status replaceAll(const QList<std::pair<QString, QByteArray>> &files, qsizetype *failedAt)
{
    *failedAt = -1;
    QList<std::pair<QByteArray, QByteArray>> made; // new file, target
    QStringList folders;
    const auto removeFrom = [&made](qsizetype first) {
        for (qsizetype i = first; i < made.size(); ++i)
            ::unlink(made[i].first.constData());
    };
    for (qsizetype i = 0; i < files.size(); ++i) {
        Replacement r(files[i].first);
        QString temporary;
        if (r.status().ok() && !writeAll(r.fd(), files[i].second.constData(), files[i].second.size())) {
            const Status s = failed(Failure::IoError, errno);
            removeFrom(0);
            *failedAt = i;
            return s;
        }
        temporary = r.release();
        if (temporary.isEmpty()) {
            removeFrom(0);
            *failedAt = i;
            return r.status();
        }
        made.append({QFile::encodeName(temporary), QFile::encodeName(r.target().path)});
        const QString folder = QFileInfo(r.target().path).absolutePath();
        if (!folders.contains(folder))
            folders << folder;
    }
    // One flush of each file system for all the new files.
    for (const QString &folder : folders) {
        const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_CLOEXEC);
        const int synced = fd >= 0 ? ::syncfs(fd) : -1;
        const int e = errno;
        if (fd >= 0)
            ::close(fd);
        if (synced != 0) {
            removeFrom(0);
            *failedAt = 0;
            return failed(Failure::IoError, e);
        }
    }
    for (qsizetype i = 0; i < made.size(); ++i) {
        if (::rename(made[i].first.constData(), made[i].second.constData()) != 0) {
            const Status s = failed(Failure::IoError, errno);
            removeFrom(i);
            *failedAt = i;
            return s;
        }
    }
    for (const QString &folder : folders)
        syncFolder(folder + QStringLiteral("/."));
    return Status();
}

Status replace(const QString &path, const QByteArray &bytes)
{
    Replacement r(path);
    if (!r.status().ok())
        return r.status();
    if (!writeAll(r.fd(), bytes.constData(), bytes.size()))
        return failed(Failure::IoError, errno);
    r.commit();
    return r.status();
}

} // namespace SafeFile
