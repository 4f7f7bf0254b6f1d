#pragma once

// Exchanges without waiting: a virtual clock, the communicator's device model
// on a line paced in virtual time, and the two transports over it (a serial
// port played here, and the real cable code over the simulated converter).
// The exchange service runs on them unchanged; a whole write takes
// milliseconds of real time.

#include "device/ExchangeClock.h"
#include "device/ExchangeService.h"
#include "device/ExchangeTransport.h"
#include "sim/KavrDeviceModel.h"
#include "sim/KavrSimOptions.h"
#include "sim/SimulatedD2xx.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>

class VirtualClock : public ExchangeClock
{
  public:
    // Virtual time in microseconds since the start.
    qint64 now() const { return m_now; }
    // Runs fn when the time comes (events at equal times run in order).
    void at(qint64 us, std::function<void()> fn);

    void start(Slot slot, int ms, std::function<void()> tick) override;
    void stop(Slot slot) override;
    bool active(Slot slot) const override { return m_period[slot] > 0; }
    void run() override;
    void quit() override { m_quit = true; }
    void pause(int ms) override;

    int ticks(Slot slot) const { return m_ticks[slot]; }
    QList<int> pauses; // every pause asked for, in order
    // Gives up a run that goes on for longer than this (a stuck exchange).
    qint64 limitUs = 600LL * 1000 * 1000;
    bool gaveUp = false;
    // Runs between events; a test acts on the exchange half-way.
    std::function<void()> onStep;

  private:
    bool runNext();

    qint64 m_now = 0;
    qint64 m_seq = 0;
    std::multimap<std::pair<qint64, qint64>, std::function<void()>> m_events;
    qint64 m_period[SlotCount] = {};
    qint64 m_next[SlotCount] = {};
    std::function<void()> m_tick[SlotCount];
    int m_ticks[SlotCount] = {};
    bool m_quit = false;
};

// The communicator at the far end of a line paced in virtual time: every byte
// takes ten bit times each way, answers start after the turnaround, faults
// come from the device model and the line timing of the simulator's options.
class VirtualDevice
{
  public:
    VirtualDevice(VirtualClock &clock, const KavrSimOptions &options);

    // Bytes the host put on the line now.
    void hostSends(const QByteArray &bytes);
    // Called when an answer byte reaches the host.
    std::function<void(const QByteArray &)> toHost;
    // Called when the device drops the line (hang-up fault).
    std::function<void()> hungUp;
    // Replaces an answer before it goes out: given the write's data byte
    // (1..128, 0 outside a write) and the model's answer. Empty: no answer.
    std::function<QByteArray(int dataByte, const QByteArray &answer)> mangle;
    // The pause before the answer to a write's data byte (1..128) in ms;
    // below 0: as the line timing says.
    std::function<int(int dataByte)> delayMs;
    // The line is back after a hang-up, and stays.
    void reconnect();

    KavrDeviceModel &model() { return m_model; }
    QByteArray received; // everything the device got, in order
    long long sent = 0;  // answer bytes that reached the line

  private:
    void arrive(quint8 byte);
    void release(qint64 due, int generation);

    VirtualClock &m_clock;
    KavrSimOptions m_options;
    KavrDeviceModel m_model;
    qint64 m_byteUs;
    qint64 m_outByteUs;
    qint64 m_inFree = 0;
    qint64 m_outFree = 0;
    qint64 m_lastInput = 0;
    bool m_down = false;
    int m_generation = 0;
    std::map<qint64, QByteArray> m_outgoing; // answer bytes by the time they reach the host
};

// A serial port played over the virtual line: it announces each arriving
// byte as the port component's data event does.
class VirtualSerialPort : public ExchangeTransport
{
  public:
    VirtualSerialPort(VirtualClock &clock, VirtualDevice &device);

    Pacing pacing(const ExchangeOptions &options) const override;
    Opened open() override;
    QByteArray take() override;
    bool send(const QByteArray &bytes) override;
    int waiting() override { return int(m_waiting.size()); }
    Health health() override { return m_open && m_vanished ? Health::Lost : Health::Ok; }
    void finish(bool failed, const ExchangeOptions &options) override;

    bool isOpen() const { return m_open; }
    bool failOpen = false;  // the port cannot be opened
    bool sendFails = false; // the output ring refuses bytes
    int opens = 0, closes = 0;
    // The device vanished under the open port (as a hang-up does).
    void vanish();
    // Bytes reach the port: they wait, and the data event tells how many.
    void deliver(const QByteArray &bytes);
    // Bytes put in the port's queue, announced with the given count (none
    // when below 0), whatever they number.
    void announce(const QByteArray &bytes, int count);

  private:
    VirtualClock &m_clock;
    VirtualDevice &m_device;
    QByteArray m_waiting;
    bool m_open = false;
    bool m_vanished = false;
};

// One communicator on a virtual line, reachable over either transport: the
// serial port played here, or the simulated converter (installed as the
// cable backend while this exists).
struct VirtualLine {
    explicit VirtualLine(bool usb, const KavrSimOptions &options = {});
    ~VirtualLine();

    // Puts the service on this line: its clock, its serial port, the cable.
    void attach(ExchangeService &service);
    void detach(ExchangeService &service);

    VirtualClock clock;
    VirtualDevice device;
    VirtualSerialPort serial;
    std::shared_ptr<SimulatedD2xx> cable;
    bool usb;

    // The device's received bytes as the host sent them.
    QByteArray sentByHost() const { return device.received; }
};

// The exchange service alone on a virtual line; the messages it asks for are
// collected.
struct VirtualWorld : VirtualLine {
    explicit VirtualWorld(bool usb, const KavrSimOptions &options = {});
    ~VirtualWorld();

    ExchangeService service;
    QStringList messages;

    // Opens the cable as a command does (nothing on the serial port).
    void openLink();
};
