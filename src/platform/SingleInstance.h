#pragma once

#include <QString>

#include <memory>

class QLockFile;

// Keeps a second copy of the program from running: a lock file in the user's
// runtime directory, held for as long as this object lives. A lock left by a
// process that has died is taken over.
class SingleInstance
{
  public:
    explicit SingleInstance(const QString &name = QStringLiteral("Tessaro"));
    ~SingleInstance();

    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // False only when another living process holds the lock. When the lock
    // cannot be made at all (no writable runtime directory), the program may
    // run: refusing to start would be worse than a second instance.
    bool acquire();

    bool held() const;
    QString lockPath() const { return m_path; }

    // The lock file for a name: "<name>.lock" in $XDG_RUNTIME_DIR, or
    // "<name>-<uid>.lock" in the temporary folder when there is none.
    static QString lockPathFor(const QString &name);

  private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};
