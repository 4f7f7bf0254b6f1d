#pragma once

#include "device/DeviceCodec.h"
#include "device/ExchangeOptions.h"
#include "device/ExchangeState.h"
#include "device/ExchangeTransport.h"
#include "device/WriteCheck.h"

#include <QColor>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class HistoryStore;
class ExchangeClock;
class MemoryRecord;
class SettingsRecord;
class UsbLink;
class UsbTransport;

// How an exchange or a command ended.
enum class ExchangeResult {
    Done,
    NoAnswer,    // nothing, or not a whole answer, within the time limit
    CutShort,    // the answer broke off or went wrong part-way (a write's early "Z")
    Overlong,    // more bytes came than the answer has (a stray byte on the line)
    WrongMarker, // the block read does not start with the marker (decoded all the same)
    Aborted,     // a transfer failed or the device vanished
    NotOpenable, // the serial port or the USB cable could not be opened
    Refused,     // a write's values the communicator cannot take; nothing sent
    Cancelled,   // the counter confirmation was closed, or the backup question answered No; nothing sent
    Unverified,  // a verified write went out whole, but its read-back failed
    Mismatch,    // a verified write's read-back differs from the block sent
};

// The conversations with the communicator, for the window and the tool alike:
// the version query, the read and the write, one at a time, over the serial
// port or the USB cable, and the commands built from them. Each call returns
// when its exchange has ended. Meanwhile the service reports progress and the
// activity indicator's colours, asks for the messages the user is to see
// (the window shows them, the tool reports the result instead), and announces
// when an exchange starts and ends, so the window can show its communication
// dialog for that time. It knows nothing of windows.
class ExchangeService : public QObject
{
    Q_OBJECT
  public:
    // clock: null for real timers.
    explicit ExchangeService(ExchangeClock *clock = nullptr, QObject *parent = nullptr);
    ~ExchangeService() override;
    // Another clock between exchanges (null: real timers again).
    void setClock(ExchangeClock *clock);

    void setOptions(const ExchangeOptions &options) { m_options = options; }
    const ExchangeOptions &options() const { return m_options; }
    void setTrace(ExchangeTrace *trace) { m_options.trace = trace; }

    // The serial port (not owned; none: every serial exchange fails to open).
    void setSerialTransport(ExchangeTransport *transport) { m_serial = transport; }
    ExchangeTransport *serialTransport() const { return m_serial; }
    // The USB cable: its state is shown in the status bar.
    UsbLink &usb();
    // Where the blocks read and written are kept (not owned; none: no history).
    void setHistory(HistoryStore *history) { m_history = history; }
    HistoryStore *history() const { return m_history; }
    // Whether the "USB cable" box is ticked: the transport of the next exchange.
    void setUsbSelected(bool selected) { m_usbSelected = selected; }
    bool usbSelected() const { return m_usbSelected; }

    ExchangeClock &clock() { return *m_clock; }
    const ExchangeState &state() const { return m_state; }
    // An exchange or the cable's set-up is under way: nothing else may start.
    bool busy() const { return m_running || m_settingUp; }
    // The next exchange ends quietly on a time-out (the program's first one).
    void setQuietFirstExchange() { m_state.QuietFirstExchange = true; }
    int progress() const { return m_progress; }

    // The cable's open procedure, as every command runs it before anything
    // else when the cable is selected; false when it is not there ("--").
    bool openCable();
    // The box was unticked: the cable shows "--", its handle stays.
    void closeCable();

    // One exchange each.
    // Firmware version, serial number and counters into record.
    ExchangeResult versionQuery(SettingsRecord &record);
    // The same, but the counters go to DevicePowerOnCount and DeviceServiceHours.
    ExchangeResult writeVersionQuery(SettingsRecord &record);
    // The configuration block into record.
    ExchangeResult readBlock(SettingsRecord &record);
    // record's configuration block to the communicator, one byte per "D".
    ExchangeResult writeBlock(const SettingsRecord &record);

