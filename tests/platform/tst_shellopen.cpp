#include "platform/ShellOpen.h"

#include <QDesktopServices>
#include <QUrl>
#include <QtTest>

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
};

QTEST_MAIN(TestShellOpen)
#include "tst_shellopen.moc"
