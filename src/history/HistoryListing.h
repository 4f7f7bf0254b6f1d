#pragma once

#include "history/GitObjects.h"
#include "history/HistoryFileCheck.h"
#include "history/HistoryListingIndex.h"
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
// entry's file. The file itself: HistoryListingIndex.
class HistoryListing
{
  public:
    using Item = HistoryListingItem;

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

    using FileState = HistoryFileCheck::FileState;
    // Whether the entries' files on the disk are still the ones kept (see
    // HistoryFileCheck::checkAll); a file stamped anew is saved with the index.
    std::vector<FileState> checkAll(const std::vector<qsizetype> &indexes)
    {
        bool restamped = false;
        std::vector<FileState> states = HistoryFileCheck::checkAll(m_folder, m_items, indexes, &restamped);
        m_dirty = m_dirty || restamped;
        return states;
    }

    // Writes the index when something changed since it was read.
    Result<void> saveIfChanged();
    Result<void> save() const;

    // Keeping one entry does not rewrite the index: when the index on the
    // disk ends at before, the entry and the new head go onto its end.
    // False when it ends elsewhere (it is then read again on the next load).
    bool append(const Item &item, const git_oid &before, const git_oid &after) const;
    QString indexPath() const;

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
