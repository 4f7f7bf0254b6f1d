#include "device/DeviceCodec.h"
#include "settings/MemoryRecord.h"

#include <QtTest>

using namespace DeviceCodec;

namespace
{
QByteArray hex(const char *h)
{
    return QByteArray::fromHex(h);
}

// A record whose option groups can have no button selected, as the controls
// can: storedText of a cleared key is empty.
class ClearableRecord : public MemoryRecord
{
  public:
    QSet<QString> cleared;
    QString storedText(const QString &key) const override
    {
        return cleared.contains(key) ? QString() : MemoryRecord::storedText(key);
    }
};

// Every stored text and both counters the block carries.
void compareRecords(const SettingsRecord &a, const SettingsRecord &b)
{
    for (const Parameter &p : ParameterTable::all())
        QVERIFY2(
            a.storedText(p.key) == b.storedText(p.key),
            qPrintable(
                QStringLiteral("%1: '%2' vs '%3'").arg(p.key, a.storedText(p.key), b.storedText(p.key))));
    QCOMPARE(a.deviceValue(DeviceValue::PwOn), b.deviceValue(DeviceValue::PwOn));
    QCOMPARE(a.deviceValue(DeviceValue::SvHr), b.deviceValue(DeviceValue::SvHr));
}
} // namespace

class CodecTest : public QObject
{
    Q_OBJECT
  private slots:
    void digitCodes_data();
    void digitCodes();
    void packedNumbers_data();
    void packedNumbers();
    void codeFields_data();
    void codeFields();
    void halfCodes_data();
    void halfCodes();
    void blockBytes_data();
    void blockBytes();
    void decodedFields_data();
    void decodedFields();
    void wrongMarkerStillDecodes();
    void shortBlockLeavesTheRest();
    void roundTrip_data();
    void roundTrip();
    void bufferKeepsEntriesWithoutValue();
    void statusAnswer_data();
    void statusAnswer();
};

void CodecTest::digitCodes_data()
{
    QTest::addColumn<QString>("character");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("readBack");
    const char *table[][3] = {{"1", "1", "1"},  {"5", "5", "5"},  {"9", "9", "9"},  {"0", "10", "0"},
                              {"*", "11", "*"}, {"#", "12", "#"}, {"P", "13", "P"}, {"F", "14", "F"},
                              {"D", "0", "D"},  {"p", "15", ""},  {"x", "15", ""},  {" ", "15", ""}};
    for (auto &row : table)
        QTest::newRow(row[0]) << QString::fromLatin1(row[0]) << QByteArray(row[1]).toInt()
                              << QString::fromLatin1(row[2]);
}

void CodecTest::digitCodes()
{
    QFETCH(QString, character);
    QFETCH(int, code);
    QFETCH(QString, readBack);
    QCOMPARE(digitCode(character[0]), code);
    QCOMPARE(digitText(code), readBack);
}

void CodecTest::packedNumbers_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("readBack");

    QTest::newRow("0602") << "0602" << hex("6a2affffffffffff") << "0602";
    QTest::newRow("empty") << "" << hex("ffffffffffffffff") << "";
    QTest::newRow("blanks trimmed") << " 12 " << hex("21ffffffffffffff") << "12";
    QTest::newRow("odd length") << "123" << hex("21f3ffffffffffff") << "123";
    QTest::newRow("16 characters") << "1234567890*#PFD0" << hex("21436587a9cbeda0") << "1234567890*#PFD0";
    QTest::newRow("17th dropped") << "12345678901234567" << hex("21436587a9214365") << "1234567890123456";
    // A character outside the table is the end code: the number ends there.
    QTest::newRow("foreign char") << "12x4" << hex("214fffffffffffff") << "12";
}

void CodecTest::packedNumbers()
{
    QFETCH(QString, number);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, readBack);
    QCOMPARE(packNumber(number).toHex(), bytes.toHex());
    QCOMPARE(unpackNumber(bytes), readBack);
}

