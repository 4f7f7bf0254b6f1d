#include "cli/CliCommands.h"

#include "cli/CliArgs.h"
#include "cli/CliHandlers.h"
#include "cli/CliRun.h"

#include <QTextStream>

namespace
{

namespace Group = CliOptionGroup;

// clang-format off
const CliCommand commands[] = {
    {"read", "-o FILE.kvr", 0, Group::Output | Group::Transport,
     "read the settings from the communicator into a settings file", CliHandlers::read},
    {"write", "FILE.kvr", 1, Group::Transport | Group::Write | Group::Language,
     "write a settings file to the communicator; its counters are\n"
     "kept unless --counters FILE gives others (lines PwOn=N, SvHr=N).\n"
     "The communicator's settings are read and kept in History/ first,\n"
     "and read back after the write to check it", CliHandlers::write},
    {"status", "", 0, Group::Transport,
     "firmware version, serial number and counters of the communicator", CliHandlers::status},
    {"compare", "FILE.kvr", 1, Group::Transport | Group::Language,
     "the parameters whose values differ between the file and the\n"
     "communicator (exit code 1 when any do)", CliHandlers::compare},
    {"history", "[--serial N]", 0, Group::Serial,
     "the settings kept in History/: serial number, date and time,\n"
     "what happened (read, before write, written, read back),\n"
     "technician, firmware, file (\"(changed)\" when changed by hand)", CliHandlers::history},
    {"history sync", "", 0, 0,
     "share History/ with [History] Remote of Config.ini now: fetch,\n"
     "merge, push (a folder, file://, ssh://user@host/path or\n"
     "user@host:path; ssh keys from the agent or ~/.ssh)", CliHandlers::historySync},
    {"fleet", "[FILTERS] [--sort serial|site|date] [--csv|--json]", 0, Group::Own,
     "one line per communicator of History/: site, latest entry's date and\n"
     "event, technician, firmware; newest first. Filters, all of which must\n"
     "hold: --where KEY=VALUE (the latest settings hold it; repeatable),\n"
     "--dials NUMBER (one of the telephone numbers, spaces, dashes and dots\n"
     "ignored), --firmware VERSION, --since YYYY-MM-DD, --site TEXT (a part\n"
     "of the site). Exit code 1 when none matches", CliHandlers::fleet},
    {"site", "SERIAL [TEXT]", 0, Group::Own,
     "set the site of a serial number (address, lift), or print it\n"
     "(exit code 1 when none is set); kept in History/", CliHandlers::site},
    {"show", "FILE.kvr", 1, Group::Language,
     "every parameter with its label and value, by page", CliHandlers::show},
    {"diff", "A.kvr B.kvr", 2, Group::Language, "only the parameters that differ", CliHandlers::diff},
    {"print", "FILE.kvr -o FILE.pdf", 1, Group::Output | Group::Language,
     "the program's printout of a settings file, as PDF (A4)", CliHandlers::print, true},
    {"export", "FILE.kvr", 1, 0, "the settings file as JSON on standard output", CliHandlers::exportJson},
    {"import", "FILE.json -o FILE.kvr", 1, Group::Output,
     "a settings file from that JSON (all 45 keys, no others)", CliHandlers::importJson},
    {"set", "FILE.kvr KEY=VALUE... -o OUT.kvr", 1, Group::Values | Group::Output | Group::Language,
     "a copy of the file with those values, each checked as the\n"
     "program checks a typed field and the whole set as its Write", CliHandlers::set},
    {"make", "TEMPLATE.kvr TABLE.csv -o FOLDER", 2, Group::Output | Group::Make | Group::Language,
     "one settings file a row of the table: column file (the name)\n"
     "and any of the keys; an empty cell keeps the template's value.\n"
     "Any row refused: none is written. --force replaces files\n"
     "that exist", CliHandlers::make},
    {"help", nullptr, 0, 0, nullptr, CliHandlers::help},
};

// The options each group heads in the help, in the order listed there.
const struct {
    unsigned group;
    const char *heading;
} optionHeadings[] = {
    {Group::Transport, "Options of read, write, status and compare:"},
    {Group::Write, "Options of write:"},
    {Group::Language, "Options of show, diff, print, compare, set, make and write:"},
};
// clang-format on

// "  name ARGS" and the first line of its help in the column after it (on a
// line of its own when the name is too long), the further lines below.
QString entry(const QString &left, const char *help)
{
    constexpr int column = 26;
    const QString indent(column, QLatin1Char(' '));
    const QStringList lines = QString::fromUtf8(help).split(QLatin1Char('\n'));
    QString text = QStringLiteral("  ") + left;
    text = text.size() + 2 > column ? text + QLatin1Char('\n') + indent : text.leftJustified(column);
    text += lines.join(QLatin1Char('\n') + indent) + QLatin1Char('\n');
    return text;
}

} // namespace

