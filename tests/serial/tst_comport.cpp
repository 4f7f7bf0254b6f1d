#include "serial/AfComPort.h"
#include "serial/pty_helper.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <time.h>
#include <unistd.h>

#ifndef BOTHER
#define BOTHER 0010000 // the kernel's "rate given in numbers" speed code
#endif

namespace
{

// The component as the communication dialog keeps it.
std::unique_ptr<TAfComPort> programPort(int comNumber)
{
    auto port = std::make_unique<TAfComPort>();
    port->setObjectName(QStringLiteral("AfComPort1"));
    port->SetBaudRate(br2400);
    port->SetDTR(false);
    port->SetEventThreadPriority(tpHighest);
    port->SetComNumber(comNumber);
    port->Loaded();
    return port;
}

QString openError(TAfComPort &port)
{
    try {
        port.Open();
    } catch (const EAfComPortCoreError &e) {
        return e.Message();
    } catch (const std::exception &e) {
        return QStringLiteral("unexpected: ") + QString::fromLocal8Bit(e.what());
    }
    return {};
}

// Whether every thread of the process but the calling one sleeps.
bool otherThreadsAsleep()
{
    const QString self = QString::number(::gettid());
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (tid == self)
            continue;
        QFile stat(tasks.filePath(tid + QStringLiteral("/stat")));
        if (!stat.open(QIODevice::ReadOnly))
            continue; // ended meanwhile
        const QByteArray line = stat.readAll();
        // "tid (name) S ...": the state follows the last parenthesis.
        const qsizetype at = line.lastIndexOf(')');
        if (at >= 0 && line.size() > at + 2 && line[at + 2] == 'R')
            return false;
    }
    return true;
}

} // namespace

class ComPortTest : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase();
    void programRecord();
    void lineSettingsReachTheTerminal_data();
    void lineSettingsReachTheTerminal();
    void allByteValuesBothWays();
    void pollReportsUnreadInput();
    void outputRingLimits();
    void outBufFreeOnceWhenDrained();
    void largeTransferThroughAFullLine();
    void comNumberChanges();
    void openOutcomes_data();
    void openOutcomes();
    void stateErrors();
    void farSideVanishesMidTransfer();
    void closeWhileEventWaitsForMainThread();
    void closeFromDataHandler();
    void autoOpenAndQuietDestruction();
    void openWithFewDescriptorsLeft();
};

void ComPortTest::programRecord()
{
    auto port = programPort(0);
    const TerminalLineSettings &d = port->DCB();
    QCOMPARE(d.DCBlength, 28u);
    QCOMPARE(d.BaudRate, 2400u);
    QCOMPARE(d.Flags, 0x1001u);
    QCOMPARE(d.XonLim, 0);
    QCOMPARE(d.XoffLim, 0);
    QCOMPARE(d.ByteSize, 8);
    QCOMPARE(d.Parity, 0);
    QCOMPARE(d.StopBits, 0);
    QCOMPARE(d.XonChar, char(17));
    QCOMPARE(d.XoffChar, char(19));
    QCOMPARE(d.ErrorChar + d.EofChar + d.EvtChar + d.wReserved + d.wReserved1, 0);
}

