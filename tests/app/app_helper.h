#pragma once

#include "app/MessageBoxes.h"

#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <functional>

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
    // Called as each box is shown, to look at the program at that moment.
    std::function<void(const MessageBoxes::Shown &)> observer;
};
