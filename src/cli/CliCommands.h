#pragma once

#include <QString>
#include <QStringList>

#include <span>

struct CliRun;

// The groups of options a command takes beside its files.
namespace CliOptionGroup
{
enum : unsigned {
    Output = 1u << 0,    // -o FILE, which the command then needs
    Transport = 1u << 1, // --port, --device, --usb, --trace: it talks to the communicator
    Write = 1u << 2,     // --counters, --no-verify, --no-backup
    Language = 1u << 3,  // --lang
    Serial = 1u << 4,    // --serial
    Values = 1u << 5,    // KEY=VALUE arguments after the files, at least one
    Make = 1u << 6,      // --force
    Own = 1u << 7,       // none of these: the command reads the arguments after its name itself
};
} // namespace CliOptionGroup

// One command of tessaro-cli: all the parser, the help text and the
// dispatcher know of it. A new command is a row of the table and a handler
// in a file of its own.
struct CliCommand {
    const char *name;     // as typed; a command of a group has two words ("history sync")
    const char *synopsis; // its arguments as the help shows them; nullptr: not listed
    int files;            // the file arguments it needs
    unsigned options;     // the CliOptionGroup bits it takes
    const char *help;     // what it does; each "\n" begins a further line of the help
    int (*handler)(CliRun &run);
    bool draws = false; // needs a QGuiApplication (the offscreen platform will do)
};

namespace CliCommands
{

// Every command, in the order the help lists them.
std::span<const CliCommand> all();

// "-h" and "--help", which stand for help anywhere on the command line.
bool asksForHelp(const QString &arg);

// The command the arguments begin with ("-h" and "--help" are help), and in
// *words how many arguments its name takes; nullptr when none matches.
const CliCommand *find(const QStringList &args, int *words = nullptr);

// The help text: the commands from the table, then the options, the files
// the tool uses and the exit codes.
QString helpText();

} // namespace CliCommands
