#pragma once

#include "device/DeviceCodec.h"
#include "device/ExchangeProtocol.h"
#include "device/WriteCheck.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class HistoryStore;
class MemoryRecord;
class SettingsRecord;

// The commands with the communicator, for the window and the tool alike,
// built on the exchanges of the protocol: Read, the safe write and its dry
// run, and the single exchanges they are made of. Each call returns when its
// commands have ended, with a typed result; what it learnt besides is in
// outcome(). The protocol's events (progress, the indicator, the notices the
// user is to read) come through this object's signals, so the window shows
// its dialog and messages and the tool its progress, without either knowing
// the protocol. It knows nothing of windows, texts or colours.
class ExchangeService : public QObject
{
    Q_OBJECT
  public:
    // clock: null for real timers.
    explicit ExchangeService(ExchangeClock *clock = nullptr, QObject *parent = nullptr);
    ~ExchangeService() override;

    ExchangeProtocol &protocol() { return m_protocol; }
    // Another clock between exchanges (null: real timers again).
    void setClock(ExchangeClock *clock) { m_protocol.setClock(clock); }
    ExchangeClock &clock() { return m_protocol.clock(); }
    void setOptions(const ExchangeOptions &options) { m_protocol.setOptions(options); }
    const ExchangeOptions &options() const { return m_protocol.options(); }
    void setTrace(ExchangeTrace *trace) { m_protocol.setTrace(trace); }
    // The serial port (not owned; none: every serial exchange fails to open).
    void setSerialTransport(ExchangeTransport *transport) { m_protocol.setSerialTransport(transport); }
    ExchangeTransport *serialTransport() const { return m_protocol.serialTransport(); }
    // The USB cable: its state is shown in the status bar.
    UsbLink &usb() { return m_protocol.usb(); }
    // Whether the "USB cable" box is ticked: the transport of the next exchange.
    void setUsbSelected(bool selected) { m_protocol.setUsbSelected(selected); }
    bool usbSelected() const { return m_protocol.usbSelected(); }
    // The cable's open procedure, as every command runs it before anything
    // else when the cable is selected; false when it is not there ("--").
    bool openCable() { return m_protocol.openCable(); }
    // The box was unticked: the cable shows "--", its handle stays.
    void closeCable() { m_protocol.closeCable(); }
    const ExchangeState &state() const { return m_protocol.state(); }
    // An exchange or the cable's set-up is under way: nothing else may start.
    bool busy() const { return m_protocol.busy(); }
    // The next exchange ends quietly on a time-out (the program's first one).
    void setQuietFirstExchange() { m_protocol.setQuietFirstExchange(); }
    int progress() const { return m_protocol.progress(); }

    // Where the blocks read and written are kept (not owned; none: no history).
    void setHistory(HistoryStore *history) { m_history = history; }
    HistoryStore *history() const { return m_history; }

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
        // Given, the write reads the communicator's block first (verified or
        // not) and shows it beside the record about to go, counters and
        // firmware rule applied; false ends the write, nothing sent (Cancelled).
        std::function<bool(const SettingsRecord &inDevice, const SettingsRecord &toWrite)> confirmChanges;
    };
    ExchangeResult write(SettingsRecord &record, const WriteSteps &steps);
    ExchangeResult write(SettingsRecord &record, const CounterConfirmation &confirm = {});
    // The write as far as it goes before sending anything of its own: the
    // cable, the checks, the write's version query, the counters and the
    // communicator's block (deviceRecord()); steps.confirmChanges is shown
    // both. Nothing is sent but "V" and "R" "P", nothing is kept. Done when
    // all of it went well; the result of the step that stopped it otherwise.
    ExchangeResult dryRun(SettingsRecord &record, const WriteSteps &steps);
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
        QList<int> unlistedBytes; // differing block positions no differing parameter explains (1-based)
    };
    const Outcome &outcome() const { return m_outcome; }
    // After a verified write: the values the communicator gave back, and
    // those of the block sent, side by side.
    const SettingsRecord *readBackRecord() const;
    const SettingsRecord *sentRecord() const;
    // After a write or dry run that read the communicator's block first: what it held.
    const SettingsRecord *deviceRecord() const;
    // A block byte as the write check lists it: "0x0A".
    static QString hexByte(char byte);

  signals:
    // An exchange begins: the communication dialog is shown until finished().
    void started();
    void progressChanged(int value);
    void indicatorChanged(ExchangeIndicator state);
    // Something for the user to read; returns when it has been read.
    // received: the bytes that came (the communication error shows them).
    void noticeRequested(ExchangeNotice notice, const QByteArray &received);
    void finished();

  private:
    bool cableForCommand();
    bool refuse(const SettingsRecord &record);
    ExchangeResult prepareWrite(SettingsRecord &record, const WriteSteps &steps, bool dry);
    ExchangeResult verifiedWrite(SettingsRecord &record, const WriteSteps &steps);
    ExchangeResult query(ExchangeKind kind, SettingsRecord &record);
    void keep(const SettingsRecord &record, int event, QString *path, const QString &notes = QString());

    ExchangeProtocol m_protocol;
    std::optional<WriteCheck::Refusal> m_refusal;
    HistoryStore *m_history = nullptr;
    Outcome m_outcome;
    QString m_firmware; // of the command's version query
    std::unique_ptr<MemoryRecord> m_device;
    std::unique_ptr<MemoryRecord> m_readBack;
    std::unique_ptr<MemoryRecord> m_sent;
};
