// The two transports themselves, in real time, under the exchange service:
// the serial port component over a pseudo-terminal and the simulated cable,
// each with the communicator simulator on its own thread at the far end.
// The service's logic is tested on the virtual clock; these rows check what
// only the real parts do: open and close a terminal, notice a hang-up, carry
// a whole read and write.
#include "app/ExchangeTexts.h"
#include "device/DeviceCodec.h"
#include "device/ExchangeService.h"
#include "device/SerialTransport.h"
#include "device/UsbLink.h"
#include "platform/D2xx.h"
#include "platform/PrivateProfile.h"
#include "serial/AfComPort.h"
#include "settings/MemoryRecord.h"
#include "sim/KavrSimulator.h"
#include "sim/SimulatedD2xx.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

class TestExchangeTransports : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString oldCwd;
    MemoryRecord record;
    std::unique_ptr<KavrSimulator> sim;
    std::shared_ptr<SimulatedD2xx> cable;
    std::unique_ptr<TAfComPort> port;
    std::unique_ptr<SerialTransport> serial;
    std::unique_ptr<ExchangeService> service;
    QStringList messages;

    // The communicator on a pseudo-terminal (COM1) or at the end of the
    // simulated cable; a fast line unless the row is about pacing.
    void start(bool usb, KavrSimOptions options)
    {
        sim = std::make_unique<KavrSimulator>(options);
        if (usb) {
            auto line = sim->startOnCable();
            QVERIFY(line);
            cable = std::make_shared<SimulatedD2xx>();
            cable->attachLine(line);
            D2xx::setBackend(cable);
        } else {
            QString error;
            QVERIFY2(sim->startOnPty(&error), qPrintable(error));
            QVERIFY(
                PrivateProfile::writeString(dir.filePath("Config.ini"), "Ports", "COM1", sim->linePath()));
        }
        service->setUsbSelected(usb);
    }
    static KavrSimOptions fast()
    {
        KavrSimOptions o;
        o.line.baud = 38400;
        o.line.turnaroundMs = 1;
        return o;
    }

  private slots:
    void initTestCase()
    {
        oldCwd = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        // COM2 names a device that does not exist; nothing here may reach a
        // real terminal.
        QVERIFY(
            PrivateProfile::writeString(dir.filePath("Config.ini"), "Ports", "COM2", dir.filePath("absent")));
    }
    void cleanupTestCase() { QDir::setCurrent(oldCwd); }
    void init()
    {
        record = MemoryRecord();
        messages.clear();
        port = std::make_unique<TAfComPort>();
        SerialTransport::setUpPort(*port);
        port->SetComNumber(1);
        serial = std::make_unique<SerialTransport>(*port);
        service = std::make_unique<ExchangeService>();
        service->setSerialTransport(serial.get());
        connect(service.get(), &ExchangeService::noticeRequested, this,
                [this](ExchangeNotice notice, const QByteArray &received) {
                    messages << ExchangeTexts::noticeText(notice, received);
                });
    }
    void cleanup()
    {
        service.reset();
        serial.reset();
        port.reset();
        D2xx::setBackend(nullptr);
        cable.reset();
        sim.reset();
    }

    // A read and a write, the write's byte sent on each "D" as it comes: the
    // block the communicator holds is the one built. The terminal at 9600
    // baud, the cable, whose pace has tests of its own, at 38400: the pace at
    // the communicator's own 2400 baud is measured by the exchange benchmark.
    void readAndWriteAtLineSpeed_data()
    {
        QTest::addColumn<bool>("usb");
        QTest::addColumn<int>("baud");
        QTest::newRow("serial port") << false << 9600;
        QTest::newRow("usb cable") << true << 38400;
    }
    void readAndWriteAtLineSpeed()
    {
        QFETCH(bool, usb);
        QFETCH(int, baud);
        KavrSimOptions o;
        o.line.baud = baud;
        o.line.turnaroundMs = 1;
        o.state.block[1] = 9;                               // NoRi
        o.state.block[80] = 0x6A, o.state.block[81] = 0x2A; // M001 "0602"
        start(usb, o);
        QCOMPARE(service->read(record), ExchangeResult::Done);
        QCOMPARE(record.storedText("NoRi"), QStringLiteral("9"));
        QCOMPARE(record.storedText("M001"), QStringLiteral("0602"));
        record.setStoredText("TTon", "150");
        QElapsedTimer t;
        t.start();
        QCOMPARE(service->writeBlock(record), ExchangeResult::Done);
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join('|')));
        QCOMPARE(sim->lastWrittenBlock(), DeviceCodec::buildBlock(record));
        // Far from one byte per poll tick: each byte goes on its handshake.
        const double perByteMs = 2 * 10 * 1000.0 / baud + 5;
        QVERIFY2(t.elapsed() < 1.5 * 128 * perByteMs, qPrintable(QString::number(t.elapsed())));
        if (!usb)
            QVERIFY(port->IsOpen()); // kept open between exchanges
    }

    // The communicator drops the line mid-block: the port's error event ends
    // the exchange at once and closes the port; a fresh line is opened anew.
    void hangUpEndsTheExchangeAndTheNextReopens()
    {
        KavrSimOptions o = fast();
        o.line.hangUpAfter = 40;
        start(false, o);
        QElapsedTimer t;
        t.start();
        QCOMPARE(service->readBlock(record), ExchangeResult::Aborted);
        QVERIFY(t.elapsed() < 1500); // by the hang-up, not the time limit
        QCOMPARE(messages.size(), 1);
        QVERIFY(!port->IsOpen());
        start(false, fast());
        messages.clear();
        QCOMPARE(service->versionQuery(record), ExchangeResult::Done);
        QVERIFY(messages.isEmpty());
        QVERIFY(port->IsOpen());
        QCOMPARE(record.deviceValue(DeviceValue::SerN), QStringLiteral("1001"));
    }

    void closePortClosesTheTerminalAfterEveryExchange()
    {
        start(false, fast());
        ExchangeOptions options;
        options.ClosePort = QStringLiteral("1");
        service->setOptions(options);
        QCOMPARE(service->versionQuery(record), ExchangeResult::Done);
        QVERIFY(!port->IsOpen());
        QCOMPARE(service->readBlock(record), ExchangeResult::Done);
        QVERIFY(!port->IsOpen());
        QVERIFY(messages.isEmpty());
    }

    void terminalThatCannotBeOpened()
    {
        port->SetComNumber(2);
        QCOMPARE(service->versionQuery(record), ExchangeResult::NotOpenable);
        QCOMPARE(messages, QStringList{QStringLiteral("Chybné číslo portu, prosím nastavte správné")});
        QVERIFY(!port->IsOpen());
    }
};

QTEST_MAIN(TestExchangeTransports)
#include "tst_exchangetransports.moc"
