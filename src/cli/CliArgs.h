#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The command line of tessaro-cli: one command, its files and options.
struct CliArgs {
    QString command;         // read write status compare show diff print export import history help
    QStringList files;       // the positional arguments
    QString output;          // -o FILE
    std::optional<int> port; // --port N
    QString device;          // --device PATH
    bool usb = false;        // --usb
    QString trace;           // --trace FILE
    QString counters;        // --counters FILE
    QString lang;            // --lang FILE.LNG
    bool noVerify = false;   // --no-verify: write without reading before and after
    bool noBackup = false;   // --no-backup: write even when the old block cannot be kept
    QString serial;          // --serial N (history)

    // The command talks to the communicator.
    bool exchanges() const;

    // Parses the arguments after the program name. Nothing, with *error
    // set, when they do not form a valid command line.
    static std::optional<CliArgs> parse(const QStringList &args, QString *error);
};
