// The language-file loader on arbitrary file contents: whatever the file
// holds, every text it sets is one line of at most 2047 characters, loading
// the same file twice gives the same texts, the standard translation it names
// can never leave Qt's translation folder, and a reset brings back every
// built-in default.
#include "fuzz/fuzz_check.h"
#include "lang/LanguageTable.h"
#include "lang/LanguageTexts.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>

namespace
{
QString g_file;

QStringList textsInForce()
{
    QStringList texts;
    for (const LanguageRow &row : LanguageTable::rows())
        texts << LanguageTexts::text(QLatin1String(row.section), row.key);
    return texts;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    if (QFileInfo(QStringLiteral("/dev/shm")).isWritable())
        qputenv("TMPDIR", "/dev/shm");
    static QTemporaryDir dir;
    g_file = dir.filePath(QStringLiteral("Fuzz.lng"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    {
        QFile f(g_file);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }

    static_cast<void>(LanguageTexts::loadFile(g_file));
    const QStringList first = textsInForce();
    qsizetype i = 0;
    for (const LanguageRow &row : LanguageTable::rows()) {
        const QString &t = first.at(i++);
        if (t == LanguageTexts::czechDefault(QLatin1String(row.section), row.key))
            continue; // a built-in default may span two lines
        FUZZ_CHECK(t.size() <= 2047, QStringLiteral("a text of %1 characters").arg(t.size()));
        FUZZ_CHECK(!t.contains(QLatin1Char('\n')), t);
    }
    const QString translation = LanguageTexts::standardTranslation();
    FUZZ_CHECK(!translation.contains(QLatin1Char('/')) && !translation.contains(QLatin1Char('.')),
               translation);
    FUZZ_CHECK(LanguageTexts::fromFile(), "a loaded file counts as a file");

    static_cast<void>(LanguageTexts::loadFile(g_file));
    FUZZ_CHECK(textsInForce() == first, "the same file gave other texts");

    LanguageTexts::resetToDefaults();
    for (const LanguageRow &row : LanguageTable::rows()) {
        const QString section = QLatin1String(row.section);
        FUZZ_CHECK(LanguageTexts::text(section, row.key) == LanguageTexts::czechDefault(section, row.key),
                   QStringLiteral("%1/%2 kept a loaded text after the reset").arg(section).arg(row.key));
    }
    return 0;
}
