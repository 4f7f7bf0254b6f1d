// The single-instance lock: one holder at a time, and a lock left behind by a
// process that has died does not block the next start.

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
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "tst_singleinstance.moc"
