// The libftdi1 backend on a machine without the cable: every way in must fail
// with a status (never a crash or a hang), and fast enough that the open
// procedure's two attempts stay unnoticed by the user.
#include "device/UsbLink.h"
#include "platform/D2xxLibFtdi.h"

#include <QElapsedTimer>
#include <QTest>

#include <functional>

class TestD2xxLibFtdi : public QObject
{
    Q_OBJECT

  private:
    // A developer machine may have the cable plugged in; then "absent" cannot
    // be tested there.
    bool cablePresent()
    {
        LibFtdiD2xx backend;
        D2xx::Handle h = D2xx::NoHandle;
        if (backend.openEx("ZARP-USB", D2xx::OpenBySerialNumber, &h) != D2xx::Ok)
            return false;
        backend.close(h);
        return true;
    }

  private slots:
    void openWithoutCableFails_data()
    {
        QTest::addColumn<QByteArray>("serial");
        QTest::addColumn<quint32>("flags");
        QTest::addColumn<bool>("badParameter");
        QTest::newRow("cable's serial") << QByteArray("ZARP-USB") << D2xx::OpenBySerialNumber << false;
        QTest::newRow("empty serial") << QByteArray() << D2xx::OpenBySerialNumber << false;
        QTest::newRow("very long serial") << QByteArray(4096, 'Z') << D2xx::OpenBySerialNumber << false;
        QTest::newRow("open by description") << QByteArray("ZARP-USB") << quint32(2) << true;
        QTest::newRow("open by location") << QByteArray("ZARP-USB") << quint32(4) << true;
    }
    void openWithoutCableFails()
    {
        QFETCH(QByteArray, serial);
        QFETCH(quint32, flags);
        QFETCH(bool, badParameter);
        if (!badParameter && cablePresent())
            QSKIP("a ZARP-USB cable is attached to this machine");
        LibFtdiD2xx backend;
        D2xx::Handle h = 12345;
        const D2xx::Status status = backend.openEx(serial, flags, &h);
        QVERIFY(status != D2xx::Ok);
        QCOMPARE(h, D2xx::NoHandle);
        if (badParameter)
            QCOMPARE(status, D2xx::InvalidParameter);
        QCOMPARE(backend.openEx(serial, flags, nullptr), D2xx::InvalidParameter);
    }

    // Every operation on a handle that was never opened reports it and leaves
    // the out counts at zero.
    void unknownHandleIsRefused_data()
    {
        QTest::addColumn<int>("operation");
        const char *names[] = {"close",  "setBitMode",  "setDtr",    "clrDtr", "setRts",
                               "clrRts", "setBaudRate", "getStatus", "read",   "write"};
        for (int i = 0; i < 10; ++i)
            QTest::newRow(names[i]) << i;
    }
    void unknownHandleIsRefused()
    {
        QFETCH(int, operation);
        LibFtdiD2xx backend;
        const D2xx::Handle h = 7;
        quint32 a = 99, b = 99, c = 99;
        char buffer[4] = {'x', 'y', 'z', 'w'};
        const std::function<D2xx::Status()> calls[] = {
            [&] { return backend.close(h); },
            [&] { return backend.setBitMode(h, 0, 0); },
            [&] { return backend.setDtr(h); },
            [&] { return backend.clrDtr(h); },
            [&] { return backend.setRts(h); },
            [&] { return backend.clrRts(h); },
            [&] { return backend.setBaudRate(h, 2400); },
            [&] { return backend.getStatus(h, &a, &b, &c); },
            [&] { return backend.read(h, buffer, 4, &a); },
            [&] { return backend.write(h, buffer, 4, &a); },
        };
        QCOMPARE(calls[operation](), D2xx::InvalidHandle);
        if (operation >= 8)
            QCOMPARE(a, 0u);
    }

    void wrapperThrowsWithDeviceMessage()
    {
        if (cablePresent())
            QSKIP("a ZARP-USB cable is attached to this machine");
        auto backend = std::make_shared<LibFtdiD2xx>();
        int waits = 0;
        try {
            TFT232 device(QStringLiteral("ZARP-USB"), backend, [&](int) { ++waits; });
            QFAIL("the converter opened although no cable is attached");
        } catch (const TFT232Exception &e) {
            QCOMPARE(e.text(), QStringLiteral("Device ZARP-USB can not open"));
            QCOMPARE(QString::fromStdString(e.what()), e.text());
        }
        QCOMPARE(waits, 0); // a failed open has nothing to close
    }

    // Both attempts of the open procedure, with the real waits, on the real
    // backend: the status bar must show "--" at once, not after a USB time-out.
    void openProcedureFailsQuickly()
    {
        if (cablePresent())
            QSKIP("a ZARP-USB cable is attached to this machine");
        UsbLink link(std::make_shared<LibFtdiD2xx>());
        for (int round = 0; round < 3; ++round) {
            QElapsedTimer clock;
            clock.start();
            link.open();
            const qint64 elapsed = clock.elapsed();
            QVERIFY2(elapsed < 100, qPrintable(QStringLiteral("open took %1 ms").arg(elapsed)));
            QCOMPARE(link.UsbState, QStringLiteral("--"));
            QVERIFY(!link.UsbOpen);
            QVERIFY(!link.UsbDevice);
            QCOMPARE(link.statusText(), QStringLiteral("USB:--"));
        }
        QVERIFY(link.readAllWaiting().isEmpty());
        QVERIFY(!link.writeByte('V'));
        QVERIFY(!link.UsbWriteOk);
    }

    // Unless something else is installed, the program drives the real cable.
    void defaultBackendIsTheRealCable()
    {
        D2xx::setBackend(nullptr);
        QVERIFY(dynamic_cast<LibFtdiD2xx *>(D2xx::backend().get()) != nullptr);
        QCOMPARE(D2xx::backend(), D2xx::backend());
    }
};

QTEST_GUILESS_MAIN(TestD2xxLibFtdi)
#include "tst_d2xx_libftdi.moc"