void ComPortTest::lineSettingsReachTheTerminal_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("userBaud");
    QTest::addColumn<int>("databits");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("stopbits");
    QTest::addColumn<int>("flow");
    QTest::addColumn<int>("speed");
    QTest::addColumn<int>("cflagSet");
    QTest::addColumn<int>("cflagClear");
    QTest::addColumn<int>("iflagSet");

    QTest::newRow("program 2400 8N1")
        << int(br2400) << 0 << int(db8) << int(paNone) << int(sbOne) << int(fwNone) << int(B2400)
        << int(CS8 | CREAD | CLOCAL) << int(PARENB | CSTOPB | CRTSCTS) << 0;
    QTest::newRow("9600 7E2") << int(br9600) << 0 << int(db7) << int(paEven) << int(sbTwo) << int(fwNone)
                              << int(B9600) << int(CS7 | PARENB | CSTOPB) << int(PARODD | CMSPAR) << 0;
    QTest::newRow("115200 8O1 rts/cts")
        << int(br115200) << 0 << int(db8) << int(paOdd) << int(sbOne) << int(fwRtsCts) << int(B115200)
        << int(CS8 | PARENB | PARODD | CRTSCTS) << int(CMSPAR | CSTOPB) << 0;
    QTest::newRow("1200 5 mark xon/xoff")
        << int(br1200) << 0 << int(db5) << int(paMark) << int(sbOne) << int(fwXOnXOff) << int(B1200)
        << int(CS5 | PARENB | PARODD | CMSPAR) << int(CRTSCTS) << int(IXON | IXOFF);
    QTest::newRow("user 250000 6 space")
        << int(brUser) << 250000 << int(db6) << int(paSpace) << int(sbOne) << int(fwNone) << int(BOTHER)
        << int(CS6 | PARENB | CMSPAR) << int(PARODD) << 0;
}

void ComPortTest::lineSettingsReachTheTerminal()
{
    QFETCH(int, baud);
    QFETCH(int, userBaud);
    QFETCH(int, databits);
    QFETCH(int, parity);
    QFETCH(int, stopbits);
    QFETCH(int, flow);
    QFETCH(int, speed);
    QFETCH(int, cflagSet);
    QFETCH(int, cflagClear);
    QFETCH(int, iflagSet);

    PortsFolder folder;
    PtyPair pty;
    QVERIFY(pty.ok() && folder.setPort(3, pty.slavePath()));
    auto port = programPort(3);
    if (baud == brUser)
        port->SetUserBaudRate(userBaud);
    else
        port->SetBaudRate(TAfBaudrate(baud));
    port->SetDatabits(TAfDatabits(databits));
    port->SetParity(TAfParity(parity));
    port->SetStopbits(TAfStopbits(stopbits));
    port->SetFlowControl(TAfFlowControl(flow));
    port->Open();
    QVERIFY(port->IsOpen());

    termios t{};
    QCOMPARE(tcgetattr(pty.master(), &t), 0); // the master reports the slave's settings
    QCOMPARE(int(cfgetospeed(&t)), speed);
    // A pseudo-terminal always keeps 8 bits without parity; the rest it
    // keeps as set (the termios translation is checked for those bits on its own).
    const int ptyKeeps = ~int(CSIZE | PARENB);
    QCOMPARE(int(t.c_cflag) & cflagSet & ptyKeeps, cflagSet & ptyKeeps);
    QCOMPARE(int(t.c_cflag & cflagClear), 0);
    QCOMPARE(int(t.c_iflag & (IXON | IXOFF)), iflagSet);
    // Raw: no line editing, echo, signals or character translation.
    QCOMPARE(int(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN)), 0);
    QCOMPARE(int(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP)), 0);
    QCOMPARE(int(t.c_oflag & OPOST), 0);
    QCOMPARE(int(t.c_cc[VMIN]), 0);

    // Changed while open: applied at once.
    port->SetBaudRate(br4800);
    QCOMPARE(tcgetattr(pty.master(), &t), 0);
    QCOMPARE(cfgetospeed(&t), speed_t(B4800));
}

void ComPortTest::allByteValuesBothWays()
{
    PortsFolder folder;
    PtyPair pty;
    QVERIFY(pty.ok() && folder.setPort(3, pty.slavePath()));
    auto port = programPort(3);
    QByteArray received;
    bool offMainThread = false;
    port->OnDataRecived = [&](QObject *sender, int count) {
        offMainThread |= QThread::currentThread() != QCoreApplication::instance()->thread();
        QCOMPARE(sender, port.get());
        if (count > 0)
            received += port->ReadString();
    };
    port->Open();

    QVERIFY(pty.write(allByteValues()));
    QTRY_COMPARE_WITH_TIMEOUT(received.size(), 256, 5000);
    QCOMPARE(received, allByteValues());
    QVERIFY(!offMainThread);

    port->WriteString(allByteValues());
    QCOMPARE(pty.read(256, 5000), allByteValues());
}

