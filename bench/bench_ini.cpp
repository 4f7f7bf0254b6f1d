// Reading INI texts as they grow: a language file's section of n keys read
// by the program's INI reader, and whole language files through the
// language loader, each time set against the time per key of the smallest
// size. A reader that is linear in the size of the file keeps the ratio near
// 1 at every size. Times are the process's CPU time (the median of the
// runs), which a machine shared with others disturbs less than wall time.
//
//   bench_ini [runs]
#include "lang/LanguageTexts.h"
#include "platform/PrivateProfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace
{

// A language file of n keys in section MESSAGE, each a different number.
QByteArray languageText(int keys)
{
    QByteArray text = "[Menu]\n999=Bench\n[MESSAGE]\n";
    for (int k = 0; k < keys; ++k)
        text += QByteArray::number(1000 + k) + "=Text of key " + QByteArray::number(k) + '\n';
    return text;
}

double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

template <typename F> double medianMs(int runs, F &&f)
{
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        const double start = cpuMs();
        f();
        times.push_back(cpuMs() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    QTemporaryDir dir;
    std::printf("%8s %10s %15s %14s %14s %10s\n", "keys", "bytes", "section cpu ms", "per key ratio", "loader cpu ms",
                "loader");
    double baseSection = 0;
    for (const int keys : {5000, 10000, 20000, 40000}) {
        const QByteArray bytes = languageText(keys);
        const QString text = QString::fromUtf8(bytes);
        std::size_t found = 0;
        const double section = medianMs(runs, [&] {
            found = std::size_t(PrivateProfile::readSectionOfText(text, QStringLiteral("MESSAGE")).size());
        });
        if (found != std::size_t(keys))
            std::fprintf(stderr, "%d keys: %zu read\n", keys, found);
        const double perKey = section / keys;
        if (baseSection == 0)
            baseSection = perKey;
        const QString file = dir.filePath(QStringLiteral("Bench%1.lng").arg(keys));
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return 2;
        f.close();
        Result<void> status;
        const double loader = medianMs(runs, [&] { status = LanguageTexts::loadFile(file); });
        std::printf("%8d %10lld %15.1f %14.2f %14.1f %10s\n", keys, qlonglong(bytes.size()), section,
                    perKey / baseSection, loader, status ? "read" : qPrintable(status.failure().reason));
    }
    return 0;
}
