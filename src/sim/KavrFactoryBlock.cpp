#include "sim/KavrDeviceModel.h"

#include "device/DeviceCodec.h"
#include "settings/MemoryRecord.h"

#include <algorithm>

// A device leaves the factory holding the settings the program starts with,
// 72 hours to its first service call and no power-on counted yet; the codec
// puts them in their places.
std::array<std::uint8_t, 128> KavrDeviceModel::factoryBlock()
{
    MemoryRecord defaults;
    defaults.setDeviceValue(DeviceValue::SvHr, QStringLiteral("72"));
    defaults.setDeviceValue(DeviceValue::PwOn, QStringLiteral("0"));
    const QByteArray bytes = DeviceCodec::buildBlock(defaults);
    std::array<std::uint8_t, 128> block{};
    std::copy(bytes.cbegin(), bytes.cend(), block.begin());
    return block;
}
