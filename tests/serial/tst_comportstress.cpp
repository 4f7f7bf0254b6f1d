#include "serial/AfComPort.h"
#include "serial/pty_helper.h"

#include <QTest>

#include <atomic>
#include <cerrno>
#include <poll.h>
#include <thread>
#include <unistd.h>

// Open and close over and over while the far side floods the line.
class ComPortStressTest : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase();
    void openCloseWhileFlooded();
};

void ComPortStressTest::openCloseWhileFlooded()
{
    PortsFolder folder;
    PtyPair pty;
    QVERIFY(pty.ok() && folder.setPort(3, pty.slavePath()));

    const int descriptors = openDescriptorCount();
    std::atomic<bool> stop{false};
    std::atomic<long> flooded{0};
    std::thread farSide([&] {
        const QByteArray chunk = allByteValues();
        char sink[4096];
        while (!stop.load()) {
            const ssize_t n = ::write(pty.master(), chunk.constData(), size_t(chunk.size()));
            if (n > 0)
                flooded += n;
            while (::read(pty.master(), sink, sizeof sink) > 0) {
            }
            if (n <= 0) {
                // Line full, or nobody on the other end between two opens.
                pollfd p{pty.master(), POLLOUT, 0};
                ::poll(&p, 1, 1);
            }
        }
    });

    long received = 0;
    int closedFromHandler = 0;
    {
        auto port = std::make_unique<TAfComPort>();
        port->setObjectName(QStringLiteral("AfComPort1"));
        port->SetBaudRate(br2400);
        port->SetDTR(false);
        port->SetComNumber(3);
        bool closeInHandler = false;
        port->OnDataRecived = [&](QObject *, int) {
            received += port->ReadString().size();
            if (closeInHandler) {
                closeInHandler = false;
                ++closedFromHandler;
                port->Close();
            }
        };
        for (int cycle = 0; cycle < 500; ++cycle) {
            port->Open();
            QVERIFY(port->IsOpen());
            if (cycle % 3 == 0)
                port->WriteString(QByteArray(100, char(cycle)));
            if (cycle % 5 == 0) {
                closeInHandler = true;
                QTest::qWait(5);
            } else {
                QCoreApplication::processEvents();
            }
            port->Close();
            QVERIFY(!port->IsOpen());
        }
    }
    stop = true;
    farSide.join();

    QVERIFY(flooded.load() > 0);
    QVERIFY(received > 0);
    QVERIFY(closedFromHandler > 0);
    QCOMPARE(openDescriptorCount(), descriptors);
}

void ComPortStressTest::initTestCase()
{
    // The process-wide main-thread call table keeps one descriptor from its
    // first use on; take it before descriptors are counted.
    TAfComPort first;
}

QTEST_MAIN(ComPortStressTest)
#include "tst_comportstress.moc"
