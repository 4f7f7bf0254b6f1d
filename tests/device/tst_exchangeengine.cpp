#include "app/MainWindowState.h"
#include "device/ExchangeEngine.h"
#include "device/UsbLink.h"
#include "platform/MessageBoxes.h"
#include "settings/MemoryRecord.h"

#include <QMessageBox>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

#include <deque>

// A serial port played by the test: what the engine writes is recorded, what
// it reads comes from a queue the test fills.
class ScriptedPort : public ExchangeSerialPort
{
  public:
    bool open_ = false;
    bool failOpen = false;
    bool vanished = false;
    int opens = 0, closes = 0;
    QByteArray written;
    QByteArray waiting;

    bool isOpen() const override { return open_; }
    void open() override
    {
        if (failOpen)
            throw std::runtime_error("Can't open device COM1");
        open_ = true;
        vanished = false;
        ++opens;
    }
    QByteArray readString() override { return std::exchange(waiting, QByteArray()); }
    bool writeString(const QByteArray &b) override
    {
        if (!open_ || vanished)
            return false;
        written += b;
        return true;
    }
    void close() override
    {
        open_ = false;
        ++closes;
    }
    bool lost() const override { return vanished; }
};

class TestExchangeEngine : public QObject
{
    Q_OBJECT

    MainWindowState window;
    MemoryRecord record;
    std::unique_ptr<UsbLink> usb;
    ScriptedPort port;
    std::unique_ptr<ExchangeEngine> engine;
    QStringList messages;

    // Ticks until the engine finishes; returns the number of ticks taken.
    int tickUntilDone(int limit = 10000)
    {
        int n = 0;
        while (engine->running() && n < limit) {
            engine->pollTick();
            ++n;
        }
        return n;
    }

    void deliver(const QByteArray &bytes)
    {
        port.waiting += bytes;
        engine->serialDataReceived(int(port.waiting.size()));
    }

  private slots:
    void init()
    {
        window = MainWindowState();
        record = MemoryRecord();
        port = ScriptedPort();
        messages.clear();
        usb = std::make_unique<UsbLink>();
        engine = std::make_unique<ExchangeEngine>(window, record, *usb);
        engine->setSerialPort(&port);
        connect(engine.get(), &ExchangeEngine::messageRequested, this,
                [this](const QString &t) { messages << t; });
    }

    void timeOutComesAtTheRightTick_data()
    {
        QTest::addColumn<int>("timeOutRS");
        QTest::addColumn<int>("ticks");
        QTest::newRow("10 ms") << 10 << 202;
        QTest::newRow("100 ms") << 100 << 22;
        QTest::newRow("0 falls back to 10 ms") << 0 << 202;
        QTest::newRow("negative falls back") << -5 << 202;
        QTest::newRow("absurd falls back") << 100000 << 202;
    }
    void timeOutComesAtTheRightTick()
    {
        QFETCH(int, timeOutRS);
        QFETCH(int, ticks);
        window.TimeOutRS = timeOutRS;
        window.VersionQueryRequested = true;
        engine->prepareVersionQuery();
        engine->begin();
        QCOMPARE(port.written, QByteArray("V"));
        QCOMPARE(tickUntilDone(), ticks);
        QVERIFY(engine->ExchangeAborted);
        QCOMPARE(messages, QStringList{QStringLiteral("Chyba komunikace  ")});
    }

    void versionQueryInTwoParts()
    {
        window.VersionQueryRequested = true;
        QSignalSpy progress(engine.get(), &ExchangeEngine::progressChanged);
        engine->prepareVersionQuery();
        engine->begin();
        QCOMPARE(engine->progress(), 2);
        QVERIFY(!window.VersionQueryRequested);
        deliver(QByteArray("V\x17U\x07N", 5));
        QCOMPARE(engine->progress(), 62);
        QVERIFY(engine->running());
        deliver(QByteArray("\x01\x02S\x05\x01", 5));
        QVERIFY(!engine->running());
        QCOMPARE(record.deviceValue(DeviceValue::FirmwareVersion), QStringLiteral("2.3"));
        QCOMPARE(record.deviceValue(DeviceValue::SerN), QStringLiteral("258"));
        QCOMPARE(record.deviceValue(DeviceValue::PwOn), QStringLiteral("7"));
        QCOMPARE(record.deviceValue(DeviceValue::SvHr), QStringLiteral("29"));
        QVERIFY(messages.isEmpty());
        QCOMPARE(progress.last().at(0).toInt(), 62);
    }

