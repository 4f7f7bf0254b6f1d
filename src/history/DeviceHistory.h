#pragma once

#include "history/HistoryStore.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>

// What the communicators held, kept in the program folder: every block read,
// and around every write the block found before it and the block read back
// after it, each as a settings file the program opens like any other:
//
//   History/<serial number>/<YYYY-MM-DD HH-MM-SS> read.kvr
//   History/<serial number>/<YYYY-MM-DD HH-MM-SS> before write.kvr
//   History/<serial number>/<YYYY-MM-DD HH-MM-SS> written.kvr
//
// in local time; "unknown" stands for a communicator whose serial number the
// exchange did not learn. A settings file has no place for the firmware
// version, so each folder keeps it beside the files, in firmware.ini. Files
// are written whole or not at all, and never over an earlier one.
class DeviceHistory : public HistoryStore
{
  public:
    explicit DeviceHistory(const QString &programFolder);

    QString folder() const; // <program folder>/History
    // The time the names carry; tests put a fixed one here.
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };

    // Stores the record as a settings file of the communicator; the failure
    // names the folder or file that could not be written.
    Result<QString> keep(const SettingsRecord &record, const QString &serialNumber, const QString &firmware,
                         Event event, const QString &notes = QString()) override;

    struct Entry {
        QString serialNumber; // the folder's name ("1001", "unknown")
        QDateTime when;
        Event event = Event::Read;
        QString firmware; // empty when not known
        QString path;     // absolute
    };
    // Every entry, grouped by serial number (in number order, "unknown"
    // last), the newest first within a group; only those of one serial
    // number when it is given.
    QList<Entry> entries(const QString &serialNumber = QString()) const;

    // A name the folder may carry: the serial number's digits and letters,
    // "unknown" when nothing is left of it.
    static QString folderName(const QString &serialNumber);

  private:
    QString m_programFolder;
};
