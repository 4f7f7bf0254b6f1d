// Language files applied to the running program: start-up, the language
// menu, Qt's own texts, a missing file, and the encodings of a file.

#include "TestFiles.h"
#include "app/Dotaz.h"
#include "app/Hlaseni.h"
#include "app/KAVR10.h"
#include "app/MessageBoxes.h"
#include "app/Oprog.h"
#include "app/ProgramWindows.h"
#include "app/SerPort.h"
#include "app/StatusPanels.h"
#include "app/Tony.h"
#include "app/Uvod.h"
#include "app/Zobraz.h"
#include "device/ExchangeService.h"
#include "lang/LanguageTexts.h"
#include "platform/TextEncoding.h"
#include "settings/SettingsPrintout.h"

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

namespace
{

const QString shippedFolder = QStringLiteral(TESSARO_FIXTURES "/../../assets/program/");

// The text in Windows-1250 bytes; a character without one becomes 0.
QByteArray toCp1250(const QString &text)
{
    QHash<QChar, char> bytes;
    for (int b = 1; b < 256; ++b)
        bytes.insert(TextEncoding::fromCp1250(QByteArray(1, char(b))).at(0), char(b));
    QByteArray out;
    for (const QChar c : text)
        out += bytes.value(c, '\0');
    return out;
}

} // namespace

