#include "DeviceSession.h"

#include "WriteGate.h"

#include "device/ComPortLink.h"
#include "device/ExchangeEngine.h"
#include "device/ExchangeRunner.h"
#include "device/UsbLink.h"
#include "platform/PortPaths.h"
#include "serial/AfComPort.h"
#include "settings/FirmwareOptions.h"
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

DeviceSession::DeviceSession(const CliTransport &transport) : m_transport(transport)
{
    m_window.TimeOutRS = transport.timeOutRS;
    m_window.WriteOnTick = transport.writeOnTick;
    m_usb = std::make_unique<UsbLink>();
}

DeviceSession::~DeviceSession()
{
    m_link.reset();
    if (m_port)
        m_port->Close();
    m_port.reset();
    m_engine.reset();
    if (!m_transport.devicePath.isEmpty())
        PortPaths::setDeviceOverride(m_transport.comNumber, {});
    if (m_trace.isOpen()) {
        m_trace.note(QStringLiteral("end of run"));
        m_trace.flush();
    }
}

bool DeviceSession::openTrace(const QString &path, QString *error)
{
    if (!m_trace.open(path, error))
        return false;
    m_trace.note(QStringLiteral("tessaro-cli on %1").arg(m_transport.describe()));
    return true;
}

void DeviceSession::drawProgress(int handshakes)
{
    if (!m_progressStream)
        return;
    // A write counts its handshakes. An answer is taken only when it is
    // whole, so a query or read shows the time its bytes need on the line.
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

DeviceSession::Outcome DeviceSession::openLink()
{
    if (m_engine)
        return {};
    m_engine = std::make_unique<ExchangeEngine>(m_window, *m_record, *m_usb);
    if (m_trace.isOpen())
        m_engine->setTrace(&m_trace);
    QObject::connect(m_engine.get(), &ExchangeEngine::progressChanged, m_engine.get(),
                     [this](int v) { drawProgress(v); });

    if (m_transport.usb) {
        m_engine->setUsbSelected(true);
        // As the program's commands do: the cable is opened anew every time.
        m_usb->open();
        if (m_usb->UsbState != UsbLink::StateOpen)
            return {ExitPortNotOpened,
                    QStringLiteral("%1: not found or not openable").arg(m_transport.describe())};
        return {};
    }
    if (!m_transport.devicePath.isEmpty())
        PortPaths::setDeviceOverride(m_transport.comNumber, m_transport.devicePath);
    m_port = std::make_unique<TAfComPort>();
    ComPortLink::setUpPort(*m_port);
    m_port->SetComNumber(m_transport.comNumber);
    m_link = std::make_unique<ComPortLink>(*m_port, *m_engine);
    return {};
}

void DeviceSession::run(const QString &stepName, int answerBytes)
{
    m_step = stepName;
    m_answerBytes = answerBytes;
    m_stepClock.start();
    QTimer ticker;
    if (m_progressStream && answerBytes > 0) {
        QObject::connect(&ticker, &QTimer::timeout, [this] { drawProgress(0); });
        ticker.start(50);
    }
    ExchangeRunner runner(*m_engine);
    // The engine's own messages are the program's message boxes; the outcome
    // is read from its state instead and reported with the port's name.
    runner.setMessageHandler([](const QString &) {});
    runner.run();
    if (!m_engine->ExchangeAborted && !m_engine->PortOpenFailed && !m_drawn.isEmpty()) {
        m_answerBytes = 0;
        drawProgress(HandshakeMax); // done
    }
    endProgress();
}

DeviceSession::Outcome DeviceSession::failure() const
{
    if (m_engine->PortOpenFailed)
        return {ExitPortNotOpened,
                QStringLiteral("%1: the port cannot be opened").arg(m_transport.describe())};
    if (m_engine->ExchangeAborted || (m_transport.usb && !m_usb->UsbDevice)) {
        QString text = QStringLiteral("%1: no answer from the communicator within the time limit")
                           .arg(m_transport.describe());
        if (!m_engine->ReceivedData.isEmpty())
            text += QStringLiteral(" (received: %1)").arg(ExchangeEngine::readable(m_engine->ReceivedData));
        return {ExitNoAnswer, text};
    }
    return {};
}

DeviceSession::Outcome DeviceSession::status(SettingsRecord &record)
{
    m_record = &record;
    if (Outcome o = openLink(); o.code != ExitOk)
        return o;
    m_engine->ExchangeAborted = false;
    m_window.VersionQueryRequested = true;
    m_engine->prepareVersionQuery();
    run(QStringLiteral("version"), DeviceCodec::StatusSize);
    return failure();
}

DeviceSession::Outcome DeviceSession::read(SettingsRecord &record)
{
    Outcome o = status(record);
    // The program reads the block even when its version query went
    // unanswered; a port that does not open fails both the same way.
    if (o.code == ExitPortNotOpened)
        return o;
    m_engine->ExchangeAborted = false;
    m_engine->prepareRead();
    run(QStringLiteral("read"), DeviceCodec::BlockSize);
    if (Outcome f = failure(); f.code != ExitOk)
        return f;
    const QByteArray &block = m_engine->ReceivedData;
    if (block.size() != DeviceCodec::BlockSize)
        return {ExitNoAnswer,
                QStringLiteral("%1: the block came back incomplete").arg(m_transport.describe())};
    if (static_cast<unsigned char>(block.at(0)) != DeviceCodec::Marker)
        return {ExitWrongMarker,
                QStringLiteral(
                    "%1: the block starts with 0x%2, not the marker 0x55; the device memory is not valid")
                    .arg(m_transport.describe())
                    .arg(static_cast<unsigned char>(block.at(0)), 2, 16, QLatin1Char('0'))};
    FirmwareOptions::apply(record.deviceValue(DeviceValue::FirmwareVersion), record);
    return {};
}

DeviceSession::Outcome DeviceSession::write(SettingsRecord &record, const Counters &given)
{
    // The file's values are checked before anything goes on the line.
    if (const auto refusal = writeRefusal(record))
        return {ExitRefused, *refusal};
    m_record = &record;
    if (Outcome o = openLink(); o.code != ExitOk)
        return o;
    m_engine->DevicePowerOnCount.clear();
    m_engine->DeviceServiceHours.clear();
    m_engine->prepareWriteVersionQuery();
    run(QStringLiteral("version"), DeviceCodec::StatusSize);
    m_window.WriteVersionQuery = false;
    m_window.VersionQueryRequested = false;
    if (Outcome f = failure(); f.code != ExitOk)
        return f;
    // A counter the answer did not carry is never guessed: writing a made-up
    // value would overwrite the device's own.
    if ((m_engine->DevicePowerOnCount.isEmpty() && !given.powerOnCount) ||
        (m_engine->DeviceServiceHours.isEmpty() && !given.serviceHours))
        return {ExitRefused,
                QStringLiteral("%1: the device did not report its counters; give them with --counters")
                    .arg(m_transport.describe())};

    // The device's own counters go back unchanged unless others are given.
    record.setDeviceValue(DeviceValue::PwOn, given.powerOnCount.value_or(m_engine->DevicePowerOnCount));
    record.setDeviceValue(DeviceValue::SvHr, given.serviceHours.value_or(m_engine->DeviceServiceHours));
    // The program's timer holds the firmware-dependent options at their
    // fixed values once the version is known.
    FirmwareOptions::apply(record.deviceValue(DeviceValue::FirmwareVersion), record);
    if (const auto refusal = writeRefusal(record))
        return {ExitRefused, *refusal};

    m_engine->prepareWrite();
    run(QStringLiteral("write"), 0);
    if (Outcome f = failure(); f.code != ExitOk)
        return f;
    if (m_engine->WriteIndex < DeviceCodec::BlockSize)
        return {ExitNoAnswer, QStringLiteral("%1: the write ended after %2 of 128 bytes")
                                  .arg(m_transport.describe())
                                  .arg(m_engine->WriteIndex)};
    return {};
}
