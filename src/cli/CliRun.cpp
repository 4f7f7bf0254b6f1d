#include "cli/CliRun.h"

#include "cli/CliTransport.h"
#include "cli/SettingsListing.h"

#include "lang/LanguageTexts.h"
#include "platform/ProgramConfig.h"
#include "settings/MemoryRecord.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace
{

// The language file the run uses: --lang, else the Lang of Config.ini when
// both that file and the language file exist; none for the built-in texts.
QString languageFile(const CliArgs &args)
{
    if (!args.lang.isEmpty())
        return args.lang;
    const QString folder = QDir::currentPath();
    const QString config = ProgramConfig::path(folder);
    if (!QFileInfo::exists(config))
        return {};
    const QString file = folder + QLatin1Char('/') + ProgramConfig::read(config).lang;
    // The program too falls back on its built-in texts.
    return QFileInfo::exists(file) ? file : QString();
}

} // namespace

int CliRun::fail(int code, const QString &text)
{
    warn(text);
    return code;
}

void CliRun::warn(const QString &text)
{
    err << "tessaro-cli: " << text << '\n';
    err.flush();
}

int CliRun::load(const QString &path, MemoryRecord &record)
{
    if (const Result<void> loaded = SettingsFile::load(path, record); !loaded)
        return fail(ExitBadFile, QStringLiteral("%1: %2").arg(path, loaded.failure().reason));
    return ExitOk;
}

int CliRun::applyLanguage()
{
    const QString file = languageFile(args);
    if (file.isEmpty())
        return ExitOk;
    const Result<void> loaded = SettingsListing::loadLanguageFile(file);
    return loaded ? ExitOk : fail(ExitBadFile, loaded.failure().text());
}

void CliRun::applyLanguageForMessages()
{
    m_languageProblem.reset();
    const QString file = languageFile(args);
    if (file.isEmpty())
        return;
    const Result<void> loaded = SettingsListing::loadLanguageFile(file);
    if (!loaded) {
        LanguageTexts::resetToDefaults();
        m_languageProblem = loaded.failure().text();
    }
}

void CliRun::warnAboutLanguage()
{
    if (m_languageProblem)
        warn(QStringLiteral("warning: %1; the built-in texts are used").arg(*m_languageProblem));
}

int CliRun::exchange(const std::function<int(DeviceSession &, const CliTransport &)> &command)
{
    const CliTransport transport = CliTransport::choose(args, QDir::currentPath());
    if (!transport.configProblem.isEmpty())
        warn(transport.configProblem + QStringLiteral(" (the defaults are used)"));
    DeviceSession session(transport, line);
    const QString trace = args.trace.isEmpty() ? transport.configTrace : args.trace;
    if (!trace.isEmpty()) {
        if (const Result<void> opened = session.openTrace(trace); !opened) {
            if (!args.trace.isEmpty())
                return fail(ExitBadFile, QStringLiteral("trace %1").arg(opened.failure().text()));
            warn(QStringLiteral("no trace: ") + opened.failure().text());
        }
    }
    if (progressBar)
        session.setProgressStream(&err);
    const int code = command(session, transport);
    // A trace asked for and not written whole is a failure of the run.
    if (const Result<void> closed = session.closeTrace(); !closed && code == ExitOk)
        return fail(ExitBadFile, QStringLiteral("trace %1").arg(closed.failure().text()));
    return code;
}

int CliRun::failed(DeviceSession &session, const DeviceSession::Outcome &o)
{
    session.noteInTrace(QStringLiteral("failed (exit code %1): %2").arg(int(o.code)).arg(o.message));
    return fail(o.code, o.message);
}
