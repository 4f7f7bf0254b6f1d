#include "history/DeviceHistory.h"

#include "history/HistoryFolder.h"
#include "history/HistoryListing.h"
#include "history/HistoryRepository.h"
#include "history/HistoryShare.h"
#include "history/ShareWatchdog.h"
#include "platform/ProgramConfig.h"
#include "platform/SafeFile.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace
{
const QString Unknown = QStringLiteral("unknown");
const QString TimeFormat = QStringLiteral("yyyy-MM-dd HH-mm-ss");
std::atomic<int> runningShares{0};

// A share's outcome, held by the caller and by its thread, which may outlive
// the caller's wait.
struct ShareRun {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::atomic<bool> cancel{false};
    Result<void> result;
};

bool digits(const QString &s, qsizetype from, qsizetype count)
{
    for (qsizetype i = from; i < from + count; ++i)
        if (s[i] < u'0' || s[i] > u'9')
            return false;
    return true;
}

// Serial numbers in number order, names that are not numbers after them,
// "unknown" last.
bool serialBefore(const QString &a, const QString &b)
{
    if ((a == Unknown) != (b == Unknown))
        return b == Unknown;
    bool na = false, nb = false;
    const qulonglong x = a.toULongLong(&na), y = b.toULongLong(&nb);
    if (na && nb)
        return x != y ? x < y : a < b;
    return na != nb ? na : a < b;
}
} // namespace

DeviceHistory::Options DeviceHistory::optionsOf(const QString &programFolder)
{
    const ProgramConfig::Values config = ProgramConfig::read(ProgramConfig::path(programFolder));
    return {config.technician, config.mail, config.remote};
}

DeviceHistory::DeviceHistory(const QString &programFolder, const Options &options)
    : m_programFolder(programFolder), m_options(options),
      m_author(HistoryAuthor::resolve(options.technician, options.mail))
{
}

QString DeviceHistory::folder() const
{
    return QDir(m_programFolder).filePath(QStringLiteral("History"));
}

QString DeviceHistory::folderName(const QString &serialNumber)
{
    QString name;
    for (const QChar c : serialNumber)
        if ((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))
            name += c;
    return name.isEmpty() ? Unknown : name.left(32);
}

bool DeviceHistory::parseName(const QString &name, QString *stamp, Event *event, int *number)
{
    // "2026-12-08 10-15-02 before write (2).kvr"
    if (name.size() < 25 || !name.endsWith(QLatin1String(".kvr")) || !digits(name, 0, 4) || name[4] != u'-' ||
        !digits(name, 5, 2) || name[7] != u'-' || !digits(name, 8, 2) || name[10] != u' ' ||
        !digits(name, 11, 2) || name[13] != u'-' || !digits(name, 14, 2) || name[16] != u'-' ||
        !digits(name, 17, 2) || name[19] != u' ')
        return false;
    QStringView rest = QStringView(name).sliced(20).chopped(4);
    int n = 1;
    if (rest.endsWith(u')')) {
        const qsizetype open = rest.lastIndexOf(QLatin1String(" ("));
        if (open < 0)
            return false;
        bool ok = false;
        n = rest.sliced(open + 2, rest.size() - open - 3).toInt(&ok);
        if (!ok || n < 1)
            return false;
        rest = rest.first(open);
    }
    Event e;
    if (rest == QLatin1String("read"))
        e = Event::Read;
    else if (rest == QLatin1String("before write"))
        e = Event::BeforeWrite;
    else if (rest == QLatin1String("written"))
        e = Event::Written;
    else if (rest == QLatin1String("read back"))
        e = Event::ReadBack;
    else
        return false;
    if (stamp)
        *stamp = name.first(19);
    if (event)
        *event = e;
    if (number)
        *number = n;
    return true;
}

QDateTime DeviceHistory::Entry::when() const
{
    return QDateTime::fromString(stamp, TimeFormat);
}

bool DeviceHistory::holds(const QString &path) const
{
    const QString root = QFileInfo(folder()).canonicalFilePath();
    const QString file = QFileInfo(path).canonicalFilePath();
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const QString plainRoot = QFileInfo(folder()).absoluteFilePath();
    const auto inside = [](const QString &f, const QString &r) {
        return !r.isEmpty() && !f.isEmpty() && f.startsWith(r + u'/');
    };
    return inside(file, root) || inside(absolute, plainRoot);
}

