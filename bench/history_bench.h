#pragma once

// A large device history made fast for the history's benchmarks: the files
// written and the whole tree built straight with libgit2 into one commit, as
// a share from elsewhere would bring them; and the small helpers the
// benchmarks share.

#include "history/HistoryAuthor.h"
#include "history/HistoryRepository.h"
#include "settings/MemoryRecord.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace HistoryBench
{

inline QString serialOf(int i)
{
    return QString::number(100000 + i);
}

// The number the i-th communicator dials: only it dials it.
inline QString numberOf(int i)
{
    return QStringLiteral("60%1").arg(i, 7, 10, QLatin1Char('0'));
}

// Milliseconds of processor time this process and the children it waited
// for have used so far: on a shared machine the wall time says how long
// one waited, this what the work took.
inline double cpuMs()
{
    double ms = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        struct rusage u {
        };
        getrusage(who, &u);
        ms += (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
    }
    return ms;
}

struct Figures {
    std::vector<double> ms;
    std::vector<double> cpu;
    void add(double v, double c = -1)
    {
        ms.push_back(v);
        if (c >= 0)
            cpu.push_back(c);
    }
    double cpuMedian() const { return Figures{cpu, {}}.median(); }
    double median() const
    {
        std::vector<double> v = ms;
        std::sort(v.begin(), v.end());
        return v.empty() ? 0 : v[v.size() / 2];
    }
    double worst() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
};

// Makes programFolder/History with serials x perSerial entries (read,
// before write, written in turn; the older ones dialling an old number,
// the newer the serial's own) and, when sites, a site for every other
// serial number.
inline bool make(const QString &programFolder, int serials, int perSerial, bool sites)
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
    for (int s = 0; s < serials; ++s) {
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
        for (int e = 0; e < perSerial; ++e) {
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
        if (sites && s % 2 == 0 &&
            !add(QStringLiteral("2026-11-05 09-00-00 site.txt"),
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

// Milliseconds of one run of program in folder, its output dropped.
inline double run(const QString &folder, const QString &program, const QStringList &args, int *code)
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    if (!p.waitForFinished(120000))
        std::fprintf(stderr, "%s did not end\n", qPrintable(program));
    const double ms = t.nsecsElapsed() / 1e6;
    *code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return ms;
}

} // namespace HistoryBench
