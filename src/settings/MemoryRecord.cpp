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
    switch (p->kind) {
    case ParamKind::Edit:
        m_values[key] = text;
        return;
    case ParamKind::Options:
        for (int i = 0; i < p->optionCount; ++i)
            if (text == QLatin1String(p->options[i].stored))
                m_values[key] = text;
        return;
    case ParamKind::Check:
        if (text == QLatin1String("1") || text == QLatin1String("0"))
            m_values[key] = text;
        return;
    case ParamKind::Tone:
        if (text.size() == 1 && text[0] >= QLatin1Char('0') && text[0] <= QLatin1Char('3'))
            m_values[key] = text;
        return;
    }
}

QString MemoryRecord::deviceValue(DeviceValue which) const
{
    return m_device.value(int(which));
}

void MemoryRecord::setDeviceValue(DeviceValue which, const QString &text)
{
    m_device[int(which)] = text;
}
