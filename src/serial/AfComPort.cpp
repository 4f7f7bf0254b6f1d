#include "serial/AfComPort.h"

#include "serial/AfSafeSync.h"

#include <QCursor>
#include <QGuiApplication>

namespace
{

constexpr uint32_t kBaudRates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                   19200, 38400, 56000, 57600, 115200, 128000, 256000};
constexpr uint32_t kFlowBits[] = {0x0, 0x300, 0x2004, 0x28};
constexpr uint32_t kOptionBits[] = {0x2, 0x40, 0x80, 0x400, 0x800};

// Clears a flag when the scope ends, also when an exception leaves it.
struct FlagReset {
    std::atomic<bool> &flag;
    ~FlagReset() { flag.store(false); }
};

} // namespace

TAfCustomSerialPort::TAfCustomSerialPort(QObject *owner) : TAfDataDispConnComponent(owner)
{
    m_syncId = SafeSyncRegister([this] { MainThreadHandler(); });
    m_core = std::make_unique<TAfComPortCore>();
    m_core->SetEventCallback([this](TAfComPortCore *, TAfCoreEvent kind, uint32_t data,
                                    std::exception_ptr error) { CoreEvent(kind, data, std::move(error)); });
    UpdateDCB();
}

TAfCustomSerialPort::~TAfCustomSerialPort()
{
    m_destroying.store(true);
    SafeSyncUnregister(m_syncId);
    // Closes an open port without OnPortClose.
    m_core.reset();
}

void TAfCustomSerialPort::Loaded()
{
    if (m_autoOpen)
        Open();
    else
        UpdateDCB();
}

void TAfCustomSerialPort::Open()
{
    if (!IsOpen()) {
        SafeSyncEnable(m_syncId, true);
        m_core->ApplyDCB(m_dcb);
        m_core->SetInQueueSize(m_inBufSize);
        m_core->SetOutBufSize(m_outBufSize);
        m_core->SetEventThreadPriority(m_eventThreadPriority);
        m_core->SetWriteThreadPriority(m_writeThreadPriority);
        m_closing.store(false);
        try {
            OpenDevice();
        } catch (...) {
            // The handler is live exactly while the port is open.
            SafeSyncEnable(m_syncId, false);
            TAfDataDispConnComponent::Open();
            throw;
        }
        if (OnPortOpen)
            OnPortOpen(this);
    }
    TAfDataDispConnComponent::Open();
}

void TAfCustomSerialPort::Close()
{
    m_closing.store(true);
    FlagReset reset{m_closing};
    TAfDataDispConnComponent::Close();
    // Disabled first: an event thread waiting in a main-thread send returns
    // at once, so the core can wait for its end.
    SafeSyncEnable(m_syncId, false);
    m_core->CloseComm();
    if (OnPortClose)
        OnPortClose(this);
}

bool TAfCustomSerialPort::IsOpen() const
{
    return m_core && m_core->IsOpen();
}

bool TAfCustomSerialPort::ConnectionLost() const
{
    return m_core && m_core->ConnectionLost();
}

void TAfCustomSerialPort::ReadData(void *buffer, int count)
{
    if (m_closing.load())
        return;
    if (m_core->ReadInput(buffer, count) != count)
        RaisePortError(QStringLiteral("Read data error"));
}

QByteArray TAfCustomSerialPort::ReadString()
{
    if (m_closing.load())
        return {};
    const int waiting = m_core->GetComStat().cbInQue;
    if (waiting <= 0)
        return {};
    QByteArray text(waiting, '\0');
    const int got = m_core->ReadInput(text.data(), waiting);
    text.resize(std::max(got, 0));
    return text;
}

void TAfCustomSerialPort::WriteData(const void *buffer, int count)
{
    if (m_closing.load())
        return;
    if (!m_core->QueueOutput(buffer, count))
        RaisePortError(
            QString::asprintf("Write data error [requested: %d, free: %d]", count, OutBufferFree()));
}

void TAfCustomSerialPort::WriteString(const QByteArray &text)
{
    if (text.isEmpty())
        return;
    WriteData(text.constData(), static_cast<int>(text.size()));
}

int TAfCustomSerialPort::InQueueCount()
{
    return m_core->Active() ? m_core->GetComStat().cbInQue : 0;
}

int TAfCustomSerialPort::OutBufferFree()
{
    return m_core->OutBufferFree();
}

int TAfCustomSerialPort::Handle() const
{
    return m_core->Handle();
}

void TAfCustomSerialPort::RaisePortError(const QString &message)
{
    throw EAfComPortError(QStringLiteral("%1 - %2 ").arg(message, Name()));
}

// ---- events ---------------------------------------------------------------

