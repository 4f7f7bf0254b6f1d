#pragma once

#include "device/ExchangeTransport.h"

class TAfComPort;

// The serial port component as an exchange uses it: opened when an exchange
// starts, its data event announcing what arrived, closed after an exchange
// when Config.ini asks for it or when the device vanished under it.
class SerialTransport : public ExchangeTransport
{
  public:
    explicit SerialTransport(TAfComPort &port);
    ~SerialTransport() override;

    // Sets a closed port up for the communicator's line: 2400 baud 8N1 with
    // DTR off, its event thread at the highest priority.
    static void setUpPort(TAfComPort &port);

    Pacing pacing(const ExchangeOptions &options) const override { return pacingFor(options); }
    // The serial port's pacing: the poll tick TimeOutRS, the time limit two
    // seconds of ticks, received data announced by the data event.
    static Pacing pacingFor(const ExchangeOptions &options);
    Opened open() override;
    QByteArray take() override;
    bool send(const QByteArray &bytes) override;
    int waiting() override;
    Health health() override;
    void finish(bool failed, const ExchangeOptions &options) override;

    TAfComPort &port() { return m_port; }

  private:
    TAfComPort &m_port;
};
