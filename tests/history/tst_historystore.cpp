#include "history/DeviceHistory.h"
#include "history/HistoryAuthor.h"
#include "history_helper.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace HistoryHelper;
using Event = HistoryStore::Event;

class TestHistoryStore : public QObject
{
    Q_OBJECT

  private slots:
    // One entry kept: one commit adding one file, authored by the
    // technician, its message naming serial, event and firmware; the
    // listing shows it without reading the file.
    void keepCommitsOneFile_data()
    {
        QTest::addColumn<QString>("technician");
        QTest::addColumn<QString>("mail");
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<int>("event");
        QTest::addColumn<QString>("notes");
        QTest::addColumn<QString>("author"); // "name <mail>"; an empty part: the login's
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("subject");
        QTest::newRow("read, technician and mail set") << "Jana Nováková"
                                                       << "jana@servis.cz"
                                                       << "4711"
                                                       << "1.20" << int(Event::Read) << ""
                                                       << "Jana Nováková <jana@servis.cz>"
                                                       << "4711/2026-12-08 10-15-02 read.kvr"
                                                       << "4711: read, firmware 1.20";
        QTest::newRow("before write, no technician") << ""
                                                     << ""
                                                     << "1001"
                                                     << "1.31" << int(Event::BeforeWrite) << ""
                                                     << " <>"
                                                     << "1001/2026-12-08 10-15-02 before write.kvr"
                                                     << "1001: before write, firmware 1.31";
        QTest::newRow("read back with the differences, serial unknown")
            << "Petr"
            << ""
            << ""
            << "" << int(Event::ReadBack) << "block byte 10: sent 00, read 01"
            << "Petr <>"
            << "unknown/2026-12-08 10-15-02 read back.kvr"
            << "unknown: read back";
        QTest::newRow("written, a serial number with odd characters")
            << "A <b>\nC"
            << "x@y"
            << "47/11"
            << "2.0" << int(Event::Written) << ""
            << "A b C <x@y>"
            << "4711/2026-12-08 10-15-02 written.kvr"
            << "4711: written, firmware 2.0";
    }
    void keepCommitsOneFile()
    {
        QFETCH(QString, technician);
        QFETCH(QString, mail);
        QFETCH(QString, serial);
        QFETCH(QString, firmware);
        QFETCH(int, event);
        QFETCH(QString, notes);
        QFETCH(QString, author);
        QFETCH(QString, file);
        QFETCH(QString, subject);
        QTemporaryDir folder;
        DeviceHistory history(folder.path(), {technician, mail, {}});
        history.clock = fixedClock();
        const Result<QString> kept = history.keep(record(), serial, firmware, Event(event), notes);
        QVERIFY2(kept.ok(), qPrintable(kept.ok() ? QString() : kept.failure().text()));
        QCOMPARE(kept.value(), folder.filePath("History/" + file));
        QCOMPARE(files(gitOf(folder.path())), QStringList{file});
        const passwd *pw = getpwuid(geteuid());
        const QString full = QString::fromLocal8Bit(pw->pw_gecos).section(u',', 0, 0).simplified();
        const QString login = QString::fromLocal8Bit(pw->pw_name);
        if (author.startsWith(u' '))
            author.prepend(full.isEmpty() ? login : full);
        if (author.endsWith(QLatin1String("<>")))
            author.insert(author.size() - 1, login + u'@' + QSysInfo::machineHostName());
        QCOMPARE(log(gitOf(folder.path())), QStringList{author + u'|' + subject});
        const QString message = lastMessage(gitOf(folder.path()));
        QVERIFY2(message.contains("Entry: " + file), qPrintable(message));
        if (!notes.isEmpty())
            QVERIFY2(message.contains(notes), qPrintable(message));

        const QList<DeviceHistory::Entry> listed = history.entries();
        QCOMPARE(listed.size(), 1);
        QCOMPARE(listed[0].path, kept.value());
        QCOMPARE(int(listed[0].event), event);
        QCOMPARE(listed[0].firmware, firmware);
        QCOMPARE(listed[0].technician, author.section(QStringLiteral(" <"), 0, 0));
        QCOMPARE(listed[0].when(), fixedClock()());
    }

    // Two entries of one name in one second: the second gets a number, the
    // first is never replaced; the newest first in the listing.
    void sameSecondKeepsBoth()
    {
        QTemporaryDir folder;
        DeviceHistory history(folder.path());
        history.clock = fixedClock();
        QVERIFY(history.keep(record("1111"), "4711", "1.20", Event::Read).ok());
        const Result<QString> second = history.keep(record("2222"), "4711", "1.20", Event::Read);
        QVERIFY(second.ok());
        QVERIFY(second.value().endsWith("/2026-12-08 10-15-02 read (2).kvr"));
        MemoryRecord first;
        QVERIFY(SettingsFile::load(folder.filePath("History/4711/2026-12-08 10-15-02 read.kvr"), first));
        QCOMPARE(first.storedText("Pasw"), QStringLiteral("1111"));
        const QList<DeviceHistory::Entry> listed = history.entries("4711");
        QCOMPARE(listed.size(), 2);
        QCOMPARE(listed[0].path, second.value());
        QCOMPARE(log(gitOf(folder.path())).size(), 2);
    }

