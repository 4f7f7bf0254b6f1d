#include "serial/AfComPort.h"

#include "serial/AfSafeSync.h"

#include <QCursor>
#include <QGuiApplication>

namespace
{

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
    m_dcb = AfBuildLineSettings(m_line);
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
    if (m_line.FlowControl == fwNone) {
        m_line.XOnLim = 0;
        m_line.XOffLim = 0;
    } else {
        m_line.XOnLim = static_cast<uint16_t>(m_inBufSize / 4);
        m_line.XOffLim = static_cast<uint16_t>(m_inBufSize - m_inBufSize / 4);
    }
}

void TAfCustomSerialPort::SetBaudRate(TAfBaudrate value)
{
    if (value < br110 || value > brUser)
        return;
    if (value != brUser)
        m_line.UserBaudRate = 0;
    m_line.BaudRate = value;
    UpdateDCB();
}

void TAfCustomSerialPort::SetDatabits(TAfDatabits value)
{
    m_line.Databits = value;
    UpdateDCB();
}

void TAfCustomSerialPort::SetDTR(bool value)
{
    if (IsOpen())
        m_core->EscapeLine(value ? SETDTR : CLRDTR);
    m_line.DTR = value;
}

void TAfCustomSerialPort::SetFlowControl(TAfFlowControl value)
{
    m_line.FlowControl = value;
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
    m_line.Options = value;
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
    m_line.Parity = value;
    UpdateDCB();
}

void TAfCustomSerialPort::SetRTS(bool value)
{
    if (IsOpen())
        m_core->EscapeLine(value ? SETRTS : CLRRTS);
    m_line.RTS = value;
}

void TAfCustomSerialPort::SetStopbits(TAfStopbits value)
{
    m_line.Stopbits = value;
    UpdateDCB();
}

void TAfCustomSerialPort::SetUserBaudRate(int value)
{
    m_line.UserBaudRate = value;
    m_line.BaudRate = brUser;
    UpdateDCB();
}

void TAfCustomSerialPort::SetXOnChar(char value)
{
    m_line.XOnChar = value;
    UpdateDCB();
}

void TAfCustomSerialPort::SetXOffChar(char value)
{
    m_line.XOffChar = value;
    UpdateDCB();
}

void TAfCustomSerialPort::SetXOnLim(uint16_t value)
{
    m_line.XOnLim = value;
    m_line.XOffLim = static_cast<uint16_t>(m_inBufSize - value);
}

void TAfCustomSerialPort::SetXOffLim(uint16_t value)
{
    m_line.XOffLim = value;
    m_line.XOnLim = static_cast<uint16_t>(m_inBufSize - value);
}

void TAfCustomSerialPort::AssignLineSettings(const TerminalLineSettings &record)
{
    if (record.DCBlength != sizeof(TerminalLineSettings))
        RaisePortError(QStringLiteral("Error setting parameters from DCB"));
    AfTakeLineSettings(record, m_line);
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
