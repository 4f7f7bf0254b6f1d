#include "device/ExchangeService.h"

#include "device/ExchangeClock.h"
#include "device/ExchangeTrace.h"
#include "device/UsbLink.h"
#include "device/UsbTransport.h"
#include "history/HistoryStore.h"
#include "lang/LanguageTexts.h"
#include "settings/FirmwareOptions.h"
#include "settings/MemoryRecord.h"
#include "settings/SettingsDiff.h"
#include "settings/SettingsRecord.h"

#include <QLocale>

const QColor ExchangeService::Blue(0, 0, 255);
const QColor ExchangeService::SkyBlue(166, 202, 240);
const QColor ExchangeService::Yellow(255, 255, 0);
const QColor ExchangeService::Teal(0, 128, 128);
const QColor ExchangeService::Red(255, 0, 0);

namespace
{
} // namespace

ExchangeService::ExchangeService(ExchangeClock *clock, QObject *parent) : QObject(parent)
{
    setClock(clock);
    // The cable's set-up waits on this clock, so the window goes on drawing.
    m_usb = std::make_unique<UsbLink>(nullptr, [this](int ms) { m_clock->pause(ms); });
    m_usbTransport = std::make_unique<UsbTransport>(*m_usb);
}

ExchangeService::~ExchangeService()
{
    if (m_serial) {
        m_serial->dataArrived = nullptr;
        m_serial->lineLost = nullptr;
    }
}

void ExchangeService::setClock(ExchangeClock *clock)
{
    if (busy())
        return;
    if (clock) {
        m_clock = clock;
        return;
    }
    if (!m_ownClock)
        m_ownClock = std::make_unique<TimerClock>();
    m_clock = m_ownClock.get();
}

UsbLink &ExchangeService::usb()
{
    return *m_usb;
}

QChar ExchangeService::decimalSeparator()
{
    const QString point = QLocale().decimalPoint();
    return point.isEmpty() ? QChar(u'.') : point.front();
}

// ---- commands ----------------------------------------------------------------

bool ExchangeService::openCable()
{
    if (busy())
        return m_usb->UsbState == UsbLink::StateOpen;
    m_settingUp = true;
    m_usb->open();
    m_settingUp = false;
    return m_usb->UsbState == UsbLink::StateOpen;
}

void ExchangeService::closeCable()
{
    m_usb->close();
}

bool ExchangeService::cableForCommand()
{
    // Every command opens the cable anew: it may have been replugged.
    if (!m_usbSelected || openCable())
        return true;
    emit messageRequested(LanguageTexts::text(Text::CommunicationError));
    return false;
}

bool ExchangeService::refuse(const SettingsRecord &record)
{
    m_refusal = WriteCheck::firstRefusal(record, decimalSeparator());
    return m_refusal.has_value();
}

ExchangeResult ExchangeService::read(SettingsRecord &record)
{
    m_outcome = Outcome();
    if (!cableForCommand())
        return ExchangeResult::NotOpenable;
    // The block is read even when the version query got no answer; a port
    // that cannot be opened would only fail again.
    if (versionQuery(record) == ExchangeResult::NotOpenable)
        return ExchangeResult::NotOpenable;
    const ExchangeResult result = readBlock(record);
    if (result == ExchangeResult::Done || result == ExchangeResult::WrongMarker)
        FirmwareOptions::apply(record.deviceValue(DeviceValue::FirmwareVersion), record);
    if (result == ExchangeResult::Done)
        keep(record, int(HistoryStore::Event::Read), &m_outcome.historyPath);
    return result;
}

