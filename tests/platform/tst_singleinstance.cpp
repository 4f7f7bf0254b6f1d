// The single-instance lock: one holder at a time, and a lock left behind by a
// process that has died does not block the next start.

#include "FileKinds.h"
#include "platform/SingleInstance.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

class SingleInstanceTest : public QObject
{
    Q_OBJECT

    QTemporaryDir runtime;
    QByteArray previous;

  private slots:
    void init()
    {
        previous = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    }
    void cleanup() { qputenv("XDG_RUNTIME_DIR", previous); }

    void lockLivesInTheRuntimeDirectory()
    {
        QCOMPARE(SingleInstance::lockPathFor(QStringLiteral("Tessaro")), runtime.filePath("Tessaro.lock"));
        qputenv("XDG_RUNTIME_DIR", runtime.filePath("missing").toLocal8Bit());
        QCOMPARE(SingleInstance::lockPathFor(QStringLiteral("Tessaro")),
                 QDir(QDir::tempPath()).filePath(QStringLiteral("Tessaro-%1.lock").arg(::getuid())));
    }

    void oneHolderAtATime()
    {
        auto first = std::make_unique<SingleInstance>(QStringLiteral("Probe"));
        SingleInstance second(QStringLiteral("Probe"));
        QVERIFY(first->acquire());
        QVERIFY(first->held());
        QVERIFY(first->acquire()); // asking again keeps it
        QVERIFY(!second.acquire());
        QVERIFY(!second.held());
        first.reset(); // released with its owner
        QVERIFY(!QFile::exists(runtime.filePath("Probe.lock")));
        QVERIFY(second.acquire());
    }

    void otherNamesDoNotCollide()
    {
        SingleInstance a(QStringLiteral("One"));
        SingleInstance b(QStringLiteral("Two"));
        QVERIFY(a.acquire());
        QVERIFY(b.acquire());
    }

    void deadHolderIsTakenOver()
    {
        // A process that has surely ended: its number is free again.
        QProcess gone;
        qint64 pid = 0;
        connect(&gone, &QProcess::started, this, [&] { pid = gone.processId(); });
        gone.start(QStringLiteral("true"));
        QVERIFY(gone.waitForFinished(10000));
        QVERIFY(pid > 0);
        QFile stale(runtime.filePath("Tessaro.lock"));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write(QByteArray::number(pid) + '\n' + QCoreApplication::applicationName().toUtf8() + '\n' +
                    QSysInfo::machineHostName().toUtf8() + '\n');
        stale.close();

        SingleInstance next;
        QVERIFY(next.acquire());
        QVERIFY(next.held());
        QVERIFY(stale.open(QIODevice::ReadOnly));
        QCOMPARE(stale.readLine().trimmed().toLongLong(), QCoreApplication::applicationPid());
    }

    // A lock that names no running copy of this program is stale, however
    // new: it is taken over at once.
    void staleLocksAreTakenOver_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("garbled") << QByteArray("\x01\xff garbage\n\n");
        QTest::newRow("number only") << QByteArray::number(QCoreApplication::applicationPid()) + '\n';
        QTest::newRow("a running process of another program")
            << "1\n" + QCoreApplication::applicationName().toUtf8() + '\n';
        QTest::newRow("this process under another name")
            << QByteArray::number(QCoreApplication::applicationPid()) + "\nother-program\n";
    }
    void staleLocksAreTakenOver()
    {
        QFETCH(QByteArray, contents);
        QString why;
        QVERIFY(FileKinds::make(FileKinds::Kind::Regular, runtime.filePath("Tessaro.lock"), contents, &why));
        SingleInstance next;
        QVERIFY(next.acquire());
        QVERIFY(next.held());
        QVERIFY(next.problem().isEmpty());
    }

    // Anything but a regular file under the lock's name cannot be used: the
    // program runs without the lock, told why, and the entry is left alone.
    void unusableLockIsReported_data() { FileKinds::addRows(); }
    void unusableLockIsReported()
    {
        QFETCH(int, kind);
        const auto k = FileKinds::Kind(kind);
        const QString path = runtime.filePath("Odd.lock");
        MAKE_FILE_KIND(k, path, "garbled");
        {
            SingleInstance instance(QStringLiteral("Odd"));
            QVERIFY(instance.acquire());
            QCOMPARE(instance.held(), k == FileKinds::Kind::Regular);
            if (k != FileKinds::Kind::Regular) {
                QVERIFY2(instance.problem().endsWith(QLatin1String(", not a regular file")),
                         qPrintable(instance.problem()));
                QVERIFY(FileKinds::stillThere(k, path));
            }
        }
        FileKinds::remove(path);
    }
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "tst_singleinstance.moc"
