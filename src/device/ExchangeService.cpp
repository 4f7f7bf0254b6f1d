#include "device/ExchangeService.h"

#include "history/HistoryStore.h"
#include "settings/FirmwareOptions.h"
#include "settings/MemoryRecord.h"
#include "settings/ParameterListing.h"
#include "settings/SettingsDiff.h"
#include "settings/SettingsRecord.h"

ExchangeService::ExchangeService(ExchangeClock *clock, QObject *parent)
    : QObject(parent), m_protocol(clock)
{
    connect(&m_protocol, &ExchangeProtocol::started, this, &ExchangeService::started);
    connect(&m_protocol, &ExchangeProtocol::progressChanged, this, &ExchangeService::progressChanged);
    connect(&m_protocol, &ExchangeProtocol::indicatorChanged, this, &ExchangeService::indicatorChanged);
    connect(&m_protocol, &ExchangeProtocol::noticeRequested, this, &ExchangeService::noticeRequested);
    connect(&m_protocol, &ExchangeProtocol::finished, this, &ExchangeService::finished);
}

ExchangeService::~ExchangeService() = default;

// ---- single exchanges ------------------------------------------------------------

ExchangeResult ExchangeService::query(ExchangeKind kind, SettingsRecord &record)
{
    const ExchangeResult result = m_protocol.run(kind, &record, nullptr);
    if (result == ExchangeResult::Done) {
        // The identity the history files this command's blocks under.
        m_outcome.serialNumber = record.deviceValue(DeviceValue::SerN);
        m_firmware = record.deviceValue(DeviceValue::FirmwareVersion);
    }
    return result;
}

ExchangeResult ExchangeService::versionQuery(SettingsRecord &record)
{
    return query(ExchangeKind::Version, record);
}

ExchangeResult ExchangeService::writeVersionQuery(SettingsRecord &record)
{
    return query(ExchangeKind::WriteVersion, record);
}

ExchangeResult ExchangeService::readBlock(SettingsRecord &record)
{
    return m_protocol.run(ExchangeKind::Read, &record, nullptr);
}

ExchangeResult ExchangeService::writeBlock(const SettingsRecord &record)
{
    return m_protocol.run(ExchangeKind::Write, nullptr, &record);
}

// ---- commands ----------------------------------------------------------------

bool ExchangeService::cableForCommand()
{
    // Every command opens the cable anew: it may have been replugged.
    if (!usbSelected() || openCable())
        return true;
    emit noticeRequested(ExchangeNotice::NoCable, QByteArray());
    return false;
}

bool ExchangeService::refuse(const SettingsRecord &record)
{
    m_refusal = WriteCheck::firstRefusal(record, DeviceCodec::decimalSeparator());
    return m_refusal.has_value();
}

ExchangeResult ExchangeService::read(SettingsRecord &record)
{
    m_outcome = Outcome();
    m_firmware.clear();
    if (!cableForCommand())
        return ExchangeResult::NotOpenable;
    // The block follows the version query at once, so the query's answer is
    // taken as soon as it is whole: a byte behind it, or the last one of an
    // answer a stray byte lengthened, comes in front of the block, which then
    // comes out longer than it is. The answer stands only once the block
    // came whole, or once nothing at all came after it.
    MemoryRecord status;
    const ExchangeResult version =
        m_protocol.run(ExchangeKind::Version, &status, nullptr, ExchangeProtocol::Then::NextAtOnce);
    // The block is read even when the version query got no answer; a port
    // that cannot be opened would only fail again, and noise on the line
    // fails the read as it would have failed the block.
    if (version == ExchangeResult::NotOpenable || version == ExchangeResult::Overlong)
        return version;
    const bool vouched = !m_protocol.answerTakenEarly();
    const ExchangeResult result = readBlock(record);
    const bool blockWhole = result == ExchangeResult::Done || result == ExchangeResult::WrongMarker;
    if (version == ExchangeResult::Done &&
        (vouched || blockWhole || (result == ExchangeResult::NoAnswer && !m_protocol.heardAnswer()))) {
        // The block's counters are the device's own when it came whole.
        for (const DeviceValue which :
             {DeviceValue::FirmwareVersion, DeviceValue::SerN, DeviceValue::PwOn, DeviceValue::SvHr})
            if (!blockWhole || (which != DeviceValue::PwOn && which != DeviceValue::SvHr))
                record.setDeviceValue(which, status.deviceValue(which));
        m_outcome.serialNumber = status.deviceValue(DeviceValue::SerN);
        m_firmware = status.deviceValue(DeviceValue::FirmwareVersion);
    }
    if (blockWhole)
        FirmwareOptions::apply(record.deviceValue(DeviceValue::FirmwareVersion), record);
    if (result == ExchangeResult::Done)
        keep(record, int(HistoryStore::Event::Read), &m_outcome.historyPath);
    return result;
}

void ExchangeService::keep(const SettingsRecord &record, int event, QString *path, const QString &notes)
{
    if (!m_history)
        return;
    const Result<QString> kept =
        m_history->keep(record, m_outcome.serialNumber, m_firmware, HistoryStore::Event(event), notes);
    *path = kept.ok() ? kept.value() : QString();
    if (!kept.ok())
        m_outcome.historyError = kept.failure().text();
}

const SettingsRecord *ExchangeService::readBackRecord() const
{
    return m_readBack.get();
}

const SettingsRecord *ExchangeService::sentRecord() const
{
    return m_sent.get();
}

const SettingsRecord *ExchangeService::deviceRecord() const
{
    return m_device.get();
}

ExchangeResult ExchangeService::write(SettingsRecord &record, const CounterConfirmation &confirm)
{
    WriteSteps steps;
    steps.confirm = confirm;
    return write(record, steps);
}

