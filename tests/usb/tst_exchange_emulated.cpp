// Whole exchanges of the program's exchange engine over the real cable
// backend (libftdi1) and an emulated FT232R, with the communicator simulator's
// device model behind the chip.
#include "app/MainWindowState.h"
#include "device/DeviceCodec.h"
#include "device/ExchangeEngine.h"
#include "device/ExchangeRunner.h"
#include "device/UsbLink.h"
#include "lang/LanguageTexts.h"
#include "platform/D2xxLibFtdi.h"
#include "settings/MemoryRecord.h"
#include "usb_helper.h"

#include <QtTest>

using namespace EmulatedFtdi;

class TestExchangeEmulated : public QObject
{
    Q_OBJECT

    std::unique_ptr<EmulatedBus> bus;
    int cable = 0;
    MainWindowState window;
    MemoryRecord record;
    std::unique_ptr<UsbLink> usb;
    std::unique_ptr<ExchangeEngine> engine;
    QStringList messages;

    void run()
    {
        ExchangeRunner runner(*engine);
        runner.setMessageHandler([this](const QString &t) { messages << t; });
        runner.run();
    }
    // Each command opens the cable afresh first and stops when it is not there.
    bool cableReady()
    {
        usb->open();
        if (usb->UsbState == UsbLink::StateClosed)
            messages << communicationError();
        return usb->UsbState == UsbLink::StateOpen;
    }
    // The Read command's two exchanges.
    void read()
    {
        if (!cableReady())
            return;
        engine->ExchangeAborted = false;
        window.VersionQueryRequested = true;
        engine->prepareVersionQuery();
        run();
        engine->prepareRead();
        run();
    }
    // The Write command's two exchanges.
    void write()
    {
        if (!cableReady())
            return;
        engine->prepareWriteVersionQuery();
        run();
        window.WriteVersionQuery = false;
        if (engine->ExchangeAborted)
            return;
        engine->prepareWrite();
        run();
    }
    KavrDeviceModel &device() { return bus->communicator->model; }
    QString communicationError() const { return LanguageTexts::text(QStringLiteral("MESSAGE"), 35); }

  private slots:
    void initTestCase()
    {
        QVERIFY2(emulatedUsbLoaded(), "the test must run against the emulated USB library");
    }

    void init()
    {
        bus = std::make_unique<EmulatedBus>();
        plug({"FT5R2K9A", true, Ft232rProductId}); // another converter on the bus
        KavrDeviceState state = KavrDeviceModel::initialState();
        state.firmware = 121;
        state.serialNumber = 0x0BCD;
        state.block[1] = 4;                             // NoRi
        state.block[80] = 0x6A, state.block[81] = 0x2A; // M001 "0602"
        cable = bus->plugCommunicator(state);
        window = MainWindowState();
        record = MemoryRecord();
        messages.clear();
        usb = std::make_unique<UsbLink>(std::make_shared<LibFtdiD2xx>());
        engine = std::make_unique<ExchangeEngine>(window, record, *usb);
        engine->setUsbSelected(true);
    }
    void cleanup()
    {
        engine.reset();
        usb.reset();
        bus.reset();
    }

    // Paced by each "D" as it comes, or one byte a tick as [Setup]
    // WriteOnTick=1 asks.
    void readAndWriteAreByteExact_data()
    {
        QTest::addColumn<bool>("writeOnTick");
        QTest::newRow("byte on each handshake") << false;
        QTest::newRow("byte on each tick") << true;
    }
    void readAndWriteAreByteExact()
    {
        QFETCH(bool, writeOnTick);
        window.WriteOnTick = writeOnTick;
        read();
        QVERIFY(messages.isEmpty());
        QVERIFY(!engine->ExchangeAborted);
        QCOMPARE(record.deviceValue(DeviceValue::FirmwareVersion), QStringLiteral("1.21"));
        QCOMPARE(record.deviceValue(DeviceValue::SerN), QString::number(0x0BCD));
        QCOMPARE(record.storedText("NoRi"), QStringLiteral("4"));
        QCOMPARE(record.storedText("M001"), QStringLiteral("0602"));
        QCOMPARE(DeviceCodec::buildBlock(record), device().blockForRead());

        record.setStoredText("M002", "112*#");
        record.setStoredText("TTon", "150");
        record.setDeviceValue(DeviceValue::SvHr, "100");
        write();
        QVERIFY(messages.isEmpty());
        QVERIFY(!engine->ExchangeAborted);
        QCOMPARE(device().writesCompleted(), 1);
        QCOMPARE(device().lastWrittenBlock(), DeviceCodec::buildBlock(record));
        QCOMPARE(counters(cable).garbled, 0L);
    }

    // The cable pulled out while the answer comes in or while the block goes
    // out: the communication error, and the program goes on; plugged back in,
    // the next exchange works.
    void unplugThenReplug_data()
    {
        QTest::addColumn<bool>("duringWrite");
        QTest::addColumn<long>("toHost");
        QTest::addColumn<long>("fromHost");
        QTest::newRow("mid-read") << false << 10L + 40 << -1L;
        QTest::newRow("mid-write") << true << -1L << 3L + 60;
    }
    void unplugThenReplug()
    {
        QFETCH(bool, duringWrite);
        QFETCH(long, toHost);
        QFETCH(long, fromHost);
        unplugAfter(cable, toHost, fromHost);
        if (duringWrite)
            write();
        else
            read();
        QVERIFY(engine->ExchangeAborted);
        QVERIFY(!engine->running());
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].startsWith(communicationError()), qPrintable(messages[0]));
        QCOMPARE(device().writesCompleted(), 0);
        if (!duringWrite)
            QCOMPARE(record.storedText("M001"), QString()); // the cut block changed nothing

        // Still unplugged: the next command says so at once.
        messages.clear();
        read();
        QCOMPARE(messages, QStringList{communicationError()});
        QCOMPARE(usb->UsbState, UsbLink::StateClosed);
        QVERIFY(record.storedText("M001").isEmpty());

        // Plugging back in takes the technician longer than the communicator
        // takes to give up the half-done command.
        QTest::qWait(ModelFarEnd::AbandonAfterMs + 100);
        replug(cable);
        messages.clear();
        read();
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join('|')));
        QVERIFY(!engine->ExchangeAborted);
        QCOMPARE(record.storedText("M001"), QStringLiteral("0602"));
    }
};

QTEST_MAIN(TestExchangeEmulated)
#include "tst_exchange_emulated.moc"
