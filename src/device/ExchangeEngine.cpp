#include "device/ExchangeEngine.h"

#include "app/MainWindowState.h"
#include "device/DeviceCodec.h"
#include "device/ExchangeTrace.h"
#include "device/UsbLink.h"
#include "lang/LanguageTexts.h"
#include "settings/SettingsRecord.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTimer>

const QColor ExchangeEngine::Blue(0, 0, 255);
const QColor ExchangeEngine::SkyBlue(166, 202, 240);
const QColor ExchangeEngine::Yellow(255, 255, 0);
const QColor ExchangeEngine::Teal(0, 128, 128);
const QColor ExchangeEngine::Red(255, 0, 0);

namespace
{
// TimeOutRS comes from a hand-edited file; beyond two seconds a tick the
// time limit would be a couple of ticks and the dialog would crawl.
constexpr int MaxSerialInterval = 2000;
constexpr int DefaultSerialInterval = 10;
// How often a USB write looks for its handshake between two poll ticks.
constexpr int UsbHandshakePollMs = 1;
} // namespace

ExchangeEngine::ExchangeEngine(MainWindowState &window, SettingsRecord &record, UsbLink &usb, QObject *parent)
    : QObject(parent), m_window(window), m_record(record), m_usb(usb)
{
    m_handshakePoll = new QTimer(this);
    m_handshakePoll->setTimerType(Qt::PreciseTimer);
    m_handshakePoll->setInterval(UsbHandshakePollMs);
    connect(m_handshakePoll, &QTimer::timeout, this, &ExchangeEngine::pollHandshake);
}

int ExchangeEngine::serialInterval() const
{
    const int t = m_window.TimeOutRS;
    return (t <= 0 || t > MaxSerialInterval) ? DefaultSerialInterval : t;
}

void ExchangeEngine::prepareVersionQuery()
{
    ExpectedLength = 10;
    IdleTicks = 0;
    ExchangeActive = true;
}

void ExchangeEngine::prepareWriteVersionQuery()
{
    ExchangeAborted = false;
    prepareVersionQuery();
    m_window.WriteVersionQuery = true;
}

void ExchangeEngine::prepareRead()
{
    ExpectedLength = 128;
    ExchangeCommand = QStringLiteral("PC");
    IdleTicks = 0;
    ExchangeActive = true;
}

void ExchangeEngine::prepareWrite()
{
    ExpectedLength = 128;
    ExchangeCommand = QStringLiteral("PZ");
    IdleTicks = 0;
    WriteIndex = 0;
    ExchangeActive = true;
    ReadyForByte = false;
}

QString ExchangeEngine::readable(const QByteArray &bytes)
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

QString ExchangeEngine::receivedForMessage(const QByteArray &bytes)
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

QString ExchangeEngine::communicationErrorText(const QByteArray &received)
{
    return LanguageTexts::text(QStringLiteral("MESSAGE"), 35) + QStringLiteral("  ") +
           receivedForMessage(received);
}

void ExchangeEngine::setProgress(int value)
{
    m_progress = value;
    emit progressChanged(value);
}

QByteArray ExchangeEngine::traced(const QByteArray &received)
{
    if (m_trace)
        m_trace->transfer(ExchangeTrace::Direction::Received, *this, received);
    return received;
}

bool ExchangeEngine::send(const QByteArray &bytes)
{
    if (m_trace)
        m_trace->transfer(ExchangeTrace::Direction::Sent, *this, bytes);
    if (m_usbTransport) {
        bool ok = true;
        for (const char c : bytes)
            ok = m_usb.writeByte(static_cast<quint8>(c)) && ok;
        return ok;
    }
    return m_serial && m_serial->writeString(bytes);
}

void ExchangeEngine::begin()
{
    m_running = true;
    m_usbTransport = m_usbSelected;
    PortOpenFailed = false;
    setProgress(0);

    if (m_usbTransport) {
        m_interval = UsbInterval;
        emit pollTimerChanged(true, m_interval);
        if (!m_usb.UsbOpen) {
            m_usb.open();
            if (!m_usb.UsbOpen) {
                m_window.VersionQueryRequested = false;
                return; // the first tick finds no connection and closes
            }
        }
        if (m_usb.UsbDevice) {
            ReceivedData = traced(m_usb.readAllWaiting()); // stale input goes
            sendCommands();
        }
        return;
    }

    m_interval = serialInterval();
    emit pollTimerChanged(true, m_interval);
    if (!m_serial) {
        m_window.VersionQueryRequested = false;
        PortOpenFailed = true;
        return;
    }
    if (!m_serial->isOpen() || m_serial->lost()) {
        try {
            if (m_serial->isOpen())
                m_serial->close(); // a vanished device: start afresh
            m_serial->open();
        } catch (const std::exception &) {
            m_window.VersionQueryRequested = false;
            PortOpenFailed = true;
            return;
        }
    }
    ReceivedData = traced(m_serial->readString());
    sendCommands();
}

