#include "history/FleetHistory.h"

#include "history/DeviceHistory.h"
#include "history/FleetCache.h"
#include "history/HistoryFolder.h"
#include "history/HistoryListing.h"
#include "history/HistoryRepository.h"
#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QSet>

#include <algorithm>
#include <iterator>

namespace FleetHistory
{

namespace
{
const QString TimeFormat = QStringLiteral("yyyy-MM-dd HH-mm-ss");
const QString SiteSuffix = QStringLiteral(" site.txt");
// A site is a line of text; anything longer is not one.
constexpr qint64 SiteLimit = 4096;

QString siteText(const QString &path)
{
    const SafeFile::Contents file = SafeFile::read(path, SiteLimit);
    return file.ok() ? QString::fromUtf8(file.bytes).trimmed() : QString();
}
} // namespace

bool parseSiteName(const QString &name, QString *stamp, int *number)
{
    // "2026-12-08 10-15-02 site.txt", "2026-12-08 10-15-02 site (2).txt"
    if (name.size() < 28 || !name.endsWith(QLatin1String(".txt")))
        return false;
    const QString when = name.left(19);
    if (!QDateTime::fromString(when, TimeFormat).isValid())
        return false;
    const QStringView rest = QStringView(name).sliced(19).chopped(4);
    int n = 1;
    if (rest != QLatin1String(" site")) {
        bool ok = false;
        if (rest.startsWith(QLatin1String(" site (")) && rest.endsWith(u')'))
            n = rest.sliced(7).chopped(1).toInt(&ok);
        if (!ok || n < 2)
            return false;
    }
    if (stamp)
        *stamp = when;
    if (number)
        *number = n;
    return true;
}

namespace
{

// The history's repository, held for one task under the lock its keeping
// and listing take.
struct Opened {
    std::unique_ptr<HistoryRepository> repo;
    std::unique_ptr<QLockFile> lock;
};

Result<Opened> open(DeviceHistory &history)
{
    const QString root = history.folder();
    if (Result<void> ready = HistoryFolder::prepare(root); !ready)
        return ready.failure();
    Result<std::unique_ptr<HistoryRepository>> opened =
        HistoryRepository::open(root, history.author(), history.clock());
    if (!opened)
        return opened.failure();
    Opened o{std::move(opened).value(), nullptr};
    Result<std::unique_ptr<QLockFile>> lock = o.repo->lock();
    if (!lock)
        return lock.failure();
    o.lock = std::move(lock).value();
    return o;
}

// The entries and the newest site of each serial number (of only one, or
// of those among a set, when given) as the listing holds them, the listing
// first brought up to date.
Result<void> collect(HistoryRepository &repo, const QString &only, std::vector<Fleet::Entry> *entries,
                     QList<Fleet::Site> *sites, const QSet<QString> *among = nullptr)
{
    const QString root = repo.folder();
    HistoryListing listing(root);
    if (Result<void> loaded = listing.load(repo, only); !loaded)
        return loaded.failure();

    if (entries)
        entries->reserve(among ? size_t(among->size()) * 16 : listing.items().size());
    QHash<QString, Fleet::Site> newest; // the text: the file, read once chosen
    // The same few texts stand in many entries: one copy each. The index's
    // reader shares them already; a text that is the very one of the entry
    // before is not looked up again.
    QSet<QString> texts;
    struct Last {
        const QChar *data = nullptr;
        QString text;
    } lastOf[3];
    const auto shared = [&](const QString &text, Last &last) {
        if (text.constData() != last.data) {
            last.text = *texts.insert(text);
            last.data = text.constData();
        }
        return last.text;
    };
    // The entries come grouped by serial number: the answer for the entry
    // before is the usual one.
    const QString *lastSerial = nullptr;
    bool lastAmong = true;
    for (const HistoryListing::Item &item : listing.items()) {
        if (!only.isEmpty() && item.serial != only)
            continue;
        if (among) {
            if (!lastSerial || item.serial != *lastSerial) {
                lastSerial = &item.serial;
                lastAmong = among->contains(item.serial);
            }
            if (!lastAmong)
                continue;
        }
        const QString path = root + u'/' + item.serial + u'/' + item.name;
        Fleet::Entry e;
        if (DeviceHistory::parseName(item.name, &e.stamp, &e.event, &e.number)) {
            if (entries) {
                e.serial = shared(item.serial, lastOf[0]);
                e.firmware = shared(item.firmware, lastOf[1]);
                e.technician = shared(item.technician, lastOf[2]);
                e.path = path;
                entries->push_back(std::move(e));
            }
            continue;
        }
        Fleet::Site site{item.serial, QString(), 1, path};
        if (parseSiteName(item.name, &site.stamp, &site.number)) {
            const auto known = newest.constFind(item.serial);
            if (known == newest.constEnd() || site.stamp > known->stamp ||
                (site.stamp == known->stamp && site.number > known->number))
                newest.insert(item.serial, site);
        }
    }
    for (Fleet::Site &s : newest) {
        s.text = siteText(s.text);
        sites->append(s);
    }
    return {};
}

// The serial numbers whose folders differ between two commits' trees;
// nothing when the older one cannot be read.
std::optional<QSet<QString>> changedFolders(HistoryRepository &repo, const git_oid &from, const git_oid &to)
{
    const Git::Tree before = repo.treeOf(from);
    const Git::Tree after = repo.treeOf(to);
    if (!before || !after)
        return std::nullopt;
    QSet<QString> changed;
    for (const auto &[one, other] : {std::pair{after.get(), before.get()}, std::pair{before.get(), after.get()}}) {
        const size_t count = git_tree_entrycount(one);
        for (size_t i = 0; i < count; ++i) {
            const git_tree_entry *e = git_tree_entry_byindex(one, i);
            const git_tree_entry *there = git_tree_entry_byname(other, git_tree_entry_name(e));
            if (!there || !git_oid_equal(git_tree_entry_id(e), git_tree_entry_id(there)))
                changed.insert(QString::fromUtf8(git_tree_entry_name(e)));
        }
    }
    return changed;
}

bool absent(const QString &root)
{
    return !QFileInfo::exists(root) && !QFileInfo(root).isSymLink();
}
} // namespace

Result<Fleet::List> load(DeviceHistory &history, Detail detail)
{
    const QString root = history.folder();
    if (absent(root))
        return Fleet::List(); // nothing kept yet
    Result<Opened> opened = open(history);
    if (!opened)
        return opened.failure();
    HistoryRepository &repo = *opened->repo;
    const std::optional<git_oid> head = repo.head();
    if (!head)
        return Fleet::List();
    std::optional<FleetCache::Contents> cache = FleetCache::read(root);
    if (detail == Detail::Rows && cache && git_oid_equal(&cache->head, &*head)) {
        Fleet::List list;
        list.rows = std::move(cache->rows);
        return list;
    }
    // Rows alone, made before for an older commit: only the serial numbers
    // whose folders changed since are made anew.
    std::optional<QSet<QString>> changed;
    if (detail == Detail::Rows && cache)
        changed = changedFolders(repo, cache->head, *head);
    std::vector<Fleet::Entry> entries;
    QList<Fleet::Site> sites;
    if (Result<void> collected = collect(repo, QString(), &entries, &sites, changed ? &*changed : nullptr);
        !collected)
        return collected.failure();
    // The latest settings of a serial number whose latest file is the same
    // as when the rows were last made are not read again.
    const QHash<QString, const Fleet::Row *> known =
        cache ? cache->bySerial() : QHash<QString, const Fleet::Row *>();
    Fleet::List list = Fleet::make(std::move(entries), sites, [&](const Fleet::Row &row) {
        const Fleet::Row *before = known.value(row.serial);
        return before && before->latest == row.latest && !before->values.isEmpty() ? before->values
                                                                                   : Fleet::readValues(row);
    });
    if (changed) {
        // The rows that stand, and those made anew, in serial-number order.
        std::vector<Fleet::Row> kept;
        kept.reserve(cache->rows.size());
        for (Fleet::Row &row : cache->rows)
            if (!changed->contains(row.serial))
                kept.push_back(std::move(row));
        std::vector<Fleet::Row> rows;
        rows.reserve(kept.size() + list.rows.size());
        std::merge(std::make_move_iterator(kept.begin()), std::make_move_iterator(kept.end()),
                   std::make_move_iterator(list.rows.begin()), std::make_move_iterator(list.rows.end()),
                   std::back_inserter(rows),
                   [](const Fleet::Row &a, const Fleet::Row &b) { return Fleet::serialBefore(a.serial, b.serial); });
        list.rows = std::move(rows);
        list.entries.clear(); // rows alone: the entries of only some would mislead
        for (Fleet::Row &row : list.rows)
            row.first = 0;
    }
    (void)FleetCache::write(root, *head, list.rows);
    return list;
}

Result<QString> site(DeviceHistory &history, const QString &serialNumber)
{
    const QString root = history.folder();
    if (absent(root))
        return QString();
    Result<Opened> opened = open(history);
    if (!opened)
        return opened.failure();
    QList<Fleet::Site> sites;
    if (Result<void> collected =
            collect(*opened->repo, DeviceHistory::folderName(serialNumber), nullptr, &sites);
        !collected)
        return collected.failure();
    return sites.isEmpty() ? QString() : sites.first().text;
}

Result<QString> setSite(DeviceHistory &history, const QString &serialNumber, const QString &text)
{
    Result<Opened> opened = open(history);
    if (!opened)
        return opened.failure();
    HistoryRepository &repo = *opened->repo;
    const QString root = history.folder();
    const QString serial = DeviceHistory::folderName(serialNumber);
    const QString dir = QDir(root).filePath(serial);
    if (!QDir().mkpath(dir))
        return Failure{Failure::Kind::History, dir, QStringLiteral("the folder cannot be made")};
    const QDateTime now = history.clock();
    const QString stem = now.toString(TimeFormat) + QStringLiteral(" site");
    const QByteArray bytes = text.simplified().toUtf8() + '\n';
    // A name that the repository holds stays taken even when its file was
    // removed from the disk; no file is ever written over.
    QString name;
    for (int n = 1; name.isEmpty(); ++n) {
        const QString candidate =
            n == 1 ? stem + QStringLiteral(".txt") : QStringLiteral("%1 (%2).txt").arg(stem).arg(n);
        if (repo.contains(serial + u'/' + candidate))
            continue;
        QFile file(QDir(dir).filePath(candidate));
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (file.write(bytes) != bytes.size() || !file.flush()) {
                file.remove();
                return Failure{Failure::Kind::History, file.fileName(), file.errorString()};
            }
            name = candidate;
        } else if (!file.exists() || n > 1000) {
            return Failure{Failure::Kind::History, file.fileName(), file.errorString()};
        }
    }
    const QString path = serial + u'/' + name;
    const Result<git_oid> blob = repo.writeBlob(bytes);
    if (!blob)
        return blob.failure();
    const QString message =
        QStringLiteral("%1: site\n\n%2\n\n").arg(serial, text.simplified()) +
        HistoryRepository::trailers({HistoryRepository::Note{path, QString(), std::nullopt}});
    const std::optional<git_oid> before = repo.head();
    const Result<git_oid> commit = repo.commitFile(path, blob.value(), history.author(), now, message);
    if (!commit)
        return commit.failure();
    HistoryListing::Item item;
    item.serial = serial;
    item.name = name;
    item.blob = blob.value();
    item.technician = history.author().name;
    item.mail = history.author().mail;
    HistoryFileCheck::stamp(root, item);
    HistoryListing listing(root);
    if (!before)
        (void)listing.load(repo); // the first entry: the index is made
    else
        (void)listing.append(item, *before, commit.value()); // else the next listing catches up
    return QDir(root).filePath(path);
}

} // namespace FleetHistory
