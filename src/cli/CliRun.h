#pragma once

#include "cli/CliArgs.h"
#include "cli/CliExitCode.h"
#include "cli/DeviceSession.h"

#include <QString>

#include <functional>
#include <optional>

class MemoryRecord;
class QTextStream;
struct CliTransport;

// One run of tessaro-cli: its command line, where its results and errors go,
// and what the commands do alike. The helpers that can fail have said why
// on standard error and return the exit code; ExitOk when all went well.
struct CliRun {
    CliRun(const CliArgs &a, QTextStream &o, QTextStream &e, bool bar)
        : args(a), out(o), err(e), progressBar(bar)
    {
    }

    const CliArgs &args;
    QTextStream &out;
    QTextStream &err;
    bool progressBar = false;
    SessionLine line; // where the exchanges run

    // "tessaro-cli: text" on standard error; gives back code.
    int fail(int code, const QString &text);
    // A line on standard error that does not end the run.
    void warn(const QString &text);

    // Loads a settings file; the run-time error text names what is wrong.
    int load(const QString &path, MemoryRecord &record);

    // The language in use: --lang, else the Lang of Config.ini in the
    // program folder when that file exists; the built-in texts otherwise.
    int applyLanguage();
    // The same for the messages of a write: a language file that cannot be
    // read leaves the built-in texts in force, and the problem is told
    // beside the message (warnAboutLanguage) rather than ending the run.
    void applyLanguageForMessages();
    void warnAboutLanguage();

    // Runs an exchange command on a session over the transport the command
    // line or Config.ini chooses, with the trace and the progress bar.
    int exchange(const std::function<int(DeviceSession &, const CliTransport &)> &command);
    // A failed exchange: said on standard error and in the trace.
    int failed(DeviceSession &session, const DeviceSession::Outcome &outcome);

  private:
    std::optional<QString> m_languageProblem;
};
