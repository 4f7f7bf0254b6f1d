#include "exchange_helper.h"

#include "app/ExchangeTexts.h"
#include "device/SerialTransport.h"
#include "platform/D2xx.h"

#include <algorithm>

// ---- VirtualClock ---------------------------------------------------------------

void VirtualClock::at(qint64 us, std::function<void()> fn)
{
    m_events.emplace(std::make_pair(std::max(us, m_now), m_seq++), std::move(fn));
}

void VirtualClock::start(Slot slot, int ms, std::function<void()> tick)
{
    m_period[slot] = qint64(std::max(ms, 1)) * 1000;
    m_next[slot] = m_now + m_period[slot];
    m_tick[slot] = std::move(tick);
}

void VirtualClock::stop(Slot slot)
{
    m_period[slot] = 0;
}

void VirtualClock::pause(int ms)
{
    pauses.append(ms);
    // Time passes; what fell due meanwhile runs at the next step, late, as
    // behind a real pause.
    m_now += qint64(ms) * 1000;
}

bool VirtualClock::runNext()
{
    qint64 when = -1;
    int what = -1; // a slot, or SlotCount: an event
    for (int slot = Poll; slot < SlotCount; ++slot) {
        if (m_period[slot] > 0 && (when < 0 || m_next[slot] < when)) {
            when = m_next[slot];
            what = slot;
        }
    }
    // An event due no later than the ticks goes first: data that arrived
    // before a tick is seen by it.
    if (!m_events.empty() && (when < 0 || m_events.begin()->first.first <= when)) {
        when = m_events.begin()->first.first;
        what = SlotCount;
    }
    if (what < 0)
        return false;
    m_now = std::max(m_now, when);
    if (what == SlotCount) {
        auto fn = std::move(m_events.begin()->second);
        m_events.erase(m_events.begin());
        fn();
    } else {
        m_next[what] += m_period[what];
        if (m_next[what] <= m_now) // behind after a pause: no burst of late ticks
            m_next[what] = m_now + m_period[what];
        ++m_ticks[what];
        if (m_tick[what])
            m_tick[what]();
    }
    if (onStep)
        onStep();
    return true;
}

void VirtualClock::run()
{
    m_quit = false;
    const qint64 start = m_now;
    while (!m_quit) {
        if (m_now - start > limitUs || !runNext()) {
            gaveUp = true;
            return;
        }
    }
}

// ---- VirtualDevice --------------------------------------------------------------

VirtualDevice::VirtualDevice(VirtualClock &clock, const KavrSimOptions &options)
    : m_clock(clock), m_options(options), m_model(options.state, options.faults),
      m_byteUs(qint64(10.0 * 1e6 / std::max(options.line.baud, 1))),
      m_outByteUs(
          qint64(10.0 * 1e6 * std::max(options.line.slowFactor, 1.0) / std::max(options.line.baud, 1)))
{
}

void VirtualDevice::hostSends(const QByteArray &bytes)
{
    for (const char c : bytes) {
        // The host cannot send faster than the line's baud rate.
        m_inFree = std::max(m_inFree, m_clock.now()) + m_byteUs;
        m_clock.at(m_inFree, [this, b = quint8(c)] { arrive(b); });
    }
}

void VirtualDevice::arrive(quint8 byte)
{
    if (m_down)
        return;
    const qint64 now = m_clock.now();
    // A half-done command is given up after a pause on the line.
    if (m_model.midCommand() && now - m_lastInput >= qint64(m_options.line.abandonAfterMs) * 1000)
        m_model.abandonCommand();
    m_lastInput = now;
    received.append(char(byte));
    const int dataByte = m_model.takingWriteData() ? m_model.writeProgress() + 1 : 0;
    QByteArray answer = m_model.feed(byte);
    if (mangle)
        answer = mangle(dataByte, answer);
    if (answer.isEmpty())
        return;
    int delay = answer == "D" && m_options.line.handshakeDelayMs >= 0 ? m_options.line.handshakeDelayMs
                                                                      : m_options.line.turnaroundMs;
    if (delayMs && dataByte > 0 && delayMs(dataByte) >= 0)
        delay = delayMs(dataByte);
    qint64 t = std::max(now + qint64(delay) * 1000, m_outFree);
    for (const char c : answer) {
        t += m_outByteUs;
        qint64 due = t;
        if (m_options.line.ftdiLatencyMs > 0) {
            // Handed over in batches, as an FTDI converter's latency timer does.
            const qint64 latency = qint64(m_options.line.ftdiLatencyMs) * 1000;
            due = (t + latency - 1) / latency * latency;
        }
        auto [batch, fresh] = m_outgoing.try_emplace(due);
        batch->second.append(c);
        if (fresh)
            m_clock.at(due, [this, due, generation = m_generation] { release(due, generation); });
    }
    m_outFree = t;
}

