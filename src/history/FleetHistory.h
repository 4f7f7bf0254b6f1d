#pragma once

#include "history/Fleet.h"
#include "platform/Result.h"

#include <QString>

class DeviceHistory;

// The fleet of a device history, and the sites kept in it. A site is kept
// like an entry: a file of its own that nothing changes afterwards,
//
//   History/<serial number>/<YYYY-MM-DD HH-MM-SS> site.txt
//
// holding the text (UTF-8, one line). Setting it again adds a newer file, so
// two laptops that set a site each merge without conflict; the newest wins,
// and an empty text takes the site away.
namespace FleetHistory
{

// Rows: the rows alone, from what was kept of the last listing while the
// history has not changed since. Entries: each row's entries too.
enum class Detail { Rows, Entries };
// Every serial number of the history with its latest settings and site.
Result<Fleet::List> load(DeviceHistory &history, Detail detail = Detail::Rows);

// Keeps text as the site of the serial number; the file's path.
Result<QString> setSite(DeviceHistory &history, const QString &serialNumber, const QString &text);

// The serial number's site; empty when none was set.
Result<QString> site(DeviceHistory &history, const QString &serialNumber);

// The stamp and number a site file's name carries; false for any other name.
bool parseSiteName(const QString &name, QString *stamp, int *number = nullptr);

} // namespace FleetHistory
