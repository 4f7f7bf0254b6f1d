#include "platform/SingleInstance.h"

#include "platform/SafeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// The file name of a process's program, or an empty text when it cannot be
// told (no such process, another user's).
QString programOf(qint64 pid)
{
    const QString exe =
        QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid)).remove(QStringLiteral(" (deleted)"));
    return exe.isEmpty() ? QString() : QFileInfo(exe).fileName();
}

} // namespace

SingleInstance::SingleInstance(const QString &name) : m_path(lockPathFor(name))
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::lockPathFor(const QString &name)
{
    const QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!dir.isEmpty() && QDir(dir).exists())
        return QDir(dir).filePath(name + QStringLiteral(".lock"));
    // The shared temporary folder: the user's number keeps one user's program
    // from stopping another user's.
    return QDir(QDir::tempPath()).filePath(QStringLiteral("%1-%2.lock").arg(name).arg(::getuid()));
}

// The lock's first line is the holder's process number, the second its
// program name. Only a process that runs this program holds it: a number
// reused by another program, or a file whose lines say nothing, does not.
bool SingleInstance::heldByRunningCopy(const QByteArray &contents) const
{
    const QList<QByteArray> lines = contents.split('\n');
    if (lines.size() < 2)
        return false;
    bool ok = false;
    const qint64 pid = lines[0].trimmed().toLongLong(&ok);
    const QString program = QString::fromUtf8(lines[1].trimmed());
    if (!ok || pid <= 0 || program.isEmpty() || program != QCoreApplication::applicationName())
        return false;
    if (::kill(pid_t(pid), 0) != 0 && errno != EPERM)
        return false;
    return programOf(pid) == program;
}

bool SingleInstance::acquire()
{
    if (m_lock && m_lock->isLocked())
        return true;
    m_problem.clear();
    // QLockFile would wait on a named pipe under the lock's name, and take a
    // folder or a file it cannot read for a lock held for ever: what stands
    // there is looked at first, without opening anything but a regular file.
    const QByteArray name = QFile::encodeName(m_path);
    struct stat st {
    };
    if (::lstat(name.constData(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            m_problem =
                (S_ISLNK(st.st_mode) ? QStringLiteral("a symbolic link") : SafeFile::kindName(st.st_mode)) +
                QStringLiteral(", not a regular file");
            return true;
        }
        const SafeFile::Contents lock = SafeFile::read(m_path, SafeFile::LockLimit);
        if (lock.ok() && heldByRunningCopy(lock.bytes))
            return false;
        if (lock.failure == SafeFile::Failure::NoAccess || lock.failure == SafeFile::Failure::IoError) {
            m_problem = lock.reason();
            return true;
        }
        // Stale: its holder has gone, or it never named one.
        if (::unlink(name.constData()) != 0 && errno != ENOENT) {
            m_problem = QString::fromLocal8Bit(std::strerror(errno));
            return true;
        }
    }
    m_lock = std::make_unique<QLockFile>(m_path);
    // Age alone never makes the lock stale: only a holder that no longer runs.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return true;
    switch (m_lock->error()) {
    case QLockFile::LockFailedError:
        // Another copy took it a moment ago.
        return false;
    case QLockFile::PermissionError:
        m_problem = QStringLiteral("permission denied");
        return true;
    default:
        m_problem = QStringLiteral("the lock file cannot be made");
        return true;
    }
}

bool SingleInstance::held() const
{
    return m_lock && m_lock->isLocked();
}