Result<QString> DeviceHistory::keep(const SettingsRecord &record, const QString &serialNumber,
                                    const QString &firmware, Event event, const QString &notes)
{
    const QString root = folder();
    if (Result<void> ready = HistoryFolder::prepare(root); !ready)
        return ready.failure();
    const QDateTime now = clock();
    Result<std::unique_ptr<HistoryRepository>> opened = HistoryRepository::open(root, m_author, now);
    if (!opened)
        return opened.failure();
    HistoryRepository &repo = *opened.value();
    const Result<std::unique_ptr<QLockFile>> lock = repo.lock();
    if (!lock)
        return lock.failure();

    const QString serial = folderName(serialNumber);
    const QString dir = QDir(root).filePath(serial);
    HistoryFolder::removeLeftovers(dir);
    const QByteArray bytes = SettingsFile::encode(record);
    const QString stem = now.toString(TimeFormat) + u' ' + eventName(event);
    // A name that the repository holds stays taken even when its file was
    // removed from the disk.
    const Result<QString> name = HistoryFolder::writeNew(
        dir, stem, bytes, [&](const QString &candidate) { return repo.contains(serial + u'/' + candidate); });
    if (!name)
        return name.failure();
    const QString path = serial + u'/' + name.value();
    const Result<git_oid> blob = repo.writeBlob(bytes);
    if (!blob)
        return blob.failure();

    QString message = firmware.isEmpty()
                          ? QStringLiteral("%1: %2\n").arg(serial, eventName(event))
                          : QStringLiteral("%1: %2, firmware %3\n").arg(serial, eventName(event), firmware);
    if (!notes.trimmed().isEmpty())
        message += u'\n' + notes.trimmed() + u'\n';
    message += u'\n' + HistoryRepository::trailers({HistoryRepository::Note{path, firmware, std::nullopt}});
    const std::optional<git_oid> before = repo.head();
    const Result<git_oid> commit = repo.commitFile(path, blob.value(), m_author, now, message);
    if (!commit)
        return commit.failure();

    HistoryListing::Item item;
    item.serial = serial;
    item.name = name.value();
    item.blob = blob.value();
    item.firmware = firmware;
    item.technician = m_author.name;
    item.mail = m_author.mail;
    HistoryFileCheck::stamp(root, item);
    // The listing grows by one entry. When it does not describe the commit
    // before this one (entries came from elsewhere since it was last
    // read), the next listing catches up with them and this one together:
    // a write does not wait for that.
    HistoryListing listing(root);
    if (!before)
        (void)listing.load(repo); // the first entry: the index is made
    else
        (void)listing.append(item, *before, commit.value());
    return QDir(root).filePath(path);
}

Result<QList<DeviceHistory::Entry>> DeviceHistory::list(const QString &serialNumber)
{
    QList<Entry> out;
    const QString root = folder();
    if (!QFileInfo::exists(root) && !QFileInfo(root).isSymLink())
        return out; // nothing kept yet
    if (Result<void> ready = HistoryFolder::prepare(root); !ready)
        return ready.failure();
    Result<std::unique_ptr<HistoryRepository>> opened = HistoryRepository::open(root, m_author, clock());
    if (!opened)
        return opened.failure();
    HistoryRepository &repo = *opened.value();
    const Result<std::unique_ptr<QLockFile>> lock = repo.lock();
    if (!lock)
        return lock.failure();
    const QString only = serialNumber.isEmpty() ? QString() : folderName(serialNumber);
    HistoryListing listing(root);
    if (Result<void> loaded = listing.load(repo, only); !loaded)
        return loaded.failure();

    const std::vector<HistoryListing::Item> &items = listing.items();
    // Each serial number's place is worked out once, not in every
    // comparison of the sort; the entries come grouped, so the one before
    // is the usual answer.
    QHash<QString, int> groupOf;
    std::vector<QString> serials;
    struct Sorted {
        qsizetype index;
        int group;
        Event event;
        int number;
    };
    std::vector<Sorted> chosen;
    chosen.reserve(items.size());
    const QString *lastSerial = nullptr;
    int lastGroup = -1;
    for (size_t i = 0; i < items.size(); ++i) {
        const HistoryListing::Item &item = items[i];
        if (!only.isEmpty() && item.serial != only)
            continue;
        Sorted s{qsizetype(i), 0, Event::Read, 1};
        if (!parseName(item.name, nullptr, &s.event, &s.number))
            continue;
        if (!lastSerial || item.serial != *lastSerial) {
            auto known = groupOf.constFind(item.serial);
            if (known == groupOf.constEnd()) {
                known = groupOf.insert(item.serial, int(serials.size()));
                serials.push_back(item.serial);
            }
            lastSerial = &item.serial;
            lastGroup = *known;
        }
        s.group = lastGroup;
        chosen.push_back(s);
    }
    std::vector<int> order(serials.size());
    for (size_t g = 0; g < order.size(); ++g)
        order[g] = int(g);
    std::sort(order.begin(), order.end(),
              [&](int a, int b) { return serialBefore(serials[size_t(a)], serials[size_t(b)]); });
    std::vector<int> rank(serials.size());
    for (size_t r = 0; r < order.size(); ++r)
        rank[size_t(order[r])] = int(r);
    // Newest first; within one second, a write's later steps first, and a
    // later number first.
    std::sort(chosen.begin(), chosen.end(), [&](const Sorted &x, const Sorted &y) {
        if (x.group != y.group)
            return rank[size_t(x.group)] < rank[size_t(y.group)];
        const int stamps = QStringView(items[size_t(x.index)].name)
                               .first(19)
                               .compare(QStringView(items[size_t(y.index)].name).first(19));
        if (stamps != 0)
            return stamps > 0;
        if (x.event != y.event)
            return int(x.event) > int(y.event);
        return x.number > y.number;
    });
    // In this order the files of one folder are looked at together.
    std::vector<qsizetype> looked;
    looked.reserve(chosen.size());
    for (const Sorted &s : chosen)
        looked.push_back(s.index);
    const std::vector<HistoryListing::FileState> states = listing.checkAll(looked);
    out.reserve(qsizetype(chosen.size()));
    for (size_t k = 0; k < chosen.size(); ++k) {
        const Sorted &s = chosen[k];
        const HistoryListing::Item &item = items[size_t(s.index)];
        Entry e;
        e.serialNumber = item.serial;
        e.stamp = item.name.first(19);
        e.event = s.event;
        e.firmware = item.firmware;
        e.technician = item.technician;
        e.path = root + u'/' + item.serial + u'/' + item.name;
        e.state = states[k];
        out.append(std::move(e));
    }
    (void)listing.saveIfChanged();
    return out;
}