void ExchangeService::keep(const SettingsRecord &record, int event, QString *path)
{
    if (!m_history)
        return;
    const Result<QString> kept =
        m_history->keep(record, m_outcome.serialNumber, m_firmware, HistoryStore::Event(event));
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

ExchangeResult ExchangeService::write(SettingsRecord &record, const CounterConfirmation &confirm)
{
    WriteSteps steps;
    steps.confirm = confirm;
    return write(record, steps);
}

ExchangeResult ExchangeService::write(SettingsRecord &record, const WriteSteps &steps)
{
    m_outcome = Outcome();
    m_refusal.reset();
    if (!cableForCommand())
        return ExchangeResult::NotOpenable;
    // Nothing goes on the line that the communicator would take wrongly.
    if (refuse(record))
        return ExchangeResult::Refused;
    const ExchangeResult query = writeVersionQuery(record);
    if (m_state.ExchangeAborted || query == ExchangeResult::NotOpenable)
        return query;
    // Someone may have used the communicator since its counters were read:
    // whoever runs the write decides which ones to send.
    if (steps.confirm && !steps.confirm({m_state.DevicePowerOnCount, m_state.DeviceServiceHours}, record))
        return ExchangeResult::Cancelled;
    // The firmware rule holds the tone and polarity options at fixed values
    // once the version is known; the counters may have changed: check again.
    FirmwareOptions::apply(record.deviceValue(DeviceValue::FirmwareVersion), record);
    if (refuse(record))
        return ExchangeResult::Refused;
    if (steps.verify)
        return verifiedWrite(record, steps);
    const ExchangeResult result = writeBlock(record);
    m_outcome.sentBlock = DeviceCodec::blockOf(m_state.WriteBuffer);
    return result;
}

ExchangeResult ExchangeService::verifiedWrite(SettingsRecord &record, const WriteSteps &steps)
{
    // What the communicator holds now, kept before anything is sent: the
    // way back should the new settings turn out wrong.
    MemoryRecord before;
    const ExchangeResult old = readBlock(before);
    if (old != ExchangeResult::Done && old != ExchangeResult::WrongMarker)
        return old;
    if (m_history) {
        keep(before, int(HistoryStore::Event::BeforeWrite), &m_outcome.backupPath);
        if (m_outcome.backupPath.isEmpty() &&
            !(steps.writeWithoutBackup && steps.writeWithoutBackup(m_outcome.historyError)))
            return ExchangeResult::Cancelled;
    }
    const ExchangeResult written = writeBlock(record);
    m_outcome.sentBlock = DeviceCodec::blockOf(m_state.WriteBuffer);
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
    m_markerSaid = false;
    const ExchangeResult back = readBlock(*m_readBack);
    m_markerSaid = true;
    if (back != ExchangeResult::Done && back != ExchangeResult::WrongMarker)
        return ExchangeResult::Unverified;
    m_outcome.readBack = m_state.ReceivedData;
    if (m_outcome.readBack == m_outcome.sentBlock) {
        keep(*m_readBack, int(HistoryStore::Event::Written), &m_outcome.historyPath);
        return ExchangeResult::Done;
    }
    m_sent = std::make_unique<MemoryRecord>();
    DeviceCodec::decodeBlock(m_outcome.sentBlock, *m_sent, decimalSeparator());
    m_outcome.differences = SettingsDiff::differingKeys(*m_sent, *m_readBack);
    return ExchangeResult::Mismatch;
}

ExchangeResult ExchangeService::versionQuery(SettingsRecord &record)
{
    return run(Kind::Version, &record, nullptr);
}

ExchangeResult ExchangeService::writeVersionQuery(SettingsRecord &record)
{
    m_state.DevicePowerOnCount.clear();
    m_state.DeviceServiceHours.clear();
    return run(Kind::WriteVersion, &record, nullptr);
}

ExchangeResult ExchangeService::readBlock(SettingsRecord &record)
{
    return run(Kind::Read, &record, nullptr);
}

ExchangeResult ExchangeService::writeBlock(const SettingsRecord &record)
{
    return run(Kind::Write, nullptr, &record);
}

// ---- one exchange --------------------------------------------------------------

ExchangeResult ExchangeService::run(Kind kind, SettingsRecord *into, const SettingsRecord *from)
{
    // One exchange at a time: a tick inside a running one finds it busy.
    if (busy())
        return ExchangeResult::Aborted;
    m_kind = kind;
    m_into = into;
    m_from = from;
    m_result = ExchangeResult::Done;
    m_sendFailed = false;
    m_settling = false;

    m_state.ExchangeAborted = false;
    m_state.IdleTicks = 0;
    m_state.ExchangeActive = true;
    m_state.ReadyForByte = false;
    m_state.WriteVersionQuery = kind == Kind::WriteVersion;
    if (kind == Kind::Version || kind == Kind::WriteVersion) {
        m_state.ExpectedLength = DeviceCodec::StatusSize;
    } else {
        m_state.ExpectedLength = DeviceCodec::BlockSize;
        m_state.ExchangeCommand = kind == Kind::Read ? QStringLiteral("PC") : QStringLiteral("PZ");
        m_state.WriteIndex = 0;
    }

    m_transport = m_usbSelected ? static_cast<ExchangeTransport *>(m_usbTransport.get()) : m_serial;
    m_running = true;
    emit started();
    begin();
    if (m_running)
        m_clock->run();
    m_state.WriteVersionQuery = false;
    m_into = nullptr;
    m_from = nullptr;
    return m_result;
}

void ExchangeService::begin()
{
    m_state.PortOpenFailed = false;
    setProgress(0);
    m_pacing = m_transport ? m_transport->pacing(m_options) : ExchangeTransport::Pacing{};
    m_clock->start(ExchangeClock::Poll, m_pacing.pollMs, [this] { pollTick(); });
    if (!m_transport) {
        m_state.PortOpenFailed = true;
        return;
    }
    m_transport->dataArrived = [this](int count) { dataArrived(count); };
    m_transport->lineLost = [this] {
        // Ends the exchange as a time-out would, at once.
        if (m_running && m_state.ExchangeActive)
            timeOut();
    };
    m_settingUp = true;
    const ExchangeTransport::Opened opened = m_transport->open();
    m_settingUp = false;
    if (opened == ExchangeTransport::Opened::Failed) {
        m_state.PortOpenFailed = true;
        return; // the first tick closes and reports the port
    }
    if (opened == ExchangeTransport::Opened::Unavailable)
        return;                    // the first tick closes quietly
    m_state.ReceivedData = take(); // stale input goes
    sendCommands();
}

void ExchangeService::sendCommands()
{
    if (m_kind == Kind::Version || m_kind == Kind::WriteVersion) {
        setProgress(2);
        m_state.ExchangeCommand = QStringLiteral("VER");
        send(QByteArrayLiteral("V"));
    } else if (m_kind == Kind::Read) {
        send(QByteArrayLiteral("R"));
        send(QByteArrayLiteral("P"));
    } else {
        send(QByteArrayLiteral("W"));
        send(QByteArrayLiteral("P"));
        m_state.ReadyForByte = true;
        // A cable announces nothing: between ticks the write looks for its
        // handshakes on a short poll of its own.
        if (m_pacing.handshakePollMs > 0 && !m_options.WriteOnTick)
            m_clock->start(ExchangeClock::HandshakePoll, m_pacing.handshakePollMs,
                           [this] { handshakePoll(); });
    }
}

bool ExchangeService::send(const QByteArray &bytes)
{
    if (m_options.trace)
        m_options.trace->transfer(ExchangeTrace::Direction::Sent, m_state, bytes);
    const bool ok = m_transport->send(bytes);
    if (!ok)
        m_sendFailed = true;
    return ok;
}

QByteArray ExchangeService::take()
{
    const QByteArray received = m_transport->take();
    if (m_options.trace)
        m_options.trace->transfer(ExchangeTrace::Direction::Received, m_state, received);
    return received;
}

void ExchangeService::setProgress(int value)
{
    m_progress = value;
    emit progressChanged(value);
}

void ExchangeService::dataArrived(int count)
{
    if (m_running && m_pacing.notifies && !m_settingUp)
        handleAnswer(count);
}

void ExchangeService::handleAnswer(int count)
{
    const QString &command = m_state.ExchangeCommand;
    if (command == QLatin1String("VER") || command == QLatin1String("PC")) {
        const bool version = command == QLatin1String("VER");
        const QColor colour = version ? Blue : SkyBlue;
        if (m_settling)
            return; // its quiet time decides
        if (count < m_state.ExpectedLength) {
            emit indicatorChanged(colour);
            setProgress(m_progress + (version ? 60 : m_pacing.partialBlockStep));
            return;
        }
        if (m_pacing.colourOnWholeAnswer)
            emit indicatorChanged(colour);
        // Taken only when nothing follows: one stray byte inside the answer
        // would leave it the right length with its last real byte still to come.
        m_settling = true;
        m_clock->start(ExchangeClock::Quiet, m_pacing.quietMs, [this] { answerSettled(); });
        return;
    }

    if (command != QLatin1String("PZ") || count != 1)
        return;
    m_state.IdleTicks = 0;
    m_state.ReceivedData = take();
    if (m_state.ReceivedData == "D") {
        setProgress(m_progress + 1);
        m_state.ReadyForByte = true;
        // The "D" says the communicator is ready: the next byte goes now
        // rather than at the next tick, unless the configuration asks for
        // the old pacing.
        if (!m_options.WriteOnTick)
            sendReadyByte();
    } else if (m_state.ReceivedData == "Z" && m_state.WriteIndex >= DeviceCodec::BlockSize) {
        emit indicatorChanged(Yellow);
        m_state.ReceivedData = take(); // anything that followed is dropped
        m_state.ExchangeActive = false;
        m_state.ReadyForByte = false;
        closeDialog();
    } else {
        // A "Z" before the last byte went out means the block was not stored
        // whole; any other byte is no answer of this protocol.
        communicationError(ExchangeResult::CutShort);
    }
}

void ExchangeService::answerSettled()
{
    m_clock->stop(ExchangeClock::Quiet);
    if (!m_settling || !m_running)
        return;
    m_settling = false;
    m_state.ReceivedData = take();
    // An answer that broke off, or one that picked up more than itself, must
    // not leave half the parameters new and half old.
    const qsizetype size = m_state.ReceivedData.size();
    if (size != m_state.ExpectedLength) {
        communicationError(size > m_state.ExpectedLength ? ExchangeResult::Overlong : ExchangeResult::CutShort);
        return;
    }
    m_state.ExchangeActive = false;
    if (m_state.ExchangeCommand == QLatin1String("VER")) {
        if (!decodeStatusAnswer()) {
            communicationError(ExchangeResult::NoAnswer);
            return;
        }
    } else {
        decodeConfigurationBlock();
    }
    closeDialog();
}

void ExchangeService::sendReadyByte()
{
    if (!m_state.ReadyForByte || m_state.WriteIndex >= DeviceCodec::BlockSize)
        return;
    sendNextByte();
    if (m_sendFailed)
        communicationError(ExchangeResult::Aborted);
}

void ExchangeService::sendNextByte()
{
    if (m_state.WriteIndex == 0) {
        DeviceCodec::buildWriteBuffer(*m_from, m_state.WriteBuffer);
        send(QByteArray(1, char(DeviceCodec::Marker)));
    } else {
        send(QByteArray(1, char(m_state.WriteBuffer[m_state.WriteIndex] & 0xFF)));
    }
    emit indicatorChanged(Teal);
    ++m_state.WriteIndex;
    m_state.ReadyForByte = false;
}

void ExchangeService::handshakePoll()
{
    // Between two ticks of a cable write: a waiting "D" sends the next byte
    // at once. Time limits stay with the ticks.
    if (!m_running || !m_state.ExchangeActive || m_transport->health() != ExchangeTransport::Health::Ok)
        return;
    if (const int waiting = m_transport->waiting(); waiting > 0)
        handleAnswer(waiting);
}

void ExchangeService::pollTick()
{
    if (!m_running)
        return;
    if (m_state.PortOpenFailed || !m_transport) {
        closeDialog();
        return;
    }
    switch (m_transport->health()) {
    case ExchangeTransport::Health::Gone:
        // The cable was not found or was released after a failure: nothing
        // is exchanged and nothing is said.
        m_result = ExchangeResult::Aborted;
        closeDialog();
        return;
    case ExchangeTransport::Health::Lost:
        if (m_state.ExchangeActive)
            timeOut();
        else
            closeDialog();
        return;
    case ExchangeTransport::Health::Ok:
        break;
    }
    if (m_sendFailed && m_state.ExchangeActive) {
        // A command byte that did not go out fails the exchange like a data
        // byte would, so a write does not go on after its version query.
        communicationError(ExchangeResult::Aborted);
        return;
    }
    if (!m_pacing.notifies) {
        if (const int waiting = m_transport->waiting(); waiting > 0) {
            handleAnswer(waiting);
            if (!m_running)
                return;
        }
    }
    // An answer in its quiet time is whole: the time limit has been met.
    if (!m_state.ExchangeActive || m_settling)
        return;
    ++m_state.IdleTicks;
    if (m_state.IdleTicks > m_pacing.timeoutTicks) {
        timeOut();
        return;
    }
    if (m_state.ReadyForByte)
        sendReadyByte();
}

void ExchangeService::timeOut()
{
    // The port is read once more, so the message shows all that came.
    if (m_pacing.rereadOnTimeout)
        m_state.ReceivedData = take();
    communicationError(m_sendFailed || m_transport->health() == ExchangeTransport::Health::Lost
                           ? ExchangeResult::Aborted
                           : ExchangeResult::NoAnswer);
}

void ExchangeService::communicationError(ExchangeResult result)
{
    m_result = result;
    emit indicatorChanged(Red);
    m_state.ExchangeActive = false;
    m_state.ReadyForByte = false;
    // No tick and no late answer may act while the message is open.
    stopTimers();
    m_state.ExchangeCommand.clear();
    if (!m_state.QuietFirstExchange)
        emit messageRequested(communicationErrorText(m_state.ReceivedData));
    m_state.ExchangeAborted = true;
    closeDialog();
}

void ExchangeService::stopTimers()
{
    m_clock->stop(ExchangeClock::Poll);
    m_clock->stop(ExchangeClock::HandshakePoll);
    m_clock->stop(ExchangeClock::Quiet);
    m_settling = false;
}

void ExchangeService::closeDialog()
{
    if (!m_running)
        return;
    stopTimers();
    if (m_transport) {
        m_transport->finish(m_state.ExchangeAborted, m_options);
        m_transport->dataArrived = nullptr;
        m_transport->lineLost = nullptr;
    }
    m_state.ExchangeActive = false;
    m_state.ReadyForByte = false;
    m_state.ExchangeCommand.clear();
    m_state.QuietFirstExchange = false;
    if (m_state.PortOpenFailed) {
        m_result = ExchangeResult::NotOpenable;
        emit messageRequested(LanguageTexts::text(Text::WrongPortNumber));
    }
    m_running = false;
    m_clock->quit();
    emit finished();
}

bool ExchangeService::decodeStatusAnswer()
{
    // An answer without every field in its place is no answer: nothing of it
    // is taken, as after a time-out.
    if (m_kind != Kind::WriteVersion) {
        if (!DeviceCodec::decodeStatus(m_state.ReceivedData, *m_into))
            return false;
    } else {
        DeviceCodec::DeviceCounters counters{m_state.DevicePowerOnCount, m_state.DeviceServiceHours};
        if (!DeviceCodec::decodeStatus(m_state.ReceivedData, *m_into, &counters))
            return false;
        m_state.DevicePowerOnCount = counters.powerOnCount;
        m_state.DeviceServiceHours = counters.serviceHours;
    }
    // The identity the history files this command's blocks under.
    m_outcome.serialNumber = m_into->deviceValue(DeviceValue::SerN);
    m_firmware = m_into->deviceValue(DeviceValue::FirmwareVersion);
    return true;
}

void ExchangeService::decodeConfigurationBlock()
{
    if (!DeviceCodec::decodeBlock(m_state.ReceivedData, *m_into, decimalSeparator())) {
        m_result = ExchangeResult::WrongMarker;
        m_clock->stop(ExchangeClock::Poll);
        if (m_markerSaid)
            emit messageRequested(LanguageTexts::text(Text::MemoryContentsInvalid));
    }
}

// ---- texts ---------------------------------------------------------------------

QString ExchangeService::readable(const QByteArray &bytes)
{
    QString out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F)
            out += QLatin1Char(char(b));
        else
            out += QStringLiteral("<%1>").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    }
    return out;
}

QString ExchangeService::receivedForMessage(const QByteArray &bytes)
{
    // A flooding device must not grow the message box past the screen: only
    // the end of what came is shown, a few bytes to a line.
    const bool cut = bytes.size() > MessageBytes;
    const QByteArray shown = cut ? bytes.right(MessageBytes) : bytes;
    QString out = cut ? QStringLiteral("\u2026") : QString();
    for (qsizetype i = 0; i < shown.size(); i += MessageBytesPerLine) {
        if (i > 0)
            out += QLatin1Char('\n');
        out += readable(shown.mid(i, MessageBytesPerLine));
    }
    return out;
}

QString ExchangeService::communicationErrorText(const QByteArray &received)
{
    return LanguageTexts::text(Text::CommunicationError) + QStringLiteral("  ") +
           receivedForMessage(received);
}
