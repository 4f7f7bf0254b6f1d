#include "app/MainWindowState.h"
#include "device/DeviceCodec.h"
#include "device/ExchangeEngine.h"
#include "device/ExchangeRunner.h"
#include "device/UsbLink.h"
#include "settings/MemoryRecord.h"

#include "KavrSimulator.h"
#include "SimulatedD2xx.h"

#include <QtTest>

// Exchanges over the simulated USB cable with the communicator simulator at
// its far end, paced like the real 2400-baud line.
class TestExchangeUsb : public QObject
{
    Q_OBJECT

    MainWindowState window;
    MemoryRecord record;
    std::unique_ptr<KavrSimulator> sim;
    std::shared_ptr<SimulatedD2xx> cable;
    std::unique_ptr<UsbLink> usb;
    std::unique_ptr<ExchangeEngine> engine;
    QStringList messages;

    void start(const KavrSimOptions &options)
    {
        sim = std::make_unique<KavrSimulator>(options);
        auto line = sim->startOnCable();
        QVERIFY(line);
        cable = std::make_shared<SimulatedD2xx>();
        cable->attachLine(line);
        usb = std::make_unique<UsbLink>(cable, [](int) {});
        engine = std::make_unique<ExchangeEngine>(window, record, *usb);
        engine->setUsbSelected(true);
    }

    void run()
    {
        ExchangeRunner runner(*engine);
        runner.setMessageHandler([this](const QString &t) { messages << t; });
        runner.run();
    }

    // The Read command's two exchanges.
    void read()
    {
        usb->open();
        engine->ExchangeAborted = false;
        window.VersionQueryRequested = true;
        engine->prepareVersionQuery();
        run();
        engine->prepareRead();
        run();
    }

  private slots:
    void init()
    {
        window = MainWindowState();
        record = MemoryRecord();
        messages.clear();
    }
    void cleanup()
    {
        engine.reset();
        usb.reset();
        cable.reset();
        sim.reset();
    }

    void readFillsTheRecord()
    {
        KavrSimOptions options;
        options.state.firmware = 115;
        options.state.serialNumber = 0x1234;
        options.state.powerOnCount = 9;
        options.state.serviceHours = 50;
        auto &b = options.state.block;
        b.fill(0xFF);
        b[0] = 0x55;
        b[1] = 3;                          // NoRi
        b[2] = 11;                         // MaSp "15"
        b[3] = 5;                          // TBtn
        b[7] = 0x86;                       // TTon 80, TSpc 60
        b[8] = 0x27;                       // TFls 200, TPas 700
        b[10] = 1, b[11] = 10, b[12] = 12; // PotZ "10#"
        b[24] = 1;                         // Dial: pulse
        b[25] = 12;                        // EndS "#"
        b[31] = 2;                         // TONE: other tones only
        b[44] = 0x81;                      // Chk1 and Chk7
        b[80] = 0x6A, b[81] = 0x2A;        // M001 "0602"
        start(options);
        read();
        QVERIFY(messages.isEmpty());
        QVERIFY(!engine->ExchangeAborted);
        QCOMPARE(record.deviceValue(DeviceValue::FirmwareVersion), QStringLiteral("1.15"));
        QCOMPARE(record.deviceValue(DeviceValue::SerN), QStringLiteral("4660"));
        QCOMPARE(record.storedText("NoRi"), QStringLiteral("3"));
        QCOMPARE(record.storedText("MaSp"), QStringLiteral("15"));
        QCOMPARE(record.storedText("TBtn"), QStringLiteral("5"));
        QCOMPARE(record.storedText("TTon"), QStringLiteral("80"));
        QCOMPARE(record.storedText("TSpc"), QStringLiteral("60"));
        QCOMPARE(record.storedText("TFls"), QStringLiteral("200"));
        QCOMPARE(record.storedText("TPas"), QStringLiteral("700"));
        QCOMPARE(record.storedText("PotZ"), QStringLiteral("10#"));
        QCOMPARE(record.storedText("Dial"), QStringLiteral("0"));
        QCOMPARE(record.storedText("EndS"), QStringLiteral("#"));
        QCOMPARE(record.storedText("TONE"), QStringLiteral("2"));
        QCOMPARE(record.storedText("Chk1"), QStringLiteral("1"));
        QCOMPARE(record.storedText("Chk7"), QStringLiteral("1"));
        QCOMPARE(record.storedText("Chk8"), QStringLiteral("0"));
        QCOMPARE(record.storedText("M001"), QStringLiteral("0602"));
        QCOMPARE(record.storedText("M002"), QString());
        // The counters of the read block are the device's own.
        QCOMPARE(record.deviceValue(DeviceValue::PwOn), QStringLiteral("9"));
        QCOMPARE(record.deviceValue(DeviceValue::SvHr), QStringLiteral("50"));
    }

