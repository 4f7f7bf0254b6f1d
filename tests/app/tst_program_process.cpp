// The built program as a process: a second start ends at once while the
// first runs, and a lock left by a killed first does not block the next.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

class ProgramProcessTest : public QObject
{
    Q_OBJECT

    QTemporaryDir runtime;
    QTemporaryDir folder;
    QString program = QStringLiteral(TESSARO_PROGRAM_DIR "/tessaro");

    QProcess *launch()
    {
        auto *p = new QProcess(this);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(folder.path());
        p->start(program, {});
        return p;
    }

    // Waits until the lock file names the given process.
    bool lockHeldBy(qint64 pid)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 15000) {
            QFile lock(runtime.filePath("Tessaro.lock"));
            if (lock.open(QIODevice::ReadOnly) && lock.readLine().trimmed().toLongLong() == pid)
                return true;
            QTest::qWait(50);
        }
        return false;
    }

  private slots:
    void initTestCase()
    {
        if (!QFile::exists(program))
            QSKIP("the program is not built");
        QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // Every serial port points nowhere: the program must never touch a real terminal.
        QFile config(folder.filePath("Config.ini"));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("[Setup]\nCOM=1\nUSB=0\n[Ports]\n");
        for (int i = 1; i <= 16; ++i)
            config.write(QStringLiteral("COM%1=%2/no-such-tty%1\n").arg(i).arg(folder.path()).toUtf8());
    }

    void secondStartEndsAtOnce()
    {
        QProcess *first = launch();
        QVERIFY(first->waitForStarted());
        QVERIFY(lockHeldBy(first->processId()));

        QProcess *second = launch();
        QVERIFY(second->waitForFinished(15000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QVERIFY(second->readAllStandardOutput().isEmpty());
        QCOMPARE(first->state(), QProcess::Running);

        // A lock left by a killed program is taken over by the next start.
        first->kill();
        QVERIFY(first->waitForFinished(15000));
        QVERIFY(QFile::exists(runtime.filePath("Tessaro.lock")));
        QProcess *third = launch();
        QVERIFY(third->waitForStarted());
        QVERIFY(lockHeldBy(third->processId()));
        QCOMPARE(third->state(), QProcess::Running);
        third->kill();
        QVERIFY(third->waitForFinished(15000));
    }

    // What a start finds under the lock's name: an empty or garbled lock is
    // stale and taken over; one that cannot be used (a folder, a named pipe)
    // is reported and the program runs without it.
    void startsWhateverTheLockIs_data()
    {
        QTest::addColumn<QString>("lock");
        QTest::addColumn<bool>("usable");
        QTest::newRow("empty") << "empty" << true;
        QTest::newRow("garbled") << "garbled" << true;
        QTest::newRow("folder") << "folder" << false;
        QTest::newRow("named pipe") << "pipe" << false;
    }
    void startsWhateverTheLockIs()
    {
        QFETCH(QString, lock);
        QFETCH(bool, usable);
        const QString path = runtime.filePath("Tessaro.lock");
        QFile::remove(path);
        QDir(runtime.path()).rmdir(QStringLiteral("Tessaro.lock"));
        if (lock == QLatin1String("folder")) {
            QVERIFY(QDir(runtime.path()).mkdir(QStringLiteral("Tessaro.lock")));
        } else if (lock == QLatin1String("pipe")) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(lock == QLatin1String("garbled") ? "x\ny\n" : "");
        }
        QProcess *p = launch();
        QVERIFY(p->waitForStarted());
        if (usable) {
            QVERIFY(lockHeldBy(p->processId()));
        } else {
            QElapsedTimer clock;
            clock.start();
            QByteArray said;
            while (!(said += p->readAllStandardError()).contains("cannot be used") && clock.elapsed() < 15000)
                QVERIFY(!p->waitForFinished(50));
            QVERIFY2(clock.elapsed() < 15000, "no message about the lock");
        }
        QCOMPARE(p->state(), QProcess::Running);
        p->kill();
        QVERIFY(p->waitForFinished(15000));
        QDir(runtime.path()).rmdir(QStringLiteral("Tessaro.lock"));
        QFile::remove(path);
    }
};

QTEST_GUILESS_MAIN(ProgramProcessTest)
#include "tst_program_process.moc"
