// tessaro-cli make: one settings file a row of a table of 1,000 rows, each
// row setting a lift's own numbers and codes, from one template. The whole
// command (reading and checking every row, then writing every file) is
// timed against its budget of 2 s, median of several runs into a fresh
// folder each.
//
//   bench_make [rows] [runs]
#include "cli/TessaroCli.h"
#include "settings/MemoryRecord.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::max(1, atoi(argv[1])) : 1000;
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 5;
    constexpr double BudgetMs = 2000.0;

    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    MemoryRecord templ;
    if (!SettingsFile::write(dir.filePath("template.kvr"), templ)) {
        std::fprintf(stderr, "cannot write the template\n");
        return 1;
    }
    QFile table(dir.filePath("lifts.csv"));
    if (!table.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write the table\n");
        return 1;
    }
    table.write("file;M001;M002;M007;HgUp;Pasw;TTon;OpNo\n");
    for (int i = 0; i < rows; ++i)
        table.write(QStringLiteral("lift-%1;6021%2;6022%2;6027%2;%3;%4;%5;%6\n")
                        .arg(i)
                        .arg(i, 5, 10, QLatin1Char('0'))
                        .arg(10 + i % 90)
                        .arg(1000 + i % 9000)
                        .arg(60 + 10 * (i % 10))
                        .arg(1 + i % 5)
                        .toUtf8());
    table.close();

    std::vector<double> ms;
    for (int run = 0; run < runs; ++run) {
        const QString out = dir.filePath(QStringLiteral("out%1").arg(run));
        QString outText, errText;
        QTextStream o(&outText), e(&errText);
        QElapsedTimer t;
        t.start();
        const int code = TessaroCli::run(
            {"make", dir.filePath("template.kvr"), dir.filePath("lifts.csv"), "-o", out}, o, e, false);
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
        if (code != 0 || QDir(out).entryList(QDir::Files).size() != rows) {
            std::fprintf(stderr, "make failed (exit code %d): %s\n", code, qPrintable(errText));
            return 1;
        }
    }
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    std::printf("make, %d rows: median %.0f ms of %d runs (min %.0f, max %.0f); %.2f of the %.0f ms budget\n",
                rows, median, runs, ms.front(), ms.back(), median / BudgetMs, BudgetMs);
    return 0;
}
