#include "history/HistoryListing.h"

#include "history/HistoryFolder.h"
#include "history/HistoryRepository.h"
#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
const QByteArray Magic = "tessaro-history-listing 2";
const QByteArray HeadPrefix = "head ";
// Far more than the index of a million entries.
constexpr qint64 IndexLimit = 512ll * 1024 * 1024;

QByteArray field(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    for (char &c : bytes)
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    return bytes;
}

QByteArray lineOf(const HistoryListing::Item &item)
{
    char hex[GIT_OID_HEXSZ + 1];
    git_oid_tostr(hex, sizeof hex, &item.blob);
    return field(item.serial) + '\t' + field(item.name) + '\t' + hex + '\t' + field(item.firmware) + '\t' +
           field(item.technician) + '\t' + field(item.mail) + '\t' + QByteArray::number(item.size) + '\t' +
           QByteArray::number(item.mtime) + '\n';
}

QByteArray headLine(const git_oid &oid)
{
    return HeadPrefix + Git::toHex(oid).toLatin1() + '\n';
}
} // namespace

HistoryListing::HistoryListing(const QString &folder) : m_folder(folder)
{
}

QString HistoryListing::indexPath() const
{
    return QDir(m_folder).filePath(QStringLiteral(".git/tessaro-listing"));
}

const HistoryListing::Item *HistoryListing::find(const QString &path) const
{
    const auto it = m_byPath.constFind(path);
    return it == m_byPath.constEnd() ? nullptr : &m_items[size_t(*it)];
}

