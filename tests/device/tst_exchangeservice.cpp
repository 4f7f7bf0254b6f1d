// The exchange service's logic on both transports, on a virtual clock: the
// communicator's device model at the far end of a line paced in virtual time,
// the serial port played over it, the real cable code over the simulated
// converter. Time limits, pacing, faults and the commands' sequences, with no
// real-time waiting.
#include "device/DeviceCodec.h"
#include "device/ExchangeService.h"
#include "device/ReadableBytes.h"
#include "device/UsbLink.h"
#include "exchange_helper.h"
#include "history/DeviceHistory.h"
#include "settings/MemoryRecord.h"
#include "settings/SettingsFile.h"

#include <QElapsedTimer>
#include <QMessageBox>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

namespace
{
const QString CommunicationError = QStringLiteral("Chyba komunikace  ");

// A block with values from its start to its end.
std::array<std::uint8_t, 128> handBlock()
{
    std::array<std::uint8_t, 128> b;
    b.fill(0xFF);
    b[0] = 0x55;
    b[1] = 9;                   // NoRi
    b[2] = 10;                  // MaSp: the half value
    b[64] = 0x0A, b[65] = 0xDB; // M008 "0D*P" (digit 0 is code 10, D is code 0)
    b[80] = 0x6A, b[81] = 0x2A; // M001 "0602"
    return b;
}

} // namespace

class TestExchangeService : public QObject
{
    Q_OBJECT

    std::unique_ptr<VirtualWorld> w;
    MemoryRecord record;

    VirtualWorld &world(bool usb, const KavrSimOptions &options = {}, const ExchangeOptions &exchange = {})
    {
        w.reset();
        w = std::make_unique<VirtualWorld>(usb, options);
        w->service.setOptions(exchange);
        w->openLink();
        return *w;
    }
    static void transports()
    {
        QTest::addColumn<bool>("usb");
        QTest::newRow("serial") << false;
        QTest::newRow("usb") << true;
    }
    // The state as it stands after the last exchange.
    const ExchangeState &state() const { return w->service.state(); }
    double elapsedMs(qint64 since) const { return (w->clock.now() - since) / 1000.0; }

  private slots:
    void init() { record = MemoryRecord(); }
    void cleanup()
    {
        if (w)
            QVERIFY2(!w->clock.gaveUp, "an exchange never ended");
        w.reset();
    }

    void readFillsTheRecord_data() { transports(); }
    void readFillsTheRecord()
    {
        QFETCH(bool, usb);
        KavrSimOptions o;
        o.state.firmware = 115;
        o.state.serialNumber = 0x1234;
        o.state.powerOnCount = 255;
        o.state.serviceHours = 100;
        o.state.block = handBlock();
        world(usb, o);
        record.setStoredText("PoBt", "0");
        QCOMPARE(w->service.read(record), ExchangeResult::Done);
        QVERIFY2(w->messages.isEmpty(), qPrintable(w->messages.join('|')));
        QCOMPARE(w->sentByHost(), QByteArray("VRP"));
        QCOMPARE(record.deviceValue(DeviceValue::FirmwareVersion), QStringLiteral("1.15"));
        QCOMPARE(record.deviceValue(DeviceValue::SerN), QStringLiteral("4660"));
        // The counters of the read block are the device's own.
        QCOMPARE(record.deviceValue(DeviceValue::PwOn), QStringLiteral("255"));
        QCOMPARE(record.deviceValue(DeviceValue::SvHr), QStringLiteral("100"));
        // The fields themselves are the codec's; these show the block came whole.
        const QStringList expected{"NoRi=9", "MaSp=0" + QLocale().decimalPoint() + "5", "M008=0D*P",
                                   "M001=0602", "M002=",
                                   // 1.15 has no button polarity: held at its fixed value.
                                   "PoBt=1"};
        for (const QString &e : expected) {
            const QString key = e.section('=', 0, 0);
            QCOMPARE(key + '=' + record.storedText(key), e);
        }
        QVERIFY(!record.polarityOptionsEnabled());
        QVERIFY(!state().ExchangeAborted);
    }