void CodecTest::codeFields_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("code");

    // Packed numbers stop at the first end half byte ...
    QTest::newRow("packed 21 3F 54") << hex("213f54") << "12";
    QTest::newRow("packed 21 F3") << hex("21f3") << "123";
    // ... code fields skip bytes without a character and read on.
    QTest::newRow("code end in middle") << hex("01ff02") << "12";
    QTest::newRow("code 16 and 17..254") << hex("051011fe0a") << "50";
    QTest::newRow("code D") << hex("000a") << "D0";
}

void CodecTest::codeFields()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, code);
    const bool packed = QString(QTest::currentDataTag()).startsWith("packed");
    QCOMPARE(packed ? unpackNumber(bytes) : decodeCode(bytes), code);
}

void CodecTest::halfCodes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("minutesBack"); // "-": field left as it was
    QTest::addColumn<QString>("secondsBack");

    QTest::newRow("1") << "1" << 1 << "1"
                       << "1";
    QTest::newRow("9") << "9" << 9 << "9"
                       << "9";
    QTest::newRow("half comma") << "0,5" << 10 << "0~5"
                                << "0~5";
    QTest::newRow("half point") << "0.5" << 10 << "0~5"
                                << "0~5";
    QTest::newRow("15") << "15" << 11 << "15"
                        << "0~5";
    QTest::newRow("30") << "30" << 12 << "30"
                        << "0~5";
    QTest::newRow("other") << "12" << 1 << "1"
                           << "1";
    QTest::newRow("empty") << "" << 1 << "1"
                           << "1";
}

void CodecTest::halfCodes()
{
    QFETCH(QString, text);
    QFETCH(int, code);
    QFETCH(QString, minutesBack);
    QFETCH(QString, secondsBack);
    QCOMPARE(halfCode(text), code);
    for (QChar sep : {QChar(u','), QChar(u'.')}) {
        QCOMPARE(halfMinutesText(code, sep).value_or("-"), QString(minutesBack).replace('~', sep));
        QCOMPARE(halfSecondsText(code, sep), QString(secondsBack).replace('~', sep));
    }
    // Codes the encoder never writes.
    QCOMPARE(halfMinutesText(0, '.').value_or("-"), QString("0.5"));
    QVERIFY(!halfMinutesText(13, '.'));
    QVERIFY(!halfMinutesText(255, '.'));
    QCOMPARE(halfSecondsText(0, ','), QString("0,5"));
    QCOMPARE(halfSecondsText(11, ','), QString("0,5"));
    QCOMPARE(halfSecondsText(255, ','), QString("0,5"));
}