void ComPortTest::pollReportsUnreadInput()
{
    PortsFolder folder;
    PtyPair pty;
    QVERIFY(pty.ok() && folder.setPort(3, pty.slavePath()));
    auto port = programPort(3);
    QList<int> counts;
    // The dialog waits for a whole answer and leaves a partial one unread.
    port->OnDataRecived = [&](QObject *, int count) { counts << count; };
    port->Open();
    QVERIFY(pty.write("abc"));
    QTRY_VERIFY_WITH_TIMEOUT(counts.count(3) >= 3, 3000);
    QCOMPARE(port->InQueueCount(), 3);
    QCOMPARE(port->ReadString(), QByteArray("abc"));
    QCOMPARE(port->ReadString(), QByteArray());
}

void ComPortTest::outputRingLimits()
{
    PortsFolder folder;
    PtyPair pty;
    QVERIFY(pty.ok() && folder.setPort(3, pty.slavePath()));
    auto port = programPort(3);

    try {
        port->WriteString("x");
        QFAIL("a closed port took output");
    } catch (const EAfComPortError &e) {
        QCOMPARE(e.Message(), QStringLiteral("Write data error [requested: 1, free: 0] - AfComPort1 "));
    }

    port->Open();
    QCOMPARE(port->OutBufferFree(), 2048);
    try {
        port->WriteString(QByteArray(2049, 'a'));
        QFAIL("2049 bytes fitted into a ring of 2048");
    } catch (const EAfComPortError &e) {
        QCOMPARE(e.Message(), QStringLiteral("Write data error [requested: 2049, free: 2048] - AfComPort1 "));
    }
    port->WriteString(QByteArray());
    QCOMPARE(pty.read(1, 300), QByteArray());

    QByteArray block(2048, '\0');
    for (int i = 0; i < block.size(); ++i)
        block[i] = char(i * 7 + 3);
    port->WriteString(block);
    QCOMPARE(pty.read(2048, 5000), block);
}

void ComPortTest::outBufFreeOnceWhenDrained()
{
    PortsFolder folder;
    PtyPair pty;
    QVERIFY(pty.ok() && folder.setPort(3, pty.slavePath()));
    auto port = programPort(3);
    int drained = 0;
    port->OnOutBufFree = [&](QObject *) { ++drained; };
    port->Open();
    port->WriteString(QByteArray(1000, 'q'));
    QCOMPARE(pty.read(1000, 5000).size(), 1000);
    QTRY_COMPARE_WITH_TIMEOUT(drained, 1, 3000);
    QTest::qWait(450); // two more poll periods: no second report
    QCOMPARE(drained, 1);
    QCOMPARE(port->OutBufferFree(), 2048);
}

void ComPortTest::largeTransferThroughAFullLine()
{
    PortsFolder folder;
    PtyPair pty;
    QVERIFY(pty.ok() && folder.setPort(3, pty.slavePath()));
    auto port = programPort(3);
    port->Open();
    // Far more than the line holds: writes come back short or refused and
    // the write thread has to go on by itself as the far side reads.
    QByteArray payload(300 * 1024, '\0');
    for (qsizetype i = 0; i < payload.size(); ++i)
        payload[i] = char((i * 31) ^ (i >> 8));
    qsizetype queued = 0;
    QByteArray received;
    QElapsedTimer timer;
    timer.start();
    while (received.size() < payload.size() && timer.elapsed() < 30000) {
        const int room = port->OutBufferFree();
        if (queued < payload.size() && room > 0) {
            const int n = int(std::min<qsizetype>(room, payload.size() - queued));
            port->WriteData(payload.constData() + queued, n);
            queued += n;
        }
        // The far side sips: the line fills up and stays full.
        char sip[1024];
        const ssize_t n = ::read(pty.master(), sip, sizeof sip);
        if (n > 0)
            received.append(sip, n);
        QTest::qWait(1);
    }
    QCOMPARE(received.size(), payload.size());
    QVERIFY(received == payload);
}

