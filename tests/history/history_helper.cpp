#include "history_helper.h"

#include <git2.h>

#include <QDir>

namespace HistoryHelper
{
namespace
{
struct Repo {
    git_repository *repo = nullptr;
    explicit Repo(const QString &path)
    {
        git_libgit2_init();
        git_repository_open_bare(&repo, QFile::encodeName(path).constData());
    }
    ~Repo()
    {
        git_repository_free(repo);
        git_libgit2_shutdown();
    }
    git_commit *head() const
    {
        git_oid oid;
        git_commit *commit = nullptr;
        if (repo && git_reference_name_to_id(&oid, repo, "refs/heads/main") == 0)
            git_commit_lookup(&commit, repo, &oid);
        return commit;
    }
};
} // namespace

MemoryRecord record(const QString &password)
{
    MemoryRecord r;
    r.setStoredText(QStringLiteral("Pasw"), password);
    return r;
}

bool initBare(const QString &path)
{
    git_libgit2_init();
    git_repository_init_options options = GIT_REPOSITORY_INIT_OPTIONS_INIT;
    options.flags = GIT_REPOSITORY_INIT_BARE | GIT_REPOSITORY_INIT_MKPATH;
    options.initial_head = "main";
    git_repository *repo = nullptr;
    const bool made = git_repository_init_ext(&repo, QFile::encodeName(path).constData(), &options) == 0;
    git_repository_free(repo);
    git_libgit2_shutdown();
    return made;
}

QString gitOf(const QString &programFolder)
{
    return QDir(programFolder).filePath(QStringLiteral("History/.git"));
}

QStringList log(const QString &gitFolder)
{
    QStringList out;
    const Repo r(gitFolder);
    git_revwalk *walk = nullptr;
    git_oid oid;
    if (!r.repo || git_reference_name_to_id(&oid, r.repo, "refs/heads/main") != 0 ||
        git_revwalk_new(&walk, r.repo) != 0)
        return out;
    git_revwalk_sorting(walk, GIT_SORT_TOPOLOGICAL | GIT_SORT_TIME);
    git_revwalk_push(walk, &oid);
    while (git_revwalk_next(&oid, walk) == 0) {
        git_commit *c = nullptr;
        git_commit_lookup(&c, r.repo, &oid);
        const git_signature *a = git_commit_author(c);
        out << QStringLiteral("%1 <%2>|%3")
                   .arg(QString::fromUtf8(a->name), QString::fromUtf8(a->email),
                        QString::fromUtf8(git_commit_summary(c)));
        git_commit_free(c);
    }
    git_revwalk_free(walk);
    return out;
}

QString lastMessage(const QString &gitFolder)
{
    const Repo r(gitFolder);
    git_commit *c = r.head();
    const QString message = c ? QString::fromUtf8(git_commit_message(c)) : QString();
    git_commit_free(c);
    return message;
}

QStringList files(const QString &gitFolder)
{
    QStringList out;
    const Repo r(gitFolder);
    git_commit *c = r.head();
    git_tree *tree = nullptr;
    if (!c || git_commit_tree(&tree, c) != 0) {
        git_commit_free(c);
        return out;
    }
    git_tree_walk(
        tree, GIT_TREEWALK_PRE,
        [](const char *root, const git_tree_entry *e, void *payload) {
            if (git_tree_entry_type(e) == GIT_OBJECT_BLOB)
                static_cast<QStringList *>(payload)->append(QString::fromUtf8(root) +
                                                            QString::fromUtf8(git_tree_entry_name(e)));
            return 0;
        },
        &out);
    git_tree_free(tree);
    git_commit_free(c);
    out.sort();
    return out;
}
} // namespace HistoryHelper