// Bytes of the block for chosen record values (position 1-based).
void CodecTest::blockBytes_data()
{
    QTest::addColumn<QStringList>("settings"); // key=value pairs; "PwOn"/"SvHr" are counters
    QTest::addColumn<int>("position");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("TTon 150 TSpc 60") << QStringList{"TTon=150", "TSpc=60"} << 8 << hex("f6");
    QTest::newRow("TFls 600 TPas 1000") << QStringList{"TFls=600", "TPas=1000"} << 9 << hex("6a");
    QTest::newRow("TTon 100 TSpc 100") << QStringList{"TTon=100", "TSpc=100"} << 8 << hex("aa");
    QTest::newRow("TFls 100 TPas 800") << QStringList{"TFls=100", "TPas=800"} << 9 << hex("18");
    QTest::newRow("hours 100") << QStringList{"SvHr=100"} << 46 << hex("0404");
    QTest::newRow("power-on 255") << QStringList{"PwOn=255"} << 48 << hex("ff");
    QTest::newRow("tone dialling") << QStringList{"Dial=1"} << 25 << hex("00");
    QTest::newRow("pulse dialling") << QStringList{"Dial=0"} << 25 << hex("01");
    QTest::newRow("end sign #") << QStringList{"EndS=#"} << 26 << hex("0c");
    QTest::newRow("Chk7 is bit 7") << QStringList{"Chk7=1"} << 45 << hex("80");
    QTest::newRow("Chk8 is bit 6") << QStringList{"Chk8=1"} << 45 << hex("40");
    QTest::newRow("Chk1 Chk6") << QStringList{"Chk1=1", "Chk6=1"} << 45 << hex("21");
    QTest::newRow("TONE 2") << QStringList{"TONE=2"} << 32 << hex("02");
    QTest::newRow("PoBt reverse") << QStringList{"PoBt=0"} << 31 << hex("00");
    QTest::newRow("SeVo 2") << QStringList{"SeVo=2"} << 33 << hex("02");
    QTest::newRow("PotZ 55") << QStringList{"PotZ=55"} << 11 << hex("0505ffffffff");
    QTest::newRow("Pasw 7391") << QStringList{"Pasw=7391"} << 21 << hex("07030901");
    QTest::newRow("HgUp empty") << QStringList{"HgUp="} << 17 << hex("ffff");
    QTest::newRow("SwSt 0D") << QStringList{"SwSt=0D"} << 27 << hex("0a00");
    QTest::newRow("SwTi empty is 0") << QStringList{"SwTi="} << 29 << hex("00");
    QTest::newRow("MaSp half") << QStringList{"MaSp=0,5"} << 3 << hex("0a");
    QTest::newRow("TBtn 30 is other") << QStringList{"TBtn=30"} << 4 << hex("0c");
    QTest::newRow("M007 first") << QStringList{"M007=0602"} << 49 << hex("6a2affffffffffff");
    QTest::newRow("M008") << QStringList{"M008=1"} << 65 << hex("f1ffffffffffffff");
    QTest::newRow("M001") << QStringList{"M001=12"} << 81 << hex("21ffffffffffffff");
    QTest::newRow("M006 last") << QStringList{"M006=9"} << 121 << hex("f9ffffffffffffff");
    QTest::newRow("reserved 10") << QStringList{} << 10 << hex("ff");
    QTest::newRow("reserved 30") << QStringList{} << 30 << hex("ff");
    QTest::newRow("reserved 41-44") << QStringList{} << 41 << hex("ffffffff");
    QTest::newRow("reserved 57-64") << QStringList{"M007=1234567890123456"} << 57 << hex("ffffffffffffffff");
    QTest::newRow("reserved 73-80") << QStringList{"M008=1234567890123456"} << 73 << hex("ffffffffffffffff");
    QTest::newRow("marker") << QStringList{} << 1 << hex("55");
}

void CodecTest::blockBytes()
{
    QFETCH(QStringList, settings);
    QFETCH(int, position);
    QFETCH(QByteArray, bytes);

    MemoryRecord r;
    for (const QString &s : settings) {
        const QString key = s.section('=', 0, 0), value = s.section('=', 1);
        if (key == "PwOn")
            r.setDeviceValue(DeviceValue::PwOn, value);
        else if (key == "SvHr")
            r.setDeviceValue(DeviceValue::SvHr, value);
        else
            r.setStoredText(key, value);
    }
    const QByteArray block = buildBlock(r);
    QCOMPARE(block.size(), BlockSize);
    QCOMPARE(block.mid(position - 1, bytes.size()).toHex(), bytes.toHex());
}

