#include "device/WritePreview.h"

#include "device/DeviceCodec.h"
#include "device/ExchangeService.h"
#include "settings/MemoryRecord.h"

namespace WritePreview
{

QList<QPair<ParameterListing::Line, ParameterListing::Line>> changes(const SettingsRecord &inDevice,
                                                                     const SettingsRecord &toWrite)
{
    const QChar point = DeviceCodec::decimalSeparator();
    MemoryRecord now;
    MemoryRecord after;
    DeviceCodec::asHeld(inDevice, now, point);
    DeviceCodec::asHeld(toWrite, after, point);
    return ParameterListing::differing(now, after, true);
}

} // namespace WritePreview
