#include "device/ExchangeProtocol.h"

#include "device/DeviceCodec.h"
#include "device/ExchangeClock.h"
#include "device/ExchangeTrace.h"
#include "settings/SettingsRecord.h"

#include <utility>

ExchangeProtocol::ExchangeProtocol(ExchangeClock *clock, QObject *parent)
    : QObject(parent), m_lines([this](int ms) { m_clock->pause(ms); })
{
    setClock(clock);
}

ExchangeProtocol::~ExchangeProtocol() = default;

void ExchangeProtocol::setClock(ExchangeClock *clock)
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

bool ExchangeProtocol::openCable()
{
    if (busy())
        return m_lines.cableOpen();
    m_settingUp = true;
    const bool open = m_lines.openCable();
    m_settingUp = false;
    return open;
}

// ---- one exchange --------------------------------------------------------------

ExchangeResult ExchangeProtocol::run(ExchangeKind kind, SettingsRecord *into, const SettingsRecord *from,
                                     Then then)
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
    // Bytes left behind an answer taken early belong to this exchange's.
    const bool leftBehind = std::exchange(m_tookEarly, false);
    m_takeEarly = then == Then::NextAtOnce && kind != ExchangeKind::Write;
    m_heard = false;

    m_state.ExchangeAborted = false;
    m_state.IdleTicks = 0;
    m_state.ExchangeActive = true;
    m_state.ReadyForByte = false;
    m_state.WriteVersionQuery = kind == ExchangeKind::WriteVersion;
    if (kind == ExchangeKind::WriteVersion) {
        m_state.DevicePowerOnCount.clear();
        m_state.DeviceServiceHours.clear();
    }
    if (kind == ExchangeKind::Version || kind == ExchangeKind::WriteVersion) {
        m_state.ExpectedLength = DeviceCodec::StatusSize;
    } else {
        m_state.ExpectedLength = DeviceCodec::BlockSize;
        // The dialog names a version query only when it sends "V".
        m_state.setStep(kind == ExchangeKind::Read ? ExchangeStep::Read : ExchangeStep::Write);
        m_state.WriteIndex = 0;
    }

    m_transport = m_lines.current();
    m_running = true;
    emit started();
    begin(leftBehind);
    if (m_running)
        m_clock->run();
    m_state.WriteVersionQuery = false;
    m_into = nullptr;
    m_from = nullptr;
    return m_result;
}

void ExchangeProtocol::begin(bool leftBehind)
{
    m_state.PortOpenFailed = false;
    setProgress(0);
    m_pacing = m_transport ? m_transport->pacing(m_options) : ExchangeTransport::Pacing{};
    m_takeEarly = m_takeEarly && m_pacing.keepsLine;
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
        return; // the first tick closes quietly
    // Stale input goes; but what came behind an answer taken early stays,
    // so that this answer comes out longer than it is.
    if (leftBehind) {
        m_state.ReceivedData.clear();
        m_heard = m_transport->waiting() > 0;
    } else
        m_state.ReceivedData = take();
    sendCommands();
}