    void quietFirstExchangeThenLoud()
    {
        window.QuietFirstExchange = true;
        window.VersionQueryRequested = true;
        engine->prepareVersionQuery();
        engine->begin();
        tickUntilDone();
        QVERIFY(messages.isEmpty());
        QVERIFY(!window.QuietFirstExchange);
        window.VersionQueryRequested = true;
        engine->prepareVersionQuery();
        engine->begin();
        port.waiting = QByteArray("V\x0A", 2); // a cut answer
        tickUntilDone();
        QCOMPARE(messages, QStringList{QStringLiteral("Chyba komunikace  V<0A>")});
    }

    void portThatCannotOpen()
    {
        port.failOpen = true;
        window.VersionQueryRequested = true;
        engine->prepareVersionQuery();
        engine->begin();
        QVERIFY(engine->PortOpenFailed);
        QVERIFY(!window.VersionQueryRequested);
        QCOMPARE(tickUntilDone(), 1);
        QCOMPARE(messages, QStringList{QStringLiteral("Chybné číslo portu, prosím nastavte správné")});
        QVERIFY(!engine->ExchangeAborted);
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
        window.ClosePort = closePort;
        window.VersionQueryRequested = true;
        engine->prepareVersionQuery();
        engine->begin();
        deliver(QByteArray("V\x17U\x07N\x01\x02S\x05\x01", 10)); // completed
        window.VersionQueryRequested = true;
        engine->prepareVersionQuery();
        engine->begin();
        tickUntilDone(); // timed out
        QCOMPARE(port.closes, closes);
        QCOMPARE(port.opens, closes == 0 ? 1 : 2);
    }

    void writeSendsMarkerAndEntriesThenWaitsForZ()
    {
        engine->prepareWrite();
        engine->begin();
        QCOMPARE(port.written, QByteArray("WP"));
        engine->pollTick(); // the marker goes without a "D"
        QCOMPARE(port.written.size(), 3);
        QCOMPARE(quint8(port.written.at(2)), quint8(0x55));
        for (int i = 0; i < 127; ++i) {
            engine->pollTick(); // nothing without a handshake
            deliver("D");
            engine->pollTick();
        }
        QCOMPARE(port.written.size(), 2 + 128);
        deliver("D"); // a "D" after the 128th byte sends nothing more
        engine->pollTick();
        QCOMPARE(port.written.size(), 2 + 128);
        QVERIFY(engine->running());
        deliver("Z");
        QVERIFY(!engine->running());
        QVERIFY(!engine->ExchangeAborted);
        QCOMPARE(engine->progress(), 128); // one step per handshake
    }

    void writeHandshakeResetsTheTimeLimit()
    {
        engine->prepareWrite();
        engine->begin();
        engine->pollTick();
        for (int i = 0; i < 150; ++i)
            engine->pollTick();
        deliver("D"); // IdleTicks back to 0
        QCOMPARE(engine->IdleTicks, 0);
        QCOMPARE(tickUntilDone(), 202);
    }

    void vanishedDeviceEndsTheExchangeAndReopens()
    {
        window.VersionQueryRequested = true;
        engine->prepareVersionQuery();
        engine->begin();
        port.vanished = true;
        QCOMPARE(tickUntilDone(), 1);
        QVERIFY(engine->ExchangeAborted);
        QCOMPARE(messages.size(), 1);
        QVERIFY(!port.isOpen());
        window.VersionQueryRequested = true;
        engine->prepareVersionQuery();
        engine->begin();
        QCOMPARE(port.opens, 2);
        QCOMPARE(port.written, QByteArray("VV"));
    }