void VirtualDevice::release(qint64 due, int generation)
{
    auto batch = m_outgoing.find(due);
    if (batch == m_outgoing.end())
        return;
    QByteArray bytes = batch->second;
    m_outgoing.erase(batch);
    if (m_down || generation != m_generation)
        return;
    const long long limit = m_options.line.hangUpAfter;
    if (limit >= 0)
        bytes = bytes.left(qsizetype(std::max<long long>(0, limit - sent)));
    sent += bytes.size();
    if (!bytes.isEmpty() && toHost)
        toHost(bytes);
    if (limit >= 0 && sent >= limit) {
        m_down = true;
        if (hungUp)
            hungUp();
    }
}

void VirtualDevice::reconnect()
{
    // What was on its way when the line dropped is gone.
    ++m_generation;
    m_outgoing.clear();
    m_outFree = m_clock.now();
    m_down = false;
    m_options.line.hangUpAfter = -1;
    m_model.abandonCommand();
}

// ---- VirtualSerialPort ----------------------------------------------------------

VirtualSerialPort::VirtualSerialPort(VirtualClock &clock, VirtualDevice &device)
    : m_clock(clock), m_device(device)
{
}

ExchangeTransport::Pacing VirtualSerialPort::pacing(const ExchangeOptions &options) const
{
    return SerialTransport::pacingFor(options);
}

ExchangeTransport::Opened VirtualSerialPort::open()
{
    if (m_open && !m_vanished)
        return Opened::Ready;
    if (failOpen)
        return Opened::Failed;
    m_open = true;
    m_vanished = false;
    m_waiting.clear();
    ++opens;
    return Opened::Ready;
}

QByteArray VirtualSerialPort::take()
{
    return std::exchange(m_waiting, QByteArray());
}

bool VirtualSerialPort::send(const QByteArray &bytes)
{
    if (!m_open || m_vanished || sendFails)
        return false;
    m_device.hostSends(bytes);
    return true;
}

void VirtualSerialPort::finish(bool, const ExchangeOptions &options)
{
    if (m_open && (m_vanished || options.closePort())) {
        m_open = false;
        ++closes;
    }
}

void VirtualSerialPort::deliver(const QByteArray &bytes)
{
    m_waiting += bytes;
    if (dataArrived)
        dataArrived(int(m_waiting.size()));
}

void VirtualSerialPort::announce(const QByteArray &bytes, int count)
{
    m_waiting += bytes;
    if (count >= 0 && dataArrived)
        dataArrived(count);
}

void VirtualSerialPort::vanish()
{
    if (!m_open || m_vanished)
        return;
    m_vanished = true;
    if (lineLost)
        lineLost();
}

// ---- VirtualLine / VirtualWorld ---------------------------------------------------

VirtualLine::VirtualLine(bool usb_, const KavrSimOptions &options)
    : device(clock, options), serial(clock, device), cable(std::make_shared<SimulatedD2xx>()), usb(usb_)
{
    cable->setDeviceSide([this](const QByteArray &bytes) { device.hostSends(bytes); });
    device.toHost = [this](const QByteArray &bytes) {
        if (usb)
            cable->deliverToHost(bytes);
        else if (serial.isOpen()) // what reaches a closed port is lost
            serial.deliver(bytes);
    };
    device.hungUp = [this] {
        if (usb)
            cable->setPlugged(false);
        else
            serial.vanish();
    };
    D2xx::setBackend(cable);
}

VirtualLine::~VirtualLine()
{
    D2xx::setBackend(nullptr);
}

void VirtualLine::attach(ExchangeService &service)
{
    service.setClock(&clock);
    service.setSerialTransport(&serial);
    service.setUsbSelected(usb);
}

void VirtualLine::detach(ExchangeService &service)
{
    service.setClock(nullptr);
    service.setSerialTransport(nullptr);
}

VirtualWorld::VirtualWorld(bool usb_, const KavrSimOptions &options) : VirtualLine(usb_, options)
{
    attach(service);
    QObject::connect(&service, &ExchangeService::noticeRequested, &service,
                     [this](ExchangeNotice notice, const QByteArray &received) {
                         messages << ExchangeTexts::noticeText(notice, received);
                     });
}

VirtualWorld::~VirtualWorld()
{
    detach(service);
}

void VirtualWorld::openLink()
{
    if (usb)
        service.openCable();
}