void ComPortTest::comNumberChanges()
{
    PortsFolder folder;
    PtyPair first, second;
    QVERIFY(first.ok() && second.ok());
    QVERIFY(folder.setPort(3, first.slavePath()));
    QVERIFY(folder.setPort(4, second.slavePath()));
    QVERIFY(folder.setPort(5, folder.path() + QStringLiteral("/no-such-device")));
    auto port = programPort(3);
    int opened = 0, closed = 0;
    port->OnPortOpen = [&](QObject *) { ++opened; };
    port->OnPortClose = [&](QObject *) { ++closed; };

    port->SetComNumber(4); // closed: only stored
    QCOMPARE(opened + closed, 0);
    port->SetComNumber(3);
    port->Open();
    QCOMPARE(opened, 1);

    port->SetComNumber(3); // same number: nothing happens
    QCOMPARE(opened, 1);
    QCOMPARE(closed, 0);

    port->SetComNumber(4);
    QCOMPARE(closed, 1);
    QCOMPARE(opened, 2);
    QVERIFY(port->IsOpen());
    port->WriteString("on four");
    QCOMPARE(second.read(7, 3000), QByteArray("on four"));
    QCOMPARE(first.read(1, 100), QByteArray());

    try {
        port->SetComNumber(5);
        QFAIL("opened a device that does not exist");
    } catch (const EAfComPortCoreError &e) {
        QCOMPARE(e.Message(), QStringLiteral("Invalid port number (COM5)"));
    }
    QVERIFY(!port->IsOpen());
    QCOMPARE(port->ComNumber(), 5);
    QCOMPARE(closed, 2);
}

void ComPortTest::openOutcomes_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("target"); // "pty", "busy", "absent", "file", "none"
    QTest::addColumn<QString>("message");

    QTest::newRow("free") << 3 << "pty" << QString();
    QTest::newRow("held by another program") << 3 << "busy"
                                             << "Can't open device COM3";
    QTest::newRow("no such node") << 7 << "absent"
                                  << "Invalid port number (COM7)";
    QTest::newRow("not a terminal") << 3 << "file"
                                    << "Can't open device COM3";
    QTest::newRow("number 0") << 0 << "none"
                              << "Invalid port number (COM0)";
    QTest::newRow("negative number") << -2 << "none"
                                     << "Invalid port number (COM-2)";
    QTest::newRow("above 16 without entry") << 17 << "none"
                                            << "Invalid port number (COM17)";
}

