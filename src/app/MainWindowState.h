#pragma once

#include <QDir>
#include <QString>
#include <QStringList>

// The main window's working fields that other windows and procedures read and
// set by name. TForm1 inherits them, so they are fields of the main window.
struct MainWindowState {
    QString ProgramFolder;                   // the current directory, refreshed before every use
    QString CurrentFile;                     // full path of the current settings file, or empty
    QString FirmwareVersion;                 // as shown in the status bar; empty until known
    QString FilePrefix;                      // "Soubor: " (language text Menu/1 and ": ")
    QString LanguageFile;                    // full path of the language file in use
    QStringList LanguageFiles;               // up to 11 paths, one per language menu entry
    QString ProgramTitle;                    // Menu/999, empty until a language is applied
    int TimeOutRS = 10;                      // serial poll interval, milliseconds
    QString ClosePort = QStringLiteral("0"); // "1": close the link after every exchange
    bool WriteOnTick = false;                // a write sends at most one byte per poll tick
    QString UsbState;                        // "OK", "--", or empty before the first attempt
    bool VersionQueryRequested = false;
    bool QuietFirstExchange = false;
    bool OpenedFromCommandLine = false;
    bool SaveAsOnClose = false;
    // The version query belongs to a write: its counters are kept aside
    // (DevicePowerOnCount, DeviceServiceHours) instead of being shown.
    bool WriteVersionQuery = false;

    // Sets ProgramFolder to the process's current directory and returns it.
    QString refreshProgramFolder()
    {
        ProgramFolder = QDir::currentPath();
        return ProgramFolder;
    }
};
