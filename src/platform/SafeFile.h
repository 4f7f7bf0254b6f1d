#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <sys/types.h>

// Reading and replacing the files the program works with, whatever stands
// under their names. A language file, a settings file or Config.ini comes
// from other people and other machines; a named pipe, a device, a socket or
// a folder in its place must never hold the program in open() or read(),
// never feed it bytes without end, and never be replaced by a regular file.
// Only regular files (or symbolic links to them) are read, and only up to a
// limit that fits their kind; writers replace only regular files.
namespace SafeFile
{

// Each limit is many times the largest file of its kind the program makes
// or ships, and small enough that a stray huge file is refused before it is
// read into memory.
inline constexpr qint64 SettingsLimit = 64 * 1024;       // a .kvr file has 2250 bytes
inline constexpr qint64 IniLimit = 1024 * 1024;          // the history's notes: a line a kept file
inline constexpr qint64 LanguageLimit = 256 * 1024;      // a language file: under 10 KB
inline constexpr qint64 WavLimit = 64 * 1024 * 1024;     // a tone sample: a few seconds of sound
inline constexpr qint64 JsonLimit = 16 * 1024 * 1024;    // an exported parameter set: a few KB
inline constexpr qint64 CountersLimit = 64 * 1024;       // counter values: two short lines
inline constexpr qint64 TableLimit = 16 * 1024 * 1024;   // a table of settings files to make: a line each
inline constexpr qint64 LockLimit = 4096;                // the single-instance lock: four lines
inline constexpr qint64 PdfLimit = 256 * 1024 * 1024;    // a printout: a few pages of text
inline constexpr qint64 HelpPageLimit = 4 * 1024 * 1024; // a help page: about 12 KB of text
inline constexpr qint64 PictureLimit = 8 * 1024 * 1024;  // a help page's picture, the About logo: tens of KB

enum class Failure {
    None,
    BadName,    // an empty name
    Missing,    // no such file, or a folder on its way is missing
    NoAccess,   // the permissions do not allow it
    NotRegular, // a folder, named pipe, device, socket or a link to nothing
    TooLarge,   // more bytes than the limit of its kind
    IoError     // the system failed while reading or writing
};

struct Status {
    Failure failure = Failure::None;
    int error = 0;    // the system's error number, where there is one
    mode_t type = 0;  // NotRegular: what was found (S_IFDIR, S_IFIFO, S_IFLNK, ...)
    qint64 limit = 0; // TooLarge: the limit that was passed

    bool ok() const { return failure == Failure::None; }
    // Why the file was not used, in English, to follow the file's name in a
    // message: "a named pipe, not a regular file", "larger than 4 MiB".
    QString reason() const;
    // An error number for callers that report by error number: EACCES for a
    // file of the wrong kind or size (so "File access denied"), EISDIR for a
    // folder, the system's own number otherwise.
    int errorNumber() const;
};

struct Contents : Status {
    QByteArray bytes;
};

// The whole contents of a regular file (or of the regular file a symbolic
// link names), at most limit bytes. The file is opened without waiting (a
// named pipe with no writer does not block), its kind is checked before a
// byte is read, and reading stops past the limit even when the file grows.
Contents read(const QString &path, qint64 limit);

// Input a user hands a command-line tool by name, which may be a pipe
// ("<(printf ...)", /dev/stdin) as well as a file: a regular file as read()
// takes it, or a pipe, named pipe or character device read to its end. A
// named pipe that no one writes to reads as empty at once; a device that
// never ends (/dev/zero) is cut off past the limit (TooLarge). Folders and
// sockets are refused.
Contents readInput(const QString &path, qint64 limit);

// A file the program shows from its own folder (a help page's picture, the
// About box's logo), named relative to the folder or by an absolute path:
// read as read() does, and only when, with every symbolic link followed, it
// lies inside folder. A name that leads out of the folder ("../x.png", an
// absolute path elsewhere, a link to another file) is refused (NoAccess)
// before anything is opened.
Contents readInFolder(const QString &folder, const QString &name, qint64 limit);

// What stands under a name, without opening it: ok() for a regular file or
// a link to one.
Status check(const QString &path);

// "a named pipe", "a character device", "a folder", ... for a file type.
QString kindName(mode_t type);

// The file a writer replaces when it is asked to write to path: a symbolic
// link is followed to the regular file it names (so the file is replaced
// and the link stays), a name that does not exist is the new file. Anything
// else that exists there is refused (NotRegular), and so is a name whose
// folder is missing (Missing).
struct Target : Status {
    QString path;        // absolute
    bool exists = false; // an existing regular file
    mode_t mode = 0;     // its permission bits
};
Target writeTarget(const QString &path);

// A new file beside a target that replaces the target in one step once it
// is complete: created empty (with the target's permissions when it exists),
// written through fd() or by name, then commit() flushes it to the disk and
// renames it over the target. Until then the target is untouched, and a
// replacement that is not committed is removed with this object.
class Replacement
{
  public:
    explicit Replacement(const QString &path);
    ~Replacement();
    Replacement(const Replacement &) = delete;
    Replacement &operator=(const Replacement &) = delete;

    // The refusal of the target or the failure to create the new file; the
    // failure of commit() after it.
    const Status &status() const { return m_status; }
    const Target &target() const { return m_target; }
    int fd() const { return m_fd; }
    QString temporaryPath() const;

    // Flushes the new file, closes it and renames it over the target. False
    // (with status() set) when any of that failed; the target is then as it
    // was.
    bool commit();
    // Closes the new file without flushing it and hands it over (its path;
    // empty when there is none or the close failed, with status() set):
    // replaceAll() flushes many at once.
    QString release();

  private:
    Target m_target;
    Status m_status;
    QByteArray m_temporary;
    int m_fd = -1;
    bool m_committed = false;
};

// Replaces path's file with bytes through a Replacement.
Status replace(const QString &path, const QByteArray &bytes);

// Replaces many files, each as replace() does one, but flushed together:
// every new file is written whole and the file system synced once before
// any is renamed over its target (a thousand files take a moment, not a
// thousand flushes). The status of the first that failed, its index in
// *failedAt (-1 when none): new files not yet renamed are removed, those
// renamed before stay.
Status replaceAll(const QList<std::pair<QString, QByteArray>> &files, qsizetype *failedAt);

} // namespace SafeFile
