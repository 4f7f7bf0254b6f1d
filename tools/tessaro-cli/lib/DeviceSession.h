#pragma once

#include "CliExitCode.h"
#include "CliTransport.h"

#include "app/MainWindowState.h"
#include "device/DeviceCodec.h"
#include "device/ExchangeTrace.h"

#include <QElapsedTimer>
#include <QString>

#include <memory>
#include <optional>

class ComPortLink;
class ExchangeEngine;
class QTextStream;
class SettingsRecord;
class TAfComPort;
class UsbLink;

// The program's own exchanges (engine, codec, serial port component, USB
// link) run without a window, one command-line run at a time.
class DeviceSession
{
  public:
    explicit DeviceSession(const CliTransport &transport);
    ~DeviceSession();
    DeviceSession(const DeviceSession &) = delete;
    DeviceSession &operator=(const DeviceSession &) = delete;

    // Every byte of the run goes to this file as well (appended).
    bool openTrace(const QString &path, QString *error);
    // A line of its own in the trace (the outcome of the run).
    void noteInTrace(const QString &text) { m_trace.note(text); }
    // A progress bar on this stream (a terminal); none when null.
    void setProgressStream(QTextStream *stream) { m_progressStream = stream; }

    struct Outcome {
        CliExitCode code = ExitOk;
        QString message; // what went wrong, naming the port
    };

    // The version query: firmware, serial number and counters into record.
    Outcome status(SettingsRecord &record);
    // The version query and the block, as the program's Read command; the
    // firmware rule for the tone and polarity options is applied afterwards
    // as the program's next timer tick would.
    Outcome read(SettingsRecord &record);
    // The program's Write command: the record is checked first (nothing is
    // sent when it would be refused), the version query of a write takes the
    // device's counters, which are written back unchanged unless counters
    // are given, then the block goes out.
    struct Counters {
        std::optional<QString> powerOnCount; // PwOn
        std::optional<QString> serviceHours; // SvHr
    };
    Outcome write(SettingsRecord &record, const Counters &given = {});

    // The serial port component once a serial exchange has run; null before
    // and on the USB cable.
    const TAfComPort *serialPort() const { return m_port.get(); }

  private:
    Outcome openLink();
    // answerBytes: the length of the answer the step waits for; 0 for the
    // write, whose bar follows the handshakes.
    void run(const QString &stepName, int answerBytes);
    Outcome failure() const;
    void drawProgress(int handshakes);
    void endProgress();

    CliTransport m_transport;
    MainWindowState m_window;
    ExchangeTrace m_trace;
    std::unique_ptr<UsbLink> m_usb;
    std::unique_ptr<ExchangeEngine> m_engine;
    std::unique_ptr<TAfComPort> m_port;
    std::unique_ptr<ComPortLink> m_link;
    SettingsRecord *m_record = nullptr;
    QTextStream *m_progressStream = nullptr;
    QString m_step;
    int m_answerBytes = 0;
    QElapsedTimer m_stepClock;
    QString m_drawn;
};
