#pragma once

#include "history/GitObjects.h"
#include "history/HistoryAuthor.h"
#include "history/HistoryLocks.h"
#include "platform/Result.h"

#include <QDateTime>
#include <QList>
#include <QString>


#include <functional>
#include <memory>
#include <optional>

// The git repository of a History folder (libgit2; no git program needed):
// History/.git holds it, the files stand beside it as ordinary files for a
// person to browse. Every entry is one commit that adds one file under
// "<serial>/<name>"; nothing once added is changed or removed, so the
// histories of two computers always merge. What a settings file cannot hold
// (the firmware version, who kept it) goes into the commit: its author, and
// lines at the end of its message:
//
//   Entry: 4711/2026-12-08 10-15-02 read.kvr
//   Firmware: 3.12
//   Technician: Jana Nováková <jana@example.com>   (when not the author)
//
// The repository has no working tree of git's own (History/.git is bare):
// the program writes the files itself, so nothing ever checks out over them.
class HistoryRepository
{
  public:
    // An entry as its commit describes it.
    struct Note {
        QString path; // "<serial>/<name>"
        QString firmware;
        std::optional<HistoryAuthor> technician; // none: the commit's author
    };
    // The lines ending a commit message that describes notes.
    static QString trailers(const QList<Note> &notes);
    // The notes a commit message describes; none for a commit made by hand.
    static QList<Note> parseTrailers(const char *message);

    // Opens the repository of folder, making it on first use; a folder of
    // plain files kept before is adopted then in one commit (its
    // firmware.ini read once), by author at now.
    static Result<std::unique_ptr<HistoryRepository>> open(const QString &folder, const HistoryAuthor &author,
                                                           const QDateTime &now);

    git_repository *git() const { return m_repo.get(); }
    QString folder() const { return m_folder; }
    QString gitFolder() const;
    // The history's locks (HistoryLocks).
    Result<std::unique_ptr<QLockFile>> lock() const { return HistoryLocks::history(m_folder); }
    Result<std::unique_ptr<QLockFile>> shareLock(int waitMs) const
    {
        return HistoryLocks::share(m_folder, waitMs);
    }

    // The newest commit; none before the first entry.
    std::optional<git_oid> head() const;
    Git::Tree treeOf(const git_oid &commit) const;
    // Whether HEAD's tree holds path.
    bool contains(const QString &path) const;

    Result<git_oid> writeBlob(const QByteArray &bytes);
    // A commit adding the blob as path on top of HEAD, HEAD moved to it.
    Result<git_oid> commitFile(const QString &path, const git_oid &blob, const HistoryAuthor &author,
                               const QDateTime &when, const QString &message);
    // A commit of tree with the parents, HEAD moved to it.
    Result<git_oid> commitTree(const git_oid &tree, const QList<git_oid> &parents,
                               const HistoryAuthor &author, const QDateTime &when, const QString &message);
    // Moves HEAD to commit (a fast-forward).
    Result<void> moveHead(const git_oid &commit, const QString &why);

    // The union of two trees: every file of either. A name that both hold
    // with different contents keeps theirs (already shared) and ours moves
    // to the next free " (n)" name: moved lists those, old path to new.
    struct Moved {
        QString from, to;
    };
    Result<git_oid> unionTree(const git_tree *ours, const git_tree *theirs, QList<Moved> *moved);

    Failure failure(const QString &reason) const;

  private:
    explicit HistoryRepository(const QString &folder);
    Result<void> adopt(const HistoryAuthor &author, const QDateTime &now);
    Result<git_oid> unionTree(const git_tree *ours, const git_tree *theirs, const QString &prefix,
                              QList<Moved> *moved);

    Git::Library m_library;
    Git::Repository m_repo;
    QString m_folder;
};
