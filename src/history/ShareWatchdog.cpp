#include "history/ShareWatchdog.h"

#include <QDir>
#include <QFile>

#include <sys/socket.h>
#include <sys/stat.h>

// The process's open sockets by inode, read from /proc/self/fd.
QSet<quint64> ShareWatchdog::sockets(QList<int> *fds)
{
    QSet<quint64> out;
    const QDir dir(QStringLiteral("/proc/self/fd"));
    for (const QString &name : dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)) {
        bool ok = false;
        const int fd = name.toInt(&ok);
        struct stat st {
        };
        if (!ok || ::fstat(fd, &st) != 0 || !S_ISSOCK(st.st_mode))
            continue;
        out.insert(quint64(st.st_ino));
        if (fds)
            fds->append(fd);
    }
    return out;
}

ShareWatchdog::ShareWatchdog() : m_before(sockets(nullptr))
{
}

void ShareWatchdog::fire() const
{
    QList<int> fds;
    sockets(&fds);
    for (const int fd : fds) {
        struct stat st {
        };
        if (::fstat(fd, &st) == 0 && !m_before.contains(quint64(st.st_ino)))
            ::shutdown(fd, SHUT_RDWR);
    }
}
