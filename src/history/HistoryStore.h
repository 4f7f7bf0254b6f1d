#pragma once

#include "platform/Result.h"

#include <QString>

class SettingsRecord;

// Where the exchange commands keep what the communicator held: every block
// read, and around a verified write the block found before it, the block
// written, and a block read back that differs from the one sent. The commands
// know only this; the device history behind it decides where and how.
class HistoryStore
{
  public:
    enum class Event { Read, BeforeWrite, Written, ReadBack };
    // "read", "before write", "written", "read back": the end of an entry's name.
    static QString eventName(Event event);

    virtual ~HistoryStore() = default;

    // Keeps record as an entry of the communicator with the given serial
    // number (empty: unknown) and firmware version (empty: not known). notes
    // are lines that go with the entry (what differed); may be empty.
    // Returns the path of the file kept.
    virtual Result<QString> keep(const SettingsRecord &record, const QString &serialNumber,
                                 const QString &firmware, Event event, const QString &notes = QString()) = 0;
};
