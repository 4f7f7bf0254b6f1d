#include "sim/KavrSimulator.h"
#include "sim_helper.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace
{

const QByteArray FactoryStatus = hexBytes("56 78 55 00 4E 03 E9 53 00 03");

// The factory block: the program's defaults as the codec places them.
QByteArray factoryBlock()
{
    const std::array<std::uint8_t, 128> b = KavrDeviceModel::factoryBlock();
    return QByteArray(reinterpret_cast<const char *>(b.data()), qsizetype(b.size()));
}

// A settings block as the program would write it: emergency number 1 is
// "0602" (0x6A 0x2A), 100 service hours (4 h + 4 days), power-on count 12.
QByteArray programBlock()
{
    QByteArray b = factoryBlock();
    b[1] = 3;
    b[45] = 4;
    b[46] = 4;
    b[47] = 12;
    b[80] = 0x6A;
    b[81] = 0x2A;
    return b;
}

KavrSimOptions quickOptions()
{
    KavrSimOptions o;
    o.line.turnaroundMs = 2;
    return o;
}

// For rows about what goes over the line rather than when: a line sixteen
// times faster than the communicator's, so a whole write takes a fraction of
// a second. The line's own pace has rows of its own.
KavrSimOptions fastOptions()
{
    KavrSimOptions o;
    o.line.baud = 38400;
    o.line.turnaroundMs = 0;
    return o;
}

} // namespace

class TestKavrSimLine : public QObject
{
    Q_OBJECT
  private slots:
    void statusAnswerOverPty();
    void blockReadIsPacedLikeTheLine();
    void writeIsHandshakedSavedAndTraced();
    void faultsOverPty_data();
    void faultsOverPty();
    void noiseAndMissingZOverPty();
    void hangUpClosesTheLine();
    void slowPacingStretchesAnswers();
    void halfDoneCommandIsAbandoned();
    void attachesToGivenTerminal();
    void cableCarriesPacedAnswers();
    void cableBatchesLikeFtdi();
    void cableUnplugEndsTheDevice();
    void cableHangUpKeepsReceivedBytes();
    void unwritableTraceRefusesToStart();
};

void TestKavrSimLine::statusAnswerOverPty()
{
    KavrSimOptions o = quickOptions();
    o.state.firmware = 23;
    o.state.serialNumber = 258;
    o.state.powerOnCount = 7;
    o.state.serviceHours = 29;
    KavrSimulator sim(o);
    QString error;
    QVERIFY2(sim.startOnPty(&error), qPrintable(error));
    QVERIFY(sim.linePath().startsWith("/dev/pts/"));
    HostTerminal host(sim.linePath());
    QVERIFY(host.isOpen());
    host.send("V");
    QCOMPARE(host.receive(10, 2000), hexBytes("56 17 55 07 4E 01 02 53 05 01"));
    QCOMPARE(host.drain(60), QByteArray()); // nothing more
    // The host may close and reopen the line; the device stays.
    {
        HostTerminal again(sim.linePath());
        again.send("V");
        QCOMPARE(again.receive(10, 2000), hexBytes("56 17 55 07 4E 01 02 53 05 01"));
    }
    QVERIFY(sim.isRunning());
}

void TestKavrSimLine::blockReadIsPacedLikeTheLine()
{
    KavrSimulator sim(quickOptions());
    QVERIFY(sim.startOnPty());
    HostTerminal host(sim.linePath());
    QElapsedTimer t;
    t.start();
    host.send("RP");
    const QByteArray block = host.receive(128, 3000);
    const qint64 ms = t.elapsed();
    QCOMPARE(block, factoryBlock());
    // 128 bytes at 2400 baud are 533 ms; allow for a loaded machine.
    QVERIFY2(ms >= 450 && ms <= 800, qPrintable(QString::number(ms)));
}

