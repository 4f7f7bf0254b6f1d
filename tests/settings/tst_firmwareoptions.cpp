#include "settings/FirmwareOptions.h"
#include "settings/MemoryRecord.h"

#include <QtTest>

// The tone boxes and the button polarity follow the communicator's firmware.
class FirmwareOptionsTest : public QObject
{
    Q_OBJECT
  private slots:
    void apply_data();
    void apply();
};

void FirmwareOptionsTest::apply_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("decides");
    QTest::addColumn<bool>("tone");
    QTest::addColumn<bool>("polarity");

    QTest::newRow("1.14") << "1.14" << true << false << false;
    QTest::newRow("1.15") << "1.15" << true << true << false;
    QTest::newRow("1.19") << "1.19" << true << true << false;
    QTest::newRow("1.20") << "1.20" << true << true << true;
    QTest::newRow("1.99") << "1.99" << true << true << true;
    QTest::newRow("2.00") << "2.00" << true << true << true;
    QTest::newRow("2.0 (byte 20)") << "2.0" << true << true << true;
    QTest::newRow("2.55") << "2.55" << true << true << true;
    QTest::newRow("3.50") << "3.50" << true << false << false;
    QTest::newRow("0.99") << "0.99" << true << false << false;
    QTest::newRow("empty") << "" << false << false << false;
    QTest::newRow("7.") << "7." << false << false << false;
    QTest::newRow("1.5 minor unreadable") << "1.5" << false << false << false;
    QTest::newRow("letter first") << "x.15" << false << false << false;
    QTest::newRow("letters last") << "1.ab" << false << false << false;
}

void FirmwareOptionsTest::apply()
{
    QFETCH(QString, version);
    QFETCH(bool, decides);
    QFETCH(bool, tone);
    QFETCH(bool, polarity);

    // Start opposite to the expectation so every change is visible: tone
    // boxes unchecked, reverse polarity selected.
    MemoryRecord r;
    r.setToneOptionsEnabled(!tone);
    r.setPolarityOptionsEnabled(!polarity);
    r.setStoredText("TONE", "0");
    r.setStoredText("PoBt", "0");

    FirmwareOptions::apply(version, r);

    if (!decides) {
        QVERIFY(!FirmwareOptions::offered(version));
        QCOMPARE(r.toneOptionsEnabled(), !tone);
        QCOMPARE(r.polarityOptionsEnabled(), !polarity);
        QCOMPARE(r.storedText("TONE"), QString("0"));
        QCOMPARE(r.storedText("PoBt"), QString("0"));
        return;
    }
    QCOMPARE(r.toneOptionsEnabled(), tone);
    QCOMPARE(r.polarityOptionsEnabled(), polarity);
    // Offered options keep the user's choice; the others are held fixed.
    QCOMPARE(r.storedText("TONE"), QString(tone ? "0" : "3"));
    QCOMPARE(r.storedText("PoBt"), QString(polarity ? "0" : "1"));
}

QTEST_APPLESS_MAIN(FirmwareOptionsTest)
#include "tst_firmwareoptions.moc"
