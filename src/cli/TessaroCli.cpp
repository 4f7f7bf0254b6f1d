#include "cli/TessaroCli.h"

#include "cli/CliArgs.h"
#include "cli/CliExitCode.h"
#include "cli/CliTransport.h"
#include "cli/DeviceSession.h"
#include "cli/KvrJson.h"
#include "cli/SettingsListing.h"
#include "cli/TerminalText.h"

#include "device/DeviceCodec.h"
#include "history/DeviceHistory.h"
#include "lang/ProgramConfig.h"
#include "platform/SafeFile.h"
#include "settings/FirmwareOptions.h"
#include "settings/LanguageCaptions.h"
#include "settings/MemoryRecord.h"
#include "settings/PdfFile.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsPrintout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextStream>

namespace TessaroCli
{

namespace
{

struct Run {
    const CliArgs &args;
    QTextStream &out;
    QTextStream &err;
    bool progressBar;

    int fail(int code, const QString &text)
    {
        err << "tessaro-cli: " << text << '\n';
        err.flush();
        return code;
    }

    // A failed exchange: said on stderr and in the trace.
    int failed(DeviceSession &session, const DeviceSession::Outcome &o)
    {
        session.noteInTrace(QStringLiteral("failed (exit code %1): %2").arg(int(o.code)).arg(o.message));
        return fail(o.code, o.message);
    }

    // Loads a settings file; the run-time error text names what is wrong.
    bool load(const QString &path, MemoryRecord &record, int *code)
    {
        if (const auto error = SettingsFile::load(path, record)) {
            *code = fail(ExitBadFile, QStringLiteral("%1: %2").arg(path, *error));
            return false;
        }
        return true;
    }

    // The language in use: --lang, else the Lang of Config.ini in the
    // program folder when that file exists; the built-in texts otherwise.
    bool applyLanguage(int *code)
    {
        QString file = args.lang;
        if (file.isEmpty()) {
            const QString folder = QDir::currentPath();
            const QString config = ProgramConfig::path(folder);
            if (!QFileInfo::exists(config))
                return true;
            file = folder + QLatin1Char('/') + ProgramConfig::read(config).lang;
            if (!QFileInfo::exists(file))
                return true; // the program too falls back on its built-in texts
        }
        QString error;
        if (!SettingsListing::loadLanguageFile(file, &error)) {
            *code = fail(ExitBadFile, error);
            return false;
        }
        return true;
    }

    int show()
    {
        int code = ExitOk;
        MemoryRecord record;
        if (!applyLanguage(&code) || !load(args.files[0], record, &code))
            return code;
        out << SettingsListing::show(record);
        return ExitOk;
    }

    int diff()
    {
        int code = ExitOk;
        MemoryRecord a;
        MemoryRecord b;
        if (!applyLanguage(&code) || !load(args.files[0], a, &code) || !load(args.files[1], b, &code))
            return code;
        const QStringList lines = SettingsListing::differences(a, b);
        for (const QString &line : lines)
            out << line << '\n';
        return lines.isEmpty() ? ExitOk : ExitDifferences;
    }

    // The program's printout, A4, to a PDF file.
    int print()
    {
        int code = ExitOk;
        MemoryRecord record;
        if (!applyLanguage(&code) || !load(args.files[0], record, &code))
            return code;
        // Written whole or not at all: a full disk or a device in the way
        // leaves whatever stood there as it was.
        PdfFile out(args.output);
        if (out.writePath().isEmpty())
            return fail(ExitBadFile, QStringLiteral("%1: %2").arg(args.output, out.error()));
        {
            QPdfWriter pdf(out.writePath());
            pdf.setResolution(600);
            pdf.setPageSize(QPageSize(QPageSize::A4));
            pdf.setTitle(QLatin1String(SettingsPrintout::JobName));
            pdf.setCreator(QStringLiteral("tessaro-cli"));
            const LanguageCaptions captions;
            SettingsPrintout printout(record, captions);
            if (!printout.print(pdf))
                return fail(ExitBadFile,
                            QStringLiteral("%1: the PDF file could not be written").arg(args.output));
        }
        if (!out.commit())
            return fail(ExitBadFile, QStringLiteral("%1: %2").arg(args.output, out.error()));
        return ExitOk;
    }

    int exportJson()
    {
        QString error;
        const auto json = KvrJson::exportFile(args.files[0], &error);
        if (!json)
            return fail(ExitBadFile, QStringLiteral("%1: %2").arg(args.files[0], error));
        out << QString::fromUtf8(*json);
        return ExitOk;
    }

