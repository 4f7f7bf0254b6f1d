#include "lang/LanguageTable.h"
#include "lang/LanguageTexts.h"

#include <QSet>
#include <QtTest>

class TestLanguageTexts : public QObject
{
    Q_OBJECT
  private slots:
    void cleanup() { LanguageTexts::resetToDefaults(); }

    void defaultsAndReplacement()
    {
        QCOMPARE(LanguageTexts::text("MESSAGE", 35), QStringLiteral("Chyba komunikace"));
        QCOMPARE(LanguageTexts::text("message", 35), QStringLiteral("Chyba komunikace"));
        QCOMPARE(LanguageTexts::text("Menu", 999), QStringLiteral("Tessaro"));
        QVERIFY(LanguageTexts::text("MESSAGE", 9999).isEmpty());
        LanguageTexts::setText("MESSAGE", 35, "Communication error");
        QCOMPARE(LanguageTexts::text("MESSAGE", 35), QStringLiteral("Communication error"));
        QCOMPARE(LanguageTexts::czechDefault("MESSAGE", 35), QStringLiteral("Chyba komunikace"));
        LanguageTexts::resetToDefaults();
        QCOMPARE(LanguageTexts::text("MESSAGE", 35), QStringLiteral("Chyba komunikace"));
    }

    // A name reads the entry of its section and key, as a language file sets it.
    void byName_data()
    {
        QTest::addColumn<Text>("name");
        QTest::addColumn<QString>("section");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("czech");
        QTest::newRow("Menu") << Text::HelpMenu << "Menu" << 41 << "Nápověda";
        QTest::newRow("TAB3") << Text::No << "TAB3" << 43 << "Ne";
        QTest::newRow("MESSAGE") << Text::CommunicationError << "MESSAGE" << 35 << "Chyba komunikace";
        QTest::newRow("OTHER, key 100") << Text::HistoryEmpty << "OTHER" << 100 << "Historie je zatím prázdná.";
    }

    void byName()
    {
        QFETCH(Text, name);
        QFETCH(QString, section);
        QFETCH(int, key);
        QFETCH(QString, czech);
        QCOMPARE(LanguageTexts::text(name), czech);
        LanguageTexts::setText(section, key, QStringLiteral("from the file"));
        QCOMPARE(LanguageTexts::text(name), QStringLiteral("from the file"));
    }

    void composedForms()
    {
        QHash<QString, QString> shown;
        for (const LanguageRow &row : LanguageTable::rows())
            if (row.use == TextUse::Caption)
                shown.insert(QLatin1String(row.window) + '.' + QLatin1String(row.control),
                             LanguageTexts::shownText(row));
        QCOMPARE(shown.value("TForm1.GroupBox13"), QStringLiteral(" Druh volby "));
        QCOMPARE(shown.value("TForm1.GroupBox10"), QStringLiteral("Polarita tlačítka pro nouzové volání"));
        QCOMPARE(shown.value("TForm1.ZARPvrtn1"), QStringLiteral(" KAVR - Vigilor "));
        QCOMPARE(shown.value("TForm1.Panel3"), QStringLiteral(" Výrobní číslo:"));
        QCOMPARE(shown.value("TForm1.Label11"), QStringLiteral("Pořadí 5"));
        QCOMPARE(shown.value("TForm1.Label10"), QStringLiteral("Pořadí 6"));
        QCOMPARE(shown.value("TForm2.Label9"),
                 QStringLiteral("Email: ") + LanguageTexts::text("MESSAGE", 18));
        QVERIFY(shown.value("TForm2.Label8").startsWith(QStringLiteral("Web:  ")));
        // The tone sample buttons are set twice; the later key decides.
        QCOMPARE(shown.value("TForm3.Button2"), QStringLiteral("Zavěšení linky"));
        QCOMPARE(shown.value("TForm1.Label158"),
                 QStringLiteral("Servisní heslo pro přístup do programování vrátného\nz telefonu :"));
    }

    void laterRowWinsForTheSameControl()
    {
        LanguageTexts::setText("OTHER", 16, "early");
        QString last;
        for (const LanguageRow &row : LanguageTable::rows())
            if (QLatin1String(row.window) == QLatin1String("TForm3") &&
                QLatin1String(row.control) == QLatin1String("Button2"))
                last = LanguageTexts::shownText(row);
        QCOMPARE(last, QStringLiteral("Zavěšení linky"));
    }

    void everyRowIsComplete()
    {
        QSet<QString> sections{"Menu", "TAB1", "TAB2", "TAB3", "TAB4", "MESSAGE", "OTHER", "HINT"};
        for (const LanguageRow &row : LanguageTable::rows()) {
            QVERIFY2(sections.contains(QLatin1String(row.section)), row.section);
            QVERIFY(row.key > 0);
            QVERIFY2(*row.czech, row.control);
            if (row.use != TextUse::Role)
                QVERIFY2(*row.control, row.czech);
        }
    }
};

QTEST_GUILESS_MAIN(TestLanguageTexts)
#include "tst_languagetexts.moc"