    void writeLeavesExactlyTheBlock_data()
    {
        QTest::addColumn<bool>("usb");
        QTest::addColumn<int>("handshakeDelay");
        QTest::addColumn<bool>("writeOnTick");
        for (const bool usb : {false, true}) {
            const char *t = usb ? "usb" : "serial";
            QTest::addRow("%s: next byte on the handshake", t) << usb << -1 << false;
            QTest::addRow("%s: handshake 8 ms after the byte", t) << usb << 8 << false;
            QTest::addRow("%s: one byte per tick", t) << usb << -1 << true;
        }
    }
    void writeLeavesExactlyTheBlock()
    {
        QFETCH(bool, usb);
        QFETCH(int, handshakeDelay);
        QFETCH(bool, writeOnTick);
        KavrSimOptions o;
        o.line.handshakeDelayMs = handshakeDelay;
        ExchangeOptions eo;
        eo.WriteOnTick = writeOnTick;
        world(usb, o, eo);
        // A write without verification keeps nothing in the history.
        QTemporaryDir folder;
        DeviceHistory history(folder.path());
        w->service.setHistory(&history);
        record.setStoredText("M001", "0602");
        record.setStoredText("TTon", "150");
        record.setDeviceValue(DeviceValue::SvHr, "100");
        record.setDeviceValue(DeviceValue::PwOn, "0");

        DeviceCodec::DeviceCounters offered;
        qint64 writeStart = 0;
        const ExchangeResult result =
            w->service.write(record, [&](const DeviceCodec::DeviceCounters &device, SettingsRecord &) {
                offered = device;
                writeStart = w->clock.now();
                return true;
            });
        QCOMPARE(result, ExchangeResult::Done);
        QVERIFY2(w->messages.isEmpty(), qPrintable(w->messages.join('|')));
        // The write's version query keeps the device's counters out of the record.
        QCOMPARE(offered.serviceHours, QStringLiteral("72"));
        QCOMPARE(offered.powerOnCount, QStringLiteral("0"));
        QCOMPARE(record.deviceValue(DeviceValue::SvHr), QStringLiteral("100"));

        QCOMPARE(w->device.model().writesCompleted(), 1);
        const QByteArray block = w->device.model().lastWrittenBlock();
        QCOMPARE(block, DeviceCodec::buildBlock(record));
        QCOMPARE(w->sentByHost(), QByteArray("VWP") + block);
        QCOMPARE(w->device.model().state().serviceHours, 100);
        QVERIFY(history.entries().isEmpty());
        QCOMPARE(state().WriteIndex, 128);
        QCOMPARE(w->service.progress(), 127); // one step per handshake

        // Each handshake answered at once: the write keeps within a tenth of
        // what its bytes, turnarounds and handshakes need on the line.
        const double byteMs = 10 * 1000.0 / 2400;
        const double perByte = 2 * byteMs + (handshakeDelay >= 0 ? handshakeDelay : 5);
        const double lineMs = 128 * perByte + 2 * byteMs;
        if (!writeOnTick) {
            QVERIFY2(elapsedMs(writeStart) < 1.1 * lineMs,
                     qPrintable(QStringLiteral("%1 ms for %2 ms").arg(elapsedMs(writeStart)).arg(lineMs)));
        } else {
            // One byte a poll tick: each handshake cycle waits for the next
            // whole tick after it.
            const int tick = usb ? 5 : 10;
            const double ticked = 128 * tick * std::ceil(perByte / tick);
            QVERIFY2(elapsedMs(writeStart) > 0.95 * ticked,
                     qPrintable(QStringLiteral("%1 ms for %2 ms").arg(elapsedMs(writeStart)).arg(ticked)));
        }
    }

    void timeOutComesAtTheRightTick_data()
    {
        QTest::addColumn<bool>("usb");
        QTest::addColumn<int>("timeOutRS");
        QTest::addColumn<int>("ticks");
        QTest::newRow("serial 10 ms") << false << 10 << 202;
        QTest::newRow("serial 100 ms") << false << 100 << 22;
        QTest::newRow("serial 0 falls back to 10 ms") << false << 0 << 202;
        QTest::newRow("serial negative falls back") << false << -5 << 202;
        QTest::newRow("serial absurd falls back") << false << 100000 << 202;
        QTest::newRow("usb, whatever TimeOutRS says") << true << 100 << 151;
    }
    void timeOutComesAtTheRightTick()
    {
        QFETCH(bool, usb);
        QFETCH(int, timeOutRS);
        QFETCH(int, ticks);
        KavrSimOptions o;
        o.faults.silent = true;
        ExchangeOptions eo;
        eo.TimeOutRS = timeOutRS;
        world(usb, o, eo);
        // The first exchange is quiet, the next one says so.
        w->service.setQuietFirstExchange();
        QCOMPARE(w->service.versionQuery(record), ExchangeResult::NoAnswer);
        QCOMPARE(state().IdleTicks, ticks);
        QCOMPARE(w->clock.ticks(ExchangeClock::Poll), ticks);
        QVERIFY(state().ExchangeAborted);
        QVERIFY(w->messages.isEmpty());
        QVERIFY(!state().QuietFirstExchange);
        w->openLink();
        QCOMPARE(w->service.versionQuery(record), ExchangeResult::NoAnswer);
        QCOMPARE(w->messages, QStringList{CommunicationError});
        if (usb)
            QVERIFY(!w->service.usb().UsbDevice); // released after the failure
    }

    void versionQueryInTwoParts()
    {
        KavrSimOptions o;
        o.line.ftdiLatencyMs = 28; // the answer comes as 4 bytes, then 6
        o.state.firmware = 23;
        world(false, o);
        QList<int> progress;
        connect(&w->service, &ExchangeService::progressChanged, this, [&](int v) { progress << v; });
        QCOMPARE(w->service.versionQuery(record), ExchangeResult::Done);
        QCOMPARE(progress, (QList<int>{0, 2, 62}));
        QCOMPARE(record.deviceValue(DeviceValue::FirmwareVersion), QStringLiteral("2.3"));
    }

