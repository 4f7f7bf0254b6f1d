#include "history/DeviceHistory.h"

#include "platform/PrivateProfile.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>

namespace
{
const QString Unknown = QStringLiteral("unknown");
const QString TimeFormat = QStringLiteral("yyyy-MM-dd HH-mm-ss");
const QString FirmwareFile = QStringLiteral("firmware.ini");
const QString FirmwareSection = QStringLiteral("Firmware");

// "2026-12-08 10-15-02 before write (2).kvr"
const QRegularExpression &namePattern()
{
    static const QRegularExpression pattern(QStringLiteral(
        R"(^(\d{4}-\d\d-\d\d \d\d-\d\d-\d\d) (read|before write|written|read back)(?: \((\d+)\))?\.kvr$)"));
    return pattern;
}
} // namespace

DeviceHistory::DeviceHistory(const QString &programFolder) : m_programFolder(programFolder)
{
}

QString DeviceHistory::folder() const
{
    return QDir(m_programFolder).filePath(QStringLiteral("History"));
}

QString DeviceHistory::folderName(const QString &serialNumber)
{
    QString name;
    for (const QChar c : serialNumber)
        if ((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))
            name += c;
    return name.isEmpty() ? Unknown : name.left(32);
}

Result<QString> DeviceHistory::keep(const SettingsRecord &record, const QString &serialNumber,
                                   const QString &firmware, Event event, const QString &)
{
    const QString serial = folderName(serialNumber);
    const QString dir = QDir(folder()).filePath(serial);
    if (!QDir().mkpath(dir))
        return Failure{Failure::Kind::History, dir, SettingsFile::errorText(EACCES), EACCES};
    // Two of a kind within one second get a number rather than one replacing
    // the other.
    const QString stem = clock().toString(TimeFormat) + QLatin1Char(' ') + eventName(event);
    QString name = stem + QStringLiteral(".kvr");
    for (int n = 2;
         QFileInfo::exists(QDir(dir).filePath(name)) || QFileInfo(QDir(dir).filePath(name)).isSymLink(); ++n)
        name = QStringLiteral("%1 (%2).kvr").arg(stem).arg(n);
    const QString path = QDir(dir).filePath(name);
    if (const auto error = SettingsFile::write(path, record))
        return Failure{Failure::Kind::History, path, *error};
    // The firmware is a convenience of the listing: the file stands without it.
    if (!firmware.isEmpty())
        PrivateProfile::writeString(QDir(dir).filePath(FirmwareFile), FirmwareSection, name, firmware);
    return path;
}

QList<DeviceHistory::Entry> DeviceHistory::entries(const QString &serialNumber) const
{
    QList<Entry> out;
    QDir root(folder());
    QStringList serials = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    if (!serialNumber.isEmpty())
        serials = serials.contains(folderName(serialNumber)) ? QStringList{folderName(serialNumber)}
                                                             : QStringList();
    std::sort(serials.begin(), serials.end(), [](const QString &a, const QString &b) {
        if ((a == Unknown) != (b == Unknown))
            return b == Unknown;
        bool na = false, nb = false;
        const qulonglong x = a.toULongLong(&na), y = b.toULongLong(&nb);
        if (na && nb)
            return x < y;
        return na != nb ? na : a < b;
    });
    for (const QString &serial : serials) {
        QDir dir(root.filePath(serial));
        const QString firmwareFile = dir.filePath(FirmwareFile);
        QList<QPair<Entry, int>> group;
        for (const QString &name : dir.entryList({QStringLiteral("*.kvr")}, QDir::Files | QDir::NoSymLinks)) {
            const QRegularExpressionMatch m = namePattern().match(name);
            if (!m.hasMatch())
                continue;
            Entry e;
            e.serialNumber = serial;
            e.when = QDateTime::fromString(m.captured(1), TimeFormat);
            if (!e.when.isValid())
                continue;
            const QString what = m.captured(2);
            e.event = what == QLatin1String("read")           ? Event::Read
                      : what == QLatin1String("before write") ? Event::BeforeWrite
                      : what == QLatin1String("written")      ? Event::Written
                                                              : Event::ReadBack;
            e.firmware = PrivateProfile::readString(firmwareFile, FirmwareSection, name, QString());
            e.path = dir.absoluteFilePath(name);
            group.append({e, m.captured(3).isEmpty() ? 1 : m.captured(3).toInt()});
        }
        // Newest first; within one second, a write's "written" after its
        // "before write", and a later number first.
        std::sort(group.begin(), group.end(), [](const auto &a, const auto &b) {
            if (a.first.when != b.first.when)
                return a.first.when > b.first.when;
            if (a.first.event != b.first.event)
                return int(a.first.event) > int(b.first.event);
            return a.second > b.second;
        });
        for (const auto &e : group)
            out.append(e.first);
    }
    return out;
}
