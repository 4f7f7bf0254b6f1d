#include "history/HistoryRepository.h"

#include "history/HistoryFolder.h"
#include "platform/PrivateProfile.h"
#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <vector>

namespace
{
const QByteArray MainRef = "refs/heads/main";

Git::Signature signature(const HistoryAuthor &author, const QDateTime &when)
{
    git_signature *sig = nullptr;
    const QByteArray name = (author.name.isEmpty() ? QStringLiteral("unknown") : author.name).toUtf8();
    const QByteArray mail = author.mail.toUtf8();
    if (git_signature_new(&sig, name.constData(), mail.constData(), when.toSecsSinceEpoch(),
                          when.offsetFromUtc() / 60) != 0)
        git_signature_new(&sig, "unknown", "", when.toSecsSinceEpoch(), 0);
    return Git::Signature(sig);
}

// "x (3).kvr" -> "x"
QString baseOf(const QString &name)
{
    static const QRegularExpression numbered(QStringLiteral(R"(^(.*) \(\d+\)\.kvr$)"));
    const QRegularExpressionMatch m = numbered.match(name);
    if (m.hasMatch())
        return m.captured(1);
    return name.endsWith(QLatin1String(".kvr")) ? name.chopped(4) : name;
}
} // namespace

// ---- the commit message's lines ---------------------------------------------

QString HistoryRepository::trailers(const QList<Note> &notes)
{
    QString out;
    for (const Note &n : notes) {
        out += QStringLiteral("Entry: %1\n").arg(n.path);
        if (!n.firmware.isEmpty())
            out += QStringLiteral("Firmware: %1\n").arg(n.firmware);
        if (n.technician)
            out += QStringLiteral("Technician: %1 <%2>\n").arg(n.technician->name, n.technician->mail);
    }
    return out;
}

QList<HistoryRepository::Note> HistoryRepository::parseTrailers(const char *message)
{
    QList<Note> notes;
    if (!message)
        return notes;
    const QByteArray text(message);
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        const QByteArray line = text.mid(start, end - start);
        start = end + 1;
        if (line.startsWith("Entry: ")) {
            notes.append(Note{QString::fromUtf8(line.mid(7)).trimmed(), {}, {}});
        } else if (!notes.isEmpty() && line.startsWith("Firmware: ")) {
            notes.last().firmware = QString::fromUtf8(line.mid(10)).trimmed();
        } else if (!notes.isEmpty() && line.startsWith("Technician:")) {
            const QString who = QString::fromUtf8(line.mid(11)).trimmed();
            const qsizetype open = who.lastIndexOf(u'<');
            HistoryAuthor author;
            if (open >= 0 && who.endsWith(u'>')) {
                author.name = who.left(open).trimmed();
                author.mail = who.mid(open + 1).chopped(1);
            } else {
                author.name = who;
            }
            notes.last().technician = author;
        }
    }
    return notes;
}

// ---- opening --------------------------------------------------------------

HistoryRepository::HistoryRepository(const QString &folder) : m_folder(folder)
{
}

QString HistoryRepository::gitFolder() const
{
    return QDir(m_folder).filePath(QStringLiteral(".git"));
}

Failure HistoryRepository::failure(const QString &reason) const
{
    return Failure{Failure::Kind::History, m_folder, reason};
}

Result<std::unique_ptr<HistoryRepository>>
HistoryRepository::open(const QString &folder, const HistoryAuthor &author, const QDateTime &now)
{
    std::unique_ptr<HistoryRepository> r(new HistoryRepository(folder));
    const QByteArray gitPath = QFile::encodeName(r->gitFolder());
    git_repository *repo = nullptr;
    if (QFileInfo(r->gitFolder()).isDir()) {
        if (git_repository_open_bare(&repo, gitPath.constData()) != 0)
            return r->failure(
                QStringLiteral("the repository in .git cannot be opened: %1").arg(Git::lastError()));
        r->m_repo.reset(repo);
        return r;
    }
    if (QFileInfo::exists(r->gitFolder()) || QFileInfo(r->gitFolder()).isSymLink())
        return r->failure(QStringLiteral(".git is not a folder"));
    git_repository_init_options options = GIT_REPOSITORY_INIT_OPTIONS_INIT;
    options.flags = GIT_REPOSITORY_INIT_BARE | GIT_REPOSITORY_INIT_MKPATH;
    options.initial_head = "main";
    if (git_repository_init_ext(&repo, gitPath.constData(), &options) != 0)
        return r->failure(QStringLiteral("the repository cannot be made: %1").arg(Git::lastError()));
    r->m_repo.reset(repo);
    if (Result<void> adopted = r->adopt(author, now); !adopted)
        return adopted.failure();
    return r;
}

