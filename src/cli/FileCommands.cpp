// The commands on settings files: show, diff, print, export and import.

#include "cli/CliHandlers.h"
#include "cli/CliRun.h"
#include "cli/KvrJson.h"
#include "cli/SettingsListing.h"

#include "platform/SafeFile.h"
#include "settings/LanguageCaptions.h"
#include "settings/MemoryRecord.h"
#include "settings/PdfFile.h"
#include "settings/SettingsPrintout.h"

#include <QPageSize>
#include <QPdfWriter>
#include <QTextStream>

namespace CliHandlers
{

int show(CliRun &run)
{
    MemoryRecord record;
    if (const int code = run.applyLanguage(); code != ExitOk)
        return code;
    if (const int code = run.load(run.args.files[0], record); code != ExitOk)
        return code;
    run.out << SettingsListing::show(record);
    return ExitOk;
}

int diff(CliRun &run)
{
    MemoryRecord a;
    MemoryRecord b;
    if (const int code = run.applyLanguage(); code != ExitOk)
        return code;
    if (const int code = run.load(run.args.files[0], a); code != ExitOk)
        return code;
    if (const int code = run.load(run.args.files[1], b); code != ExitOk)
        return code;
    const QStringList lines = SettingsListing::differences(a, b);
    for (const QString &line : lines)
        run.out << line << '\n';
    return lines.isEmpty() ? ExitOk : ExitDifferences;
}

// The program's printout, A4, to a PDF file.
int print(CliRun &run)
{
    const QString &path = run.args.output;
    MemoryRecord record;
    if (const int code = run.applyLanguage(); code != ExitOk)
        return code;
    if (const int code = run.load(run.args.files[0], record); code != ExitOk)
        return code;
    // Written whole or not at all: a full disk or a device in the way
    // leaves whatever stood there as it was.
    PdfFile out(path);
    const Result<QString> writePath = out.writePath();
    if (!writePath)
        return run.fail(ExitBadFile, QStringLiteral("%1: %2").arg(path, writePath.failure().reason));
    {
        QPdfWriter pdf(*writePath);
        pdf.setResolution(600);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setTitle(QLatin1String(SettingsPrintout::JobName));
        pdf.setCreator(QStringLiteral("tessaro-cli"));
        const LanguageCaptions captions;
        SettingsPrintout printout(record, captions);
        if (!printout.print(pdf))
            return run.fail(ExitBadFile, QStringLiteral("%1: the PDF file could not be written").arg(path));
    }
    if (const Result<void> committed = out.commit(); !committed)
        return run.fail(ExitBadFile, QStringLiteral("%1: %2").arg(path, committed.failure().reason));
    return ExitOk;
}

int exportJson(CliRun &run)
{
    const Result<QByteArray> json = KvrJson::exportFile(run.args.files[0]);
    if (!json)
        return run.fail(ExitBadFile, json.failure().text());
    run.out << QString::fromUtf8(*json);
    return ExitOk;
}

int importJson(CliRun &run)
{
    const QString &path = run.args.files[0];
    // A file or a pipe, read to its end; never a device without end.
    const SafeFile::Contents input = SafeFile::readInput(path, SafeFile::JsonLimit);
    if (!input.ok())
        return run.fail(ExitBadFile, QStringLiteral("%1: %2").arg(path, input.reason()));
    const Result<void> imported = KvrJson::importJson(input.bytes, run.args.output);
    if (!imported)
        return run.fail(ExitBadFile, QStringLiteral("%1: %2").arg(path, imported.failure().text()));
    return ExitOk;
}

} // namespace CliHandlers