    int importJson()
    {
        // A file or a pipe, read to its end; never a device without end.
        const SafeFile::Contents input = SafeFile::readInput(args.files[0], SafeFile::JsonLimit);
        if (!input.ok())
            return fail(ExitBadFile, QStringLiteral("%1: %2").arg(args.files[0], input.reason()));
        QString error;
        if (!KvrJson::importJson(input.bytes, args.output, &error))
            return fail(ExitBadFile, QStringLiteral("%1: %2").arg(args.files[0], error));
        return ExitOk;
    }

    // "PwOn=12" and "SvHr=72" lines; blank lines and # or ; comments pass.
    // The input may be a file or a pipe ("--counters <(...)", /dev/stdin):
    // it is read to its end. Input that cannot be read or gives no counter
    // is refused: the device's own counters are never written in its place.
    int readCounters(DeviceSession::Counters *counters)
    {
        const SafeFile::Contents input = SafeFile::readInput(args.counters, SafeFile::CountersLimit);
        if (!input.ok())
            return fail(ExitRefused, QStringLiteral("%1: %2").arg(args.counters, input.reason()));
        const QStringList lines = QString::fromUtf8(input.bytes).split(QLatin1Char('\n'));
        int lineNo = 0;
        for (const QString &raw : lines) {
            ++lineNo;
            const QString line = raw.trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')))
                continue;
            const QString key = line.section(QLatin1Char('='), 0, 0).trimmed();
            const QString value = line.section(QLatin1Char('='), 1).trimmed();
            bool ok = false;
            const int n = value.toInt(&ok);
            // The power-on count is one byte; the service hours go out as
            // hours and days, one byte each.
            if (key.compare(QLatin1String("PwOn"), Qt::CaseInsensitive) == 0 &&
                line.contains(QLatin1Char('='))) {
                if (!ok || n < 0 || n > 255)
                    return fail(
                        ExitRefused,
                        QStringLiteral("%1:%2: PwOn must be 0 to 255").arg(args.counters).arg(lineNo));
                counters->powerOnCount = QString::number(n);
            } else if (key.compare(QLatin1String("SvHr"), Qt::CaseInsensitive) == 0 &&
                       line.contains(QLatin1Char('='))) {
                if (!ok || n < 0 || n > 255 * 24 + 23)
                    return fail(
                        ExitRefused,
                        QStringLiteral("%1:%2: SvHr must be 0 to 6143").arg(args.counters).arg(lineNo));
                counters->serviceHours = QString::number(n);
            } else {
                return fail(
                    ExitBadFile,
                    QStringLiteral("%1:%2: expected PwOn=N or SvHr=N").arg(args.counters).arg(lineNo));
            }
        }
        if (!counters->powerOnCount && !counters->serviceHours)
            return fail(ExitRefused, QStringLiteral("%1: no PwOn=N or SvHr=N line").arg(args.counters));
        return ExitOk;
    }

    int exchange()
    {
        const CliTransport transport = CliTransport::choose(args, QDir::currentPath());
        DeviceSession session(transport);
        const QString trace = args.trace.isEmpty() ? transport.configTrace : args.trace;
        if (!trace.isEmpty()) {
            QString error;
            if (!session.openTrace(trace, &error)) {
                if (!args.trace.isEmpty())
                    return fail(ExitBadFile, QStringLiteral("trace %1").arg(error));
                err << "tessaro-cli: no trace: " << error << '\n';
            }
        }
        if (progressBar)
            session.setProgressStream(&err);
        const int code = exchangeCommand(session, transport);
        // A trace asked for and not written whole is a failure of the run.
        QString traceError;
        if (!session.closeTrace(&traceError) && code == ExitOk)
            return fail(ExitBadFile, QStringLiteral("trace %1").arg(traceError));
        return code;
    }

