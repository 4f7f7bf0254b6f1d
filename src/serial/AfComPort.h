#pragma once

#include "platform/TerminalLineSettings.h"
#include "serial/AfComPortCore.h"
#include "serial/AfDataDispatcher.h"
#include "serial/AfLineProperties.h"
#include "serial/AfUtils.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <stdexcept>

using TNotifyEvent = std::function<void(QObject *Sender)>;
using TAfCPTDataReceivedEvent = std::function<void(QObject *Sender, int Count)>;
using TAfCPTErrorEvent = std::function<void(QObject *Sender, uint32_t Errors)>;
using TAfCPTCoreEvent = std::function<void(QObject *Sender, TAfCoreEvent EventKind, uint32_t Data)>;
// An error of the port threads (the device went away), on the main thread.
using TAfCPTPortErrorEvent = std::function<void(QObject *Sender, const std::exception &Error)>;

// Raised by the component for read, write and state errors; the text is
// "<message> - <component name> ".
class EAfComPortError : public std::runtime_error
{
  public:
    explicit EAfComPortError(const QString &text) : std::runtime_error(text.toStdString()) {}
    QString Message() const { return QString::fromStdString(what()); }
};

// A serial port with its line settings as properties, opened and closed
// through its core, every line event delivered on the main thread.
class TAfCustomSerialPort : public TAfDataDispConnComponent
{
    Q_OBJECT
  public:
    explicit TAfCustomSerialPort(QObject *owner = nullptr);
    ~TAfCustomSerialPort() override;

    // After the stored properties have been set: opens when AutoOpen is set.
    virtual void Loaded();
    void Open() override;
    void Close() override;
    virtual void OpenDevice() = 0;

    bool IsOpen() const;
    // The device went away while the port was open; Close and Open again.
    bool ConnectionLost() const;
    void ReadData(void *buffer, int count);
    // Exactly the bytes read; empty when nothing waits or the port is closed.
    QByteArray ReadString();
    void WriteData(const void *buffer, int count) override;
    void WriteString(const QByteArray &text);
    int InQueueCount();
    int OutBufferFree();
    int Handle() const;
    [[noreturn]] virtual void RaisePortError(const QString &message);
    QString Name() const { return objectName(); }

    // The line-settings record built from the properties.
    const TerminalLineSettings &DCB() const { return m_dcb; }
    // Takes a line-settings record back onto the properties (see
    // AfTakeLineSettings).
    void AssignLineSettings(const TerminalLineSettings &record);

    bool AutoOpen() const { return m_autoOpen; }
    void SetAutoOpen(bool value) { m_autoOpen = value; }
    TAfBaudrate BaudRate() const { return m_line.BaudRate; }
    void SetBaudRate(TAfBaudrate value);
    TAfDatabits Databits() const { return m_line.Databits; }
    void SetDatabits(TAfDatabits value);
    bool DTR() const { return m_line.DTR; }
    void SetDTR(bool value);
    TThreadPriority EventThreadPriority() const { return m_eventThreadPriority; }
    void SetEventThreadPriority(TThreadPriority value) { m_eventThreadPriority = value; }
    TAfFlowControl FlowControl() const { return m_line.FlowControl; }
    void SetFlowControl(TAfFlowControl value);
    int InBufSize() const { return m_inBufSize; }
    void SetInBufSize(int value);
    TAfComOptions Options() const { return m_line.Options; }
    void SetOptions(TAfComOptions value);
    int OutBufSize() const { return m_outBufSize; }
    void SetOutBufSize(int value);
    TAfParity Parity() const { return m_line.Parity; }
    void SetParity(TAfParity value);
    bool RTS() const { return m_line.RTS; }
    void SetRTS(bool value);
    TAfStopbits Stopbits() const { return m_line.Stopbits; }
    void SetStopbits(TAfStopbits value);
    int UserBaudRate() const { return m_line.UserBaudRate; }
    void SetUserBaudRate(int value);
    TThreadPriority WriteThreadPriority() const { return m_writeThreadPriority; }
    void SetWriteThreadPriority(TThreadPriority value) { m_writeThreadPriority = value; }
    char XOnChar() const { return m_line.XOnChar; }
    void SetXOnChar(char value);
    char XOffChar() const { return m_line.XOffChar; }
    void SetXOffChar(char value);
    uint16_t XOnLim() const { return m_line.XOnLim; }
    void SetXOnLim(uint16_t value);
    uint16_t XOffLim() const { return m_line.XOffLim; }
    void SetXOffLim(uint16_t value);

