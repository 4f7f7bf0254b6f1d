// The device history at a service company's size: 100,000 entries in
// 10,000 serial-number folders on a laptop, shared with a folder remote that
// holds the same. Times, each several times (median and worst):
//
//   - listing everything (`tessaro-cli history`) against
//     `git ls-tree -r --name-only HEAD` on the same repository;
//   - one serial number's list (`tessaro-cli history --serial N`);
//   - `tessaro-cli fleet`;
//   - keeping one entry (its file and its commit);
//   - the history window until its first rows are drawn;
//   - sharing one new entry (the share `tessaro-cli history sync` and the
//     window run, timed without their 10 s cut);
//   - the verified write against the simulator with that history kept,
//     as the ratio to the bytes' line time, beside the same without a
//     history;
//
// once with the listing index and the fleet's rows up to date ("warm"), and
// once right after another laptop's 1,000 entries arrived with a share
// ("arrived": the index and the rows as they were before that share, so the
// listing has to catch up).
//
//   bench_history [FOLDER] [runs] [rounds]
//
// FOLDER keeps the laptop's program folder and the remote between runs (made
// when missing). Each round brings 1,000 new entries from elsewhere.
#include "app/HistoryWindow.h"
#include "command_timing.h"
#include "history/DeviceHistory.h"
#include "history/FleetHistory.h"
#include "history/HistoryShare.h"
#include "history_bench.h"
#include "platform/PrivateProfile.h"
#include "device/SerialTransport.h"
#include "serial/AfComPort.h"
#include "sim/KavrSimulator.h"

#include <QApplication>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QTreeView>

#include <cstdio>
#include <unistd.h>

