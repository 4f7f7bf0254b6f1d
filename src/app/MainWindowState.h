#pragma once

#include <QDir>
#include <QString>
#include <QStringList>

// The main window's working fields that other windows and procedures read and
// set by name. TForm1 inherits them, so they are fields of the main window.
// The exchange's own state and options live in the exchange service.
struct MainWindowState {
    QString ProgramFolder;     // the current directory, refreshed before every use
    QString CurrentFile;       // full path of the current settings file, or empty
    QString FirmwareVersion;   // as shown in the status bar; empty until known
    QString FilePrefix;        // "Soubor: " (language text Menu/1 and ": ")
    QString LanguageFile;      // full path of the language file in use
    QStringList LanguageFiles; // up to 11 paths, one per language menu entry
    QString ProgramTitle;      // Menu/999, empty until a language is applied
    // A version query is due: the next tick of the main timer runs it.
    bool VersionQueryRequested = false;
    bool OpenedFromCommandLine = false;
    bool SaveAsOnClose = false;

    // Sets ProgramFolder to the process's current directory and returns it.
    QString refreshProgramFolder()
    {
        ProgramFolder = QDir::currentPath();
        return ProgramFolder;
    }
};
