// The exchange service fed arbitrary device bytes in arbitrary pieces, with
// ticks, failed sends, lost ports and further exchanges in between, for every
// exchange and command on both transports. Single-threaded: the port, the
// cable and the clock are played here, the clock's wait consuming the input.
// Whatever arrives, an exchange must end, once, and leave the service ready
// for the next.
#include "device/ExchangeClock.h"
#include "device/ExchangeService.h"
#include "device/SerialTransport.h"
#include "device/UsbLink.h"
#include "fuzz/fuzz_check.h"
#include "platform/D2xx.h"
#include "settings/MemoryRecord.h"
#include "sim/KavrDeviceModel.h"

#include <QCoreApplication>

#include <cstdint>
#include <stdexcept>

namespace
{

// What the far side holds: bytes on their way to the program, the bytes the
// program sent, and the switches of a misbehaving line.
struct Line {
    QByteArray toProgram;
    QByteArray fromProgram;
    QByteArray attempted; // every byte the program tried to send, in order
    bool sendFails = false;
    bool gone = false; // port vanished / cable unplugged
    bool openFails = false;
};

class FuzzPort : public ExchangeTransport
{
  public:
    explicit FuzzPort(Line &line) : m_line(line) {}
    bool open_ = false;
    Pacing pacing(const ExchangeOptions &options) const override
    {
        return SerialTransport::pacingFor(options);
    }
    Opened open() override
    {
        if (open_ && !m_line.gone)
            return Opened::Ready;
        if (m_line.openFails)
            return Opened::Failed;
        open_ = true;
        m_line.gone = false;
        return Opened::Ready;
    }
    QByteArray take() override { return open_ ? std::exchange(m_line.toProgram, {}) : QByteArray(); }
    bool send(const QByteArray &bytes) override
    {
        m_line.attempted += bytes;
        if (!open_ || m_line.gone || m_line.sendFails)
            return false;
        m_line.fromProgram += bytes;
        return true;
    }
    int waiting() override { return int(m_line.toProgram.size()); }
    Health health() override { return open_ && m_line.gone ? Health::Lost : Health::Ok; }
    void finish(bool, const ExchangeOptions &options) override
    {
        if (m_line.gone || options.closePort())
            open_ = false;
    }

  private:
    Line &m_line;
};

class FuzzCable : public D2xxBackend
{
  public:
    explicit FuzzCable(Line &line) : m_line(line) {}
    D2xx::Status openEx(const QByteArray &, quint32, D2xx::Handle *handle) override
    {
        if (m_line.openFails || m_line.gone || m_open != D2xx::NoHandle)
            return D2xx::DeviceNotOpened;
        *handle = m_open = ++m_last;
        return D2xx::Ok;
    }
    D2xx::Status close(D2xx::Handle h) override
    {
        if (h != m_open || h == D2xx::NoHandle)
            return D2xx::InvalidHandle;
        m_open = D2xx::NoHandle;
        return D2xx::Ok;
    }
    D2xx::Status setBitMode(D2xx::Handle h, quint8, quint8) override { return check(h); }
    D2xx::Status setDtr(D2xx::Handle h) override { return check(h); }
    D2xx::Status clrDtr(D2xx::Handle h) override { return check(h); }
    D2xx::Status setRts(D2xx::Handle h) override { return check(h); }
    D2xx::Status clrRts(D2xx::Handle h) override { return check(h); }
    D2xx::Status setBaudRate(D2xx::Handle h, quint32) override { return check(h); }
    D2xx::Status getStatus(D2xx::Handle h, quint32 *rx, quint32 *tx, quint32 *events) override
    {
        const D2xx::Status s = check(h);
        *rx = s == D2xx::Ok ? quint32(m_line.toProgram.size()) : 0;
        *tx = *events = 0;
        return s;
    }
    D2xx::Status read(D2xx::Handle h, void *buffer, quint32 size, quint32 *got) override
    {
        *got = 0;
        if (const D2xx::Status s = check(h))
            return s;
        *got = quint32(qMin<qsizetype>(size, m_line.toProgram.size()));
        memcpy(buffer, m_line.toProgram.constData(), *got);
        m_line.toProgram.remove(0, *got);
        return D2xx::Ok;
    }
    D2xx::Status write(D2xx::Handle h, const void *buffer, quint32 size, quint32 *written) override
    {
        *written = 0;
        if (const D2xx::Status s = check(h))
            return s;
        m_line.attempted.append(static_cast<const char *>(buffer), size);
        if (m_line.sendFails)
            return D2xx::IoError;
        m_line.fromProgram.append(static_cast<const char *>(buffer), size);
        *written = size;
        return D2xx::Ok;
    }

