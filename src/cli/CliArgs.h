#pragma once

#include "platform/Result.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <span>

struct CliCommand;

// The command line of tessaro-cli: one command, its files and options.
struct CliArgs {
    const CliCommand *entry = nullptr; // the command's row of the table
    QString command;                   // its name: read write status ... help
    QStringList files;                 // the positional arguments
    QString output;                    // -o FILE
    std::optional<int> port;           // --port N
    QString device;                    // --device PATH
    bool usb = false;                  // --usb
    QString trace;                     // --trace FILE
    QString counters;                  // --counters FILE
    QString lang;                      // --lang FILE.LNG
    bool noVerify = false;             // --no-verify: write without reading before and after
    bool noBackup = false;             // --no-backup: write even when the old block cannot be kept
    QString serial;                    // --serial N (history)
    QStringList assignments;           // KEY=VALUE: set's after its file, write's after --set
    bool dryRun = false;               // --dry-run: list what a write would change, write nothing
    bool showChanges = false;          // --show-changes: list what a write changes before sending
    bool force = false;                // --force: make replaces files that exist

    // Parses the arguments after the program name; fails, saying why, when
    // they do not form a valid command line.
    static Result<CliArgs> parse(const QStringList &args);
};

// One option of the command line: the commands that take it, where its value
// goes, and how the help shows it.
struct CliOption {
    enum class Kind {
        Switch, // sets flag; "--usb=1" is no such option
        Text,   // a text after it or after "=" goes to text
        Port,   // a port number from 1 to 255
        Values, // the KEY=VALUE arguments after it are values (or its own after "=")
    };
    const char *name;
    Kind kind;
    unsigned group; // the CliOptionGroup of the commands that take it
    bool CliArgs::*flag = nullptr;
    QString CliArgs::*text = nullptr;
    const char *needs = nullptr; // a Text option without its text: "--lang needs a language file"
    const char *shown = nullptr; // its value as the help shows it: "FILE.LNG"
    const char *help = nullptr;  // nullptr: not listed apart (a command's synopsis shows it)
};

namespace CliOptions
{
// Every option, in the order the help lists them.
std::span<const CliOption> all();
} // namespace CliOptions
