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
    if (a.deviceValue(DeviceValue::SvHr) != b.deviceValue(DeviceValue::SvHr))
        keys << QStringLiteral("SvHr");
    if (a.deviceValue(DeviceValue::PwOn) != b.deviceValue(DeviceValue::PwOn))
        keys << QStringLiteral("PwOn");
    return keys;
}

} // namespace SettingsDiff
