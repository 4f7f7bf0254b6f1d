#include "platform/PortPaths.h"

#include "platform/PrivateProfile.h"

#include <QDir>

namespace PortPaths
{

QString defaultDevicePath(int number)
{
    if (number >= 1 && number <= 8)
        return QStringLiteral("/dev/ttyS%1").arg(number - 1);
    if (number >= 9 && number <= 12)
        return QStringLiteral("/dev/ttyUSB%1").arg(number - 9);
    if (number >= 13 && number <= 16)
        return QStringLiteral("/dev/ttyACM%1").arg(number - 13);
    return {};
}

QString devicePath(int number)
{
    if (number <= 0)
        return {};
    const QString config = QDir::currentPath() + QStringLiteral("/Config.ini");
    const QString configured =
        PrivateProfile::readString(config, QStringLiteral("Ports"), QStringLiteral("COM%1").arg(number), {});
    if (!configured.isEmpty())
        return configured;
    return defaultDevicePath(number);
}

} // namespace PortPaths