void TestKavrSimLine::writeIsHandshakedSavedAndTraced()
{
    QTemporaryDir dir;
    KavrSimOptions o = fastOptions();
    o.saveBlockFile = dir.filePath("written.bin");
    o.traceFile = dir.filePath("trace.txt");
    KavrSimulator sim(o);
    QVERIFY(sim.startOnPty());
    HostTerminal host(sim.linePath());
    const QByteArray block = programBlock();
    QCOMPARE(writeBlockHandshaking(host, block), QByteArray(127, 'D') + 'Z');
    QTRY_COMPARE(sim.writesCompleted(), 1);

    QFile saved(o.saveBlockFile);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), block);
    QCOMPARE(sim.state().serviceHours, 100);
    QCOMPARE(int(sim.state().powerOnCount), 12);

    // The device answers with what it now holds.
    host.send("V");
    QCOMPARE(host.receive(10, 2000), hexBytes("56 78 55 0C 4E 03 E9 53 04 04"));
    host.send("RP");
    QCOMPARE(host.receive(128, 3000), block);

    sim.stop();
    QFile trace(o.traceFile);
    QVERIFY(trace.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = trace.readAll().split('\n');
    int in = 0, out = 0;
    double last = -1;
    for (const QByteArray &l : lines) {
        const QList<QByteArray> f = l.simplified().split(' ');
        if (f.size() < 3)
            continue;
        bool ok = false;
        const double at = f[0].toDouble(&ok);
        QVERIFY2(ok && at >= 0, l.constData());
        QVERIFY2(at >= last || f[1] != "H>D", l.constData());
        if (f[1] == "H>D") {
            ++in;
            last = at;
        } else if (f[1] == "D>H") {
            ++out;
        }
    }
    QCOMPARE(in, 2 + 128 + 1 + 2);
    QCOMPARE(out, 128 + 10 + 128);
    QVERIFY(lines.first().endsWith(" H>D 57 W"));
}

void TestKavrSimLine::faultsOverPty_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("expect");
    QTest::addColumn<QByteArray>("expected");
    QByteArray marked = factoryBlock();
    marked[0] = char(0xAA);
    QTest::newRow("silent") << "silent" << QByteArray("V") << 10 << QByteArray();
    QTest::newRow("cut after 6") << "cut" << QByteArray("V") << 10 << FactoryStatus.left(6);
    QTest::newRow("wrong marker") << "marker" << QByteArray("RP") << 128 << marked;
    QTest::newRow("drop handshake at 3")
        << "drop" << QByteArray("WPU\x01\x02\x03", 6) << 10 << QByteArray("DD");
}

void TestKavrSimLine::faultsOverPty()
{
    QFETCH(QString, fault);
    QFETCH(QByteArray, request);
    QFETCH(int, expect);
    QFETCH(QByteArray, expected);
    KavrSimOptions o = fastOptions();
    o.faults.silent = fault == "silent";
    o.faults.cutAfter = fault == "cut" ? 6 : -1;
    o.faults.wrongMarker = fault == "marker";
    o.faults.dropHandshakeAt = fault == "drop" ? 3 : 0;
    KavrSimulator sim(o);
    QVERIFY(sim.startOnPty());
    HostTerminal host(sim.linePath());
    host.send(request);
    // Once the device has taken the whole request its answer, whatever the
    // fault leaves of it, is on its way: a byte more would follow within a
    // few byte times.
    QTRY_COMPARE(sim.bytesReceived(), (long long)request.size());
    QByteArray got = host.receive(int(expected.size()), 2000);
    got += host.receive(expect - int(got.size()), 50);
    QCOMPARE(got, expected);
    QCOMPARE(sim.writesCompleted(), 0);
}

