// Sharing the history over ssh, end to end: tessaro-cli against an sshd the
// test starts itself on 127.0.0.1 (its own host key, configuration and
// authorized keys, on a free port), the client in a home of its own with its
// keys, known_hosts and ssh agent; git's own upload-pack and receive-pack
// answer on the server side.

#include "TestFiles.h"
#include "history/DeviceHistory.h"
#include "history_helper.h"
#include "sim/KavrSimulator.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace HistoryHelper;

namespace
{
struct Run {
    int code = -1;
    QString out;
    QString err;
};

Run runTool(const QString &program, const QStringList &args, const QString &folder = QString(),
            const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(folder);
    p.start(program, args);
    Run r;
    // A login that never ends (a credential loop) shows here.
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("%1 did not end within 20 s").arg(program);
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// The port given (0: any) if it can be listened on at the address now, else 0.
int freePort(quint32 address, int port = 0)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(address);
    a.sin_port = htons(quint16(port));
    socklen_t length = sizeof a;
    int got = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &length) == 0)
        got = ntohs(a.sin_port);
    ::close(fd);
    return got;
}

QString loginName()
{
    const passwd *pw = ::getpwuid(::geteuid());
    return pw ? QString::fromLocal8Bit(pw->pw_name) : qEnvironmentVariable("USER");
}

// "type base64" of a .pub file.
QString publicKey(const QString &pubFile)
{
    QFile f(pubFile);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(f.readAll()).section(u' ', 0, 1);
}
} // namespace

