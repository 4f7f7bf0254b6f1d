#include "history/HistoryListingIndex.h"

#include "platform/SafeFile.h"

#include <QFile>
#include <QHash>
#include <QtEndian>

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace HistoryListingIndex
{

namespace
{
const QByteArray Magic = "tessaro-history-listing 3\n";
// Far more than the index of a million entries.
constexpr qint64 IndexLimit = 512ll * 1024 * 1024;

// The records:
//   'S' u32 length, bytes                      the next text of the table
//   'I' u32 serial, u16 length, name, blob (20 bytes), u32 firmware,
//       u32 technician, u32 mail, i64 size, i64 mtime   an entry; texts by number
//   'H' head (20 bytes), u32 texts so far, u64 checksum  the end of a stretch
// Numbers are little-endian. The checksum covers the stretch from the end of
// the one before (or of the magic line) to the checksum.
constexpr char TextTag = 'S';
constexpr char ItemTag = 'I';
constexpr char HeadTag = 'H';
constexpr qsizetype OidSize = GIT_OID_RAWSZ;
constexpr qsizetype HeadSize = 1 + OidSize + 4 + 8;
constexpr qsizetype ItemFixed = 1 + 4 + 2 + OidSize + 4 + 4 + 4 + 8 + 8;

// Finds damage, nothing more: eight bytes a step, mixed well enough that a
// changed, lost or moved byte changes it.
quint64 checksum(const char *data, qsizetype size)
{
    quint64 h = 0x9e3779b97f4a7c15ull ^ quint64(size);
    qsizetype i = 0;
    for (; i + 8 <= size; i += 8) {
        quint64 w;
        std::memcpy(&w, data + i, 8);
        h = (h ^ w) * 0xff51afd7ed558ccdull;
        h ^= h >> 32;
    }
    for (; i < size; ++i) {
        h = (h ^ quint8(data[i])) * 0xc4ceb9fe1a85ec53ull;
        h ^= h >> 29;
    }
    return h;
}

template <typename T> void putNumber(QByteArray &out, T value)
{
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

template <typename T> T number(const char *at)
{
    return qFromLittleEndian<T>(at);
}

// Writes records, each repeated text once.
class Writer
{
  public:
    explicit Writer(quint32 texts = 0) : m_next(texts) {}
    QByteArray out;

    void item(const HistoryListingItem &item)
    {
        const quint32 serial = text(item.serial);
        const quint32 firmware = text(item.firmware);
        const quint32 technician = text(item.technician);
        const quint32 mail = text(item.mail);
        const QByteArray name = item.name.toUtf8().left(0xffff);
        out += ItemTag;
        putNumber<quint32>(out, serial);
        putNumber<quint16>(out, quint16(name.size()));
        out += name;
        out.append(reinterpret_cast<const char *>(item.blob.id), OidSize);
        putNumber<quint32>(out, firmware);
        putNumber<quint32>(out, technician);
        putNumber<quint32>(out, mail);
        putNumber<qint64>(out, item.size);
        putNumber<qint64>(out, item.mtime);
    }
    // Ends the stretch that began at from.
    void head(const git_oid &oid, qsizetype from)
    {
        out += HeadTag;
        out.append(reinterpret_cast<const char *>(oid.id), OidSize);
        putNumber<quint32>(out, m_next);
        putNumber<quint64>(out, checksum(out.constData() + from, out.size() - from));
    }

  private:
    quint32 text(const QString &value)
    {
        // Entries come grouped: the text of the entry before is the usual hit.
        if (m_lastId != 0 && value == m_last)
            return m_lastId - 1;
        auto it = m_ids.constFind(value);
        if (it == m_ids.constEnd()) {
            const QByteArray bytes = value.toUtf8();
            out += TextTag;
            putNumber<quint32>(out, quint32(bytes.size()));
            out += bytes;
            it = m_ids.insert(value, m_next++);
        }
        m_last = value;
        m_lastId = *it + 1;
        return *it;
    }

    QHash<QString, quint32> m_ids;
    quint32 m_next;
    QString m_last;
    quint32 m_lastId = 0;
};

} // namespace

Contents read(const QString &path, const QString &only)
{
    Contents read;
    const bool partial = !only.isEmpty();
    const SafeFile::Contents contents = SafeFile::read(path, IndexLimit);
    if (!contents.ok() || !contents.bytes.startsWith(Magic))
        return read;
    const char *const data = contents.bytes.constData();
    const qsizetype size = contents.bytes.size();
    std::vector<QString> texts;
    // With a serial number, the numbers of the texts that spell it (an
    // appended stretch may repeat a text): other entries are stepped over.
    std::vector<bool> chosen;
    size_t trusted = 0; // entries up to the last stretch whose checksum held
    qsizetype stretch = Magic.size();
    qsizetype at = stretch;
    // Whatever follows the last good stretch (an append cut short, damage)
    // is left out: the repository fills it in again.
    while (at < size) {
        const char tag = data[at];
        if (tag == TextTag) {
            if (size - at < 5)
                break;
            const quint32 length = number<quint32>(data + at + 1);
            if (length > quint32(size - at - 5))
                break;
            texts.push_back(QString::fromUtf8(data + at + 5, qsizetype(length)));
            if (partial)
                chosen.push_back(texts.back() == only);
            at += 5 + qsizetype(length);
        } else if (tag == ItemTag) {
            if (size - at < ItemFixed)
                break;
            const char *p = data + at + 1;
            const quint32 serial = number<quint32>(p);
            const quint16 nameLength = number<quint16>(p + 4);
            if (size - at < ItemFixed + nameLength)
                break;
            const char *name = p + 6;
            p = name + nameLength;
            HistoryListingItem item;
            std::memcpy(item.blob.id, p, OidSize);
            p += OidSize;
            const quint32 firmware = number<quint32>(p);
            const quint32 technician = number<quint32>(p + 4);
            const quint32 mail = number<quint32>(p + 8);
            const size_t known = texts.size();
            if (serial >= known || firmware >= known || technician >= known || mail >= known)
                break;
            at += ItemFixed + nameLength;
            if (partial && !chosen[serial])
                continue;
            item.serial = texts[serial];
            item.name = QString::fromUtf8(name, nameLength);
            item.firmware = texts[firmware];
            item.technician = texts[technician];
            item.mail = texts[mail];
            item.size = number<qint64>(p + 12);
            item.mtime = number<qint64>(p + 20);
            read.items.push_back(std::move(item));
        } else if (tag == HeadTag) {
            if (size - at < HeadSize ||
                number<quint64>(data + at + HeadSize - 8) !=
                    checksum(data + stretch, at + HeadSize - 8 - stretch) ||
                number<quint32>(data + at + 1 + OidSize) != texts.size())
                break;
            git_oid head;
            std::memcpy(head.id, data + at + 1, OidSize);
            read.head = head;
            at += HeadSize;
            stretch = at;
            trusted = read.items.size();
        } else {
            break;
        }
    }
    read.items.resize(trusted);
    return read;
}

Result<void> writeCache(const QString &path, const QByteArray &bytes)
{
    SafeFile::Replacement file(path);
    const auto failed = [&](const SafeFile::Status &status) {
        return Failure{Failure::Kind::History, path, status.reason(), status.error};
    };
    if (!file.status().ok())
        return failed(file.status());
    for (qsizetype at = 0; at < bytes.size();) {
        const ssize_t n = ::write(file.fd(), bytes.constData() + at, size_t(bytes.size() - at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Failure{Failure::Kind::History, path, QString::fromLocal8Bit(strerror(errno)), errno};
        at += n;
    }
    const QString written = file.release();
    if (written.isEmpty())
        return failed(file.status());
    if (::rename(QFile::encodeName(written).constData(), QFile::encodeName(file.target().path).constData()) !=
        0) {
        const int error = errno;
        ::unlink(QFile::encodeName(written).constData());
        return Failure{Failure::Kind::History, path, QString::fromLocal8Bit(strerror(error)), error};
    }
    return {};
}

QByteArray encode(const std::vector<HistoryListingItem> &items, const git_oid &head)
{
    Writer w;
    w.out.reserve(qsizetype(items.size()) * 96 + 4096);
    w.out += Magic;
    for (const HistoryListingItem &item : items)
        w.item(item);
    w.head(head, Magic.size());
    return w.out;
}

bool append(const QString &path, const HistoryListingItem &item, const git_oid &before, const git_oid &after)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    char tail[HeadSize];
    struct stat st {
    };
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= Magic.size() + HeadSize &&
              ::pread(fd, tail, HeadSize, st.st_size - HeadSize) == HeadSize && tail[0] == HeadTag &&
              std::memcmp(tail + 1, before.id, OidSize) == 0;
    if (ok) {
        // The texts go on from those the index holds; a repeated one is
        // harmless and goes at the next full write.
        Writer w(number<quint32>(tail + 1 + OidSize));
        w.item(item);
        w.head(after, 0);
        ok = ::write(fd, w.out.constData(), size_t(w.out.size())) == w.out.size();
    }
    ::close(fd);
    return ok;
}

} // namespace HistoryListingIndex
