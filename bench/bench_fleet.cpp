// The fleet of a large shared history: 10,000 serial numbers with 10
// entries each (and a site for every other one), as one commit from
// elsewhere would bring them. Times `tessaro-cli fleet` and
// `tessaro-cli fleet --dials N` as processes, sets the second against the
// time needed just to read every latest settings file's bytes, and times
// the history window's search after a keystroke and its memory with that
// history open.
//
//   bench_fleet [FOLDER] [runs]
//
// FOLDER is the program folder; its history is made when it has none (kept
// between runs, so later runs time a ready history).
#include "app/HistoryWindow.h"
#include "history/DeviceHistory.h"
#include "history/FleetHistory.h"
#include "history/HistoryListing.h"
#include "history/HistoryRepository.h"
#include "settings/MemoryRecord.h"
#include "settings/SettingsFile.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace
{

constexpr int Serials = 10000;
constexpr int PerSerial = 10;

QString serialOf(int i)
{
    return QString::number(100000 + i);
}

// The number the i-th communicator dials: only it dials it.
QString numberOf(int i)
{
    return QStringLiteral("60%1").arg(i, 7, 10, QLatin1Char('0'));
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool make(const QString &programFolder)
{
    const QString root = QDir(programFolder).filePath(QStringLiteral("History"));
    const HistoryAuthor author{QStringLiteral("Bench"), QStringLiteral("bench@example.com")};
    const QDateTime now = QDateTime::currentDateTime();
    if (!QDir().mkpath(root))
        return false;
    auto opened = HistoryRepository::open(root, author, now);
    if (!opened) {
        std::fprintf(stderr, "%s\n", qPrintable(opened.failure().text()));
        return false;
    }
    HistoryRepository &repo = *opened.value();
    static const char *const events[] = {"read", "before write", "written"};
    QList<HistoryRepository::Note> notes;
    git_treebuilder *rootBuilder = nullptr;
    git_treebuilder_new(&rootBuilder, repo.git(), nullptr);
    MemoryRecord record;
    for (int s = 0; s < Serials; ++s) {
        const QString serial = serialOf(s);
        const QString dir = QDir(root).filePath(serial);
        QDir().mkpath(dir);
        git_treebuilder *builder = nullptr;
        git_treebuilder_new(&builder, repo.git(), nullptr);
        const auto add = [&](const QString &name, const QByteArray &bytes, const QString &firmware) {
            QFile f(QDir(dir).filePath(name));
            if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
                return false;
            const Result<git_oid> blob = repo.writeBlob(bytes);
            if (!blob)
                return false;
            git_treebuilder_insert(nullptr, builder, name.toUtf8().constData(), &blob.value(),
                                   GIT_FILEMODE_BLOB);
            notes.append({serial + u'/' + name, firmware, std::nullopt});
            return true;
        };
        for (int e = 0; e < PerSerial; ++e) {
            // Older entries dial an old number; the newest ones the serial's own.
            record.setStoredText(QStringLiteral("M001"), e < 7 ? QStringLiteral("601000000") : numberOf(s));
            record.setStoredText(QStringLiteral("TTon"), QString::number(60 + 10 * (e % 10)));
            const QString name = QStringLiteral("2026-11-%1 10-%2-00 %3.kvr")
                                     .arg(1 + e, 2, 10, QLatin1Char('0'))
                                     .arg(s % 60, 2, 10, QLatin1Char('0'))
                                     .arg(QLatin1String(events[e % 3]));
            if (!add(name, SettingsFile::encode(record),
                     e < 5 ? QStringLiteral("1.20") : QStringLiteral("1.31")))
                return false;
        }
        if (s % 2 == 0 && !add(QStringLiteral("2026-11-05 09-00-00 site.txt"),
                               QStringLiteral("Street %1, lift A\n").arg(s).toUtf8(), QString()))
            return false;
        git_oid tree;
        git_treebuilder_write(&tree, builder);
        git_treebuilder_free(builder);
        git_treebuilder_insert(nullptr, rootBuilder, serial.toUtf8().constData(), &tree, GIT_FILEMODE_TREE);
    }
    git_oid tree;
    git_treebuilder_write(&tree, rootBuilder);
    git_treebuilder_free(rootBuilder);
    const Result<git_oid> commit = repo.commitTree(
        tree, {}, author, now, QStringLiteral("Bench: every entry\n\n") + HistoryRepository::trailers(notes));
    return commit.ok();
}

// Milliseconds of one run of the tool in folder.
double runTool(const QString &folder, const QStringList &args, int *code)
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral(TESSARO_CLI), args);
    p.waitForFinished(120000);
    const double ms = t.nsecsElapsed() / 1e6;
    *code = p.exitCode();
    return ms;
}

