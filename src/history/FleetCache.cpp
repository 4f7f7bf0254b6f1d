#include "history/FleetCache.h"

#include "history/HistoryListing.h"
#include "history/HistoryListingIndex.h"
#include "platform/SafeFile.h"

#include <QDir>

namespace FleetCache
{

namespace
{
const QByteArray Magic = "tessaro-fleet 1\n";
// Far more than the rows of a hundred thousand communicators.
constexpr qint64 Limit = 256ll * 1024 * 1024;
constexpr int Fields = 9;

QByteArray field(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    for (char &c : bytes)
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    return bytes;
}
} // namespace

QString path(const QString &historyFolder)
{
    return QDir(historyFolder).filePath(QStringLiteral(".git/tessaro-fleet"));
}

QHash<QString, const Fleet::Row *> Contents::bySerial() const
{
    QHash<QString, const Fleet::Row *> out;
    out.reserve(qsizetype(rows.size()));
    for (const Fleet::Row &row : rows)
        out.insert(row.serial, &row);
    return out;
}

std::optional<Contents> read(const QString &historyFolder)
{
    const SafeFile::Contents file = SafeFile::read(path(historyFolder), Limit);
    if (!file.ok() || !file.bytes.startsWith(Magic))
        return std::nullopt;
    const QByteArray &bytes = file.bytes;
    qsizetype at = Magic.size();
    const qsizetype headEnd = bytes.indexOf('\n', at);
    Contents out;
    if (headEnd - at != GIT_OID_HEXSZ ||
        git_oid_fromstrn(&out.head, bytes.constData() + at, GIT_OID_HEXSZ) != 0)
        return std::nullopt;
    at = headEnd + 1;
    while (at < bytes.size()) {
        // serial site stamp event technician firmware latest count, then the
        // length of the values, which follow on a line of their own.
        const qsizetype end = bytes.indexOf('\n', at);
        if (end < 0)
            return std::nullopt;
        const QByteArrayView line(bytes.constData() + at, end - at);
        QByteArrayView parts[Fields];
        qsizetype from = 0;
        for (int n = 0; n < Fields; ++n) {
            const qsizetype tab = n + 1 < Fields ? line.indexOf('\t', from) : line.size();
            if (tab < 0)
                return std::nullopt;
            parts[n] = line.sliced(from, tab - from);
            from = tab + 1;
        }
        bool ok = false;
        const qsizetype length = parts[8].toLongLong(&ok);
        if (!ok || length < 0 || end + 1 + length + 1 > bytes.size() || bytes[end + 1 + length] != '\n')
            return std::nullopt;
        Fleet::Row row;
        row.serial = QString::fromUtf8(parts[0]);
        row.site = QString::fromUtf8(parts[1]);
        row.stamp = QString::fromUtf8(parts[2]);
        row.event =
            HistoryStore::Event(std::clamp(int(parts[3].toInt()), 0, int(HistoryStore::Event::ReadBack)));
        row.technician = QString::fromUtf8(parts[4]);
        row.firmware = QString::fromUtf8(parts[5]);
        row.latest = parts[6].isEmpty() ? QString() : historyFolder + u'/' + QString::fromUtf8(parts[6]);
        row.count = parts[7].toLongLong();
        row.values = bytes.mid(end + 1, length);
        out.rows.push_back(std::move(row));
        at = end + 1 + length + 1;
    }
    return out;
}

bool write(const QString &historyFolder, const git_oid &head, const std::vector<Fleet::Row> &rows)
{
    QByteArray out;
    out.reserve(qsizetype(rows.size()) * 320 + 64);
    char hex[GIT_OID_HEXSZ + 1];
    git_oid_tostr(hex, sizeof hex, &head);
    out += Magic;
    out += hex;
    out += '\n';
    const qsizetype prefix = historyFolder.size() + 1;
    for (const Fleet::Row &row : rows) {
        out += field(row.serial) + '\t' + field(row.site) + '\t' + field(row.stamp) + '\t' +
               QByteArray::number(int(row.event)) + '\t' + field(row.technician) + '\t' +
               field(row.firmware) + '\t' + field(row.latest.mid(prefix)) + '\t' +
               QByteArray::number(row.count) + '\t' + QByteArray::number(row.values.size()) + '\n';
        out += row.values;
        out += '\n';
    }
    return HistoryListingIndex::writeCache(path(historyFolder), out).ok();
}

} // namespace FleetCache