// The files kept before the history was a repository become its first
// commit; the firmware versions of firmware.ini go into its message.
Result<void> HistoryRepository::adopt(const HistoryAuthor &author, const QDateTime &now)
{
    const QDir root(m_folder);
    git_treebuilder *rootBuilderRaw = nullptr;
    if (git_treebuilder_new(&rootBuilderRaw, git(), nullptr) != 0)
        return failure(Git::lastError());
    Git::TreeBuilder rootBuilder(rootBuilderRaw);
    QList<Note> notes;
    const QStringList serials =
        root.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
    for (const QString &serial : serials) {
        if (serial.startsWith(u'.'))
            continue;
        const QDir dir(root.filePath(serial));
        QHash<QString, QString> firmware;
        for (const auto &[key, value] : PrivateProfile::readSection(
                 dir.filePath(QStringLiteral("firmware.ini")), QStringLiteral("Firmware")))
            firmware.insert(key.toLower(), value);
        git_treebuilder *builderRaw = nullptr;
        if (git_treebuilder_new(&builderRaw, git(), nullptr) != 0)
            return failure(Git::lastError());
        Git::TreeBuilder builder(builderRaw);
        int files = 0;
        for (const QString &name :
             dir.entryList({QStringLiteral("*.kvr")}, QDir::Files | QDir::NoSymLinks, QDir::Name)) {
            const SafeFile::Contents contents = SafeFile::read(dir.filePath(name), SafeFile::SettingsLimit);
            if (!contents.ok())
                continue; // left where it is, outside the history
            const Result<git_oid> blob = writeBlob(contents.bytes);
            if (!blob)
                return blob.failure();
            if (git_treebuilder_insert(nullptr, builder.get(), name.toUtf8().constData(), &blob.value(),
                                       GIT_FILEMODE_BLOB) != 0)
                continue; // a name git cannot hold
            ++files;
            Note note{serial + u'/' + name, firmware.value(name.toLower()), HistoryAuthor()};
            notes.append(note); // who kept it then is not known: an empty technician
        }
        HistoryFolder::removeLeftovers(dir.absolutePath());
        if (files == 0)
            continue;
        git_oid tree;
        if (git_treebuilder_write(&tree, builder.get()) != 0 ||
            git_treebuilder_insert(nullptr, rootBuilder.get(), serial.toUtf8().constData(), &tree,
                                   GIT_FILEMODE_TREE) != 0)
            return failure(Git::lastError());
    }
    if (notes.isEmpty())
        return {};
    git_oid tree;
    if (git_treebuilder_write(&tree, rootBuilder.get()) != 0)
        return failure(Git::lastError());
    const QString message =
        QStringLiteral("The history kept before: %1 entries\n\n").arg(notes.size()) + trailers(notes);
    const Result<git_oid> commit = commitTree(tree, {}, author, now, message);
    if (!commit)
        return commit.failure();
    return {};
}

// ---- reading ----------------------------------------------------------------

std::optional<git_oid> HistoryRepository::head() const
{
    git_oid oid;
    if (git_reference_name_to_id(&oid, git(), MainRef.constData()) != 0)
        return std::nullopt;
    return oid;
}

Git::Tree HistoryRepository::treeOf(const git_oid &commitId) const
{
    git_commit *commit = nullptr;
    if (git_commit_lookup(&commit, git(), &commitId) != 0)
        return {};
    Git::Commit owned(commit);
    git_tree *tree = nullptr;
    if (git_commit_tree(&tree, commit) != 0)
        return {};
    return Git::Tree(tree);
}

