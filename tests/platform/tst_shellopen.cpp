#include "platform/ShellOpen.h"

#include <QDesktopServices>
#include <QUrl>
#include <QUrlQuery>
#include <QtTest>

#include <sys/stat.h>

// Stands in for the desktop's web browser.
class Browser : public QObject
{
    Q_OBJECT
  public:
    QList<QUrl> opened;
  public slots:
    void open(const QUrl &url) { opened << url; }
};

class TestShellOpen : public QObject
{
    Q_OBJECT

    Browser browser;

  private slots:
    void initTestCase()
    {
        for (const char *scheme : {"https", "mailto"})
            QDesktopServices::setUrlHandler(QLatin1String(scheme), &browser, "open");
    }
    void cleanupTestCase()
    {
        for (const char *scheme : {"https", "mailto"})
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    }
    void init() { browser.opened.clear(); }

    // Web addresses as language files write them reach the browser.
    void webAddresses_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QUrl>("url");
        QTest::newRow("with a scheme") << "https://www.kavrotech.example/kavr/novinky"
                                       << QUrl("https://www.kavrotech.example/kavr/novinky");
        QTest::newRow("short form") << "www.kavrotech.example" << QUrl("https://www.kavrotech.example");
        QTest::newRow("short form, capitals")
            << "WWW.kavrotech.example/" << QUrl("https://WWW.kavrotech.example/");
        QTest::newRow("mail") << "mailto:info@kavrotech.example" << QUrl("mailto:info@kavrotech.example");
    }
    void webAddresses()
    {
        QFETCH(QString, target);
        QFETCH(QUrl, url);
        ShellOpen::open(target);
        QCOMPARE(browser.opened, QList<QUrl>{url});
    }

    // The desktop's opener on the PATH: missing, ending with a failure (no
    // browser behind it), or opening the address. Only a target that was
    // opened goes unreported, and the report comes after the call.
    void openerOutcome_data()
    {
        QTest::addColumn<int>("exitCode"); // -1: no opener on the PATH
        QTest::addColumn<bool>("failed");
        QTest::newRow("no opener") << -1 << true;
        QTest::newRow("no browser behind it") << 3 << true;
        QTest::newRow("opened") << 0 << false;
    }
    void openerOutcome()
    {
        QFETCH(int, exitCode);
        QFETCH(bool, failed);
        QTemporaryDir path;
        const QString record = path.filePath("opened.txt");
        if (exitCode >= 0) {
            QFile opener(path.filePath("xdg-open"));
            QVERIFY(opener.open(QIODevice::WriteOnly));
            opener.write(QStringLiteral("#!/bin/sh\nprintf '%s' \"$1\" > '%1'\nexit %2\n")
                             .arg(record)
                             .arg(exitCode)
                             .toUtf8());
            opener.close();
            QVERIFY(opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        }
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", path.path().toUtf8());
        int reports = 0;
        ShellOpen::open(QStringLiteral("www.kavrotech.example/kavr"), [&reports] { ++reports; });
        qputenv("PATH", oldPath);
        QCOMPARE(reports, 0);
        if (exitCode >= 0)
            QTRY_VERIFY(QFileInfo::exists(record));
        if (failed)
            QTRY_COMPARE(reports, 1);
        QTest::qWait(50);
        QCOMPARE(reports, failed ? 1 : 0);
        if (exitCode >= 0) {
            QFile opened(record);
            QVERIFY(opened.open(QIODevice::ReadOnly));
            QCOMPARE(opened.readAll(), QByteArray("https://www.kavrotech.example/kavr"));
        }
    }

    // What a language file may name for Help: a plain .html/.htm file name
    // of a regular file in the program folder, nothing else.
    void helpFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("opened");
        QTest::newRow("shipped page") << "Tessaro-CZ.html" << true;
        QTest::newRow(".HTM, capitals") << "HELP.HTM" << true;
        QTest::newRow("link in the folder to a page in it") << "Alias.html" << true;
        QTest::newRow("old help format") << "Tessaro-CZ.HLP" << false;
        QTest::newRow("missing") << "Other.html" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("climbs out") << "../outside.html" << false;
        QTest::newRow("deep climb") << "../../../../tmp/payload.desktop" << false;
        QTest::newRow("sub-folder") << "sub/page.html" << false;
        QTest::newRow("backslash") << "sub\\page.html" << false;
        QTest::newRow("absolute") << "/etc/hosts" << false;
        QTest::newRow("two dots in the name") << "a..html" << false;
        QTest::newRow("folder named like a page") << "folder.html" << false;
        QTest::newRow("named pipe") << "pipe.html" << false;
        QTest::newRow("link to a page outside") << "Escape.html" << false;
        QTest::newRow("script") << "run.sh" << false;
    }
    void helpFiles()
    {
        QFETCH(QString, name);
        QFETCH(bool, opened);
        QTemporaryDir root;
        const QString folder = root.filePath("program");
        QVERIFY(QDir().mkpath(folder + "/sub") && QDir().mkpath(folder + "/folder.html"));
        for (const char *file :
             {"program/Tessaro-CZ.html", "program/HELP.HTM", "program/Tessaro-CZ.HLP",
              "program/sub/page.html", "program/a..html", "program/run.sh", "outside.html"}) {
            QFile f(root.filePath(file));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QVERIFY(QFile::link(folder + "/Tessaro-CZ.html", folder + "/Alias.html"));
        QVERIFY(QFile::link(root.filePath("outside.html"), folder + "/Escape.html"));
        QCOMPARE(::mkfifo(QFile::encodeName(folder + "/pipe.html").constData(), 0600), 0);
        QCOMPARE(ShellOpen::helpFile(folder, name), opened ? folder + '/' + name : QString());
    }

    // What a language file may name for the web links: http and https only.
    void webAddressChecks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("target");
        QTest::newRow("https") << "https://www.kavrotech.example/kavr/novinky"
                               << "https://www.kavrotech.example/kavr/novinky";
        QTest::newRow("http") << "http://kavrotech.example/"
                              << "http://kavrotech.example/";
        QTest::newRow("short form") << "www.kavrotech.example"
                                    << "https://www.kavrotech.example";
        QTest::newRow("file") << "file:///etc/passwd"
                              << "";
        QTest::newRow("smb") << "smb://server/share"
                             << "";
        QTest::newRow("script path") << "/tmp/payload.sh"
                                     << "";
        QTest::newRow("relative") << "payload.desktop"
                                  << "";
        QTest::newRow("javascript") << "javascript:alert(1)"
                                    << "";
        QTest::newRow("no host") << "https:///path"
                                 << "";
        QTest::newRow("scheme only") << "https:"
                                     << "";
        QTest::newRow("user name in front of the host") << "https://www.kavrotech.example@evil.example/"
                                                        << "";
        QTest::newRow("blank inside") << "https://www.kavrotech.example/a b"
                                      << "";
        QTest::newRow("line break") << "https://www.kavrotech.example/\nfile:///etc"
                                    << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void webAddressChecks()
    {
        QFETCH(QString, text);
        QFETCH(QString, target);
        QCOMPARE(ShellOpen::webAddress(text), target);
    }

    // What a language file may give as the maker's mail address: an address
    // only; the subject stays the link's one header.
    void mailLinks_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("link");
        QTest::newRow("address") << "info@kavrotech.example"
                                 << "Dotaz z programu Tessaro"
                                 << "mailto:info@kavrotech.example?SUBJECT=Dotaz z programu Tessaro";
        QTest::newRow("subject that adds a header")
            << "info@kavrotech.example"
            << "Hi&attach=/etc/passwd"
            << "mailto:info@kavrotech.example?SUBJECT=Hi%26attach%3D/etc/passwd";
        QTest::newRow("attachment after the address") << "a@b.example?attach=/etc/passwd"
                                                      << "x"
                                                      << "";
        QTest::newRow("second header") << "a@b.example&cc=c@d.example"
                                       << "x"
                                       << "";
        QTest::newRow("blank") << "a b@c.example"
                               << "x"
                               << "";
        QTest::newRow("scheme") << "mailto:a@b.example"
                                << "x"
                                << "";
        QTest::newRow("two addresses") << "a@b.example,c@d.example"
                                       << "x"
                                       << "";
        QTest::newRow("percent escape") << "a%40b@c.example"
                                        << "x"
                                        << "";
        QTest::newRow("no domain") << "a@"
                                   << "x"
                                   << "";
        QTest::newRow("no dot in the domain") << "a@localhost"
                                              << "x"
                                              << "";
        QTest::newRow("no at") << "info.kavrotech.example"
                               << "x"
                               << "";
        QTest::newRow("empty") << ""
                               << "x"
                               << "";
    }
    void mailLinks()
    {
        QFETCH(QString, address);
        QFETCH(QString, subject);
        QFETCH(QString, link);
        QCOMPARE(ShellOpen::mailLink(address, subject), link);
        if (!link.isEmpty()) {
            // The desktop gets the address and one header.
            const QUrl url(link);
            QCOMPARE(url.path(), address);
            QCOMPARE(QUrlQuery(url).queryItems(QUrl::FullyDecoded),
                     (QList<QPair<QString, QString>>{{"SUBJECT", subject}}));
        }
    }
};

QTEST_MAIN(TestShellOpen)
#include "tst_shellopen.moc"
