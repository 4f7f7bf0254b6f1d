#pragma once

#include "app/MessageBoxes.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

class ProgramWindows;
struct VirtualLine;

// A program folder for one test: a fresh temporary directory made the current
// directory, restored afterwards. It holds a Cesky.lng that keeps the built-in
// texts. Config.ini files written through it point
// every serial port at a path that does not exist, so no test ever touches a
// real terminal.
class ProgramFolder
{
  public:
    ProgramFolder();
    ~ProgramFolder();

    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }
    QString configPath() const { return file(QStringLiteral("Config.ini")); }
    // Writes Config.ini: the given text, then a [Ports] section.
    void writeConfig(const QString &text) const;
    // Writes Config.ini with the communicator on COM1, or on the cable with
    // usb, and the rest of [Setup] as given (ConfirmChanges=0 unless given).
    void writeSetup(bool usb, const QString &setup = QString()) const;
    QString readConfig() const;
    void touch(const QString &name) const;

  private:
    QTemporaryDir m_dir;
    QString m_previous;
};

// Records the message boxes shown and answers questions with the queued
// answers (No when none is left).
class MessageLog
{
  public:
    MessageLog();
    ~MessageLog();
    QList<MessageBoxes::Shown> shown;
    QList<bool> answers;
    // The texts of the boxes shown that asked nothing, in order.
    QStringList messages() const;
    // Called as each box is shown, to look at the program at that moment.
    std::function<void(const MessageBoxes::Shown &)> observer;
};

// The program as it starts, its exchanges on line when one is given (they
// then run on the line's clock, without waiting): the windows are made and
// shown, the first tick runs (its question, then the quiet version query),
// and the tick timer is stopped; further ticks are the test's to run. The
// line must outlive the windows.
std::unique_ptr<ProgramWindows> startProgramWindows(VirtualLine *line = nullptr);
