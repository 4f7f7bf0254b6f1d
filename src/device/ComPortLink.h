#pragma once

#include "device/ExchangeEngine.h"

class TAfComPort;

// The serial port component as an exchange sees it, and its data and error
// events routed into the engine.
class ComPortLink : public ExchangeSerialPort
{
  public:
    ComPortLink(TAfComPort &port, ExchangeEngine &engine);
    ~ComPortLink() override;

    // Sets a closed port up for the communicator's line: 2400 baud 8N1 with
    // DTR off, its event thread at the highest priority.
    static void setUpPort(TAfComPort &port);

    bool isOpen() const override;
    void open() override;
    QByteArray readString() override;
    bool writeString(const QByteArray &bytes) override;
    void close() override;
    bool lost() const override;

  private:
    TAfComPort &m_port;
    ExchangeEngine &m_engine;
};