    void writeLeavesTheBlockInTheDevice_data()
    {
        QTest::addColumn<int>("handshakeDelay");
        QTest::addColumn<bool>("writeOnTick");
        QTest::newRow("next byte on the handshake") << -1 << false;
        QTest::newRow("handshake 8 ms after the byte") << 8 << false;
        QTest::newRow("one byte per tick") << -1 << true;
    }
    void writeLeavesTheBlockInTheDevice()
    {
        QFETCH(int, handshakeDelay);
        QFETCH(bool, writeOnTick);
        KavrSimOptions options;
        options.line.handshakeDelayMs = handshakeDelay;
        window.WriteOnTick = writeOnTick;
        start(options);
        record.setStoredText("M001", "0602");
        record.setStoredText("TTon", "150");
        record.setStoredText("TSpc", "60");
        record.setStoredText("Chk8", "1");
        record.setDeviceValue(DeviceValue::SvHr, "100");
        record.setDeviceValue(DeviceValue::PwOn, "0");
        usb->open();
        engine->prepareWriteVersionQuery();
        run();
        window.WriteVersionQuery = false;
        QVERIFY(!engine->ExchangeAborted);
        // The write's version query keeps the counters out of the record.
        QCOMPARE(record.deviceValue(DeviceValue::SvHr), QStringLiteral("100"));
        QCOMPARE(engine->DeviceServiceHours, QStringLiteral("72"));
        engine->prepareWrite();
        run();
        QVERIFY(messages.isEmpty());
        QVERIFY(!engine->ExchangeAborted);
        QCOMPARE(sim->writesCompleted(), 1);
        const QByteArray block = sim->lastWrittenBlock();
        QCOMPARE(block.size(), 128);
        QCOMPARE(quint8(block[0]), quint8(0x55));
        QCOMPARE(quint8(block[7]), quint8(0xF6));  // 150 and 60
        QCOMPARE(quint8(block[44]), quint8(0x40)); // Chk8 is bit 6
        QCOMPARE(quint8(block[45]), quint8(4));    // 100 hours: 4 hours
        QCOMPARE(quint8(block[46]), quint8(4));    // and 4 days
        QCOMPARE(block.mid(80, 8), QByteArray("\x6A\x2A\xFF\xFF\xFF\xFF\xFF\xFF", 8));
        QCOMPARE(block, DeviceCodec::buildBlock(record));
        QCOMPARE(sim->state().serviceHours, 100);
    }

    void failedSendShowsTheMessage_data()
    {
        QTest::addColumn<bool>("inTheBlock");
        QTest::newRow("command byte of the version query") << false;
        QTest::newRow("data byte in the middle of the block") << true;
    }
    void failedSendShowsTheMessage()
    {
        QFETCH(bool, inTheBlock);
        start(KavrSimOptions());
        usb->open();
        if (!inTheBlock)
            cable->setWritesFail(true);
        engine->prepareWriteVersionQuery();
        run();
        window.WriteVersionQuery = false;
        if (inTheBlock) {
            QVERIFY(messages.isEmpty());
            QTimer::singleShot(100, this, [this] { cable->setWritesFail(true); });
            engine->prepareWrite();
            run();
            QVERIFY(engine->WriteIndex > 1 && engine->WriteIndex < 128);
        }
        QVERIFY(engine->ExchangeAborted); // so the Write command stops here
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].startsWith(QStringLiteral("Chyba komunikace  ")), qPrintable(messages[0]));
        QVERIFY(!usb->UsbDevice); // released
        QCOMPARE(sim->writesCompleted(), 0);
    }

    void answerCutShortLeavesTheRecord_data()
    {
        QTest::addColumn<bool>("block");
        QTest::newRow("status answer") << false;
        QTest::newRow("configuration block") << true;
    }
    void answerCutShortLeavesTheRecord()
    {
        QFETCH(bool, block);
        KavrSimOptions options;
        options.state.block[1] = 9;
        start(options);
        record.setStoredText("NoRi", "5");
        record.setDeviceValue(DeviceValue::FirmwareVersion, "9.99");
        usb->open();
        // The converter stops giving bytes after 4 of the answer.
        int reads = 0;
        cable->setAfterRead([this, &reads] {
            if (++reads == 4)
                cable->setReadsFail(true);
        });
        if (block) {
            engine->prepareRead();
        } else {
            window.VersionQueryRequested = true;
            engine->prepareVersionQuery();
        }
        run();
        cable->setAfterRead(nullptr);
        QVERIFY(engine->ExchangeAborted);
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].startsWith(QStringLiteral("Chyba komunikace  ")), qPrintable(messages[0]));
        QCOMPARE(record.storedText("NoRi"), QStringLiteral("5"));
        QCOMPARE(record.deviceValue(DeviceValue::FirmwareVersion), QStringLiteral("9.99"));
    }

    void silentDeviceTimesOutAfter150Ticks()
    {
        KavrSimOptions options;
        options.faults.silent = true;
        start(options);
        window.VersionQueryRequested = true;
        usb->open();
        engine->prepareVersionQuery();
        QElapsedTimer t;
        t.start();
        run();
        QVERIFY(engine->ExchangeAborted);
        QCOMPARE(engine->IdleTicks, 151);
        QCOMPARE(messages, QStringList{QStringLiteral("Chyba komunikace  ")});
        QVERIFY(!usb->UsbDevice);
        QVERIFY(t.elapsed() >= 151 * 5 - 50);
    }
};

QTEST_GUILESS_MAIN(TestExchangeUsb)
#include "tst_exchangeusb.moc"
