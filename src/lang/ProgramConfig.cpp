#include "lang/ProgramConfig.h"

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
    const Values defaults;
    Values v;
    const QString setup = QStringLiteral("Setup");
    v.com = PrivateProfile::readInt(file, setup, QStringLiteral("COM"), defaults.com);
    v.usb = PrivateProfile::readInt(file, setup, QStringLiteral("USB"), defaults.usb);
    v.lang = PrivateProfile::readString(file, setup, QStringLiteral("Lang"), defaults.lang);
    v.closePort = PrivateProfile::readString(file, setup, QStringLiteral("ClosePort"), defaults.closePort);
    v.timeOutRS = PrivateProfile::readInt(file, setup, QStringLiteral("TimeOutRS"), defaults.timeOutRS);
    v.writeOnTick = PrivateProfile::readInt(file, setup, QStringLiteral("WriteOnTick"), defaults.writeOnTick);
    v.trace = PrivateProfile::readString(file, setup, QStringLiteral("Trace"), {});
    v.history = PrivateProfile::readInt(file, setup, QStringLiteral("History"), defaults.history);
    v.verifyWrite = PrivateProfile::readInt(file, setup, QStringLiteral("VerifyWrite"), defaults.verifyWrite);
    const QString history = QStringLiteral("History");
    v.technician = PrivateProfile::readString(file, history, QStringLiteral("Technician"), {}).trimmed();
    v.mail = PrivateProfile::readString(file, history, QStringLiteral("Mail"), {}).trimmed();
    v.remote = PrivateProfile::readString(file, history, QStringLiteral("Remote"), {}).trimmed();
    return v;
}

bool write(const QString &file, bool usb, int com, const QString &langName)
{
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