    // The commands. Read: the cable opened (when selected), the version
    // query, then the block, which is read whatever the query brought. The
    // firmware rule for the tone and polarity options is applied to record
    // afterwards, and a block read whole goes into the history.
    ExchangeResult read(SettingsRecord &record);
    // Write: the cable opened, every field checked (nothing is sent when one
    // would be refused: refusal()), the write's version query, the counters
    // confirmed, the fields checked again, then the block.
    //
    // A verified write reads the communicator's block before anything is
    // sent and keeps it in the history ("before write"; a read that fails
    // ends the write there), writes, then reads the block back and compares
    // it byte for byte with the block sent: Done (kept as "written"),
    // Mismatch (outcome().differences) or Unverified (the read-back failed).
    using CounterConfirmation =
        std::function<bool(const DeviceCodec::DeviceCounters &device, SettingsRecord &record)>;
    struct WriteSteps {
        // Gets the communicator's counters (empty when its answer lacked
        // them) and may change record's; false ends the write, nothing sent.
        CounterConfirmation confirm;
        bool verify = false;
        // The block before the write could not be kept (the error says why):
        // true writes all the same. None: the write ends, nothing sent.
        std::function<bool(const QString &error)> writeWithoutBackup;
    };
    ExchangeResult write(SettingsRecord &record, const WriteSteps &steps);
    ExchangeResult write(SettingsRecord &record, const CounterConfirmation &confirm = {});
    // The field that stopped the last write.
    const std::optional<WriteCheck::Refusal> &refusal() const { return m_refusal; }

    // What the last command learned beside its result.
    struct Outcome {
        QString serialNumber;    // from the command's version query; empty when it got no answer
        QString backupPath;      // the "before write" file of a verified write; empty when none was kept
        QString historyPath;     // the file the command added to the history ("read", "written")
        QString historyError;    // why a file could not be kept
        QByteArray sentBlock;    // the block a write sent (128 bytes)
        QByteArray readBack;     // the block a verified write read back
        QStringList differences; // keys of the parameters whose read-back differs
    };
    const Outcome &outcome() const { return m_outcome; }
    // After a verified write: the values the communicator gave back, and
    // those of the block sent, side by side.
    const SettingsRecord *readBackRecord() const;
    const SettingsRecord *sentRecord() const;

    // The decimal separator the field checks and the block's half values use.
    static QChar decimalSeparator();

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
    // An exchange begins: the communication dialog is shown until finished().
    void started();
    void progressChanged(int value);
    void indicatorChanged(const QColor &colour);
    // A plain message for the user; returns when it has been read.
    void messageRequested(const QString &text);
    void finished();

  private:
    enum class Kind { Version, WriteVersion, Read, Write };
    ExchangeResult run(Kind kind, SettingsRecord *into, const SettingsRecord *from);
    bool cableForCommand();
    bool refuse(const SettingsRecord &record);
    ExchangeResult verifiedWrite(SettingsRecord &record, const WriteSteps &steps);
    void keep(const SettingsRecord &record, int event, QString *path);

    void begin();
    void sendCommands();
    bool send(const QByteArray &bytes);
    QByteArray take();
    void dataArrived(int count);
    void pollTick();
    void handshakePoll();
    void handleAnswer(int count);
    void answerSettled();
    void sendReadyByte();
    void sendNextByte();
    void timeOut();
    void communicationError(ExchangeResult result);
    void stopTimers();
    void closeDialog();
    void setProgress(int value);
    bool decodeStatusAnswer();
    void decodeConfigurationBlock();

    ExchangeClock *m_clock;
    std::unique_ptr<ExchangeClock> m_ownClock;
    std::unique_ptr<UsbLink> m_usb;
    std::unique_ptr<UsbTransport> m_usbTransport;
    ExchangeTransport *m_serial = nullptr;
    ExchangeTransport *m_transport = nullptr; // the running exchange's
    ExchangeTransport::Pacing m_pacing;
    ExchangeOptions m_options;
    ExchangeState m_state;
    bool m_usbSelected = false;
    bool m_running = false;
    bool m_settingUp = false;
    bool m_sendFailed = false;
    bool m_settling = false; // a whole answer is there; its quiet time runs
    bool m_markerSaid = true; // a block with a wrong marker shows the message
    int m_progress = 0;
    Kind m_kind = Kind::Version;
    ExchangeResult m_result = ExchangeResult::Done;
    SettingsRecord *m_into = nullptr;
    const SettingsRecord *m_from = nullptr;
    std::optional<WriteCheck::Refusal> m_refusal;
    HistoryStore *m_history = nullptr;
    Outcome m_outcome;
    QString m_firmware; // of the command's version query
    std::unique_ptr<MemoryRecord> m_readBack;
    std::unique_ptr<MemoryRecord> m_sent;
};
