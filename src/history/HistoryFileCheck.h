#pragma once

#include "history/HistoryListingIndex.h"

#include <QString>

#include <vector>

// Whether the files of kept entries are still on the disk as they were kept.
namespace HistoryFileCheck
{

enum class FileState {
    Kept,    // the file is as it was kept
    Changed, // changed by hand since
    Missing, // not on the disk (removed by hand)
};

// Records the size and time of the entry's file under folder as they are now.
void stamp(const QString &folder, HistoryListingItem &item);
// The files of items[indexes[k]] under folder, in the order given (files of
// one folder together). A file whose size or time changed is compared with
// its blob, and stamped anew when equal (restamped then says so). A company's
// history has a hundred thousand, so the look-ups on the disk are shared
// between two threads.
std::vector<FileState> checkAll(const QString &folder, std::vector<HistoryListingItem> &items,
                                const std::vector<qsizetype> &indexes, bool *restamped = nullptr);

} // namespace HistoryFileCheck
