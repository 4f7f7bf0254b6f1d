#pragma once

#include "device/DeviceCodec.h"
#include "device/ExchangeTrace.h"
#include "device/ExchangeTypes.h"

#include <QObject>

#include <memory>

class DeviceHistory;
class ExchangeService;
class SerialTransport;
class SettingsRecord;
class TForm1;

// The main window's commands that reach the communicator: Read, Write,
// Compare and the version query through the exchange service (its
// communication dialog, messages, counter confirmation and refusals are the
// window's part), the counter actions, the history, the USB cable choice.
class DeviceCommands : public QObject
{
    Q_OBJECT
  public:
    explicit DeviceCommands(TForm1 &form1);
    ~DeviceCommands() override;

    ExchangeService &service();

    // "Načíst nastavení": version query, then the block.
    void read();
    // "Zapsat nastavení": every field checked, a version query, the counters
    // confirmed when the communicator's differ from the window's, then the
    // block, unless the query failed or the confirmation was closed.
    void write();
    // A click on a counter panel: the action choice for that counter,
    // target "rezim" (hours to the service call) or "citac" (power-on count).
    void counterAction(const QString &target);
    // The version query the main timer asks for.
    void runVersionQuery();
    // "Porovnat s komunikátorem": the communicator's settings read into a
    // record of their own and listed where they differ from the window's.
    void compare();
    // "Historie": the settings kept from the communicators, to open one or
    // compare it with the window.
    void history();

  private:
    // What every exchange command does first: the trace looked up, the
    // transport taken from the "USB cable" box.
    void prepare();
    void colourIndicator(ExchangeIndicator state);
    // Starts a share in the background when the last command kept an entry.
    void shareWhatWasKept();
    // The field that stopped a write, reported with its page in front and
    // the focus in it.
    void showRefusal();
    // Every parameter a verified write found stored otherwise than sent,
    // as sent and as read back, and the file to restore from.
    void showMismatch();
    // TForm9 over the communicator's counters when they differ from the
    // window's; false when the technician closed it.
    bool confirmCounters(const DeviceCodec::DeviceCounters &device);
    // The list of what the write will change, from the read it makes for
    // the backup; false when the technician cancelled.
    bool confirmChanges(const SettingsRecord &inDevice, const SettingsRecord &toWrite);
    // [Setup] Trace of Config.ini, looked up once, at the first exchange.
    void openTraceOnce();

    TForm1 &m_form1;
    ExchangeTrace m_trace;
    bool m_traceLookedUp = false;
    std::unique_ptr<SerialTransport> m_serial;
    std::unique_ptr<DeviceHistory> m_history;
    bool m_verify = true;         // [Setup] VerifyWrite
    bool m_confirmChanges = true; // [Setup] ConfirmChanges
};
