#include "lang/LanguageTexts.h"
#include "settings/FieldChecks.h"

#include <QtTest>

// The field checks under both decimal separators. In the tables "~" stands
// for the system decimal separator of the run.
class FieldChecksTest : public QObject
{
    Q_OBJECT
  private slots:
    void checks_data();
    void checks();
    void otherSeparatorReadBack_data();
    void otherSeparatorReadBack();
    void tableAssignsChecks();
};

namespace
{
const QChar separators[] = {QChar(u','), QChar(u'.')};

QString withSeparator(QString s, QChar sep)
{
    return s.replace(QLatin1Char('~'), sep);
}

struct Case {
    const char *key;
    const char *input;
    const char *expected;
    int message;
};

// Inputs that leave the text as it was expect the input itself.
const Case cases[] = {
    // Half minutes: one half, 1..9, 15, 30.
    {"MaSp", "0", "0~5", 0},
    {"MaSp", "00", "0~5", 0},
    {"MaSp", "1~5", "1", 0},
    {"MaSp", "2~7", "2", 0},
    {"MaSp", "9", "9", 0},
    {"MaSp", "10", "9", 0},
    {"MaSp", "12", "9", 0},
    {"MaSp", "13", "15", 0},
    {"MaSp", "22", "15", 0},
    {"MaSp", "23", "30", 0},
    {"MaSp", "100", "30", 0},
    {"MaSp", "", "0~5", 0},
    {"MaSp", "   ", "0~5", 0},
    {"MaSp", "~5", "0~5", 0},
    {"MaSp", "5~", "0~5", 0},
    {"MaSp", " 7 ", "7", 0},
    {"MaSp", "0~5", "0~5", 0},
    {"MaSp", "abc", "0~5", 0},   // pasted text: treated as empty
    {"MaSp", "1~2~3", "0~5", 0}, // two separators: not a number
    // Half seconds: one half and 1..9.
    {"TBtn", "0", "0~5", 0},
    {"TBtn", "", "0~5", 0},
    {"TBtn", "10", "9", 0},
    {"TBtn", "30", "9", 0},
    {"TBtn", "3~9", "3", 0},
    // DTMF tone and gap: 60..150 in tens, halves rounded up.
    {"TTon", "", "60", 0},
    {"TTon", "5", "60", 0},
    {"TTon", "155", "150", 0},
    {"TTon", "95", "100", 0},
    {"TTon", "64", "60", 0},
    {"TTon", "65", "70", 0},
    {"TTon", "105", "110", 0},
    {"TTon", "149", "150", 0},
    {"TTon", "x1", "60", 0},
    {"TSpc", "145", "150", 0},
    {"TSpc", "999", "150", 0},
    // Flash 100..600 and pause 500..1000 in hundreds.
    {"TFls", "", "100", 0},
    {"TFls", "250", "300", 0},
    {"TFls", "249", "200", 0},
    {"TFls", "999", "600", 0},
    {"TPas", "450", "500", 0},
    {"TPas", "850", "900", 0},
    {"TPas", "1000", "1000", 0},
    {"TPas", "1049", "1000", 0},
    {"TPas", "", "500", 0},
    // Confirmation wait 5..50 in fives; below 5 means the longest.
    {"TPtn", "3", "50", 0},
    {"TPtn", "27", "25", 0},
    {"TPtn", "9", "5", 0},
    {"TPtn", "99", "50", 0},
    {"TPtn", "50", "50", 0},
    {"TPtn", "", "25", 0},
    {"TPtn", "2~5", "25", 0}, // not an integer: treated as empty
    // Ring-back time 1..10, no rounding.
    {"TVtn", "0", "5", 0},
    {"TVtn", "", "5", 0},
    {"TVtn", "11", "10", 0},
    {"TVtn", "10", "10", 0},
    {"TVtn", "1", "1", 0},
    {"TVtn", "2~5", "2~5", 0},
    {"TVtn", "zz", "5", 0},
    // Empty gives a fixed digit, anything else stays.
    {"OpNo", "", "1", 0},
    {"CaPo", "", "1", 0},
    {"CaPo", "0", "0", 0},
    {"NoRi", " ", "1", 0},
    {"THng", "", "1", 0},
    {"TDia", "", "1", 0},
    {"TRep", "4", "4", 0},
    {"OpSe", "", "0", 0},
    {"OpSe", "7", "7", 0},
    // Code lengths, counted on the trimmed text; the text is never changed.
    {"HgUp", "", "", 0},
    {"HgUp", "4", "4", 12},
    {"HgUp", " 4 ", " 4 ", 12},
    {"HgUp", "44", "44", 0},
    {"SwSt", "", "", 0},
    {"SwSt", "6", "6", 12},
    {"SwSt", "66", "66", 0},
    {"PotZ", "", "", 13},
    {"PotZ", "  ", "  ", 13},
    {"PotZ", "5", "5", 11},
    {"PotZ", "55", "55", 0},
    {"PotZ", "123456", "123456", 0},
    {"Pasw", "", "", 14},
    {"Pasw", "739", "739", 14},
    {"Pasw", "7391", "7391", 0},
    // No check at all.
    {"SwTi", "", "", 0},
    {"SwTi", "xy", "xy", 0},
    {"M001", "h12k", "h12k", 0},
};
} // namespace

