#pragma once

#include "cli/CliExitCode.h"
#include "cli/CliTransport.h"

#include "device/ExchangeService.h"
#include "device/ExchangeTrace.h"

#include <QElapsedTimer>
#include <QString>

#include <functional>
#include <memory>

class DeviceHistory;

#include <memory>
#include <optional>

class ExchangeClock;
class ExchangeTransport;
class QTextStream;
class SerialTransport;
class MemoryRecord;
class SettingsRecord;
class TAfComPort;

// How tessaro-cli writes: a verified write (unless --no-verify or
// VerifyWrite=0) keeps the block it finds in the history first (refused when
// that cannot be done, unless --no-backup) and reads the block back after it.
struct CliWriteChoice {
    bool verify = true;
    bool withoutBackup = false;
    // Given the firmware version after the write's version query: what of
    // the values given by name (--set) that firmware cannot take (an option
    // it does not offer); not empty refuses the write.
    std::function<QString(const QString &firmware)> notOffered;
    // Called with the communicator's settings and those about to go out,
    // after the read before a verified write and before anything is sent.
    std::function<void(const SettingsRecord &inDevice, const SettingsRecord &toWrite)> showChanges;
};

// Where a session's exchanges run: real timers, and the serial port or the
// cable the transport names. A test puts a clock of its own here, and a
// serial port of its own (the cable then runs on that clock too), so the
// tool's runs take no real time.
struct SessionLine {
    ExchangeClock *clock = nullptr;
    ExchangeTransport *serial = nullptr;
};

// The program's own commands (the exchange service over the serial port
// component or the USB cable) run without a window, one command-line run at
// a time; their results become exit codes and messages naming the port.
class DeviceSession
{
  public:
    explicit DeviceSession(const CliTransport &transport, const SessionLine &line = {});
    ~DeviceSession();
    DeviceSession(const DeviceSession &) = delete;
    DeviceSession &operator=(const DeviceSession &) = delete;

    // Every byte of the run goes to this file as well (appended).
    Result<void> openTrace(const QString &path);
    // A line of its own in the trace (the outcome of the run).
    void noteInTrace(const QString &text) { m_trace.note(text); }
    // Ends the trace with its last line, written out and closed. Fails,
    // naming the file and the reason, when any of it did not reach the file;
    // done when there is no trace.
    Result<void> closeTrace();
    // A progress bar on this stream (a terminal); none when null.
    void setProgressStream(QTextStream *stream) { m_progressStream = stream; }

    struct Outcome {
        CliExitCode code = ExitOk;
        QString message; // what went wrong, naming the port
    };

    // The version query: firmware, serial number and counters into record.
    Outcome status(SettingsRecord &record);
    // The program's Read command: the version query and the block; the
    // firmware rule for the tone and polarity options applied afterwards.
    Outcome read(SettingsRecord &record);
    // The program's Write command: the record is checked first (nothing is
    // sent when it would be refused), the version query of a write takes the
    // device's counters, which are written back unchanged unless counters
    // are given, then the block goes out.
    struct Counters {
        std::optional<QString> powerOnCount; // PwOn
        std::optional<QString> serviceHours; // SvHr
    };
    Outcome write(SettingsRecord &record, const Counters &given = {},
                  const CliWriteChoice &choice = CliWriteChoice());

    // What a write would do, without writing: the record checked, the
    // write's version query (the counters taken as a write takes them, the
    // firmware rule applied), then the communicator's settings read into
    // inDevice. Nothing else is sent.
    Outcome dryRun(SettingsRecord &record, MemoryRecord &inDevice, const Counters &given = {},
                   const CliWriteChoice &choice = CliWriteChoice());

    ExchangeService &service() { return m_service; }
    // The serial port component; null on the USB cable.
    const TAfComPort *serialPort() const { return m_port.get(); }

  private:
    Outcome outcome(ExchangeResult result) const;
    // The write's counter step: the device's counters (or those given) into
    // the record, and the firmware rule for values given by name. False,
    // with the reason set, when the write cannot go on.
    // A write's and a dry run's first step: the counters taken as given or
    // kept, with nothing cancelled yet.
    ExchangeService::WriteSteps counterSteps(const Counters &given, const CliWriteChoice &choice);
    bool takeCounters(const DeviceCodec::DeviceCounters &device, SettingsRecord &record, const Counters &given,
                      const CliWriteChoice &choice);
    void exchangeStarted();
    void drawProgress(int handshakes);
    void endProgress();

    CliTransport m_transport;
    ExchangeTrace m_trace;
    std::unique_ptr<DeviceHistory> m_history;
    ExchangeService m_service;
    std::unique_ptr<TAfComPort> m_port;
    std::unique_ptr<SerialTransport> m_serial;
    QTextStream *m_progressStream = nullptr;
    QString m_cancelReason;
    CliExitCode m_cancelCode = ExitRefused;
    QString m_step;
    int m_answerBytes = 0;
    QElapsedTimer m_stepClock;
    QString m_drawn;
};