QList<DeviceHistory::Entry> DeviceHistory::entries(const QString &serialNumber)
{
    Result<QList<Entry>> listed = list(serialNumber);
    return listed ? std::move(listed).value() : QList<Entry>();
}

bool DeviceHistory::shareStillRunning()
{
    return runningShares.load() > 0;
}

Result<void> DeviceHistory::share(const std::atomic<bool> *callOff)
{
    const QString statusFile = QDir(folder()).filePath(QStringLiteral(".git/tessaro-share"));
    const auto remember = [&](const Result<void> &r) {
        if (QFileInfo(QDir(folder()).filePath(QStringLiteral(".git"))).isDir())
            (void)SafeFile::replace(statusFile, r ? QByteArray() : r.failure().text().toUtf8());
        return r;
    };
    if (m_options.remote.isEmpty())
        return Failure{Failure::Kind::Share, QString(),
                       QStringLiteral("no remote is set ([History] Remote= in Config.ini)")};
    if (shareStillRunning())
        return remember(Failure{Failure::Kind::Share, m_options.remote,
                                QStringLiteral("the last share still waits for an answer")});
    const HistoryShare::Job job{m_programFolder, folder(), m_options.remote, m_author, clock()};
    auto run = std::make_shared<ShareRun>();
    const ShareWatchdog watchdog;
    ++runningShares;
    std::thread([job, run] {
        Result<void> r = HistoryShare::run(job, run->cancel);
        {
            const std::lock_guard<std::mutex> guard(run->mutex);
            run->result = std::move(r);
            run->finished = true;
            // Before the caller can see the result: a share started right
            // after it must not find this one still running.
            --runningShares;
        }
        run->done.notify_all();
    }).detach();
    std::unique_lock<std::mutex> lock(run->mutex);
    // In short steps, so that a clock moved on from outside is seen, and a
    // caller that goes away (a window closing) is not kept for the whole
    // cut-off.
    const auto calledOff = [&] { return callOff && callOff->load(); };
    const auto deadline = shareClock() + std::chrono::milliseconds(ShareTimeoutMs);
    for (auto left = deadline - shareClock(); !run->finished && !calledOff() && left.count() > 0;
         left = deadline - shareClock())
        run->done.wait_for(
            lock, std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(50)));
    if (!run->finished) {
        // Called off: the transfer's callbacks end it, the watchdog ends a
        // read that waits for a server that never answers.
        run->cancel = true;
        watchdog.fire();
        const bool ended =
            run->done.wait_for(lock, std::chrono::milliseconds(500), [&] { return run->finished; });
        if (calledOff())
            return Failure{Failure::Kind::Share, m_options.remote, QStringLiteral("called off")};
        if (!ended)
            return remember(Failure{Failure::Kind::Share, m_options.remote,
                                    QStringLiteral("no answer within %1 s").arg(ShareTimeoutMs / 1000)});
    }
    return remember(run->result);
}

DeviceHistory::ShareStatus DeviceHistory::shareStatus() const
{
    ShareStatus status;
    status.unshared = HistoryShare::unshared(folder());
    const SafeFile::Contents last =
        SafeFile::read(QDir(folder()).filePath(QStringLiteral(".git/tessaro-share")), 64 * 1024);
    if (last.ok())
        status.lastFailure = QString::fromUtf8(last.bytes).trimmed();
    return status;
}
