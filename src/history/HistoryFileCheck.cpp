#include "history/HistoryFileCheck.h"

#include <QFile>

#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <git2.h>

namespace HistoryFileCheck
{

void stamp(const QString &folder, HistoryListingItem &item)
{
    struct stat st {
    };
    const QByteArray path = QFile::encodeName(folder + u'/' + item.serial + u'/' + item.name);
    if (::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode)) {
        item.size = st.st_size;
        item.mtime = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    } else {
        item.size = -1;
        item.mtime = 0;
    }
}

namespace
{

// One folder kept open for the next look-up, mostly of the same serial number:
// each file is then found by its name alone.
struct OpenFolder {
    QString serial;
    int fd = -1;
    ~OpenFolder()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

std::vector<FileState> checkAll(const QString &folder, std::vector<HistoryListingItem> &items,
                                const std::vector<qsizetype> &indexes, bool *restampedAny)
{
    std::vector<FileState> states(indexes.size(), FileState::Missing);
    std::atomic<bool> restamped{false};
    const auto checkRange = [&](size_t from, size_t to) {
        OpenFolder open;
        for (size_t k = from; k < to; ++k) {
            HistoryListingItem &item = items[size_t(indexes[k])];
            if (open.fd < 0 || item.serial != open.serial) {
                if (open.fd >= 0)
                    ::close(open.fd);
                open.serial = item.serial;
                open.fd = ::open(QFile::encodeName(folder + u'/' + item.serial).constData(),
                                 O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            }
            struct stat st {
            };
            const QByteArray name = QFile::encodeName(item.name);
            if (open.fd < 0 || ::fstatat(open.fd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
                !S_ISREG(st.st_mode))
                continue; // missing
            const qint64 mtime = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
            if (st.st_size == item.size && mtime == item.mtime) {
                states[k] = FileState::Kept;
                continue;
            }
            const QByteArray native = QFile::encodeName(folder + u'/' + item.serial + u'/' + item.name);
            git_oid oid;
            if (git_odb_hashfile(&oid, native.constData(), GIT_OBJECT_BLOB) != 0 ||
                !git_oid_equal(&oid, &item.blob)) {
                states[k] = FileState::Changed;
                continue;
            }
            item.size = st.st_size;
            item.mtime = mtime;
            restamped = true;
            states[k] = FileState::Kept;
        }
    };
    // Each entry is looked at by one thread only; a few thousand are not
    // worth a second one.
    constexpr size_t Shared = 4096;
    if (indexes.size() < Shared) {
        checkRange(0, indexes.size());
    } else {
        const size_t half = indexes.size() / 2;
        std::thread other(checkRange, half, indexes.size());
        checkRange(0, half);
        other.join();
    }
    if (restampedAny)
        *restampedAny = restamped;
    return states;
}

} // namespace HistoryFileCheck
