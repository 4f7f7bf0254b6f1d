// The USB link procedures against the simulated cable: detection, the two open
// attempts and their waits, closing, reading all waiting bytes, and releasing.
#include "device/UsbLink.h"

#include "sim/SimulatedD2xx.h"

#include <QTest>

#include <stdexcept>

namespace
{

// A converter library that fails in a way the program does not expect.
class ThrowingD2xx : public SimulatedD2xx
{
  public:
    D2xx::Status openEx(const QByteArray &, quint32, D2xx::Handle *) override
    {
        throw std::runtime_error("driver fault");
    }
};

} // namespace

class TestUsbLink : public QObject
{
    Q_OBJECT

    std::shared_ptr<SimulatedD2xx> cable;
    QList<int> waits;
    std::unique_ptr<UsbLink> link;

    void makeLink(std::shared_ptr<SimulatedD2xx> backend)
    {
        cable = std::move(backend);
        waits.clear();
        link = std::make_unique<UsbLink>(cable, [this](int ms) { waits << ms; });
    }

    // Opens a free cable and forgets the waits of doing so.
    void openFresh()
    {
        link->open();
        QCOMPARE(link->UsbState, QStringLiteral("OK"));
        waits.clear();
    }

  private slots:
    void init() { makeLink(std::make_shared<SimulatedD2xx>()); }
    void cleanup()
    {
        link.reset();
        // No procedure may touch a connection after it was closed.
        QCOMPARE(cable->staleHandleCalls(), 0);
    }

    void openOutcome_data()
    {
        QTest::addColumn<bool>("plugged");
        QTest::addColumn<bool>("heldElsewhere");
        QTest::addColumn<QByteArray>("cableSerial");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QList<int>>("expectedWaits");
        QTest::newRow("present") << true << false << QByteArray("ZARP-USB") << true << QList<int>{20, 20};
        QTest::newRow("absent") << false << false << QByteArray("ZARP-USB") << false << QList<int>{};
        QTest::newRow("held by another program")
            << true << true << QByteArray("ZARP-USB") << false << QList<int>{};
        QTest::newRow("another FTDI cable")
            << true << false << QByteArray("FT5X0Q2A") << false << QList<int>{};
        QTest::newRow("serial in other case")
            << true << false << QByteArray("zarp-usb") << false << QList<int>{};
    }
    void openOutcome()
    {
        QFETCH(bool, plugged);
        QFETCH(bool, heldElsewhere);
        QFETCH(QByteArray, cableSerial);
        QFETCH(bool, opens);
        QFETCH(QList<int>, expectedWaits);
        makeLink(std::make_shared<SimulatedD2xx>(cableSerial));
        cable->setPlugged(plugged);
        cable->setHeldElsewhere(heldElsewhere);
        QVERIFY(link->UsbState.isEmpty()); // nothing shown before the first attempt

        link->open();

        QCOMPARE(link->UsbOpen, opens);
        QCOMPARE(link->UsbState, opens ? QStringLiteral("OK") : QStringLiteral("--"));
        QCOMPARE(link->statusText(), opens ? QStringLiteral("USB:OK") : QStringLiteral("USB:--"));
        QCOMPARE(bool(link->UsbDevice), opens);
        QCOMPARE(cable->isOpen(), opens);
        QCOMPARE(waits, expectedWaits);
        if (opens) {
            const SimulatedD2xx::Line line = cable->line();
            QCOMPARE(line.bitMode, quint8(0));
            QCOMPARE(line.bitMask, quint8(0));
            QVERIFY(line.dtr);
            QVERIFY(!line.rts);
            QCOMPARE(line.baudRate, 2400u);
        }
    }

    // The cable is plugged in after a failed detection: the next open finds it.
    void attachAfterFailedDetection()
    {
        cable->setPlugged(false);
        link->open();
        QCOMPARE(link->UsbState, QStringLiteral("--"));
        cable->setPlugged(true);
        link->open();
        QCOMPARE(link->UsbState, QStringLiteral("OK"));
        QVERIFY(link->UsbOpen);
        QCOMPARE(waits, (QList<int>{20, 20}));
    }

    // An exchange that ended normally keeps its connection, so the next command
    // finds the converter busy with our own handle: the first attempt fails,
    // the old connection is released, and the second attempt opens.
    void openWhileConnectionHeld()
    {
        openFresh();
        const D2xx::Handle first = link->UsbDevice->handle();

        link->open();

        QCOMPARE(link->UsbState, QStringLiteral("OK"));
        QVERIFY(link->UsbOpen);
        QVERIFY(link->UsbDevice);
        QVERIFY(link->UsbDevice->handle() != first);
        QCOMPARE(cable->openCount(), 2);
        QCOMPARE(cable->closeCount(), 1);
        // 10 ms after closing the old handle, then the second attempt's two waits.
        QCOMPARE(waits, (QList<int>{10, 10, 10}));
    }

