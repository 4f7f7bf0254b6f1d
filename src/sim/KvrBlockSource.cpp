#include "sim/KvrBlockSource.h"

#include "device/DeviceCodec.h"
#include "device/WriteCheck.h"
#include "settings/MemoryRecord.h"
#include "settings/SettingsFile.h"

#include <algorithm>

bool loadKvrBlock(const QString &path, int powerOnCount, int serviceHours,
                  std::array<std::uint8_t, 128> &block, QString *error)
{
    MemoryRecord record;
    if (const Result<void> loaded = SettingsFile::load(path, record); !loaded) {
        *error = QStringLiteral("%1: %2").arg(path, loaded.failure().reason);
        return false;
    }
    record.setDeviceValue(DeviceValue::PwOn, QString::number(powerOnCount));
    record.setDeviceValue(DeviceValue::SvHr, QString::number(serviceHours));
    // The block the program would send: a file the program would refuse to
    // write is refused here too.
    if (const auto bad = WriteCheck::firstRefusal(record, QLatin1Char('.'))) {
        *error = QStringLiteral("%1: %2 (%3) holds '%4'; allowed: %5")
                     .arg(path, bad->key, bad->control, bad->text, bad->allowed);
        return false;
    }
    const QByteArray bytes = DeviceCodec::buildBlock(record);
    if (bytes.size() != int(block.size())) {
        *error = QStringLiteral("%1: settings give no complete block").arg(path);
        return false;
    }
    std::copy(bytes.cbegin(), bytes.cend(), block.begin());
    return true;
}
