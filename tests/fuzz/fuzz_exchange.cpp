// The exchange engine fed arbitrary device bytes in arbitrary pieces, with
// ticks, failed sends, lost ports and further exchanges in between, for every
// command on both transports. Single-threaded: the port and the cable are
// played here. Whatever arrives, an exchange must end, once, and leave the
// engine ready for the next.
#include "KavrDeviceModel.h"
#include "app/MainWindowState.h"
#include "device/ExchangeEngine.h"
#include "device/UsbLink.h"
#include "fuzz/fuzz_check.h"
#include "platform/D2xx.h"
#include "settings/MemoryRecord.h"

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

class FuzzPort : public ExchangeSerialPort
{
  public:
    explicit FuzzPort(Line &line) : m_line(line) {}
    bool open_ = false;
    bool isOpen() const override { return open_; }
    void open() override
    {
        if (m_line.openFails)
            throw std::runtime_error("cannot open");
        open_ = true;
        m_line.gone = false;
    }
    QByteArray readString() override { return open_ ? std::exchange(m_line.toProgram, {}) : QByteArray(); }
    bool writeString(const QByteArray &bytes) override
    {
        m_line.attempted += bytes;
        if (!open_ || m_line.gone || m_line.sendFails)
            return false;
        m_line.fromProgram += bytes;
        return true;
    }
    void close() override { open_ = false; }
    bool lost() const override { return open_ && m_line.gone; }

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

struct Run {
    Line line;
    MainWindowState window;
    MemoryRecord record;
    UsbLink usb{std::make_shared<FuzzCable>(line), [](int) {}};
    FuzzPort port{line};
    ExchangeEngine engine{window, record, usb};
    KavrDeviceModel device;
    int finishes = 0;
    int begins = 0;
    bool timerRunning = false;

    Run()
    {
        engine.setSerialPort(&port);
        QObject::connect(&engine, &ExchangeEngine::finished, [this] {
            ++finishes;
            checkWrite();
        });
        QObject::connect(&engine, &ExchangeEngine::pollTimerChanged,
                         [this](bool on, int) { timerRunning = on; });
    }

    void start(std::uint8_t how)
    {
        window.QuietFirstExchange = how & 0x10;
        window.ClosePort = (how & 0x20) ? QStringLiteral("1") : QStringLiteral("0");
        engine.setUsbSelected(how & 0x08);
        switch (how % 6) {
        case 0:
            window.VersionQueryRequested = true;
            engine.prepareVersionQuery();
            break;
        case 1:
            engine.prepareRead();
            break;
        case 2:
            engine.prepareWriteVersionQuery();
            break;
        case 3:
            window.WriteVersionQuery = false;
            engine.prepareWrite();
            break;
        case 4: // a query the main timer left pending, then the read
            window.VersionQueryRequested = true;
            engine.prepareRead();
            break;
        case 5:
            window.VersionQueryRequested = true;
            engine.prepareWrite();
            break;
        }
        ++begins;
        line.attempted.clear();
        m_commands = (how % 6 == 5) ? QByteArray("VWP") : (how % 6 == 3) ? QByteArray("WP") : QByteArray();
        engine.begin();
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
        if (!engine.usbSelected() && port.isOpen())
            engine.serialDataReceived(int(line.toProgram.size()));
    }

    void finishOff()
    {
        // Every exchange ends on its own within its time limit.
        for (int i = 0; i < 5000 && engine.running(); ++i)
            engine.pollTick();
        FUZZ_CHECK(!engine.running(), "the exchange never ends");
        FUZZ_CHECK(finishes == begins, QStringLiteral("%1 exchanges, %2 ends").arg(begins).arg(finishes));
        FUZZ_CHECK(!timerRunning, "the poll timer runs on after the end");
    }

  private:
    // A write sends its commands and then the block, in order, each byte
    // once: what went out is the start of that, whatever came back.
    void checkWrite()
    {
        if (m_commands.isEmpty() || !line.attempted.startsWith(m_commands))
            return; // the port or the cable was not there to take the commands
        QByteArray block(1, char(0x55));
        for (int k = 1; k < 128; ++k)
            block.append(char(engine.WriteBuffer[k] & 0xFF));
        const QByteArray sent = line.attempted.mid(m_commands.size());
        FUZZ_CHECK(sent.size() <= block.size() && block.startsWith(sent),
                   QStringLiteral("%1 block bytes sent, not the block").arg(sent.size()));
    }

    QByteArray m_deviceOut;
    QByteArray m_commands;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Input in(data, size);
    Run run;
    const std::uint8_t how = in.byte();
    // Every interval up to the fallback; tiny ones only multiply the ticks.
    run.window.TimeOutRS = (in.byte() % 8) * 5;
    run.line.openFails = how & 0x40;
    if (how & 0x80)
        run.port.open_ = true;
    run.start(how);

    int steps = 0;
    while (!in.empty() && ++steps < 4000) {
        const std::uint8_t op = in.byte();
        const int arg = op >> 2;
        switch (op & 3) {
        case 0: // arbitrary bytes from the device
            run.line.toProgram += in.bytes(std::size_t(arg));
            run.notify();
            break;
        case 1:
            for (int i = 0; i <= arg && run.engine.running(); ++i)
                run.engine.pollTick();
            break;
        case 2: // the communicator's own answer, in a piece of the given size
            run.deviceAnswers(arg + 1);
            run.notify();
            break;
        case 3:
            if (arg & 1)
                run.line.sendFails = !run.line.sendFails;
            if (arg & 2) {
                run.line.gone = !run.line.gone;
                if (run.line.gone)
                    run.engine.serialLost();
            }
            if (arg & 4)
                run.line.openFails = !run.line.openFails;
            if (arg & 8)
                run.notify();
            if ((arg & 16) && !run.engine.running()) {
                FUZZ_CHECK(run.finishes == run.begins, "an exchange ended twice or not at all");
                run.start(in.byte());
            }
            break;
        }
    }
    run.finishOff();
    return 0;
}