    // A History of plain files kept before: adopted in one commit, its
    // firmware.ini read then; a write's leftover temporary file is not an
    // entry.
    void plainHistoryAdopted()
    {
        QTemporaryDir folder;
        QDir(folder.path()).mkpath("History/1001");
        QDir(folder.path()).mkpath("History/4711");
        const MemoryRecord r = record();
        QVERIFY(SettingsFile::write(folder.filePath("History/1001/2026-01-02 03-04-05 read.kvr"), r));
        QVERIFY(SettingsFile::write(folder.filePath("History/4711/2026-01-02 03-04-06 before write.kvr"), r));
        QFile ini(folder.filePath("History/4711/firmware.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Firmware]\r\n2026-01-02 03-04-06 before write.kvr=1.31\r\n");
        ini.close();
        QFile leftover(folder.filePath("History/4711/2026-01-02 03-04-07 before write.kvr.1a2b3c.tmp"));
        QVERIFY(leftover.open(QIODevice::WriteOnly));
        leftover.write("cut short");
        leftover.close();

        DeviceHistory history(folder.path(), {"Jana", "jana@servis.cz", {}});
        const QList<DeviceHistory::Entry> listed = history.entries();
        QCOMPARE(listed.size(), 2);
        QCOMPARE(listed[0].serialNumber, QStringLiteral("1001"));
        QCOMPARE(listed[0].firmware, QString());
        QCOMPARE(listed[1].firmware, QStringLiteral("1.31"));
        QCOMPARE(listed[1].technician, QString()); // who kept it then is not known
        QCOMPARE(log(gitOf(folder.path())).size(), 1);
        QCOMPARE(files(gitOf(folder.path())), (QStringList{"1001/2026-01-02 03-04-05 read.kvr",
                                                           "4711/2026-01-02 03-04-06 before write.kvr"}));
        // Adopted once: the next entry is one commit more.
        history.clock = fixedClock();
        QVERIFY(history.keep(r, "4711", "1.31", Event::Read).ok());
        QCOMPARE(log(gitOf(folder.path())).size(), 2);
        QCOMPARE(history.entries().size(), 3);
    }

    // A file changed or removed by hand shows so in the listing; one only
    // touched (same bytes) does not.
    void changedByHandShows_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("state");
        QTest::newRow("untouched") << "none" << int(DeviceHistory::FileState::Kept);
        QTest::newRow("touched, same bytes") << "touch" << int(DeviceHistory::FileState::Kept);
        QTest::newRow("a value changed") << "change" << int(DeviceHistory::FileState::Changed);
        QTest::newRow("replaced by a file of the same size")
            << "replace" << int(DeviceHistory::FileState::Changed);
        QTest::newRow("removed") << "remove" << int(DeviceHistory::FileState::Missing);
    }
    void changedByHandShows()
    {
        QFETCH(QString, action);
        QFETCH(int, state);
        QTemporaryDir folder;
        DeviceHistory history(folder.path());
        const Result<QString> kept = history.keep(record(), "4711", "1.20", Event::Read);
        QVERIFY(kept.ok());
        QCOMPARE(history.entries()[0].state, DeviceHistory::FileState::Kept);
        QTest::qSleep(20); // a later modification time
        const QString path = kept.value();
        if (action == "touch") {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(
                f.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime));
        } else if (action == "change") {
            QVERIFY(SettingsFile::write(path, record("1234")));
        } else if (action == "replace") {
            QFile::remove(path);
            QVERIFY(SettingsFile::write(path, record("9999")));
        } else if (action == "remove") {
            QVERIFY(QFile::remove(path));
        }
        QCOMPARE(int(history.entries()[0].state), state);
        QCOMPARE(int(history.entries()[0].state), state); // the same after the index was stamped anew
    }

    // The listing index lost, cut short or behind the repository: read again
    // from the repository, with the same entries.
    void listingCatchesUp_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("index removed") << "remove";
        QTest::newRow("index cut short inside a line") << "cut";
        QTest::newRow("index of another repository") << "garbage";
        QTest::newRow("index behind (an entry kept without it)") << "behind";
    }
    void listingCatchesUp()
    {
        QFETCH(QString, damage);
        QTemporaryDir folder;
        DeviceHistory history(folder.path(), {"Jana", "j@x", {}});
        history.clock = fixedClock();
        QVERIFY(history.keep(record("1111"), "4711", "1.20", Event::Read).ok());
        QVERIFY(history.keep(record("2222"), "1001", "1.31", Event::BeforeWrite).ok());
        const QString index = folder.filePath("History/.git/tessaro-listing");
        QFile file(index);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();
        if (damage == "remove") {
            QVERIFY(QFile::remove(index));
        } else if (damage == "cut") {
            QVERIFY(file.resize(before.size() - 5));
        } else if (damage == "garbage") {
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("tessaro-history-listing 2\nx\ty\nhead 0123456789012345678901234567890123456789\n");
            file.close();
        } else if (damage == "behind") {
            const QByteArray saved = before;
            QVERIFY(history.keep(record("3333"), "1001", "1.31", Event::Written).ok());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(saved);
            file.close();
        }
        const QList<DeviceHistory::Entry> listed = history.entries();
        QCOMPARE(listed.size(), damage == "behind" ? 3 : 2);
        QCOMPARE(listed.last().serialNumber, QStringLiteral("4711"));
        QCOMPARE(listed.last().firmware, QStringLiteral("1.20"));
        QCOMPARE(listed.last().technician, QStringLiteral("Jana"));
        QCOMPARE(listed.first().event, damage == "behind" ? Event::Written : Event::BeforeWrite);
    }

    // A History path that is not a folder the program may write to: nothing
    // kept, and the reason says what stands there.
    void historyPathRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a file") << "file"
                                << "a regular file, not a folder";
        QTest::newRow("a named pipe") << "pipe"
                                      << "a named pipe, not a folder";
        QTest::newRow("a link to a folder") << "link"
                                            << "a symbolic link, not a folder";
        QTest::newRow("a folder not writable") << "unwritable"
                                               << "the folder may not be written to";
    }
    void historyPathRefused()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir folder;
        const QString path = folder.filePath("History");
        const QByteArray native = QFile::encodeName(path);
        bool immutable = false;
        if (kind == "file") {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
        } else if (kind == "pipe") {
            QCOMPARE(::mkfifo(native.constData(), 0600), 0);
        } else if (kind == "link") {
            QVERIFY(QDir(folder.path()).mkdir("elsewhere"));
            QVERIFY(QFile::link(folder.filePath("elsewhere"), path));
        } else {
            QVERIFY(QDir(folder.path()).mkdir("History"));
            // The superuser writes past permission bits: the folder is made
            // immutable then.
            immutable = geteuid() == 0 && QProcess::execute("chattr", {"+i", path}) == 0;
            if (!immutable)
                QCOMPARE(::chmod(native.constData(), 0555), 0);
            if (geteuid() == 0 && !immutable)
                QSKIP("the superuser writes anywhere and chattr is not available here");
        }
        DeviceHistory history(folder.path());
        const Result<QString> kept = history.keep(record(), "4711", "1.20", Event::Read);
        const Result<QList<DeviceHistory::Entry>> listed = history.list();
        if (immutable)
            QProcess::execute("chattr", {"-i", path});
        QVERIFY(!kept.ok());
        QVERIFY2(kept.failure().text().startsWith(path + ": " + reason), qPrintable(kept.failure().text()));
        QCOMPARE(kept.failure().kind, Failure::Kind::History);
        if (kind != "unwritable") {
            QVERIFY(!listed.ok());
            QCOMPARE(listed.failure().text(), kept.failure().text());
        }
        if (kind == "link")
            QVERIFY(QDir(folder.filePath("elsewhere")).isEmpty());
    }

    // Who the entries are kept by: Config.ini's technician and mail, else
    // the login's.
    void authorRules_data()
    {
        QTest::addColumn<QString>("technician");
        QTest::addColumn<QString>("mail");
        QTest::addColumn<bool>("ownName");
        QTest::addColumn<bool>("ownMail");
        QTest::newRow("both set") << "Jana"
                                  << "jana@x" << true << true;
        QTest::newRow("blank technician") << "   "
                                          << "jana@x" << false << true;
        QTest::newRow("no mail") << "Jana"
                                 << "" << true << false;
    }
    void authorRules()
    {
        QFETCH(QString, technician);
        QFETCH(QString, mail);
        QFETCH(bool, ownName);
        QFETCH(bool, ownMail);
        const HistoryAuthor a = HistoryAuthor::resolve(technician, mail);
        const passwd *pw = getpwuid(geteuid());
        const QString login = QString::fromLocal8Bit(pw->pw_name);
        const QString full = QString::fromLocal8Bit(pw->pw_gecos).section(u',', 0, 0).simplified();
        QCOMPARE(a.name, ownName ? technician : (full.isEmpty() ? login : full));
        QCOMPARE(a.mail, ownMail ? mail : login + u'@' + QSysInfo::machineHostName());
    }
};

QTEST_GUILESS_MAIN(TestHistoryStore)
#include "tst_historystore.moc"