void ExchangeEngine::sendCommands()
{
    // A write's version query may find a query pending from the main timer
    // as well; the communicator is asked once, or its two answers would run
    // together and never match the expected length.
    if (m_window.VersionQueryRequested || m_window.WriteVersionQuery) {
        setProgress(2);
        m_window.VersionQueryRequested = false;
        ExchangeCommand = QStringLiteral("VER");
        send(QByteArrayLiteral("V"));
    }
    if (ExchangeCommand == QLatin1String("PC")) {
        send(QByteArrayLiteral("R"));
        send(QByteArrayLiteral("P"));
    }
    if (ExchangeCommand == QLatin1String("PZ")) {
        send(QByteArrayLiteral("W"));
        send(QByteArrayLiteral("P"));
        ReadyForByte = true;
        // The cable has no data notification: between ticks the write looks
        // for its handshakes on a short poll of its own.
        if (m_usbTransport && !m_window.WriteOnTick)
            m_handshakePoll->start();
    }
}

void ExchangeEngine::closeSerialAfterExchange()
{
    if (!m_usbTransport && m_serial && m_window.ClosePort == QLatin1String("1"))
        m_serial->close();
}

void ExchangeEngine::serialDataReceived(int count)
{
    if (!m_running || m_usbTransport)
        return;
    handleAnswer(count, false);
}

void ExchangeEngine::handleAnswer(int count, bool usb)
{
    auto take = [&] { return traced(usb ? m_usb.readAllWaiting() : m_serial->readString()); };
    auto letWindowsRun = [&] {
        if (usb)
            QCoreApplication::processEvents();
    };

    if (ExchangeCommand == QLatin1String("VER") || ExchangeCommand == QLatin1String("PC")) {
        const bool version = ExchangeCommand == QLatin1String("VER");
        const QColor colour = version ? Blue : SkyBlue;
        if (count == ExpectedLength) {
            if (!usb)
                emit indicatorChanged(colour);
            ReceivedData = take();
            // A read that broke off part-way (or picked up more than the
            // answer) must not leave half the parameters new and half old.
            if (ReceivedData.size() != ExpectedLength) {
                communicationError(usb);
                return;
            }
            ExchangeActive = false;
            if (version)
                decodeStatusAnswer();
            else
                decodeConfigurationBlock();
            closeSerialAfterExchange();
            closeDialog();
        } else {
            emit indicatorChanged(colour);
            setProgress(m_progress + (version ? 60 : (usb ? 3 : 4)));
            letWindowsRun();
        }
        return;
    }

    if (ExchangeCommand == QLatin1String("PZ") && count == 1) {
        IdleTicks = 0;
        ReceivedData = take();
        if (ReceivedData == "D") {
            setProgress(m_progress + 1);
            letWindowsRun();
            if (!m_running)
                return;
            ReadyForByte = true;
            // The "D" says the communicator is ready: the next byte goes now
            // rather than at the next tick, unless the configuration asks
            // for the old pacing.
            if (!m_window.WriteOnTick)
                sendReadyByte(usb);
        } else if (ReceivedData == "Z" && WriteIndex >= 128) {
            emit indicatorChanged(Yellow);
            ReceivedData = take(); // anything that followed is dropped
            ExchangeActive = false;
            ReadyForByte = false;
            closeSerialAfterExchange();
            closeDialog();
        } else {
            // A "Z" before the last byte went out means the block was not
            // stored whole; any other byte is no answer of this protocol.
            communicationError(usb);
        }
    }
}

void ExchangeEngine::sendReadyByte(bool usb)
{
    if (!ReadyForByte || WriteIndex > 127)
        return;
    sendNextByte();
    if (usb && !m_usb.UsbWriteOk)
        communicationError(true);
}

void ExchangeEngine::serialLost()
{
    // Ends the exchange as a time-out would, at once: the port is closed so
    // that the next exchange opens it afresh.
    if (!m_running || m_usbTransport || !ExchangeActive)
        return;
    timeOut(false);
}

void ExchangeEngine::pollHandshake()
{
    // Between two ticks of a USB write: take a waiting "D" and send the next
    // byte at once. Time limits stay with the ticks.
    if (!m_running || !m_usbTransport || !ExchangeActive || !m_usb.UsbDevice || !m_usb.UsbOpen)
        return;
    const quint32 waiting = m_usb.waitingCount();
    if (waiting > 0)
        handleAnswer(int(waiting), true);
}

