#include "settings/SettingsDiff.h"

#include "settings/ParameterTable.h"
#include "settings/SettingsRecord.h"

namespace SettingsDiff
{

QStringList differingKeys(const SettingsRecord &a, const SettingsRecord &b)
{
    QStringList keys;
    for (const Parameter &p : ParameterTable::all()) {
        const QString key = QLatin1String(p.key);
        if (a.storedText(key) != b.storedText(key))
            keys << key;
    }
    for (const Counter &c : ParameterTable::counters())
        if (a.deviceValue(c.which) != b.deviceValue(c.which))
            keys << QLatin1String(c.name);
    return keys;
}

void copy(const SettingsRecord &from, SettingsRecord &to)
{
    for (const Parameter &p : ParameterTable::all()) {
        const QString key = QLatin1String(p.key);
        to.setStoredText(key, from.storedText(key));
    }
    for (const DeviceValue which :
         {DeviceValue::FirmwareVersion, DeviceValue::SerN, DeviceValue::PwOn, DeviceValue::SvHr})
        to.setDeviceValue(which, from.deviceValue(which));
}

} // namespace SettingsDiff