class TestLanguageSwitch : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> folder;
    QString previous;
    QList<MessageBoxes::Shown> shown;
    std::unique_ptr<ProgramWindows> windows;
    TForm1 *form = nullptr;

    QString file(const QString &name) const { return folder->filePath(name); }
    void put(const QString &name, const QByteArray &bytes) const
    {
        QFile f(file(name));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    // Config.ini with the given Setup keys; every serial port points nowhere.
    void config(const QString &setup) const
    {
        QString text = QStringLiteral("[Setup]\n") + setup + QStringLiteral("[Ports]\n");
        for (int i = 1; i <= 16; ++i)
            text += QStringLiteral("COM%1=%2/no-such-tty\n").arg(i).arg(folder->path());
        put(QStringLiteral("Config.ini"), text.toUtf8());
    }
    QString readConfig() const
    {
        QFile f(file(QStringLiteral("Config.ini")));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    void start()
    {
        windows = std::make_unique<ProgramWindows>();
        form = windows->Form1;
        form->Timer1->stop();
        form->show();
    }
    void closeProgram()
    {
        QVERIFY(form->close());
        windows.reset();
    }
    void choose(const QString &name)
    {
        const int entry = form->LanguageFiles.indexOf(file(name));
        QVERIFY2(entry >= 0, qPrintable(name));
        form->languageEntries[entry]->trigger();
    }
    // What a question box shows on its Yes button.
    static QString yesButton()
    {
        QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("q"),
                        QMessageBox::Yes | QMessageBox::No);
        return box.button(QMessageBox::Yes)->text();
    }
    // Every caption, title and hint of every window, in a fixed order.
    QStringList allTexts() const
    {
        QStringList texts;
        const QList<QWidget *> all{windows->Form1, windows->Form2, windows->Form3, windows->Form5,
                                   windows->Form6, windows->Form7, windows->Form8, windows->Form9};
        for (QWidget *window : all) {
            texts << window->windowTitle();
            for (QObject *o : window->findChildren<QObject *>()) {
                if (auto *w = qobject_cast<QWidget *>(o))
                    texts << w->toolTip();
                if (auto *b = qobject_cast<QAbstractButton *>(o))
                    texts << b->text();
                else if (auto *l = qobject_cast<QLabel *>(o))
                    texts << l->text();
                else if (auto *a = qobject_cast<QAction *>(o))
                    texts << a->text();
            }
        }
        texts << form->FilePrefix;
        return texts;
    }

  private slots:
    void init()
    {
        folder = std::make_unique<QTemporaryDir>();
        previous = QDir::currentPath();
        QDir::setCurrent(folder->path());
        shown.clear();
        MessageBoxes::setResponder([this](const MessageBoxes::Shown &s) {
            shown << s;
            return false;
        });
    }
    void cleanup()
    {
        windows.reset();
        MessageBoxes::setResponder(nullptr);
        LanguageTexts::resetToDefaults();
        QDir::setCurrent(previous);
        folder.reset();
    }

    // A choice from the menu changes every window at once, the texts
    // composed earlier and Qt's buttons, and is kept for the next start.
    void chooseFromTheMenu_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("toneButton");
        QTest::addColumn<QString>("portTitle");
        QTest::addColumn<QString>("openHint");
        QTest::addColumn<QString>("filePanel");
        QTest::addColumn<QString>("yes");
        const auto row = [](const char *name, std::initializer_list<const char *> cells) {
            QTestData &data = QTest::newRow(name);
            for (const char *cell : cells)
                data << QString::fromUtf8(cell);
        };
        row("English", {"Cesky.lng", "English.lng", "Basic parameters", "Line hang-up",
                        "Serial port selection", "Open a settings file", "File: lift.kvr", "&Yes"});
        row("German",
            {"English.lng", "Deutsch.lng", "Grundeinstellungen", "Auflegen der Leitung",
             "Auswahl der seriellen Schnittstelle", "Einstellungsdatei öffnen", "Datei: lift.kvr", "&Ja"});
        row("Czech", {"Deutsch.lng", "Cesky.lng", "Základní parametry", "Zavěšení linky",
                      "Výběr sériového portu", "Otevřít soubor s nastavením", "Soubor: lift.kvr", "&Ano"});
    }
    void chooseFromTheMenu()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, page);
        QFETCH(QString, toneButton);
        QFETCH(QString, portTitle);
        QFETCH(QString, openHint);
        QFETCH(QString, filePanel);
        QFETCH(QString, yes);
        for (const QString name : {"Cesky.lng", "English.lng", "Deutsch.lng"})
            QVERIFY(copyUnsynced(shippedFolder + name, file(name)));
        config(QStringLiteral("Lang=%1\n").arg(from));
        start();
        QVERIFY(form->PageControl1->tabText(0) != page);
        QVERIFY(yesButton() != yes);
        form->CurrentFile = file(QStringLiteral("lift.kvr"));
        windows->Form3->show(); // an open window follows too

        choose(to);
        QCOMPARE(form->PageControl1->tabText(0), page);
        QCOMPARE(windows->Form3->button("Button2")->text(), toneButton);
        QCOMPARE(windows->Form5->windowTitle(), portTitle);
        QCOMPARE(form->BitBtn1->toolTip(), openHint);
        QCOMPARE(windows->Form7->windowTitle(), LanguageTexts::text("MESSAGE", 37));
        QCOMPARE(form->StatusBar1->panelText(1), filePanel);
        QCOMPARE(windows->Form2->findChild<QLabel *>("Label9")->text(),
                 QStringLiteral("Email: info@kavrotech.example"));
        QVERIFY(form->windowTitle().startsWith(QStringLiteral("Tessaro  V")));
        QCOMPARE(yesButton(), yes);
        QVERIFY(shown.isEmpty());

        closeProgram();
        QVERIFY(readConfig().contains(QStringLiteral("Lang=") + to + QLatin1Char('\n')));
        start();
        QCOMPARE(form->PageControl1->tabText(0), page);
        QCOMPARE(yesButton(), yes);
    }

    // Texts a file leaves out keep their built-in defaults, row by row.
    void partialFile_data()
    {
        QTest::addColumn<QByteArray>("lng");
        QTest::addColumn<QString>("button2");
        QTest::newRow("OTHER 16 without 39: the later row's default")
            << QByteArray("[OTHER]\n16=Hang up\n") << "Zavěšení linky";
        QTest::newRow("OTHER 39 decides")
            << QByteArray("[OTHER]\n16=Hang up\n39=Line hang-up\n") << "Line hang-up";
    }
    void partialFile()
    {
        QFETCH(QByteArray, lng);
        QFETCH(QString, button2);
        put(QStringLiteral("Part.lng"), lng);
        config(QStringLiteral("Lang=Part.lng\n"));
        start();
        QCOMPARE(windows->Form3->button("Button2")->text(), button2);
    }

    // A Lang that names a file no longer there: the Czech file, or the
    // built-in texts and a message; Config.ini keeps what was set by hand.
    void missingLanguageFile_data()
    {
        QTest::addColumn<bool>("czechFile");
        QTest::newRow("Cesky.lng present") << true;
        QTest::newRow("no language file at all") << false;
    }
    void missingLanguageFile()
    {
        QFETCH(bool, czechFile);
        if (czechFile)
            put(QStringLiteral("Cesky.lng"), "[Menu]\n1=Soubory\n");
        config(QStringLiteral("ClosePort=1\nTimeOutRS=20\nCOM=3\nLang=Gone.lng\n"));
        start();
        if (!czechFile) { // the menu offers "None", which changes nothing
            QCOMPARE(SettingsPrintout::withoutHotkey(form->languageEntries[0]->text()),
                     QStringLiteral("None"));
            form->languageEntries[0]->trigger();
        }
        QCOMPARE(form->LanguageFile, file(QStringLiteral("Cesky.lng")));
        QCOMPARE(form->FilePrefix, czechFile ? QStringLiteral("Soubory: ") : QStringLiteral("Soubor: "));
        QCOMPARE(form->PageControl1->tabText(0), QStringLiteral("Základní parametry"));
        // The error waits for the window to be on screen, as every start-up
        // message does.
        if (!czechFile)
            QTRY_COMPARE(shown.size(), 1);
        QCOMPARE(shown.size(), czechFile ? 0 : 1);
        if (!czechFile)
            QCOMPARE(shown[0].text, QStringLiteral("Language file error / chybí jazykový soubor"));
        QVERIFY(QFileInfo::exists(file(QStringLiteral("Config.ini"))));
        QCOMPARE(form->exchange().options().ClosePort, QStringLiteral("1"));
        closeProgram();
        const QString after = readConfig();
        QVERIFY2(after.contains(QStringLiteral("ClosePort=1\nTimeOutRS=20\nCOM=3\nLang=Cesky.lng\n")),
                 qPrintable(after));
        QCOMPARE(after.count(QStringLiteral("[Setup]")), 1);
    }

    // A language file or Config.ini far larger than any real one is not
    // read: the start says why, the built-in values stand, and the file is
    // left as it is.
    void oversizedFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("filePrefix");
        QTest::addColumn<int>("com");
        QTest::newRow("language file") << "Big.lng"
                                       << "Language file error: %1: larger than 256 KiB"
                                       << "Soubor: " << 3;
        QTest::newRow("Config.ini") << "Config.ini"
                                    << "%1: larger than 64 KiB"
                                    << "Cesky: " << 1;
    }
    void oversizedFiles()
    {
        QFETCH(QString, name);
        QFETCH(QString, message);
        QFETCH(QString, filePrefix);
        QFETCH(int, com);
        config(QStringLiteral("COM=3\nLang=Big.lng\n"));
        put(QStringLiteral("Cesky.lng"), "[Menu]\n1=Cesky\n");
        put(QStringLiteral("Big.lng"), "[Menu]\n1=Big\n");
        // Under the megabyte that any INI file may have.
        QByteArray big = name == QLatin1String("Config.ini") ? readConfig().toUtf8() : QByteArray("[Menu]\n1=Big\n");
        big += "[Filler]\n";
        for (int k = 0; big.size() < 1000 * 1000; ++k)
            big += QByteArray::number(k) + "=some text\n";
        put(name, big);
        start();
        QTRY_VERIFY(!shown.isEmpty());
        QCOMPARE(shown[0].text, message.arg(file(name)));
        QCOMPARE(form->FilePrefix, filePrefix);
        QCOMPARE(form->comNumber(), com);
        closeProgram();
        QFile after(file(name));
        QVERIFY(after.open(QIODevice::ReadOnly));
        QVERIFY(after.readAll() == big);
    }

    // The same texts in UTF-8 and in Windows-1250 show the same screens.
    void encodingsShowTheSameScreens()
    {
        QFile czech(shippedFolder + QStringLiteral("Cesky.lng"));
        QVERIFY(czech.open(QIODevice::ReadOnly));
        const QByteArray utf8 = czech.readAll();
        put(QStringLiteral("Utf.lng"), utf8);
        const QByteArray win = toCp1250(QString::fromUtf8(utf8));
        QVERIFY(!win.contains('\0'));
        put(QStringLiteral("Win.lng"), win);
        config(QStringLiteral("Lang=Win.lng\n"));
        start();
        choose(QStringLiteral("Utf.lng"));
        const QStringList texts = allTexts();
        const QImage screen = form->grab().toImage();
        QVERIFY(texts.contains(QStringLiteral("Ukázky tónů vrátného")));
        choose(QStringLiteral("Win.lng"));
        QCOMPARE(allTexts(), texts);
        QCOMPARE(form->grab().toImage(), screen);
    }

    void aboutPictureFromTheProgramFolder()
    {
        QImage picture(40, 20, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QVERIFY(picture.save(file(QStringLiteral("LOGO.BMP")), "BMP"));
        put(QStringLiteral("Logo.lng"), "[OTHER]\n30=LOGO.BMP\n");
        config(QStringLiteral("Lang=Logo.lng\n"));
        start();
        QCOMPARE(windows->Form2->Image1->pixmap().size(), QSize(40, 20));
    }
};

QTEST_MAIN(TestLanguageSwitch)
#include "tst_languageswitch.moc"
