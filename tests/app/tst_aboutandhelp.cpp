// The About box's links and logo, and the shipped help documents.

#include "app/Oprog.h"
#include "app_helper.h"
#include "lang/LanguageTexts.h"
#include "platform/ShellOpen.h"

#include <QLabel>
#include <QTest>

namespace
{
const QString shipped = QStringLiteral(TESSARO_FIXTURES "/../../assets/program");
}

class AboutAndHelpTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> folder;
    std::unique_ptr<MessageLog> log;
    QStringList opened;

  private slots:
    void init()
    {
        folder = std::make_unique<ProgramFolder>();
        log = std::make_unique<MessageLog>();
        opened.clear();
        ShellOpen::setHook([this](const QString &t) { opened << t; });
    }
    void cleanup()
    {
        ShellOpen::setHook(nullptr);
        LanguageTexts::resetToDefaults();
        log.reset();
        folder.reset();
    }

    // The maker's address and the subject come from the language; the
    // author's address stays. Only the left button follows a link.
    void linksOpenWhatTheLanguageSays()
    {
        LanguageTexts::setText(QStringLiteral("MESSAGE"), 18, QStringLiteral("service@kavrotech.example"));
        LanguageTexts::setText(QStringLiteral("MESSAGE"), 19, QStringLiteral("Question from Tessaro"));
        LanguageTexts::setText(QStringLiteral("MESSAGE"), 20,
                               QStringLiteral("https://www.kavrotech.example/en/"));
        TForm2 about;
        about.show();
        for (QLabel *link : {about.Label8, about.Image1, about.Label9, about.Label7}) {
            QTest::mouseClick(link, Qt::RightButton);
            QTest::mouseClick(link, Qt::LeftButton);
        }
        QCOMPARE(opened,
                 (QStringList{"https://www.kavrotech.example/en/", "https://www.kavrotech.example/en/",
                              "mailto:service@kavrotech.example?SUBJECT=Question from Tessaro",
                              "mailto:vyvoj@kavrotech.example?SUBJECT=Question from Tessaro"}));
    }

    // Web and mail texts of a language file that are no plain web or mail
    // address open nothing when clicked.
    void linksOpenNothingElse_data()
    {
        QTest::addColumn<QString>("web");
        QTest::addColumn<QString>("mail");
        QTest::newRow("file and attachment") << "file:///etc/passwd"
                                             << "a@b.example?attach=/etc/passwd";
        QTest::newRow("share and second header") << "smb://server/share"
                                                 << "a@b.example&cc=c@d.example";
        QTest::newRow("script and scheme") << "/tmp/payload.sh"
                                           << "mailto:a@b.example";
    }
    void linksOpenNothingElse()
    {
        QFETCH(QString, web);
        QFETCH(QString, mail);
        LanguageTexts::setText(QStringLiteral("MESSAGE"), 18, mail);
        LanguageTexts::setText(QStringLiteral("MESSAGE"), 20, web);
        TForm2 about;
        about.show();
        for (QLabel *link : {about.Label8, about.Image1, about.Label9})
            QTest::mouseClick(link, Qt::LeftButton);
        QCOMPARE(opened, QStringList());
        QVERIFY(log->shown.isEmpty());
        // The author's own address still works.
        QTest::mouseClick(about.Label7, Qt::LeftButton);
        QCOMPARE(opened.size(), 1);
        QVERIFY(opened[0].startsWith(QLatin1String("mailto:vyvoj@kavrotech.example?SUBJECT=")));
    }

    // Each help document is in its language and covers what technicians
    // ask about most.
    void helpDocumentsCoverTheQuestions()
    {
        for (const auto &[file, lang] :
             {std::pair{"Tessaro-CZ.html", "cs"}, std::pair{"Tessaro-EN.html", "en"},
              std::pair{"Tessaro-DE.html", "de"}}) {
            QFile doc(shipped + QLatin1Char('/') + QLatin1String(file));
            QVERIFY2(doc.open(QIODevice::ReadOnly), file);
            const QString text = QString::fromUtf8(doc.readAll());
            QVERIFY2(text.contains(QStringLiteral("<html lang=\"%1\">").arg(QLatin1String(lang))), file);
            for (const char *topic :
                 {"dialout", "70-tessaro-zarp-usb.rules", "USB:--", "Config.ini", "PickUp.WAV"})
                QVERIFY2(text.contains(QLatin1String(topic)),
                         qPrintable(QStringLiteral("%1: %2").arg(file, topic)));
        }
    }
};

QTEST_MAIN(AboutAndHelpTest)
#include "tst_aboutandhelp.moc"