    // An answer that stops part-way, comes garbled (the right length, its
    // letters not in their places) or that the converter stops giving is no
    // answer: the message shows what came (the cable what it read last), the
    // record keeps all it had.
    void brokenAnswerLeavesTheRecord_data()
    {
        QTest::addColumn<bool>("usb");
        QTest::addColumn<bool>("block");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("message");
        const int noAnswer = int(ExchangeResult::NoAnswer);
        const QString garbled = CommunicationError + "V<14>X<07>N<01><02>S<05><01>";
        QTest::newRow("serial status cut")
            << false << false << "cut" << noAnswer << CommunicationError + "V<0A>U";
        QTest::newRow("serial block cut")
            << false << true << "cut" << noAnswer << CommunicationError + "U<09><0A>";
        QTest::newRow("usb status cut") << true << false << "cut" << noAnswer << CommunicationError;
        QTest::newRow("usb block cut") << true << true << "cut" << noAnswer << CommunicationError;
        QTest::newRow("serial status garbled") << false << false << "garbled" << noAnswer << garbled;
        QTest::newRow("usb status garbled") << true << false << "garbled" << noAnswer << garbled;
        QTest::newRow("usb reads fail part-way")
            << true << false << "reads fail" << int(ExchangeResult::CutShort)
            << CommunicationError + "V<0A>U<00>";
    }
    void brokenAnswerLeavesTheRecord()
    {
        QFETCH(bool, usb);
        QFETCH(bool, block);
        QFETCH(QString, fault);
        QFETCH(int, result);
        QFETCH(QString, message);
        KavrSimOptions o;
        o.faults.cutAfter = fault == "cut" ? 3 : -1;
        o.state.firmware = 10;
        o.state.block[1] = 9;
        o.state.block[2] = 10;
        world(usb, o);
        if (fault == "garbled")
            w->device.mangle = [](int, const QByteArray &a) {
                return a.size() == 10 ? QByteArray("V\x14X\x07N\x01\x02S\x05\x01", 10) : a;
            };
        int reads = 0;
        if (fault == "reads fail")
            w->cable->setAfterRead([&] {
                if (++reads == 4)
                    w->cable->setReadsFail(true);
            });
        record.setStoredText("NoRi", "5");
        record.setDeviceValue(DeviceValue::SerN, "77");
        record.setDeviceValue(DeviceValue::FirmwareVersion, "9.99");
        const ExchangeResult r = block ? w->service.readBlock(record) : w->service.versionQuery(record);
        QCOMPARE(int(r), result);
        QCOMPARE(w->messages, QStringList{message});
        QVERIFY(state().ExchangeAborted);
        QCOMPARE(record.storedText("NoRi"), QStringLiteral("5"));
        QCOMPARE(record.deviceValue(DeviceValue::SerN), QStringLiteral("77"));
        QCOMPARE(record.deviceValue(DeviceValue::FirmwareVersion), QStringLiteral("9.99"));
        if (usb)
            QVERIFY(!w->service.usb().UsbDevice); // released after the failure
    }

    // The serial port announces counts; an answer is taken only when the
    // count is exactly its length and what is read is exactly that much.
    void answerTakenOnlyWhole_data()
    {
        QTest::addColumn<bool>("block");
        QTest::addColumn<QByteArray>("waiting");
        QTest::addColumn<int>("announced");
        QTest::addColumn<int>("ticks");
        QTest::addColumn<int>("result");
        QTest::newRow("status: more than told") << false << QByteArray("V\x17U\x07N\x01\x02S\x05\x01VV", 12)
                                                << 10 << 0 << int(ExchangeResult::Overlong);
        QTest::newRow("block: fewer than told")
            << true << QByteArray("U\x03\x0B", 3) << 128 << 0 << int(ExchangeResult::CutShort);
        QTest::newRow("block: cut short, then silence")
            << true << QByteArray("U\x03\x0B", 3).leftJustified(100, '\x0B') << 100 << 202
            << int(ExchangeResult::NoAnswer);
    }
    void answerTakenOnlyWhole()
    {
        QFETCH(bool, block);
        QFETCH(QByteArray, waiting);
        QFETCH(int, announced);
        QFETCH(int, ticks);
        QFETCH(int, result);
        KavrSimOptions o;
        o.faults.silent = true;
        world(false, o);
        record.setStoredText("NoRi", "5");
        record.setDeviceValue(DeviceValue::SerN, "77");
        bool delivered = false;
        w->clock.onStep = [&] {
            if (!delivered && w->clock.now() > 0) {
                delivered = true;
                w->serial.announce(waiting, announced);
            }
        };
        const ExchangeResult r = block ? w->service.readBlock(record) : w->service.versionQuery(record);
        QCOMPARE(int(r), result);
        QCOMPARE(state().IdleTicks, ticks);
        QVERIFY(state().ExchangeAborted);
        QCOMPARE(w->messages.size(), 1);
        QVERIFY(w->messages[0].startsWith(CommunicationError));
        QCOMPARE(record.storedText("NoRi"), QStringLiteral("5"));
        QCOMPARE(record.deviceValue(DeviceValue::SerN), QStringLiteral("77"));
    }

    // One stray byte on the line inside an answer, or right behind its last
    // byte: the answer came longer than it is, so none of it counts, as for
    // one cut short. A read keeps nothing, a write stops after its query.
    void strayByteSpoilsTheAnswer_data()
    {
        QTest::addColumn<bool>("usb");
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("strayAfter");
        QTest::addColumn<int>("result");
        const int overlong = int(ExchangeResult::Overlong);
        for (const bool usb : {false, true}) {
            const char *t = usb ? "usb" : "serial";
            QTest::addRow("%s: status, after byte 9", t) << usb << "status" << 9 << overlong;
            QTest::addRow("%s: status, behind its last byte", t) << usb << "status" << 10 << overlong;
            QTest::addRow("%s: block, behind its last byte", t) << usb << "block" << 128 << overlong;
            QTest::addRow("%s: read, after byte 9 of both", t) << usb << "read" << 9 << overlong;
            // The status answer of a read is taken as soon as it is whole: the
            // byte behind it, or its last real one, comes in front of the block.
            QTest::addRow("%s: read, behind the status answer only", t)
                << usb << "read once" << 10 << overlong;
            QTest::addRow("%s: read, after byte 9 of the status answer only", t)
                << usb << "read once" << 9 << overlong;
            QTest::addRow("%s: write", t) << usb << "write" << 9 << overlong;
        }
    }
    void strayByteSpoilsTheAnswer()
    {
        QFETCH(bool, usb);
        QFETCH(QString, command);
        QFETCH(int, strayAfter);
        QFETCH(int, result);
        KavrSimOptions o;
        o.faults.strayAfter = strayAfter;
        o.faults.strayOnce = command.endsWith(" once");
        o.state.block[1] = 9;
        world(usb, o);
        QTemporaryDir folder;
        DeviceHistory history(folder.path());
        w->service.setHistory(&history);
        record.setStoredText("NoRi", "5");
        record.setDeviceValue(DeviceValue::SerN, "77");
        record.setDeviceValue(DeviceValue::SvHr, "1");
        ExchangeResult r = ExchangeResult::Done;
        if (command == "status")
            r = w->service.versionQuery(record);
        else if (command == "block")
            r = w->service.readBlock(record);
        else if (command.startsWith("read"))
            r = w->service.read(record);
        else
            r = w->service.write(record,
                                 [](const DeviceCodec::DeviceCounters &, SettingsRecord &) { return true; });
        QCOMPARE(int(r), result);
        QVERIFY(!w->messages.isEmpty());
        for (const QString &m : std::as_const(w->messages))
            QVERIFY2(m.startsWith(CommunicationError), qPrintable(m));
        QVERIFY(state().ExchangeAborted || r == ExchangeResult::Aborted);
        QCOMPARE(record.storedText("NoRi"), QStringLiteral("5"));
        QCOMPARE(record.deviceValue(DeviceValue::SerN), QStringLiteral("77"));
        QCOMPARE(record.deviceValue(DeviceValue::SvHr), QStringLiteral("1"));
        QVERIFY(history.entries().isEmpty());
        QCOMPARE(w->device.model().writesCompleted(), 0);
        if (command == "write")
            QCOMPARE(w->sentByHost(), QByteArray("V"));
    }

