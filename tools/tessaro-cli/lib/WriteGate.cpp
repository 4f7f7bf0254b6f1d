#include "WriteGate.h"

#include "device/DeviceCodec.h"

std::optional<QString> writeRefusal(const SettingsRecord &record)
{
    if (const auto bad = DeviceCodec::findInvalidField(record))
        return QStringLiteral("%1 is not a number the device can take").arg(bad->describe());
    return std::nullopt;
}
