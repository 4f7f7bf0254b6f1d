#pragma once

#include "history/Fleet.h"

#include <git2.h>

#include <QHash>
#include <QString>

#include <optional>
#include <vector>

// The fleet's rows as they were last made, kept beside the repository
// (History/.git/tessaro-fleet) with the commit they describe: while the
// repository has not moved on, listing the fleet reads this one file
// instead of the listing index and every latest settings file. When it has,
// the rows are made anew and only the latest settings files that changed
// are read.
namespace FleetCache
{

QString path(const QString &historyFolder);

struct Contents {
    git_oid head{};
    std::vector<Fleet::Row> rows;
    // The latest settings of each serial number by its latest file, for
    // the rows that are made anew.
    QHash<QString, const Fleet::Row *> bySerial() const;
};

// The rows kept; nothing when there are none or they cannot be read.
std::optional<Contents> read(const QString &historyFolder);
// Keeps the rows as those of head; false when the file cannot be written
// (the next listing makes them again).
bool write(const QString &historyFolder, const git_oid &head, const std::vector<Fleet::Row> &rows);

} // namespace FleetCache