    // Events; all but OnNonSyncEvent run on the main thread.
    TNotifyEvent OnCTSChanged;
    TAfCPTDataReceivedEvent OnDataRecived;
    TNotifyEvent OnDSRChanged;
    TNotifyEvent OnRLSDChanged;
    TNotifyEvent OnRINGDetected;
    TAfCPTErrorEvent OnLineError;
    TNotifyEvent OnOutBufFree;
    TAfCPTCoreEvent OnNonSyncEvent;
    TNotifyEvent OnPortClose;
    TNotifyEvent OnPortOpen;
    TAfCPTCoreEvent OnSyncEvent;
    // Unassigned, such errors go to the program's standard error display.
    TAfCPTPortErrorEvent OnPortError;

  protected:
    TAfComPortCore &Core() const { return *m_core; }
    // Rebuilds the line-settings record and applies it to an open port.
    void UpdateDCB();

  private:
    void CoreEvent(TAfCoreEvent kind, uint32_t data, std::exception_ptr error);
    void MainThreadHandler();
    void Dispatch(TAfCoreEvent kind, uint32_t data, const std::exception_ptr &error);
    void UpdateFlowLimits();

    bool m_autoOpen = false;
    std::atomic<bool> m_closing{false};
    std::atomic<bool> m_destroying{false};
    std::unique_ptr<TAfComPortCore> m_core;
    TAfLineProperties m_line;
    TerminalLineSettings m_dcb;
    TThreadPriority m_eventThreadPriority = tpNormal;
    int m_inBufSize = 4096;
    int m_outBufSize = 2048;
    uint32_t m_syncId = 0;
    // The one event in flight: filled by the event thread, read by the
    // main-thread handler while the event thread waits for it.
    TAfCoreEvent m_pendingKind = ceOutFree;
    uint32_t m_pendingData = 0;
    std::exception_ptr m_pendingError;
    TThreadPriority m_writeThreadPriority = tpHighest;
};

// Adds the port number: COMn maps to a device as PortPaths tells.
class TAfCustomComPort : public TAfCustomSerialPort
{
    Q_OBJECT
  public:
    explicit TAfCustomComPort(QObject *owner = nullptr) : TAfCustomSerialPort(owner) {}

    int ComNumber() const { return m_comNumber; }
    // Another number on an open port closes it and opens the new one; if
    // that fails the port stays closed with the new number.
    void SetComNumber(int value);
    void OpenDevice() override;
    // Shows the line settings in a dialog of their own; OK takes them onto
    // the properties (AssignLineSettings, applied at once to an open port)
    // and returns true, Cancel changes nothing. The dialog is the user
    // interface's: it installs it with SetConfigDialog; without one nothing
    // is shown and the result is false.
    bool ShowConfigDialog();
    // Edits settings in place for the named port; true when they were accepted.
    using ConfigDialog = std::function<bool(const QString &portName, TerminalLineSettings &settings)>;
    static void SetConfigDialog(ConfigDialog dialog);

  private:
    int m_comNumber = 0;
};

class TAfComPort final : public TAfCustomComPort
{
    Q_OBJECT
  public:
    explicit TAfComPort(QObject *owner = nullptr) : TAfCustomComPort(owner) {}
};