void TAfCustomSerialPort::CoreEvent(TAfCoreEvent kind, uint32_t data, std::exception_ptr error)
{
    // Event thread.
    if (m_closing.load() || m_destroying.load())
        return;
    if (kind != ceException && OnNonSyncEvent) {
        OnNonSyncEvent(this, kind, data);
        return;
    }
    m_pendingKind = kind;
    m_pendingData = data;
    m_pendingError = std::move(error);
    if (!SafeSyncSend(m_syncId, 2000))
        throw EAbort(); // the slot is off (closing): the event is dropped
}

void TAfCustomSerialPort::MainThreadHandler()
{
    if (m_closing.load())
        return;
    const std::exception_ptr error = std::exchange(m_pendingError, nullptr);
    Dispatch(m_pendingKind, m_pendingData, error);
}

void TAfCustomSerialPort::Dispatch(TAfCoreEvent kind, uint32_t data, const std::exception_ptr &error)
{
    if (m_closing.load() || m_destroying.load())
        return;
    if (OnSyncEvent)
        OnSyncEvent(this, kind, data);
    switch (kind) {
    case ceOutFree:
        if (OnOutBufFree)
            OnOutBufFree(this);
        break;
    case ceLineEvent: {
        if (data & EV_RXCHAR) {
            const int count = m_core->GetComStat().cbInQue;
            if (OnDataRecived)
                OnDataRecived(this, count);
        }
        const uint32_t errors = m_core->TakeLineErrors();
        if ((data & EV_ERR) && OnLineError)
            OnLineError(this, errors);
        if ((data & EV_CTS) && OnCTSChanged)
            OnCTSChanged(this);
        if ((data & EV_DSR) && OnDSRChanged)
            OnDSRChanged(this);
        if ((data & EV_RING) && OnRINGDetected)
            OnRINGDetected(this);
        if ((data & EV_RLSD) && OnRLSDChanged)
            OnRLSDChanged(this);
        break;
    }
    case ceNeedReadData:
        if (OnDataRecived)
            OnDataRecived(this, static_cast<int>(data));
        break;
    case ceException:
        if (!error)
            break;
        if (!OnPortError)
            std::rethrow_exception(error); // to the standard display
        try {
            std::rethrow_exception(error);
        } catch (const std::exception &e) {
            OnPortError(this, e);
        }
        break;
    }
}

// ---- properties -----------------------------------------------------------

void TAfCustomSerialPort::UpdateDCB()
{
    TerminalLineSettings d;
    d.BaudRate = m_baudRate == brUser ? static_cast<uint32_t>(m_userBaudRate) : kBaudRates[m_baudRate];
    d.ByteSize = static_cast<uint8_t>(4 + m_databits);
    d.Parity = static_cast<uint8_t>(m_parity);
    d.StopBits = static_cast<uint8_t>(m_stopbits);
    d.XonChar = m_xonChar;
    d.XoffChar = m_xoffChar;
    d.XonLim = m_xonLim;
    d.XoffLim = m_xoffLim;
    d.Flags = kFlowBits[m_flowControl] | LineFlag::Binary;
    for (int o = coParityCheck; o <= coStripNull; ++o) {
        if (m_options & AfComOption(static_cast<TAfComOption>(o)))
            d.Flags |= kOptionBits[o];
    }
    if (m_dtr && m_flowControl != fwDtrDsr)
        d.Flags |= LineFlag::DtrControlEnable;
    if (m_rts && m_flowControl != fwRtsCts)
        d.Flags |= LineFlag::RtsControlEnable;
    m_dcb = d;
    if (IsOpen()) {
        try {
            m_core->ApplyDCB(m_dcb);
        } catch (...) {
            m_dcb = m_core->DCB();
            throw;
        }
    }
}

void TAfCustomSerialPort::UpdateFlowLimits()
{
    if (m_flowControl == fwNone) {
        m_xonLim = 0;
        m_xoffLim = 0;
    } else {
        m_xonLim = static_cast<uint16_t>(m_inBufSize / 4);
        m_xoffLim = static_cast<uint16_t>(m_inBufSize - m_inBufSize / 4);
    }
}

void TAfCustomSerialPort::SetBaudRate(TAfBaudrate value)
{
    if (value < br110 || value > brUser)
        return;
    if (value != brUser)
        m_userBaudRate = 0;
    m_baudRate = value;
    UpdateDCB();
}

void TAfCustomSerialPort::SetDatabits(TAfDatabits value)
{
    m_databits = value;
    UpdateDCB();
}

void TAfCustomSerialPort::SetDTR(bool value)
{
    if (IsOpen())
        m_core->EscapeLine(value ? SETDTR : CLRDTR);
    m_dtr = value;
}

void TAfCustomSerialPort::SetFlowControl(TAfFlowControl value)
{
    m_flowControl = value;
    UpdateFlowLimits();
    UpdateDCB();
}