void HistoryListing::put(const Item &item)
{
    const QString path = item.path();
    if (const auto it = m_byPath.constFind(path); it != m_byPath.constEnd()) {
        m_items[size_t(*it)] = item;
    } else {
        m_byPath.insert(path, qsizetype(m_items.size()));
        m_items.push_back(item);
    }
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

bool HistoryListing::read()
{
    m_items.clear();
    m_byPath.clear();
    m_head.reset();
    const SafeFile::Contents contents = SafeFile::read(indexPath(), IndexLimit);
    if (!contents.ok() || !contents.bytes.startsWith(Magic + '\n'))
        return false;
    const QByteArray &bytes = contents.bytes;
    // Whatever follows the last head line is an append that was cut short.
    const qsizetype lastHead = bytes.lastIndexOf("\n" + HeadPrefix);
    if (lastHead < 0)
        return false;
    const qsizetype headEnd = bytes.indexOf('\n', lastHead + 1);
    git_oid head;
    const qsizetype hexAt = lastHead + 1 + HeadPrefix.size();
    if (headEnd - hexAt != GIT_OID_HEXSZ ||
        git_oid_fromstrn(&head, bytes.constData() + hexAt, GIT_OID_HEXSZ) != 0)
        return false;
    qsizetype start = Magic.size() + 1;
    while (start <= lastHead) {
        const qsizetype end = bytes.indexOf('\n', start);
        const QByteArrayView line(bytes.constData() + start, end - start);
        start = end + 1;
        if (line.startsWith(HeadPrefix))
            continue;
        QByteArrayView parts[8];
        int n = 0;
        qsizetype from = 0;
        for (; n < 7; ++n) {
            const qsizetype tab = line.indexOf('\t', from);
            if (tab < 0)
                break;
            parts[n] = line.sliced(from, tab - from);
            from = tab + 1;
        }
        if (n != 7)
            return false;
        parts[7] = line.sliced(from);
        Item item;
        item.serial = QString::fromUtf8(parts[0]);
        item.name = QString::fromUtf8(parts[1]);
        if (git_oid_fromstrn(&item.blob, parts[2].data(), size_t(parts[2].size())) != 0)
            return false;
        item.firmware = QString::fromUtf8(parts[3]);
        item.technician = QString::fromUtf8(parts[4]);
        item.mail = QString::fromUtf8(parts[5]);
        item.size = parts[6].toLongLong();
        item.mtime = parts[7].toLongLong();
        const QString path = item.path();
        if (const auto it = m_byPath.constFind(path); it != m_byPath.constEnd()) {
            m_items[size_t(*it)] = std::move(item);
        } else {
            m_byPath.insert(path, qsizetype(m_items.size()));
            m_items.push_back(std::move(item));
        }
    }
    m_head = head;
    return true;
}

Result<void> HistoryListing::save() const
{
    QByteArray out;
    out.reserve(qsizetype(m_items.size()) * 140 + 64);
    out += Magic + '\n';
    for (const Item &item : m_items)
        out += lineOf(item);
    if (m_head)
        out += headLine(*m_head);
    const SafeFile::Status status = SafeFile::replace(indexPath(), out);
    if (!status.ok())
        return Failure{Failure::Kind::History, indexPath(), status.reason(), status.error};
    return {};
}

bool HistoryListing::append(const Item &item, const git_oid &before, const git_oid &after) const
{
    const QByteArray path = QFile::encodeName(indexPath());
    const int fd = ::open(path.constData(), O_RDWR | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    const QByteArray expected = headLine(before);
    QByteArray tail(expected.size(), Qt::Uninitialized);
    struct stat st {
    };
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= expected.size() &&
              ::pread(fd, tail.data(), size_t(tail.size()), st.st_size - tail.size()) == tail.size() &&
              tail == expected;
    if (ok) {
        const QByteArray more = lineOf(item) + headLine(after);
        ok = ::write(fd, more.constData(), size_t(more.size())) == more.size();
    }
    ::close(fd);
    return ok;
}

Result<void> HistoryListing::saveIfChanged()
{
    if (!m_dirty)
        return {};
    m_dirty = false;
    return save();
}

Result<void> HistoryListing::load(HistoryRepository &repo)
{
    m_dirty = false;
    const bool known = read();
    const std::optional<git_oid> head = repo.head();
    if (!head) {
        // Nothing kept yet.
        m_items.clear();
        m_byPath.clear();
        m_head.reset();
        return {};
    }
    if (!known || !git_oid_equal(&*m_head, &*head)) {
        if (Result<void> updated = update(repo, *head); !updated)
            return updated;
    }
    return saveIfChanged();
}

Result<void> HistoryListing::update(HistoryRepository &repo, const git_oid &to)
{
    Git::Tree oldTree = m_head ? repo.treeOf(*m_head) : Git::Tree();
    if (!oldTree) {
        // Unknown or unreadable: read everything from the repository.
        m_items.clear();
        m_byPath.clear();
        m_head.reset();
    }
    const Git::Tree newTree = repo.treeOf(to);
    if (!newTree)
        return repo.failure(Git::lastError());
    git_diff *rawDiff = nullptr;
    if (git_diff_tree_to_tree(&rawDiff, repo.git(), oldTree.get(), newTree.get(), nullptr) != 0)
        return repo.failure(Git::lastError());
    const Git::Diff diff(rawDiff);

    QHash<QString, git_oid> pending; // added or changed, waiting for what their commit says
    bool removed = false;
    const size_t deltas = git_diff_num_deltas(diff.get());
    for (size_t i = 0; i < deltas; ++i) {
        const git_diff_delta *d = git_diff_get_delta(diff.get(), i);
        const QString path = QString::fromUtf8(d->new_file.path);
        if (d->status == GIT_DELTA_DELETED) {
            removed |= m_byPath.remove(QString::fromUtf8(d->old_file.path)) > 0;
            continue;
        }
        // The settings files, and the sites kept beside them (FleetHistory).
        if (path.count(u'/') == 1 &&
            (path.endsWith(QLatin1String(".kvr")) || path.endsWith(QLatin1String(".txt"))))
            pending.insert(path, d->new_file.id);
    }
    if (removed) {
        std::vector<Item> kept;
        kept.reserve(size_t(m_byPath.size()));
        for (Item &item : m_items)
            if (m_byPath.contains(item.path()))
                kept.push_back(std::move(item));
        m_items = std::move(kept);
        m_byPath.clear();
        for (size_t i = 0; i < m_items.size(); ++i)
            m_byPath.insert(m_items[i].path(), qsizetype(i));
    }

    std::vector<Item> arrived;
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
        QList<HistoryRepository::Note> notes =
            HistoryRepository::parseTrailers(git_commit_message(commit.get()));
        git_tree *rawTree = nullptr;
        if (git_commit_tree(&rawTree, commit.get()) != 0)
            continue;
        const Git::Tree tree(rawTree);
        if (notes.isEmpty() && git_commit_parentcount(commit.get()) <= 1) {
            // Made by hand: what it added, by its author.
            Git::Tree parentTree;
            if (git_commit_parentcount(commit.get()) == 1)
                parentTree = repo.treeOf(*git_commit_parent_id(commit.get(), 0));
            git_diff *own = nullptr;
            if (git_diff_tree_to_tree(&own, repo.git(), parentTree.get(), tree.get(), nullptr) == 0) {
                const Git::Diff ownDiff(own);
                for (size_t i = 0; i < git_diff_num_deltas(own); ++i)
                    if (const git_diff_delta *d = git_diff_get_delta(own, i); d->status != GIT_DELTA_DELETED)
                        notes.append({QString::fromUtf8(d->new_file.path), {}, {}});
            }
        }
        const git_signature *author = git_commit_author(commit.get());
        for (const HistoryRepository::Note &note : notes) {
            const auto it = pending.constFind(note.path);
            if (it == pending.constEnd())
                continue;
            // The name may have been used on another computer too: only the
            // commit that added the blob the tree now holds describes it.
            git_tree_entry *entry = nullptr;
            if (git_tree_entry_bypath(&entry, tree.get(), note.path.toUtf8().constData()) != 0)
                continue;
            const bool same = git_oid_equal(git_tree_entry_id(entry), &*it);
            git_tree_entry_free(entry);
            if (!same)
                continue;
            Item item;
            item.serial = note.path.section(u'/', 0, 0);
            item.name = note.path.section(u'/', 1);
            item.blob = *it;
            item.firmware = note.firmware;
            if (note.technician) {
                item.technician = note.technician->name;
                item.mail = note.technician->mail;
            } else if (author) {
                item.technician = QString::fromUtf8(author->name);
                item.mail = QString::fromUtf8(author->email);
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
    for (Item &item : arrived) {
        stamp(item);
        if (item.size < 0 && odb) {
            git_odb_object *object = nullptr;
            if (git_odb_read(&object, odb.get(), &item.blob) == 0) {
                const QByteArray bytes(static_cast<const char *>(git_odb_object_data(object)),
                                       qsizetype(git_odb_object_size(object)));
                git_odb_object_free(object);
                if (HistoryFolder::writeMissing(QDir(m_folder).filePath(item.serial), item.name, bytes))
                    stamp(item);
            }
        }
        put(item);
    }
    m_head = to;
    m_dirty = true;
    return {};
}

HistoryListing::FileState HistoryListing::check(qsizetype index)
{
    Item &item = m_items[size_t(index)];
    struct stat st {
    };
    const QString path = m_folder + u'/' + item.serial + u'/' + item.name;
    const QByteArray native = QFile::encodeName(path);
    if (::lstat(native.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return FileState::Missing;
    const qint64 mtime = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    if (st.st_size == item.size && mtime == item.mtime)
        return FileState::Kept;
    git_oid oid;
    if (git_odb_hashfile(&oid, native.constData(), GIT_OBJECT_BLOB) != 0 || !git_oid_equal(&oid, &item.blob))
        return FileState::Changed;
    item.size = st.st_size;
    item.mtime = mtime;
    m_dirty = true;
    return FileState::Kept;
}
