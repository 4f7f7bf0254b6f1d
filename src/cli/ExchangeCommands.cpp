// The commands that talk to the communicator: status, read, write, compare.

#include "cli/CliHandlers.h"
#include "cli/CliRun.h"
#include "cli/CliTransport.h"
#include "cli/DeviceSession.h"
#include "cli/SettingsListing.h"
#include "cli/TemplateValues.h"
#include "cli/WriteGate.h"

#include "device/DeviceCodec.h"
#include "platform/SafeFile.h"
#include "settings/FirmwareOptions.h"
#include "settings/MemoryRecord.h"
#include "settings/ParameterTable.h"
#include "settings/SettingsFile.h"

#include <QTextStream>

namespace
{

// A read is done all the same when its history file cannot be written; the
// user hears of it.
void warnIfNotKept(CliRun &run, DeviceSession &session)
{
    const QString error = session.service().outcome().historyError;
    if (!error.isEmpty())
        run.warn(QStringLiteral("not kept in the history: ") + error);
}

// "PwOn=12" and "SvHr=72" lines, a counter of the parameter table each;
// blank lines and # or ; comments pass. The input may be a file or a pipe
// ("--counters <(...)", /dev/stdin): it is read to its end. Input that
// cannot be read or gives no counter is refused: the device's own counters
// are never written in its place.
int readCounters(CliRun &run, DeviceSession::Counters *counters)
{
    const QString &path = run.args.counters;
    const SafeFile::Contents input = SafeFile::readInput(path, SafeFile::CountersLimit);
    if (!input.ok())
        return run.fail(ExitRefused, QStringLiteral("%1: %2").arg(path, input.reason()));
    const QStringList lines = QString::fromUtf8(input.bytes).split(QLatin1Char('\n'));
    int lineNo = 0;
    for (const QString &raw : lines) {
        ++lineNo;
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')))
            continue;
        const QString key = line.section(QLatin1Char('='), 0, 0).trimmed();
        const Counter *counter = nullptr;
        for (const Counter &c : ParameterTable::counters())
            if (key.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0)
                counter = &c;
        if (!counter || !line.contains(QLatin1Char('=')))
            return run.fail(
                ExitBadFile,
                QStringLiteral("%1:%2: expected PwOn=N or SvHr=N").arg(path, QString::number(lineNo)));
        bool ok = false;
        const int n = line.section(QLatin1Char('='), 1).trimmed().toInt(&ok);
        if (!ok || n < 0 || n > counter->max)
            return run.fail(ExitRefused, QStringLiteral("%1:%2: %3 must be 0 to %4")
                                             .arg(path, QString::number(lineNo), QLatin1String(counter->name),
                                                  QString::number(counter->max)));
        (counter->which == DeviceValue::PwOn ? counters->powerOnCount : counters->serviceHours) =
            QString::number(n);
    }
    if (!counters->powerOnCount && !counters->serviceHours)
        return run.fail(ExitRefused, QStringLiteral("%1: no PwOn=N or SvHr=N line").arg(path));
    return ExitOk;
}

// The write went out whole, but the communicator gives back other values:
// every parameter that differs, as sent and as read, and where the settings
// from before the write are kept.
int mismatch(CliRun &run, DeviceSession &session, const DeviceSession::Outcome &o)
{
    const ExchangeService &service = session.service();
    const ExchangeService::Outcome &written = service.outcome();
    QString text = o.message + QStringLiteral(" (sent -> read back):");
    for (const QString &line : SettingsListing::changes(*service.sentRecord(), *service.readBackRecord()))
        text += QStringLiteral("\n  ") + line;
    for (const int k : written.unlistedBytes)
        text += QStringLiteral("\n  block byte %1: %2 -> %3")
                    .arg(k)
                    .arg(ExchangeService::hexByte(written.sentBlock.at(k - 1)),
                         ExchangeService::hexByte(written.readBack.at(k - 1)));
    if (!written.historyPath.isEmpty())
        text += QStringLiteral("\nWhat the communicator holds now is kept in %1").arg(written.historyPath);
    text += written.backupPath.isEmpty()
                ? QStringLiteral("\nThe settings from before the write were not kept.")
                : QStringLiteral("\nThe settings from before the write are in %1").arg(written.backupPath);
    session.noteInTrace(QStringLiteral("written, but read back different"));
    run.fail(ExitMismatch, text);
    run.warnAboutLanguage();
    return ExitMismatch;
}

int printChanges(CliRun &run, const SettingsRecord &inDevice, const SettingsRecord &toWrite)
{
    const QStringList lines = TemplateValues::changeLines(inDevice, toWrite);
    for (const QString &line : lines)
        run.out << line << '\n';
    run.out.flush();
    return lines.isEmpty() ? ExitOk : ExitDifferences;
}

// write --set, --dry-run, --show-changes: the labels in the language of the
// run, the values given put into what is written (the file stays as it is),
// the list printed once the write has read the communicator.
int prepareChanges(CliRun &run, SettingsRecord &record, CliWriteChoice &choice)
{
    if (const int code = run.applyLanguage(); code != ExitOk)
        return code;
    const auto values = TemplateValues::parse(run.args.assignments);
    if (!values)
        return run.fail(ExitUsage, values.failure().text());
    const QStringList refused = TemplateValues::put(*values, record);
    if (!refused.isEmpty())
        return run.fail(ExitRefused,
                        QStringLiteral("refused, nothing sent:\n  ") + refused.join(QStringLiteral("\n  ")));
    choice.notOffered = [given = *values](const QString &firmware) {
        QStringList refused;
        for (const ValueAssignment::Refusal &r : ValueAssignment::notOffered(given, firmware))
            refused << ValueAssignment::describe(r);
        return refused.join(QStringLiteral(", "));
    };
    if (run.args.showChanges)
        choice.showChanges = [&run](const SettingsRecord &inDevice, const SettingsRecord &toWrite) {
            printChanges(run, inDevice, toWrite);
        };
    return ExitOk;
}

// What the write would change; nothing is written.
int dryRun(CliRun &run, DeviceSession &session, SettingsRecord &record,
           const DeviceSession::Counters &counters, const CliWriteChoice &choice)
{
    MemoryRecord inDevice;
    const DeviceSession::Outcome o = session.dryRun(record, inDevice, counters, choice);
    if (o.code != ExitOk)
        return run.failed(session, o);
    session.noteInTrace(QStringLiteral("dry run, nothing written"));
    return printChanges(run, inDevice, record);
}

} // namespace