void ExchangeEngine::pollTick()
{
    if (!m_running)
        return;

    if (!m_usbTransport) {
        if (PortOpenFailed) {
            closeDialog();
            return;
        }
        if (!ExchangeActive)
            return;
        if (m_serial && m_serial->lost()) {
            timeOut(false);
            return;
        }
        ++IdleTicks;
        if (IdleTicks > 2000 / m_interval + 1) {
            timeOut(false);
            return;
        }
        if (ReadyForByte)
            sendNextByte();
        return;
    }

    if (!m_usb.UsbDevice) {
        closeDialog();
        return;
    }
    if (!m_usb.UsbWriteOk && ExchangeActive) {
        // A command byte that did not go out fails the exchange like a data
        // byte would, so a write does not go on after its version query.
        communicationError(true);
        return;
    }
    if (!m_usb.UsbOpen || PortOpenFailed || !m_usb.UsbWriteOk) {
        m_usb.release();
        closeDialog();
        return;
    }
    const quint32 waiting = m_usb.waitingCount();
    if (waiting > 0) {
        handleAnswer(int(waiting), true);
        if (!m_running)
            return;
    }
    if (!ExchangeActive)
        return;
    ++IdleTicks;
    if (IdleTicks > UsbTimeoutTicks) {
        timeOut(true);
        return;
    }
    if (ReadyForByte)
        sendReadyByte(true);
}

void ExchangeEngine::sendNextByte()
{
    // A serial write that fails shows up as lost() at the next tick; a USB
    // write's outcome is in UsbWriteOk.
    if (WriteIndex == 0) {
        buildWriteBuffer();
        send(QByteArray(1, char(0x55)));
    } else if (WriteIndex >= 1 && WriteIndex <= 127) {
        send(QByteArray(1, char(WriteBuffer[WriteIndex] & 0xFF)));
    }
    emit indicatorChanged(Teal);
    ++WriteIndex;
    ReadyForByte = false;
}

void ExchangeEngine::timeOut(bool usb)
{
    // The serial port is read once more, so the message shows all that came.
    if (!usb && m_serial)
        ReceivedData = traced(m_serial->readString());
    communicationError(usb);
}

void ExchangeEngine::communicationError(bool usb)
{
    emit indicatorChanged(Red);
    ExchangeActive = false;
    ReadyForByte = false;
    // No tick and no late answer may act while the message is open.
    stopTimers();
    ExchangeCommand.clear();
    if (!m_window.QuietFirstExchange)
        emit messageRequested(communicationErrorText(ReceivedData));
    ExchangeAborted = true;
    if (usb) {
        m_usb.release();
    } else if (m_serial) {
        if (m_serial->lost())
            m_serial->close(); // the next exchange reopens
        else
            closeSerialAfterExchange();
    }
    closeDialog();
}

void ExchangeEngine::stopTimers()
{
    m_handshakePoll->stop();
    emit pollTimerChanged(false, m_interval);
}

void ExchangeEngine::closeDialog()
{
    if (!m_running)
        return;
    m_running = false;
    stopTimers();
    ExchangeCommand.clear();
    m_window.QuietFirstExchange = false;
    if (PortOpenFailed)
        emit messageRequested(LanguageTexts::text(QStringLiteral("MESSAGE"), 39));
    emit finished();
}

void ExchangeEngine::decodeStatusAnswer()
{
    if (m_window.WriteVersionQuery) {
        DeviceCodec::DeviceCounters counters{DevicePowerOnCount, DeviceServiceHours};
        DeviceCodec::decodeStatus(ReceivedData, m_record, &counters);
        DevicePowerOnCount = counters.powerOnCount;
        DeviceServiceHours = counters.serviceHours;
    } else {
        DeviceCodec::decodeStatus(ReceivedData, m_record);
    }
}

void ExchangeEngine::decodeConfigurationBlock()
{
    const QString point = QLocale().decimalPoint();
    const bool markerOk =
        DeviceCodec::decodeBlock(ReceivedData, m_record, point.isEmpty() ? QLatin1Char('.') : point.at(0));
    if (!markerOk) {
        emit pollTimerChanged(false, m_interval);
        emit messageRequested(LanguageTexts::text(QStringLiteral("MESSAGE"), 36));
    }
}

void ExchangeEngine::buildWriteBuffer()
{
    DeviceCodec::buildWriteBuffer(m_record, WriteBuffer);
}