    void wrongMarkerIsDecodedAndSaidOnce_data() { transports(); }
    void wrongMarkerIsDecodedAndSaidOnce()
    {
        QFETCH(bool, usb);
        KavrSimOptions o;
        o.faults.wrongMarker = true;
        o.state.block[1] = 7; // NoRi still decoded
        world(usb, o);
        QCOMPARE(w->service.readBlock(record), ExchangeResult::WrongMarker);
        QCOMPARE(w->messages, QStringList{QStringLiteral("Obsah paměti není správný")});
        QCOMPARE(record.storedText("NoRi"), QStringLiteral("7"));
        QVERIFY(!state().ExchangeAborted);
    }

    void portThatCannotOpen()
    {
        world(false);
        w->serial.failOpen = true;
        QCOMPARE(w->service.versionQuery(record), ExchangeResult::NotOpenable);
        QCOMPARE(w->clock.ticks(ExchangeClock::Poll), 1); // closes at the first tick
        QVERIFY(state().PortOpenFailed);
        QVERIFY(!state().ExchangeAborted);
        // The Read command says it once and does not try the block.
        w->messages.clear();
        QCOMPARE(w->service.read(record), ExchangeResult::NotOpenable);
        QCOMPARE(w->messages, QStringList{QStringLiteral("Chybné číslo portu, prosím nastavte správné")});
        QVERIFY(w->sentByHost().isEmpty());
    }

    // A command with the cable selected opens it anew; without it there is
    // nothing to exchange: "Chyba komunikace" and nothing more. A query the
    // timer runs finds no cable and ends without a word.
    void cableNotThere()
    {
        world(true);
        w->cable->setPlugged(false);
        QCOMPARE(w->service.read(record), ExchangeResult::NotOpenable);
        QCOMPARE(w->messages, QStringList{QStringLiteral("Chyba komunikace")});
        QCOMPARE(w->service.write(record), ExchangeResult::NotOpenable);
        QCOMPARE(w->service.usb().statusText(), QStringLiteral("USB:--"));
        w->messages.clear();
        QCOMPARE(w->service.versionQuery(record), ExchangeResult::Aborted);
        QVERIFY(w->messages.isEmpty());
        QVERIFY(!state().ExchangeAborted);
        QVERIFY(w->sentByHost().isEmpty());
        // Plugged in again, the next command finds it.
        w->cable->setPlugged(true);
        QCOMPARE(w->service.read(record), ExchangeResult::Done);
        QCOMPARE(w->service.usb().statusText(), QStringLiteral("USB:OK"));
    }

    void cableSetUpWaitsOnTheClock()
    {
        world(true);
        // Opened by the command: a first attempt's two waits of 20 ms.
        QCOMPARE(w->clock.pauses, (QList<int>{20, 20}));
        QCOMPARE(w->service.versionQuery(record), ExchangeResult::Done);
        QCOMPARE(w->clock.pauses, (QList<int>{20, 20}));
    }

    void closePortAfterEachExchange_data()
    {
        QTest::addColumn<QString>("closePort");
        QTest::addColumn<int>("closes");
        QTest::newRow("1 closes") << "1" << 2;
        QTest::newRow("0 keeps") << "0" << 0;
        QTest::newRow("other text keeps") << "yes" << 0;
    }
    void closePortAfterEachExchange()
    {
        QFETCH(QString, closePort);
        QFETCH(int, closes);
        ExchangeOptions eo;
        eo.ClosePort = closePort;
        world(false, {}, eo);
        QCOMPARE(w->service.versionQuery(record), ExchangeResult::Done);
        w->device.mangle = [](int, const QByteArray &) { return QByteArray(); }; // silent from now
        QCOMPARE(w->service.versionQuery(record), ExchangeResult::NoAnswer);
        QCOMPARE(w->serial.closes, closes);
        QCOMPARE(w->serial.opens, closes == 0 ? 1 : 2);
    }

