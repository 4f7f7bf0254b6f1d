#pragma once

#include "device/ExchangeLines.h"
#include "device/ExchangeOptions.h"
#include "device/ExchangeState.h"
#include "device/ExchangeTransport.h"
#include "device/ExchangeTypes.h"

#include <QObject>

#include <memory>

class ExchangeClock;
class SettingsRecord;

// One exchange with the communicator at a time: the version query, the read
// or the write, over the serial port or the USB cable, paced by the clock's
// ticks and ended by the answer, the time limit or a failure. It decodes what
// comes into a record and builds what goes from one. Meanwhile it reports the
// progress, the indicator's state and what the user is to read; the window
// turns those into its dialog, colours and message boxes.
class ExchangeProtocol : public QObject
{
    Q_OBJECT
  public:
    // clock: null for real timers.
    explicit ExchangeProtocol(ExchangeClock *clock = nullptr, QObject *parent = nullptr);
    ~ExchangeProtocol() override;
    // Another clock between exchanges (null: real timers again).
    void setClock(ExchangeClock *clock);
    ExchangeClock &clock() { return *m_clock; }

    void setOptions(const ExchangeOptions &options) { m_options = options; }
    const ExchangeOptions &options() const { return m_options; }
    void setTrace(ExchangeTrace *trace) { m_options.trace = trace; }

    // The serial port (not owned; none: every serial exchange fails to open).
    void setSerialTransport(ExchangeTransport *transport) { m_lines.setSerial(transport); }
    ExchangeTransport *serialTransport() const { return m_lines.serial(); }
    // The USB cable: its state is shown in the status bar.
    UsbLink &usb() { return m_lines.usb(); }
    // Whether the "USB cable" box is ticked: the transport of the next exchange.
    void setUsbSelected(bool selected) { m_lines.setUsbSelected(selected); }
    bool usbSelected() const { return m_lines.usbSelected(); }
    // The cable's open procedure; false when it is not there ("--").
    bool openCable();
    // The box was unticked: the cable shows "--", its handle stays.
    void closeCable() { m_lines.closeCable(); }

    const ExchangeState &state() const { return m_state; }
    // An exchange or the cable's set-up is under way: nothing else may start.
    bool busy() const { return m_running || m_settingUp; }
    // The next exchange ends quietly on a time-out (the program's first one).
    void setQuietFirstExchange() { m_state.QuietFirstExchange = true; }
    int progress() const { return m_progress; }
    // Whether a block read with a wrong marker asks for the message (a
    // verified write's read-back reports it as a mismatch instead).
    void setWrongMarkerNoticed(bool noticed) { m_markerNoticed = noticed; }

    // What follows an exchange on the line.
    enum class Then {
        // Nothing of this command: an answer counts only once no byte has
        // followed its last one for the quiet time.
        Alone,
        // Another exchange at once, the line kept open between them: the
        // answer is taken as soon as it is whole, and what comes behind it is
        // left for the next answer, which then comes out longer than it is.
        // The next answer's quiet time thus vouches for this one
        // (answerTakenEarly()). A line closed after every exchange would drop
        // those bytes: there the answer waits for its own quiet time.
        NextAtOnce,
    };
    // Runs one exchange and returns when it has ended. Version queries and
    // reads decode into `into`; a write sends the block built from `from`.
    // A version query of a write keeps the counters in the state
    // (DevicePowerOnCount, DeviceServiceHours), cleared first.
    ExchangeResult run(ExchangeKind kind, SettingsRecord *into, const SettingsRecord *from,
                       Then then = Then::Alone);
    // The last exchange took its answer without waiting for the quiet time:
    // it stands once the next exchange's answer came whole.
    bool answerTakenEarly() const { return m_tookEarly; }
    // Some byte of an answer came during the last exchange, or waited from
    // behind the answer taken early before it.
    bool heardAnswer() const { return m_heard; }

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
    void begin(bool leftBehind);
    void sendCommands();
    bool send(const QByteArray &bytes);
    QByteArray take();
    void dataArrived(int count);
    void pollTick();
    void handshakePoll();
    void handleAnswer(int count);
    void handleHandshake(int count);
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

    ExchangeClock *m_clock = nullptr;
    std::unique_ptr<ExchangeClock> m_ownClock;
    ExchangeLines m_lines;
    ExchangeTransport *m_transport = nullptr; // the running exchange's
    ExchangeTransport::Pacing m_pacing;
    ExchangeOptions m_options;
    ExchangeState m_state;
    bool m_running = false;
    bool m_settingUp = false;
    bool m_sendFailed = false;
    bool m_settling = false;     // a whole answer is there; its quiet time runs
    bool m_takeEarly = false;    // this exchange's answer is taken as soon as it is whole
    bool m_tookEarly = false;    // and was: what came behind it waits for the next exchange
    bool m_heard = false;        // a byte of an answer came
    bool m_markerNoticed = true; // a block with a wrong marker asks for the message
    int m_progress = 0;
    ExchangeKind m_kind = ExchangeKind::Version;
    ExchangeResult m_result = ExchangeResult::Done;
    SettingsRecord *m_into = nullptr;
    const SettingsRecord *m_from = nullptr;
};
