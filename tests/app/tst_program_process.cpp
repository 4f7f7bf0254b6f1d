// The built program as a process: a second start ends at once while the
// first runs, and a lock left by a killed first does not block the next.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

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
};

QTEST_GUILESS_MAIN(ProgramProcessTest)
#include "tst_program_process.moc"
