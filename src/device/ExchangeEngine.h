#pragma once

#include <QByteArray>
#include <QColor>
#include <QObject>
#include <QString>

#include <array>

class ExchangeTrace;
class QTimer;
class SettingsRecord;
class UsbLink;
struct MainWindowState;

// What an exchange needs of the serial port: the program's one port
// component behind a small adapter, so the engine runs against anything
// that behaves like it.
class ExchangeSerialPort
{
  public:
    virtual ~ExchangeSerialPort() = default;
    virtual bool isOpen() const = 0;
    // Throws std::exception when the port cannot be opened.
    virtual void open() = 0;
    // Every byte waiting, as read.
    virtual QByteArray readString() = 0;
    // False when the bytes could not be queued (the port broke or vanished).
    virtual bool writeString(const QByteArray &bytes) = 0;
    virtual void close() = 0;
    // The device vanished under an open port (far side closed, adapter
    // unplugged): the port is of no further use until it is reopened.
    virtual bool lost() const = 0;
};

// One conversation with the communicator: the version query, the read and
// the write, over the serial port or the USB cable. It is driven by a poll
// tick and by data notifications and reports progress, indicator colours
// and messages; whoever shows it (the communication dialog, a tool) closes
// when it asks to. It knows nothing of windows.
class ExchangeEngine : public QObject
{
    Q_OBJECT
  public:
    ExchangeEngine(MainWindowState &window, SettingsRecord &record, UsbLink &usb, QObject *parent = nullptr);

    void setSerialPort(ExchangeSerialPort *port) { m_serial = port; }
    ExchangeSerialPort *serialPort() const { return m_serial; }
    // Whether the "USB cable" box is ticked; asked at every start.
    void setUsbSelected(bool selected) { m_usbSelected = selected; }
    bool usbSelected() const { return m_usbSelected; }
    // Every byte sent and received goes to the trace as well (none: no trace).
    void setTrace(ExchangeTrace *trace) { m_trace = trace; }

    // The poll interval of the serial port: TimeOutRS when it is usable,
    // else 10 ms (0 or less gives no interval, and a huge one would make the
    // dialog wait for minutes).
    int serialInterval() const;
    static constexpr int UsbInterval = 5;
    static constexpr int UsbTimeoutTicks = 150;

    // Preparations made by the callers before the exchange starts.
    void prepareVersionQuery();
    void prepareWriteVersionQuery();
    void prepareRead();
    void prepareWrite();

    // Showing the dialog: opens the link, discards stale input and sends the
    // command. Afterwards the poll timer runs until finished() is emitted.
    void begin();
    // Notification of the serial port with the count of waiting bytes.
    void serialDataReceived(int count);
    // One tick of the poll timer.
    void pollTick();
    // The serial port reported that the device vanished.
    void serialLost();

    bool running() const { return m_running; }
    int progress() const { return m_progress; }
    int pollInterval() const { return m_interval; }

    // Exchange state.
    QString ExchangeCommand;
    int ExpectedLength = 0;
    int IdleTicks = 0;
    bool ExchangeActive = false;
    bool ReadyForByte = false;
    int WriteIndex = 0;
    bool ExchangeAborted = false;
    QByteArray ReceivedData;
    QString DevicePowerOnCount;
    QString DeviceServiceHours;
    bool PortOpenFailed = false;
    // Entry k (1..127) goes to position k + 1 of the configuration block.
    std::array<int, 128> WriteBuffer{}; // DeviceCodec::WriteBuffer

    // Received bytes as the communication error shows them: printable
    // characters as they are, others as <0A>.
    static QString readable(const QByteArray &bytes);
    // The communication error's text: MESSAGE/35, two spaces and the last
    // MessageBytes bytes received (a leading ellipsis when there were more),
    // MessageBytesPerLine to a line.
    static QString communicationErrorText(const QByteArray &received);
    static QString receivedForMessage(const QByteArray &bytes);
    static constexpr int MessageBytes = 64;
    static constexpr int MessageBytesPerLine = 16;

    static const QColor Blue, SkyBlue, Yellow, Teal, Red;

  signals:
    void progressChanged(int value);
    void indicatorChanged(const QColor &colour);
    // Show a plain message box and return when it is closed.
    void messageRequested(const QString &text);
    // The poll timer: start with the interval, or stop.
    void pollTimerChanged(bool running, int interval);
    // The exchange is over: the dialog closes.
    void finished();

  private:
    bool send(const QByteArray &bytes);
    void sendCommands();
    void handleAnswer(int count, bool usb);
    void timeOut(bool usb);
    // Ends the exchange as failed: red indicator, the message (unless quiet),
    // ExchangeAborted, the link let go as after a time-out.
    void communicationError(bool usb);
    void sendNextByte();
    // Sends the next byte of a write when one is due (not past the 128th);
    // a failed USB send ends the exchange.
    void sendReadyByte(bool usb);
    void pollHandshake();
    void stopTimers();
    void closeDialog();
    void setProgress(int value);
    void closeSerialAfterExchange();
    void decodeStatusAnswer();
    void decodeConfigurationBlock();
    void buildWriteBuffer();
    QByteArray traced(const QByteArray &received);

    MainWindowState &m_window;
    SettingsRecord &m_record;
    UsbLink &m_usb;
    ExchangeSerialPort *m_serial = nullptr;
    ExchangeTrace *m_trace = nullptr;
    bool m_usbSelected = false;
    bool m_usbTransport = false; // the transport of the running exchange
    bool m_running = false;
    int m_progress = 0;
    int m_interval = 10;
    QTimer *m_handshakePoll = nullptr;
};
