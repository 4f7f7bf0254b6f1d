#pragma once

#include "platform/Result.h"

#include <QByteArray>
#include <QString>

#include <git2/oid.h>

#include <optional>
#include <vector>

// What the listing shows of one entry (see HistoryListing).
struct HistoryListingItem {
    QString serial; // the folder
    QString name;   // the file's name
    git_oid blob{};
    QString firmware;
    QString technician;
    QString mail;
    qint64 size = -1; // on the disk when last seen matching the blob
    qint64 mtime = 0; // nanoseconds
    QString path() const { return serial + u'/' + name; }
};

// The listing index's file. It is binary and read in one go: a table of the texts that repeat
// (serial numbers, firmware versions, technicians) and the entries naming
// them by number. Each stretch ends with the commit it brings the index to
// and a checksum of the stretch; a stretch whose checksum fails, and
// everything after it, is not trusted (the repository is read again).
namespace HistoryListingIndex
{

struct Contents {
    std::vector<HistoryListingItem> items; // those of the trusted stretches
    std::optional<git_oid> head;           // none: no trusted stretch
};
// Reads the index; given a serial number (a folder's name), only its entries.
Contents read(const QString &path, const QString &only = QString());
// The whole index for the entries, describing the commit head.
QByteArray encode(const std::vector<HistoryListingItem> &items, const git_oid &head);
// When the index at path ends at before, puts the entry and the new head
// after onto its end. False when it ends elsewhere.
bool append(const QString &path, const HistoryListingItem &item, const git_oid &before, const git_oid &after);
// Writes a file that only speeds things up (this index, the fleet's rows) in
// one step but without waiting for the disk: one cut short by a power cut
// fails its check and is made again.
Result<void> writeCache(const QString &path, const QByteArray &bytes);

} // namespace HistoryListingIndex