void ExchangeProtocol::sendCommands()
{
    if (m_kind == ExchangeKind::Version || m_kind == ExchangeKind::WriteVersion) {
        setProgress(2);
        m_state.setStep(ExchangeStep::Version);
        send(QByteArrayLiteral("V"));
    } else if (m_kind == ExchangeKind::Read) {
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

bool ExchangeProtocol::send(const QByteArray &bytes)
{
    if (m_options.trace)
        m_options.trace->transfer(ExchangeTrace::Direction::Sent, m_state, bytes);
    const bool ok = m_transport->send(bytes);
    if (!ok)
        m_sendFailed = true;
    return ok;
}

QByteArray ExchangeProtocol::take()
{
    const QByteArray received = m_transport->take();
    if (m_options.trace)
        m_options.trace->transfer(ExchangeTrace::Direction::Received, m_state, received);
    return received;
}

void ExchangeProtocol::setProgress(int value)
{
    m_progress = value;
    emit progressChanged(value);
}

void ExchangeProtocol::dataArrived(int count)
{
    if (m_running && m_pacing.notifies && !m_settingUp)
        handleAnswer(count);
}

void ExchangeProtocol::handleAnswer(int count)
{
    const ExchangeStep step = m_state.Step;
    if (step == ExchangeStep::Write) {
        handleHandshake(count);
        return;
    }
    if (step != ExchangeStep::Version && step != ExchangeStep::Read)
        return;
    const bool version = step == ExchangeStep::Version;
    const ExchangeIndicator indicator = version ? ExchangeIndicator::StatusAnswer : ExchangeIndicator::Block;
    if (m_settling)
        return; // its quiet time decides
    m_heard = m_heard || count > 0;
    if (count < m_state.ExpectedLength) {
        emit indicatorChanged(indicator);
        setProgress(m_progress + (version ? 60 : m_pacing.partialBlockStep));
        return;
    }
    if (m_pacing.colourOnWholeAnswer)
        emit indicatorChanged(indicator);
    // Taken only when nothing follows: one stray byte inside the answer
    // would leave it the right length with its last real byte still to come.
    // Taken early, the next answer catches that byte instead.
    m_settling = true;
    if (m_takeEarly)
        answerSettled();
    else
        m_clock->start(ExchangeClock::Quiet, m_pacing.quietMs, [this] { answerSettled(); });
}

void ExchangeProtocol::handleHandshake(int count)
{
    if (count != 1)
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
        emit indicatorChanged(ExchangeIndicator::Stored);
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

void ExchangeProtocol::answerSettled()
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
        communicationError(size > m_state.ExpectedLength ? ExchangeResult::Overlong
                                                         : ExchangeResult::CutShort);
        return;
    }
    m_state.ExchangeActive = false;
    if (m_state.Step == ExchangeStep::Version) {
        if (!decodeStatusAnswer()) {
            communicationError(ExchangeResult::NoAnswer);
            return;
        }
    } else {
        decodeConfigurationBlock();
    }
    m_tookEarly = m_takeEarly;
    closeDialog();
}

void ExchangeProtocol::sendReadyByte()
{
    if (!m_state.ReadyForByte || m_state.WriteIndex >= DeviceCodec::BlockSize)
        return;
    sendNextByte();
    if (m_sendFailed)
        communicationError(ExchangeResult::Aborted);
}

void ExchangeProtocol::sendNextByte()
{
    if (m_state.WriteIndex == 0) {
        DeviceCodec::buildWriteBuffer(*m_from, m_state.WriteBuffer);
        send(QByteArray(1, char(DeviceCodec::Marker)));
    } else {
        send(QByteArray(1, char(m_state.WriteBuffer[m_state.WriteIndex] & 0xFF)));
    }
    emit indicatorChanged(ExchangeIndicator::Sending);
    ++m_state.WriteIndex;
    m_state.ReadyForByte = false;
}

void ExchangeProtocol::handshakePoll()
{
    // Between two ticks of a cable write: a waiting "D" sends the next byte
    // at once. Time limits stay with the ticks.
    if (!m_running || !m_state.ExchangeActive || m_transport->health() != ExchangeTransport::Health::Ok)
        return;
    if (const int waiting = m_transport->waiting(); waiting > 0)
        handleAnswer(waiting);
}

void ExchangeProtocol::pollTick()
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

void ExchangeProtocol::timeOut()
{
    // The port is read once more, so the message shows all that came.
    if (m_pacing.rereadOnTimeout)
        m_state.ReceivedData = take();
    communicationError(m_sendFailed || m_transport->health() == ExchangeTransport::Health::Lost
                           ? ExchangeResult::Aborted
                           : ExchangeResult::NoAnswer);
}

void ExchangeProtocol::communicationError(ExchangeResult result)
{
    m_result = result;
    emit indicatorChanged(ExchangeIndicator::Failed);
    m_state.ExchangeActive = false;
    m_state.ReadyForByte = false;
    // No tick and no late answer may act while the message is open.
    stopTimers();
    m_state.setStep(ExchangeStep::None);
    if (!m_state.QuietFirstExchange)
        emit noticeRequested(ExchangeNotice::CommunicationError, m_state.ReceivedData);
    m_state.ExchangeAborted = true;
    closeDialog();
}

void ExchangeProtocol::stopTimers()
{
    m_clock->stop(ExchangeClock::Poll);
    m_clock->stop(ExchangeClock::HandshakePoll);
    m_clock->stop(ExchangeClock::Quiet);
    m_settling = false;
}

void ExchangeProtocol::closeDialog()
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
    m_state.setStep(ExchangeStep::None);
    m_state.QuietFirstExchange = false;
    if (m_state.PortOpenFailed) {
        m_result = ExchangeResult::NotOpenable;
        emit noticeRequested(ExchangeNotice::PortNotOpened, m_state.ReceivedData);
    }
    m_running = false;
    m_clock->quit();
    emit finished();
}

bool ExchangeProtocol::decodeStatusAnswer()
{
    // An answer without every field in its place is no answer: nothing of it
    // is taken, as after a time-out.
    if (m_kind != ExchangeKind::WriteVersion)
        return DeviceCodec::decodeStatus(m_state.ReceivedData, *m_into);
    DeviceCodec::DeviceCounters counters{m_state.DevicePowerOnCount, m_state.DeviceServiceHours};
    if (!DeviceCodec::decodeStatus(m_state.ReceivedData, *m_into, &counters))
        return false;
    m_state.DevicePowerOnCount = counters.powerOnCount;
    m_state.DeviceServiceHours = counters.serviceHours;
    return true;
}

void ExchangeProtocol::decodeConfigurationBlock()
{
    if (!DeviceCodec::decodeBlock(m_state.ReceivedData, *m_into, DeviceCodec::decimalSeparator())) {
        m_result = ExchangeResult::WrongMarker;
        m_clock->stop(ExchangeClock::Poll);
        if (m_markerNoticed)
            emit noticeRequested(ExchangeNotice::WrongMarker, m_state.ReceivedData);
    }
}
