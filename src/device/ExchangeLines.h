#pragma once

#include <functional>
#include <memory>

class ExchangeTransport;
class UsbLink;
class UsbTransport;

// The two lines an exchange can go over and which of them the next one takes:
// the serial port (not owned), and the USB cable, whose link stays between
// exchanges so that the status bar can show its state.
class ExchangeLines
{
  public:
    // pause: how the cable's set-up waits (on the exchange clock, so the
    // window goes on drawing).
    explicit ExchangeLines(std::function<void(int ms)> pause);
    ~ExchangeLines();
    ExchangeLines(const ExchangeLines &) = delete;
    ExchangeLines &operator=(const ExchangeLines &) = delete;

    // None: every serial exchange fails to open.
    void setSerial(ExchangeTransport *transport) { m_serial = transport; }
    ExchangeTransport *serial() const { return m_serial; }
    UsbLink &usb() { return *m_usb; }
    void setUsbSelected(bool selected) { m_usbSelected = selected; }
    bool usbSelected() const { return m_usbSelected; }
    // The line of the next exchange; null when no serial port is set.
    ExchangeTransport *current() const;

    // The cable's open procedure; false when it is not there ("--").
    bool openCable();
    bool cableOpen() const;
    // The box was unticked: the cable shows "--", its handle stays.
    void closeCable();

  private:
    std::unique_ptr<UsbLink> m_usb;
    std::unique_ptr<UsbTransport> m_usbTransport;
    ExchangeTransport *m_serial = nullptr;
    bool m_usbSelected = false;
};