    // A write whose data byte `byte` (1 = the marker) gets `answer` instead
    // of "D": only "Z" after the last byte ends it well.
    void writeEndsOnlyWithZAfterTheLastByte_data()
    {
        QTest::addColumn<int>("byte");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("done");
        QTest::newRow("Z after the marker") << 1 << QByteArray("Z") << false;
        QTest::newRow("Z after byte 64") << 64 << QByteArray("Z") << false;
        QTest::newRow("Z after byte 127") << 127 << QByteArray("Z") << false;
        QTest::newRow("stray byte at 10") << 10 << QByteArray("X") << false;
        QTest::newRow("Z after byte 128") << 128 << QByteArray("Z") << true;
    }
    void writeEndsOnlyWithZAfterTheLastByte()
    {
        QFETCH(int, byte);
        QFETCH(QByteArray, answer);
        QFETCH(bool, done);
        engine->prepareWrite();
        engine->begin();
        engine->pollTick(); // the marker
        for (int k = 1; k < byte; ++k)
            deliver("D"); // the next byte goes at once
        QCOMPARE(port.written.size(), 2 + byte);
        deliver(answer);
        QVERIFY(!engine->running());
        QCOMPARE(engine->ExchangeAborted, !done);
        QCOMPARE(messages, done ? QStringList() : QStringList{QStringLiteral("Chyba komunikace  ") + answer});
        QCOMPARE(port.written.size(), 2 + byte); // nothing sent after the answer
    }

    void writeOnTickWaitsForTheTick()
    {
        window.WriteOnTick = true;
        engine->prepareWrite();
        engine->begin();
        engine->pollTick();
        deliver("D");
        QCOMPARE(port.written.size(), 3); // not yet
        engine->pollTick();
        QCOMPARE(port.written.size(), 4);
    }

    // An answer that is not whole leaves the record as it was: more bytes
    // than the notification counted, fewer than it counted, or a block cut
    // short and then silence until the time limit.
    void answerTakenOnlyWhole_data()
    {
        QTest::addColumn<bool>("block");
        QTest::addColumn<QByteArray>("read");
        QTest::addColumn<int>("notified");
        QTest::addColumn<int>("ticks");
        QTest::newRow("status: more than told")
            << false << QByteArray("V\x17U\x07N\x01\x02S\x05\x01VV", 12) << 10 << 0;
        QTest::newRow("block: short read") << true << QByteArray("U\x03\x0B", 3) << 128 << 0;
        QTest::newRow("block: cut short")
            << true << QByteArray("U\x03\x0B", 3).leftJustified(100, '\x0B') << 100 << 202;
    }
    void answerTakenOnlyWhole()
    {
        QFETCH(bool, block);
        QFETCH(QByteArray, read);
        QFETCH(int, notified);
        QFETCH(int, ticks);
        record.setStoredText("NoRi", "5");
        record.setDeviceValue(DeviceValue::SerN, "77");
        if (block) {
            engine->prepareRead();
        } else {
            window.VersionQueryRequested = true;
            engine->prepareVersionQuery();
        }
        engine->begin();
        port.waiting = read;
        engine->serialDataReceived(notified);
        QCOMPARE(tickUntilDone(), ticks);
        QVERIFY(engine->ExchangeAborted);
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages[0].startsWith(QStringLiteral("Chyba komunikace  ")));
        QCOMPARE(record.storedText("NoRi"), QStringLiteral("5"));
        QCOMPARE(record.deviceValue(DeviceValue::SerN), QStringLiteral("77"));
    }

    void floodKeepsTheMessageOnScreen()
    {
        window.VersionQueryRequested = true;
        engine->prepareVersionQuery();
        engine->begin();
        QByteArray flood;
        for (int i = 0; i < 10000; ++i)
            flood.append(char(i * 7));
        port.waiting = flood;
        tickUntilDone();
        QCOMPARE(messages.size(), 1);
        const QString text = messages[0];
        // The end of what came, marked as cut.
        QVERIFY(text.startsWith(QStringLiteral("Chyba komunikace  \u2026")));
        QVERIFY(text.endsWith(ExchangeEngine::readable(flood.right(4))));
        QVERIFY(!text.contains(ExchangeEngine::readable(flood.right(65).left(4))));
        QMessageBox box(QMessageBox::NoIcon, QString(), text, QMessageBox::Ok);
        const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
        const QSize shown = box.sizeHint();
        QVERIFY2(shown.width() < screen.width() && shown.height() < screen.height(),
                 qPrintable(QStringLiteral("%1x%2").arg(shown.width()).arg(shown.height())));
    }

    void readableBytes()
    {
        QCOMPARE(ExchangeEngine::readable(QByteArray("V\x00\x7f\xffU", 5)), QStringLiteral("V<00><7F><FF>U"));
    }
};

QTEST_MAIN(TestExchangeEngine)
#include "tst_exchangeengine.moc"
