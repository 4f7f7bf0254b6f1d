// The settings-file loader on arbitrary file contents: whatever it accepts
// must save to a file that loads back to the same values.
#include "fuzz/fuzz_check.h"
#include "settings/MemoryRecord.h"
#include "settings/ParameterTable.h"
#include "settings/SettingsFile.h"

#include <QByteArray>

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray contents(reinterpret_cast<const char *>(data), qsizetype(size));
    MemoryRecord loaded;
    const MemoryRecord untouched;
    const Result<void> applied = SettingsFile::apply(contents, loaded);
    if (!applied) {
        FUZZ_CHECK(size < std::size_t(SettingsFile::MinimumRecords * SettingsFile::RecordSize),
                   applied.failure().reason);
        FUZZ_CHECK(SettingsFile::encode(loaded) == SettingsFile::encode(untouched),
                   "a refused file changed values");
        return 0;
    }
    const QByteArray saved = SettingsFile::encode(loaded);
    FUZZ_CHECK(saved.size() == SettingsFile::FileSize, QString::number(saved.size()));

    MemoryRecord reloaded;
    FUZZ_CHECK(SettingsFile::apply(saved, reloaded), "a saved file does not load");
    for (const Parameter &p : ParameterTable::all()) {
        const QString key = QLatin1String(p.key);
        FUZZ_CHECK(reloaded.storedText(key) == loaded.storedText(key),
                   key + QStringLiteral(": '%1' came back as '%2'")
                             .arg(loaded.storedText(key), reloaded.storedText(key)));
    }
    FUZZ_CHECK(SettingsFile::encode(reloaded) == saved, "saving again gives other bytes");
    return 0;
}