// Single bytes placed into a block and what the record then holds.
void CodecTest::decodedFields_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected"); // key=value

    QTest::newRow("F6") << 8 << hex("f6") << QStringList{"TTon=150", "TSpc=60"};
    QTest::newRow("6A") << 9 << hex("6a") << QStringList{"TFls=600", "TPas=1000"};
    QTest::newRow("hours 4 4") << 46 << hex("0404") << QStringList{"SvHr=100"};
    QTest::newRow("power-on 255") << 48 << hex("ff") << QStringList{"PwOn=255"};
    QTest::newRow("MaSp 10") << 3 << hex("0a") << QStringList{"MaSp=0.5"};
    QTest::newRow("MaSp 0") << 3 << hex("00") << QStringList{"MaSp=0.5"};
    QTest::newRow("MaSp 11") << 3 << hex("0b") << QStringList{"MaSp=15"};
    QTest::newRow("MaSp 13 keeps") << 3 << hex("0d") << QStringList{"MaSp=7"};
    QTest::newRow("TBtn 11") << 4 << hex("0b") << QStringList{"TBtn=0.5"};
    QTest::newRow("TBtn 12") << 4 << hex("0c") << QStringList{"TBtn=0.5"};
    QTest::newRow("Dial 0 tone") << 25 << hex("00") << QStringList{"Dial=1"};
    QTest::newRow("Dial 1 pulse") << 25 << hex("01") << QStringList{"Dial=0"};
    QTest::newRow("Dial 2 keeps") << 25 << hex("02") << QStringList{"Dial=0"};
    QTest::newRow("EndS 12") << 26 << hex("0c") << QStringList{"EndS=#"};
    QTest::newRow("EndS 13 keeps") << 26 << hex("0d") << QStringList{"EndS=*"};
    QTest::newRow("TONE 1") << 32 << hex("01") << QStringList{"TONE=1"};
    QTest::newRow("TONE 4 keeps") << 32 << hex("04") << QStringList{"TONE=0"};
    QTest::newRow("SeVo 7 keeps") << 33 << hex("07") << QStringList{"SeVo=1"};
    QTest::newRow("flags 80") << 45 << hex("80") << QStringList{"Chk7=1", "Chk8=0", "Chk1=0", "Chk6=0"};
    QTest::newRow("flags 41") << 45 << hex("41") << QStringList{"Chk1=1", "Chk8=1", "Chk7=0"};
    QTest::newRow("code skips end") << 11 << hex("01ff02ffffff") << QStringList{"PotZ=12"};
    QTest::newRow("plain NoRi") << 2 << hex("07") << QStringList{"NoRi=7"};
    QTest::newRow("plain 200") << 40 << hex("c8") << QStringList{"CaPo=200"};
}

void CodecTest::decodedFields()
{
    QFETCH(int, position);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);

    // Start from values the decoded bytes would not give by chance.
    MemoryRecord r;
    r.setStoredText("MaSp", "7");
    r.setStoredText("Dial", "0");
    r.setStoredText("TONE", "0");
    r.setStoredText("SeVo", "1");
    r.setStoredText("Chk1", "1");
    r.setStoredText("Chk6", "1");
    QByteArray block = buildBlock(r);
    block.replace(position - 1, bytes.size(), bytes);

    QVERIFY(decodeBlock(block, r, '.'));
    for (const QString &e : expected) {
        const QString key = e.section('=', 0, 0), value = e.section('=', 1);
        if (key == "PwOn")
            QCOMPARE(r.deviceValue(DeviceValue::PwOn), value);
        else if (key == "SvHr")
            QCOMPARE(r.deviceValue(DeviceValue::SvHr), value);
        else
            QCOMPARE(r.storedText(key), value);
    }
}

void CodecTest::wrongMarkerStillDecodes()
{
    MemoryRecord source;
    source.setStoredText("M001", "0602");
    source.setStoredText("NoRi", "4");
    QByteArray block = buildBlock(source);
    block[0] = 'X';

    MemoryRecord r;
    QVERIFY(!decodeBlock(block, r, ','));
    QCOMPARE(r.storedText("M001"), QString("0602"));
    QCOMPARE(r.storedText("NoRi"), QString("4"));
}

void CodecTest::shortBlockLeavesTheRest()
{
    MemoryRecord source;
    source.setStoredText("NoRi", "4");
    source.setStoredText("M006", "99");
    const QByteArray block = buildBlock(source);

    MemoryRecord r;
    r.setStoredText("M006", "123");
    QVERIFY(decodeBlock(block.left(20), r, ','));
    QCOMPARE(r.storedText("NoRi"), QString("4"));
    QCOMPARE(r.storedText("M006"), QString("123"));
    QVERIFY(!decodeBlock(QByteArray(), r, ','));
    QCOMPARE(r.storedText("NoRi"), QString("4"));
}

