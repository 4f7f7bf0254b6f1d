#pragma once

#include <git2.h>

#include <QString>

#include <memory>

// libgit2's objects, each freed by its own function when it goes out of scope.
namespace Git
{

template <typename T, void (*Free)(T *)> struct Deleter {
    void operator()(T *p) const { Free(p); }
};
template <typename T, void (*Free)(T *)> using Handle = std::unique_ptr<T, Deleter<T, Free>>;

using Repository = Handle<git_repository, git_repository_free>;
using Commit = Handle<git_commit, git_commit_free>;
using Tree = Handle<git_tree, git_tree_free>;
using TreeEntry = Handle<git_tree_entry, git_tree_entry_free>;
using TreeBuilder = Handle<git_treebuilder, git_treebuilder_free>;
using Blob = Handle<git_blob, git_blob_free>;
using Signature = Handle<git_signature, git_signature_free>;
using Reference = Handle<git_reference, git_reference_free>;
using RevWalk = Handle<git_revwalk, git_revwalk_free>;
using Remote = Handle<git_remote, git_remote_free>;
using Diff = Handle<git_diff, git_diff_free>;
using Odb = Handle<git_odb, git_odb_free>;
using Config = Handle<git_config, git_config_free>;

// libgit2 set up once for the process (its global state is reference
// counted: every user holds one of these).
class Library
{
  public:
    Library() { git_libgit2_init(); }
    ~Library() { git_libgit2_shutdown(); }
    Library(const Library &) = delete;
    Library &operator=(const Library &) = delete;
};

// The last error libgit2 reported on this thread, or fallback.
inline QString lastError(const QString &fallback = QStringLiteral("unknown failure"))
{
    const git_error *e = git_error_last();
    return e && e->message && *e->message ? QString::fromUtf8(e->message) : fallback;
}

inline QString toHex(const git_oid &oid)
{
    char text[GIT_OID_HEXSZ + 1];
    git_oid_tostr(text, sizeof text, &oid);
    return QString::fromLatin1(text);
}

} // namespace Git
