#include "app/FileCommands.h"

#include "app/FleetModel.h"
#include "app/MainWindowState.h"
#include "app/MessageBoxes.h"
#include "history/DeviceHistory.h"
#include "lang/LanguageTexts.h"
#include "settings/SettingsFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>

namespace
{

std::function<QString(const FileCommands::DialogRequest &)> &dialogPlayer()
{
    static std::function<QString(const FileCommands::DialogRequest &)> player;
    return player;
}

// Shorter names cannot be a settings file path; the commands treat them as
// "no file chosen".
constexpr int ShortestName = 8;

const QString kvr = QStringLiteral("KVR");

QString settingsFilter()
{
    return LanguageTexts::text(Text::SettingsFileType) + QStringLiteral(" KAVR (*.KVR)");
}

// The dialog adds the default extension to a name typed without one.
QString withDefaultExtension(const QString &path)
{
    if (QFileInfo(path).fileName().contains(QLatin1Char('.')))
        return path;
    return path + QLatin1Char('.') + kvr;
}

// A file kept in the device history records what a communicator held (the
// way back after a failed write): whichever way it was opened, it is never
// written over. Links are followed, so no other name reaches it either.
// The path of file inside the history, "<serial>/<name>"; empty when it
// lies outside.
QString pathInHistory(const QString &file, const QString &programFolder)
{
    if (file.isEmpty())
        return QString();
    const auto real = [](const QString &path) {
        const QFileInfo info(path);
        const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
        if (folder.isEmpty())
            return info.absoluteFilePath();
        const QString canonical = info.canonicalFilePath();
        return canonical.isEmpty() ? folder + QLatin1Char('/') + info.fileName() : canonical;
    };
    const QString history = real(QDir(programFolder).absoluteFilePath(QStringLiteral("History"))) + u'/';
    const QString path = real(file);
    return path.startsWith(history) ? path.mid(history.size()) : QString();
}

bool inHistory(const QString &file, const QString &programFolder)
{
    return !pathInHistory(file, programFolder).isEmpty();
}

} // namespace

FileCommands::FileCommands(QWidget *parent, MainWindowState &state, SettingsRecord &record)
    : m_parent(parent), m_state(state), m_record(record)
{
}

void FileCommands::setDialogPlayer(std::function<QString(const DialogRequest &)> player)
{
    dialogPlayer() = std::move(player);
}

QString FileCommands::runDialog(const DialogRequest &request)
{
    if (dialogPlayer())
        return dialogPlayer()(request);

    QFileDialog dialog(m_parent, request.title, request.directory);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters(request.filters);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (request.save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        // The command asks its own question before overwriting.
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.selectedFiles().value(0);
}

void FileCommands::tell(const QString &text)
{
    if (m_sink)
        m_sink(text);
    else
        MessageBoxes::showMessage(m_parent, text);
}

bool FileCommands::acceptName()
{
    QString &file = m_state.CurrentFile;
    if (file.size() < ShortestName) {
        tell(LanguageTexts::text(Text::NoFileChosen));
        return false;
    }
    const int dot = file.lastIndexOf(QLatin1Char('.'));
    const QString extension = (dot < 0 ? file : file.mid(dot + 1)).trimmed().toUpper();
    if (extension != kvr) {
        tell(LanguageTexts::text(Text::NotSettingsFile));
        file.clear();
        return false;
    }
    return true;
}

void FileCommands::load()
{
    // A named pipe, a device or a socket is no settings file, and opening a
    // pipe would wait for a writer: such names are refused before any open.
    struct stat st {
    };
    if (::stat(QFile::encodeName(m_state.CurrentFile).constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        MessageBoxes::showMessage(m_parent, SettingsFile::errorText(EACCES));
        return;
    }
    if (const Result<void> loaded = SettingsFile::load(m_state.CurrentFile, m_record); !loaded)
        tell(loaded.failure().reason);
}

void FileCommands::write()
{
    if (const Result<void> written = SettingsFile::write(m_state.CurrentFile, m_record); !written)
        tell(written.failure().reason);
}

void FileCommands::open()
{
    DialogRequest request;
    request.title = LanguageTexts::text(Text::OpenDialogTitle);
    request.filters = {settingsFilter(), LanguageTexts::text(Text::AllFiles) + QStringLiteral("    *.* (*)")};
    request.directory = m_state.refreshProgramFolder();
    request.defaultSuffix = kvr;

    // Whatever the user does, the dialog's name becomes the current file.
    m_state.CurrentFile = runDialog(request);
    if (acceptName())
        load();
}

void FileCommands::openPath(const QString &path)
{
    m_state.CurrentFile = path;
    if (acceptName())
        load();
}

void FileCommands::save()
{
    if (m_state.CurrentFile.size() >= ShortestName &&
        !inHistory(m_state.CurrentFile, m_state.refreshProgramFolder()))
        write();
    else
        saveAs();
}

void FileCommands::saveAs()
{
    QString name = m_state.SaveAsOnClose ? m_state.CurrentFile : QString();
    if (inHistory(name, m_state.refreshProgramFolder()))
        name = QFileInfo(name).fileName();
    for (;;) {
        DialogRequest request;
        request.save = true;
        request.title = LanguageTexts::text(Text::SaveDialogTitle);
        request.filters = {settingsFilter()};
        request.directory = m_state.refreshProgramFolder();
        request.fileName = name;
        request.defaultSuffix = kvr;

        const QString chosen = runDialog(request);
        if (chosen.isEmpty())
            return;
        if (inHistory(withDefaultExtension(chosen), m_state.refreshProgramFolder())) {
            // Back to the dialog, outside the history.
            name = QFileInfo(chosen).fileName();
            continue;
        }
        m_state.CurrentFile = withDefaultExtension(chosen);
        if (QFileInfo::exists(m_state.CurrentFile) &&
            !MessageBoxes::askYesNo(m_parent, LanguageTexts::text(Text::OverwriteQuestion),
                                    LanguageTexts::text(Text::SystemQuestion), false)) {
            // Back to the dialog with the name the user gave.
            name = m_state.CurrentFile;
            m_state.CurrentFile.clear();
            continue;
        }
        write();
        return;
    }
}

bool FileCommands::loadFromCommandLine(const QString &arg)
{
    m_state.CurrentFile = arg;
    if (!acceptName())
        return false;
    m_state.OpenedFromCommandLine = true;
    load();
    return true;
}

QString FileCommands::historyNote(const QString &file, const QString &programFolder)
{
    const QString inside = pathInHistory(file, programFolder);
    if (inside.isEmpty())
        return QString();
    const QString serial = inside.section(u'/', 0, 0);
    const QString name = inside.section(u'/', 1);
    QString stamp;
    HistoryStore::Event event;
    // An entry is "<serial>/<time> <event>.kvr"; any other file found there
    // is named as it lies.
    if (name.contains(u'/') || !DeviceHistory::parseName(name, &stamp, &event))
        return LanguageTexts::text(Text::FromHistoryFile).arg(QDir::toNativeSeparators(inside));
    const QDateTime when = QDateTime::fromString(stamp, QStringLiteral("yyyy-MM-dd HH-mm-ss"));
    return LanguageTexts::text(Text::FromHistory)
        .arg(serial, when.toString(QStringLiteral("d.M.yyyy HH:mm:ss")), FleetModel::eventText(event));
}
