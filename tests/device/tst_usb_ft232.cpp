// TFT232 over the simulated converter: opening by serial number, the line
// controls with their inverted flag, single-byte transfers and closing.
#include "device/FT232.h"

#include "sim/SimulatedD2xx.h"

#include <QTest>

class TestUsbFt232 : public QObject
{
    Q_OBJECT

  private slots:
    void openFailureMessage_data()
    {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<bool>("plugged");
        QTest::newRow("cable absent") << QStringLiteral("ZARP-USB") << false;
        QTest::newRow("other serial") << QStringLiteral("ZARP-US") << true;
        QTest::newRow("empty serial") << QString() << true;
        QTest::newRow("serial with accents") << QStringLiteral("ŽARP-USB") << true;
    }
    void openFailureMessage()
    {
        QFETCH(QString, serial);
        QFETCH(bool, plugged);
        auto cable = std::make_shared<SimulatedD2xx>();
        cable->setPlugged(plugged);
        int waits = 0;
        try {
            TFT232 device(serial, cable, [&](int) { ++waits; });
            QFAIL("opened a converter that is not there");
        } catch (const TFT232Exception &e) {
            QCOMPARE(e.text(), QStringLiteral("Device ") + serial + QStringLiteral(" can not open"));
        }
        QCOMPARE(waits, 0);
        QCOMPARE(cable->closeCount(), 0);
        QCOMPARE(cable->staleHandleCalls(), 0);
    }

    void secondOpenOfSameConverterFails()
    {
        auto cable = std::make_shared<SimulatedD2xx>();
        TFT232 first(QStringLiteral("ZARP-USB"), cable, {});
        QCOMPARE(first.lastStatus(), D2xx::Ok);
        QVERIFY_THROWS_EXCEPTION(TFT232Exception, TFT232(QStringLiteral("ZARP-USB"), cable, {}));
        QVERIFY(first.WriteByte('x')); // the first connection is unharmed
    }

    // The flag says "clear the line", so false raises it.
    void lineControls_data()
    {
        QTest::addColumn<bool>("dtrClear");
        QTest::addColumn<bool>("rtsClear");
        QTest::newRow("DTR up, RTS down (the link's choice)") << false << true;
        QTest::newRow("both up") << false << false;
        QTest::newRow("both down") << true << true;
        QTest::newRow("DTR down, RTS up") << true << false;
    }
    void lineControls()
    {
        QFETCH(bool, dtrClear);
        QFETCH(bool, rtsClear);
        auto cable = std::make_shared<SimulatedD2xx>();
        TFT232 device(QStringLiteral("ZARP-USB"), cable, {});
        // Start from the opposite levels so each call has to change something.
        device.SetDtr(!dtrClear);
        device.SetRts(!rtsClear);
        QCOMPARE(device.SetDtr(dtrClear), D2xx::Ok);
        QCOMPARE(device.SetRts(rtsClear), D2xx::Ok);
        QCOMPARE(cable->line().dtr, !dtrClear);
        QCOMPARE(cable->line().rts, !rtsClear);
    }

    void bitModeKeepsStatus()
    {
        auto cable = std::make_shared<SimulatedD2xx>();
        TFT232 device(QStringLiteral("ZARP-USB"), cable, {});
        QVERIFY(device.SetBitMode(0, 0));
        QCOMPARE(device.lastStatus(), D2xx::Ok);
        QCOMPARE(cable->line().bitMode, quint8(0));
        cable->setPlugged(false);
        QVERIFY(!device.SetBitMode(0xFF, 1));
        QCOMPARE(device.lastStatus(), D2xx::IoError);
        QCOMPARE(cable->line().bitMode, quint8(0));
    }

    void baudRate_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("2400") << 2400 << true;
        QTest::newRow("115200") << 115200 << true;
        QTest::newRow("zero") << 0 << false;
        QTest::newRow("negative") << -2400 << false;
    }
    void baudRate()
    {
        QFETCH(int, rate);
        QFETCH(bool, accepted);
        auto cable = std::make_shared<SimulatedD2xx>();
        TFT232 device(QStringLiteral("ZARP-USB"), cable, {});
        device.SetBaudRate(1200);
        QCOMPARE(device.SetBaudRate(rate) == D2xx::Ok, accepted);
        QCOMPARE(cable->line().baudRate, accepted ? quint32(rate) : 1200u);
    }

    void singleByteTransfers()
    {
        auto cable = std::make_shared<SimulatedD2xx>();
        TFT232 device(QStringLiteral("ZARP-USB"), cable, {});
        quint8 byte = 0x42;
        QVERIFY(!device.ReadByte(byte)); // nothing waiting
        QCOMPARE(device.RxQueueCount(), 0u);

        cable->deliverToHost(QByteArray("\x00\xFF", 2));
        QCOMPARE(device.RxQueueCount(), 2u);
        QVERIFY(device.ReadByte(byte));
        QCOMPARE(byte, quint8(0x00));
        QVERIFY(device.ReadByte(byte));
        QCOMPARE(byte, quint8(0xFF));
        QCOMPARE(device.RxQueueCount(), 0u);

        QVERIFY(device.WriteByte(0x55));
        QVERIFY(device.WriteByte(0x00));
        QCOMPARE(cable->written(), QByteArray("\x55\x00", 2));
        cable->setWritesFail(true);
        QVERIFY(!device.WriteByte(0x01));
        QCOMPARE(cable->written().size(), 2);
    }

    void destructorClosesThenWaits()
    {
        auto cable = std::make_shared<SimulatedD2xx>();
        QStringList events;
        {
            TFT232 device(QStringLiteral("ZARP-USB"), cable, [&](int ms) {
                events << QStringLiteral("wait %1 open=%2").arg(ms).arg(cable->isOpen());
            });
            QVERIFY(events.isEmpty());
        }
        QCOMPARE(events, QStringList{QStringLiteral("wait 10 open=0")});
        QCOMPARE(cable->closeCount(), 1);
        QCOMPARE(cable->staleHandleCalls(), 0);
    }
};

QTEST_GUILESS_MAIN(TestUsbFt232)
#include "tst_usb_ft232.moc"
