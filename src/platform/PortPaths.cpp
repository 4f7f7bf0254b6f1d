#include "platform/PortPaths.h"

#include "platform/ProgramConfig.h"

#include <QDir>

namespace PortPaths
{

namespace
{
int overrideNumber = 0;
QString &overridePath()
{
    static QString path;
    return path;
}
} // namespace

void setDeviceOverride(int number, const QString &path)
{
    overrideNumber = path.isEmpty() ? 0 : number;
    overridePath() = path;
}

QString defaultDevicePath(int number)
{
    // TESSARO_DEVICE_ROOT moves the built-in device nodes under another
    // folder: the test suite points it at one that does not exist, so no
    // test can ever reach a real terminal (on some machines /dev/ttyS0 is
    // the system console).
    const QString root = qEnvironmentVariable("TESSARO_DEVICE_ROOT");
    if (number >= 1 && number <= 8)
        return root + QStringLiteral("/dev/ttyS%1").arg(number - 1);
    if (number >= 9 && number <= 12)
        return root + QStringLiteral("/dev/ttyUSB%1").arg(number - 9);
    if (number >= 13 && number <= 16)
        return root + QStringLiteral("/dev/ttyACM%1").arg(number - 13);
    return {};
}

QString devicePath(int number)
{
    if (number <= 0)
        return {};
    if (overrideNumber != 0 && number == overrideNumber)
        return overridePath();
    const QString configured =
        ProgramConfig::read(ProgramConfig::path(QDir::currentPath())).portPath(number);
    if (!configured.isEmpty())
        return configured;
    return defaultDevicePath(number);
}

} // namespace PortPaths