  private:
    D2xx::Status check(D2xx::Handle h) const
    {
        if (h == D2xx::NoHandle || h != m_open)
            return D2xx::InvalidHandle;
        return m_line.gone ? D2xx::IoError : D2xx::Ok;
    }
    Line &m_line;
    D2xx::Handle m_open = D2xx::NoHandle;
    D2xx::Handle m_last = D2xx::NoHandle;
};

class Input
{
  public:
    Input(const std::uint8_t *data, std::size_t size) : m_data(data), m_size(size) {}
    bool empty() const { return m_pos >= m_size; }
    std::uint8_t byte() { return empty() ? 0 : m_data[m_pos++]; }
    QByteArray bytes(std::size_t n)
    {
        n = qMin(n, m_size - qMin(m_pos, m_size));
        const QByteArray out(reinterpret_cast<const char *>(m_data + m_pos), qsizetype(n));
        m_pos += n;
        return out;
    }

  private:
    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

struct Run;

// The clock of one run: its wait for an exchange to end plays the input,
// each operation one event: device bytes, ticks, faults.
class FuzzClock : public ExchangeClock
{
  public:
    explicit FuzzClock(Run &run) : m_run(run) {}
    void start(Slot slot, int, std::function<void()> tick) override
    {
        m_tick[slot] = std::move(tick);
        m_active[slot] = true;
    }
    void stop(Slot slot) override { m_active[slot] = false; }
    bool active(Slot slot) const override { return m_active[slot]; }
    void run() override;
    void quit() override { m_quit = true; }
    void pause(int) override {}
    void tick(Slot slot)
    {
        if (m_active[slot] && m_tick[slot])
            m_tick[slot]();
    }

  private:
    Run &m_run;
    std::function<void()> m_tick[SlotCount];
    bool m_active[SlotCount] = {};
    bool m_quit = false;
};

struct Run {
    explicit Run(Input &input) : in(input)
    {
        D2xx::setBackend(std::make_shared<FuzzCable>(line));
        service.setSerialTransport(&port);
        QObject::connect(&service, &ExchangeService::started, [this] {
            ++begins;
            line.attempted.clear();
            m_writing = service.state().Step == ExchangeStep::Write;
        });
        QObject::connect(&service, &ExchangeService::finished, [this] {
            ++finishes;
            checkWrite();
        });
    }
    ~Run()
    {
        service.setSerialTransport(nullptr);
        D2xx::setBackend(nullptr);
    }

    Input &in;
    Line line;
    MemoryRecord record;
    FuzzPort port{line};
    FuzzClock clock{*this};
    ExchangeService service{&clock};
    KavrDeviceModel device;
    int finishes = 0;
    int begins = 0;

