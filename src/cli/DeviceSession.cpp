#include "cli/DeviceSession.h"

#include "cli/WriteGate.h"

#include "device/ReadableBytes.h"
#include "device/SerialTransport.h"
#include "device/UsbLink.h"
#include "history/DeviceHistory.h"
#include "platform/PortPaths.h"
#include "serial/AfComPort.h"
#include "settings/MemoryRecord.h"
#include "settings/SettingsDiff.h"
#include "settings/SettingsRecord.h"

#include <QTextStream>
#include <QTimer>

#include <algorithm>

namespace
{
constexpr int HandshakeMax = 127; // a write's "D" answers
constexpr int BarWidth = 40;
constexpr double ByteMs = 10.0 * 1000.0 / 2400.0; // 10 bit times at 2400 baud
constexpr double TurnaroundMs = 20.0;
} // namespace

DeviceSession::DeviceSession(const CliTransport &transport, const SessionLine &line) : m_transport(transport)
{
    m_service.setClock(line.clock);
    ExchangeOptions options;
    options.TimeOutRS = transport.timeOutRS;
    options.WriteOnTick = transport.writeOnTick;
    m_service.setOptions(options);
    m_service.setUsbSelected(transport.usb);
    if (transport.history) {
        m_history = std::make_unique<DeviceHistory>(transport.programFolder,
                                                    DeviceHistory::optionsOf(transport.programFolder));
        m_service.setHistory(m_history.get());
    }
    if (line.serial) {
        m_service.setSerialTransport(line.serial);
    } else if (!transport.usb) {
        if (!transport.devicePath.isEmpty())
            PortPaths::setDeviceOverride(transport.comNumber, transport.devicePath);
        m_port = std::make_unique<TAfComPort>();
        SerialTransport::setUpPort(*m_port);
        m_port->SetComNumber(transport.comNumber);
        m_serial = std::make_unique<SerialTransport>(*m_port);
        m_service.setSerialTransport(m_serial.get());
    }
    QObject::connect(&m_service, &ExchangeService::started, &m_service, [this] { exchangeStarted(); });
    QObject::connect(&m_service, &ExchangeService::progressChanged, &m_service,
                     [this](int v) { drawProgress(v); });
    QObject::connect(&m_service, &ExchangeService::finished, &m_service, [this] {
        const ExchangeState &s = m_service.state();
        if (!s.ExchangeAborted && !s.PortOpenFailed && !m_drawn.isEmpty()) {
            m_answerBytes = 0;
            drawProgress(HandshakeMax); // done
        }
        endProgress();
    });
}

DeviceSession::~DeviceSession()
{
    m_service.setSerialTransport(nullptr);
    m_serial.reset();
    if (m_port)
        m_port->Close();
    m_port.reset();
    if (!m_transport.devicePath.isEmpty())
        PortPaths::setDeviceOverride(m_transport.comNumber, {});
    static_cast<void>(closeTrace());
}

Result<void> DeviceSession::closeTrace()
{
    if (!m_trace.isOpen())
        return {};
    m_service.setTrace(nullptr);
    m_trace.note(QStringLiteral("end of run"));
    return m_trace.close();
}

Result<void> DeviceSession::openTrace(const QString &path)
{
    if (Result<void> opened = m_trace.open(path); !opened)
        return opened;
    m_trace.note(QStringLiteral("tessaro-cli on %1").arg(m_transport.describe()));
    m_service.setTrace(&m_trace);
    return {};
}

void DeviceSession::exchangeStarted()
{
    const ExchangeState &s = m_service.state();
    if (s.ExpectedLength == DeviceCodec::StatusSize) {
        m_step = QStringLiteral("version");
        m_answerBytes = DeviceCodec::StatusSize;
    } else if (s.Step == ExchangeStep::Read) {
        m_step = QStringLiteral("read");
        m_answerBytes = DeviceCodec::BlockSize;
    } else {
        m_step = QStringLiteral("write");
        m_answerBytes = 0; // the bar follows the handshakes
    }
    m_stepClock.start();
    if (m_progressStream && m_answerBytes > 0) {
        // An answer is taken only when it is whole, so a query or read shows
        // the time its bytes need on the line.
        auto *ticker = new QTimer(&m_service);
        QObject::connect(ticker, &QTimer::timeout, ticker, [this] { drawProgress(0); });
        QObject::connect(&m_service, &ExchangeService::finished, ticker, &QObject::deleteLater);
        ticker->start(50);
    }
}

void DeviceSession::drawProgress(int handshakes)
{
    if (!m_progressStream)
        return;
    double fraction = double(std::clamp(handshakes, 0, HandshakeMax)) / HandshakeMax;
    if (m_answerBytes > 0)
        fraction = std::min(0.99, m_stepClock.elapsed() / (m_answerBytes * ByteMs + TurnaroundMs));
    const int filled = int(fraction * BarWidth);
    const QString text = m_step.leftJustified(8) + QStringLiteral(" [") + QString(filled, QLatin1Char('#')) +
                         QString(BarWidth - filled, QLatin1Char('.')) + QStringLiteral("] ") +
                         QString::number(int(fraction * 100)).rightJustified(3) + QLatin1Char('%');
    if (text == m_drawn)
        return;
    *m_progressStream << '\r' << text;
    m_progressStream->flush();
    m_drawn = text;
}

void DeviceSession::endProgress()
{
    if (m_progressStream && !m_drawn.isEmpty()) {
        *m_progressStream << '\n';
        m_progressStream->flush();
    }
    m_drawn.clear();
}

