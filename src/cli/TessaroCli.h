#pragma once

#include <QString>
#include <QStringList>

class QTextStream;
struct SessionLine;

// tessaro-cli: the program's reads, writes and settings files from a shell
// or a script. Everything runs through the program's own code (exchange
// engine, codec, settings file, language texts); this is only the front.
namespace TessaroCli
{

// Runs one command line (the arguments after the program name) and returns
// the exit code. Results go to out, errors to err; a progress bar goes to
// err when progressBar is set (err is a terminal). Config.ini and the
// language file are looked up in the current directory, as the program
// does. A command that draws (print) needs a QGuiApplication (the offscreen
// platform will do). The exchanges run on line (real timers and the chosen
// port or cable when it holds none).
int run(const QStringList &args, QTextStream &out, QTextStream &err, bool progressBar);
int run(const QStringList &args, QTextStream &out, QTextStream &err, bool progressBar,
        const SessionLine &line);

// Whether the command the arguments begin with draws.
bool draws(const QStringList &args);

} // namespace TessaroCli