// Milliseconds to read every file's bytes, no more.
double readAll(const QStringList &paths)
{
    static char buf[8192];
    QElapsedTimer t;
    t.start();
    qint64 total = 0;
    for (const QString &path : paths) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
            total += n;
        ::close(fd);
    }
    const double ms = t.nsecsElapsed() / 1e6;
    if (total == 0)
        std::fprintf(stderr, "no bytes read\n");
    return ms;
}

long residentKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QTemporaryDir temporary;
    const QString folder = args.value(0, temporary.path());
    const int runs = std::max(1, args.value(1, QStringLiteral("3")).toInt());
    QDir().mkpath(folder);

    if (!QDir(QDir(folder).filePath(QStringLiteral("History/.git"))).exists()) {
        QElapsedTimer t;
        t.start();
        if (!make(folder)) {
            std::fprintf(stderr, "the history could not be made in %s\n", qPrintable(folder));
            return 1;
        }
        std::printf("made %d serial numbers x %d entries in %.1f s\n", Serials, PerSerial,
                    t.elapsed() / 1000.0);
        int code = 0;
        std::printf("first fleet (the listing index made): %.0f ms\n", runTool(folder, {"fleet"}, &code));
    }

    // The latest settings files, as fleet names them.
    QStringList latest;
    {
        DeviceHistory history(folder);
        const Result<Fleet::List> list = FleetHistory::load(history);
        if (!list) {
            std::fprintf(stderr, "%s\n", qPrintable(list.failure().text()));
            return 1;
        }
        for (const Fleet::Row &row : list->rows)
            if (!row.latest.isEmpty())
                latest << row.latest;
    }
    const QString wanted = numberOf(4711).insert(3, u' ').insert(7, u'-');
    std::vector<double> fleet, dials, bytes, load;
    int fleetCode = 0, dialsCode = 0;
    for (int r = 0; r < runs; ++r) {
        fleet.push_back(runTool(folder, {"fleet"}, &fleetCode));
        dials.push_back(runTool(folder, {"fleet", "--dials", wanted}, &dialsCode));
        bytes.push_back(readAll(latest));
        QElapsedTimer t;
        t.start();
        DeviceHistory history(folder);
        const Result<Fleet::List> list = FleetHistory::load(history);
        load.push_back(t.nsecsElapsed() / 1e6);
    }
    std::printf("%lld latest files (%d runs, medians)\n", qlonglong(latest.size()), runs);
    std::printf("  tessaro-cli fleet:                 %7.1f ms (exit %d)\n", median(fleet), fleetCode);
    std::printf("  tessaro-cli fleet --dials '%s': %7.1f ms (exit %d)\n", qPrintable(wanted), median(dials),
                dialsCode);
    std::printf("  reading the latest files' bytes:   %7.1f ms\n", median(bytes));
    std::printf("  --dials / bytes:                   %7.2f\n", median(dials) / median(bytes));
    std::printf("  in-process load (index, latest settings, sites): %.1f ms\n", median(load));

    // The history window on the same history: memory, then keystrokes.
    const long before = residentKb();
    DeviceHistory shown(folder);
    HistoryWindow window;
    window.show();
    window.fill(shown);
    const long open = residentKb();
    QLineEdit *search = window.Search;
    std::vector<double> keys;
    for (int r = 0; r < runs; ++r) {
        search->clear();
        QCoreApplication::processEvents();
        for (const QChar c : wanted) {
            QElapsedTimer t;
            t.start();
            QTest::keyClick(search, c.toLatin1());
            // Until the list is drawn anew.
            window.Tree->viewport()->repaint();
            keys.push_back(t.nsecsElapsed() / 1e6);
        }
    }
    std::printf("  window search, after each keystroke: median %.1f ms, longest %.1f ms (%d rows left)\n",
                median(keys), *std::max_element(keys.begin(), keys.end()), window.shownRows());
    std::printf("  window resident memory: %ld MB with the history open (%ld MB before)\n", open / 1024,
                before / 1024);
    return 0;
}
