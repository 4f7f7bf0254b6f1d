#include "cli/CliArgs.h"

#include "cli/CliCommands.h"

#include <algorithm>
#include <iterator>

namespace
{

using Kind = CliOption::Kind;
namespace Group = CliOptionGroup;

// clang-format off
const CliOption options[] = {
    {.name = "-o", .kind = Kind::Text, .group = Group::Output, .text = &CliArgs::output, .needs = "a file name"},
    {.name = "--output", .kind = Kind::Text, .group = Group::Output, .text = &CliArgs::output, .needs = "a file name"},
    {.name = "--port", .kind = Kind::Port, .group = Group::Transport, .shown = "N",
     .help = "serial port COMN, mapped as the program maps it ([Ports] of\n"
             "Config.ini, else COM1-8 /dev/ttyS0-7, COM9-12 /dev/ttyUSB0-3,\n"
             "COM13-16 /dev/ttyACM0-3)"},
    {.name = "--device", .kind = Kind::Text, .group = Group::Transport, .text = &CliArgs::device,
     .needs = "a device path", .shown = "PATH", .help = "a serial device given by its path"},
    {.name = "--usb", .kind = Kind::Switch, .group = Group::Transport, .flag = &CliArgs::usb,
     .help = "the USB cable (FTDI, serial number ZARP-USB)\n"
             "Without these: the COM and USB choice of Config.ini."},
    {.name = "--trace", .kind = Kind::Text, .group = Group::Transport, .text = &CliArgs::trace,
     .needs = "a file name", .shown = "FILE",
     .help = "append a hex trace of every byte each way to FILE\n"
             "(default: [Setup] Trace of Config.ini, if set)"},
    {.name = "--counters", .kind = Kind::Text, .group = Group::Write, .text = &CliArgs::counters,
     .needs = "a file name"},
    {.name = "--no-verify", .kind = Kind::Switch, .group = Group::Write, .flag = &CliArgs::noVerify,
     .help = "neither read the settings before the write nor read them back\n"
             "(also [Setup] VerifyWrite=0 of Config.ini)"},
    {.name = "--no-backup", .kind = Kind::Switch, .group = Group::Write, .flag = &CliArgs::noBackup,
     .help = "write even when the settings before the write cannot be kept"},
    {.name = "--set", .kind = Kind::Values, .group = Group::Write, .shown = "KEY=VALUE...",
     .help = "these values written instead of the file's (the file stays)"},
    {.name = "--dry-run", .kind = Kind::Switch, .group = Group::Write, .flag = &CliArgs::dryRun,
     .help = "read the communicator and list what the write would change,\n"
             "write nothing (exit code 1 when anything would change)"},
    {.name = "--show-changes", .kind = Kind::Switch, .group = Group::Write, .flag = &CliArgs::showChanges,
     .help = "list what the write changes before it sends anything"},
    {.name = "--force", .kind = Kind::Switch, .group = Group::Make, .flag = &CliArgs::force},
    {.name = "--lang", .kind = Kind::Text, .group = Group::Language, .text = &CliArgs::lang,
     .needs = "a language file", .shown = "FILE.LNG",
     .help = "labels from this language file (default: the Lang of\n"
             "Config.ini, else the built-in Czech texts)"},
    {.name = "--serial", .kind = Kind::Text, .group = Group::Serial, .text = &CliArgs::serial,
     .needs = "a serial number"},
};
// clang-format on

} // namespace

namespace CliOptions
{
std::span<const CliOption> all()
{
    return options;
}
} // namespace CliOptions

