#include "history/HistoryListing.h"

#include "history/HistoryFolder.h"
#include "history/HistoryListingIndex.h"
#include "history/HistoryRepository.h"

#include <QDir>
#include <QFile>

#include <cstring>

namespace
{
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

bool HistoryListing::read(const QString &only)
{
    m_partial = !only.isEmpty();
    m_byPath.clear();
    m_byPathMade = false;
    HistoryListingIndex::Contents contents = HistoryListingIndex::read(indexPath(), only);
    m_items = std::move(contents.items);
    m_head = contents.head;
    return m_head.has_value();
}

Result<void> HistoryListing::save() const
{
    if (!m_head || m_partial)
        return {};
    return HistoryListingIndex::writeCache(indexPath(), HistoryListingIndex::encode(m_items, *m_head));
}

bool HistoryListing::append(const Item &item, const git_oid &before, const git_oid &after) const
{
    return HistoryListingIndex::append(indexPath(), item, before, after);
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
        const git_tree_entry *was =
            oldTree ? git_tree_entry_byname(oldTree.get(), git_tree_entry_name(e)) : nullptr;
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
        HistoryFileCheck::stamp(m_folder, item);
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
            HistoryFileCheck::stamp(m_folder, arrived[missingItems[k]]);
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
