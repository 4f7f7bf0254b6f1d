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
        QTest::newRow("no opener") << -1;
        QTest::newRow("no browser behind it") << 3;
        QTest::newRow("opened") << 0;
    }
    void openerOutcome()
    {
        QFETCH(int, exitCode);
        const bool failed = exitCode != 0;
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
        const auto given = [&record] {
            QFile f(record);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        if (exitCode >= 0)
            QTRY_COMPARE(given(), QByteArray("https://www.kavrotech.example/kavr"));
        if (failed)
            QTRY_COMPARE(reports, 1);
        QTest::qWait(50);
        QCOMPARE(reports, failed ? 1 : 0);
    }

    // What a language file may name for Help: a plain .html/.htm file name
    // of a regular file in the program folder, nothing else.
    void helpFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("opened");
        const struct {
            const char *row, *name;
            bool opened;
        } rows[] = {{"shipped page", "Tessaro-CZ.html", true},
                    {".HTM, capitals", "HELP.HTM", true},
                    {"link in the folder to a page in it", "Alias.html", true},
                    {"old help format", "Tessaro-CZ.HLP", false},
                    {"missing", "Other.html", false},
                    {"empty", "", false},
                    {"climbs out", "../outside.html", false},
                    {"two dots in the name", "a..html", false},
                    {"sub-folder", "sub/page.html", false},
                    {"backslash", "sub\\page.html", false},
                    {"folder named like a page", "folder.html", false},
                    {"named pipe", "pipe.html", false},
                    {"link to a page outside", "Escape.html", false}};
        for (const auto &r : rows)
            QTest::newRow(r.row) << QString::fromUtf8(r.name) << r.opened;
    }
    void helpFiles()
    {
        QFETCH(QString, name);
        QFETCH(bool, opened);
        QTemporaryDir root;
        const QString folder = root.filePath("program");
        QVERIFY(QDir().mkpath(folder + "/sub") && QDir().mkpath(folder + "/folder.html"));
        for (const char *file : {"program/Tessaro-CZ.html", "program/HELP.HTM", "program/Tessaro-CZ.HLP",
                                 "program/sub/page.html", "program/a..html", "outside.html"}) {
            QFile f(root.filePath(file));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QVERIFY(QFile::link(folder + "/Tessaro-CZ.html", folder + "/Alias.html"));
        QVERIFY(QFile::link(root.filePath("outside.html"), folder + "/Escape.html"));
        QCOMPARE(::mkfifo(QFile::encodeName(folder + "/pipe.html").constData(), 0600), 0);
        QCOMPARE(ShellOpen::helpFile(folder, name), opened ? folder + '/' + name : QString());
    }

    // What a language file may name for the web links: http and https only
    // (refused: an empty target).
    void webAddressChecks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("target");
        const struct {
            const char *row, *text, *target;
        } rows[] = {{"https", "https://www.kavrotech.example/kavr", "https://www.kavrotech.example/kavr"},
                    {"http", "http://kavrotech.example/", "http://kavrotech.example/"},
                    {"short form", "www.kavrotech.example", "https://www.kavrotech.example"},
                    {"file", "file:///etc/passwd", ""},
                    {"javascript", "javascript:alert(1)", ""},
                    {"script path", "/tmp/payload.sh", ""},
                    {"no host", "https:///path", ""},
                    {"user name in front of the host", "https://www.kavrotech.example@evil.example/", ""},
                    {"blank inside", "https://www.kavrotech.example/a b", ""},
                    {"line break", "https://www.kavrotech.example/\nfile:///etc", ""},
                    {"empty", "", ""}};
        for (const auto &r : rows)
            QTest::newRow(r.row) << QString::fromUtf8(r.text) << QString::fromUtf8(r.target);
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
        QTest::addColumn<QString>("link"); // empty: refused
        QTest::newRow("address") << "info@kavrotech.example"
                                 << "Dotaz z programu Tessaro"
                                 << "mailto:info@kavrotech.example?SUBJECT=Dotaz z programu Tessaro";
        QTest::newRow("subject that adds a header")
            << "info@kavrotech.example"
            << "Hi&attach=/etc/passwd"
            << "mailto:info@kavrotech.example?SUBJECT=Hi%26attach%3D/etc/passwd";
        const struct {
            const char *row, *address;
        } refused[] = {{"attachment after the address", "a@b.example?attach=/etc/passwd"},
                       {"second header", "a@b.example&cc=c@d.example"},
                       {"blank", "a b@c.example"},
                       {"scheme", "mailto:a@b.example"},
                       {"two addresses", "a@b.example,c@d.example"},
                       {"percent escape", "a%40b@c.example"},
                       {"no domain", "a@"},
                       {"no dot in the domain", "a@localhost"},
                       {"no at", "info.kavrotech.example"},
                       {"empty", ""}};
        for (const auto &r : refused)
            QTest::newRow(r.row) << QString::fromUtf8(r.address) << "x" << QString();
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
