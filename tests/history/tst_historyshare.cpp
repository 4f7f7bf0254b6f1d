#include "history/DeviceHistory.h"
#include "history/HistoryShare.h"
#include "history_helper.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace HistoryHelper;

namespace
{
struct Laptop : LaptopFolder {
    using LaptopFolder::LaptopFolder;
    // "serial technician password" of every entry, as listed.
    QStringList listed()
    {
        QStringList out;
        for (const DeviceHistory::Entry &e : history.entries()) {
            MemoryRecord r;
            const Result<void> loaded = SettingsFile::load(e.path, r);
            out << QStringLiteral("%1 %2 %3")
                       .arg(e.serialNumber, e.technician,
                            loaded ? r.storedText("Pasw") : loaded.failure().reason);
        }
        out.sort();
        return out;
    }
};

QString bare(const QTemporaryDir &dir)
{
    const QString path = dir.filePath("company.git");
    QDir().mkpath(path); // an empty folder becomes the repository
    return path;
}
} // namespace

class TestHistoryShare : public QObject
{
    Q_OBJECT

  private slots:
    void cleanup() { HistoryShare::setBeforePushHook(nullptr); }

    // Two laptops share through one remote: each sees the other's entries
    // with their technicians, the remote's log holds both authors, and a
    // name both used in the same second keeps both files.
    void twoLaptopsShare_data()
    {
        QTest::addColumn<bool>("sameName");
        QTest::addColumn<bool>("otherPushesFirst"); // between the second laptop's fetch and push
        QTest::newRow("different devices") << false << false;
        QTest::newRow("the same device in the same second") << true << false;
        QTest::newRow("a push refused: the other laptop pushed first") << false << true;
    }
    void twoLaptopsShare()
    {
        QFETCH(bool, sameName);
        QFETCH(bool, otherPushesFirst);
        QTemporaryDir server;
        const QString remote = bare(server);
        Laptop jana("Jana", remote), petr("Petr", remote);
        QVERIFY(!jana.keep("4711", "1111").isEmpty());
        QCOMPARE(jana.share(), QString());
        const QString petrs = petr.keep(sameName ? "4711" : "4712", "2222");
        QVERIFY(!petrs.isEmpty());
        if (otherPushesFirst) {
            QVERIFY(!jana.keep("4713", "3333", 5).isEmpty());
            // The other laptop's share runs as the other process would, on
            // its own repository, between this one's fetch and push.
            auto pushedFirst = std::make_shared<int>(0);
            HistoryShare::setBeforePushHook([&jana, remote, pushedFirst] {
                if ((*pushedFirst)++ > 0)
                    return;
                const std::atomic<bool> cancel{false};
                const HistoryShare::Job job{jana.folder.path(), jana.history.folder(), remote,
                                            jana.history.author(), QDateTime::currentDateTime()};
                QVERIFY(HistoryShare::run(job, cancel).ok());
            });
        }
        const Result<void> shared = petr.history.share();
        QVERIFY2(shared.ok(), qPrintable(shared.ok() ? QString() : shared.failure().text()));
        QCOMPARE(jana.share(), QString());

        QStringList expected{"4711 Jana 1111",
                             QStringLiteral("%1 Petr 2222").arg(sameName ? "4711" : "4712")};
        if (otherPushesFirst)
            expected << "4713 Jana 3333";
        expected.sort();
        QCOMPARE(jana.listed(), expected);
        QCOMPARE(petr.listed(), expected);
        if (sameName) // theirs (shared first) keeps the name, ours moves
            QVERIFY(QFile::exists(petrs.chopped(4) + " (2).kvr"));
        const QStringList log = HistoryHelper::log(remote);
        QVERIFY2(log.contains("Jana <jana@servis.cz>|4711: read, firmware 1.20"), qPrintable(log.join('\n')));
        QVERIFY2(log.contains(QStringLiteral("Petr <petr@servis.cz>|%1: read, firmware 1.20")
                                  .arg(sameName ? "4711" : "4712")),
                 qPrintable(log.join('\n')));
        QCOMPARE(jana.history.shareStatus().unshared, 0);
        QCOMPARE(petr.history.shareStatus().unshared, 0);
    }