namespace
{

using HistoryBench::Figures;
constexpr int Serials = 10000;
constexpr int PerSerial = 10;
constexpr int Arriving = 1000;
constexpr int PerCommit = 10;
constexpr double ByteMs = 10.0 * 1000.0 / 2400.0;

struct Paths {
    QString laptop, remote;
    QString history() const { return QDir(laptop).filePath(QStringLiteral("History")); }
    QString index() const { return QDir(history()).filePath(QStringLiteral(".git/tessaro-listing")); }
    QString rows() const { return QDir(history()).filePath(QStringLiteral(".git/tessaro-fleet")); }
};

double tool(const Paths &p, const QStringList &args, int *code)
{
    return HistoryBench::run(p.laptop, QStringLiteral(TESSARO_CLI), args, code);
}

// The remote starts as the laptop's repository shared whole: its objects
// linked into a bare repository, its main at the laptop's head.
bool makeRemote(const Paths &p)
{
    const HistoryAuthor author{QStringLiteral("Bench"), QStringLiteral("bench@example.com")};
    auto remote = HistoryRepository::open(p.remote, author, QDateTime::currentDateTime());
    auto laptop = HistoryRepository::open(p.history(), author, QDateTime::currentDateTime());
    if (!remote || !laptop)
        return false;
    const QString from = QDir(p.history()).filePath(QStringLiteral(".git/objects"));
    const QString to = QDir(p.remote).filePath(QStringLiteral(".git/objects"));
    for (QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString file = it.next();
        const QString target = QDir(to).filePath(QDir(from).relativeFilePath(file));
        QDir().mkpath(QFileInfo(target).path());
        if (::link(QFile::encodeName(file).constData(), QFile::encodeName(target).constData()) != 0 &&
            !QFile::copy(file, target))
            return false;
    }
    const std::optional<git_oid> head = laptop.value()->head();
    return head && remote.value()->moveHead(*head, QStringLiteral("bench: shared whole"));
}

// Another laptop's entries, pushed to the remote: a new read of every
// tenth communicator, in commits of PerCommit entries (a commit of its own
// each would make the share fetch 1,000 root trees of 10,000 folders,
// which alone takes over a minute).
bool arrive(const Paths &p, int round)
{
    const HistoryAuthor petr{QStringLiteral("Petr Dvořák"), QStringLiteral("petr@example.com")};
    auto opened = HistoryRepository::open(p.remote, petr, QDateTime::currentDateTime());
    if (!opened)
        return false;
    HistoryRepository &repo = *opened.value();
    MemoryRecord record;
    for (int first = 0; first < Arriving; first += PerCommit) {
        const std::optional<git_oid> head = repo.head();
        const Git::Tree rootTree = head ? repo.treeOf(*head) : Git::Tree();
        git_treebuilder *raw = nullptr;
        if (!rootTree || git_treebuilder_new(&raw, repo.git(), rootTree.get()) != 0)
            return false;
        const Git::TreeBuilder root(raw);
        QList<HistoryRepository::Note> notes;
        QDateTime when;
        for (int i = first; i < first + PerCommit; ++i) {
            const QString serial = HistoryBench::serialOf((i * 10 + round) % Serials);
            record.setStoredText(QStringLiteral("M001"), QStringLiteral("603%1").arg(i, 6, 10, QLatin1Char('0')));
            when = QDateTime(QDate(2026, 12, 1).addDays(round % 28), QTime(8, 0).addSecs(i));
            const QString name = when.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss")) + QStringLiteral(" read.kvr");
            const Result<git_oid> blob = repo.writeBlob(SettingsFile::encode(record));
            const QByteArray folder = serial.toUtf8();
            git_tree *sub = nullptr;
            if (const git_tree_entry *e = git_tree_entry_byname(rootTree.get(), folder.constData()))
                git_tree_lookup(&sub, repo.git(), git_tree_entry_id(e));
            const Git::Tree subtree(sub);
            git_treebuilder *rawFolder = nullptr;
            git_oid folderTree;
            if (!blob || git_treebuilder_new(&rawFolder, repo.git(), subtree.get()) != 0)
                return false;
            const Git::TreeBuilder builder(rawFolder);
            if (git_treebuilder_insert(nullptr, builder.get(), name.toUtf8().constData(), &blob.value(),
                                       GIT_FILEMODE_BLOB) != 0 ||
                git_treebuilder_write(&folderTree, builder.get()) != 0 ||
                git_treebuilder_insert(nullptr, root.get(), folder.constData(), &folderTree, GIT_FILEMODE_TREE) != 0)
                return false;
            notes.append({serial + u'/' + name, QStringLiteral("1.40"), std::nullopt});
        }
        git_oid tree;
        if (git_treebuilder_write(&tree, root.get()) != 0 ||
            !repo.commitTree(tree, {*head}, petr, when,
                             QStringLiteral("Bench: entries of another laptop\n\n") +
                                 HistoryRepository::trailers(notes)))
            return false;
    }
    return true;
}

QByteArray slurp(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void put(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

// The index and the rows as they stood before the entries arrived.
struct Before {
    QByteArray index, rows;
    void take(const Paths &p)
    {
        index = slurp(p.index());
        rows = slurp(p.rows());
    }
    void restore(const Paths &p) const
    {
        put(p.index(), index);
        put(p.rows(), rows);
    }
};

double windowFirstRows(const Paths &p, int *rows)
{
    QElapsedTimer t;
    t.start();
    DeviceHistory history(p.laptop);
    HistoryWindow window;
    window.show();
    window.fill(history);
    QCoreApplication::processEvents();
    window.Tree->viewport()->repaint();
    const double ms = t.nsecsElapsed() / 1e6;
    *rows = window.shownRows();
    return ms;
}

double keepOne(const Paths &p, int n)
{
    DeviceHistory history(p.laptop);
    MemoryRecord record;
    record.setStoredText(QStringLiteral("TTon"), QString::number(60 + 10 * (n % 10)));
    QElapsedTimer t;
    t.start();
    const Result<QString> kept =
        history.keep(record, HistoryBench::serialOf(n % Serials), QStringLiteral("1.31"), HistoryStore::Event::Read);
    const double ms = t.nsecsElapsed() / 1e6;
    if (!kept)
        std::fprintf(stderr, "keep: %s\n", qPrintable(kept.failure().text()));
    return ms;
}

// One share as the program's background share runs it, but without its
// 10 s cut: how long it really takes.
double share(const Paths &p)
{
    const HistoryShare::Job job{p.laptop, p.history(), QDir(p.remote).filePath(QStringLiteral(".git")),
                                HistoryAuthor{QStringLiteral("Bench"), QStringLiteral("bench@example.com")},
                                QDateTime::currentDateTime()};
    const std::atomic<bool> cancel{false};
    QElapsedTimer t;
    t.start();
    const Result<void> shared = HistoryShare::run(job, cancel);
    const double ms = t.nsecsElapsed() / 1e6;
    if (!shared)
        std::fprintf(stderr, "share: %s\n", qPrintable(shared.failure().text()));
    return ms;
}

struct Case {
    Figures history, serial, serialApi, lsTree, fleet, window, keep, listApi, share, verified, plain;
};

void line(const char *what, const Figures &f, const char *limit)
{
    std::printf("  %-40s median %7.1f ms  worst %7.1f ms  processor %6.1f ms  (n=%zu)  %s\n", what, f.median(),
                f.worst(), f.cpuMedian(), f.ms.size(), limit);
}

// The verified write against the simulator over a pseudo-terminal, with the
// laptop's history kept by the exchange or none; the wall time of each.
struct WriteRig {
    QTemporaryDir dir;
    KavrSimulator sim;
    TAfComPort port;
    std::unique_ptr<SerialTransport> serial;
    ExchangeService service;
    MemoryRecord record;
    DeviceHistory history;
    bool ok = false;
    explicit WriteRig(const Paths &p) : history(p.laptop)
    {
        QString error;
        if (!sim.startOnPty(&error)) {
            std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
            return;
        }
        QDir::setCurrent(dir.path());
        PrivateProfile::writeString(dir.filePath(QStringLiteral("Config.ini")), QStringLiteral("Ports"),
                                    QStringLiteral("COM1"), sim.linePath());
        SerialTransport::setUpPort(port);
        port.SetComNumber(1);
        serial = std::make_unique<SerialTransport>(port);
        service.setSerialTransport(serial.get());
        ok = true;
    }
    ~WriteRig() { service.setSerialTransport(nullptr); }
    double verified(bool keep)
    {
        service.setHistory(keep ? &history : nullptr);
        CommandTiming commands(service, record);
        const double ms = commands.write(true);
        if (commands.failed)
            std::fprintf(stderr, "a verified write failed\n");
        return ms;
    }
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QTemporaryDir temporary;
    const QString folder = QFileInfo(args.value(0, temporary.path())).absoluteFilePath();
    const int runs = std::max(1, args.value(1, QStringLiteral("3")).toInt());
    const int rounds = std::max(1, args.value(2, QStringLiteral("2")).toInt());
    const Paths p{QDir(folder).filePath(QStringLiteral("Laptop")), QDir(folder).filePath(QStringLiteral("Remote"))};
    int code = 0;

    if (!QFileInfo(QDir(p.history()).filePath(QStringLiteral(".git"))).isDir()) {
        QElapsedTimer t;
        t.start();
        if (!HistoryBench::make(p.laptop, Serials, PerSerial, false) || !makeRemote(p)) {
            std::fprintf(stderr, "the histories could not be made in %s\n", qPrintable(folder));
            return 1;
        }
        PrivateProfile::writeString(QDir(p.laptop).filePath(QStringLiteral("Config.ini")),
                                    QStringLiteral("History"), QStringLiteral("Remote"),
                                    QDir(p.remote).filePath(QStringLiteral(".git")));
        std::printf("made %d serial numbers x %d entries and the remote in %.1f s\n", Serials, PerSerial,
                    t.elapsed() / 1000.0);
        std::printf("first listing (the index made from the repository): %.0f ms (exit %d)\n",
                    tool(p, {"history"}, &code), code);
        std::printf("first share (nothing to send): %.0f ms\n", share(p));
    }

    Case warm, arrived;
    int kept = int(QDateTime::currentSecsSinceEpoch() % 100000);
    WriteRig rig(p);
    const auto measure = [&](Case &c, const Before *before) {
        const auto fresh = [&] {
            if (before)
                before->restore(p);
        };
        const QString serial = HistoryBench::serialOf(4711);
        const auto take = [](Figures &f, const auto &work) {
            const double cpu = HistoryBench::cpuMs();
            const double ms = work();
            f.add(ms, HistoryBench::cpuMs() - cpu);
        };
        for (int r = 0; r < runs; ++r) {
            if (!before)
                (void)tool(p, {"fleet"}, &code); // the rows brought up to date after the last run's entries
            fresh();
            take(c.fleet, [&] { return tool(p, {"fleet"}, &code); });
            fresh();
            take(c.history, [&] { return tool(p, {"history"}, &code); });
            take(c.lsTree, [&] {
                return HistoryBench::run(p.history(), QStringLiteral("git"),
                                         {"--git-dir=.git", "ls-tree", "-r", "--name-only", "HEAD"}, &code);
            });
            fresh();
            take(c.serial, [&] { return tool(p, {"history", "--serial", serial}, &code); });
            fresh();
            take(c.listApi, [&] {
                QElapsedTimer t;
                t.start();
                DeviceHistory history(p.laptop);
                const qsizetype n = history.entries().size();
                if (n < Serials * PerSerial)
                    std::fprintf(stderr, "only %lld entries listed\n", qlonglong(n));
                return t.nsecsElapsed() / 1e6;
            });
            fresh();
            take(c.serialApi, [&] {
                QElapsedTimer t;
                t.start();
                DeviceHistory history(p.laptop);
                if (history.entries(serial).size() < PerSerial)
                    std::fprintf(stderr, "the serial number's entries are missing\n");
                return t.nsecsElapsed() / 1e6;
            });
            fresh();
            int rows = 0;
            take(c.window, [&] { return windowFirstRows(p, &rows); });
            if (rows < Serials)
                std::fprintf(stderr, "the window shows %d rows\n", rows);
            fresh();
            take(c.keep, [&] { return keepOne(p, kept++); });
            if (rig.ok) {
                fresh();
                c.verified.add(rig.verified(true));
                c.plain.add(rig.verified(false));
            }
        }
    };

    for (int round = 0; round < rounds; ++round) {
        // Another laptop's entries arrive with a share that also sends one
        // of ours: fetch, merge, push.
        Before before;
        before.take(p);
        (void)keepOne(p, kept++);
        if (!arrive(p, int(QDateTime::currentSecsSinceEpoch() / 60 + round))) {
            std::fprintf(stderr, "the arriving entries could not be made\n");
            return 1;
        }
        const double cpu = HistoryBench::cpuMs();
        const double ms = share(p);
        arrived.share.add(ms, HistoryBench::cpuMs() - cpu);
        measure(arrived, &before);
        measure(warm, nullptr);
        for (int r = 0; r < runs; ++r) {
            (void)keepOne(p, kept++);
            const double cpu = HistoryBench::cpuMs();
            const double ms = share(p);
            warm.share.add(ms, HistoryBench::cpuMs() - cpu);
        }
    }

    // Write: its version query, "W" "P", 128 bytes each answered; verified:
    // the block read before and after; and as bench_exchange sets it, the
    // simulator's turnaround before each of the 131 answers.
    const double verifiedLine =
        ((1 + 10 + 2 + 2 * 128) + 2 * (2 + 128)) * ByteMs + 131 * KavrLineTiming().turnaroundMs;
    char load[128] = {};
    if (FILE *f = std::fopen("/proc/loadavg", "r")) {
        if (!std::fgets(load, sizeof load, f))
            load[0] = 0;
        std::fclose(f);
    }
    std::printf("%d serial numbers, %d entries and more each round; %d runs x %d rounds; load %s", Serials,
                Serials * PerSerial, runs, rounds, load);
    for (const auto &[name, c] : {std::pair<const char *, const Case &>{"warm (index and rows up to date)", warm},
                                  {"arrived (1,000 entries from elsewhere, index and rows behind)", arrived}}) {
        std::printf("%s\n", name);
        line("git ls-tree -r --name-only HEAD", c.lsTree, "");
        line("tessaro-cli history", c.history, "<= 1000 ms");
        std::printf("  %-44s %.2f (median / median)  <= 3\n", "history / ls-tree", c.history.median() / c.lsTree.median());
        line("DeviceHistory::list(), in the process", c.listApi, "");
        line("tessaro-cli history --serial N", c.serial, "<= 50 ms");
        line("DeviceHistory::list(N), in the process", c.serialApi, "<= 50 ms");
        line("tessaro-cli fleet", c.fleet, "<= 1000 ms");
        line("keeping one entry (file and commit)", c.keep, "<= 100 ms");
        line("history window, first rows drawn", c.window, "<= 500 ms");
        line(&c == &arrived ? "share (1,000 in, 1 out)" : "share (1 out)", c.share, "<= 2000 ms");
        if (!c.verified.ms.empty()) {
            line("verified write, history kept", c.verified, "");
            line("verified write, no history", c.plain, "");
            std::printf("  %-44s %.3f with the history, %.3f without  <= 1.1\n", "verified write / line time with turnaround",
                        c.verified.median() / verifiedLine, c.plain.median() / verifiedLine);
        }
    }
    return 0;
}