ExchangeResult ExchangeService::write(SettingsRecord &record, const WriteSteps &steps)
{
    return prepareWrite(record, steps, false);
}

ExchangeResult ExchangeService::dryRun(SettingsRecord &record, const WriteSteps &steps)
{
    return prepareWrite(record, steps, true);
}

ExchangeResult ExchangeService::prepareWrite(SettingsRecord &record, const WriteSteps &steps, bool dry)
{
    m_outcome = Outcome();
    m_firmware.clear();
    m_refusal.reset();
    m_device.reset();
    if (!cableForCommand())
        return ExchangeResult::NotOpenable;
    // Nothing goes on the line that the communicator would take wrongly.
    if (refuse(record))
        return ExchangeResult::Refused;
    const ExchangeResult query = writeVersionQuery(record);
    if (state().ExchangeAborted || query == ExchangeResult::NotOpenable)
        return query;
    // Someone may have used the communicator since its counters were read:
    // whoever runs the write decides which ones to send.
    if (steps.confirm &&
        !steps.confirm({state().DevicePowerOnCount, state().DeviceServiceHours}, record))
        return ExchangeResult::Cancelled;
    // The firmware rule holds the tone and polarity options at fixed values
    // once the version is known; the counters may have changed: check again.
    FirmwareOptions::apply(record.deviceValue(DeviceValue::FirmwareVersion), record);
    if (refuse(record))
        return ExchangeResult::Refused;
    if (steps.verify || steps.confirmChanges || dry) {
        // What the communicator holds now, read before anything is sent.
        m_device = std::make_unique<MemoryRecord>();
        const ExchangeResult old = readBlock(*m_device);
        if (old != ExchangeResult::Done && old != ExchangeResult::WrongMarker)
            return old;
        if (steps.confirmChanges && !steps.confirmChanges(*m_device, record))
            return ExchangeResult::Cancelled;
    }
    if (dry)
        return ExchangeResult::Done;
    if (steps.verify)
        return verifiedWrite(record, steps);
    const ExchangeResult result = writeBlock(record);
    m_outcome.sentBlock = DeviceCodec::blockOf(state().WriteBuffer);
    return result;
}

ExchangeResult ExchangeService::verifiedWrite(SettingsRecord &record, const WriteSteps &steps)
{
    // The block found is kept first: the way back should the new settings
    // turn out wrong.
    if (m_history) {
        keep(*m_device, int(HistoryStore::Event::BeforeWrite), &m_outcome.backupPath);
        if (m_outcome.backupPath.isEmpty() &&
            !(steps.writeWithoutBackup && steps.writeWithoutBackup(m_outcome.historyError)))
            return ExchangeResult::Cancelled;
    }
    const ExchangeResult written = writeBlock(record);
    m_outcome.sentBlock = DeviceCodec::blockOf(state().WriteBuffer);
    if (written != ExchangeResult::Done)
        return written;
    // "D" and "Z" say only that the bytes arrived: what the communicator
    // stored is what it gives back.
    m_readBack = std::make_unique<MemoryRecord>();
    m_readBack->setDeviceValue(DeviceValue::FirmwareVersion,
                               record.deviceValue(DeviceValue::FirmwareVersion));
    m_readBack->setDeviceValue(DeviceValue::SerN, record.deviceValue(DeviceValue::SerN));
    // A block that came whole is what the communicator holds, its marker
    // included: one that differs there is a mismatch, said by the outcome.
    m_protocol.setWrongMarkerNoticed(false);
    const ExchangeResult back = readBlock(*m_readBack);
    m_protocol.setWrongMarkerNoticed(true);
    if (back != ExchangeResult::Done && back != ExchangeResult::WrongMarker)
        return ExchangeResult::Unverified;
    m_outcome.readBack = state().ReceivedData;
    if (m_outcome.readBack == m_outcome.sentBlock) {
        keep(*m_readBack, int(HistoryStore::Event::Written), &m_outcome.historyPath);
        return ExchangeResult::Done;
    }
    m_sent = std::make_unique<MemoryRecord>();
    DeviceCodec::decodeBlock(m_outcome.sentBlock, *m_sent, DeviceCodec::decimalSeparator());
    m_outcome.differences = SettingsDiff::differingKeys(*m_sent, *m_readBack);
    // What the communicator holds now is kept too, the differences in its
    // notes: parameters by label and key, other bytes by position.
    QStringList listedKeys, notes;
    for (const auto &[sent, read] : ParameterListing::differing(*m_sent, *m_readBack, true)) {
        listedKeys << sent.key;
        notes << QStringLiteral("%1 (%2): sent %3, read back %4").arg(sent.label, sent.key, sent.value, read.value);
    }
    m_outcome.unlistedBytes = WriteCheck::unlistedBytes(m_outcome.sentBlock, m_outcome.readBack, listedKeys);
    for (const int k : std::as_const(m_outcome.unlistedBytes))
        notes << QStringLiteral("block byte %1: sent %2, read back %3")
                     .arg(k)
                     .arg(hexByte(m_outcome.sentBlock.at(k - 1)), hexByte(m_outcome.readBack.at(k - 1)));
    keep(*m_readBack, int(HistoryStore::Event::ReadBack), &m_outcome.historyPath,
         QStringLiteral("The communicator did not store the block as it was sent:\n") + notes.join(u'\n'));
    return ExchangeResult::Mismatch;
}

QString ExchangeService::hexByte(char byte)
{
    return QStringLiteral("0x") + QStringLiteral("%1").arg(quint8(byte), 2, 16, QLatin1Char('0')).toUpper();
}
