#include "settings/SettingsFile.h"

#include "settings/ParameterTable.h"
#include "settings/SettingsRecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SettingsFile
{

namespace
{

constexpr int KeyLength = 6;
constexpr int ValueOffset = 17;
constexpr int ValueRoom = 32;

std::function<int(int)> &writeFaultHook()
{
    static std::function<int(int)> hook;
    return hook;
}

QString readBeyondEnd()
{
    return QStringLiteral("Read beyond end of file");
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

QString valueAt(const QByteArray &contents, int index)
{
    const char *record = contents.constData() + index * RecordSize;
    const int length = qMin(int(quint8(record[ValueOffset])), ValueRoom);
    return QString::fromLatin1(record + ValueOffset + 1, length).trimmed();
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

// A fresh file next to the target, created with the usual permissions.
int createTemporary(const QString &target, QByteArray *name)
{
    const QFileInfo info(target);
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString candidate =
            info.absolutePath() + QStringLiteral("/.") + info.fileName() +
            QStringLiteral(".%1.tmp").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        *name = QFile::encodeName(candidate);
        const int fd = ::open(name->constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

void syncFolder(const QString &target)
{
    const int fd =
        ::open(QFile::encodeName(QFileInfo(target).absolutePath()).constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
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

std::optional<QString> apply(const QByteArray &contents, SettingsRecord &record)
{
    const int records = int(qMin<qint64>(contents.size() / RecordSize, RecordCount));
    if (records < MinimumRecords)
        return readBeyondEnd();

    const auto table = ParameterTable::all();
    for (int i = 0; i < MinimumRecords; ++i)
        record.setStoredText(QLatin1String(table[i].key), valueAt(contents, i));

    const QString tone = QStringLiteral("TONE");
    if (records > MinimumRecords) {
        record.setToneOptionsEnabled(true);
        record.setStoredText(tone, valueAt(contents, MinimumRecords));
    } else {
        // A file from before the tone options: the communicator plays them all.
        record.setToneOptionsEnabled(false);
        record.setStoredText(tone, QStringLiteral("3"));
    }
    if (records > MinimumRecords + 1)
        record.setStoredText(QStringLiteral("PoBt"), valueAt(contents, MinimumRecords + 1));
    return std::nullopt;
}

std::optional<QString> write(const QString &path, const SettingsRecord &record)
{
    if (path.isEmpty())
        return QStringLiteral("Invalid filename");
    // Write through a link to the file it names, keeping the link.
    const QFileInfo info(path);
    const QString target = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    const QByteArray targetName = QFile::encodeName(target);

    struct stat old {
    };
    const bool exists = ::stat(targetName.constData(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode))
        return errorText(EISDIR);
    // A write-protected file stays protected, as it always was.
    if (exists && ::access(targetName.constData(), W_OK) != 0)
        return errorText(errno);

    auto fault = [](int step) { return writeFaultHook() ? writeFaultHook()(step) : 0; };
    QByteArray temporary;
    if (const int e = fault(StepCreate))
        return nameError(e);
    const int fd = createTemporary(target, &temporary);
    if (fd < 0)
        return nameError(errno);

    const QByteArray contents = encode(record);
    int failure = 0;
    if (exists)
        ::fchmod(fd, old.st_mode & 07777);
    for (int i = 0; i < RecordCount && !failure; ++i) {
        failure = fault(i);
        if (!failure && !writeAll(fd, contents.constData() + i * RecordSize, RecordSize))
            failure = errno;
    }
    if (!failure && ::fsync(fd) != 0)
        failure = errno;
    if (::close(fd) != 0 && !failure)
        failure = errno;
    if (!failure)
        failure = fault(StepReplace);
    if (!failure && ::rename(temporary.constData(), targetName.constData()) != 0)
        failure = errno;
    if (failure) {
        ::unlink(temporary.constData());
        return errorText(failure);
    }
    syncFolder(target);
    return std::nullopt;
}

std::optional<QString> load(const QString &path, SettingsRecord &record)
{
    if (path.isEmpty())
        return QStringLiteral("Invalid filename");
    // Non-blocking, so a named pipe or a device swapped in for the file cannot
    // hold the program in open(); only a regular file is read.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT && !QFileInfo(path).absoluteDir().exists() ? nameError(ENOENT)
                                                                          : errorText(errno);

    QByteArray contents(FileSize, '\0');
    qint64 have = 0;
    int failure = 0;
    struct stat st {
    };
    if (::fstat(fd, &st) != 0)
        failure = errno;
    else if (S_ISDIR(st.st_mode))
        failure = EISDIR;
    else if (!S_ISREG(st.st_mode))
        failure = EACCES;
    while (!failure && have < FileSize) {
        const ssize_t n = ::read(fd, contents.data() + have, size_t(FileSize - have));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            failure = errno;
        if (n <= 0)
            break;
        have += n;
    }
    ::close(fd);
    if (failure)
        return errorText(failure);
    contents.truncate(int(have));
    return apply(contents, record);
}

} // namespace SettingsFile
