#include "settings/MemoryRecord.h"

MemoryRecord::MemoryRecord()
{
    for (const Parameter &p : ParameterTable::all())
        m_values.insert(QLatin1String(p.key), QLatin1String(p.defaultText));
    m_device.insert(int(DeviceValue::PwOn), QStringLiteral("0"));
    m_device.insert(int(DeviceValue::SvHr), QStringLiteral("0"));
    m_device.insert(int(DeviceValue::SerN), QStringLiteral("00000"));
    m_device.insert(int(DeviceValue::FirmwareVersion), QString());
}

QString MemoryRecord::storedText(const QString &key) const
{
    return m_values.value(key);
}

void MemoryRecord::setStoredText(const QString &key, const QString &text)
{
    const Parameter *p = ParameterTable::byKey(key);
    if (!p)
        return;
    if (p->takes(text)) {
        m_values[key] = text;
        m_unshown.remove(key);
    } else {
        m_unshown[key] = text;
    }
}

std::optional<QString> MemoryRecord::unshownText(const QString &key) const
{
    const auto it = m_unshown.constFind(key);
    return it == m_unshown.constEnd() ? std::nullopt : std::optional<QString>(*it);
}

QString MemoryRecord::deviceValue(DeviceValue which) const
{
    return m_device.value(int(which));
}

void MemoryRecord::setDeviceValue(DeviceValue which, const QString &text)
{
    m_device[int(which)] = text;
}