void TestKavrSimLine::noiseAndMissingZOverPty()
{
    KavrSimOptions o = fastOptions();
    o.faults.noiseEvery = 4;
    o.faults.noZ = true;
    KavrSimulator sim(o);
    QVERIFY(sim.startOnPty());
    HostTerminal host(sim.linePath());
    host.send("V");
    QByteArray noisy = host.receive(12, 1000);
    QCOMPARE(noisy.size(), 12);
    QCOMPARE(noisy.remove(9, 1).remove(4, 1), FactoryStatus);
    QCOMPARE(host.drain(50), QByteArray());

    // Handshake bytes carry noise too: answer byte 12 is the second "D".
    host.send("WPU");
    QCOMPARE(host.receive(1, 500), QByteArray("D"));
    host.send(QByteArray(1, '\1'));
    QCOMPARE(host.receive(2, 500).left(1), QByteArray("D"));

    // Without noise: all 127 handshakes, then no "Z", though the block is kept.
    KavrSimOptions quiet = fastOptions();
    quiet.faults.noZ = true;
    KavrSimulator noZ(quiet);
    QVERIFY(noZ.startOnPty());
    HostTerminal host2(noZ.linePath());
    QCOMPARE(writeBlockHandshaking(host2, programBlock().chopped(1)), QByteArray(127, 'D'));
    host2.send(programBlock().right(1));
    QTRY_COMPARE(noZ.writesCompleted(), 1);
    QCOMPARE(host2.drain(100), QByteArray());
    QCOMPARE(noZ.lastWrittenBlock(), programBlock());
}

void TestKavrSimLine::hangUpClosesTheLine()
{
    KavrSimOptions o = quickOptions();
    o.line.hangUpAfter = 5;
    KavrSimulator sim(o);
    QVERIFY(sim.startOnPty());
    HostTerminal host(sim.linePath());
    host.send("V");
    QCOMPARE(host.receive(10, 1000), FactoryStatus.left(5));
    QVERIFY(host.hungUp());
    QTRY_VERIFY(!sim.isRunning());
    QCOMPARE(sim.bytesSent(), 5);
}

void TestKavrSimLine::slowPacingStretchesAnswers()
{
    KavrSimOptions o = quickOptions();
    o.line.slowFactor = 3.0;
    KavrSimulator sim(o);
    QVERIFY(sim.startOnPty());
    HostTerminal host(sim.linePath());
    QElapsedTimer t;
    t.start();
    host.send("V");
    QCOMPARE(host.receive(10, 2000), FactoryStatus);
    // 10 bytes at a third of 2400 baud: 125 ms instead of 42 ms.
    QVERIFY2(t.elapsed() >= 120 && t.elapsed() < 400, qPrintable(QString::number(t.elapsed())));
}

void TestKavrSimLine::halfDoneCommandIsAbandoned()
{
    KavrSimOptions o = quickOptions();
    o.line.abandonAfterMs = 50;
    KavrSimulator sim(o);
    QVERIFY(sim.startOnPty());
    HostTerminal host(sim.linePath());
    host.send("WPU");
    QCOMPARE(host.receive(1, 500), QByteArray("D"));
    QTest::qWait(120);
    // Were the write still open, this "V" would be a data byte and get a "D".
    host.send("V");
    QCOMPARE(host.receive(10, 1000), FactoryStatus);
    QCOMPARE(sim.writesCompleted(), 0);
}

void TestKavrSimLine::attachesToGivenTerminal()
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(master >= 0);
    QVERIFY(::grantpt(master) == 0 && ::unlockpt(master) == 0);
    const QString slave = QString::fromLocal8Bit(::ptsname(master));
    HostTerminal host(master);

    KavrSimulator sim(quickOptions());
    QString error;
    QVERIFY2(sim.attachTo(slave, &error), qPrintable(error));
    QCOMPARE(sim.linePath(), slave);
    host.send("V");
    QCOMPARE(host.receive(10, 2000), FactoryStatus);

    KavrSimulator missing(quickOptions());
    QVERIFY(!missing.attachTo("/nonexistent/tty", &error));
    QVERIFY(error.contains("/nonexistent/tty"));
    QVERIFY(!missing.attachTo("/dev/null", &error)); // not a terminal
}