    void repeatedCommandsEachOpen()
    {
        for (int i = 1; i <= 4; ++i) {
            link->open();
            QCOMPARE(link->UsbState, QStringLiteral("OK"));
            QCOMPARE(cable->openCount(), i);
            QCOMPARE(cable->closeCount(), i - 1);
        }
    }

    // The cable was pulled out while a connection was held: both attempts fail,
    // the dead connection is let go, and nothing claims to be open.
    void unpluggedWhileHeld()
    {
        openFresh();
        cable->setPlugged(false);
        link->open();
        QCOMPARE(link->UsbState, QStringLiteral("--"));
        QVERIFY(!link->UsbOpen);
        QVERIFY(!link->UsbDevice);
        QCOMPARE(cable->closeCount(), 1);
        QVERIFY(link->readAllWaiting().isEmpty());
        QVERIFY(!link->writeByte('V'));
    }

    void openNeverThrows()
    {
        makeLink(std::make_shared<ThrowingD2xx>());
        link->open();
        QCOMPARE(link->UsbState, QStringLiteral("--"));
        QVERIFY(!link->UsbOpen);
        QVERIFY(!link->UsbDevice);
    }

    // Unchecking the "USB cable" box shows "--" but leaves the handle open.
    void closeKeepsConnection()
    {
        openFresh();
        link->close();
        QCOMPARE(link->UsbState, QStringLiteral("--"));
        QVERIFY(!link->UsbOpen);
        QVERIFY(link->UsbDevice);
        QVERIFY(cable->isOpen());
        QCOMPARE(cable->closeCount(), 0);
        QVERIFY(waits.isEmpty());

        // Checking the box again reopens through the held connection.
        link->open();
        QCOMPARE(link->UsbState, QStringLiteral("OK"));
        QCOMPARE(cable->openCount(), 2);
        QCOMPARE(cable->closeCount(), 1);
    }

    void closeWhenNotOpenChangesNothing()
    {
        link->close();
        QVERIFY(link->UsbState.isEmpty());
        cable->setPlugged(false);
        link->open();
        link->close();
        QCOMPARE(link->UsbState, QStringLiteral("--"));
    }

    void readAllWaiting_data()
    {
        QTest::addColumn<QByteArray>("waiting");
        QTest::addColumn<int>("readsBeforeFault"); // -1: reads never fail
        QTest::addColumn<QByteArray>("expected");
        const QByteArray status("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a", 10);
        const QByteArray allValues = [] {
            QByteArray b;
            for (int i = 0; i < 256; ++i)
                b.append(char(i));
            return b;
        }();
        QTest::newRow("nothing waiting") << QByteArray() << -1 << QByteArray();
        QTest::newRow("status answer") << status << -1 << status;
        QTest::newRow("every byte value") << allValues << -1 << allValues;
        QTest::newRow("handshake") << QByteArray("D") << -1 << QByteArray("D");
        QTest::newRow("read fails at once") << status << 0 << QByteArray();
        QTest::newRow("read fails after three") << status << 3 << status.left(3);
    }
    void readAllWaiting()
    {
        QFETCH(QByteArray, waiting);
        QFETCH(int, readsBeforeFault);
        QFETCH(QByteArray, expected);
        openFresh();
        cable->deliverToHost(waiting);
        int reads = 0;
        if (readsBeforeFault == 0)
            cable->setReadsFail(true);
        else if (readsBeforeFault > 0)
            cable->setAfterRead([&] {
                if (++reads == readsBeforeFault)
                    cable->setReadsFail(true);
            });

        QCOMPARE(link->readAllWaiting(), expected);
        if (readsBeforeFault < 0)
            QCOMPARE(link->waitingCount(), 0u);
        QCOMPARE(link->UsbState, QStringLiteral("OK"));
    }

    // Bytes that come in while the waiting ones are taken are not mixed into
    // the result: the link opens afresh, which leaves nothing waiting.
    void bytesArrivingWhileReadingReopen()
    {
        openFresh();
        cable->deliverToHost("0123456789");
        bool sent = false;
        cable->setAfterRead([&] {
            if (!sent) {
                sent = true;
                cable->deliverToHost("late");
            }
        });

        QCOMPARE(link->readAllWaiting(), QByteArray("0123456789"));
        QCOMPARE(cable->openCount(), 2);
        QCOMPARE(cable->closeCount(), 1);
        QCOMPARE(link->UsbState, QStringLiteral("OK"));
        QVERIFY(link->UsbOpen);
        QCOMPARE(link->waitingCount(), 0u);
        QCOMPARE(waits, (QList<int>{10, 10, 10}));
    }

