// The About box's links and logo, and the help documents the Help command
// opens for each shipped language.

#include "app/DeviceCommands.h"
#include "app/KAVR10.h"
#include "app/Oprog.h"
#include "app/ProgramWindows.h"
#include "app/Tony.h"
#include "app_helper.h"
#include "lang/LanguageTexts.h"
#include "platform/ShellOpen.h"

#include <QLabel>
#include <QTest>
#include <QTimer>

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

    std::unique_ptr<ProgramWindows> startProgram()
    {
        folder->writeConfig(QStringLiteral("[Setup]\nUSB=0\nCOM=1\n"));
        auto windows = std::make_unique<ProgramWindows>();
        windows->Form1->Timer1->stop();
        return windows;
    }

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
    // author's address stays.
    void linksOpenWhatTheLanguageSays_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("target");
        const QString web = QStringLiteral("https://www.kavrotech.example/en/");
        QTest::newRow("web text") << "Label8" << web;
        QTest::newRow("logo") << "Image1" << web;
        QTest::newRow("maker's mail") << "Label9"
                                      << "mailto:service@kavrotech.example?SUBJECT=Question from Tessaro";
        QTest::newRow("author's mail") << "Label7"
                                       << "mailto:vyvoj@kavrotech.example?SUBJECT=Question from Tessaro";
    }
    void linksOpenWhatTheLanguageSays()
    {
        QFETCH(QString, control);
        QFETCH(QString, target);
        LanguageTexts::setText(QStringLiteral("MESSAGE"), 18, QStringLiteral("service@kavrotech.example"));
        LanguageTexts::setText(QStringLiteral("MESSAGE"), 19, QStringLiteral("Question from Tessaro"));
        LanguageTexts::setText(QStringLiteral("MESSAGE"), 20,
                               QStringLiteral("https://www.kavrotech.example/en/"));
        TForm2 about;
        about.show();
        auto *label = about.findChild<QLabel *>(control);
        QVERIFY(label);
        QTest::mouseClick(label, Qt::RightButton);
        QVERIFY(opened.isEmpty());
        QTest::mouseClick(label, Qt::LeftButton);
        QCOMPARE(opened, QStringList{target});
    }

    // The logo is the picture the language names, when the program folder
    // has it; a name without a file keeps the picture shown.
    void logoFollowsTheLanguage()
    {
        auto windows = startProgram();
        QLabel *image = windows->Form2->Image1;
        QVERIFY(image->pixmap().isNull());
        QVERIFY(QFile::copy(shipped + QStringLiteral("/KAVROTECH.BMP"),
                            folder->file(QStringLiteral("KAVROTECH.BMP"))));
        LanguageTexts::setText(QStringLiteral("OTHER"), 30, QStringLiteral("KAVROTECH.BMP"));
        windows->Form1->applyLanguage();
        QCOMPARE(image->pixmap().size(), QSize(150, 70));
        const QImage logo = image->pixmap().toImage();
        LanguageTexts::setText(QStringLiteral("OTHER"), 30, QStringLiteral("MISSING.BMP"));
        windows->Form1->applyLanguage();
        QCOMPARE(image->pixmap().toImage(), logo);
        QVERIFY(log->shown.isEmpty());
    }

    // Each shipped help document is the one Help opens when the language
    // names it, and covers what technicians ask about most.
    void helpOpensTheLanguagesDocument_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("lang");
        QTest::newRow("Czech") << "Tessaro-CZ.html"
                               << "cs";
        QTest::newRow("English") << "Tessaro-EN.html"
                                 << "en";
        QTest::newRow("German") << "Tessaro-DE.html"
                                << "de";
    }
    void helpOpensTheLanguagesDocument()
    {
        QFETCH(QString, file);
        QFETCH(QString, lang);
        QFile doc(shipped + QLatin1Char('/') + file);
        QVERIFY(doc.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(doc.readAll());
        QVERIFY(text.contains(QStringLiteral("<html lang=\"%1\">").arg(lang)));
        for (const char *topic :
             {"dialout", "70-tessaro-zarp-usb.rules", "USB:--", "Config.ini", "PickUp.WAV"})
            QVERIFY2(text.contains(QLatin1String(topic)), topic);

        QVERIFY(QFile::copy(doc.fileName(), folder->file(file)));
        auto windows = startProgram();
        LanguageTexts::setText(QStringLiteral("OTHER"), 37, file);
        windows->Commands->help();
        QCOMPARE(opened, QStringList{folder->file(file)});
        QVERIFY(log->shown.isEmpty());
    }

    // With TESSARO_SCREENSHOT_DIR set, saves both small windows with the
    // shipped logo, for a person to look at.
    void screenshots()
    {
        const QString dir = qEnvironmentVariable("TESSARO_SCREENSHOT_DIR");
        if (dir.isEmpty())
            QSKIP("TESSARO_SCREENSHOT_DIR not set");
        QVERIFY(QFile::copy(shipped + QStringLiteral("/KAVROTECH.BMP"),
                            folder->file(QStringLiteral("KAVROTECH.BMP"))));
        LanguageTexts::setText(QStringLiteral("OTHER"), 30, QStringLiteral("KAVROTECH.BMP"));
        auto windows = startProgram();
        windows->Form1->applyLanguage();
        windows->Form2->show();
        windows->Form3->show();
        QVERIFY(windows->Form2->grab().save(QDir(dir).filePath(QStringLiteral("about.png"))));
        QVERIFY(windows->Form3->grab().save(QDir(dir).filePath(QStringLiteral("tone-samples.png"))));
    }
};

QTEST_MAIN(AboutAndHelpTest)
#include "tst_aboutandhelp.moc"