bool HistoryRepository::contains(const QString &path) const
{
    const std::optional<git_oid> tip = head();
    if (!tip)
        return false;
    const Git::Tree tree = treeOf(*tip);
    git_tree_entry *entry = nullptr;
    if (!tree || git_tree_entry_bypath(&entry, tree.get(), path.toUtf8().constData()) != 0)
        return false;
    git_tree_entry_free(entry);
    return true;
}

// ---- writing ----------------------------------------------------------------

Result<git_oid> HistoryRepository::writeBlob(const QByteArray &bytes)
{
    git_oid oid;
    if (git_blob_create_from_buffer(&oid, git(), bytes.constData(), size_t(bytes.size())) != 0)
        return failure(Git::lastError());
    return oid;
}

Result<git_oid> HistoryRepository::commitFile(const QString &path, const git_oid &blob,
                                              const HistoryAuthor &author, const QDateTime &when,
                                              const QString &message)
{
    const QString folderName = path.section(u'/', 0, 0);
    const QString fileName = path.section(u'/', 1);
    const std::optional<git_oid> tip = head();
    Git::Tree rootTree = tip ? treeOf(*tip) : Git::Tree();
    if (tip && !rootTree)
        return failure(Git::lastError());
    // Only the serial number's folder and the root are written anew: the
    // other folders' trees are shared with the commit before.
    Git::Tree folderTree;
    if (rootTree)
        if (const git_tree_entry *e = git_tree_entry_byname(rootTree.get(), folderName.toUtf8().constData());
            e && git_tree_entry_type(e) == GIT_OBJECT_TREE) {
            git_tree *t = nullptr;
            if (git_tree_lookup(&t, git(), git_tree_entry_id(e)) == 0)
                folderTree.reset(t);
        }
    git_treebuilder *raw = nullptr;
    if (git_treebuilder_new(&raw, git(), folderTree.get()) != 0)
        return failure(Git::lastError());
    Git::TreeBuilder folderBuilder(raw);
    git_oid folderOid, rootOid;
    if (git_treebuilder_insert(nullptr, folderBuilder.get(), fileName.toUtf8().constData(), &blob,
                               GIT_FILEMODE_BLOB) != 0 ||
        git_treebuilder_write(&folderOid, folderBuilder.get()) != 0)
        return failure(Git::lastError());
    if (git_treebuilder_new(&raw, git(), rootTree.get()) != 0)
        return failure(Git::lastError());
    Git::TreeBuilder rootBuilder(raw);
    if (git_treebuilder_insert(nullptr, rootBuilder.get(), folderName.toUtf8().constData(), &folderOid,
                               GIT_FILEMODE_TREE) != 0 ||
        git_treebuilder_write(&rootOid, rootBuilder.get()) != 0)
        return failure(Git::lastError());
    QList<git_oid> parents;
    if (tip)
        parents.append(*tip);
    return commitTree(rootOid, parents, author, when, message);
}

Result<git_oid> HistoryRepository::commitTree(const git_oid &treeId, const QList<git_oid> &parentIds,
                                              const HistoryAuthor &author, const QDateTime &when,
                                              const QString &message)
{
    git_tree *rawTree = nullptr;
    if (git_tree_lookup(&rawTree, git(), &treeId) != 0)
        return failure(Git::lastError());
    Git::Tree tree(rawTree);
    std::vector<Git::Commit> owned;
    std::vector<const git_commit *> parents;
    for (const git_oid &id : parentIds) {
        git_commit *c = nullptr;
        if (git_commit_lookup(&c, git(), &id) != 0)
            return failure(Git::lastError());
        owned.emplace_back(c);
        parents.push_back(c);
    }
    const Git::Signature sig = signature(author, when);
    git_oid commit;
    // HEAD (main) moves only when it still is the first parent: a commit
    // made meanwhile by another process is never overwritten.
    if (git_commit_create(&commit, git(), "HEAD", sig.get(), sig.get(), "UTF-8", message.toUtf8().constData(),
                          tree.get(), parents.size(), parents.data()) != 0)
        return failure(QStringLiteral("the entry's commit failed: %1").arg(Git::lastError()));
    return commit;
}

