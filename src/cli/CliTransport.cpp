#include "cli/CliTransport.h"

#include "cli/CliArgs.h"
#include "device/UsbLink.h"
#include "platform/PortPaths.h"
#include "platform/ProgramConfig.h"

#include <QDir>
#include <QFileInfo>

QString CliTransport::describe() const
{
    if (usb)
        return QStringLiteral("USB cable %1").arg(UsbLink::SerialNumber);
    if (!devicePath.isEmpty())
        return devicePath;
    const QString path = PortPaths::devicePath(comNumber);
    return path.isEmpty() ? QStringLiteral("COM%1 (no device)").arg(comNumber)
                          : QStringLiteral("COM%1 (%2)").arg(comNumber).arg(path);
}

CliTransport CliTransport::choose(const CliArgs &args, const QString &programFolder)
{
    CliTransport t;
    t.programFolder = programFolder;
    const QString file = ProgramConfig::path(programFolder);
    if (QFileInfo::exists(file)) {
        const ProgramConfig::Values v = ProgramConfig::read(file);
        t.configProblem = v.problem(file);
        t.usb = v.usb == 1;
        t.comNumber = v.com;
        t.timeOutRS = v.timeOutRS;
        t.writeOnTick = v.writeOnTick == 1;
        t.history = v.history != 0;
        t.verifyWrite = v.verifyWrite != 0;
        if (!v.trace.isEmpty())
            t.configTrace = QDir(programFolder).absoluteFilePath(v.trace);
    }
    if (args.usb) {
        t.usb = true;
    } else if (args.port) {
        t.usb = false;
        t.comNumber = *args.port;
    } else if (!args.device.isEmpty()) {
        t.usb = false;
        t.comNumber = 1;
        t.devicePath = args.device;
    }
    return t;
}