    // A write whose data byte `byte` (1 = the marker) gets `answer` instead
    // of its handshake: only "Z" after the last byte ends it well.
    void writeEndsOnlyWithZAfterTheLastByte_data()
    {
        QTest::addColumn<bool>("usb");
        QTest::addColumn<int>("byte");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("done");
        for (const bool usb : {false, true}) {
            const char *t = usb ? "usb" : "serial";
            QTest::addRow("%s: Z after the marker", t) << usb << 1 << QByteArray("Z") << false;
            QTest::addRow("%s: Z after byte 64", t) << usb << 64 << QByteArray("Z") << false;
            QTest::addRow("%s: Z after byte 127", t) << usb << 127 << QByteArray("Z") << false;
            QTest::addRow("%s: stray byte at 10", t) << usb << 10 << QByteArray("X") << false;
            QTest::addRow("%s: Z after byte 128", t) << usb << 128 << QByteArray("Z") << true;
            // A "D" after the last byte sends nothing more; the write waits for "Z".
            QTest::addRow("%s: DZ after byte 128", t) << usb << 128 << QByteArray("DZ") << true;
        }
    }
    void writeEndsOnlyWithZAfterTheLastByte()
    {
        QFETCH(bool, usb);
        QFETCH(int, byte);
        QFETCH(QByteArray, answer);
        QFETCH(bool, done);
        world(usb);
        w->device.mangle = [&](int dataByte, const QByteArray &a) { return dataByte == byte ? answer : a; };
        QCOMPARE(w->service.writeBlock(record), done ? ExchangeResult::Done : ExchangeResult::CutShort);
        QCOMPARE(state().ExchangeAborted, !done);
        QCOMPARE(w->messages, done ? QStringList() : QStringList{CommunicationError + answer});
        QCOMPARE(w->sentByHost().size(), 2 + byte); // nothing sent after the answer
    }

    // The time limit of a write counts from the last handshake.
    void handshakeResetsTheTimeLimit_data()
    {
        QTest::addColumn<bool>("usb");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<bool>("done");
        QTest::newRow("serial: 1.9 s late") << false << 1900 << true;
        QTest::newRow("serial: 2.1 s late") << false << 2100 << false;
        QTest::newRow("usb: 0.7 s late") << true << 700 << true;
        QTest::newRow("usb: 0.8 s late") << true << 800 << false;
    }
    void handshakeResetsTheTimeLimit()
    {
        QFETCH(bool, usb);
        QFETCH(int, delayMs);
        QFETCH(bool, done);
        KavrSimOptions o;
        o.line.abandonAfterMs = 10000; // the device waits for the late bytes
        world(usb, o);
        w->device.delayMs = [&](int dataByte) { return dataByte % 40 == 0 ? delayMs : -1; };
        const qint64 start = w->clock.now();
        QCOMPARE(w->service.writeBlock(record), done ? ExchangeResult::Done : ExchangeResult::NoAnswer);
        if (done)
            QVERIFY(elapsedMs(start) > 3 * delayMs); // three late handshakes, each within its own limit
        else
            QCOMPARE(state().WriteIndex, 40);
    }

    // The device drops the line in the middle of the block: the exchange ends
    // at once, not at its time limit; the next command starts afresh.
    void vanishedDeviceEndsTheExchange_data() { transports(); }
    void vanishedDeviceEndsTheExchange()
    {
        QFETCH(bool, usb);
        KavrSimOptions o;
        o.line.hangUpAfter = 40;
        world(usb, o);
        record.setStoredText("NoRi", "5");
        const qint64 start = w->clock.now();
        const ExchangeResult r = w->service.readBlock(record);
        QVERIFY(r == ExchangeResult::Aborted || r == ExchangeResult::NoAnswer);
        QVERIFY(state().ExchangeAborted);
        QCOMPARE(w->messages.size(), 1);
        QVERIFY(w->messages[0].startsWith(CommunicationError));
        QCOMPARE(record.storedText("NoRi"), QStringLiteral("5"));
        if (!usb) {
            QVERIFY(elapsedMs(start) < 400); // by the hang-up, not the time limit
            QVERIFY(!w->serial.isOpen());
        } else {
            QVERIFY(!w->service.usb().UsbDevice);
        }
        // Back on the line: the next command opens it again.
        w->device.reconnect();
        if (usb)
            w->cable->setPlugged(true);
        w->messages.clear();
        QCOMPARE(w->service.read(record), ExchangeResult::Done);
        QVERIFY(w->messages.isEmpty());
        if (!usb)
            QCOMPARE(w->serial.opens, 2);
    }

    // A byte that does not go out ends the exchange with the message; a
    // write whose version query failed so stops there.
    void failedSendEndsTheExchange_data()
    {
        QTest::addColumn<bool>("usb");
        QTest::addColumn<bool>("inTheBlock");
        for (const bool usb : {false, true}) {
            const char *t = usb ? "usb" : "serial";
            QTest::addRow("%s: command byte of the version query", t) << usb << false;
            QTest::addRow("%s: data byte in the middle of the block", t) << usb << true;
        }
    }
    void failedSendEndsTheExchange()
    {
        QFETCH(bool, usb);
        QFETCH(bool, inTheBlock);
        world(usb);
        const auto failSends = [this] {
            w->serial.sendFails = true;
            w->cable->setWritesFail(true);
        };
        if (inTheBlock)
            w->device.mangle = [&](int dataByte, const QByteArray &a) {
                if (dataByte == 50)
                    failSends();
                return a;
            };
        else
            failSends();
        const ExchangeResult r = w->service.write(record);
        QCOMPARE(r, ExchangeResult::Aborted);
        QVERIFY(state().ExchangeAborted);
        QCOMPARE(w->messages.size(), 1);
        QVERIFY2(w->messages[0].startsWith(CommunicationError), qPrintable(w->messages[0]));
        if (inTheBlock)
            QCOMPARE(state().WriteIndex, 51);
        else
            QVERIFY(w->sentByHost().isEmpty()); // the write never began
        QCOMPARE(w->device.model().writesCompleted(), 0);
        if (usb)
            QVERIFY(!w->service.usb().UsbDevice); // released
    }