namespace CliHandlers
{

int status(CliRun &run)
{
    return run.exchange([&run](DeviceSession &session, const CliTransport &transport) {
        MemoryRecord record;
        const DeviceSession::Outcome o = session.status(record);
        if (o.code != ExitOk)
            return run.failed(session, o);
        run.out << "port:           " << transport.describe() << '\n'
                << "firmware:       " << record.deviceValue(DeviceValue::FirmwareVersion) << '\n'
                << "serial number:  " << record.deviceValue(DeviceValue::SerN) << '\n'
                << "power-on count: " << record.deviceValue(DeviceValue::PwOn) << '\n'
                << "service hours:  " << record.deviceValue(DeviceValue::SvHr) << '\n';
        return int(ExitOk);
    });
}

int read(CliRun &run)
{
    return run.exchange([&run](DeviceSession &session, const CliTransport &) {
        MemoryRecord record;
        const DeviceSession::Outcome o = session.read(record);
        if (o.code != ExitOk)
            return run.failed(session, o);
        warnIfNotKept(run, session);
        if (const Result<void> written = SettingsFile::write(run.args.output, record); !written)
            return run.fail(ExitBadFile,
                            QStringLiteral("%1: %2").arg(run.args.output, written.failure().reason));
        return int(ExitOk);
    });
}

// The file's values against the communicator's, as diff lists two files:
// exit 1 when any differ.
int compare(CliRun &run)
{
    return run.exchange([&run](DeviceSession &session, const CliTransport &) {
        MemoryRecord file;
        if (const int code = run.applyLanguage(); code != ExitOk)
            return code;
        if (const int code = run.load(run.args.files[0], file); code != ExitOk)
            return code;
        MemoryRecord record;
        const DeviceSession::Outcome o = session.read(record);
        if (o.code != ExitOk)
            return run.failed(session, o);
        warnIfNotKept(run, session);
        // The options this firmware does not offer are held at their fixed
        // values on both sides, as a write of the file would send them, and
        // the file's values count as the communicator would hold them.
        FirmwareOptions::apply(record.deviceValue(DeviceValue::FirmwareVersion), file);
        MemoryRecord held;
        DeviceCodec::asHeld(file, held, DeviceCodec::decimalSeparator());
        const QStringList lines = SettingsListing::differences(held, record);
        for (const QString &line : lines)
            run.out << line << '\n';
        return int(lines.isEmpty() ? ExitOk : ExitDifferences);
    });
}

int write(CliRun &run)
{
    return run.exchange([&run](DeviceSession &session, const CliTransport &) {
        DeviceSession::Counters counters;
        if (!run.args.counters.isEmpty())
            if (const int code = readCounters(run, &counters); code != ExitOk)
                return code;
        MemoryRecord record;
        if (const int code = run.load(run.args.files[0], record); code != ExitOk)
            return code;
        CliWriteChoice choice;
        choice.verify = !run.args.noVerify;
        choice.withoutBackup = run.args.noBackup;
        const CliArgs &args = run.args;
        if (!args.assignments.isEmpty() || args.dryRun || args.showChanges) {
            if (const int code = prepareChanges(run, record, choice); code != ExitOk)
                return code;
        } else {
            // A refusal and a mismatch name the parameters in the language in use.
            run.applyLanguageForMessages();
        }
        if (args.dryRun)
            return dryRun(run, session, record, counters, choice);
        const DeviceSession::Outcome o = session.write(record, counters, choice);
        if (o.code == ExitMismatch)
            return mismatch(run, session, o);
        if (o.code != ExitOk) {
            const int code = run.failed(session, o);
            if (o.code == ExitRefused && session.service().refusal())
                run.warnAboutLanguage();
            return code;
        }
        session.noteInTrace(session.service().outcome().readBack.isEmpty()
                                ? QStringLiteral("written")
                                : QStringLiteral("written and verified"));
        return int(ExitOk);
    });
}

} // namespace CliHandlers