void FieldChecksTest::checks_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("message");

    for (QChar sep : separators)
        for (const Case &c : cases)
            QTest::addRow("%s '%s' sep %c", c.key, c.input, char(sep.unicode()))
                << QString::fromLatin1(c.key) << sep << withSeparator(QString::fromLatin1(c.input), sep)
                << withSeparator(QString::fromLatin1(c.expected), sep) << c.message;
}

void FieldChecksTest::checks()
{
    QFETCH(QString, key);
    QFETCH(QChar, separator);
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QFETCH(int, message);

    const Parameter *p = ParameterTable::byKey(key);
    QVERIFY(p);
    const FieldCheckResult r = FieldChecks::run(*p, input, separator);
    QCOMPARE(r.text, expected);
    // The message as the key of its MESSAGE text, 0 for none.
    QCOMPARE(r.message ? LanguageTexts::keyOf(*r.message).key : 0, message);
    QCOMPARE(r.failed(), message != 0);
}

// A value written under one separator and read back under the other is
// still understood as the number it was.
void FieldChecksTest::otherSeparatorReadBack_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("MaSp 1,5 under point") << "MaSp" << QChar(u'.') << "1,5"
                                          << "1";
    QTest::newRow("MaSp 0,5 under point") << "MaSp" << QChar(u'.') << "0,5"
                                          << "0.5";
    QTest::newRow("TBtn 0.5 under comma") << "TBtn" << QChar(u',') << "0.5"
                                          << "0,5";
    QTest::newRow("TBtn 4.5 under comma") << "TBtn" << QChar(u',') << "4.5"
                                          << "4";
    QTest::newRow("TVtn 3,5 under point") << "TVtn" << QChar(u'.') << "3,5"
                                          << "3,5";
}

void FieldChecksTest::otherSeparatorReadBack()
{
    QFETCH(QString, key);
    QFETCH(QChar, separator);
    QFETCH(QString, input);
    QFETCH(QString, expected);
    const FieldCheckResult r = FieldChecks::run(*ParameterTable::byKey(key), input, separator);
    QCOMPARE(r.text, expected);
    QVERIFY(!r.failed());
}

// The defaults of the table must pass their own checks unchanged, or a fresh
// program would correct or refuse its own start values.
void FieldChecksTest::tableAssignsChecks()
{
    for (const Parameter &p : ParameterTable::all()) {
        if (p.kind != ParamKind::Edit)
            continue;
        for (QChar sep : separators) {
            const QString def = QString::fromLatin1(p.defaultText);
            const FieldCheckResult r = FieldChecks::run(p, def, sep);
            QVERIFY2(!r.failed() && r.text == def, p.key);
        }
    }
}

QTEST_APPLESS_MAIN(FieldChecksTest)
#include "tst_fieldchecks.moc"