Result<CliArgs> CliArgs::parse(const QStringList &args)
{
    CliArgs a;
    auto fail = [](const QString &text) { return Failure{Failure::Kind::Argument, {}, text}; };
    if (args.isEmpty())
        return fail(QStringLiteral("no command given"));
    int words = 0;
    a.entry = CliCommands::find(args, &words);
    if (!a.entry)
        return fail(QStringLiteral("unknown command '%1'").arg(args.first()));
    a.command = QLatin1String(a.entry->name);
    if (a.command == QLatin1String("help"))
        return a; // whatever follows
    const CliCommand &rule = *a.entry;
    if (rule.options & Group::Own) {
        a.files = args.mid(words);
        if (std::any_of(a.files.cbegin(), a.files.cend(), CliCommands::asksForHelp)) {
            a.entry = CliCommands::find({QStringLiteral("help")});
            a.command = QLatin1String(a.entry->name);
        }
        return a;
    }

    bool values = false; // after --set: KEY=VALUE arguments are values
    for (int i = words; i < args.size(); ++i) {
        QString arg = args[i];
        QString value;
        bool hasValue = false;
        if (arg.startsWith(QLatin1String("--")) && arg.contains(QLatin1Char('='))) {
            value = arg.section(QLatin1Char('='), 1);
            arg = arg.section(QLatin1Char('='), 0, 0);
            hasValue = true;
        }
        auto takeValue = [&]() -> std::optional<QString> {
            if (hasValue)
                return value;
            if (i + 1 >= args.size())
                return std::nullopt;
            return args[++i];
        };
        if (CliCommands::asksForHelp(arg)) {
            CliArgs help;
            help.entry = CliCommands::find({arg});
            help.command = QLatin1String(help.entry->name);
            return help;
        }
        const auto option = std::find_if(std::begin(options), std::end(options), [&](const CliOption &o) {
            return arg == QLatin1String(o.name) && !(o.kind == Kind::Switch && hasValue);
        });
        if (option == std::end(options)) {
            if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1)
                return fail(QStringLiteral("unknown option '%1'").arg(arg));
            const bool isValue = arg.contains(QLatin1Char('='));
            if (isValue && (values || ((rule.options & Group::Values) && a.files.size() >= rule.files)))
                a.assignments << args[i];
            else
                a.files << args[i];
            values = values && isValue;
            continue;
        }
        if (!(rule.options & option->group))
            return fail(QStringLiteral("'%1' does not take %2").arg(a.command, arg));
        switch (option->kind) {
        case Kind::Switch:
            a.*(option->flag) = true;
            break;
        case Kind::Text: {
            const auto v = takeValue();
            if (!v || v->isEmpty())
                return fail(QStringLiteral("%1 needs %2").arg(arg, QLatin1String(option->needs)));
            a.*(option->text) = *v;
            break;
        }
        case Kind::Values:
            if (hasValue)
                a.assignments << value;
            else
                values = true;
            break;
        case Kind::Port: {
            const auto v = takeValue();
            bool ok = false;
            const int n = v ? v->toInt(&ok) : 0;
            if (!ok || n < 1 || n > 255)
                return fail(QStringLiteral("--port needs a port number from 1 to 255"));
            a.port = n;
            break;
        }
        }
    }

    if (a.files.size() != rule.files)
        return fail(rule.files == 0 ? QStringLiteral("'%1' takes no file argument").arg(a.command)
                                    : QStringLiteral("'%1' needs %2 file argument%3")
                                          .arg(a.command)
                                          .arg(rule.files)
                                          .arg(rule.files == 1 ? QString() : QStringLiteral("s")));
    if ((rule.options & Group::Values) && a.assignments.isEmpty())
        return fail(QStringLiteral("'%1' needs KEY=VALUE").arg(a.command));
    if (a.dryRun && a.showChanges)
        return fail(QStringLiteral("choose one of --dry-run and --show-changes"));
    if (a.showChanges && a.noVerify)
        return fail(
            QStringLiteral("--show-changes needs the read before the write that --no-verify leaves out"));
    if ((rule.options & Group::Output) && a.output.isEmpty())
        return fail(QStringLiteral("'%1' needs -o FILE").arg(a.command));
    if (int(a.port.has_value()) + int(!a.device.isEmpty()) + int(a.usb) > 1)
        return fail(QStringLiteral("choose one of --port, --device and --usb"));
    return a;
}