    void floodKeepsTheMessageOnScreen()
    {
        KavrSimOptions o;
        o.faults.silent = true;
        world(false, o);
        QByteArray flood;
        for (int i = 0; i < 10000; ++i)
            flood.append(char(i * 7));
        // Pours in unannounced while the query waits; the time-out shows it.
        bool poured = false;
        w->clock.onStep = [&] {
            if (!poured && w->clock.now() > 0) {
                poured = true;
                w->serial.announce(flood, -1);
            }
        };
        QCOMPARE(w->service.versionQuery(record), ExchangeResult::NoAnswer);
        QCOMPARE(w->messages.size(), 1);
        const QString text = w->messages[0];
        // The end of what came, marked as cut.
        QVERIFY(text.startsWith(CommunicationError + QStringLiteral("\u2026")));
        QVERIFY(text.endsWith(readableBytes(flood.right(4))));
        QVERIFY(!text.contains(readableBytes(flood.right(65).left(4))));
        QMessageBox box(QMessageBox::NoIcon, QString(), text, QMessageBox::Ok);
        const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
        const QSize shown = box.sizeHint();
        QVERIFY2(shown.width() < screen.width() && shown.height() < screen.height(),
                 qPrintable(QStringLiteral("%1x%2").arg(shown.width()).arg(shown.height())));
        QCOMPARE(readableBytes(QByteArray("V\x00\x7f\xffU", 5)),
                 QStringLiteral("V<00><7F><FF>U"));
    }

    // The Write command: checked before anything goes, the counters put to
    // whoever runs it, checked again, then the block.
    void writeCommand_data()
    {
        QTest::addColumn<bool>("usb");
        QTest::addColumn<QString>("tone"); // TTon in the record
        QTest::addColumn<bool>("silent");  // the version query gets no answer
        QTest::addColumn<int>("confirm");  // 0 closes, 1 keeps, 2 takes 12/300, 3 takes 99999 hours
        QTest::addColumn<int>("result");
        QTest::addColumn<QByteArray>("sent"); // what the host sent before the block
        for (const bool usb : {false, true}) {
            const char *t = usb ? "usb" : "serial";
            QTest::addRow("%s: refused before the line", t)
                << usb << "990" << false << 1 << int(ExchangeResult::Refused) << QByteArray();
            QTest::addRow("%s: no answer to the query", t)
                << usb << "150" << true << 1 << int(ExchangeResult::NoAnswer) << QByteArray("V");
            QTest::addRow("%s: confirmation closed", t)
                << usb << "150" << false << 0 << int(ExchangeResult::Cancelled) << QByteArray("V");
            QTest::addRow("%s: counters changed", t)
                << usb << "150" << false << 2 << int(ExchangeResult::Done) << QByteArray("VWP");
            QTest::addRow("%s: changed to what cannot go", t)
                << usb << "150" << false << 3 << int(ExchangeResult::Refused) << QByteArray("V");
        }
    }
    void writeCommand()
    {
        QFETCH(bool, usb);
        QFETCH(QString, tone);
        QFETCH(bool, silent);
        QFETCH(int, confirm);
        QFETCH(int, result);
        QFETCH(QByteArray, sent);
        KavrSimOptions o;
        o.faults.silent = silent;
        o.state.powerOnCount = 9;
        o.state.serviceHours = 50;
        world(usb, o);
        record.setStoredText("TTon", tone);
        QStringList offered;
        const ExchangeResult r =
            w->service.write(record, [&](const DeviceCodec::DeviceCounters &device, SettingsRecord &rec) {
                offered << device.powerOnCount << device.serviceHours;
                if (confirm >= 2) {
                    rec.setDeviceValue(DeviceValue::PwOn, "12");
                    rec.setDeviceValue(DeviceValue::SvHr, confirm == 2 ? "300" : "99999");
                }
                return confirm != 0;
            });
        QCOMPARE(int(r), result);
        QCOMPARE(w->sentByHost().left(sent.size()), sent);
        if (r != ExchangeResult::Done) {
            QCOMPARE(w->sentByHost(), sent);
            QCOMPARE(w->device.model().writesCompleted(), 0);
        }
        if (!sent.isEmpty() && !silent)
            QCOMPARE(offered, (QStringList{"9", "50"}));
        if (r == ExchangeResult::Refused)
            QCOMPARE(w->service.refusal()->key,
                     confirm == 3 ? QStringLiteral("SvHr") : QStringLiteral("TTon"));
        if (r == ExchangeResult::Done) {
            QCOMPARE(w->device.model().state().powerOnCount, 12);
            QCOMPARE(w->device.model().state().serviceHours, 300);
        }
    }

    // Read goes on to the block after a version query that got no answer; on
    // the cable that query's failure released the connection, so there is
    // nothing left to read with until the next command opens it.
    void readGoesOnAfterAnUnansweredQuery_data() { transports(); }
    void readGoesOnAfterAnUnansweredQuery()
    {
        QFETCH(bool, usb);
        KavrSimOptions o;
        o.state.block[1] = 7;
        world(usb, o);
        w->device.mangle = [](int, const QByteArray &a) { return a.size() == 10 ? QByteArray() : a; };
        const ExchangeResult r = w->service.read(record);
        QCOMPARE(w->messages, QStringList{CommunicationError});
        if (usb) {
            QCOMPARE(r, ExchangeResult::Aborted);
            QCOMPARE(w->sentByHost(), QByteArray("V"));
        } else {
            QCOMPARE(r, ExchangeResult::Done);
            QCOMPARE(w->sentByHost(), QByteArray("VRP"));
            QCOMPARE(record.storedText("NoRi"), QStringLiteral("7"));
        }
    }

