// The libftdi1 backend against emulated FT232R converters: how it finds the
// cable, sets up the line, takes received bytes out of the chip's packets and
// copes with a cable pulled out.
#include "device/UsbLink.h"
#include "platform/D2xxLibFtdi.h"
#include "usb_helper.h"

#include <QElapsedTimer>
#include <QTest>

#include <thread>

using namespace EmulatedFtdi;

namespace
{
// A device that answers "!" with a burst that imitates the chip's own status
// bytes, so that any status byte left in the data would show.
class BurstFarEnd : public FarEnd
{
  public:
    std::string burst;
    std::string heard;
    std::string receive(std::uint8_t byte, std::chrono::steady_clock::time_point) override
    {
        heard.push_back(char(byte));
        return byte == '!' ? burst : std::string();
    }
};

// A converter with a BurstFarEnd behind it, for one test.
struct BurstCable {
    EmulatedBus bus;
    int id = plug({});
    std::shared_ptr<BurstFarEnd> far = std::make_shared<BurstFarEnd>();
    LibFtdiD2xx backend;
    D2xx::Handle h = D2xx::NoHandle;
    BurstCable() { setFarEnd(id, far); }
};

bool openAt2400(LibFtdiD2xx &backend, D2xx::Handle &h)
{
    return backend.openEx("ZARP-USB", D2xx::OpenBySerialNumber, &h) == D2xx::Ok &&
           backend.setBaudRate(h, 2400) == D2xx::Ok;
}

// The rows about how bytes are packed and paced: the chip's line runs four
// times its 2400 baud, which changes nothing but the wait.
constexpr int LineSpeedUp = 4;

// Everything the backend reports waiting, gathered until `want` bytes or five
// seconds.
QByteArray collect(LibFtdiD2xx &backend, D2xx::Handle h, int want)
{
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < want && clock.elapsed() < 5000) {
        quint32 rx = 0, tx = 0, events = 0, n = 0;
        if (backend.getStatus(h, &rx, &tx, &events) != D2xx::Ok)
            break;
        QByteArray chunk(int(rx), '\0');
        if (rx == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        else if (backend.read(h, chunk.data(), rx, &n) != D2xx::Ok)
            break;
        got += chunk.left(int(n));
    }
    return got;
}
} // namespace

