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
#include "history_bench.h"
#include "history/DeviceHistory.h"
#include "history/FleetHistory.h"
#include "history/HistoryListing.h"
#include "history/HistoryRepository.h"

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
using HistoryBench::numberOf;

double median(const std::vector<double> &v)
{
    return HistoryBench::Figures{v, {}}.median();
}

double runTool(const QString &folder, const QStringList &args, int *code)
{
    return HistoryBench::run(folder, QStringLiteral(TESSARO_CLI), args, code);
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
        if (!HistoryBench::make(folder, Serials, PerSerial, true)) {
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
