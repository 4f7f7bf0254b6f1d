#pragma once

#include <QString>

#include <memory>

class QLockFile;

// Keeps a second copy of the program from running: a lock file in the user's
// runtime directory, held for as long as this object lives. The lock names
// its holder (process number and program name); a lock that names no running
// process of this program (one that has died, an empty or garbled file) is
// stale and taken over, whatever its age.
class SingleInstance
{
  public:
    explicit SingleInstance(const QString &name = QStringLiteral("Tessaro"));
    ~SingleInstance();

    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // False only when another running copy of the program holds the lock.
    // When the lock cannot be used (a folder, a named pipe or a device under
    // its name, no rights in its folder), the program may run without it:
    // refusing to start would be worse than a second instance. problem() then
    // says why, for a message.
    bool acquire();

    bool held() const;
    // Why the lock could not be used by the last acquire(), in English
    // ("a named pipe, not a regular file"); empty when it could.
    QString problem() const { return m_problem; }
    QString lockPath() const { return m_path; }

    // The lock file for a name: "<name>.lock" in $XDG_RUNTIME_DIR, or
    // "<name>-<uid>.lock" in the temporary folder when there is none.
    static QString lockPathFor(const QString &name);

  private:
    bool heldByRunningCopy(const QByteArray &contents) const;

    QString m_path;
    QString m_problem;
    std::unique_ptr<QLockFile> m_lock;
};
