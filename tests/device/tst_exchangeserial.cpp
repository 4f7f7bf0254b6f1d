#include "app/MainWindowState.h"
#include "device/ComPortLink.h"
#include "device/DeviceCodec.h"
#include "device/ExchangeEngine.h"
#include "device/ExchangeRunner.h"
#include "device/UsbLink.h"
#include "platform/PrivateProfile.h"
#include "serial/AfComPort.h"
#include "settings/MemoryRecord.h"

#include "KavrSimulator.h"

#include <QTemporaryDir>
#include <QtTest>

// Exchanges over a real pseudo-terminal: the serial port component on one
// side, the communicator simulator on the other, paced at 2400 baud.
class TestExchangeSerial : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString oldCwd;
    MainWindowState window;
    MemoryRecord record;
    UsbLink usb;
    std::unique_ptr<KavrSimulator> sim;
    std::unique_ptr<TAfComPort> port;
    std::unique_ptr<ExchangeEngine> engine;
    std::unique_ptr<ComPortLink> link;
    QStringList messages;

    void startSimulator(const KavrSimOptions &options)
    {
        sim = std::make_unique<KavrSimulator>(options);
        QString error;
        QVERIFY2(sim->startOnPty(&error), qPrintable(error));
        QVERIFY(PrivateProfile::writeString(dir.filePath("Config.ini"), "Ports", "COM1", sim->linePath()));
    }

    void run()
    {
        ExchangeRunner runner(*engine);
        runner.setMessageHandler([this](const QString &t) { messages << t; });
        runner.run();
    }

    void versionQuery()
    {
        window.VersionQueryRequested = true;
        engine->prepareVersionQuery();
        run();
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
        window = MainWindowState();
        record = MemoryRecord();
        messages.clear();
        port = std::make_unique<TAfComPort>();
        port->setObjectName("AfComPort1");
        port->SetBaudRate(br2400);
        port->SetDTR(false);
        port->SetComNumber(1);
        engine = std::make_unique<ExchangeEngine>(window, record, usb);
        link = std::make_unique<ComPortLink>(*port, *engine);
    }
    void cleanup()
    {
        link.reset();
        engine.reset();
        port.reset();
        sim.reset();
    }

    void readFillsTheRecord()
    {
        KavrSimOptions options;
        options.state.firmware = 200;
        options.state.serialNumber = 258;
        options.state.powerOnCount = 255;
        options.state.serviceHours = 100;
        auto &b = options.state.block;
        b.fill(0xFF);
        b[0] = 0x55;
        b[1] = 9;                                   // NoRi
        b[2] = 10;                                  // MaSp: the half value
        b[8] = 0x6A;                                // TFls 600, TPas 1000
        b[16] = 4, b[17] = 4;                       // HgUp "44"
        b[18] = 30;                                 // TPtn
        b[20] = 7, b[21] = 3, b[22] = 9, b[23] = 1; // Pasw "7391"
        b[36] = 1;                                  // BlPo: removing voltage
        b[48] = 0x21, b[49] = 0xF3;                 // M007 "123"
        b[64] = 0x0A, b[65] = 0xDB;                 // M008 "0D*P" (digit 0 is code 10, D is code 0)
        startSimulator(options);
        engine->ExchangeAborted = false;
        versionQuery();
        engine->prepareRead();
        run();
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join('|')));
        QCOMPARE(record.deviceValue(DeviceValue::FirmwareVersion), QStringLiteral("2.00"));
        QCOMPARE(record.deviceValue(DeviceValue::SerN), QStringLiteral("258"));
        QCOMPARE(record.deviceValue(DeviceValue::PwOn), QStringLiteral("255"));
        QCOMPARE(record.deviceValue(DeviceValue::SvHr), QStringLiteral("100"));
        QCOMPARE(record.storedText("NoRi"), QStringLiteral("9"));
        QCOMPARE(record.storedText("MaSp"),
                 QStringLiteral("0") + QLocale().decimalPoint() + QStringLiteral("5"));
        QCOMPARE(record.storedText("TFls"), QStringLiteral("600"));
        QCOMPARE(record.storedText("TPas"), QStringLiteral("1000"));
        QCOMPARE(record.storedText("HgUp"), QStringLiteral("44"));
        QCOMPARE(record.storedText("TPtn"), QStringLiteral("30"));
        QCOMPARE(record.storedText("Pasw"), QStringLiteral("7391"));
        QCOMPARE(record.storedText("BlPo"), QStringLiteral("1"));
        QCOMPARE(record.storedText("M007"), QStringLiteral("123"));
        QCOMPARE(record.storedText("M008"), QStringLiteral("0D*P"));
        QVERIFY(port->IsOpen()); // kept open between exchanges
    }

    void writeLeavesExactlyTheBlock_data()
    {
        QTest::addColumn<int>("handshakeDelay");
        QTest::addColumn<bool>("writeOnTick");
        QTest::newRow("next byte on the handshake") << -1 << false;
        QTest::newRow("handshake 8 ms after the byte") << 8 << false;
        QTest::newRow("one byte per tick") << -1 << true;
    }
    void writeLeavesExactlyTheBlock()
    {
        QFETCH(int, handshakeDelay);
        QFETCH(bool, writeOnTick);
        KavrSimOptions options;
        options.line.handshakeDelayMs = handshakeDelay;
        window.WriteOnTick = writeOnTick;
        startSimulator(options);
        record.setStoredText("M002", "0602");
        record.setStoredText("TFls", "600");
        record.setStoredText("TPas", "1000");
        record.setStoredText("Chk7", "1");
        record.setStoredText("SeVo", "2");
        record.setDeviceValue(DeviceValue::PwOn, "0");
        engine->prepareWriteVersionQuery();
        run();
        window.WriteVersionQuery = false;
        QVERIFY(!engine->ExchangeAborted);
        engine->prepareWrite();
        run();
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join('|')));
        QCOMPARE(sim->writesCompleted(), 1);
        const QByteArray block = sim->lastWrittenBlock();
        QCOMPARE(block.size(), 128);
        QCOMPARE(quint8(block[0]), quint8(0x55));
        QCOMPARE(quint8(block[8]), quint8(0x6A));
        QCOMPARE(quint8(block[32]), quint8(2));    // SeVo
        QCOMPARE(quint8(block[44]), quint8(0x80)); // Chk7 is bit 7
        QCOMPARE(quint8(block[47]), quint8(0));    // the power-on count as shown
        QCOMPARE(block.mid(88, 8), QByteArray("\x6A\x2A\xFF\xFF\xFF\xFF\xFF\xFF", 8));
        QCOMPARE(block, DeviceCodec::buildBlock(record));
    }

    void timeOutsCountTicks_data()
    {
        QTest::addColumn<int>("timeOutRS");
        QTest::addColumn<int>("ticks");
        QTest::newRow("10 ms") << 10 << 202;
        QTest::newRow("100 ms") << 100 << 22;
    }
    void timeOutsCountTicks()
    {
        QFETCH(int, timeOutRS);
        QFETCH(int, ticks);
        KavrSimOptions options;
        options.faults.silent = true;
        startSimulator(options);
        window.TimeOutRS = timeOutRS;
        window.QuietFirstExchange = true;
        versionQuery();
        QCOMPARE(engine->IdleTicks, ticks);
        QVERIFY(engine->ExchangeAborted);
        QVERIFY(messages.isEmpty()); // the first exchange is quiet
        versionQuery();
        QCOMPARE(messages, QStringList{QStringLiteral("Chyba komunikace  ")});
    }

    void cutAnswerShowsWhatCame()
    {
        KavrSimOptions options;
        options.faults.cutAfter = 3;
        options.state.firmware = 10;
        startSimulator(options);
        versionQuery();
        QCOMPARE(messages, QStringList{QStringLiteral("Chyba komunikace  V<0A>U")});
    }

    void earlyZFailsTheWrite()
    {
        KavrSimOptions options;
        options.faults.earlyZAt = 64;
        startSimulator(options);
        engine->prepareWrite();
        run();
        QVERIFY(engine->ExchangeAborted);
        QCOMPARE(engine->WriteIndex, 64);
        QCOMPARE(messages, QStringList{QStringLiteral("Chyba komunikace  Z")});
        QCOMPARE(sim->writesCompleted(), 0);
    }

    void wrongMarkerShowsMessageOnce()
    {
        KavrSimOptions options;
        options.faults.wrongMarker = true;
        options.state.block[1] = 7; // NoRi still decoded
        startSimulator(options);
        engine->prepareRead();
        run();
        QCOMPARE(messages, QStringList{QStringLiteral("Obsah paměti není správný")});
        QCOMPARE(record.storedText("NoRi"), QStringLiteral("7"));
    }

    void portThatCannotBeOpened()
    {
        port->SetComNumber(2);
        versionQuery();
        QCOMPARE(messages, QStringList{QStringLiteral("Chybné číslo portu, prosím nastavte správné")});
        QVERIFY(!port->IsOpen());
        QVERIFY(!engine->ExchangeAborted);
    }

    void closePortClosesAfterEveryExchange()
    {
        startSimulator(KavrSimOptions());
        window.ClosePort = "1";
        versionQuery();
        QVERIFY(messages.isEmpty());
        QVERIFY(!port->IsOpen());
        engine->prepareRead();
        run();
        QVERIFY(messages.isEmpty());
        QVERIFY(!port->IsOpen());
    }

    void vanishedDeviceEndsTheExchangeAndTheNextReopens()
    {
        KavrSimOptions options;
        options.line.hangUpAfter = 40; // in the middle of the block
        startSimulator(options);
        engine->prepareRead();
        QElapsedTimer t;
        t.start();
        run();
        QVERIFY(engine->ExchangeAborted);
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages[0].startsWith(QStringLiteral("Chyba komunikace  ")));
        QVERIFY(t.elapsed() < 1500); // ended by the hang-up, not by the time limit
        QVERIFY(!port->IsOpen());
        // A fresh device on a new line: the next exchange opens the port again.
        startSimulator(KavrSimOptions());
        messages.clear();
        versionQuery();
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join('|')));
        QVERIFY(port->IsOpen());
        QCOMPARE(record.deviceValue(DeviceValue::SerN), QStringLiteral("1001"));
    }
};

QTEST_MAIN(TestExchangeSerial)
#include "tst_exchangeserial.moc"