    // Remotes that cannot take the history: the share fails naming the
    // remote and why, the entries wait and are counted; once the remote is
    // there they go.
    void remoteRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a path that does not exist") << "missing"
                                                    << "no such folder";
        QTest::newRow("a file") << "file"
                                << "not a folder";
        QTest::newRow("a folder of other files") << "other"
                                                 << "a folder that is not a git repository";
        QTest::newRow("an http remote") << "http"
                                        << "not a folder, file:// or ssh remote";
        QTest::newRow("a port where nothing listens") << "closed"
                                                      << "";
    }
    void remoteRefused()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir server;
        QString remote = server.filePath("company.git");
        if (kind == "file") {
            QFile f(remote);
            QVERIFY(f.open(QIODevice::WriteOnly));
        } else if (kind == "other") {
            QDir().mkpath(remote + "/notes");
        } else if (kind == "http") {
            remote = "http://127.0.0.1:1/history.git";
        } else if (kind == "closed") {
            remote = "ssh://tech@127.0.0.1:1/history.git";
        }
        Laptop jana("Jana", remote);
        QVERIFY(!jana.keep("4711", "1111").isEmpty());
        QVERIFY(!jana.keep("4712", "2222").isEmpty());
        const Result<void> shared = jana.history.share();
        QVERIFY(!shared.ok());
        QCOMPARE(shared.failure().kind, Failure::Kind::Share);
        QCOMPARE(shared.failure().subject, remote);
        if (!reason.isEmpty())
            QCOMPARE(shared.failure().reason, reason);
        const DeviceHistory::ShareStatus status = jana.history.shareStatus();
        QCOMPARE(status.unshared, 2);
        QCOMPARE(status.lastFailure, shared.failure().text());
        QCOMPARE(jana.history.entries().size(), 2); // nothing lost locally
        if (kind == "missing") {
            QVERIFY(QDir().mkpath(remote));
            QCOMPARE(jana.share(), QString());
            QCOMPARE(jana.history.shareStatus().unshared, 0);
            QCOMPARE(jana.history.shareStatus().lastFailure, QString());
            QCOMPARE(HistoryHelper::files(remote).size(), 2);
        }
    }

    // A server that takes the connection and never answers: the share gives
    // up (in ShareTimeoutMs) and says so. The limit's time passes at once
    // when the server has the connection.
    void hangingRemoteGivesUp()
    {
        const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QCOMPARE(::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        QCOMPARE(::listen(listener, 4), 0);
        socklen_t length = sizeof address;
        ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length);
        const QString remote =
            QStringLiteral("ssh://tech@127.0.0.1:%1/history.git").arg(ntohs(address.sin_port));
        Laptop jana("Jana", remote);
        QVERIFY(!jana.keep("4711", "1111").isEmpty());
        int taken = -1;
        jana.history.shareClock = [&] {
            if (taken < 0)
                taken = ::accept(listener, nullptr, nullptr);
            const auto now = std::chrono::steady_clock::now();
            return taken < 0 ? now : now + std::chrono::milliseconds(DeviceHistory::ShareTimeoutMs);
        };
        const Result<void> shared = jana.history.share();
        QVERIFY(taken >= 0);
        ::close(taken);
        ::close(listener);
        QVERIFY(!shared.ok());
        QCOMPARE(shared.failure().text(), remote + ": no answer within 10 s");
        QCOMPARE(jana.history.shareStatus().unshared, 1);
    }

    // A program killed (or a power cut) in the middle of an update leaves
    // git's lock file behind, here or in a folder remote: the next keeping
    // and sharing go on all the same. On the remote, a lock just made may be
    // another computer's push under way: it stays, and the share names it.
    void lockLeftByAnEndedProgram_data()
    {
        QTest::addColumn<bool>("onRemote");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("ageSeconds");
        QTest::addColumn<bool>("shares");
        QTest::newRow("the branch") << false << "refs/heads/main.lock" << 0 << true;
        QTest::newRow("the remote's settings") << false << "config.lock" << 0 << true;
        QTest::newRow("the remote's branch as fetched")
            << false << "refs/remotes/origin/main.lock" << 0 << true;
        QTest::newRow("the remote's branch there, two minutes old")
            << true << "refs/heads/main.lock" << 120 << true;
        QTest::newRow("the remote's branch there, just made") << true << "refs/heads/main.lock" << 0 << false;
    }
    void lockLeftByAnEndedProgram()
    {
        QFETCH(bool, onRemote);
        QFETCH(QString, file);
        QFETCH(int, ageSeconds);
        QFETCH(bool, shares);
        QTemporaryDir server;
        const QString remote = bare(server);
        QVERIFY(HistoryHelper::initBare(remote));
        Laptop jana("Jana", remote);
        QVERIFY(!jana.keep("4711", "1111").isEmpty());
        QFile lock((onRemote ? remote : jana.history.folder() + QStringLiteral("/.git")) + u'/' + file);
        QVERIFY(QDir().mkpath(QFileInfo(lock).path()));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write("0123456789012345678901234567890123456789\n");
        QVERIFY(lock.flush());
        QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-ageSeconds),
                                 QFileDevice::FileModificationTime));
        lock.close();
        QVERIFY(!jana.keep("4712", "2222").isEmpty());
        const QString failure = jana.share();
        QVERIFY2(failure.isEmpty() == shares, qPrintable(failure));
        QCOMPARE(HistoryHelper::files(remote).size(), shares ? 2 : 0);
        QCOMPARE(lock.exists(), !shares);
        if (!shares)
            QVERIFY2(failure.contains(file), qPrintable(failure));
    }

    // The tool killed with SIGKILL at some moment of a share: the next share
    // completes and every entry of both sides is there.
    void killedShareLosesNothing_data()
    {
        QTest::addColumn<int>("killAfterMs");
        for (const int ms : {30, 90})
            QTest::newRow(qPrintable(QStringLiteral("killed after %1 ms").arg(ms))) << ms;
    }
    void killedShareLosesNothing()
    {
        QFETCH(int, killAfterMs);
        QTemporaryDir server;
        const QString remote = bare(server);
        Laptop jana("Jana", remote), petr("Petr", remote);
        constexpr int Entries = 15;
        for (int i = 0; i < Entries; ++i) {
            QVERIFY(!jana.keep(QString::number(1000 + i), QString::number(1000 + i)).isEmpty());
            QVERIFY(!petr.keep(QString::number(2000 + i), QString::number(2000 + i)).isEmpty());
        }
        QCOMPARE(jana.share(), QString());
        QFile ini(petr.folder.filePath("Config.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("[History]\r\nTechnician=Petr\r\nRemote=%1\r\n").arg(remote).toUtf8());
        ini.close();
        QProcess tool;
        tool.setWorkingDirectory(petr.folder.path());
        tool.start(QStringLiteral(TESSARO_PROGRAM_DIR "/tessaro-cli"), {"history", "sync"});
        QVERIFY(tool.waitForStarted());
        QTest::qWait(killAfterMs);
        // A tool that has already ended has no process id left: kill(0) would
        // end this test's whole process group.
        if (tool.state() != QProcess::NotRunning)
            tool.kill(); // SIGKILL
        tool.waitForFinished();

        const Result<void> shared = petr.history.share();
        QVERIFY2(shared.ok(), qPrintable(shared.ok() ? QString() : shared.failure().text()));
        QCOMPARE(jana.share(), QString());
        QCOMPARE(petr.history.entries().size(), 2 * Entries);
        QCOMPARE(jana.history.entries().size(), 2 * Entries);
        QCOMPARE(HistoryHelper::files(remote).size(), 2 * Entries);
        const QStringList listed = petr.listed();
        QCOMPARE(listed.filter(" Jana ").size(), Entries);
        QVERIFY(listed.contains("1014 Jana 1014"));
    }
};

QTEST_GUILESS_MAIN(TestHistoryShare)
#include "tst_historyshare.moc"
