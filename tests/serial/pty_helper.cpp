#include "serial/pty_helper.h"

#include "platform/PrivateProfile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTest>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    const int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return;
    if (::grantpt(fd) != 0 || ::unlockpt(fd) != 0) {
        ::close(fd);
        return;
    }
    char name[128];
    if (::ptsname_r(fd, name, sizeof name) != 0) {
        ::close(fd);
        return;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    m_master = fd;
    m_slavePath = QString::fromLocal8Bit(name);
}

PtyPair::~PtyPair()
{
    closeMaster();
}

void PtyPair::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

bool PtyPair::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    QDeadlineTimer deadline(5000);
    while (done < bytes.size() && !deadline.hasExpired()) {
        const ssize_t n =
            ::write(m_master, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else {
            pollfd p{m_master, POLLOUT, 0};
            ::poll(&p, 1, 10);
        }
    }
    return done == bytes.size();
}

QByteArray PtyPair::read(int count, int timeoutMs)
{
    QByteArray got;
    QDeadlineTimer deadline(timeoutMs);
    char buffer[4096];
    while (got.size() < count && !deadline.hasExpired()) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            got.append(buffer, n);
            continue;
        }
        QTest::qWait(2);
    }
    return got;
}

PortsFolder::PortsFolder() : m_previous(QDir::currentPath())
{
    if (m_dir.isValid())
        QDir::setCurrent(m_dir.path());
}

PortsFolder::~PortsFolder()
{
    QDir::setCurrent(m_previous);
}

bool PortsFolder::setPort(int number, const QString &devicePath)
{
    return PrivateProfile::writeString(m_dir.path() + QStringLiteral("/Config.ini"), QStringLiteral("Ports"),
                                       QStringLiteral("COM%1").arg(number), devicePath);
}

bool PortsFolder::setPorts(const QMap<int, QString> &devicePaths)
{
    QByteArray text = "[Ports]\r\n";
    for (auto it = devicePaths.begin(); it != devicePaths.end(); ++it)
        text += QStringLiteral("COM%1=%2\r\n").arg(it.key()).arg(it.value()).toUtf8();
    QFile file(m_dir.path() + QStringLiteral("/Config.ini"));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

int openDescriptorCount()
{
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd")).count()) - 2;
}

QByteArray allByteValues()
{
    QByteArray bytes(256, '\0');
    for (int i = 0; i < 256; ++i)
        bytes[i] = static_cast<char>(i);
    return bytes;
}