void ComPortTest::openOutcomes()
{
    QFETCH(int, number);
    QFETCH(QString, target);
    QFETCH(QString, message);

    PortsFolder folder;
    PtyPair pty;
    QVERIFY(pty.ok());
    const int descriptors = openDescriptorCount();
    int holder = -1;
    if (target == "pty" || target == "busy")
        QVERIFY(folder.setPort(number, pty.slavePath()));
    if (target == "busy") {
        holder = ::open(pty.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        QVERIFY(holder >= 0);
        QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
    }
    if (target == "absent")
        QVERIFY(folder.setPort(number, folder.path() + QStringLiteral("/ttyGone")));
    if (target == "file") {
        QFile file(folder.path() + QStringLiteral("/plain"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(folder.setPort(number, file.fileName()));
    }

    {
        auto port = programPort(number);
        int opened = 0;
        port->OnPortOpen = [&](QObject *) { ++opened; };
        QCOMPARE(openError(*port), message);
        QCOMPARE(port->IsOpen(), message.isEmpty());
        QCOMPARE(opened, message.isEmpty() ? 1 : 0);
        if (!message.isEmpty()) {
            // A failed open leaves the component usable and closed.
            QCOMPARE(port->ReadString(), QByteArray());
            QCOMPARE(port->OutBufferFree(), 0);
        }
    }
    if (holder >= 0)
        ::close(holder);
    QCOMPARE(openDescriptorCount(), descriptors);
}

void ComPortTest::stateErrors()
{
    PortsFolder folder;
    PtyPair pty;
    QVERIFY(pty.ok() && folder.setPort(3, pty.slavePath()));
    auto port = programPort(3);
    char buffer[4];
    try {
        port->ReadData(buffer, 4);
        QFAIL("read from a closed port");
    } catch (const EAfComPortError &e) {
        QCOMPARE(e.Message(), QStringLiteral("Read data error - AfComPort1 "));
    }
    port->SetInBufSize(1024); // closed: accepted
    port->SetOutBufSize(512);
    port->Open();
    QCOMPARE(port->OutBufferFree(), 512);
    for (int which = 0; which < 2; ++which) {
        try {
            if (which == 0)
                port->SetInBufSize(2048);
            else
                port->SetOutBufSize(2048);
            QFAIL("buffer size changed on an open port");
        } catch (const EAfComPortError &e) {
            QCOMPARE(e.Message(), QStringLiteral("Port is not closed - AfComPort1 "));
        }
    }
    QCOMPARE(port->InBufSize(), 1024);
    QCOMPARE(port->OutBufSize(), 512);

    QVERIFY(pty.write("wxyz"));
    QTRY_COMPARE_WITH_TIMEOUT(port->InQueueCount(), 4, 3000);
    port->ReadData(buffer, 4);
    QCOMPARE(QByteArray(buffer, 4), QByteArray("wxyz"));
    try {
        port->ReadData(buffer, 1);
        QFAIL("read more than was waiting");
    } catch (const EAfComPortError &e) {
        QCOMPARE(e.Message(), QStringLiteral("Read data error - AfComPort1 "));
    }
}

void ComPortTest::farSideVanishesMidTransfer()
{
    PortsFolder folder;
    PtyPair pty;
    QVERIFY(pty.ok() && folder.setPort(3, pty.slavePath()));
    auto port = programPort(3);
    QStringList errors;
    bool offMainThread = false;
    port->OnPortError = [&](QObject *, const std::exception &e) {
        offMainThread |= QThread::currentThread() != QCoreApplication::instance()->thread();
        errors << QString::fromLocal8Bit(e.what());
    };
    int closed = 0;
    port->OnPortClose = [&](QObject *) { ++closed; };
    port->OnDataRecived = [&](QObject *, int) { port->ReadString(); };
    port->Open();
    port->WriteString(QByteArray(2000, 'o'));
    QVERIFY(pty.write(QByteArray(500, 'i')));
    pty.closeMaster();

    QTRY_COMPARE_WITH_TIMEOUT(errors.size(), 1, 3000);
    QCOMPARE(errors.first(), QStringLiteral("Connection lost (COM3)"));
    QVERIFY(!offMainThread);
    QVERIFY(port->ConnectionLost());
    QVERIFY(port->IsOpen());

    // The port threads go quiet instead of spinning on the dead line: every
    // thread but this one is found asleep, time after time (a thread that
    // spins is never asleep, however often it calls the system).
    QElapsedTimer waited;
    waited.start();
    int asleepInARow = 0;
    while (asleepInARow < 20 && waited.elapsed() < 3000) {
        asleepInARow = otherThreadsAsleep() ? asleepInARow + 1 : 0;
        QTest::qWait(2);
    }
    QVERIFY2(asleepInARow == 20, "a port thread keeps spinning after the hang-up");
    QCOMPARE(errors.size(), 1);

    QCOMPARE(port->ReadString(), QByteArray());
    QVERIFY_THROWS_EXCEPTION(EAfComPortError, port->WriteString("more"));
    port->Close();
    QCOMPARE(closed, 1);
    QVERIFY(!port->IsOpen());
    QVERIFY(!port->ConnectionLost());
}

void ComPortTest::closeWhileEventWaitsForMainThread()
{
    PortsFolder folder;
    PtyPair pty;
    QVERIFY(pty.ok() && folder.setPort(3, pty.slavePath()));
    auto port = programPort(3);
    int calls = 0;
    port->OnDataRecived = [&](QObject *, int) { ++calls; };
    port->Open();
    QVERIFY(pty.write("late"));
    // The main thread is busy: the event thread now waits in its send,
    // whose time limit (2000 ms) would hold a close for 1900 ms more.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    QElapsedTimer timer;
    timer.start();
    port->Close();
    QVERIFY2(timer.elapsed() < 1500, "close waited for the event thread's send to time out");
    QTest::qWait(100);
    QCOMPARE(calls, 0); // the event in flight is dropped, not delivered after the close
}

void ComPortTest::closeFromDataHandler()
{
    PortsFolder folder;
    PtyPair pty;
    QVERIFY(pty.ok() && folder.setPort(3, pty.slavePath()));
    auto port = programPort(3);
    QByteArray answer;
    // As the dialog does with ClosePort "1": take the answer and close.
    port->OnDataRecived = [&](QObject *, int count) {
        if (count >= 10) {
            answer = port->ReadString();
            port->Close();
        }
    };
    for (int round = 0; round < 5; ++round) {
        answer.clear();
        port->Open();
        QVERIFY(pty.write("0123456789"));
        QTRY_VERIFY_WITH_TIMEOUT(!port->IsOpen(), 3000);
        QCOMPARE(answer, QByteArray("0123456789"));
    }
}

void ComPortTest::autoOpenAndQuietDestruction()
{
    PortsFolder folder;
    PtyPair pty;
    QVERIFY(pty.ok() && folder.setPort(3, pty.slavePath()));
    auto port = std::make_unique<TAfComPort>();
    port->setObjectName(QStringLiteral("AfComPort1"));
    port->SetComNumber(3);
    port->SetAutoOpen(true);
    int opened = 0, closed = 0;
    port->OnPortOpen = [&](QObject *) { ++opened; };
    port->OnPortClose = [&](QObject *) { ++closed; };
    port->Loaded();
    QVERIFY(port->IsOpen());
    QCOMPARE(opened, 1);

    // Held while open: nobody else gets in. A normal user is kept out by the
    // exclusive mode already; root passes that and meets the lock.
    const QByteArray path = pty.slavePath().toLocal8Bit();
    int other = ::open(path.constData(), O_RDWR | O_NOCTTY);
    if (other < 0)
        QCOMPARE(errno, EBUSY);
    else
        QCOMPARE(::flock(other, LOCK_EX | LOCK_NB), -1);
    port.reset();
    QCOMPARE(closed, 0); // destruction closes without the event
    if (other < 0)
        other = ::open(path.constData(), O_RDWR | O_NOCTTY);
    QVERIFY(other >= 0);
    QCOMPARE(::flock(other, LOCK_EX | LOCK_NB), 0);
    ::close(other);
}

void ComPortTest::openWithFewDescriptorsLeft()
{
    PortsFolder folder;
    PtyPair pty;
    QVERIFY(pty.ok() && folder.setPort(3, pty.slavePath()));
    auto port = programPort(3);
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_NOFILE, &saved), 0);
    const int baseline = openDescriptorCount();
    int failures = 0;
    // With each headroom the open either works or fails with the core's
    // error, in good time, and leaves no descriptor behind.
    for (int headroom = -2; headroom <= 24; ++headroom) {
        rlimit tight = saved;
        tight.rlim_cur = rlim_t(baseline + headroom);
        QCOMPARE(setrlimit(RLIMIT_NOFILE, &tight), 0);
        QElapsedTimer timer;
        timer.start();
        QString error;
        try {
            port->Open();
        } catch (const EAfComPortCoreError &e) {
            error = e.Message();
        }
        const qint64 took = timer.elapsed();
        QCOMPARE(setrlimit(RLIMIT_NOFILE, &saved), 0);
        QVERIFY2(took < 2000, qPrintable(QStringLiteral("open took %1 ms").arg(took)));
        if (!error.isEmpty()) {
            ++failures;
            QVERIFY2(error == "Can't open device COM3" || error == "Error creating threads",
                     qPrintable(error));
            QVERIFY(!port->IsOpen());
        }
        port->Close();
        QCOMPARE(openDescriptorCount(), baseline);
    }
    QVERIFY(failures > 2);
    port->Open();
    QVERIFY(port->IsOpen());
}

void ComPortTest::initTestCase()
{
    // The process-wide main-thread call table keeps one descriptor from its
    // first use on; take it before descriptors are counted.
    TAfComPort first;
}

QTEST_MAIN(ComPortTest)
#include "tst_comport.moc"
