// The USB link with the communicator simulator at the far end of the simulated
// cable: commands written byte by byte come back as the device's answers.
#include "device/UsbLink.h"

#include "sim/KavrDeviceModel.h"
#include "sim/SimulatedD2xxSetup.h"

#include <QElapsedTimer>
#include <QTest>

namespace
{

KavrSimOptions deviceWithKnownIdentity()
{
    KavrSimOptions options;
    options.state.firmware = 121;
    options.state.serialNumber = 0x1234;
    options.state.powerOnCount = 7;
    options.state.serviceHours = 26; // one day and two hours
    for (int i = 0; i < 128; ++i)
        options.state.block[size_t(i)] = std::uint8_t(i * 7 + 3);
    options.line.ftdiLatencyMs = 2;
    return options;
}

// The status answer of that device, written out by hand: "V" firmware "U"
// power-on count "N" serial high and low "S" hours then days.
const QByteArray expectedStatus("V\x79U\x07N\x12\x34S\x02\x01", 10);

} // namespace

class TestUsbSimulator : public QObject
{
    Q_OBJECT

    std::shared_ptr<SimulatedD2xx> cable;
    std::unique_ptr<UsbLink> link;

    bool start(const KavrSimOptions &options)
    {
        QString error;
        cable = SimulatedUsb::install(options, &error);
        if (!cable) {
            qWarning("simulator did not start: %s", qPrintable(error));
            return false;
        }
        link = std::make_unique<UsbLink>(nullptr, [](int) {});
        return true;
    }

    // What the communication dialog does for one command: open if needed,
    // discard stale input, send the bytes, wait for the whole answer.
    QByteArray exchange(const QByteArray &command, quint32 answerLength)
    {
        if (!link->UsbOpen)
            link->open();
        link->readAllWaiting();
        for (char c : command) {
            if (!link->writeByte(quint8(c)))
                return {};
        }
        QElapsedTimer clock;
        clock.start();
        while (link->waitingCount() < answerLength && clock.elapsed() < 3000)
            QTest::qWait(5);
        return link->readAllWaiting();
    }

  private slots:
    void cleanup()
    {
        link.reset();
        if (cable)
            QCOMPARE(cable->staleHandleCalls(), 0);
        cable.reset();
        D2xx::setBackend(nullptr);
    }

    void versionQueryThroughTheWrapper()
    {
        QVERIFY(start(deviceWithKnownIdentity()));
        TFT232 device(QStringLiteral("ZARP-USB"), D2xx::backend(), {});
        QVERIFY(device.WriteByte('V'));
        QTRY_COMPARE_WITH_TIMEOUT(device.RxQueueCount(), 10u, 3000);
        QByteArray answer;
        quint8 byte = 0;
        while (device.ReadByte(byte))
            answer.append(char(byte));
        QCOMPARE(answer, expectedStatus);
    }

    // Two Read commands in a row: each opens the cable again (the first
    // exchange kept its connection) and each gets the whole answer.
    void twoReadsInARow()
    {
        // What comes back is the point, not its pace: a fast line.
        KavrSimOptions options = deviceWithKnownIdentity();
        options.line.baud = 38400;
        QVERIFY(start(options));
        const QByteArray block = KavrDeviceModel(deviceWithKnownIdentity().state).blockForRead();
        QCOMPARE(block.size(), 128);
        for (int round = 1; round <= 2; ++round) {
            link->open();
            QCOMPARE(link->UsbState, QStringLiteral("OK"));
            QCOMPARE(cable->openCount(), round);
            QCOMPARE(exchange("V", 10), expectedStatus);
            QCOMPARE(exchange("RP", 128), block);
            QVERIFY(link->UsbDevice);
        }
        QCOMPARE(cable->line().baudRate, 2400u);
    }

    // Input that was waiting before a command is thrown away, not mixed in.
    void staleInputIsDiscarded()
    {
        QVERIFY(start(deviceWithKnownIdentity()));
        link->open();
        QVERIFY(link->writeByte('V'));
        QTRY_COMPARE_WITH_TIMEOUT(link->waitingCount(), 10u, 3000);
        QCOMPARE(exchange("V", 10), expectedStatus);
    }

    // The communicator drops the line in the middle of an answer: the bytes
    // sent so far can be read, and the next one-byte write reports failure.
    void hungUpLineFailsWrites()
    {
        KavrSimOptions options = deviceWithKnownIdentity();
        options.line.hangUpAfter = 4;
        QVERIFY(start(options));
        link->open();
        QVERIFY(link->writeByte('V'));
        QVERIFY(link->UsbWriteOk);
        QTRY_COMPARE_WITH_TIMEOUT(link->waitingCount(), 4u, 3000);
        QTest::qWait(50);
        QCOMPARE(link->readAllWaiting(), expectedStatus.left(4));
        QVERIFY(!link->writeByte('V'));
        QVERIFY(!link->UsbWriteOk);
    }

    void environmentChoosesTheCable_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("simulated");
        QTest::newRow("unset") << QByteArray() << false;
        QTest::newRow("1") << QByteArray("1") << true;
        QTest::newRow("0") << QByteArray("0") << false;
        QTest::newRow("yes") << QByteArray("yes") << false;
    }
    void environmentChoosesTheCable()
    {
        QFETCH(QByteArray, value);
        QFETCH(bool, simulated);
        D2xx::setBackend(nullptr);
        if (value.isNull())
            qunsetenv(SimulatedUsb::EnvironmentVariable);
        else
            qputenv(SimulatedUsb::EnvironmentVariable, value);

        QCOMPARE(SimulatedUsb::installIfRequested(), simulated);
        qunsetenv(SimulatedUsb::EnvironmentVariable);
        QCOMPARE(dynamic_cast<SimulatedD2xx *>(D2xx::backend().get()) != nullptr, simulated);
        if (simulated) {
            // A link built without a backend of its own finds the simulated
            // communicator, answering as a factory-fresh device does.
            UsbLink defaultLink(nullptr, [](int) {});
            defaultLink.open();
            QCOMPARE(defaultLink.UsbState, QStringLiteral("OK"));
            QVERIFY(defaultLink.writeByte('V'));
            QTRY_COMPARE_WITH_TIMEOUT(defaultLink.waitingCount(), 10u, 3000);
            QCOMPARE(defaultLink.readAllWaiting(), KavrDeviceModel().statusAnswer());
        }
    }
};

QTEST_GUILESS_MAIN(TestUsbSimulator)
#include "tst_usb_simulator.moc"
