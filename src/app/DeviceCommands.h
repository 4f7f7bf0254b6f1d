#pragma once

#include "device/ComPortLink.h"
#include "device/ExchangeEngine.h"
#include "device/ExchangeTrace.h"
#include "device/UsbLink.h"

#include <QObject>

#include <memory>

class TForm1;

// The main window's commands that reach beyond its own controls: Read and
// Write through the communication dialog, the USB cable choice, Exit, Help,
// News, About, tone samples and port choice. It owns the exchange engine and
// the USB link, whose fields are the main window's exchange and cable state.
class DeviceCommands : public QObject
{
    Q_OBJECT
  public:
    explicit DeviceCommands(TForm1 &form1);
    ~DeviceCommands() override;

    UsbLink &usb() { return *m_usb; }
    ExchangeEngine &engine() { return *m_engine; }

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

    void help();
    void news();
    void about();
    void toneSamples();
    void portChoice();

  private:
    // Opens the cable when it is selected; false (after the communication
    // error) when it cannot be found.
    bool cableReady();
    // Shows the communication dialog for the prepared exchange and returns
    // when it has closed.
    void showDialog();
    void syncUsbState();
    void colourIndicator(const QColor &colour);
    // The first field the write cannot send, reported with its page in front
    // and the focus in it; false when every field can go.
    bool refuseUnwritableField();
    // The confirmation of the counters after the write's version query; false
    // when the technician closed it, which ends the write.
    bool confirmCounters();
    // [Setup] Trace of Config.ini, looked up once, at the first exchange.
    void openTraceOnce();

    TForm1 &m_form1;
    // Before the engine, which holds on to it.
    ExchangeTrace m_trace;
    bool m_traceLookedUp = false;
    std::unique_ptr<UsbLink> m_usb;
    std::unique_ptr<ExchangeEngine> m_engine;
    std::unique_ptr<ComPortLink> m_link;
};
