#pragma once

#include "history/HistoryAuthor.h"
#include "history/HistoryFileCheck.h"
#include "history/HistoryStore.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>

// What the communicators held, kept in the program folder: every block read,
// and around every verified write the block found before it, the block read
// back after it (when it differs from the one sent, "read back") or the block
// written, each as a settings file the program opens like any other:
//
//   History/<serial number>/<YYYY-MM-DD HH-MM-SS> read.kvr
//   History/<serial number>/<YYYY-MM-DD HH-MM-SS> before write.kvr
//   History/<serial number>/<YYYY-MM-DD HH-MM-SS> written.kvr
//   History/<serial number>/<YYYY-MM-DD HH-MM-SS> read back.kvr
//
// in local time; "unknown" stands for a communicator whose serial number the
// exchange did not learn. History/ is a git repository (HistoryRepository):
// each file one commit, authored by the technician, its message naming the
// serial number, the event and the firmware version. Files are written whole
// or not at all, and never over an earlier one.
class DeviceHistory : public HistoryStore
{
  public:
    // Config.ini's [History] section.
    struct Options {
        QString technician;
        QString mail;
        QString remote;
    };
    // The options as the program folder's Config.ini gives them.
    static Options optionsOf(const QString &programFolder);

    explicit DeviceHistory(const QString &programFolder, const Options &options = Options());

    QString folder() const; // <program folder>/History
    const HistoryAuthor &author() const { return m_author; }
    const Options &options() const { return m_options; }
    // The time the names and commits carry; tests put a fixed one here.
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };
    // The time a share's limit is measured on; tests move it on once they
    // see the remote hold the connection without answering.
    std::function<std::chrono::steady_clock::time_point()> shareClock = [] {
        return std::chrono::steady_clock::now();
    };

    // Stores the record as a settings file of the communicator and commits
    // it; the failure names the folder or file and why.
    Result<QString> keep(const SettingsRecord &record, const QString &serialNumber, const QString &firmware,
                         Event event, const QString &notes = QString()) override;

    using FileState = HistoryFileCheck::FileState;
    struct Entry {
        QString serialNumber; // the folder's name ("1001", "unknown")
        QString stamp;        // the name's time, "2026-12-08 10-15-02"
        Event event = Event::Read;
        QString firmware;   // empty when not known
        QString technician; // empty when not known (kept before the history was shared)
        QString path;       // absolute
        FileState state = FileState::Kept;
        QDateTime when() const; // the stamp, in local time
    };
    // Every entry, grouped by serial number (in number order, "unknown"
    // last), the newest first within a group; only those of one serial
    // number when it is given. Read from the listing index, never from the
    // entries' files.
    Result<QList<Entry>> list(const QString &serialNumber = QString());
    // The same, empty when the history cannot be listed.
    QList<Entry> entries(const QString &serialNumber = QString());

    // Shares the history with Config.ini's remote (HistoryShare) and
    // returns within ShareTimeoutMs whatever the remote does; the outcome is
    // remembered for shareStatus(). Runs in the calling thread (the window
    // calls it off its own). Setting callOff ends the wait at once (the
    // share is cancelled; nothing is remembered of it).
    Result<void> share(const std::atomic<bool> *callOff = nullptr);
    static constexpr int ShareTimeoutMs = 10000;
    struct ShareStatus {
        int unshared = 0;    // entries the remote does not hold yet, as last seen
        QString lastFailure; // why the last share failed; empty after one that succeeded
    };
    ShareStatus shareStatus() const;
    // Whether a share given up on is still waiting in the background.
    static bool shareStillRunning();

    // Whether path names a file inside this history's folder: such a file
    // is never the target of a Save.
    bool holds(const QString &path) const;

    // A name the folder may carry: the serial number's digits and letters,
    // "unknown" when nothing is left of it.
    static QString folderName(const QString &serialNumber);
    // The entry a file's name describes: stamp and event; false for any
    // other name.
    static bool parseName(const QString &name, QString *stamp, Event *event, int *number = nullptr);

  private:
    QString m_programFolder;
    Options m_options;
    HistoryAuthor m_author;
};
