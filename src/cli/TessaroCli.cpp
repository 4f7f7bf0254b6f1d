#include "cli/TessaroCli.h"

#include "cli/CliArgs.h"
#include "cli/CliCommands.h"
#include "cli/CliRun.h"

#include "serial/AfUtils.h"

#include <QTextStream>

namespace TessaroCli
{

int run(const QStringList &args, QTextStream &out, QTextStream &err, bool progressBar)
{
    return run(args, out, err, progressBar, SessionLine());
}

int run(const QStringList &args, QTextStream &out, QTextStream &err, bool progressBar,
        const SessionLine &line)
{
    const Result<CliArgs> parsed = CliArgs::parse(args);
    if (!parsed) {
        err << "tessaro-cli: " << parsed.failure().text() << "\n(tessaro-cli --help lists the commands)\n";
        err.flush();
        return ExitUsage;
    }
    CliRun r(*parsed, out, err, progressBar);
    r.line = line;
    // What the serial layer would show in a message box is a line of the
    // error output here.
    AfSetExceptionDisplay([&r](const QString &text) { r.warn(text); });
    const int code = parsed->entry->handler(r);
    AfSetExceptionDisplay(nullptr);
    out.flush();
    err.flush();
    return code;
}

bool draws(const QStringList &args)
{
    const CliCommand *command = CliCommands::find(args);
    return command && command->draws;
}

} // namespace TessaroCli