void CodecTest::roundTrip_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QStringList>("settings");

    const QStringList varied{"Dial=0",
                             "EndS=#",
                             "HgUp=12",
                             "SwSt=0D",
                             "SwTi=",
                             "Pasw=0000",
                             "PotZ=123456",
                             "BlPo=1",
                             "InPo=1",
                             "SeVo=2",
                             "OpNo=5",
                             "CaPo=0",
                             "OpSe=9",
                             "MaSp=30",
                             "NoRi=9",
                             "TBtn=0~5",
                             "THng=5",
                             "TDia=3",
                             "TRep=9",
                             "TTon=60",
                             "TSpc=150",
                             "TFls=600",
                             "TPas=500",
                             "TVtn=10",
                             "TPtn=50",
                             "M001=1234567890*#PFD0",
                             "M002=0",
                             "M003=D",
                             "M004=",
                             "M005=P0F",
                             "M006=*#",
                             "M007=0602",
                             "M008=9999999999999999",
                             "Chk1=1",
                             "Chk2=0",
                             "Chk3=1",
                             "Chk4=0",
                             "Chk5=1",
                             "Chk6=0",
                             "Chk7=1",
                             "Chk8=0",
                             "Nou1=1",
                             "Nou2=0",
                             "TONE=2",
                             "PoBt=0",
                             "PwOn=255",
                             "SvHr=6143"};
    const QStringList other{"MaSp=0~5", "TBtn=9", "Chk7=0", "Chk8=1",
                            "TONE=1",   "SwTi=0", "M001=",  "M002=0000000000000000",
                            "SvHr=0",   "PwOn=0"};
    for (QChar sep : {QChar(u','), QChar(u'.')}) {
        QTest::addRow("defaults %c", char(sep.unicode())) << sep << QStringList{};
        QTest::addRow("varied %c", char(sep.unicode())) << sep << varied;
        QTest::addRow("other %c", char(sep.unicode())) << sep << other;
    }
}

void CodecTest::roundTrip()
{
    QFETCH(QChar, separator);
    QFETCH(QStringList, settings);

    MemoryRecord source;
    for (QString s : settings) {
        s.replace('~', separator);
        const QString key = s.section('=', 0, 0), value = s.section('=', 1);
        if (key == "PwOn")
            source.setDeviceValue(DeviceValue::PwOn, value);
        else if (key == "SvHr")
            source.setDeviceValue(DeviceValue::SvHr, value);
        else
            source.setStoredText(key, value);
    }
    // An empty switch time goes to the device as 0 and comes back so.
    const bool emptySwitchTime = source.storedText("SwTi").isEmpty();

    // Decode into a record whose every value differs from the source's.
    MemoryRecord target;
    for (const Parameter &p : ParameterTable::all())
        if (p.kind == ParamKind::Edit)
            target.setStoredText(p.key, "7");
    target.setDeviceValue(DeviceValue::PwOn, "1");
    target.setDeviceValue(DeviceValue::SvHr, "1");

    QVERIFY(decodeBlock(buildBlock(source), target, separator));
    if (emptySwitchTime) {
        QCOMPARE(target.storedText("SwTi"), QString("0"));
        target.setStoredText("SwTi", "");
    }
    compareRecords(source, target);
}

void CodecTest::bufferKeepsEntriesWithoutValue()
{
    ClearableRecord r;
    r.cleared = {"Dial", "EndS", "SeVo", "PoBt", "BlPo", "InPo", "TONE"};
    r.setStoredText("NoRi", "x"); // not a number: keeps its entry too

    WriteBuffer buffer;
    buffer.fill(77);
    buildWriteBuffer(r, buffer);
    for (int entry : {24, 25, 32, 30, 36, 35, 31, 1})
        QVERIFY2(buffer[entry] == 77, qPrintable(QString::number(entry)));
    QCOMPARE(buffer[0], 77);  // the marker slot is not the buffer's
    QCOMPARE(buffer[4], 2);   // THng default
    QCOMPARE(buffer[9], 255); // reserved
    QCOMPARE(buffer[10], 5);  // PotZ "55"

    // The same record with a selection gives the values.
    r.cleared.clear();
    buildWriteBuffer(r, buffer);
    QCOMPARE(buffer[24], 0);
    QCOMPARE(buffer[25], 11);
}

