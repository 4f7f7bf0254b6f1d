#include "platform/SingleInstance.h"

#include <QDir>
#include <QLockFile>

#include <unistd.h>

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

bool SingleInstance::acquire()
{
    if (m_lock && m_lock->isLocked())
        return true;
    m_lock = std::make_unique<QLockFile>(m_path);
    // Age alone never makes the lock stale: only a holder that no longer runs.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return true;
    return m_lock->error() != QLockFile::LockFailedError;
}

bool SingleInstance::held() const
{
    return m_lock && m_lock->isLocked();
}
