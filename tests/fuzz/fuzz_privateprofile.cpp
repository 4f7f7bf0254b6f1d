// The INI reader and writer on arbitrary file contents: reading never fails
// whatever the file holds, a written key reads back as written, and every
// other value of the file reads as it did before.
#include "fuzz/fuzz_check.h"
#include "platform/PrivateProfile.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>

namespace
{
QString g_file;

using Values = QList<QPair<QString, QList<QPair<QString, QString>>>>;

// Names of the "[...]" lines, as a hand-edited file may spell them.
QStringList sectionNames(const QByteArray &contents)
{
    QStringList names;
    static const QRegularExpression header(QStringLiteral("^\\s*\\[([^\\]\\r\\n]*)\\]"),
                                           QRegularExpression::MultilineOption);
    auto it = header.globalMatch(QString::fromLatin1(contents));
    while (it.hasNext())
        names << it.next().captured(1).trimmed();
    names << QStringLiteral("Ports") << QStringLiteral("Setup");
    return names;
}

Values readAll(const QStringList &sections)
{
    Values out;
    for (const QString &s : sections)
        out.append({s, PrivateProfile::readSection(g_file, s)});
    return out;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Every write replaces the file and syncs it to disk: in memory when the
    // machine has a memory file system, or the fuzzer crawls.
    if (QFileInfo(QStringLiteral("/dev/shm")).isWritable())
        qputenv("TMPDIR", "/dev/shm");
    static QTemporaryDir dir;
    g_file = dir.filePath(QStringLiteral("Config.ini"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // The last byte chooses what is written; the rest is the file.
    const std::uint8_t choice = size > 0 ? data[size - 1] : 0;
    const QByteArray contents(reinterpret_cast<const char *>(data), qsizetype(size > 0 ? size - 1 : 0));
    {
        QFile f(g_file);
        FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate), g_file);
        f.write(contents);
    }
    const QStringList sections = sectionNames(contents);
    const Values before = readAll(sections);
    for (const auto &[section, keys] : before) {
        for (const auto &[key, value] : keys) {
            FUZZ_CHECK(PrivateProfile::readString(g_file, section, key, QStringLiteral("?")) == value, key);
            PrivateProfile::readInt(g_file, section, key, -1);
        }
    }

    // Rewrite a key that is there, or add one to a section that may be.
    QString section = sections[choice % sections.size()];
    QString key = QStringLiteral("Fuzz");
    const auto &keys = before[choice % sections.size()].second;
    if ((choice & 0x80) && !keys.isEmpty())
        key = keys[(choice >> 4) % keys.size()].first;
    const QString value =
        (choice & 0x40) ? QStringLiteral("Wert \u00e4 %1").arg(size) : QString::number(size);
    if (key.contains(QLatin1Char('=')) || section.isEmpty())
        return 0; // not a name the program writes
    FUZZ_CHECK(PrivateProfile::writeString(g_file, section, key, value), "write failed");
    FUZZ_CHECK(PrivateProfile::readString(g_file, section, key, QStringLiteral("?")) == value,
               QStringLiteral("[%1] %2 reads '%3'")
                   .arg(section, key, PrivateProfile::readString(g_file, section, key, {})));

    for (int i = 0; i < before.size(); ++i) {
        const bool sameSection = before[i].first.compare(section, Qt::CaseInsensitive) == 0;
        for (const auto &[k, v] : before[i].second) {
            if (sameSection && k.compare(key, Qt::CaseInsensitive) == 0)
                continue;
            const QString now =
                PrivateProfile::readString(g_file, before[i].first, k, QStringLiteral("<gone>"));
            FUZZ_CHECK(now == v,
                       QStringLiteral("[%1] %2 was '%3', now '%4'").arg(before[i].first, k, v, now));
        }
    }
    return 0;
}