void TestKavrSimLine::cableCarriesPacedAnswers()
{
    KavrSimulator sim(quickOptions());
    auto cable = sim.startOnCable();
    QVERIFY(cable);
    QVERIFY(sim.linePath().isEmpty());
    QVERIFY(cable->write("V"));
    // Paced: the first byte is there well before the tenth.
    QElapsedTimer t;
    t.start();
    while (cable->bytesWaiting() == 0 && t.elapsed() < 1000)
        QThread::usleep(200);
    QVERIFY(cable->bytesWaiting() > 0);
    QVERIFY(cable->bytesWaiting() < 10);
    QVERIFY(cable->waitForBytes(10, 1000));
    QCOMPARE(cable->read(4), FactoryStatus.left(4));
    QCOMPARE(cable->bytesWaiting(), 6);
    QCOMPARE(cable->read(), FactoryStatus.mid(4));

    // A write over the cable, handshake by handshake (on a fast line: the
    // pace is checked above).
    KavrSimulator fastSim(fastOptions());
    cable = fastSim.startOnCable();
    QVERIFY(cable);
    const QByteArray block = programBlock();
    QVERIFY(cable->write("WP"));
    QByteArray answers;
    for (char c : block) {
        cable->write(QByteArray(1, c));
        QVERIFY(cable->waitForBytes(1, 500));
        answers += cable->read();
    }
    QCOMPARE(answers, QByteArray(127, 'D') + 'Z');
    QCOMPARE(fastSim.lastWrittenBlock(), block);
}

void TestKavrSimLine::cableBatchesLikeFtdi()
{
    KavrSimOptions o = quickOptions();
    o.line.ftdiLatencyMs = 40;
    KavrSimulator sim(o);
    auto cable = sim.startOnCable();
    QVERIFY(cable);
    QElapsedTimer t;
    t.start();
    cable->write("RP");
    // Watch the count grow: with a 40 ms timer the bytes come in a few
    // batches (about nine bytes each), not one by one.
    int steps = 0, last = 0;
    while (last < 128 && t.elapsed() < 3000) {
        const int now = cable->bytesWaiting();
        if (now != last) {
            ++steps;
            last = now;
        }
        QThread::usleep(500);
    }
    QCOMPARE(cable->read(), factoryBlock());
    QVERIFY2(steps >= 5 && steps <= 25, qPrintable(QString::number(steps)));
    QVERIFY2(t.elapsed() >= 500 && t.elapsed() <= 900, qPrintable(QString::number(t.elapsed())));
}

void TestKavrSimLine::cableUnplugEndsTheDevice()
{
    KavrSimulator sim(quickOptions());
    auto cable = sim.startOnCable();
    QVERIFY(cable);
    QVERIFY(!cable->isHungUp());
    cable->unplug();
    QVERIFY(cable->isHungUp());
    QVERIFY(!cable->write("V"));
    QTRY_VERIFY(!sim.isRunning());
    QCOMPARE(cable->bytesWaiting(), 0);
}

void TestKavrSimLine::cableHangUpKeepsReceivedBytes()
{
    KavrSimOptions o = quickOptions();
    o.line.hangUpAfter = 3;
    KavrSimulator sim(o);
    auto cable = sim.startOnCable();
    cable->write("V");
    QTRY_VERIFY(cable->isHungUp());
    QVERIFY(!cable->waitForBytes(4, 200));
    QCOMPARE(cable->read(), FactoryStatus.left(3));
    QVERIFY(!cable->write("V"));
}

void TestKavrSimLine::unwritableTraceRefusesToStart()
{
    KavrSimOptions o = quickOptions();
    o.traceFile = "/nonexistent/dir/trace.txt";
    KavrSimulator sim(o);
    QString error;
    QVERIFY(!sim.startOnPty(&error));
    QVERIFY(error.contains("trace.txt"));
    QVERIFY(!sim.isRunning());
}

QTEST_GUILESS_MAIN(TestKavrSimLine)
#include "tst_kavrsimline.moc"
