// The status-answer decoder on arbitrary bytes: every part it takes must be
// what the communicator would send for the decoded values.
#include "device/DeviceCodec.h"
#include "fuzz/fuzz_check.h"
#include "settings/MemoryRecord.h"
#include "sim/KavrDeviceModel.h"

#include <QByteArray>

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray answer(reinterpret_cast<const char *>(data), qsizetype(size));
    const bool forWrite = size > 10 && (data[10] & 1);

    MemoryRecord record;
    const MemoryRecord before = record;
    DeviceCodec::DeviceCounters counters{QStringLiteral("-"), QStringLiteral("-")};
    const bool taken = DeviceCodec::decodeStatus(answer, record, forWrite ? &counters : nullptr);

    auto at = [&](int pos) { return pos <= int(size) ? int(data[pos - 1]) : -1; };
    const bool whole = size >= 10 && at(1) == 'V' && at(3) == 'U' && at(5) == 'N' && at(8) == 'S';
    FUZZ_CHECK(taken == whole, "an answer taken or refused against its layout");
    if (!whole) {
        // Nothing of a garbled answer reaches the record or the counters.
        for (DeviceValue v :
             {DeviceValue::FirmwareVersion, DeviceValue::SerN, DeviceValue::PwOn, DeviceValue::SvHr})
            FUZZ_CHECK(record.deviceValue(v) == before.deviceValue(v), record.deviceValue(v));
        FUZZ_CHECK(counters.powerOnCount == QStringLiteral("-") &&
                       counters.serviceHours == QStringLiteral("-"),
                   "counters changed");
    }
    if (forWrite) {
        // A write's counters never reach the record.
        FUZZ_CHECK(record.deviceValue(DeviceValue::PwOn) == before.deviceValue(DeviceValue::PwOn),
                   "PwOn changed");
        FUZZ_CHECK(record.deviceValue(DeviceValue::SvHr) == before.deviceValue(DeviceValue::SvHr),
                   "SvHr changed");
    }
    if (!whole)
        return 0;

    const QString powerOn = forWrite ? counters.powerOnCount : record.deviceValue(DeviceValue::PwOn);
    const QString hours = forWrite ? counters.serviceHours : record.deviceValue(DeviceValue::SvHr);
    bool ok[4] = {};
    KavrDeviceState state;
    state.firmware = std::uint8_t(
        QString(record.deviceValue(DeviceValue::FirmwareVersion)).remove(QLatin1Char('.')).toInt(&ok[0]));
    state.powerOnCount = std::uint8_t(powerOn.toInt(&ok[1]));
    state.serialNumber = std::uint16_t(record.deviceValue(DeviceValue::SerN).toInt(&ok[2]));
    state.serviceHours = hours.toInt(&ok[3]);
    for (bool b : ok)
        FUZZ_CHECK(b, "a decoded value is not a number");
    FUZZ_CHECK(state.firmware == data[1], record.deviceValue(DeviceValue::FirmwareVersion));
    FUZZ_CHECK(state.powerOnCount == data[3], powerOn);
    FUZZ_CHECK(state.serialNumber == 256 * data[5] + data[6], record.deviceValue(DeviceValue::SerN));
    FUZZ_CHECK(state.serviceHours == data[8] + 24 * data[9], hours);
    if (state.serviceHours > KavrDeviceState::MaxServiceHours)
        return 0; // more than the device can count; no answer of its own gives it

    MemoryRecord reread;
    DeviceCodec::DeviceCounters counters2;
    DeviceCodec::decodeStatus(KavrDeviceModel(state).statusAnswer(), reread, forWrite ? &counters2 : nullptr);
    for (DeviceValue v :
         {DeviceValue::FirmwareVersion, DeviceValue::SerN, DeviceValue::PwOn, DeviceValue::SvHr})
        FUZZ_CHECK(reread.deviceValue(v) == record.deviceValue(v), reread.deviceValue(v));
    if (forWrite)
        FUZZ_CHECK(counters2.powerOnCount == counters.powerOnCount &&
                       counters2.serviceHours == counters.serviceHours,
                   "counters");
    return 0;
}