class TestLibFtdiEmulated : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase()
    {
        QVERIFY2(emulatedUsbLoaded(), "the test must run against the emulated USB library");
    }

    void cableFoundBySerialNumber_data()
    {
        QTest::addColumn<QStringList>("serials"); // "-" a converter without serial string
        QTest::addColumn<int>("cable");           // index of the one to open, -1 none
        QTest::addColumn<bool>("held");
        QTest::addColumn<quint32>("status");
        QTest::newRow("among several")
            << QStringList{"FT5R2K9A", "-", "ZARP-USB", "ZARP-USB2"} << 2 << false << D2xx::Ok;
        QTest::newRow("first of all") << QStringList{"ZARP-USB", "FT5R2K9A"} << 0 << false << D2xx::Ok;
        QTest::newRow("only others") << QStringList{"FT5R2K9A", "ZARP-US", "-"} << -1 << false
                                     << D2xx::DeviceNotFound;
        QTest::newRow("no converter") << QStringList{} << -1 << false << D2xx::DeviceNotFound;
        QTest::newRow("held by another program")
            << QStringList{"FT5R2K9A", "ZARP-USB"} << 1 << true << D2xx::DeviceNotOpened;
    }
    void cableFoundBySerialNumber()
    {
        QFETCH(QStringList, serials);
        QFETCH(int, cable);
        QFETCH(bool, held);
        QFETCH(quint32, status);
        EmulatedBus bus;
        QList<int> ids;
        for (const QString &s : serials)
            ids << plug({s.toStdString(), s != QLatin1String("-"), Ft232rProductId});
        if (held)
            setHeld(ids[cable], true);

        LibFtdiD2xx backend;
        D2xx::Handle h = D2xx::NoHandle;
        QCOMPARE(backend.openEx("ZARP-USB", D2xx::OpenBySerialNumber, &h), status);
        QCOMPARE(h != D2xx::NoHandle, status == D2xx::Ok);
        // Only the cable itself is set up; the other converters are left alone.
        for (int i = 0; i < ids.size(); ++i)
            QCOMPARE(!requests(ids[i]).empty(), i == cable && !held);
        if (status == D2xx::Ok) {
            // Open once only, as with the vendor's driver.
            D2xx::Handle second = D2xx::NoHandle;
            QCOMPARE(backend.openEx("ZARP-USB", D2xx::OpenBySerialNumber, &second), D2xx::DeviceNotOpened);
            QCOMPARE(backend.close(h), D2xx::Ok);
        }
    }

    // The USB link's open, through the real backend: what the chip was told.
    void openSetsUpTheLine()
    {
        EmulatedBus bus;
        const int id = bus.plugCommunicator();
        UsbLink usb(std::make_shared<LibFtdiD2xx>(), [](int) {});
        usb.open();
        QVERIFY(usb.UsbOpen);
        const LineState l = line(id);
        QCOMPARE(l.latencyMs, 2);
        QCOMPARE(l.baudRate, 2400);
        QCOMPARE(l.dataBits, 8);
        QCOMPARE(l.parity, 0);
        QCOMPARE(l.stopBits, 0);
        QVERIFY(l.dtr);
        QVERIFY(!l.rts);
        QCOMPARE(l.bitMode, quint8(0));
        QCOMPARE(l.bitMask, quint8(0));
        // A fresh chip is in 8N1, plain serial and RTS down already; the
        // program says so all the same, as another program may have left it
        // otherwise.
        auto last = [&](std::uint8_t request) {
            int value = -1;
            for (const ControlRequest &r : requests(id))
                if (r.requestType == 0x40 && r.request == request)
                    value = r.value;
            return value;
        };
        QCOMPARE(last(SetData), 8);
        QCOMPARE(last(SetBitMode), 0);
        QCOMPARE(last(ModemControl), 0x0200); // RTS down, after DTR up
    }

    // A burst full of bytes that look like the chip's status pair arrives
    // exactly as sent: in packets of a byte or two as it comes in, and in
    // full packets when the host asks only after a pause.
    void receivedDataIsExact_data()
    {
        QTest::addColumn<int>("pauseMs");
        QTest::addColumn<int>("size");
        QTest::newRow("as it comes") << 0 << 128;
        QTest::newRow("after a pause") << 150 << 200; // 144 bytes wait in the chip
    }
    void receivedDataIsExact()
    {
        QFETCH(int, pauseMs);
        QFETCH(int, size);
        BurstCable c;
        for (int i = 0; i < size; ++i)
            c.far->burst.push_back(char(i % 3 == 0 ? ModemStatus : i % 3 == 1 ? LineStatusIdle : i));
        speedUpLine(c.id, LineSpeedUp);
        QVERIFY(openAt2400(c.backend, c.h));
        quint32 written = 0;
        QCOMPARE(c.backend.write(c.h, "!", 1, &written), D2xx::Ok);
        QCOMPARE(written, 1u);
        QTest::qSleep(pauseMs);
        QCOMPARE(collect(c.backend, c.h, size), QByteArray::fromStdString(c.far->burst));
        const Counters n = counters(c.id);
        QCOMPARE(n.bytesToHost, long(size));
        QCOMPARE(n.overruns, 0L);
        if (pauseMs > 0)
            QVERIFY2(n.fullPackets >= 2, qPrintable(QString::number(n.fullPackets)));
        else
            QVERIFY(n.packetsToHost - n.statusOnlyPackets > 4);
        QCOMPARE(c.backend.close(c.h), D2xx::Ok);
    }

    // More than the chip's transmit buffer in one call: the call waits while
    // the line drains and every byte reaches the device, in order.
    void longWriteArrivesWhole()
    {
        BurstCable c;
        speedUpLine(c.id, LineSpeedUp);
        QVERIFY(openAt2400(c.backend, c.h));
        QByteArray bytes;
        for (int i = 0; i < 200; ++i)
            bytes.append(char(i == 0 ? 'x' : i));
        quint32 written = 0;
        QCOMPARE(c.backend.write(c.h, bytes.constData(), quint32(bytes.size()), &written), D2xx::Ok);
        QCOMPARE(written, quint32(bytes.size()));
        // The chip moves on whenever the host asks it something.
        auto heard = [&] {
            quint32 rx = 0, tx = 0, events = 0;
            c.backend.getStatus(c.h, &rx, &tx, &events);
            return QByteArray::fromStdString(c.far->heard);
        };
        QTRY_COMPARE_WITH_TIMEOUT(heard(), bytes, 5000);
        QCOMPARE(c.backend.close(c.h), D2xx::Ok);
    }

    // Every call on a cable pulled out fails with a status, soon; closing
    // still works and the replugged cable opens afresh.
    void unplugFailsEveryCall()
    {
        EmulatedBus bus;
        const int id = bus.plugCommunicator();
        LibFtdiD2xx backend;
        D2xx::Handle h = D2xx::NoHandle;
        QCOMPARE(backend.openEx("ZARP-USB", D2xx::OpenBySerialNumber, &h), D2xx::Ok);
        unplug(id);
        QElapsedTimer clock;
        clock.start();
        quint32 rx = 7, tx = 7, ev = 7, n = 7;
        char byte = 'V';
        QVERIFY(backend.getStatus(h, &rx, &tx, &ev) != D2xx::Ok);
        QCOMPARE(rx, 0u);
        QVERIFY(backend.read(h, &byte, 1, &n) != D2xx::Ok);
        QCOMPARE(n, 0u);
        QVERIFY(backend.write(h, &byte, 1, &n) != D2xx::Ok);
        QCOMPARE(n, 0u);
        QVERIFY(backend.setBaudRate(h, 2400) != D2xx::Ok);
        QVERIFY(backend.setDtr(h) != D2xx::Ok);
        QVERIFY(clock.elapsed() < 1000);
        D2xx::Handle again = D2xx::NoHandle;
        QCOMPARE(backend.openEx("ZARP-USB", D2xx::OpenBySerialNumber, &again), D2xx::DeviceNotOpened);
        QCOMPARE(backend.close(h), D2xx::Ok);
        QCOMPARE(backend.openEx("ZARP-USB", D2xx::OpenBySerialNumber, &again), D2xx::DeviceNotFound);

        replug(id);
        QVERIFY(openAt2400(backend, again));
        QCOMPARE(backend.write(again, &byte, 1, &n), D2xx::Ok);
        QCOMPARE(collect(backend, again, 10), bus.communicator->model.statusAnswer());
        QCOMPARE(backend.close(again), D2xx::Ok);
    }
};

QTEST_GUILESS_MAIN(TestLibFtdiEmulated)
#include "tst_libftdi_emulated.moc"