    // While an exchange runs, a second one (a timer's query) does not start
    // and does not disturb it.
    void oneExchangeAtATime()
    {
        world(false);
        MemoryRecord other;
        ExchangeResult nested = ExchangeResult::Done;
        bool tried = false;
        w->clock.onStep = [&] {
            if (!tried && w->service.busy() && w->clock.now() > 20000) {
                tried = true;
                nested = w->service.versionQuery(other);
            }
        };
        QCOMPARE(w->service.read(record), ExchangeResult::Done);
        QVERIFY(tried);
        QCOMPARE(nested, ExchangeResult::Aborted);
        QCOMPARE(w->sentByHost(), QByteArray("VRP"));
        QCOMPARE(other.deviceValue(DeviceValue::SerN), QStringLiteral("00000"));
        QVERIFY(!w->service.busy());
    }

    // ---- the history and the verified write ----------------------------------

    // A Read keeps the block it read as the settings file Save would write,
    // under the serial number its version query learnt ("unknown" without).
    void readIsKeptInTheHistory_data()
    {
        QTest::addColumn<bool>("usb");
        QTest::addColumn<bool>("queryAnswered");
        QTest::newRow("serial") << false << true;
        QTest::newRow("usb") << true << true;
        QTest::newRow("serial, query unanswered") << false << false;
    }
    void readIsKeptInTheHistory()
    {
        QFETCH(bool, usb);
        QFETCH(bool, queryAnswered);
        KavrSimOptions o;
        o.state.serialNumber = 4711;
        o.state.firmware = 121;
        o.state.block = handBlock();
        world(usb, o);
        QTemporaryDir folder;
        DeviceHistory history(folder.path());
        history.clock = [] { return QDateTime(QDate(2026, 12, 8), QTime(10, 15, 2)); };
        w->service.setHistory(&history);
        if (!queryAnswered)
            w->device.mangle = [](int, const QByteArray &a) { return a.size() == 10 ? QByteArray() : a; };
        QCOMPARE(w->service.read(record), ExchangeResult::Done);
        const QString serial = queryAnswered ? QStringLiteral("4711") : QStringLiteral("unknown");
        const QString expected = folder.filePath("History/" + serial + "/2026-12-08 10-15-02 read.kvr");
        QCOMPARE(w->service.outcome().historyPath, expected);
        QFile kept(expected);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), SettingsFile::encode(record));
        const QList<DeviceHistory::Entry> entries = history.entries();
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].serialNumber, serial);
        QCOMPARE(entries[0].firmware, queryAnswered ? QStringLiteral("1.21") : QString());
        // A second read in the same second is kept beside the first.
        QCOMPARE(w->service.read(record), ExchangeResult::Done);
        QVERIFY(w->service.outcome().historyPath.endsWith("/2026-12-08 10-15-02 read (2).kvr"));
        // Without a history nothing is kept.
        w->service.setHistory(nullptr);
        QCOMPARE(w->service.read(record), ExchangeResult::Done);
        QVERIFY(w->service.outcome().historyPath.isEmpty());
        QCOMPARE(history.entries().size(), 2);
    }

    // A verified write: the block found first (kept as "before write", equal
    // to the communicator's old settings), the write, the block read back
    // (kept as "written", or as "read back" when it differs); a cell that does
    // not keep its byte is named, by parameter or else by its position.
    void verifiedWrite_data()
    {
        QTest::addColumn<bool>("usb");
        QTest::addColumn<int>("corruptAt");
        QTest::addColumn<QStringList>("differences");
        QTest::addColumn<QList<int>>("unlisted");
        for (const bool usb : {false, true}) {
            const char *t = usb ? "usb" : "serial";
            QTest::addRow("%s: stored as sent", t) << usb << 0 << QStringList() << QList<int>();
            QTest::addRow("%s: position 40 changed", t) << usb << 40 << QStringList{"CaPo"} << QList<int>();
            QTest::addRow("%s: the power-on count changed", t)
                << usb << 48 << QStringList{"PwOn"} << QList<int>();
            // The marker is no parameter, but the block is not what was sent.
            QTest::addRow("%s: the marker changed", t) << usb << 1 << QStringList() << QList<int>{1};
            QTest::addRow("%s: a byte no parameter uses changed", t)
                << usb << 10 << QStringList() << QList<int>{10};
        }
    }
    void verifiedWrite()
    {
        QFETCH(bool, usb);
        QFETCH(int, corruptAt);
        QFETCH(QStringList, differences);
        QFETCH(QList<int>, unlisted);
        KavrSimOptions o;
        o.state.block = handBlock();
        o.faults.corruptWriteAt = corruptAt;
        world(usb, o);
        const QByteArray old = w->device.model().blockForRead();
        QTemporaryDir folder;
        DeviceHistory history(folder.path());
        w->service.setHistory(&history);
        record.setStoredText("CaPo", "6");
        record.setStoredText("M001", "0602");
        ExchangeService::WriteSteps steps;
        steps.verify = true;
        const ExchangeResult r = w->service.write(record, steps);
        const bool stored = corruptAt == 0;
        QCOMPARE(r, stored ? ExchangeResult::Done : ExchangeResult::Mismatch);
        const ExchangeService::Outcome &out = w->service.outcome();
        QCOMPARE(out.differences, differences);
        QCOMPARE(out.unlistedBytes, unlisted);
        QCOMPARE(out.sentBlock, w->device.model().lastWrittenBlock());
        QCOMPARE(w->sentByHost(), QByteArray("VRPWP") + out.sentBlock + "RP");
        // The file kept first holds what the communicator held.
        MemoryRecord before;
        QVERIFY(SettingsFile::load(out.backupPath, before));
        MemoryRecord oldSettings;
        DeviceCodec::decodeBlock(old, oldSettings, DeviceCodec::decimalSeparator());
        QCOMPARE(SettingsFile::encode(before), SettingsFile::encode(oldSettings));
        QVERIFY(out.backupPath.contains("before write"));
        const QList<DeviceHistory::Entry> entries = history.entries();
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[0].path, out.historyPath);
        if (stored) {
            QCOMPARE(entries[0].event, DeviceHistory::Event::Written);
            QCOMPARE(out.readBack, out.sentBlock);
        } else {
            // What the communicator holds now, not as written.
            QCOMPARE(entries[0].event, DeviceHistory::Event::ReadBack);
            MemoryRecord kept;
            QVERIFY(SettingsFile::load(out.historyPath, kept));
            QCOMPARE(SettingsFile::encode(kept), SettingsFile::encode(*w->service.readBackRecord()));
        }
        QVERIFY(w->messages.isEmpty());
    }

    // The list of changes before a write: the communicator's block is read
    // after the counters, shown beside the record about to go, and a No ends
    // the write with nothing of it sent. A dry run stops there in any case.
    void changesShownBeforeSending_data()
    {
        QTest::addColumn<bool>("dry");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("writes");
        QTest::newRow("accepted") << false << true << int(ExchangeResult::Done) << 1;
        QTest::newRow("declined") << false << false << int(ExchangeResult::Cancelled) << 0;
        QTest::newRow("dry run") << true << true << int(ExchangeResult::Done) << 0;
    }
    void changesShownBeforeSending()
    {
        QFETCH(bool, dry);
        QFETCH(bool, accept);
        QFETCH(int, result);
        QFETCH(int, writes);
        KavrSimOptions o;
        o.state.block[1] = 7; // NoRi
        world(false, o);
        record.setStoredText("NoRi", "5");
        QStringList shown;
        ExchangeService::WriteSteps steps;
        steps.confirm = [](const DeviceCodec::DeviceCounters &device, SettingsRecord &rec) {
            rec.setDeviceValue(DeviceValue::SvHr, device.serviceHours);
            return true;
        };
        steps.confirmChanges = [&](const SettingsRecord &inDevice, const SettingsRecord &toWrite) {
            shown << inDevice.storedText("NoRi") << toWrite.storedText("NoRi")
                  << toWrite.deviceValue(DeviceValue::SvHr);
            return accept;
        };
        const ExchangeResult r = dry ? w->service.dryRun(record, steps) : w->service.write(record, steps);
        QCOMPARE(int(r), result);
        QCOMPARE(shown, (QStringList{"7", "5", "72"}));
        QCOMPARE(w->device.model().writesCompleted(), writes);
        QCOMPARE(w->sentByHost().left(3), QByteArray("VRP"));
        if (writes == 0)
            QCOMPARE(w->sentByHost(), QByteArray("VRP"));
        QCOMPARE(w->service.deviceRecord()->storedText("NoRi"), QStringLiteral("7"));
        QVERIFY(w->messages.isEmpty());
    }

    // Steps that fail around a verified write: the old block cannot be read
    // (nothing written), cannot be kept (written only when the caller says
    // so), or the read-back fails (written, not checked).
    void verifiedWriteWhenAStepFails_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("written");
        QTest::newRow("old block unanswered") << "before" << int(ExchangeResult::NoAnswer) << false;
        QTest::newRow("history not writable, stop")
            << "unwritable" << int(ExchangeResult::Cancelled) << false;
        QTest::newRow("history not writable, write anyway") << "anyway" << int(ExchangeResult::Done) << true;
        QTest::newRow("read-back unanswered") << "after" << int(ExchangeResult::Unverified) << true;
    }
    void verifiedWriteWhenAStepFails()
    {
        QFETCH(QString, fault);
        QFETCH(int, result);
        QFETCH(bool, written);
        world(false);
        QTemporaryDir folder;
        DeviceHistory history(folder.path());
        w->service.setHistory(&history);
        if (fault == "unwritable" || fault == "anyway") {
            // A file where the history's folder should be.
            QFile blocker(folder.filePath("History"));
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        int blocks = 0;
        w->device.mangle = [&](int, const QByteArray &a) {
            if (a.size() != 128)
                return a;
            ++blocks;
            return (fault == "before" && blocks == 1) || (fault == "after" && blocks == 2) ? QByteArray() : a;
        };
        QString askedWith;
        ExchangeService::WriteSteps steps;
        steps.verify = true;
        steps.writeWithoutBackup = [&](const QString &error) {
            askedWith = error;
            return fault == "anyway";
        };
        QCOMPARE(int(w->service.write(record, steps)), result);
        QCOMPARE(w->device.model().writesCompleted(), written ? 1 : 0);
        QCOMPARE(askedWith.isEmpty(), !(fault == "unwritable" || fault == "anyway"));
        if (!askedWith.isEmpty())
            QVERIFY2(askedWith.contains("History"), qPrintable(askedWith));
        if (!written)
            QVERIFY(!w->sentByHost().contains("WP"));
    }

    // The real clock: ticks at their interval, none during a pause, run()
    // returns on quit().
    void timerClockTicksAndPauses()
    {
        TimerClock clock;
        int ticks = 0;
        int ticksInPause = -1;
        bool windowRanInPause = false;
        clock.start(ExchangeClock::Poll, 5, [&] {
            if (++ticks == 3) {
                const int before = ticks;
                // The window's own events go on meanwhile (a repaint, a timer).
                QTimer::singleShot(5, [&] { windowRanInPause = true; });
                clock.pause(30);
                ticksInPause = ticks - before;
            }
            if (ticks == 6)
                clock.quit();
        });
        QElapsedTimer t;
        t.start();
        clock.run();
        clock.stop(ExchangeClock::Poll);
        QCOMPARE(ticks, 6);
        QCOMPARE(ticksInPause, 0);
        QVERIFY(windowRanInPause);
        QVERIFY(t.elapsed() >= 30 + 5 * 5 - 5);
        QVERIFY(!clock.active(ExchangeClock::Poll));
    }
};

QTEST_MAIN(TestExchangeService)
#include "tst_exchangeservice.moc"
