#include "history/HistoryListing.h"

#include "history/HistoryFolder.h"
#include "history/HistoryRepository.h"
#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QtEndian>

#include <atomic>
#include <cstring>
#include <thread>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

    void item(const HistoryListing::Item &item)
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

bool wanted(const QString &name)
{
    // The settings files, and the sites kept beside them (FleetHistory).
    return name.endsWith(QLatin1String(".kvr")) || name.endsWith(QLatin1String(".txt"));
}
} // namespace

HistoryListing::HistoryListing(const QString &folder) : m_folder(folder)
{
}

HistoryListing::~HistoryListing() = default;

QString HistoryListing::indexPath() const
{
    return QDir(m_folder).filePath(QStringLiteral(".git/tessaro-listing"));
}

QHash<QString, qsizetype> &HistoryListing::byPath() const
{
    if (!m_byPathMade) {
        m_byPath.clear();
        m_byPath.reserve(qsizetype(m_items.size()));
        for (size_t i = 0; i < m_items.size(); ++i)
            m_byPath.insert(m_items[i].path(), qsizetype(i));
        m_byPathMade = true;
    }
    return m_byPath;
}

const HistoryListing::Item *HistoryListing::find(const QString &path) const
{
    const QHash<QString, qsizetype> &paths = byPath();
    const auto it = paths.constFind(path);
    return it == paths.constEnd() ? nullptr : &m_items[size_t(*it)];
}

void HistoryListing::put(const Item &item)
{
    QHash<QString, qsizetype> &paths = byPath();
    const QString path = item.path();
    if (const auto it = paths.constFind(path); it != paths.constEnd()) {
        m_items[size_t(*it)] = item;
    } else {
        paths.insert(path, qsizetype(m_items.size()));
        m_items.push_back(item);
    }
    m_dirty = true;
}

void HistoryListing::removePaths(const QSet<QString> &paths)
{
    if (paths.isEmpty())
        return;
    std::vector<Item> kept;
    kept.reserve(m_items.size());
    for (Item &item : m_items)
        if (!paths.contains(item.path()))
            kept.push_back(std::move(item));
    m_items = std::move(kept);
    m_byPathMade = false;
    m_dirty = true;
}

void HistoryListing::stamp(const QString &folder, Item &item)
{
    struct stat st {
    };
    const QByteArray path = QFile::encodeName(folder + u'/' + item.serial + u'/' + item.name);
    if (::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode)) {
        item.size = st.st_size;
        item.mtime = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    } else {
        item.size = -1;
        item.mtime = 0;
    }
}

void HistoryListing::stamp(Item &item) const
{
    stamp(m_folder, item);
}

bool HistoryListing::read(const QString &only)
{
    m_partial = !only.isEmpty();
    m_items.clear();
    m_byPath.clear();
    m_byPathMade = false;
    m_head.reset();
    const SafeFile::Contents contents = SafeFile::read(indexPath(), IndexLimit);
    if (!contents.ok() || !contents.bytes.startsWith(Magic))
        return false;
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
            if (m_partial)
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
            Item item;
            std::memcpy(item.blob.id, p, OidSize);
            p += OidSize;
            const quint32 firmware = number<quint32>(p);
            const quint32 technician = number<quint32>(p + 4);
            const quint32 mail = number<quint32>(p + 8);
            const size_t known = texts.size();
            if (serial >= known || firmware >= known || technician >= known || mail >= known)
                break;
            at += ItemFixed + nameLength;
            if (m_partial && !chosen[serial])
                continue;
            item.serial = texts[serial];
            item.name = QString::fromUtf8(name, nameLength);
            item.firmware = texts[firmware];
            item.technician = texts[technician];
            item.mail = texts[mail];
            item.size = number<qint64>(p + 12);
            item.mtime = number<qint64>(p + 20);
            m_items.push_back(std::move(item));
        } else if (tag == HeadTag) {
            if (size - at < HeadSize ||
                number<quint64>(data + at + HeadSize - 8) != checksum(data + stretch, at + HeadSize - 8 - stretch) ||
                number<quint32>(data + at + 1 + OidSize) != texts.size())
                break;
            git_oid head;
            std::memcpy(head.id, data + at + 1, OidSize);
            m_head = head;
            at += HeadSize;
            stretch = at;
            trusted = m_items.size();
        } else {
            break;
        }
    }
    m_items.resize(trusted);
    return m_head.has_value();
}