    int exchangeCommand(DeviceSession &session, const CliTransport &transport)
    {
        MemoryRecord record;
        if (args.command == QLatin1String("status")) {
            const DeviceSession::Outcome o = session.status(record);
            if (o.code != ExitOk)
                return failed(session, o);
            out << "port:           " << transport.describe() << '\n'
                << "firmware:       " << record.deviceValue(DeviceValue::FirmwareVersion) << '\n'
                << "serial number:  " << record.deviceValue(DeviceValue::SerN) << '\n'
                << "power-on count: " << record.deviceValue(DeviceValue::PwOn) << '\n'
                << "service hours:  " << record.deviceValue(DeviceValue::SvHr) << '\n';
            return ExitOk;
        }
        if (args.command == QLatin1String("read")) {
            const DeviceSession::Outcome o = session.read(record);
            if (o.code != ExitOk)
                return failed(session, o);
            warnIfNotKept(session);
            if (const auto error = SettingsFile::write(args.output, record))
                return fail(ExitBadFile, QStringLiteral("%1: %2").arg(args.output, *error));
            return ExitOk;
        }
        if (args.command == QLatin1String("compare")) {
            // The file's values against the communicator's, as diff lists two
            // files: exit 1 when any differ.
            int code = ExitOk;
            MemoryRecord file;
            if (!applyLanguage(&code) || !load(args.files[0], file, &code))
                return code;
            const DeviceSession::Outcome o = session.read(record);
            if (o.code != ExitOk)
                return failed(session, o);
            warnIfNotKept(session);
            // The options this firmware does not offer are held at their fixed
            // values on both sides, as a write of the file would send them,
            // and the file's values count as the communicator would hold them.
            FirmwareOptions::apply(record.deviceValue(DeviceValue::FirmwareVersion), file);
            MemoryRecord held;
            DeviceCodec::asHeld(file, held, ExchangeService::decimalSeparator());
            const QStringList lines = SettingsListing::differences(held, record);
            for (const QString &line : lines)
                out << line << '\n';
            return lines.isEmpty() ? ExitOk : ExitDifferences;
        }
        // write
        DeviceSession::Counters counters;
        if (!args.counters.isEmpty())
            if (const int code = readCounters(&counters); code != ExitOk)
                return code;
        int code = ExitOk;
        if (!load(args.files[0], record, &code))
            return code;
        const DeviceSession::Outcome o = session.write(record, counters, {!args.noVerify, args.noBackup});
        if (o.code == ExitMismatch)
            return mismatch(session, o);
        if (o.code != ExitOk)
            return failed(session, o);
        session.noteInTrace(session.service().outcome().readBack.isEmpty()
                                ? QStringLiteral("written")
                                : QStringLiteral("written and verified"));
        return ExitOk;
    }

    // A read is done all the same when its history file cannot be written;
    // the user hears of it.
    void warnIfNotKept(DeviceSession &session)
    {
        const QString error = session.service().outcome().historyError;
        if (!error.isEmpty()) {
            err << "tessaro-cli: not kept in the history: " << error << '\n';
            err.flush();
        }
    }

    // The write went out whole, but the communicator gives back other
    // values: every parameter that differs, as sent and as read, and where
    // the settings from before the write are kept.
    int mismatch(DeviceSession &session, const DeviceSession::Outcome &o)
    {
        int code = ExitOk;
        if (!applyLanguage(&code))
            return code;
        const ExchangeService &service = session.service();
        const ExchangeService::Outcome &written = service.outcome();
        QString text = o.message + QStringLiteral(" (sent -> read back):");
        for (const QString &line :
             SettingsListing::differences(*service.sentRecord(), *service.readBackRecord(), true))
            text += QStringLiteral("\n  ") + line;
        text +=
            written.backupPath.isEmpty()
                ? QStringLiteral("\nThe settings from before the write were not kept.")
                : QStringLiteral("\nThe settings from before the write are in %1").arg(written.backupPath);
        session.noteInTrace(QStringLiteral("written, but read back different"));
        return fail(ExitMismatch, text);
    }

