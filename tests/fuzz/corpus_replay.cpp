// Runs a fuzz target once over every file named on the command line (folders
// are walked), the way libFuzzer would replay a corpus.
#include <QByteArray>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);

namespace
{
int runFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return 1;
    }
    const QByteArray data = f.readAll();
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(data.constData()),
                           std::size_t(data.size()));
    return 0;
}
} // namespace

int main(int argc, char **argv)
{
    LLVMFuzzerInitialize(&argc, &argv);
    int failures = 0;
    int runs = 0;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (QFileInfo(arg).isDir()) {
            QDirIterator it(arg, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                failures += runFile(it.next());
                ++runs;
            }
        } else {
            failures += runFile(arg);
            ++runs;
        }
    }
    std::printf("%d inputs run\n", runs);
    // An empty corpus is a mistake in the build, not a pass.
    return failures == 0 && runs > 0 ? 0 : 1;
}