    void start(std::uint8_t how)
    {
        ExchangeOptions options = service.options();
        options.ClosePort = (how & 0x20) ? QStringLiteral("1") : QStringLiteral("0");
        service.setOptions(options);
        if (how & 0x10)
            service.setQuietFirstExchange();
        service.setUsbSelected(how & 0x08);
        const int before = begins;
        switch (how % 6) {
        case 0:
            service.versionQuery(record);
            break;
        case 1:
            service.readBlock(record);
            break;
        case 2:
            service.writeVersionQuery(record);
            break;
        case 3:
            service.writeBlock(record);
            break;
        case 4: // the Read command: the cable, the query, the block
            service.read(record);
            break;
        case 5: // the Write command: checks, query, counters, block
            service.write(record,
                          [&](const DeviceCodec::DeviceCounters &, SettingsRecord &) { return how & 0x40; });
            break;
        }
        FUZZ_CHECK(!service.busy(), "a call returned with its exchange still running");
        FUZZ_CHECK(finishes == begins, QStringLiteral("%1 exchanges, %2 ends").arg(begins).arg(finishes));
        FUZZ_CHECK(begins - before <= 3, "a command ran more exchanges than it has");
        FUZZ_CHECK(!clock.active(ExchangeClock::Poll) && !clock.active(ExchangeClock::HandshakePoll) &&
                       !clock.active(ExchangeClock::Quiet),
                   "a timer of the exchange runs on after the end");
    }

    // The communicator answers what the program sent, up to `limit` bytes now.
    void deviceAnswers(int limit)
    {
        for (const char c : std::exchange(line.fromProgram, {}))
            m_deviceOut += device.feed(std::uint8_t(c));
        line.toProgram += m_deviceOut.left(limit);
        m_deviceOut.remove(0, limit);
    }

    void notify()
    {
        if (!service.usbSelected() && port.open_ && port.dataArrived)
            port.dataArrived(int(line.toProgram.size()));
    }

    // One operation of the input while an exchange waits; false when the
    // input is used up.
    bool step()
    {
        if (in.empty())
            return false;
        const std::uint8_t op = in.byte();
        const int arg = op >> 2;
        switch (op & 3) {
        case 0: // arbitrary bytes from the device
            line.toProgram += in.bytes(std::size_t(arg));
            notify();
            break;
        case 1:
            for (int i = 0; i <= arg && service.busy(); ++i)
                clock.tick(ExchangeClock::Slot(arg % ExchangeClock::SlotCount));
            break;
        case 2: // the communicator's own answer, in a piece of the given size
            deviceAnswers(arg + 1);
            notify();
            break;
        case 3:
            if (arg & 1)
                line.sendFails = !line.sendFails;
            if (arg & 2) {
                line.gone = !line.gone;
                if (line.gone && port.lineLost)
                    port.lineLost();
            }
            if (arg & 4)
                line.openFails = !line.openFails;
            if (arg & 8)
                notify();
            break;
        }
        return true;
    }

  private:
    // A write sends its commands and then the block, in order, each byte
    // once: what went out is the start of that, whatever came back.
    void checkWrite()
    {
        if (!m_writing || !line.attempted.startsWith("WP"))
            return; // the port or the cable was not there to take the commands
        const QByteArray block = DeviceCodec::blockOf(service.state().WriteBuffer);
        const QByteArray sent = line.attempted.mid(2);
        FUZZ_CHECK(sent.size() <= block.size() && block.startsWith(sent),
                   QStringLiteral("%1 block bytes sent, not the block").arg(sent.size()));
    }

    QByteArray m_deviceOut;
    bool m_writing = false;
};

void FuzzClock::run()
{
    m_quit = false;
    while (!m_quit && m_run.step()) {
    }
    // Out of input: every exchange ends on its own within its time limit.
    for (int i = 0; i < 5000 && !m_quit; ++i) {
        tick(Quiet);
        tick(Poll);
    }
    FUZZ_CHECK(m_quit, "the exchange never ends");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Input in(data, size);
    Run run(in);
    const std::uint8_t how = in.byte();
    // Every interval up to the fallback; tiny ones only multiply the ticks.
    ExchangeOptions options;
    options.TimeOutRS = (in.byte() % 8) * 5;
    options.WriteOnTick = how & 0x04;
    run.service.setOptions(options);
    run.line.openFails = how & 0x40;
    if (how & 0x80)
        run.port.open_ = true;
    run.start(how);
    // Further exchanges while input is left, each started by its own byte.
    for (int n = 0; n < 16 && !in.empty(); ++n)
        run.start(in.byte());
    return 0;
}