DeviceSession::Outcome DeviceSession::outcome(ExchangeResult result) const
{
    const QString port = m_transport.describe();
    const QByteArray &received = m_service.state().ReceivedData;
    const QString got = received.isEmpty()
                            ? QString()
                            : QStringLiteral(" (received: %1)").arg(readableBytes(received));
    switch (result) {
    case ExchangeResult::Done:
        return {};
    case ExchangeResult::NotOpenable:
        return {ExitPortNotOpened, m_transport.usb
                                       ? QStringLiteral("%1: not found or not openable").arg(port)
                                       : QStringLiteral("%1: the port cannot be opened").arg(port)};
    case ExchangeResult::NoAnswer:
    case ExchangeResult::Aborted:
        return {ExitNoAnswer,
                QStringLiteral("%1: no answer from the communicator within the time limit%2").arg(port, got)};
    case ExchangeResult::CutShort:
        return {ExitNoAnswer, QStringLiteral("%1: the communicator's answer broke off%2").arg(port, got)};
    case ExchangeResult::Overlong:
        return {ExitNoAnswer,
                QStringLiteral("%1: more bytes came than the communicator's answer has%2").arg(port, got)};
    case ExchangeResult::WrongMarker:
        return {ExitWrongMarker,
                QStringLiteral(
                    "%1: the block starts with 0x%2, not the marker 0x55; the device memory is not valid")
                    .arg(port)
                    .arg(received.isEmpty() ? 0 : static_cast<unsigned char>(received.at(0)), 2, 16,
                         QLatin1Char('0'))};
    case ExchangeResult::Refused:
        return {ExitRefused, describeRefusal(*m_service.refusal())};
    case ExchangeResult::Cancelled:
        return {m_cancelCode, m_cancelReason};
    case ExchangeResult::Unverified:
        return {ExitNoAnswer,
                QStringLiteral("%1: the write ended, but reading it back failed: it could not be checked%2")
                    .arg(port, got)};
    case ExchangeResult::Mismatch:
        return {ExitMismatch,
                QStringLiteral("%1: the communicator did not store the block as it was sent").arg(port)};
    }
    return {};
}

DeviceSession::Outcome DeviceSession::status(SettingsRecord &record)
{
    if (m_transport.usb && !m_service.openCable())
        return outcome(ExchangeResult::NotOpenable);
    return outcome(m_service.versionQuery(record));
}

DeviceSession::Outcome DeviceSession::read(SettingsRecord &record)
{
    return outcome(m_service.read(record));
}

bool DeviceSession::takeCounters(const DeviceCodec::DeviceCounters &device, SettingsRecord &rec,
                                 const Counters &given, const CliWriteChoice &choice)
{
    // A counter the answer did not carry is never guessed: writing a
    // made-up value would overwrite the device's own.
    if ((device.powerOnCount.isEmpty() && !given.powerOnCount) ||
        (device.serviceHours.isEmpty() && !given.serviceHours)) {
        m_cancelReason = QStringLiteral("%1: the device did not report its counters; give them with --counters")
                             .arg(m_transport.describe());
        return false;
    }
    // The device's own counters go back unchanged unless others are given.
    rec.setDeviceValue(DeviceValue::PwOn, given.powerOnCount.value_or(device.powerOnCount));
    rec.setDeviceValue(DeviceValue::SvHr, given.serviceHours.value_or(device.serviceHours));
    const QString firmware = rec.deviceValue(DeviceValue::FirmwareVersion);
    const QString notOffered = choice.notOffered ? choice.notOffered(firmware) : QString();
    if (!notOffered.isEmpty()) {
        m_cancelReason = QStringLiteral("%1: firmware %2 does not offer %3")
                             .arg(m_transport.describe(), firmware, notOffered);
        return false;
    }
    return true;
}

ExchangeService::WriteSteps DeviceSession::counterSteps(const Counters &given, const CliWriteChoice &choice)
{
    m_cancelReason.clear();
    m_cancelCode = ExitRefused;
    ExchangeService::WriteSteps steps;
    steps.confirm = [this, &given, &choice](const DeviceCodec::DeviceCounters &device, SettingsRecord &rec) {
        return takeCounters(device, rec, given, choice);
    };
    return steps;
}

DeviceSession::Outcome DeviceSession::write(SettingsRecord &record, const Counters &given,
                                            const CliWriteChoice &choice)
{
    ExchangeService::WriteSteps steps = counterSteps(given, choice);
    steps.verify = choice.verify && m_transport.verifyWrite;
    steps.writeWithoutBackup = [this, &choice](const QString &error) {
        if (choice.withoutBackup)
            return true;
        m_cancelCode = ExitBadFile;
        m_cancelReason = QStringLiteral("the settings before the write could not be kept (%1); nothing was "
                                        "written (--no-backup writes without them)")
                             .arg(error);
        return false;
    };
    if (choice.showChanges)
        steps.confirmChanges = [&choice](const SettingsRecord &inDevice, const SettingsRecord &toWrite) {
            choice.showChanges(inDevice, toWrite);
            return true;
        };
    return outcome(m_service.write(record, steps));
}

DeviceSession::Outcome DeviceSession::dryRun(SettingsRecord &record, MemoryRecord &inDevice, const Counters &given,
                                             const CliWriteChoice &choice)
{
    ExchangeService::WriteSteps steps = counterSteps(given, choice);
    const Outcome o = outcome(m_service.dryRun(record, steps));
    if (o.code == ExitOk && m_service.deviceRecord())
        SettingsDiff::copy(*m_service.deviceRecord(), inDevice);
    return o;
}