void TAfCustomSerialPort::SetInBufSize(int value)
{
    if (IsOpen())
        RaisePortError(QStringLiteral("Port is not closed"));
    m_inBufSize = value;
    UpdateFlowLimits();
}

void TAfCustomSerialPort::SetOptions(TAfComOptions value)
{
    m_options = value;
    UpdateDCB();
}

void TAfCustomSerialPort::SetOutBufSize(int value)
{
    if (IsOpen())
        RaisePortError(QStringLiteral("Port is not closed"));
    m_outBufSize = value;
}

void TAfCustomSerialPort::SetParity(TAfParity value)
{
    m_parity = value;
    UpdateDCB();
}

void TAfCustomSerialPort::SetRTS(bool value)
{
    if (IsOpen())
        m_core->EscapeLine(value ? SETRTS : CLRRTS);
    m_rts = value;
}

void TAfCustomSerialPort::SetStopbits(TAfStopbits value)
{
    m_stopbits = value;
    UpdateDCB();
}

void TAfCustomSerialPort::SetUserBaudRate(int value)
{
    m_userBaudRate = value;
    m_baudRate = brUser;
    UpdateDCB();
}

void TAfCustomSerialPort::SetXOnChar(char value)
{
    m_xonChar = value;
    UpdateDCB();
}

void TAfCustomSerialPort::SetXOffChar(char value)
{
    m_xoffChar = value;
    UpdateDCB();
}

void TAfCustomSerialPort::SetXOnLim(uint16_t value)
{
    m_xonLim = value;
    m_xoffLim = static_cast<uint16_t>(m_inBufSize - value);
}

void TAfCustomSerialPort::SetXOffLim(uint16_t value)
{
    m_xoffLim = value;
    m_xonLim = static_cast<uint16_t>(m_inBufSize - value);
}

void TAfCustomSerialPort::AssignLineSettings(const TerminalLineSettings &record)
{
    if (record.DCBlength != sizeof(TerminalLineSettings))
        RaisePortError(QStringLiteral("Error setting parameters from DCB"));
    m_baudRate = brUser;
    m_userBaudRate = static_cast<int>(record.BaudRate);
    for (int b = br110; b < brUser; ++b) {
        if (kBaudRates[b] == record.BaudRate) {
            m_baudRate = static_cast<TAfBaudrate>(b);
            m_userBaudRate = 0;
        }
    }
    m_databits =
        record.ByteSize >= 4 && record.ByteSize <= 8 ? static_cast<TAfDatabits>(record.ByteSize - 4) : db8;
    m_parity = record.Parity <= paSpace ? static_cast<TAfParity>(record.Parity) : paNone;
    m_stopbits = record.StopBits <= sbTwo ? static_cast<TAfStopbits>(record.StopBits) : sbOne;
    m_flowControl = fwNone;
    for (TAfFlowControl f : {fwDtrDsr, fwRtsCts, fwXOnXOff}) {
        if ((record.Flags & kFlowBits[f]) == kFlowBits[f]) {
            m_flowControl = f;
            break;
        }
    }
    m_options = 0;
    for (int o = coParityCheck; o <= coStripNull; ++o) {
        if (record.Flags & kOptionBits[o])
            m_options |= AfComOption(static_cast<TAfComOption>(o));
    }
    m_xonChar = record.XonChar;
    m_xoffChar = record.XoffChar;
    m_xonLim = record.XonLim;
    m_xoffLim = record.XoffLim;
    UpdateDCB();
}

// ---- port number ----------------------------------------------------------

void TAfCustomComPort::SetComNumber(int value)
{
    if (value == m_comNumber)
        return;
    if (IsOpen()) {
        Close();
        m_comNumber = value;
        Open();
    } else {
        m_comNumber = value;
    }
}

namespace
{
TAfCustomComPort::ConfigDialog &configDialog()
{
    static TAfCustomComPort::ConfigDialog dialog;
    return dialog;
}
} // namespace

void TAfCustomComPort::SetConfigDialog(ConfigDialog dialog)
{
    configDialog() = std::move(dialog);
}

bool TAfCustomComPort::ShowConfigDialog()
{
    if (!configDialog())
        return false;
    TerminalLineSettings settings = DCB();
    if (!configDialog()(QStringLiteral("COM%1").arg(m_comNumber), settings))
        return false;
    AssignLineSettings(settings);
    return true;
}

void TAfCustomComPort::OpenDevice()
{
    // The hourglass while the device opens, restored however it ends.
    const bool cursor = qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr;
    if (cursor)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    try {
        Core().OpenComm(m_comNumber);
    } catch (...) {
        if (cursor)
            QGuiApplication::restoreOverrideCursor();
        throw;
    }
    if (cursor)
        QGuiApplication::restoreOverrideCursor();
}
