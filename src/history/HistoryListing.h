#pragma once

#include "history/GitObjects.h"
#include "platform/Result.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <optional>
#include <vector>

class HistoryRepository;

// The listing index kept beside the repository (History/.git/tessaro-listing):
// per entry what the listing shows of it — the file's name, its firmware
// and technician from the commit that added it, its blob, and the size and
// time of the file on the disk when it was last seen matching the blob. It
// names the commit it describes; when the repository has moved on (an
// entry kept by another process, entries merged from the company's
// repository), only what changed between that commit's tree and the
// newest one is read, with the commits since. Listing never opens an
// entry's file.
//
// The index is binary and read in one go: a table of the texts that repeat
// (serial numbers, firmware versions, technicians) and the entries naming
// them by number. Each stretch ends with the commit it brings the index to
// and a checksum of the stretch; a stretch whose checksum fails, and
// everything after it, is not trusted (the repository is read again).
class HistoryListing
{
  public:
    struct Item {
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

    explicit HistoryListing(const QString &folder);
    ~HistoryListing();
    HistoryListing(const HistoryListing &) = delete;
    HistoryListing &operator=(const HistoryListing &) = delete;

    // Reads the index and brings it to the repository's newest commit,
    // writing files that the repository holds but the disk does not (entries
    // merged from elsewhere, a share cut short). Saved when it changed.
    // Given a serial number (a folder's name), only its entries are kept in
    // items(); such a listing is never saved.
    Result<void> load(HistoryRepository &repo, const QString &only = QString());

    const std::vector<Item> &items() const { return m_items; }
    const Item *find(const QString &path) const;
    // Adds or replaces the entry; head: the commit the index now describes.
    void put(const Item &item);
    void setHead(const git_oid &head) { m_head = head; }
    // Records the file's size and time on the disk as they are now.
    void stamp(Item &item) const;
    static void stamp(const QString &folder, Item &item);

    enum class FileState { Kept, Changed, Missing };
    // Whether the file on the disk is still the one kept; a file whose size
    // or time changed is compared with its blob (and stamped anew when equal).
    FileState check(qsizetype index);
    // The same for many entries, in the order given (files of one folder
    // together): a company's history has a hundred thousand, so the look-ups
    // on the disk are shared between two threads.
    std::vector<FileState> checkAll(const std::vector<qsizetype> &indexes);

    // Writes the index when something changed since it was read.
    Result<void> saveIfChanged();
    Result<void> save() const;

    // Keeping one entry does not rewrite the index: when the index on the
    // disk ends at before, the entry and the new head go onto its end.
    // False when it ends elsewhere (it is then read again on the next load).
    bool append(const Item &item, const git_oid &before, const git_oid &after) const;
    QString indexPath() const;

    // Writes a file that only speeds things up (this index, the fleet's
    // rows) in one step but without waiting for the disk: one cut short by
    // a power cut fails its check and is made again.
    static Result<void> writeCache(const QString &path, const QByteArray &bytes);

  private:
    bool read(const QString &only);
    Result<void> update(HistoryRepository &repo, const git_oid &to);
    // The entries by path, made when first needed: most listings never ask.
    QHash<QString, qsizetype> &byPath() const;
    void removePaths(const QSet<QString> &paths);

    QString m_folder;
    std::optional<git_oid> m_head;
    std::vector<Item> m_items;
    mutable QHash<QString, qsizetype> m_byPath;
    mutable bool m_byPathMade = false;
    bool m_dirty = false;
    bool m_partial = false; // items() holds one serial number's entries
};