void CodecTest::statusAnswer_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("forWrite");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<QStringList>("record"); // firmware, PwOn, SerN, SvHr
    QTest::addColumn<QStringList>("counters");

    // What the record and the counters held before the answer.
    const QStringList before{"9.9", "1", "4321", "2"};
    const QStringList noCounters{"-", "-"};
    const QByteArray full =
        QByteArray("V") + char(23) + "U" + char(7) + "N" + char(1) + char(2) + "S" + char(5) + char(1);
    QTest::newRow("23/7/1,2/5,1") << full << false << true << QStringList{"2.3", "7", "258", "29"}
                                  << noCounters;
    QTest::newRow("for a write") << full << true << true << QStringList{"2.3", "1", "258", "2"}
                                 << QStringList{"7", "29"};
    QTest::newRow("longer answer") << full + "xyz" << false << true << QStringList{"2.3", "7", "258", "29"}
                                   << noCounters;
    QByteArray v115 = full;
    v115[1] = char(115);
    QTest::newRow("1.15") << v115 << false << true << QStringList{"1.15", "7", "258", "29"} << noCounters;
    QByteArray v7 = full;
    v7[1] = char(7);
    QTest::newRow("7.") << v7 << false << true << QStringList{"7.", "7", "258", "29"} << noCounters;

    // A garbled answer changes nothing, however much of it is right.
    QByteArray noLetters = full;
    noLetters[0] = 'x';
    noLetters[2] = 'x';
    noLetters[4] = 'x';
    noLetters[7] = 'x';
    QTest::newRow("letters missing") << noLetters << false << false << before << noCounters;
    for (const int letter : {0, 2, 4, 7}) {
        QByteArray one = full;
        one[letter] = 'x';
        QTest::addRow("letter %d missing", letter + 1) << one << false << false << before << noCounters;
        QTest::addRow("letter %d missing, for a write", letter + 1)
            << one << true << false << before << noCounters;
    }
    QTest::newRow("letters one place late")
        << QByteArray(" ") + full.left(9) << false << false << before << noCounters;
    QTest::newRow("short") << full.left(5) << false << false << before << noCounters;
    QTest::newRow("nine bytes") << full.left(9) << true << false << before << noCounters;
    QTest::newRow("empty") << QByteArray() << true << false << before << noCounters;
}

void CodecTest::statusAnswer()
{
    QFETCH(QByteArray, answer);
    QFETCH(bool, forWrite);
    QFETCH(bool, taken);
    QFETCH(QStringList, record);
    QFETCH(QStringList, counters);

    MemoryRecord r;
    r.setDeviceValue(DeviceValue::FirmwareVersion, "9.9");
    r.setDeviceValue(DeviceValue::PwOn, "1");
    r.setDeviceValue(DeviceValue::SerN, "4321");
    r.setDeviceValue(DeviceValue::SvHr, "2");
    DeviceCounters c{"-", "-"};
    QCOMPARE(decodeStatus(answer, r, forWrite ? &c : nullptr), taken);
    QCOMPARE(r.deviceValue(DeviceValue::FirmwareVersion), record[0]);
    QCOMPARE(r.deviceValue(DeviceValue::PwOn), record[1]);
    QCOMPARE(r.deviceValue(DeviceValue::SerN), record[2]);
    QCOMPARE(r.deviceValue(DeviceValue::SvHr), record[3]);
    QCOMPARE(c.powerOnCount, counters[0]);
    QCOMPARE(c.serviceHours, counters[1]);
}

QTEST_APPLESS_MAIN(CodecTest)
#include "tst_codec.moc"
