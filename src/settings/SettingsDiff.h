#pragma once

#include <QStringList>

class SettingsRecord;

// Where two records differ: the keys of the parameters whose stored texts
// differ, in the order of the settings file, then the names of the counters
// whose values do, in block order.
namespace SettingsDiff
{
QStringList differingKeys(const SettingsRecord &a, const SettingsRecord &b);
}