    // Every entry of the history in the program folder: serial number, date
    // and time, what happened, the technician, the firmware, the file (with
    // "(changed)" when it was changed by hand since it was kept).
    int history()
    {
        DeviceHistory history(QDir::currentPath(), DeviceHistory::optionsOf(QDir::currentPath()));
        const Result<QList<DeviceHistory::Entry>> listed = history.list(args.serial);
        if (!listed)
            return fail(ExitBadFile, listed.failure().text());
        qsizetype technicianWidth = 0;
        for (const DeviceHistory::Entry &e : listed.value())
            technicianWidth = std::max(technicianWidth, e.technician.size());
        for (const DeviceHistory::Entry &e : listed.value()) {
            QString stamp = e.stamp;
            stamp[13] = u':';
            stamp[16] = u':';
            out << e.serialNumber << "  " << stamp << "  "
                << DeviceHistory::eventName(e.event).leftJustified(12) << "  "
                << TerminalText::printable(e.technician).leftJustified(technicianWidth) << "  "
                << TerminalText::printable(e.firmware.isEmpty() ? QStringLiteral("-") : e.firmware)
                       .leftJustified(8)
                << "  " << e.path;
            if (e.state == DeviceHistory::FileState::Changed)
                out << "  (changed)";
            else if (e.state == DeviceHistory::FileState::Missing)
                out << "  (missing)";
            out << '\n';
        }
        return ExitOk;
    }
};

} // namespace

QString helpText()
{
    return QStringLiteral(
        "Usage: tessaro-cli COMMAND [OPTIONS]\n"
        "\n"
        "Commands:\n"
        "  read -o FILE.kvr        read the settings from the communicator into a settings file\n"
        "  write FILE.kvr          write a settings file to the communicator; its counters are\n"
        "                          kept unless --counters FILE gives others (lines PwOn=N, SvHr=N).\n"
        "                          The communicator's settings are read and kept in History/ first,\n"
        "                          and read back after the write to check it\n"
        "  status                  firmware version, serial number and counters of the communicator\n"
        "  compare FILE.kvr        the parameters whose values differ between the file and the\n"
        "                          communicator (exit code 1 when any do)\n"
        "  history [--serial N]    the settings kept in History/: serial number, date and time,\n"
        "                          what happened (read, before write, written), file\n"
        "  show FILE.kvr           every parameter with its label and value, by page\n"
        "  diff A.kvr B.kvr        only the parameters that differ\n"
        "  print FILE.kvr -o FILE.pdf\n"
        "                          the program's printout of a settings file, as PDF (A4)\n"
        "  export FILE.kvr         the settings file as JSON on standard output\n"
        "  import FILE.json -o FILE.kvr\n"
        "                          a settings file from that JSON (all 45 keys, no others)\n"
        "\n"
        "Options of read, write, status and compare:\n"
        "  --port N                serial port COMN, mapped as the program maps it ([Ports] of\n"
        "                          Config.ini, else COM1-8 /dev/ttyS0-7, COM9-12 /dev/ttyUSB0-3,\n"
        "                          COM13-16 /dev/ttyACM0-3)\n"
        "  --device PATH           a serial device given by its path\n"
        "  --usb                   the USB cable (FTDI, serial number ZARP-USB)\n"
        "                          Without these: the COM and USB choice of Config.ini.\n"
        "  --trace FILE            append a hex trace of every byte each way to FILE\n"
        "                          (default: [Setup] Trace of Config.ini, if set)\n"
        "Options of write:\n"
        "  --no-verify             neither read the settings before the write nor read them back\n"
        "                          (also [Setup] VerifyWrite=0 of Config.ini)\n"
        "  --no-backup             write even when the settings before the write cannot be kept\n"
        "Options of show, diff, print and compare:\n"
        "  --lang FILE.LNG         labels from this language file (default: the Lang of\n"
        "                          Config.ini, else the built-in Czech texts)\n"
        "\n"
        "Config.ini, the language files and History/ are in the current directory, as in\n"
        "the program ([Setup] History=0 keeps no history). A progress bar goes to standard\n"
        "error when that is a terminal.\n"
        "\n"
        "Exit codes:\n"
        "  0  success\n"
        "  1  diff, compare: the settings differ\n"
        "  2  usage: unknown command or option, missing argument\n"
        "  3  the serial port or the USB cable could not be opened\n"
        "  4  no answer from the communicator, or an incomplete one, within the time limit\n"
        "  5  the block read does not start with the marker byte (device memory not valid)\n"
        "  6  a file could not be read, understood or written\n"
        "  7  write refused: values the communicator cannot take; nothing was sent\n"
        "  8  write: the settings read back differ from those written\n");
}

int run(const QStringList &args, QTextStream &out, QTextStream &err, bool progressBar)
{
    QString error;
    const auto parsed = CliArgs::parse(args, &error);
    if (!parsed) {
        err << "tessaro-cli: " << error << "\n(tessaro-cli --help lists the commands)\n";
        err.flush();
        return ExitUsage;
    }
    Run r{*parsed, out, err, progressBar};
    int code = ExitOk;
    const QString &c = parsed->command;
    if (c == QLatin1String("help")) {
        out << helpText();
    } else if (c == QLatin1String("show")) {
        code = r.show();
    } else if (c == QLatin1String("diff")) {
        code = r.diff();
    } else if (c == QLatin1String("print")) {
        code = r.print();
    } else if (c == QLatin1String("export")) {
        code = r.exportJson();
    } else if (c == QLatin1String("import")) {
        code = r.importJson();
    } else if (c == QLatin1String("history")) {
        code = r.history();
    } else {
        code = r.exchange();
    }
    out.flush();
    err.flush();
    return code;
}

} // namespace TessaroCli
