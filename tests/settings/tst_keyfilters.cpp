#include "settings/KeyFilters.h"

#include <QtTest>

// Every typed character goes through these filters before the field sees it.
class KeyFiltersTest : public QObject
{
    Q_OBJECT
  private slots:
    void filters_data();
    void filters();
};

Q_DECLARE_METATYPE(KeyFilter)

void KeyFiltersTest::filters_data()
{
    QTest::addColumn<KeyFilter>("filter");
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("taken"); // what the field receives, in order

    const QString all = QStringLiteral("0123456789*#PFpfHhKkaD -.,+\t\r\x1b");
    QTest::newRow("digits") << KeyFilter::Digits << QChar(u',') << all << QStringLiteral("0123456789");
    QTest::newRow("digits 1-5") << KeyFilter::Digits1to5 << QChar(u',') << all << QStringLiteral("12345");
    QTest::newRow("digits 1-9") << KeyFilter::Digits1to9 << QChar(u',') << all << QStringLiteral("123456789");
    QTest::newRow("decimal, comma") << KeyFilter::Decimal << QChar(u',') << all
                                    << QStringLiteral("0123456789,");
    QTest::newRow("decimal, point") << KeyFilter::Decimal << QChar(u'.') << all
                                    << QStringLiteral("0123456789.");
    QTest::newRow("dial string") << KeyFilter::DialString << QChar(u',') << all
                                 << QStringLiteral("0123456789*#PFPF**##");
    QTest::newRow("dial h12k") << KeyFilter::DialString << QChar(u'.') << QStringLiteral("h12k")
                               << QStringLiteral("*12#");
    QTest::newRow("dial rejects") << KeyFilter::DialString << QChar(u'.') << QStringLiteral("a- D")
                                  << QString();
    QTest::newRow("dial non-latin") << KeyFilter::DialString << QChar(u'.') << QStringLiteral("ščř€")
                                    << QString();
    QTest::newRow("none") << KeyFilter::None << QChar(u',') << all + QChar(u'\b') << QString();

    // Backspace passes every filter that takes input at all.
    const QString bs(QChar(u'\b'));
    QTest::newRow("bs digits") << KeyFilter::Digits << QChar(u',') << bs << bs;
    QTest::newRow("bs 1-5") << KeyFilter::Digits1to5 << QChar(u',') << bs << bs;
    QTest::newRow("bs 1-9") << KeyFilter::Digits1to9 << QChar(u',') << bs << bs;
    QTest::newRow("bs decimal") << KeyFilter::Decimal << QChar(u',') << bs << bs;
    QTest::newRow("bs dial") << KeyFilter::DialString << QChar(u',') << bs << bs;
}

void KeyFiltersTest::filters()
{
    QFETCH(KeyFilter, filter);
    QFETCH(QChar, separator);
    QFETCH(QString, typed);
    QFETCH(QString, taken);

    QString field;
    for (QChar c : typed)
        if (const std::optional<QChar> got = KeyFilters::accept(filter, c, separator))
            field += *got;
    QCOMPARE(field, taken);
}

QTEST_APPLESS_MAIN(KeyFiltersTest)
#include "tst_keyfilters.moc"
