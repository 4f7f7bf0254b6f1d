#include "app/MainWindowState.h"
#include "device/ExchangeEngine.h"
#include "device/UsbLink.h"
#include "platform/MessageBoxes.h"
#include "settings/MemoryRecord.h"

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

    void readableBytes()
    {
        QCOMPARE(ExchangeEngine::readable(QByteArray("V\x00\x7f\xffU", 5)), QStringLiteral("V<00><7F><FF>U"));
    }
};

QTEST_GUILESS_MAIN(TestExchangeEngine)
#include "tst_exchangeengine.moc"