Result<void> HistoryListing::writeCache(const QString &path, const QByteArray &bytes)
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
    if (::rename(QFile::encodeName(written).constData(), QFile::encodeName(file.target().path).constData()) != 0) {
        const int error = errno;
        ::unlink(QFile::encodeName(written).constData());
        return Failure{Failure::Kind::History, path, QString::fromLocal8Bit(strerror(error)), error};
    }
    return {};
}

Result<void> HistoryListing::save() const
{
    if (!m_head || m_partial)
        return {};
    Writer w;
    w.out.reserve(qsizetype(m_items.size()) * 96 + 4096);
    w.out += Magic;
    for (const Item &item : m_items)
        w.item(item);
    w.head(*m_head, Magic.size());
    return writeCache(indexPath(), w.out);
}

bool HistoryListing::append(const Item &item, const git_oid &before, const git_oid &after) const
{
    const QByteArray path = QFile::encodeName(indexPath());
    const int fd = ::open(path.constData(), O_RDWR | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
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

Result<void> HistoryListing::saveIfChanged()
{
    if (!m_dirty || m_partial)
        return {};
    m_dirty = false;
    return save();
}

Result<void> HistoryListing::load(HistoryRepository &repo, const QString &only)
{
    m_dirty = false;
    const std::optional<git_oid> head = repo.head();
    bool known = read(only);
    if (m_partial && (!known || !head || !git_oid_equal(&*m_head, &*head))) {
        // Behind: brought up to date whole and saved, then one serial
        // number's entries kept.
        if (Result<void> loaded = load(repo); !loaded)
            return loaded;
        std::erase_if(m_items, [&](const Item &item) { return item.serial != only; });
        m_byPathMade = false;
        m_partial = true;
        return {};
    }
    if (!head) {
        // Nothing kept yet.
        m_items.clear();
        m_byPath.clear();
        m_byPathMade = false;
        m_head.reset();
        return {};
    }
    if (!known || !git_oid_equal(&*m_head, &*head)) {
        if (Result<void> updated = update(repo, *head); !updated)
            return updated;
    }
    return saveIfChanged();
}

namespace
{

Git::Tree subtree(HistoryRepository &repo, const git_tree_entry *entry)
{
    git_tree *tree = nullptr;
    if (!entry || git_tree_entry_type(entry) != GIT_OBJECT_TREE ||
        git_tree_lookup(&tree, repo.git(), git_tree_entry_id(entry)) != 0)
        return {};
    return Git::Tree(tree);
}

// What a commit says of the entries it added: its notes, or for a commit
// made by hand (no notes, one parent or none) the files it added.
struct Said {
    git_oid commit{};
    QList<HistoryRepository::Note> notes;
    QString author, mail;
};

} // namespace

Result<void> HistoryListing::update(HistoryRepository &repo, const git_oid &to)
{
    Git::Tree oldTree = m_head ? repo.treeOf(*m_head) : Git::Tree();
    if (!oldTree) {
        // Unknown or unreadable: read everything from the repository.
        m_items.clear();
        m_byPath.clear();
        m_byPathMade = false;
        m_head.reset();
    }
    const Git::Tree newTree = repo.treeOf(to);
    if (!newTree)
        return repo.failure(Git::lastError());

    // The entries are "<serial>/<name>": the two levels are compared by
    // their objects, so a serial number's folder that did not change is
    // not even opened.
    QHash<QString, git_oid> pending; // added or changed, waiting for what their commit says
    QSet<QString> removed;
    bool replacing = false; // a changed file, not only new ones
    const auto compare = [&](const QString &serial, const git_tree *before, const git_tree *after) {
        const size_t count = after ? git_tree_entrycount(after) : 0;
        for (size_t i = 0; i < count; ++i) {
            const git_tree_entry *e = git_tree_entry_byindex(after, i);
            if (git_tree_entry_type(e) != GIT_OBJECT_BLOB)
                continue;
            const char *name = git_tree_entry_name(e);
            const git_tree_entry *was = before ? git_tree_entry_byname(before, name) : nullptr;
            if (was && git_oid_equal(git_tree_entry_id(was), git_tree_entry_id(e)))
                continue;
            const QString file = QString::fromUtf8(name);
            if (!wanted(file))
                continue;
            replacing |= was != nullptr;
            pending.insert(serial + u'/' + file, *git_tree_entry_id(e));
        }
        const size_t beforeCount = before ? git_tree_entrycount(before) : 0;
        for (size_t i = 0; i < beforeCount; ++i) {
            const git_tree_entry *e = git_tree_entry_byindex(before, i);
            const char *name = git_tree_entry_name(e);
            if (!after || !git_tree_entry_byname(after, name) ||
                git_tree_entry_type(git_tree_entry_byname(after, name)) != GIT_OBJECT_BLOB)
                removed.insert(serial + u'/' + QString::fromUtf8(name));
        }
    };
    const size_t folders = git_tree_entrycount(newTree.get());
    for (size_t i = 0; i < folders; ++i) {
        const git_tree_entry *e = git_tree_entry_byindex(newTree.get(), i);
        const git_tree_entry *was = oldTree ? git_tree_entry_byname(oldTree.get(), git_tree_entry_name(e)) : nullptr;
        if (was && git_oid_equal(git_tree_entry_id(was), git_tree_entry_id(e)))
            continue;
        const Git::Tree after = subtree(repo, e);
        const Git::Tree before = subtree(repo, was);
        compare(QString::fromUtf8(git_tree_entry_name(e)), before.get(), after.get());
    }
    const size_t oldFolders = oldTree ? git_tree_entrycount(oldTree.get()) : 0;
    for (size_t i = 0; i < oldFolders; ++i) {
        const git_tree_entry *e = git_tree_entry_byindex(oldTree.get(), i);
        if (git_tree_entry_byname(newTree.get(), git_tree_entry_name(e)))
            continue;
        const Git::Tree before = subtree(repo, e);
        compare(QString::fromUtf8(git_tree_entry_name(e)), before.get(), nullptr);
    }
    removePaths(removed);

    // What the commits since say of the files: read from their messages.
    // Only a name that two of them claim (the same name kept on two
    // computers) is settled by which commit's tree holds the blob that HEAD
    // has, the only step that reads a whole tree.
    std::vector<Said> said;
    QHash<QString, int> claims;
    git_revwalk *rawWalk = nullptr;
    if (git_revwalk_new(&rawWalk, repo.git()) != 0)
        return repo.failure(Git::lastError());
    const Git::RevWalk walk(rawWalk);
    git_revwalk_push(walk.get(), &to);
    if (m_head)
        git_revwalk_hide(walk.get(), &*m_head);
    git_oid id;
    while (!pending.isEmpty() && git_revwalk_next(&id, walk.get()) == 0) {
        git_commit *rawCommit = nullptr;
        if (git_commit_lookup(&rawCommit, repo.git(), &id) != 0)
            continue;
        const Git::Commit commit(rawCommit);
        Said s{id, HistoryRepository::parseTrailers(git_commit_message(commit.get())), {}, {}};
        if (s.notes.isEmpty() && git_commit_parentcount(commit.get()) <= 1) {
            // Made by hand: what it added, by its author.
            Git::Tree parentTree;
            if (git_commit_parentcount(commit.get()) == 1)
                parentTree = repo.treeOf(*git_commit_parent_id(commit.get(), 0));
            const Git::Tree tree = repo.treeOf(id);
            git_diff *own = nullptr;
            if (tree && git_diff_tree_to_tree(&own, repo.git(), parentTree.get(), tree.get(), nullptr) == 0) {
                const Git::Diff ownDiff(own);
                for (size_t i = 0; i < git_diff_num_deltas(own); ++i)
                    if (const git_diff_delta *d = git_diff_get_delta(own, i); d->status != GIT_DELTA_DELETED)
                        s.notes.append({QString::fromUtf8(d->new_file.path), {}, {}});
            }
        }
        s.notes.removeIf([&](const HistoryRepository::Note &n) { return !pending.contains(n.path); });
        if (s.notes.isEmpty())
            continue;
        for (const HistoryRepository::Note &n : s.notes)
            ++claims[n.path];
        if (const git_signature *author = git_commit_author(commit.get())) {
            s.author = QString::fromUtf8(author->name);
            s.mail = QString::fromUtf8(author->email);
        }
        said.push_back(std::move(s));
    }

    std::vector<Item> arrived;
    arrived.reserve(size_t(pending.size()));
    for (const Said &s : said) { // newest first
        Git::Tree tree;
        for (const HistoryRepository::Note &note : s.notes) {
            const auto it = pending.constFind(note.path);
            if (it == pending.constEnd())
                continue;
            if (claims.value(note.path) > 1) {
                // The name was used on another computer too: only the
                // commit that added the blob the tree now holds describes it.
                if (!tree)
                    tree = repo.treeOf(s.commit);
                git_tree_entry *entry = nullptr;
                if (!tree || git_tree_entry_bypath(&entry, tree.get(), note.path.toUtf8().constData()) != 0)
                    continue;
                const bool same = git_oid_equal(git_tree_entry_id(entry), &*it);
                git_tree_entry_free(entry);
                if (!same)
                    continue;
            }
            Item item;
            item.serial = note.path.section(u'/', 0, 0);
            item.name = note.path.section(u'/', 1);
            item.blob = *it;
            item.firmware = note.firmware;
            if (note.technician) {
                item.technician = note.technician->name;
                item.mail = note.technician->mail;
            } else {
                item.technician = s.author;
                item.mail = s.mail;
            }
            arrived.push_back(std::move(item));
            pending.erase(it);
        }
    }
    for (auto it = pending.cbegin(); it != pending.cend(); ++it) {
        Item item;
        item.serial = it.key().section(u'/', 0, 0);
        item.name = it.key().section(u'/', 1);
        item.blob = it.value();
        arrived.push_back(std::move(item));
    }
    // The disk holds every entry of the repository: files that came with a
    // merge, or whose writing a kill cut short, are written now.
    git_odb *rawOdb = nullptr;
    git_repository_odb(&rawOdb, repo.git());
    const Git::Odb odb(rawOdb);
    QList<std::pair<QString, QByteArray>> missing;
    std::vector<size_t> missingItems;
    for (size_t i = 0; i < arrived.size(); ++i) {
        Item &item = arrived[i];
        stamp(item);
        if (item.size >= 0) {
            // A file there already may have been changed by hand before now:
            // the next check compares it with its blob.
            item.size = -1;
            continue;
        }
        git_odb_object *object = nullptr;
        if (odb && git_odb_read(&object, odb.get(), &item.blob) == 0) {
            missing.append({item.path(), QByteArray(static_cast<const char *>(git_odb_object_data(object)),
                                                    qsizetype(git_odb_object_size(object)))});
            missingItems.push_back(i);
            git_odb_object_free(object);
        }
    }
    const std::vector<bool> written = HistoryFolder::writeMissing(m_folder, missing);
    for (size_t k = 0; k < written.size(); ++k)
        if (written[k])
            stamp(arrived[missingItems[k]]);
    for (Item &item : arrived) {
        if (replacing) {
            put(item);
        } else {
            // Only new names: nothing to look up.
            if (m_byPathMade)
                m_byPath.insert(item.path(), qsizetype(m_items.size()));
            m_items.push_back(std::move(item));
        }
    }
    m_head = to;
    m_dirty = true;
    return {};
}

namespace
{

// One folder kept open for the next look-up, mostly of the same serial number:
// each file is then found by its name alone.
struct OpenFolder {
    QString serial;
    int fd = -1;
    ~OpenFolder()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

HistoryListing::FileState HistoryListing::check(qsizetype index)
{
    return checkAll({index}).front();
}

std::vector<HistoryListing::FileState> HistoryListing::checkAll(const std::vector<qsizetype> &indexes)
{
    std::vector<FileState> states(indexes.size(), FileState::Missing);
    std::atomic<bool> restamped{false};
    const auto checkRange = [&](size_t from, size_t to) {
        OpenFolder open;
        for (size_t k = from; k < to; ++k) {
            Item &item = m_items[size_t(indexes[k])];
            if (open.fd < 0 || item.serial != open.serial) {
                if (open.fd >= 0)
                    ::close(open.fd);
                open.serial = item.serial;
                open.fd = ::open(QFile::encodeName(m_folder + u'/' + item.serial).constData(),
                                 O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            }
            struct stat st {
            };
            const QByteArray name = QFile::encodeName(item.name);
            if (open.fd < 0 || ::fstatat(open.fd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
                !S_ISREG(st.st_mode))
                continue; // missing
            const qint64 mtime = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
            if (st.st_size == item.size && mtime == item.mtime) {
                states[k] = FileState::Kept;
                continue;
            }
            const QByteArray native = QFile::encodeName(m_folder + u'/' + item.serial + u'/' + item.name);
            git_oid oid;
            if (git_odb_hashfile(&oid, native.constData(), GIT_OBJECT_BLOB) != 0 ||
                !git_oid_equal(&oid, &item.blob)) {
                states[k] = FileState::Changed;
                continue;
            }
            item.size = st.st_size;
            item.mtime = mtime;
            restamped = true;
            states[k] = FileState::Kept;
        }
    };
    // Each entry is looked at by one thread only; a few thousand are not
    // worth a second one.
    constexpr size_t Shared = 4096;
    if (indexes.size() < Shared) {
        checkRange(0, indexes.size());
    } else {
        const size_t half = indexes.size() / 2;
        std::thread other(checkRange, half, indexes.size());
        checkRange(0, half);
        other.join();
    }
    if (restamped)
        m_dirty = true;
    return states;
}
