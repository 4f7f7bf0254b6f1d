// The exchange trace: every byte of an exchange, each way, reaches the file
// with its step, and the program opens the trace Config.ini names.

#include "FileKinds.h"
#include "app/KAVR10.h"
#include "app/MessageBoxes.h"
#include "app/ProgramWindows.h"
#include "device/ExchangeService.h"
#include "device/ExchangeTrace.h"
#include "device/exchange_helper.h"
#include "platform/PrivateProfile.h"
#include "settings/MemoryRecord.h"

#include "sim/KavrSimulator.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace
{

QString readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// Bytes traced in one direction, counted from the hex column of each line.
int tracedBytes(const QString &trace, const QString &direction)
{
    int count = 0;
    const QRegularExpression line(
        QStringLiteral("^\\S+ \\S+ \\w+(?: \\d+)? +%1 ([0-9A-F ]+) \\| ").arg(direction),
        QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(trace); it.hasNext();)
        count += int(it.next().captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts).size());
    return count;
}

} // namespace

class TestExchangeTrace : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString oldCwd;

  private slots:
    void initTestCase()
    {
        oldCwd = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
    }
    void cleanupTestCase() { QDir::setCurrent(oldCwd); }

    void everyByteOfAWriteEachWay()
    {
        const QString file = dir.filePath("write.trace");
        {
            QFile old(file);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("kept\n");
        }
        ExchangeTrace trace;
        QVERIFY(trace.open(file));
        VirtualWorld world(false);
        world.service.setTrace(&trace);
        MemoryRecord record;
        QCOMPARE(world.service.write(record), ExchangeResult::Done);
        QVERIFY(trace.flush());

        const QString text = readAll(file);
        QVERIFY2(text.startsWith("kept\n"), "the file is appended to");
        QCOMPARE(tracedBytes(text, "H>D"), int(world.sentByHost().size()));
        QCOMPARE(tracedBytes(text, "D>H"), int(world.device.sent));
        QCOMPARE(world.sentByHost().size(), 1 + 2 + 128);
        // Each data byte carries its number in the block; the handshakes and
        // the final "Z" carry the step.
        QVERIFY2(text.contains(" write 0   H>D 55 | U\n"), qPrintable(text));
        QVERIFY2(text.contains(" write 127 H>D "), qPrintable(text));
        QVERIFY2(text.contains(" write     D>H 5A | Z\n"), qPrintable(text));
        QVERIFY2(text.contains(" version   H>D 56 | V\n"), qPrintable(text));
    }

    void unopenableFileIsReported()
    {
        ExchangeTrace trace;
        const Result<void> opened = trace.open(dir.filePath("no-such-folder/x.trace"));
        QVERIFY(!opened);
        QCOMPARE(opened.failure().subject, dir.filePath("no-such-folder/x.trace"));
        QCOMPARE(opened.failure().code, ENOENT);
        QVERIFY(!trace.isOpen());
        trace.note("nothing happens"); // and nothing breaks
    }

    // A trace file that stops taking bytes (a pipe nobody reads) never holds
    // up the caller: lines beyond the held amount are counted as dropped and
    // reported once the file takes bytes again.
    void stalledFileNeverHoldsUpTheCaller()
    {
        const QByteArray fifo = QFile::encodeName(dir.filePath("stalled.fifo"));
        QVERIFY(::mkfifo(fifo.constData(), 0600) == 0);
        const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
        QByteArray received;
        {
            auto owned = std::make_unique<ExchangeTrace>();
            ExchangeTrace &trace = *owned;
            trace.adopt(::open(fifo.constData(), O_WRONLY | O_CLOEXEC), QString::fromLocal8Bit(fifo));
            QVERIFY(trace.isOpen());
            const QString line(100, QLatin1Char('x'));
            const int lines = int(2 * ExchangeTrace::MaxPending / line.size());
            for (int i = 0; i < lines; ++i)
                trace.note(line); // returns although nothing is read yet
            std::thread drain([&] {
                char buffer[65536];
                for (;;) {
                    const ssize_t n = ::read(reader, buffer, sizeof buffer);
                    if (n > 0)
                        received.append(buffer, n);
                    else if (n == 0)
                        return; // the trace closed its end
                    else if (errno == EAGAIN)
                        std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    else
                        return;
                }
            });
            static_cast<void>(trace.flush());
            trace.note(QStringLiteral("after the stall"));
            static_cast<void>(trace.flush());
            owned.reset(); // closing the trace ends the reader's loop
            drain.join();
        }
        ::close(reader);
        const QString text = QString::fromUtf8(received);
        QVERIFY2(text.contains(QRegularExpression("\\.\\.\\. \\d+ lines dropped")),
                 "dropped lines are reported");
        QVERIFY(text.endsWith(" after the stall\n"));
        // At most what the writer had taken when the pipe filled, and what it held.
        QVERIFY(received.size() <= 2 * ExchangeTrace::MaxPending + 4096);
    }

    // A pipe whose reader has gone: the trace loses its lines, the process
    // lives on.
    void goneReaderDoesNotEndTheProcess()
    {
        const QByteArray fifo = QFile::encodeName(dir.filePath("gone.fifo"));
        QVERIFY(::mkfifo(fifo.constData(), 0600) == 0);
        const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
        ExchangeTrace trace;
        trace.adopt(::open(fifo.constData(), O_WRONLY | O_CLOEXEC), QString::fromLocal8Bit(fifo));
        ::close(reader);
        trace.note(QStringLiteral("nobody reads this"));
        const Result<void> flushed = trace.flush();
        QVERIFY(!flushed);
        QVERIFY(trace.isOpen());
        QCOMPARE(flushed.failure().text(), QString::fromLocal8Bit(fifo) + QStringLiteral(": Broken pipe"));
    }

    // Only a regular file (or the one a link names) takes a trace; anything
    // else is refused at once, named in the error, and left as it is.
    void onlyRegularFilesTakeATrace_data() { FileKinds::addRows(); }
    void onlyRegularFilesTakeATrace()
    {
        QFETCH(int, kind);
        const auto k = FileKinds::Kind(kind);
        const QString file = dir.filePath(QStringLiteral("kind-%1.trace").arg(kind));
        MAKE_FILE_KIND(k, file, "kept\n");
        ExchangeTrace trace;
        const Result<void> opened = trace.open(file);
        QCOMPARE(opened.ok(), FileKinds::isRegular(k));
        QVERIFY(FileKinds::stillThere(k, file));
        if (!FileKinds::isRegular(k)) {
            const QString error = opened.failure().text();
            QVERIFY2(error.startsWith(file + QStringLiteral(": ")) &&
                         error.endsWith(QLatin1String("not a regular file")),
                     qPrintable(error));
            QVERIFY(!trace.isOpen());
            return;
        }
        trace.note(QStringLiteral("added"));
        QVERIFY(trace.close());
        const QString text = readAll(file);
        QVERIFY2(text.startsWith(QLatin1String("kept\n")) && text.endsWith(QLatin1String(" added\n")),
                 qPrintable(text));
    }

    // A trace the disk stops taking (here the process's file size limit,
    // which fails writes as a full disk does) is reported, not passed over.
    void failedWritesAreReported()
    {
        const QString file = dir.filePath(QStringLiteral("full.trace"));
        ExchangeTrace trace;
        QVERIFY(trace.open(file));
        rlimit old{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit small = old;
        small.rlim_cur = 4096;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        for (int i = 0; i < 100; ++i)
            trace.note(QString(100, QLatin1Char('x')));
        const bool flushed = trace.flush().ok();
        const Result<void> closed = trace.close();
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!flushed);
        QVERIFY(!closed);
        QVERIFY(trace.failed());
        QCOMPARE(closed.failure().text(), file + QStringLiteral(": File too large"));
        QCOMPARE(QFileInfo(file).size(), 4096);
    }

    void programTracesWhatConfigIniNames()
    {
        KavrSimulator sim;
        QString error;
        QVERIFY2(sim.startOnPty(&error), qPrintable(error));
        const QString config = dir.filePath("Config.ini");
        QVERIFY(PrivateProfile::writeString(config, "Ports", "COM1", sim.linePath()));
        QVERIFY(PrivateProfile::writeString(config, "Setup", "COM", "1"));
        QVERIFY(PrivateProfile::writeString(config, "Setup", "USB", "0"));
        QVERIFY(PrivateProfile::writeString(config, "Setup", "Trace", "support.trace"));
        MessageBoxes::setResponder([](const MessageBoxes::Shown &) { return false; });
        {
            ProgramWindows windows;
            windows.Form1->Timer1->stop();
            windows.Form1->show();
            windows.Form1->Timer1Timer(); // the start-up version query
            QCOMPARE(windows.Form1->FirmwareVersion, QStringLiteral("1.20"));
        }
        MessageBoxes::setResponder(nullptr);
        const QString text = readAll(dir.filePath("support.trace"));
        QVERIFY2(text.contains(" version   D>H 56 78 55 00 4E 03 E9 53 00 03 | VxU.N..S..\n"),
                 qPrintable(text));
    }
};

QTEST_MAIN(TestExchangeTrace)
#include "tst_exchangetrace.moc"