Result<void> HistoryRepository::moveHead(const git_oid &commit, const QString &why)
{
    git_reference *ref = nullptr;
    const std::optional<git_oid> before = head();
    const int rc =
        before ? git_reference_create_matching(&ref, git(), MainRef.constData(), &commit, 1, &*before,
                                               why.toUtf8().constData())
               : git_reference_create(&ref, git(), MainRef.constData(), &commit, 0, why.toUtf8().constData());
    if (rc != 0)
        return failure(Git::lastError());
    git_reference_free(ref);
    return {};
}

// ---- merging ----------------------------------------------------------------

Result<git_oid> HistoryRepository::unionTree(const git_tree *ours, const git_tree *theirs,
                                             QList<Moved> *moved)
{
    return unionTree(ours, theirs, QString(), moved);
}

Result<git_oid> HistoryRepository::unionTree(const git_tree *ours, const git_tree *theirs,
                                             const QString &prefix, QList<Moved> *moved)
{
    git_treebuilder *raw = nullptr;
    if (git_treebuilder_new(&raw, git(), ours) != 0)
        return failure(Git::lastError());
    Git::TreeBuilder builder(raw);
    const size_t count = theirs ? git_tree_entrycount(theirs) : 0;
    for (size_t i = 0; i < count; ++i) {
        const git_tree_entry *their = git_tree_entry_byindex(theirs, i);
        const char *name = git_tree_entry_name(their);
        const git_tree_entry *our = ours ? git_tree_entry_byname(ours, name) : nullptr;
        if (!our) {
            if (git_treebuilder_insert(nullptr, builder.get(), name, git_tree_entry_id(their),
                                       git_tree_entry_filemode(their)) != 0)
                return failure(Git::lastError());
            continue;
        }
        if (git_oid_equal(git_tree_entry_id(our), git_tree_entry_id(their)))
            continue;
        const bool ourTree = git_tree_entry_type(our) == GIT_OBJECT_TREE;
        const bool theirTree = git_tree_entry_type(their) == GIT_OBJECT_TREE;
        if (ourTree && theirTree) {
            git_tree *a = nullptr, *b = nullptr;
            if (git_tree_lookup(&a, git(), git_tree_entry_id(our)) != 0)
                return failure(Git::lastError());
            Git::Tree ta(a);
            if (git_tree_lookup(&b, git(), git_tree_entry_id(their)) != 0)
                return failure(Git::lastError());
            Git::Tree tb(b);
            const Result<git_oid> sub =
                unionTree(ta.get(), tb.get(), prefix + QString::fromUtf8(name) + u'/', moved);
            if (!sub)
                return sub;
            if (git_treebuilder_insert(nullptr, builder.get(), name, &sub.value(), GIT_FILEMODE_TREE) != 0)
                return failure(Git::lastError());
            continue;
        }
        if (ourTree || theirTree)
            continue; // a file against a folder: ours stands, theirs stays in their commits
        // Two files of one name: the same communicator kept in the same
        // second on two computers. Theirs is shared already and keeps the
        // name; ours takes the next free one.
        const QString base = baseOf(QString::fromUtf8(name));
        QString free;
        for (int n = 2;; ++n) {
            free = QStringLiteral("%1 (%2).kvr").arg(base).arg(n);
            const QByteArray f = free.toUtf8();
            if (!git_tree_entry_byname(ours, f.constData()) &&
                !git_tree_entry_byname(theirs, f.constData()) &&
                !git_treebuilder_get(builder.get(), f.constData()))
                break;
        }
        const git_oid ourBlob = *git_tree_entry_id(our);
        if (git_treebuilder_insert(nullptr, builder.get(), name, git_tree_entry_id(their),
                                   git_tree_entry_filemode(their)) != 0 ||
            git_treebuilder_insert(nullptr, builder.get(), free.toUtf8().constData(), &ourBlob,
                                   GIT_FILEMODE_BLOB) != 0)
            return failure(Git::lastError());
        if (moved)
            moved->append({prefix + QString::fromUtf8(name), prefix + free});
    }
    git_oid out;
    if (git_treebuilder_write(&out, builder.get()) != 0)
        return failure(Git::lastError());
    return out;
}