    void quietReadDoesNotReopen()
    {
        openFresh();
        cable->deliverToHost("0123456789");
        QCOMPARE(link->readAllWaiting(), QByteArray("0123456789"));
        QCOMPARE(cable->openCount(), 1);
        QVERIFY(waits.isEmpty());
    }

    // Reading with the link marked closed opens it first (the earlier
    // connection is released); with no cable it gives nothing.
    void readWhenMarkedClosed_data()
    {
        QTest::addColumn<bool>("plugged");
        QTest::newRow("cable present") << true;
        QTest::newRow("cable gone") << false;
    }
    void readWhenMarkedClosed()
    {
        QFETCH(bool, plugged);
        openFresh();
        cable->deliverToHost("stale");
        link->close();
        cable->setPlugged(plugged);

        QVERIFY(link->readAllWaiting().isEmpty());
        QCOMPARE(link->UsbOpen, plugged);
        QCOMPARE(link->UsbState, plugged ? QStringLiteral("OK") : QStringLiteral("--"));
        QCOMPARE(cable->closeCount(), 1);
        QCOMPARE(cable->openCount(), plugged ? 2 : 1);
        // Released before opening: no failed attempt on our own handle.
        QCOMPARE(waits, plugged ? (QList<int>{10, 20, 20}) : (QList<int>{10}));
    }

    void statusFailureCountsAsNothingWaiting()
    {
        openFresh();
        cable->deliverToHost("abc");
        cable->setStatusFails(true);
        QCOMPARE(link->waitingCount(), 0u);
        QVERIFY(link->readAllWaiting().isEmpty());
        cable->setStatusFails(false);
        QCOMPARE(link->readAllWaiting(), QByteArray("abc"));
    }

    // After a failed exchange the connection is released; the state still says
    // open, and nothing may use or release the old handle again.
    void releasedConnectionIsNeverUsed()
    {
        openFresh();
        cable->deliverToHost("xy");
        link->release();
        QVERIFY(!link->UsbDevice);
        QVERIFY(link->UsbOpen);
        QCOMPARE(link->UsbState, QStringLiteral("OK"));
        QCOMPARE(cable->closeCount(), 1);
        QCOMPARE(waits, QList<int>{10});

        QCOMPARE(link->waitingCount(), 0u);
        QVERIFY(link->readAllWaiting().isEmpty());
        link->UsbWriteOk = true;
        QVERIFY(!link->writeByte('V'));
        QVERIFY(!link->UsbWriteOk);
        link->release();
        QCOMPARE(cable->closeCount(), 1);
        QVERIFY(cable->written().isEmpty());

        // The next command opens without a failed first attempt.
        waits.clear();
        link->open();
        QCOMPARE(link->UsbState, QStringLiteral("OK"));
        QCOMPARE(cable->openCount(), 2);
        QCOMPARE(waits, (QList<int>{20, 20}));
    }

    void writeByteReportsOutcome_data()
    {
        QTest::addColumn<bool>("writesFail");
        QTest::addColumn<bool>("unplugged");
        QTest::addColumn<bool>("ok");
        QTest::newRow("sent") << false << false << true;
        QTest::newRow("converter refuses") << true << false << false;
        QTest::newRow("cable pulled out") << false << true << false;
    }
    void writeByteReportsOutcome()
    {
        QFETCH(bool, writesFail);
        QFETCH(bool, unplugged);
        QFETCH(bool, ok);
        openFresh();
        cable->setWritesFail(writesFail);
        if (unplugged)
            cable->setPlugged(false);
        link->UsbWriteOk = !ok;
        QCOMPARE(link->writeByte('W'), ok);
        QCOMPARE(link->UsbWriteOk, ok);
        QCOMPARE(cable->written(), ok ? QByteArray("W") : QByteArray());
    }

    // A link that goes away still closes the connection it holds.
    void destroyingTheLinkClosesTheHandle()
    {
        openFresh();
        link.reset();
        QVERIFY(!cable->isOpen());
        QCOMPARE(cable->closeCount(), 1);
    }
};

QTEST_GUILESS_MAIN(TestUsbLink)
#include "tst_usb_link.moc"
