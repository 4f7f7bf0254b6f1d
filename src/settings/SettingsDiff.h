#pragma once

#include <QStringList>

class SettingsRecord;

// Where two records differ: the keys of the parameters whose stored texts
// differ, in the order of the settings file, then the names of the counters
// whose values do, in block order.
namespace SettingsDiff
{
QStringList differingKeys(const SettingsRecord &a, const SettingsRecord &b);

// Puts every parameter and the communicator's own values (firmware version,
// serial number, counters) of from into to.
void copy(const SettingsRecord &from, SettingsRecord &to);
} // namespace SettingsDiff
