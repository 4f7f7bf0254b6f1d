#pragma once

#include "platform/Result.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

// The History folder on the disk: what stands under its name, and the entry
// files written into it. An entry file is written whole under a name that no
// file had before; an earlier file is never replaced.
namespace HistoryFolder
{

// The folder, made when it is missing. Anything else under its name (a file,
// a named pipe, a symbolic link) and a folder the program may not write to
// are refused, each with its own reason.
Result<void> prepare(const QString &folder);

// Writes bytes as a new file in dir named stem + ".kvr", or stem + " (n).kvr"
// for the first n from 2 whose name is free on the disk and for which
// taken(name) is false. Returns the name used.
Result<QString> writeNew(const QString &dir, const QString &stem, const QByteArray &bytes,
                         const std::function<bool(const QString &name)> &taken);

// Writes bytes under name in dir unless a file is there already (an entry
// that came from another computer). True when the file is there afterwards.
bool writeMissing(const QString &dir, const QString &name, const QByteArray &bytes);

// Writes each of files (a path below root, its bytes) that is not on the
// disk yet, as writeMissing() does one, but flushed together: every file
// written whole and the file system synced once before any takes its name.
// Whether each file is there afterwards.
std::vector<bool> writeMissing(const QString &root, const QList<std::pair<QString, QByteArray>> &files);

// Removes the temporary files that a write cut short left in dir
// ("<name>.kvr.<hex>.tmp" older than a minute).
void removeLeftovers(const QString &dir);

// Whether name is one of those temporary files.
bool isLeftover(const QString &name);

} // namespace HistoryFolder
