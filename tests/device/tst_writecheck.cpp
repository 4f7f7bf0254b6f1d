#include "device/WriteCheck.h"
#include "settings/MemoryRecord.h"

#include <QtTest>

namespace
{
// A default record with the counters a read leaves, then `changes`: pairs of
// key and text.
MemoryRecord recordWith(const QStringList &changes)
{
    MemoryRecord record;
    record.setDeviceValue(DeviceValue::SvHr, "53");
    record.setDeviceValue(DeviceValue::PwOn, "17");
    for (int i = 0; i + 1 < changes.size(); i += 2) {
        if (changes[i] == "PwOn" || changes[i] == "SvHr")
            record.setDeviceValue(changes[i] == "PwOn" ? DeviceValue::PwOn : DeviceValue::SvHr,
                                  changes[i + 1]);
        else
            record.setStoredText(changes[i], changes[i + 1]);
    }
    return record;
}
} // namespace

// What a write refuses before it sends anything: the field checks on the
// texts as they stand and the room each value has in the block.
class WriteCheckTest : public QObject
{
    Q_OBJECT
  private slots:
    void firstRefusal_data()
    {
        // The changes to a default record; the key refused first.
        QTest::addColumn<QStringList>("changes");
        QTest::addColumn<QString>("refused");

        QTest::newRow("defaults") << QStringList{} << "";
        QTest::newRow("tone 990 would go out as 30 ms") << QStringList{"TTon", "990"} << "TTon";
        QTest::newRow("tone 95 is corrected by its check") << QStringList{"TTon", "95"} << "TTon";
        QTest::newRow("300 repeats do not fit a byte") << QStringList{"OpNo", "300"} << "OpNo";
        QTest::newRow("hang-up code of one digit") << QStringList{"HgUp", "1"} << "HgUp";
        QTest::newRow("hang-up code cancelled") << QStringList{"HgUp", ""} << "";
        QTest::newRow("code with a blank") << QStringList{"SwSt", " 4"} << "SwSt";
        QTest::newRow("password of three") << QStringList{"Pasw", "739"} << "Pasw";
        QTest::newRow("confirmation code with a star") << QStringList{"PotZ", "123*"} << "";
        QTest::newRow("empty count gets 1 from its check") << QStringList{"NoRi", ""} << "NoRi";
        QTest::newRow("no switch time") << QStringList{"SwTi", ""} << "";
        QTest::newRow("switch time 256") << QStringList{"SwTi", "256"} << "SwTi";
        QTest::newRow("half value, point") << QStringList{"MaSp", "0.5"} << "";
        QTest::newRow("half value, comma") << QStringList{"TBtn", "0,5"} << "";
        QTest::newRow("call length 12") << QStringList{"MaSp", "12"} << "MaSp";
        QTest::newRow("ring-back 7.5") << QStringList{"TVtn", "7.5"} << "TVtn";
        QTest::newRow("number with a letter") << QStringList{"M001", "12a"} << "M001";
        QTest::newRow("number of 17") << QStringList{"M003", "12345678901234567"} << "M003";
        QTest::newRow("number read back with D") << QStringList{"M006", "PD0"} << "";
        QTest::newRow("power-on count 256") << QStringList{"PwOn", "256"} << "PwOn";
        QTest::newRow("hours 6143") << QStringList{"SvHr", "6143"} << "";
        QTest::newRow("hours 6144") << QStringList{"SvHr", "6144"} << "SvHr";
        QTest::newRow("block order, not file order") << QStringList{"OpNo", "300", "TTon", "990"} << "TTon";
        QTest::newRow("counters before numbers") << QStringList{"M007", "x", "PwOn", "x"} << "PwOn";
        // A value the window would show as its default is not sent as one.
        QTest::newRow("dialling mode 7") << QStringList{"Dial", "7"} << "Dial";
        QTest::newRow("tone sum 9") << QStringList{"TONE", "9"} << "TONE";
        QTest::newRow("confirm flag 2") << QStringList{"Chk8", "2"} << "Chk8";
        QTest::newRow("dialling mode 7, then pulse") << QStringList{"Dial", "7", "Dial", "0"} << "";
        QTest::newRow("option in block order") << QStringList{"CaPo", "300", "SeVo", "5"} << "SeVo";
    }
    void firstRefusal()
    {
        QFETCH(QStringList, changes);
        QFETCH(QString, refused);
        const MemoryRecord record = recordWith(changes);
        for (const QChar sep : {QChar(u','), QChar(u'.')}) {
            const std::optional<WriteCheck::Refusal> r = WriteCheck::firstRefusal(record, sep);
            QCOMPARE(r ? r->key : QString(), refused);
        }
    }

    void refusalNamesWhatTheFieldMayHold_data()
    {
        QTest::addColumn<QStringList>("changes");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("allowed");
        QTest::newRow("tone") << QStringList{"TTon", "990"} << "Edit152"
                              << "990"
                              << "Povolené hodnoty: 60 až 150 po 10";
        QTest::newRow("password") << QStringList{"Pasw", "12"} << "Edit144"
                                  << "12"
                                  << "Heslo musí obsahovat 4 číslice";
        QTest::newRow("call length") << QStringList{"MaSp", "12"} << "Edit145"
                                     << "12"
                                     << "Povolené hodnoty: 0,5; 1 až 9; 15; 30";
        QTest::newRow("dialling mode") << QStringList{"Dial", "7"} << "GroupBox13"
                                       << "7"
                                       << "Povolené hodnoty: 1, 0";
    }
    void refusalNamesWhatTheFieldMayHold()
    {
        QFETCH(QStringList, changes);
        QFETCH(QString, control);
        QFETCH(QString, text);
        QFETCH(QString, allowed);
        const std::optional<WriteCheck::Refusal> r = WriteCheck::firstRefusal(recordWith(changes), u',');
        QVERIFY(r);
        QCOMPARE(r->control, control);
        QCOMPARE(r->text, text);
        QCOMPARE(r->allowed, allowed);
    }
};

QTEST_MAIN(WriteCheckTest)
#include "tst_writecheck.moc"