namespace CliCommands
{

std::span<const CliCommand> all()
{
    return commands;
}

bool asksForHelp(const QString &arg)
{
    return arg == QLatin1String("-h") || arg == QLatin1String("--help");
}

const CliCommand *find(const QStringList &args, int *words)
{
    const CliCommand *found = nullptr;
    qsizetype longest = 0;
    for (const CliCommand &c : commands) {
        const QStringList name = QString::fromUtf8(c.name).split(QLatin1Char(' '));
        QStringList typed = args.mid(0, name.size());
        if (!typed.isEmpty() && asksForHelp(typed[0]))
            typed[0] = QStringLiteral("help");
        if (typed == name && name.size() > longest) {
            found = &c;
            longest = name.size();
        }
    }
    if (words)
        *words = int(longest);
    return found;
}

QString helpText()
{
    QString text = QStringLiteral("Usage: tessaro-cli COMMAND [OPTIONS]\n"
                                  "\n"
                                  "Commands:\n");
    for (const CliCommand &c : commands)
        if (c.synopsis)
            text += entry(*c.synopsis
                              ? QStringLiteral("%1 %2").arg(QLatin1String(c.name), QLatin1String(c.synopsis))
                              : QLatin1String(c.name),
                          c.help);
    text += QLatin1Char('\n');
    for (const auto &heading : optionHeadings) {
        text += QLatin1String(heading.heading) + QLatin1Char('\n');
        for (const CliOption &o : CliOptions::all())
            if (o.group == heading.group && o.help)
                text +=
                    entry(o.shown ? QStringLiteral("%1 %2").arg(QLatin1String(o.name), QLatin1String(o.shown))
                                  : QLatin1String(o.name),
                          o.help);
    }
    text +=
        QStringLiteral("\n"
                       "Config.ini, the language files and History/ are in the current directory, as in\n"
                       "the program ([Setup] History=0 keeps no history). A progress bar goes to standard\n"
                       "error when that is a terminal.\n"
                       "\n"
                       "Exit codes:\n"
                       "  0  success\n"
                       "  1  diff, compare: the settings differ; write --dry-run: the write would\n"
                       "     change them; fleet: none matches; site: none set\n"
                       "  2  usage: unknown command or option, missing argument, an unknown key or\n"
                       "     a counter as KEY=VALUE, a malformed fleet filter\n"
                       "  3  the serial port or the USB cable could not be opened\n"
                       "  4  no answer from the communicator, or an incomplete one, within the time limit\n"
                       "  5  the block read does not start with the marker byte (device memory not valid)\n"
                       "  6  a file could not be read, understood or written\n"
                       "  7  write, set, make refused: values the communicator cannot take; nothing\n"
                       "     was sent or written\n"
                       "  8  write: the settings read back differ from those written\n"
                       "  9  history sync: the history could not be shared (the remote and why on\n"
                       "     standard error)\n");
    return text;
}

} // namespace CliCommands

namespace CliHandlers
{

int help(CliRun &run)
{
    run.out << CliCommands::helpText();
    return ExitOk;
}

} // namespace CliHandlers
