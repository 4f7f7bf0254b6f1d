// Settings files from a template: set (one file) and make (one file a row
// of a table), and the values of write --set.

#include "cli/CliHandlers.h"
#include "cli/CliRun.h"
#include "cli/TemplateValues.h"
#include "cli/TerminalText.h"
#include "cli/WriteGate.h"

#include "device/ExchangeService.h"
#include "device/WriteCheck.h"
#include "device/WritePreview.h"
#include "platform/SafeFile.h"
#include "settings/MemoryRecord.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsTable.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace TemplateValues
{

Result<QList<ValueAssignment::Assignment>> parse(const QStringList &texts)
{
    QList<ValueAssignment::Assignment> out;
    for (const QString &text : texts) {
        const Result<ValueAssignment::Assignment> a = ValueAssignment::parse(text);
        if (!a)
            return a.failure();
        out << *a;
    }
    return out;
}

QStringList put(const QList<ValueAssignment::Assignment> &values, SettingsRecord &record)
{
    const QChar point = DeviceCodec::decimalSeparator();
    QStringList refused;
    for (const ValueAssignment::Refusal &r : ValueAssignment::apply(values, record, point))
        refused << TerminalText::printable(ValueAssignment::describe(r));
    if (!refused.isEmpty())
        return refused;
    // The template's own values too must be ones a write sends.
    if (const std::optional<WriteCheck::Refusal> r = WriteCheck::firstRefusal(record, point))
        refused << describeRefusal(*r);
    return refused;
}

QStringList changeLines(const SettingsRecord &inDevice, const SettingsRecord &toWrite)
{
    QStringList lines;
    for (const auto &[now, after] : WritePreview::changes(inDevice, toWrite)) {
        const QString where = now.page.isEmpty() ? now.label : now.page + QStringLiteral(" / ") + now.label;
        lines << QStringLiteral("%1  %2: %3 -> %4")
                     .arg(now.key, TerminalText::printable(where), TerminalText::printable(now.value),
                          TerminalText::printable(after.value));
    }
    return lines;
}

} // namespace TemplateValues

namespace
{

// The language for the allowed values and the labels; the template.
int prepare(CliRun &run, MemoryRecord &record)
{
    if (const int code = run.applyLanguage(); code != ExitOk)
        return code;
    return run.load(run.args.files[0], record);
}

} // namespace

namespace CliHandlers
{

int set(CliRun &run)
{
    const auto values = TemplateValues::parse(run.args.assignments);
    if (!values)
        return run.fail(ExitUsage, values.failure().text());
    MemoryRecord record;
    if (const int code = prepare(run, record); code != ExitOk)
        return code;
    const QStringList refused = TemplateValues::put(*values, record);
    if (!refused.isEmpty())
        return run.fail(ExitRefused, QStringLiteral("refused, nothing written:\n  ") +
                                         refused.join(QStringLiteral("\n  ")));
    if (const Result<void> written = SettingsFile::write(run.args.output, record); !written)
        return run.fail(ExitBadFile, QStringLiteral("%1: %2").arg(run.args.output, written.failure().reason));
    return ExitOk;
}

int make(CliRun &run)
{
    MemoryRecord templ;
    if (const int code = prepare(run, templ); code != ExitOk)
        return code;
    const QString &tablePath = run.args.files[1];
    const SafeFile::Contents input = SafeFile::readInput(tablePath, SafeFile::TableLimit);
    if (!input.ok())
        return run.fail(ExitBadFile, QStringLiteral("%1: %2").arg(tablePath, input.reason()));
    const Result<QList<SettingsTable::Row>> rows = SettingsTable::parse(input.bytes);
    if (!rows)
        return run.fail(ExitBadFile, QStringLiteral("%1: %2").arg(tablePath, rows.failure().reason));

    // Every row first: one refused row and no file is made.
    QList<MemoryRecord> records;
    records.reserve(rows->size());
    QStringList refused;
    for (const SettingsTable::Row &row : *rows) {
        MemoryRecord record = templ;
        for (const QString &line : TemplateValues::put(row.values, record))
            refused << QStringLiteral("%1:%2: %3").arg(tablePath).arg(row.line).arg(line);
        records << record;
    }
    if (!refused.isEmpty())
        return run.fail(ExitRefused, QStringLiteral("refused, no file written:\n  ") +
                                         refused.join(QStringLiteral("\n  ")));

    const QString &output = run.args.output;
    const QDir folder(output);
    const QFileInfo folderInfo(output);
    if (folderInfo.exists() && !folderInfo.isDir())
        return run.fail(ExitBadFile, QStringLiteral("%1: not a folder").arg(output));
    if (!run.args.force) {
        QStringList existing;
        for (const SettingsTable::Row &row : *rows) {
            const QFileInfo file(folder.filePath(row.file));
            if (file.exists() || file.isSymLink())
                existing << file.filePath();
        }
        if (!existing.isEmpty())
            return run.fail(
                ExitBadFile,
                QStringLiteral("these files exist (--force replaces them), no file written:\n  ") +
                    existing.join(QStringLiteral("\n  ")));
    }
    if (!QDir().mkpath(output))
        return run.fail(ExitBadFile, QStringLiteral("%1: the folder cannot be made").arg(output));
    QList<std::pair<QString, const SettingsRecord *>> files;
    for (qsizetype i = 0; i < rows->size(); ++i)
        files.append({folder.filePath((*rows)[i].file), &records[i]});
    if (const Result<void> written = SettingsFile::writeAll(files); !written)
        return run.fail(ExitBadFile,
                        QStringLiteral("%1: %2").arg(written.failure().subject, written.failure().reason));
    return ExitOk;
}

} // namespace CliHandlers
