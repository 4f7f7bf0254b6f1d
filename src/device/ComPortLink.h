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
