#include "settings/SettingsFile.h"

#include "platform/SafeFile.h"
#include "settings/MemoryRecord.h"
#include "settings/ParameterTable.h"
#include "settings/SettingsRecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <unistd.h>

namespace SettingsFile
{

namespace
{

constexpr int KeyLength = 6;
constexpr int ValueOffset = 17;

std::function<int(int)> &writeFaultHook()
{
    static std::function<int(int)> hook;
    return hook;
}

Failure readBeyondEnd()
{
    return Failure{Failure::Kind::Format, {}, QStringLiteral("Read beyond end of file")};
}

// What the user reads when a name cannot be used at all.
QString nameError(int e)
{
    switch (e) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL:
    case ELOOP:
        return QStringLiteral("Invalid filename");
    default:
        return errorText(e);
    }
}

Failure fileFailure(const QString &path, int e)
{
    return Failure{Failure::Kind::File, path, errorText(e), e};
}

Failure nameFailure(const QString &path, int e)
{
    return Failure{Failure::Kind::File, path, nameError(e), e};
}

// The value field's text as it stands.
QString storedAt(const QByteArray &contents, int index)
{
    const char *record = contents.constData() + index * RecordSize;
    const int length = qMin(int(quint8(record[ValueOffset])), ValueRoom);
    return QString::fromLatin1(record + ValueOffset + 1, length);
}

// The value the program takes from it.
QString valueAt(const QByteArray &contents, int index)
{
    return storedAt(contents, index).trimmed();
}

// The contents of a settings file: only a regular file is read, and no more
// of it than a settings file can hold, so a named pipe or a device swapped in
// for the file cannot hold the program in open() or feed it without end.
Result<QByteArray> readContents(const QString &path)
{
    if (path.isEmpty())
        return fileFailure(path, EINVAL);
    const SafeFile::Contents file = SafeFile::read(path, SafeFile::SettingsLimit);
    if (file.failure == SafeFile::Failure::Missing && !QFileInfo(path).absoluteDir().exists())
        return nameFailure(path, ENOENT);
    if (!file.ok())
        return fileFailure(path, file.errorNumber());
    return file.bytes;
}

bool writeAll(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

} // namespace

QString errorText(int e)
{
    switch (e) {
    case ENOENT:
        return QStringLiteral("File not found");
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL:
    case ELOOP:
        return QStringLiteral("Invalid filename");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("Too many open files");
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
        return QStringLiteral("File access denied");
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return QStringLiteral("Disk full");
    default:
        return QStringLiteral("I/O error %1").arg(e);
    }
}

void setWriteFaultHook(std::function<int(int)> hook)
{
    writeFaultHook() = std::move(hook);
}

QByteArray encode(const SettingsRecord &record)
{
    QByteArray contents;
    contents.reserve(FileSize);
    for (const Parameter &p : ParameterTable::all()) {
        QByteArray r(RecordSize, '\0');
        r[0] = char(KeyLength);
        const QByteArray key = QByteArray(p.key) + ": ";
        r.replace(1, KeyLength, key);
        // The value field is blank up to offset 48 whatever the value's length.
        r[ValueOffset] = char(ValueRoom - 1);
        for (int i = ValueOffset + 1; i < RecordSize - 1; ++i)
            r[i] = ' ';
        const QByteArray value = record.storedText(QLatin1String(p.key)).left(ValueRoom).toLatin1();
        r[ValueOffset] = char(value.size());
        r.replace(ValueOffset + 1, value.size(), value);
        contents += r.left(RecordSize);
    }
    return contents;
}

Result<void> apply(const QByteArray &contents, SettingsRecord &record)
{
    const int records = int(qMin<qint64>(contents.size() / RecordSize, RecordCount));
    if (records < MinimumRecords)
        return readBeyondEnd();

    const auto table = ParameterTable::all();
    for (int i = 0; i < MinimumRecords; ++i)
        record.setStoredText(QLatin1String(table[i].key), valueAt(contents, i));

    // The records after Nou2 hold the firmware-dependent options.
    const Parameter &tone = table[MinimumRecords];
    if (records > MinimumRecords) {
        record.setToneOptionsEnabled(true);
        record.setStoredText(QLatin1String(tone.key), valueAt(contents, MinimumRecords));
    } else {
        // A file from before the tone options: the communicator plays them all.
        record.setToneOptionsEnabled(false);
        record.setStoredText(QLatin1String(tone.key), QLatin1String(tone.fixedText));
    }
    if (records > MinimumRecords + 1)
        record.setStoredText(QLatin1String(table[MinimumRecords + 1].key),
                             valueAt(contents, MinimumRecords + 1));
    return {};
}

Result<void> write(const QString &path, const SettingsRecord &record)
{
    if (path.isEmpty())
        return fileFailure(path, EINVAL);
    auto fault = [](int step) { return writeFaultHook() ? writeFaultHook()(step) : 0; };
    // Anything but a regular file under the name (a device, a named pipe, a
    // socket, a folder) is refused rather than replaced; a link is followed
    // to the file it names, which is replaced while the link stays.
    const SafeFile::Target target = SafeFile::writeTarget(path);
    if (!target.ok())
        return target.failure == SafeFile::Failure::Missing ? nameFailure(path, target.errorNumber())
                                                            : fileFailure(path, target.errorNumber());
    if (const int e = fault(StepCreate))
        return nameFailure(path, e);
    SafeFile::Replacement file(target.path);
    if (!file.status().ok())
        return nameFailure(path, file.status().errorNumber());

    const QByteArray contents = encode(record);
    int failure = 0;
    for (int i = 0; i < RecordCount && !failure; ++i) {
        failure = fault(i);
        if (!failure && !writeAll(file.fd(), contents.constData() + i * RecordSize, RecordSize))
            failure = errno;
    }
    if (!failure)
        failure = fault(StepReplace);
    if (!failure && !file.commit())
        failure = file.status().errorNumber();
    // The new file is removed with `file` unless it replaced the target.
    if (failure)
        return fileFailure(path, failure);
    return {};
}

Result<void> writeAll(const QList<std::pair<QString, const SettingsRecord *>> &files)
{
    QList<std::pair<QString, QByteArray>> contents;
    contents.reserve(files.size());
    for (const auto &[path, record] : files) {
        if (path.isEmpty())
            return fileFailure(path, EINVAL);
        contents.append({path, encode(*record)});
    }
    qsizetype failedAt = -1;
    const SafeFile::Status status = SafeFile::replaceAll(contents, &failedAt);
    if (status.ok())
        return {};
    const QString &path = files[failedAt].first;
    return status.failure == SafeFile::Failure::Missing ? nameFailure(path, status.errorNumber())
                                                        : fileFailure(path, status.errorNumber());
}

Result<void> load(const QString &path, SettingsRecord &record)
{
    const Result<QByteArray> contents = readContents(path);
    if (!contents)
        return contents.failure();
    if (Result<void> applied = apply(*contents, record); !applied)
        return Failure{Failure::Kind::Format, path, applied.failure().reason};
    return {};
}

Result<QStringList> storedTexts(const QString &path)
{
    const Result<QByteArray> read = readContents(path);
    if (!read)
        return read.failure();
    const QByteArray &contents = *read;
    MemoryRecord loaded;
    if (Result<void> applied = apply(contents, loaded); !applied)
        return Failure{Failure::Kind::Format, path, applied.failure().reason};
    const int records = int(qMin<qint64>(contents.size() / RecordSize, RecordCount));
    QStringList texts;
    const auto table = ParameterTable::all();
    for (int i = 0; i < RecordCount; ++i)
        texts << (i < records ? storedAt(contents, i) : loaded.storedText(QLatin1String(table[i].key)));
    return texts;
}

} // namespace SettingsFile