class TestHistorySsh : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QProcess sshd, agent;
    pid_t agentPid = 0;
    QString sshdLog;
    QString keygen;
    int port = 0;
    QString hostKey, hostFingerprint, otherHostKey;
    // Another loopback address where the server listens on port 22 too (the
    // one port user@host:path reaches); empty, and why, when it cannot.
    QString address22, why22;
    QString refusedRepo, refusedFolder;
    int made = 0;

    QString path(const QString &name) const { return dir.filePath(name); }
    QString knownLine(const QString &host, int hostPort, const QString &key) const
    {
        return (hostPort == 22 ? host : QStringLiteral("[%1]:%2").arg(host).arg(hostPort)) + u' ' + key +
               u'\n';
    }
    QString ourHostLine() const { return knownLine(QStringLiteral("127.0.0.1"), port, hostKey); }
    QString sshUrl(const QString &repo) const
    {
        return QStringLiteral("ssh://%1@127.0.0.1:%2%3").arg(loginName()).arg(port).arg(repo);
    }
    QString newRepo()
    {
        const QString repo = path(QStringLiteral("server/repo%1.git").arg(++made));
        return initBare(repo) ? repo : QString();
    }

    // A home of the client's: ~/.ssh with the keys made under these names
    // and the known_hosts text (no file when it is null).
    QString home(const QStringList &keys, const QString &knownHosts)
    {
        const QDir ssh(path(QStringLiteral("homes/%1/.ssh").arg(++made)));
        ssh.mkpath(QStringLiteral("."));
        for (const QString &key : keys) {
            const QDir from(path(QStringLiteral("keys/") + key));
            for (const QString &file : from.entryList(QDir::Files))
                QFile::copy(from.filePath(file), ssh.filePath(file));
        }
        if (!knownHosts.isNull())
            writeBytes(ssh.filePath(QStringLiteral("known_hosts")), knownHosts.toUtf8());
        return QFileInfo(ssh.path()).path();
    }

    // Config.ini of one technician, naming the remote and the line of the
    // communicator (none: a path that does not exist).
    static void writeConfig(const QString &folder, const QString &technician, const QString &remote,
                            const QString &line = QString())
    {
        writeBytes(folder + "/Config.ini",
                   QStringLiteral("[History]\r\nTechnician=%1\r\nMail=%2@servis.cz\r\n"
                                  "Remote=%3\r\n[Ports]\r\nCOM1=%4\r\n[Setup]\r\nCOM=1\r\nUSB=0\r\n")
                       .arg(technician, technician.toLower(), remote,
                            line.isEmpty() ? "/nonexistent-tessaro-port" : line)
                       .toUtf8());
    }
    QString programFolder(const QString &technician, const QString &remote, const QString &line = QString())
    {
        const QString folder = path(QStringLiteral("laptops/%1-%2").arg(technician).arg(++made));
        QDir().mkpath(folder);
        writeConfig(folder, technician, remote, line);
        return folder;
    }

    // The entry a read of that serial number keeps, made without a device.
    static bool keepOne(const QString &folder, const QString &remote)
    {
        DeviceHistory history(folder, {QStringLiteral("Jana"), QStringLiteral("jana@servis.cz"), remote});
        history.clock = fixedClock();
        return history
            .keep(record(), QStringLiteral("4711"), QStringLiteral("1.20"), HistoryStore::Event::Read)
            .ok();
    }

    Run cli(const QString &folder, const QString &homeDir, const QStringList &args,
            const QString &agentSocket = QString())
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), homeDir);
        env.remove(QStringLiteral("SSH_AUTH_SOCK"));
        env.remove(QStringLiteral("USER")); // as in a service: a remote without a user takes the login's
        if (!agentSocket.isEmpty())
            env.insert(QStringLiteral("SSH_AUTH_SOCK"), agentSocket);
        return runTool(QStringLiteral(TESSARO_PROGRAM_DIR "/tessaro-cli"), args, folder, env);
    }

    // "serial event technician" of each entry tessaro-cli history lists.
    QStringList listed(const QString &folder, const QString &homeDir)
    {
        const Run r = cli(folder, homeDir, {QStringLiteral("history")});
        QStringList out;
        for (const QString &line : r.out.split(u'\n', Qt::SkipEmptyParts)) {
            const QStringList f = line.split(QRegularExpression(QStringLiteral("\\s{2,}")));
            out << (f.size() > 3 ? QStringList{f[0], f[2], f[3]}.join(u' ') : line);
        }
        out.sort();
        return out;
    }

    // Whether the process says text (within 5 s), before it ends or says
    // failure (when given).
    static bool waitFor(QProcess &p, QString &log, const QString &text, const QString &failure = QString())
    {
        for (int i = 0; i < 100 && !log.contains(text); ++i) {
            if (p.state() == QProcess::NotRunning || (!failure.isEmpty() && log.contains(failure)))
                return false;
            p.waitForReadyRead(50);
            log += QString::fromUtf8(p.readAll());
        }
        return log.contains(text);
    }

  private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        const QString sshdPath = QStandardPaths::findExecutable(QStringLiteral("sshd"),
                                                                {"/usr/sbin", "/usr/local/sbin", "/usr/bin"});
        if (sshdPath.isEmpty())
            QSKIP("no sshd (openssh-server) to share with");
        for (const char *tool : {"git-upload-pack", "git-receive-pack"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                QSKIP("no git-upload-pack or git-receive-pack (git) to answer on the server side");
        keygen = QStandardPaths::findExecutable(QStringLiteral("ssh-keygen"));
        const QString agentPath = QStandardPaths::findExecutable(QStringLiteral("ssh-agent"));
        const QString addPath = QStandardPaths::findExecutable(QStringLiteral("ssh-add"));
        if (keygen.isEmpty() || agentPath.isEmpty() || addPath.isEmpty())
            QSKIP("no ssh-keygen, ssh-agent or ssh-add (openssh-client)");

        // The keys, made at once: the server's, another server's, and the
        // clients' (a passphrase on one; RSA, which the server takes only
        // with SHA-2 signatures).
        const QList<QStringList> keys{
            {"host", "ed25519", ""}, {"otherhost", "ed25519", ""}, {"jana", "ed25519", ""},
            {"petr", "ecdsa", ""},   {"stranger", "ed25519", ""},  {"locked", "ed25519", "secret"},
            {"rsa", "rsa", ""},
        };
        std::vector<std::unique_ptr<QProcess>> making;
        for (const QStringList &k : keys) {
            QDir().mkpath(path("keys/" + k[0]));
            QStringList args{
                "-q", "-t", k[1], "-N", k[2], "-C", k[0], "-f", path("keys/" + k[0] + "/id_" + k[1])};
            if (k[1] == "rsa")
                args << "-b"
                     << "1024";
            making.push_back(std::make_unique<QProcess>());
            making.back()->start(keygen, args);
        }
        for (auto &p : making)
            QVERIFY(p->waitForFinished(20000) && p->exitCode() == 0);
        hostKey = publicKey(path("keys/host/id_ed25519.pub"));
        otherHostKey = publicKey(path("keys/otherhost/id_ed25519.pub"));
        QString authorized;
        for (const char *k : {"jana/id_ed25519", "petr/id_ecdsa", "locked/id_ed25519", "rsa/id_rsa"})
            authorized += publicKey(path(QStringLiteral("keys/%1.pub").arg(QString::fromLatin1(k)))) + u'\n';
        writeBytes(path("authorized_keys"), authorized.toUtf8());
        const Run fingerprint = runTool(keygen, {"-l", "-f", path("keys/host/id_ed25519.pub")});
        hostFingerprint = fingerprint.out.section(u' ', 1, 1);
        QVERIFY2(hostFingerprint.startsWith("SHA256:"), qPrintable(fingerprint.out + fingerprint.err));

        port = freePort(INADDR_LOOPBACK);
        QVERIFY(port > 0);
        QString listen = QStringLiteral("ListenAddress 127.0.0.1:%1\n").arg(port);
        if (::geteuid() == 0) {
            QDir().mkpath(QStringLiteral("/run/sshd")); // sshd's privilege separation
            const quint32 a = QRandomGenerator::global()->bounded(1u, 255u);
            const quint32 b = QRandomGenerator::global()->bounded(1u, 255u);
            const quint32 c = QRandomGenerator::global()->bounded(2u, 255u);
            const quint32 address = (127u << 24) | (a << 16) | (b << 8) | c;
            address22 = QStringLiteral("127.%1.%2.%3").arg(a).arg(b).arg(c);
            if (freePort(address, 22) == 22)
                listen = QStringLiteral("ListenAddress %1:22\n").arg(address22) + listen;
            else
                why22 = QStringLiteral("port 22 of %1 is taken").arg(address22), address22.clear();
        } else {
            why22 = QStringLiteral("user@host:path reaches port 22 only, where a plain user cannot listen");
        }
        writeBytes(path("sshd_config"),
                   (listen + QStringLiteral("HostKey %1\nAuthorizedKeysFile %2\nPidFile %3\n"
                                            "UsePAM no\nStrictModes no\nPasswordAuthentication no\n"
                                            "KbdInteractiveAuthentication no\n"
                                            "PermitRootLogin prohibit-password\n"
                                            // git and the login's shell read no profile
                                            // of this machine's user
                                            "SetEnv HOME=%4\n")
                                 .arg(path("keys/host/id_ed25519"), path("authorized_keys"), path("sshd.pid"),
                                      path("server")))
                       .toUtf8());
        for (QProcess *p : {&sshd, &agent}) {
            p->setProcessChannelMode(QProcess::MergedChannels);
            // Ended with this test, even one that crashed.
            p->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        }
        sshd.start(sshdPath, {"-D", "-e", "-f", path("sshd_config")});
        QVERIFY2(waitFor(sshd, sshdLog, QStringLiteral("Server listening on 127.0.0.1 port %1").arg(port)),
                 qPrintable(sshdLog));
        if (!address22.isEmpty() &&
            !waitFor(sshd, sshdLog, QStringLiteral("listening on %1 port 22").arg(address22),
                     QStringLiteral("port 22 on %1").arg(address22)))
            why22 = QStringLiteral("the server could not listen on %1 port 22").arg(address22),
            address22.clear();

        // The agent (setgid: no death signal passes its start) lives while
        // a command reading this test's pipe does, which ends with the test.
        agent.start(agentPath,
                    {"-a", path("agent.sock"), "sh", "-c", "echo \"agent $SSH_AGENT_PID.\"; exec cat"});
        QString agentLog;
        QVERIFY2(waitFor(agent, agentLog, QStringLiteral(".\n")), qPrintable(agentLog));
        agentPid = agentLog.section(u' ', 1).section(u'.', 0, 0).toInt();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("SSH_AUTH_SOCK"), path("agent.sock"));
        const Run added = runTool(addPath, {"-q", path("keys/jana/id_ed25519")}, QString(), env);
        QVERIFY2(added.code == 0, qPrintable(added.err));

        // Where every refused share goes: it must stay empty.
        refusedRepo = newRepo();
        refusedFolder = programFolder(QStringLiteral("Jana"), sshUrl(refusedRepo));
        QVERIFY(keepOne(refusedFolder, sshUrl(refusedRepo)));
    }

    void cleanupTestCase()
    {
        if (agentPid > 0)
            ::kill(agentPid, SIGTERM);
        for (QProcess *p : {&sshd, &agent}) {
            if (p->state() == QProcess::NotRunning)
                continue;
            p->terminate();
            if (!p->waitForFinished(3000)) {
                p->kill();
                p->waitForFinished();
            }
        }
    }

    // Two laptops read their communicators and share through the ssh
    // remote: each then lists both devices' entries with the technicians,
    // the remote's log holds both authors. Each share logs in twice (fetch,
    // push). Jana logs in through her ssh agent (no key file), with a
    // known_hosts naming other hosts and ports too; Petr with an ecdsa key
    // file while SSH_AUTH_SOCK still names an agent that is gone, with
    // known_hosts hashed as ssh writes it, and a remote that names no user.
    void twoLaptopsShare()
    {
        const QString repo = newRepo();
        struct Laptop {
            QString remote;
            QString technician;
            int serial;
            QString home;
            QString agent;
            QString folder;
        };
        Laptop laptops[] = {
            {sshUrl(repo),
             "Jana",
             4711,
             home({}, knownLine("git.servis.cz", 22, otherHostKey) + ourHostLine() +
                          knownLine("127.0.0.1", port + 1, otherHostKey)),
             path("agent.sock"),
             {}},
            {QStringLiteral("ssh://127.0.0.1:%1%2").arg(port).arg(repo),
             "Petr",
             4712,
             home({"petr"}, ourHostLine()),
             path("gone-agent.sock"),
             {}},
        };
        const Run hashed = runTool(keygen, {"-H", "-f", laptops[1].home + "/.ssh/known_hosts"});
        QVERIFY2(hashed.code == 0, qPrintable(hashed.err));
        for (Laptop &l : laptops) {
            KavrSimOptions options;
            options.state.serialNumber = std::uint16_t(l.serial);
            options.line.baud = 38400;
            options.line.turnaroundMs = 1;
            KavrSimulator sim(options);
            QString error;
            QVERIFY2(sim.startOnPty(&error), qPrintable(error));
            l.folder = programFolder(l.technician, l.remote, sim.linePath());
            const Run read = cli(l.folder, l.home, {"read", "-o", l.folder + "/read.kvr"});
            QVERIFY2(read.code == 0, qPrintable(read.err));
        }
        for (const Laptop *l : {&laptops[0], &laptops[1], &laptops[0]}) {
            const Run sync = cli(l->folder, l->home, {"history", "sync"}, l->agent);
            QVERIFY2(sync.code == 0, qPrintable(l->technician + ": " + sync.err));
            QCOMPARE(sync.out, "Shared with " + l->remote + "\n");
        }
        for (const Laptop &l : laptops)
            QCOMPARE(listed(l.folder, l.home), QStringList({"4711 read Jana", "4712 read Petr"}));
        const QStringList log = HistoryHelper::log(repo);
        QVERIFY2(log.contains("Jana <jana@servis.cz>|4711: read, firmware 1.20"), qPrintable(log.join('\n')));
        QVERIFY2(log.contains("Petr <petr@servis.cz>|4712: read, firmware 1.20"), qPrintable(log.join('\n')));
    }

    // user@host:path names no port: the server listens on port 22 of a
    // loopback address of its own, known_hosts names the host without one.
    void userAtHostPath()
    {
        if (address22.isEmpty())
            QSKIP(qPrintable(why22));
        const QString repo = newRepo();
        const QString remote = QStringLiteral("%1@%2:%3").arg(loginName(), address22, repo);
        const QString folder = programFolder(QStringLiteral("Jana"), remote);
        QVERIFY(keepOne(folder, remote));
        const Run sync = cli(folder, home({"jana"}, knownLine(address22, 22, hostKey)), {"history", "sync"});
        QVERIFY2(sync.code == 0, qPrintable(sync.err));
        QCOMPARE(sync.out, "Shared with " + remote + "\n");
        QCOMPARE(HistoryHelper::log(repo), QStringList{"Jana <jana@servis.cz>|4711: read, firmware 1.20"});
    }

    // A share ssh refuses: for the host's key (before any login), for want
    // of a key the server takes (at once, not tried over and over), for the
    // remote's path. Exit 9, the remote and the reason on one line of
    // standard error, nothing in the remote.
    void refused_data()
    {
        QTest::addColumn<QString>("knownHosts"); // null: no file
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("repo");
        QTest::addColumn<QString>("reason");
        const QString ours = ourHostLine();
        const QString host = QStringLiteral("[127.0.0.1]:%1").arg(port);
        const QString unknown =
            QStringLiteral("the host key of %1 is not in ~/.ssh/known_hosts: refused (%2)")
                .arg(host, hostFingerprint);
        QTest::newRow("no known_hosts") << QString() << "jana" << refusedRepo << unknown;
        QTest::newRow("the host's key known for port 22 only") << "127.0.0.1 " + hostKey + "\n"
                                                               << "jana" << refusedRepo << unknown;
        QTest::newRow("another key for the host")
            << host + " " + otherHostKey + "\n"
            << "jana" << refusedRepo
            << QStringLiteral("the host key of %1 is not the one in ~/.ssh/known_hosts: refused (it sent %2)")
                   .arg(host, hostFingerprint);
        QTest::newRow("no key, no agent")
            << ours << "" << refusedRepo << "no ssh key to log in with (no agent, no key in ~/.ssh)";
        QTest::newRow("a key the server does not know")
            << ours << "stranger" << refusedRepo << "the server accepted no key (tried ~/.ssh/id_ed25519)";
        QTest::newRow("a key locked by a passphrase, no agent")
            << ours << "locked" << refusedRepo
            << "no ssh key to log in with; ~/.ssh/id_ed25519 needs its passphrase: add it to the ssh agent "
               "(ssh-add)";
        QTest::newRow("an RSA key")
            << ours << "rsa" << refusedRepo
            << "the server accepted no key (tried ~/.ssh/id_rsa); servers that refuse SHA-1 "
               "signatures take no RSA key from this program: use an ed25519 or ecdsa key";
        const QString missing = path("server/missing.git");
        QTest::newRow("a path that does not exist on the server")
            << ours << "jana" << missing
            << "fetch: fatal: '" + missing + "' does not appear to be a git repository";
    }
    void refused()
    {
        QFETCH(QString, knownHosts);
        QFETCH(QString, key);
        QFETCH(QString, repo);
        QFETCH(QString, reason);
        writeConfig(refusedFolder, "Jana", sshUrl(repo));
        const Run sync =
            cli(refusedFolder, home(key.isEmpty() ? QStringList() : QStringList{key}, knownHosts),
                {"history", "sync"});
        QCOMPARE(sync.code, 9);
        QCOMPARE(sync.err, "tessaro-cli: history not shared: " + sshUrl(repo) + ": " + reason + "\n");
        QCOMPARE(HistoryHelper::log(refusedRepo), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestHistorySsh)
#include "tst_historyssh.moc"
