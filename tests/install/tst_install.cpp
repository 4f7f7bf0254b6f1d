// The installed program: `cmake --install` into a temporary prefix, then the
// desktop integration as the desktop tools see it, and the launcher that
// gives every user a program folder of their own.

#include "FileKinds.h"
#include "settings/MemoryRecord.h"
#include "settings/SettingsFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/file.h>

namespace
{

const QString AppId = QStringLiteral("example.kavrotech.Tessaro");
const QString SettingsType = QStringLiteral("application/x-kavr-settings");

struct Run {
    int status = -1;
    QByteArray out;
};

Run run(const QString &program, const QStringList &args,
        const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
        const QString &workingDirectory = {}, int timeoutMs = 120000)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (!workingDirectory.isEmpty())
        p.setWorkingDirectory(workingDirectory);
    p.start(program, args);
    Run r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.out = "did not finish: " + p.readAll();
        return r;
    }
    r.out = p.readAll();
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return r;
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool put(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

} // namespace

class InstallTest : public QObject
{
    Q_OBJECT

    QTemporaryDir tmp;
    QString prefix;
    QString share;

    QString tool(const char *name)
    {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (path.isEmpty())
            qWarning("%s is missing: scripts/deps installs it", name);
        return path;
    }

    // An environment with a home of its own and no display.
    QProcessEnvironment userEnvironment(const QString &home)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_DATA_HOME"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), tmp.filePath(QStringLiteral("runtime")));
        env.insert(QStringLiteral("TESSARO_DEVICE_ROOT"),
                   QStringLiteral("/nonexistent-tessaro-test-devices"));
        return env;
    }

    // Puts a stand-in for the program in place that notes where it ran and
    // what it was given.
    void useStandIn(const QString &log, const QString &root = QString())
    {
        const QString standIn = (root.isEmpty() ? prefix : root) + QStringLiteral("/lib/tessaro/tessaro");
        QFile::remove(standIn);
        QVERIFY(put(standIn, "#!/bin/sh\n{ pwd; for a in \"$@\"; do echo \"$a\"; done; } >\"" +
                                 QFile::encodeName(log) + "\"\n"));
        QVERIFY(QFile::setPermissions(standIn, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

  private slots:
    void initTestCase()
    {
        QVERIFY(tmp.isValid());
        prefix = tmp.filePath(QStringLiteral("usr"));
        share = prefix + QStringLiteral("/share");
        const Run install = run(QStringLiteral(TESSARO_CMAKE),
                                {QStringLiteral("--install"), QStringLiteral(TESSARO_BINARY_DIR),
                                 QStringLiteral("--prefix"), prefix});
        QVERIFY2(install.status == 0, install.out.constData());
        QVERIFY(QDir().mkpath(tmp.filePath(QStringLiteral("runtime"))));
        QFile::setPermissions(tmp.filePath(QStringLiteral("runtime")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void installedFiles_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("executable");
        QTest::newRow("launcher") << "bin/tessaro" << true;
        QTest::newRow("program") << "lib/tessaro/tessaro" << true;
        QTest::newRow("simulator") << "lib/tessaro/kavr-sim" << true;
        QTest::newRow("desktop entry") << "share/applications/" + AppId + ".desktop" << false;
        QTest::newRow("file type") << "share/mime/packages/tessaro.xml" << false;
        QTest::newRow("metainfo") << "share/metainfo/" + AppId + ".metainfo.xml" << false;
        QTest::newRow("manual") << "share/man/man1/tessaro.1.gz" << false;
        QTest::newRow("udev rule") << "lib/udev/rules.d/70-tessaro-zarp-usb.rules" << false;
        QTest::newRow("scalable icon") << "share/icons/hicolor/scalable/apps/tessaro.svg" << false;
        if (QFile::exists(QStringLiteral(TESSARO_PROGRAM_DIR "/tessaro-cli"))) {
            QTest::newRow("command-line tool") << "bin/tessaro-cli" << true;
            QTest::newRow("its manual") << "share/man/man1/tessaro-cli.1.gz" << false;
        }
        // Whatever the program folder ships is shared by every user.
        const QString program = QStringLiteral(TESSARO_FIXTURES "/../../assets/program");
        QDirIterator it(program, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString rel = QDir(program).relativeFilePath(it.next());
            QTest::newRow(qPrintable(rel)) << "share/tessaro/" + rel << false;
        }
    }

    void installedFiles()
    {
        QFETCH(QString, path);
        QFETCH(bool, executable);
        const QFileInfo info(prefix + QLatin1Char('/') + path);
        QVERIFY2(info.isFile(), qPrintable(path));
        QCOMPARE(info.isExecutable(), executable);
    }

    void iconsAtEverySize_data()
    {
        QTest::addColumn<int>("size");
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
            QTest::newRow(qPrintable(QString::number(size))) << size;
    }

    void iconsAtEverySize()
    {
        QFETCH(int, size);
        const QImage icon(share + QStringLiteral("/icons/hicolor/%1x%1/apps/tessaro.png").arg(size));
        QCOMPARE(icon.size(), QSize(size, size));
        QVERIFY(icon.hasAlphaChannel());
    }

    void desktopFilesValidate()
    {
        const QString validate = tool("desktop-file-validate");
        QVERIFY(!validate.isEmpty());
        const Run entry = run(validate, {share + "/applications/" + AppId + ".desktop"});
        QVERIFY2(entry.status == 0 && entry.out.isEmpty(), entry.out.constData());

        const QString appstream = QStandardPaths::findExecutable(QStringLiteral("appstreamcli"));
        if (appstream.isEmpty())
            QSKIP("appstreamcli is not installed");
        const Run meta = run(appstream, {QStringLiteral("validate"), QStringLiteral("--no-net"),
                                         share + "/metainfo/" + AppId + ".metainfo.xml"});
        QVERIFY2(meta.status == 0, meta.out.constData());
    }

    // A settings file is known by its name and, under any other name, by its
    // first bytes; the type opens with the program.
    void settingsFileType()
    {
        const QString updateMime = tool("update-mime-database");
        const QString updateDesktop = tool("update-desktop-database");
        QVERIFY(!updateMime.isEmpty() && !updateDesktop.isEmpty());
        const Run mime = run(updateMime, {share + QStringLiteral("/mime")});
        QVERIFY2(mime.status == 0, mime.out.constData());
        QVERIFY(QFile::exists(share + QStringLiteral("/mime/mime.cache")));

        // Only the installed database (and Qt's own list of common types) is seen.
        qputenv("XDG_DATA_DIRS", QFile::encodeName(share));
        qputenv("XDG_DATA_HOME", QFile::encodeName(tmp.filePath(QStringLiteral("empty"))));

        MemoryRecord record;
        const QString named = tmp.filePath(QStringLiteral("files/lift.kvr"));
        const QString unnamed = tmp.filePath(QStringLiteral("files/lift-backup.bin"));
        const QString other = tmp.filePath(QStringLiteral("files/other.bin"));
        QDir().mkpath(tmp.filePath(QStringLiteral("files")));
        QVERIFY(SettingsFile::write(named, record));
        QVERIFY(QFile::copy(named, unnamed));
        QByteArray notSettings = contents(named);
        notSettings[1] = 'X';
        QVERIFY(put(other, notSettings));

        QMimeDatabase db;
        QCOMPARE(
            db.mimeTypeForFile(QStringLiteral("/nowhere/UPPER.KVR"), QMimeDatabase::MatchExtension).name(),
            SettingsType);
        QCOMPARE(db.mimeTypeForFile(named).name(), SettingsType);
        QCOMPARE(db.mimeTypeForFile(unnamed, QMimeDatabase::MatchContent).name(), SettingsType);
        QVERIFY(db.mimeTypeForFile(other, QMimeDatabase::MatchContent).name() != SettingsType);
        QCOMPARE(db.mimeTypeForName(SettingsType).comment(), QStringLiteral("KAVR communicator settings"));

        // The type is handled by the desktop entry.
        const Run desktop = run(updateDesktop, {share + QStringLiteral("/applications")});
        QVERIFY2(desktop.status == 0, desktop.out.constData());
        const QByteArray cache = contents(share + QStringLiteral("/applications/mimeinfo.cache"));
        QVERIFY2(cache.contains((SettingsType + '=' + AppId + ".desktop;").toUtf8()), cache.constData());
    }

    // The help and the version are answered by the installed program without
    // a display, without the per-user folder being made.
    void answersWithoutDisplay_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("version") << "--version" << QByteArray("Tessaro 1.");
        QTest::newRow("help") << "--help" << QByteArray("Usage: tessaro [FILE.kvr]");
    }

    void answersWithoutDisplay()
    {
        QFETCH(QString, option);
        QFETCH(QByteArray, answer);
        const QString home = tmp.filePath(QStringLiteral("home-") + option.mid(2));
        QVERIFY(QDir().mkpath(home));
        const Run r = run(prefix + QStringLiteral("/bin/tessaro"), {option}, userEnvironment(home));
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.startsWith(answer), r.out.constData());
        QVERIFY(!QFileInfo::exists(home + QStringLiteral("/.local")));
    }

    // The real program, started from a menu, runs in the user's own folder:
    // its Config.ini is made there.
    void programRunsInUserFolder()
    {
        const QString home = tmp.filePath(QStringLiteral("home-real"));
        const QString folder = home + QStringLiteral("/.local/share/tessaro");
        QVERIFY(QDir().mkpath(home));
        QProcessEnvironment env = userEnvironment(home);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess p;
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(home);
        p.start(prefix + QStringLiteral("/bin/tessaro"), {});
        QVERIFY(p.waitForStarted());
        // Its defaults are written one entry after the other, the language last.
        const QString config = folder + QStringLiteral("/Config.ini");
        QElapsedTimer clock;
        clock.start();
        while (!contents(config).contains("Lang=") && p.state() == QProcess::Running &&
               clock.elapsed() < 60000)
            QTest::qWait(20);
        const bool made = contents(config).contains("Lang=");
        const bool running = p.state() == QProcess::Running;
        p.kill();
        p.waitForFinished();
        QVERIFY2(made, p.readAll().constData());
        QVERIFY(running);
    }

    // Seeding and updating the user's folder, with a stand-in program that
    // notes where it ran and what it was given.
    void launcherSeedsAndKeepsUserFiles()
    {
        const QString data = share + QStringLiteral("/tessaro");
        const QString log = tmp.filePath(QStringLiteral("stand-in.log"));
        useStandIn(log);
        // Installed files beside whatever the program folder ships.
        QVERIFY(put(data + QStringLiteral("/Config.ini"), "[Setup]\nCOM=1\n"));
        QVERIFY(put(data + QStringLiteral("/Kept.lng"), "[Menu]\n999=Kept\n"));
        QVERIFY(put(data + QStringLiteral("/Updated.lng"), "[Menu]\n999=Old\n"));
        QVERIFY(put(data + QStringLiteral("/help/Restored.html"), "<p>help</p>\n"));

        const QString home = tmp.filePath(QStringLiteral("home-seed"));
        const QString folder = home + QStringLiteral("/.local/share/tessaro");
        const QString started = tmp.filePath(QStringLiteral("started-here"));
        QVERIFY(QDir().mkpath(started));
        const QProcessEnvironment env = userEnvironment(home);
        const QString launcher = prefix + QStringLiteral("/bin/tessaro");

        Run r = run(launcher, {QStringLiteral("lift.kvr")}, env, started);
        QVERIFY2(r.status == 0, r.out.constData());
        QCOMPARE(contents(log), (folder + '\n' + started + "/lift.kvr\n").toUtf8());
        QDirIterator it(data, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString installed = it.next();
            QCOMPARE(contents(folder + '/' + QDir(data).relativeFilePath(installed)), contents(installed));
        }

        // The user changes, adds and deletes; a newer installation follows.
        QVERIFY(put(folder + QStringLiteral("/Config.ini"), "[Setup]\nCOM=3\nLang=Kept.lng\n"));
        QVERIFY(put(folder + QStringLiteral("/Kept.lng"), "[Menu]\n999=Mine\n"));
        QVERIFY(put(folder + QStringLiteral("/Own.lng"), "[Menu]\n999=Own\n"));
        QVERIFY(QFile::remove(folder + QStringLiteral("/help/Restored.html")));
        QVERIFY(put(data + QStringLiteral("/Config.ini"), "[Setup]\nCOM=1\nUSB=0\n"));
        QVERIFY(put(data + QStringLiteral("/Kept.lng"), "[Menu]\n999=New kept\n"));
        QVERIFY(put(data + QStringLiteral("/Updated.lng"), "[Menu]\n999=New\n"));
        QVERIFY(put(data + QStringLiteral("/Added.lng"), "[Menu]\n999=Added\n"));

        const QString absolute = tmp.filePath(QStringLiteral("files/lift.kvr"));
        r = run(launcher, {absolute}, env, started);
        QVERIFY2(r.status == 0, r.out.constData());
        QCOMPARE(contents(log), (folder + '\n' + absolute + '\n').toUtf8());
        QCOMPARE(contents(folder + QStringLiteral("/Config.ini")),
                 QByteArray("[Setup]\nCOM=3\nLang=Kept.lng\n"));
        QCOMPARE(contents(folder + QStringLiteral("/Kept.lng")), QByteArray("[Menu]\n999=Mine\n"));
        QCOMPARE(contents(folder + QStringLiteral("/Own.lng")), QByteArray("[Menu]\n999=Own\n"));
        QCOMPARE(contents(folder + QStringLiteral("/Updated.lng")), QByteArray("[Menu]\n999=New\n"));
        QCOMPARE(contents(folder + QStringLiteral("/Added.lng")), QByteArray("[Menu]\n999=Added\n"));
        QCOMPARE(contents(folder + QStringLiteral("/help/Restored.html")), QByteArray("<p>help</p>\n"));

        // A later start after the user undid a change takes the newer file;
        // XDG_DATA_HOME moves the folder.
        QVERIFY(put(folder + QStringLiteral("/Kept.lng"), "[Menu]\n999=Kept\n"));
        QProcessEnvironment moved = env;
        moved.insert(QStringLiteral("XDG_DATA_HOME"), tmp.filePath(QStringLiteral("xdg")));
        r = run(launcher, {}, env, started);
        QVERIFY2(r.status == 0, r.out.constData());
        QCOMPARE(contents(folder + QStringLiteral("/Kept.lng")), QByteArray("[Menu]\n999=New kept\n"));
        r = run(launcher, {}, moved, started);
        QVERIFY2(r.status == 0, r.out.constData());
        QCOMPARE(contents(log), (tmp.filePath(QStringLiteral("xdg/tessaro")) + '\n').toUtf8());
        QCOMPARE(contents(tmp.filePath(QStringLiteral("xdg/tessaro/Updated.lng"))),
                 QByteArray("[Menu]\n999=New\n"));
    }

    // Whatever stands where the launcher expects a regular file, in the
    // user's folder (its lock, a file it ships) or among the installed
    // files: the start neither hangs on it nor writes through a link it did
    // not make, leaves it as it is and says so. A folder of the user's folder
    // that is a link is not written into either.
    void launcherLeavesOddFilesAlone_data() { FileKinds::addRows(); }
    void launcherLeavesOddFilesAlone()
    {
        QFETCH(int, kind);
        const auto k = FileKinds::Kind(kind);
        // The installed launcher in an installation of its own that ships
        // only this row's files: the start copies those, not the whole set
        // once more for every kind of file.
        const QString root = tmp.filePath(QStringLiteral("usr-kind-%1").arg(kind));
        const QString data = root + QStringLiteral("/share/tessaro");
        QVERIFY(QDir().mkpath(root + QStringLiteral("/bin")) && QDir().mkpath(data));
        QVERIFY(QFile::copy(prefix + QStringLiteral("/bin/tessaro"), root + QStringLiteral("/bin/tessaro")));
        const QString home = tmp.filePath(QStringLiteral("home-kind-%1").arg(kind));
        const QString folder = home + QStringLiteral("/.local/share/tessaro");
        const QString elsewhere = home + QStringLiteral("/elsewhere");
        QVERIFY(QDir().mkpath(folder) && QDir().mkpath(elsewhere));
        QVERIFY(put(data + QStringLiteral("/help/Restored.html"), "<p>help</p>\n"));
        QVERIFY(QFile::link(elsewhere, folder + QStringLiteral("/help")));
        const QString lock = folder + QStringLiteral("/.seeding");
        QVERIFY(put(data + QStringLiteral("/Mine.lng"), "[Menu]\n999=Shipped\n"));
        const QString mine = folder + QStringLiteral("/Mine.lng");
        const QString odd = data + QStringLiteral("/Odd.lng");
        useStandIn(tmp.filePath(QStringLiteral("stand-in.log")), root);
        MAKE_FILE_KIND(k, lock, "mine\n");
        MAKE_FILE_KIND(k, mine, "mine\n");
        MAKE_FILE_KIND(k, odd, "[Menu]\n999=Odd\n");

        const QString started = tmp.filePath(QStringLiteral("started-here"));
        QVERIFY(QDir().mkpath(started));
        const Run r = run(root + QStringLiteral("/bin/tessaro"), {}, userEnvironment(home), started, 20000);
        FileKinds::remove(odd);

        QVERIFY2(r.status == 0, r.out.constData());
        const bool regular = FileKinds::isRegular(k);
        for (const QString &file : {lock, mine}) {
            QVERIFY(FileKinds::stillThere(k, file));
            if (regular)
                QCOMPARE(contents(file), QByteArray("mine\n"));
            if (k != FileKinds::Kind::Regular)
                QVERIFY2(r.out.contains((file + QStringLiteral(" is not a regular file")).toUtf8()),
                         r.out.constData());
        }
        QCOMPARE(contents(folder + QStringLiteral("/Odd.lng")),
                 regular ? QByteArray("[Menu]\n999=Odd\n") : QByteArray("<missing>"));
        // An installed folder of that name is only a folder, with no files.
        if (!regular && k != FileKinds::Kind::Folder)
            QVERIFY2(r.out.contains((odd + QStringLiteral(" is not a regular file")).toUtf8()),
                     r.out.constData());
        QCOMPARE(QDir(elsewhere).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList());
        QVERIFY2(
            r.out.contains((folder + QStringLiteral("/help/Restored.html is not a regular file")).toUtf8()),
            r.out.constData());
    }

    // Another process holds the start's lock and does not let go: the start
    // waits a few seconds, says so and runs the program with what is there.
    void launcherDoesNotWaitForAHeldLock()
    {
        const QString home = tmp.filePath(QStringLiteral("home-held"));
        const QString folder = home + QStringLiteral("/.local/share/tessaro");
        QVERIFY(QDir().mkpath(folder));
        const QString log = tmp.filePath(QStringLiteral("stand-in.log"));
        QFile::remove(log);
        useStandIn(log);
        // This process holds the lock the way another start would.
        QFile lock(folder + QStringLiteral("/.seeding"));
        QVERIFY(lock.open(QIODevice::Append));
        QVERIFY(::flock(lock.handle(), LOCK_EX | LOCK_NB) == 0);
        QProcessEnvironment env = userEnvironment(home);
        env.insert(QStringLiteral("TESSARO_SEEDING_WAIT"), QStringLiteral("0.2"));
        const Run r = run(prefix + QStringLiteral("/bin/tessaro"), {}, env, home, 20000);
        lock.close();
        QVERIFY2(r.status == 0, r.out.constData());
        QVERIFY2(r.out.contains("/.seeding is held); starting with the files that are there"), r.out.constData());
        QCOMPARE(contents(log), (folder + '\n').toUtf8());
    }

    // scripts/deps while another package installation holds the package
    // manager's lock: it waits for the lock and says so, gives up after its
    // limit, and does not wait on any other failure of apt.
    void depsWaitsForThePackageLock_data()
    {
        QTest::addColumn<int>("lockedTries"); // apt-get calls that find the lock held
        QTest::addColumn<QString>("limit");   // seconds scripts/deps waits at most
        QTest::addColumn<QByteArray>("otherError");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("aptCalls");
        QTest::addColumn<QByteArray>("said");
        QTest::newRow("lock let go") << 2 << "60" << QByteArray() << 0 << 4 << QByteArray("waiting for it");
        QTest::newRow("lock held past the limit") << 1000 << "0.3" << QByteArray() << 100 << -1 << QByteArray("giving up");
        QTest::newRow("another failure") << 0 << "60" << QByteArray("E: Unable to locate package cmake") << 100 << 1
                                         << QByteArray("Unable to locate package");
    }
    void depsWaitsForThePackageLock()
    {
        QFETCH(int, lockedTries);
        QFETCH(QString, limit);
        QFETCH(QByteArray, otherError);
        QFETCH(int, status);
        QFETCH(int, aptCalls);
        QFETCH(QByteArray, said);
        QTemporaryDir fakes;
        const QByteArray calls = QFile::encodeName(fakes.filePath(QStringLiteral("calls")));
        // The superuser, one package missing, and an apt-get that finds the
        // lock held for its first calls.
        const std::pair<const char *, QByteArray> tools[] = {
            {"id", "echo 0\n"},
            {"dpkg-query", "[ \"$3\" = cmake ] || echo 'install ok installed'\n"},
            {"apt-get", "echo \"$*\" >>'" + calls + "'\nn=$(wc -l <'" + calls + "')\n"
                        "if [ \"$n\" -le " + QByteArray::number(lockedTries) + " ]; then\n"
                        "  echo 'E: Could not get lock /var/lib/dpkg/lock-frontend. It is held by process 1 (apt)' >&2\n"
                        "  exit 100\nfi\n" +
                        (otherError.isEmpty() ? QByteArray() : "echo '" + otherError + "' >&2; exit 100\n")},
        };
        for (const auto &[name, body] : tools) {
            const QString path = fakes.filePath(QLatin1String(name));
            QVERIFY(put(path, "#!/bin/sh\n" + body));
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PATH"), fakes.path() + QLatin1Char(':') + env.value(QStringLiteral("PATH")));
        env.insert(QStringLiteral("TESSARO_APT_LOCK_WAIT"), limit);
        env.insert(QStringLiteral("TESSARO_APT_LOCK_POLL"), QStringLiteral("0.1"));
        const Run r = run(QStringLiteral(TESSARO_FIXTURES "/../../scripts/deps"), {}, env, {}, 30000);
        QVERIFY2(r.status == status, r.out.constData());
        QVERIFY2(r.out.contains(said), r.out.constData());
        const int made = int(contents(QFile::decodeName(calls)).count('\n'));
        if (aptCalls >= 0)
            QCOMPARE(made, aptCalls);
        else
            QVERIFY2(made > 2, r.out.constData());
    }
};

QTEST_GUILESS_MAIN(InstallTest)
#include "tst_install.moc"
