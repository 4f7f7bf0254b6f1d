// The Read and Write commands of the exchange service over the real cable
// backend (libftdi1) and an emulated FT232R, with the communicator simulator's
// device model behind the chip, in real time. The chip's serial line runs
// eight times faster than its 2400 baud: these rows are about the bytes, the
// pace at 2400 baud is the benchmark's.
#include "app/ExchangeTexts.h"
#include "device/DeviceCodec.h"
#include "device/ExchangeService.h"
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
    MemoryRecord record;
    std::unique_ptr<ExchangeService> service;
    QStringList messages;

    void read() { service->read(record); }
    void write() { service->write(record); }
    const ExchangeState &state() const { return service->state(); }
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
        speedUpLine(cable, 8);
        record = MemoryRecord();
        messages.clear();
        D2xx::setBackend(std::make_shared<LibFtdiD2xx>());
        service = std::make_unique<ExchangeService>();
        service->setUsbSelected(true);
        connect(service.get(), &ExchangeService::noticeRequested, this,
                [this](ExchangeNotice notice, const QByteArray &received) {
                    messages << ExchangeTexts::noticeText(notice, received);
                });
    }
    void cleanup()
    {
        service.reset();
        D2xx::setBackend(nullptr);
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
        ExchangeOptions options;
        options.WriteOnTick = writeOnTick;
        service->setOptions(options);
        read();
        QVERIFY(messages.isEmpty());
        QVERIFY(!state().ExchangeAborted);
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
        QVERIFY(!state().ExchangeAborted);
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
        QVERIFY(state().ExchangeAborted);
        QVERIFY(!service->busy());
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].startsWith(communicationError()), qPrintable(messages[0]));
        QCOMPARE(device().writesCompleted(), 0);
        if (!duringWrite)
            QCOMPARE(record.storedText("M001"), QString()); // the cut block changed nothing

        // Still unplugged: the next command says so at once.
        messages.clear();
        read();
        QCOMPARE(messages, QStringList{communicationError()});
        QCOMPARE(service->usb().UsbState, UsbLink::StateClosed);
        QVERIFY(record.storedText("M001").isEmpty());

        // Plugging back in takes the technician longer than the communicator
        // takes to give up the half-done command.
        bus->communicator->quietFor(std::chrono::milliseconds(ModelFarEnd::AbandonAfterMs));
        replug(cable);
        messages.clear();
        read();
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join('|')));
        QVERIFY(!state().ExchangeAborted);
        QCOMPARE(record.storedText("M001"), QStringLiteral("0602"));
    }
};

QTEST_MAIN(TestExchangeEmulated)
#include "tst_exchange_emulated.moc"
