// Reading language files: encodings, the rules of the keys, the language of
// Qt's own texts, and the files the program ships with.

#include "FileKinds.h"
#include "lang/LanguageTable.h"
#include "lang/LanguageTexts.h"
#include "platform/PrivateProfile.h"
#include "platform/TextEncoding.h"

#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QtTest>

namespace
{

// The same Czech sentence in UTF-8 and in Windows-1250.
const QString czech = QStringLiteral("Příliš žluťoučký kůň úpěl ďábelské ódy. ŘŠŽČ");
const QByteArray
    czech1250("P\xf8\xedli\x9a \x9elu\x9dou\xe8k\xfd k\xf9\xf2 \xfap\xecl \xef\xe1\x62\x65lsk\xe9 \xf3\x64y. "
              "\xd8\x8a\x8e\xc8");

const QString shippedFolder = QStringLiteral(TESSARO_FIXTURES "/../../assets/program/");

} // namespace

class TestLanguageFile : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString put(const QByteArray &bytes)
    {
        const QString path = dir.filePath(QStringLiteral("Test.lng"));
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(bytes);
        return path;
    }

  private slots:
    void cleanup() { LanguageTexts::resetToDefaults(); }

    // One file, one text read back: encodings and the rules of the keys.
    void textOfTheFile_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("section");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("expected");
        const QByteArray tab1("[TAB1]\n12="), bom("\xEF\xBB\xBF"), crlf("\r\n");
        const QByteArray utf8 = czech.toUtf8() + '\n';
        QTest::newRow("UTF-8") << tab1 + utf8 << "TAB1" << 12 << czech;
        QTest::newRow("UTF-8, byte order mark") << bom + tab1 + utf8 << "TAB1" << 12 << czech;
        QTest::newRow("Windows-1250, CR LF")
            << "[TAB1]" + crlf + "12=" + czech1250 + crlf << "TAB1" << 12 << czech;
        QTest::newRow("Windows-1250, byte order mark") << bom + tab1 + czech1250 + '\n'
                                                       << "TAB1" << 12 << czech;
        QTest::newRow("a key with a leading zero is another key")
            << QByteArray("[MESSAGE]\n035=Error\n") << "MESSAGE" << 35 << "Chyba komunikace";
        QTest::newRow("missing key: the built-in text")
            << QByteArray("[MESSAGE]\n36=Bad memory\n") << "MESSAGE" << 35 << "Chyba komunikace";
        QTest::newRow("a key that names no text is not taken")
            << QByteArray("[MESSAGE]\n9999=stray\n") << "MESSAGE" << 9999 << "";
        QTest::newRow("an empty value is a text") << QByteArray("[Menu]\n65=\n") << "Menu" << 65 << "";
        QTest::newRow("2047 characters at most") << QByteArray("[HINT]\n2=") + QByteArray(3000, 'x') + "\n"
                                                 << "HINT" << 2 << QString(2047, 'x');
    }
    void textOfTheFile()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, section);
        QFETCH(int, key);
        QFETCH(QString, expected);
        QVERIFY(LanguageTexts::loadFile(put(file)));
        QCOMPARE(LanguageTexts::text(section, key), expected);
    }

    // Every byte of the upper half against Qt's own converter, where Qt was
    // built with one for the code page.
    void codePageTable()
    {
        QStringDecoder reference("windows-1250");
        if (!reference.isValid())
            QSKIP("this Qt has no Windows-1250 converter to compare with");
        for (int b = 0x80; b <= 0xff; ++b) {
            const QByteArray one(1, char(b));
            const QString expected = reference.decode(one);
            const char16_t c = expected.size() == 1 ? expected.at(0).unicode() : 0;
            if (c == 0 || (c >= 0x80 && c < 0xa0))
                continue; // unassigned bytes: the converters differ by design
            QCOMPARE(TextEncoding::fromCp1250(one), expected);
        }
    }

    // A language file (or the link to one) is read; anything else under its
    // name is refused at once, with the reason, and the built-in texts stay.
    void fileKinds_data() { FileKinds::addRows(); }
    void fileKinds()
    {
        QFETCH(int, kind);
        const auto k = FileKinds::Kind(kind);
        const QString file = dir.filePath(QStringLiteral("Kind.lng"));
        MAKE_FILE_KIND(k, file, "[Menu]\n1=File\n");
        const Result<void> loaded = LanguageTexts::loadFile(file);
        QCOMPARE(loaded.ok(), FileKinds::isRegular(k));
        QCOMPARE(LanguageTexts::text(QStringLiteral("Menu"), 1),
                 loaded ? QStringLiteral("File") : QStringLiteral("Soubor"));
        if (!loaded) {
            QCOMPARE(loaded.failure().subject, file);
            QVERIFY2(loaded.failure().reason.endsWith(QLatin1String("not a regular file")),
                     qPrintable(loaded.failure().reason));
        }
        FileKinds::remove(file);
    }

    void standardTranslation_data()
    {
        QTest::addColumn<QByteArray>("file"); // null: no file loaded
        QTest::addColumn<QString>("locale");
        QTest::newRow("built-in texts are Czech") << QByteArray() << "cs";
        QTest::newRow("a file without the key: English") << QByteArray("[Menu]\n1=File\n") << "";
        QTest::newRow("named by the file") << QByteArray("[OTHER]\n90=de\n") << "de";
        QTest::newRow("not a locale name") << QByteArray("[OTHER]\n90=../../etc/x\n") << "";
    }
    void standardTranslation()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, locale);
        if (!file.isNull())
            QVERIFY(LanguageTexts::loadFile(put(file)));
        QCOMPARE(LanguageTexts::standardTranslation(), locale);
    }

    // The shipped files hold every text of the program, and name their help
    // file and the language of Qt's own texts.
    void shippedFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("help");
        QTest::newRow("Czech") << "Cesky.lng" << QStringLiteral("cs") << "Tessaro-CZ.html";
        QTest::newRow("English") << "English.lng" << QStringLiteral("en") << "Tessaro-EN.html";
        QTest::newRow("German") << "Deutsch.lng" << QStringLiteral("de") << "Tessaro-DE.html";
    }
    void shippedFiles()
    {
        QFETCH(QString, name);
        QFETCH(QString, locale);
        QFETCH(QString, help);
        QFile f(shippedFolder + name);
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(f.fileName()));
        const QByteArray bytes = f.readAll();
        QVERIFY(TextEncoding::isValidUtf8(bytes));
        const QString text = QString::fromUtf8(bytes);
        QStringList missing;
        for (const LanguageRow &row : LanguageTable::rows()) {
            bool found = false;
            for (const auto &[key, v] : PrivateProfile::readSectionOfText(text, QLatin1String(row.section)))
                found = found || (key == QString::number(row.key) && (!v.isEmpty() || !*row.czech));
            if (!found)
                missing << QLatin1String(row.section) + QLatin1Char('/') + QString::number(row.key);
        }
        missing.removeDuplicates();
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1Char(' '))));

        QVERIFY(LanguageTexts::loadFile(f.fileName()));
        QCOMPARE(LanguageTexts::standardTranslation(), locale);
        QCOMPARE(LanguageTexts::text("OTHER", 37), help);
        QCOMPARE(LanguageTexts::text("OTHER", 30), QStringLiteral("KAVROTECH.BMP"));
        QVERIFY(!text.contains(QLatin1String("ZARP"), Qt::CaseInsensitive));
    }
};

QTEST_GUILESS_MAIN(TestLanguageFile)
#include "tst_languagefile.moc"
