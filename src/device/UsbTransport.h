#pragma once

#include "device/ExchangeTransport.h"

class UsbLink;

// The USB cable as an exchange uses it: polled (the converter announces
// nothing) every 5 ms, the time limit 150 of those ticks; the connection is
// released after a failed exchange and opened anew by the next command.
class UsbTransport : public ExchangeTransport
{
  public:
    explicit UsbTransport(UsbLink &usb) : m_usb(usb) {}

    static constexpr int PollMs = 5;
    static constexpr int TimeoutTicks = 150;
    // How often a write looks for its handshake between two ticks.
    static constexpr int HandshakePollMs = 1;

    Pacing pacing(const ExchangeOptions &options) const override;
    Opened open() override;
    QByteArray take() override;
    bool send(const QByteArray &bytes) override;
    int waiting() override;
    Health health() override;
    void finish(bool failed, const ExchangeOptions &options) override;

  private:
    UsbLink &m_usb;
};
