#include "platform/SerialPortInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace SerialPortInfo
{

namespace
{

QString &root()
{
    static QString r = QStringLiteral("/sys");
    return r;
}

// The first line of a small sysfs attribute, trimmed; empty when unreadable.
QString attribute(const QString &folder, const QString &name)
{
    QFile file(folder + QLatin1Char('/') + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readLine(256)).trimmed();
}

} // namespace

void setSysfsRoot(const QString &r)
{
    root() = r;
}

QString sysfsRoot()
{
    return root();
}

QString deviceFolder(const QString &devicePath)
{
    struct stat st {
    };
    if (devicePath.isEmpty() || ::stat(QFile::encodeName(devicePath).constData(), &st) != 0 ||
        !S_ISCHR(st.st_mode))
        return {};
    const QString link =
        root() + QStringLiteral("/dev/char/%1:%2").arg(major(st.st_rdev)).arg(minor(st.st_rdev));
    return QFileInfo(link).canonicalFilePath();
}

bool hasNoUart(const QString &devicePath)
{
    const QString folder = deviceFolder(devicePath);
    // Only serial-core ports have a type; 0 is the driver's "unknown".
    return !folder.isEmpty() && attribute(folder, QStringLiteral("type")) == QLatin1String("0");
}

QString usbAdapter(const QString &devicePath)
{
    const QString folder = deviceFolder(devicePath);
    if (folder.isEmpty())
        return {};
    const QString top = QFileInfo(root()).canonicalFilePath();
    // The tty hangs below the adapter's interface (and, for a converter, its
    // port); the USB device that names the adapter is a few levels up.
    QString at = QFileInfo(folder + QStringLiteral("/device")).canonicalFilePath();
    for (int level = 0; level < 6 && !at.isEmpty() && at != top && at.startsWith(top); ++level) {
        if (QFileInfo::exists(at + QStringLiteral("/idVendor"))) {
            const QString maker = attribute(at, QStringLiteral("manufacturer"));
            const QString product = attribute(at, QStringLiteral("product"));
            return (maker + QLatin1Char(' ') + product).trimmed();
        }
        at = QFileInfo(at).path();
    }
    return {};
}

} // namespace SerialPortInfo
