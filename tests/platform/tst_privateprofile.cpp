#include "FileKinds.h"
#include "platform/PrivateProfile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

class TestPrivateProfile : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("Config.ini")); }

    void put(const QByteArray &text)
    {
        QFile f(path());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    QByteArray contents() const
    {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

  private slots:
    void readsIgnoringCaseAndBlanks()
    {
        put("; comment line\n[setup]\n  Com =  3  \nLang=\"Cesky.lng\"\n[Other]\ncom=9\n");
        QCOMPARE(PrivateProfile::readInt(path(), "Setup", "COM", 1), 3);
        QCOMPARE(PrivateProfile::readString(path(), "SETUP", "lang", "x"), QStringLiteral("Cesky.lng"));
        QCOMPARE(PrivateProfile::readString(path(), "Setup", "Missing", "dflt"), QStringLiteral("dflt"));
        QCOMPARE(PrivateProfile::readString(path(), "Nowhere", "COM", "dflt"), QStringLiteral("dflt"));
        QCOMPARE(PrivateProfile::readInt(dir.filePath("absent.ini"), "Setup", "COM", 7), 7);
    }

    void integers_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("decimal") << QByteArray("20") << 20;
        QTest::newRow("hex 0x") << QByteArray("0x14") << 20;
        QTest::newRow("hex 0X") << QByteArray("0X1f") << 31;
        QTest::newRow("hex $") << QByteArray("$10") << 16;
        QTest::newRow("negative") << QByteArray("-3") << -3;
        QTest::newRow("garbage") << QByteArray("ten") << 99;
        QTest::newRow("trailing junk") << QByteArray("12ms") << 99;
        QTest::newRow("empty") << QByteArray("") << 99;
        QTest::newRow("bad hex") << QByteArray("0xZZ") << 99;
    }
    void integers()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, expected);
        put("[Setup]\nTimeOutRS=" + value + "\n");
        QCOMPARE(PrivateProfile::readInt(path(), "Setup", "TimeOutRS", 99), expected);
    }

    void rewritesInPlaceAndKeepsOtherLines()
    {
        put("; hand-written\n[Setup]\nClosePort=1\nCOM=2\n\n[Info]\nx=y\n");
        QVERIFY(PrivateProfile::writeString(path(), "setup", "com", "5"));
        QVERIFY(PrivateProfile::writeString(path(), "Setup", "Lang", "Cesky.lng"));
        QVERIFY(PrivateProfile::writeString(path(), "New", "k", "v"));
        QCOMPARE(contents(), QByteArray("; hand-written\n[Setup]\nClosePort=1\nCOM=5\nLang=Cesky.lng\n\n"
                                        "[Info]\nx=y\n[New]\nk=v\n"));
    }

    void createsFileInWriteOrder()
    {
        QFile::remove(path());
        QVERIFY(PrivateProfile::writeString(path(), "Info", "A", "1"));
        QVERIFY(PrivateProfile::writeString(path(), "-", "-", "-"));
        QVERIFY(PrivateProfile::writeString(path(), "Setup", "USB", "0"));
        QVERIFY(PrivateProfile::writeString(path(), "Setup", "COM", "1"));
        QCOMPARE(contents(), QByteArray("[Info]\nA=1\n[-]\n-=-\n[Setup]\nUSB=0\nCOM=1\n"));
        QCOMPARE(PrivateProfile::readString(path(), "-", "-", "x"), QStringLiteral("-"));
    }

    void keepsWindowsLineEnds()
    {
        put("[Setup]\r\nCOM=2\r\n");
        QVERIFY(PrivateProfile::writeString(path(), "Setup", "USB", "1"));
        QCOMPARE(contents(), QByteArray("[Setup]\r\nCOM=2\r\nUSB=1\r\n"));
    }

    void writeIntoMissingFolderFails()
    {
        QVERIFY(!PrivateProfile::writeString(dir.filePath("no/such/Config.ini"), "Setup", "COM", "3"));
        QVERIFY(!QFile::exists(dir.filePath("no")));
    }

    void refusedWriteLeavesOldFile()
    {
        if (geteuid() == 0)
            QSKIP("root writes into read-only folders");
        QTemporaryDir ro;
        const QString file = ro.filePath("Config.ini");
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[Setup]\nCOM=2\n");
        }
        QVERIFY(QFile::setPermissions(ro.path(), QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(!PrivateProfile::writeString(file, "Setup", "COM", "3"));
        QVERIFY(QFile::setPermissions(ro.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QCOMPARE(PrivateProfile::readInt(file, "Setup", "COM", 0), 2);
    }

    void singleByteFileKeepsItsBytes()
    {
        // A comment hand-written in a Windows code page ("Příliš" in 1250).
        const QByteArray comment("; P\xf8\xedli\x9a\n");
        put(comment + "[Setup]\nCOM=2\n");
        QVERIFY(PrivateProfile::writeString(path(), "Setup", "COM", "3"));
        QCOMPARE(contents(), comment + "[Setup]\nCOM=3\n");
    }

    // An editor's byte order mark in front of the first section: the keys
    // are found, and a write keeps the mark and the other bytes and adds no
    // second section.
    void byteOrderMark_data()
    {
        QTest::addColumn<QByteArray>("rest");
        QTest::newRow("ASCII") << QByteArray("[Setup]\nCOM=3\nClosePort=1\n");
        QTest::newRow("UTF-8") << QByteArray("[Setup]\n; P\xc5\x99\xc3\xadli\xc5\xa1\nCOM=3\nClosePort=1\n");
        QTest::newRow("single-byte Czech") << QByteArray("[Setup]\n; P\xf8\xedli\x9a\nCOM=3\nClosePort=1\n");
    }
    void byteOrderMark()
    {
        QFETCH(QByteArray, rest);
        const QByteArray bom("\xEF\xBB\xBF");
        put(bom + rest);
        QCOMPARE(PrivateProfile::readInt(path(), "Setup", "COM", 1), 3);
        QCOMPARE(PrivateProfile::readString(path(), "Setup", "ClosePort", "0"), QStringLiteral("1"));
        QVERIFY(PrivateProfile::writeString(path(), "Setup", "COM", "4"));
        QVERIFY(PrivateProfile::writeString(path(), "Setup", "Lang", "Cesky.lng"));
        QByteArray expected = bom + rest;
        expected.replace("COM=3", "COM=4");
        QCOMPARE(contents(), expected + "Lang=Cesky.lng\n");
    }

    // Config.ini (and a language file, read by the same code) as whatever
    // stands under its name: a regular file is read and rewritten (through a
    // link, the file it names); anything else reads as an empty file, at
    // once, and is never replaced.
    void fileKinds_data() { FileKinds::addRows(); }
    void fileKinds()
    {
        QFETCH(int, kind);
        const auto k = FileKinds::Kind(kind);
        const QString file = dir.filePath(QStringLiteral("kind.ini"));
        MAKE_FILE_KIND(k, file, "[Setup]\nCOM=3\n");
        const bool regular = FileKinds::isRegular(k);
        QCOMPARE(PrivateProfile::readInt(file, "Setup", "COM", 1), regular ? 3 : 1);
        QCOMPARE(PrivateProfile::writeString(file, "Setup", "USB", "1"), regular);
        QVERIFY(FileKinds::stillThere(k, file));
        if (regular)
            QCOMPARE(PrivateProfile::readSection(file, "Setup"),
                     (QList<QPair<QString, QString>>{{"COM", "3"}, {"USB", "1"}}));
        FileKinds::remove(file);
    }

    void sectionListing()
    {
        put("[Ports]\nCOM1=/dev/pts/7\ncom1=/ignored\nCOM3 = /tmp/x\n[Setup]\nCOM=1\n");
        const auto ports = PrivateProfile::readSection(path(), "ports");
        QCOMPARE(ports.size(), 2);
        QCOMPARE(ports[0].second, QStringLiteral("/dev/pts/7"));
        QCOMPARE(ports[1].first, QStringLiteral("COM3"));
    }
};

QTEST_GUILESS_MAIN(TestPrivateProfile)
#include "tst_privateprofile.moc"
