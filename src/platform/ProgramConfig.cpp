#include "platform/ProgramConfig.h"

#include "platform/PrivateProfile.h"

#include <QDir>

namespace ProgramConfig
{

QString closePortInfo()
{
    return QStringLiteral("1 - If you have any problem with the serial port, write to \"Setup\" record : "
                          "ClosePort=1 , port will be close and open for every action");
}

QString timeOutRSInfo()
{
    return QStringLiteral("10 - If you have any problem with the serial port, write to \"Setup\" record : "
                          "TimeOutRS=n , n is timeout of serial port in milisecond, default is n = 10");
}

QString path(const QString &folder)
{
    return folder + QStringLiteral("/Config.ini");
}

Values read(const QString &file)
{
    const PrivateProfile::Profile ini = PrivateProfile::Profile::read(file, SizeLimit);
    const Values defaults;
    Values v;
    const QString setup = QStringLiteral("Setup");
    v.com = ini.integer(setup, QStringLiteral("COM"), defaults.com);
    v.usb = ini.integer(setup, QStringLiteral("USB"), defaults.usb);
    v.lang = ini.string(setup, QStringLiteral("Lang"), defaults.lang);
    v.closePort = ini.string(setup, QStringLiteral("ClosePort"), defaults.closePort);
    v.timeOutRS = ini.integer(setup, QStringLiteral("TimeOutRS"), defaults.timeOutRS);
    v.writeOnTick = ini.integer(setup, QStringLiteral("WriteOnTick"), defaults.writeOnTick);
    v.trace = ini.string(setup, QStringLiteral("Trace"), {});
    v.history = ini.integer(setup, QStringLiteral("History"), defaults.history);
    v.verifyWrite = ini.integer(setup, QStringLiteral("VerifyWrite"), defaults.verifyWrite);
    v.ports = ini.section(QStringLiteral("Ports"));
    v.status = ini.status();
    const QString history = QStringLiteral("History");
    v.technician = ini.string(history, QStringLiteral("Technician"), {}).trimmed();
    v.mail = ini.string(history, QStringLiteral("Mail"), {}).trimmed();
    v.remote = ini.string(history, QStringLiteral("Remote"), {}).trimmed();
    v.confirmChanges = ini.integer(setup, QStringLiteral("ConfirmChanges"), defaults.confirmChanges);
    return v;
}

QString Values::portPath(int number) const
{
    const QString key = QStringLiteral("COM%1").arg(number);
    for (const auto &[name, path] : ports)
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            return path;
    return {};
}

QString Values::problem(const QString &file) const
{
    if (status.ok() || status.failure == SafeFile::Failure::Missing)
        return {};
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(file), status.reason());
}

bool write(const QString &file, bool usb, int com, const QString &langName)
{
    const SafeFile::Status there = SafeFile::read(file, SizeLimit);
    if (!there.ok() && there.failure != SafeFile::Failure::Missing)
        return false;
    const QString info = QStringLiteral("Info");
    const QString setup = QStringLiteral("Setup");
    const QString dash = QStringLiteral("-");
    return PrivateProfile::writeString(file, info, QStringLiteral("ClosePort"), closePortInfo()) &&
           PrivateProfile::writeString(file, info, QStringLiteral("TimeOutRS"), timeOutRSInfo()) &&
           PrivateProfile::writeString(file, dash, dash, dash) &&
           PrivateProfile::writeString(file, setup, QStringLiteral("USB"),
                                       usb ? QStringLiteral("1") : QStringLiteral("0")) &&
           PrivateProfile::writeString(file, setup, QStringLiteral("COM"), QString::number(com)) &&
           PrivateProfile::writeString(file, setup, QStringLiteral("Lang"), langName);
}

QString writeFailureText(const QString &file)
{
    return QStringLiteral("Unable to write to %1").arg(QDir::toNativeSeparators(file));
}

} // namespace ProgramConfig
