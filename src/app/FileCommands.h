#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;
class SettingsRecord;
struct MainWindowState;

// The Open, Save and Save as commands of the main window, and the start-up
// load of a settings file named on the command line.
class FileCommands
{
  public:
    FileCommands(QWidget *parent, MainWindowState &state, SettingsRecord &record);

    // Open: choose a .kvr file and load it into the record.
    void open();
    // Open without the dialog (an entry of the history): path becomes the
    // current file and is loaded, as a name chosen in Open would be.
    void openPath(const QString &path);
    // Save: write to CurrentFile when it names a file (more than 7
    // characters) outside the device history, otherwise Save as. Save as
    // never chooses a file inside the history either.
    void save();
    // Save as: choose a name, ask before overwriting, write. Prefills the
    // dialog with CurrentFile when SaveAsOnClose is set.
    void saveAs();
    // Start-up with an argument: CurrentFile becomes arg; a short name shows
    // MESSAGE/16, a name without the KVR extension MESSAGE/17 (and empties
    // CurrentFile); otherwise OpenedFromCommandLine is set and the file
    // loaded. True when the name was accepted (the first tab page then comes
    // to front), whether or not the load itself succeeded.
    bool loadFromCommandLine(const QString &arg);
    // Where the commands' plain messages go instead of a message box while
    // set (start-up keeps them until the main window is on screen); nullptr
    // shows boxes again.
    void setMessageSink(std::function<void(const QString &)> sink) { m_sink = std::move(sink); }

    // When file lies in the device history of programFolder (whichever
    // name or link leads there), the words that say the settings come from
    // it: serial number, time and event. Empty for any other file.
    static QString historyNote(const QString &file, const QString &programFolder);

    // What a file dialog is asked to show.
    struct DialogRequest {
        bool save = false;
        QString title;
        QStringList filters; // Qt filter strings, first one selected
        QString directory;
        QString fileName; // prefilled name
        QString defaultSuffix;
    };
    // Tests play the dialog: return the chosen path, or empty for cancel.
    // Pass nullptr to show real dialogs again.
    static void setDialogPlayer(std::function<QString(const DialogRequest &)> player);

  private:
    QString runDialog(const DialogRequest &request);
    bool acceptName(); // the name checks of Open and the command line
    void load();
    void write();
    void tell(const QString &text);

    QWidget *m_parent;
    std::function<void(const QString &)> m_sink;
    MainWindowState &m_state;
    SettingsRecord &m_record;
};
