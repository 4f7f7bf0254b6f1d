#include "sim/KavrDeviceModel.h"
#include "sim_helper.h"

#include <QtTest>

namespace
{

// A factory-fresh device's block: the program's defaults as the codec places them.
QByteArray factoryBlock()
{
    const std::array<std::uint8_t, 128> b = KavrDeviceModel::factoryBlock();
    return QByteArray(reinterpret_cast<const char *>(b.data()), qsizetype(b.size()));
}

QByteArray feedAll(KavrDeviceModel &m, const QByteArray &in)
{
    QByteArray out;
    for (char c : in)
        out += m.feed(std::uint8_t(c));
    return out;
}

// A block to write: every position holds a distinct value, some of them the
// command letters, which inside a block are plain data. Positions 46-48 give
// 2 days 5 hours and power-on count 9.
QByteArray sampleWriteBlock()
{
    QByteArray b(128, '\0');
    for (int i = 0; i < 128; ++i)
        b[i] = char((i * 7 + 3) & 0xFF);
    b[0] = 0x55;
    b[1] = 'V';
    b[2] = 'R';
    b[3] = 'P';
    b[4] = 'W';
    b[45] = 5;
    b[46] = 2;
    b[47] = 9;
    return b;
}

} // namespace

class TestKavrDeviceModel : public QObject
{
    Q_OBJECT
  private slots:
    void statusAnswer_data();
    void statusAnswer();
    void factoryBlockIsRead();
    void readBlockCarriesCurrentCounters();
    void commandSequences_data();
    void commandSequences();
    void writeIsHandshakedAndHeld();
    void abandonedWriteStoresNothing();
    void faults_data();
    void faults();
    void corruptedCellReadsBackChanged();
    void noiseIsMixedIntoAnswers();
};

void TestKavrDeviceModel::statusAnswer_data()
{
    QTest::addColumn<int>("firmware");
    QTest::addColumn<int>("serial");
    QTest::addColumn<int>("powerOn");
    QTest::addColumn<int>("hours");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("2.3, serial 258, 29 h")
        << 23 << 258 << 7 << 29 << hexBytes("56 17 55 07 4E 01 02 53 05 01");
    QTest::newRow("factory") << 120 << 1001 << 0 << 72 << hexBytes("56 78 55 00 4E 03 E9 53 00 03");
    QTest::newRow("all zero") << 0 << 0 << 0 << 0 << hexBytes("56 00 55 00 4E 00 00 53 00 00");
    QTest::newRow("largest") << 255 << 65535 << 255 << 6143 << hexBytes("56 FF 55 FF 4E FF FF 53 17 FF");
    QTest::newRow("hours beyond range held at largest")
        << 1 << 1 << 1 << 99999 << hexBytes("56 01 55 01 4E 00 01 53 17 FF");
}

void TestKavrDeviceModel::statusAnswer()
{
    QFETCH(int, firmware);
    QFETCH(int, serial);
    QFETCH(int, powerOn);
    QFETCH(int, hours);
    QFETCH(QByteArray, expected);
    KavrDeviceState s = KavrDeviceModel::initialState();
    s.firmware = std::uint8_t(firmware);
    s.serialNumber = std::uint16_t(serial);
    s.powerOnCount = std::uint8_t(powerOn);
    s.serviceHours = hours;
    KavrDeviceModel m(s);
    QCOMPARE(feedAll(m, "V"), expected);
}

void TestKavrDeviceModel::factoryBlockIsRead()
{
    KavrDeviceModel m;
    const QByteArray expected = factoryBlock();
    QCOMPARE(expected.size(), 128);
    QCOMPARE(feedAll(m, "R"), QByteArray());
    QCOMPARE(feedAll(m, "P"), expected);
}

void TestKavrDeviceModel::readBlockCarriesCurrentCounters()
{
    KavrDeviceState s = KavrDeviceModel::initialState();
    s.serviceHours = 100;
    s.powerOnCount = 255;
    KavrDeviceModel m(s);
    QByteArray expected = factoryBlock();
    expected[45] = 4; // 100 h: 4 days and 4 hours
    expected[46] = 4;
    expected[47] = char(255);
    QCOMPARE(feedAll(m, "RP"), expected);
}

void TestKavrDeviceModel::commandSequences_data()
{
    const QByteArray status = hexBytes("56 78 55 00 4E 03 E9 53 00 03");
    const QByteArray block = factoryBlock();
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("unknown bytes ignored") << QByteArray("XYZDU\x00\xFF", 7) << QByteArray();
    QTest::newRow("P alone ignored") << QByteArray("P") << QByteArray();
    QTest::newRow("two queries, two answers") << QByteArray("VV") << status + status;
    QTest::newRow("R then V: read dropped, V answered") << QByteArray("RV") << status;
    QTest::newRow("R then junk then P: nothing") << QByteArray("RxP") << QByteArray();
    QTest::newRow("R R P reads once") << QByteArray("RRP") << block;
    QTest::newRow("W then V: write dropped") << QByteArray("WV") << status;
    QTest::newRow("read twice") << QByteArray("RPRP") << block + block;
    QTest::newRow("lower case is not a command") << QByteArray("vrp") << QByteArray();
}

void TestKavrDeviceModel::commandSequences()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    KavrDeviceModel m;
    QCOMPARE(feedAll(m, input), expected);
    QVERIFY(!m.midCommand() || input.endsWith('R') || input.endsWith('W'));
}

void TestKavrDeviceModel::writeIsHandshakedAndHeld()
{
    KavrDeviceModel m;
    const QByteArray block = sampleWriteBlock();
    QCOMPARE(feedAll(m, "WP"), QByteArray());
    QVERIFY(m.midCommand());
    for (int i = 0; i < 127; ++i) {
        QCOMPARE(m.feed(std::uint8_t(block[i])), QByteArray("D"));
        QCOMPARE(m.writesCompleted(), 0);
    }
    QCOMPARE(m.feed(std::uint8_t(block[127])), QByteArray("Z"));
    QCOMPARE(m.writesCompleted(), 1);
    QVERIFY(!m.midCommand());
    QCOMPARE(m.lastWrittenBlock(), block);
    QCOMPARE(m.state().serviceHours, 53);
    QCOMPARE(int(m.state().powerOnCount), 9);
    // The device now reads back what was written and reports the new counters.
    QCOMPARE(feedAll(m, "RP"), block);
    QCOMPARE(feedAll(m, "V"), hexBytes("56 78 55 09 4E 03 E9 53 05 02"));
}

void TestKavrDeviceModel::abandonedWriteStoresNothing()
{
    KavrDeviceModel m;
    feedAll(m, "WP");
    feedAll(m, sampleWriteBlock().left(10));
    QCOMPARE(m.writeProgress(), 10);
    m.abandonCommand();
    QCOMPARE(m.writeProgress(), 0);
    QCOMPARE(feedAll(m, "V"), hexBytes("56 78 55 00 4E 03 E9 53 00 03"));
    QCOMPARE(m.writesCompleted(), 0);
    QCOMPARE(feedAll(m, "RP"), factoryBlock());
}

void TestKavrDeviceModel::faults_data()
{
    const QByteArray status = hexBytes("56 78 55 00 4E 03 E9 53 00 03");
    const QByteArray block = factoryBlock();
    const QByteArray write = QByteArray("WP") + sampleWriteBlock();
    QByteArray wrongMarked = block;
    wrongMarked[0] = char(0xAA);

    QTest::addColumn<bool>("silent");
    QTest::addColumn<int>("cutAfter");
    QTest::addColumn<bool>("wrongMarker");
    QTest::addColumn<bool>("noZ");
    QTest::addColumn<int>("dropAt");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("writes");

    QTest::newRow("silent: no status")
        << true << -1 << false << false << 0 << QByteArray("V") << QByteArray() << 0;
    QTest::newRow("silent: no block")
        << true << -1 << false << false << 0 << QByteArray("RP") << QByteArray() << 0;
    QTest::newRow("silent: no write") << true << -1 << false << false << 0 << write << QByteArray() << 0;
    QTest::newRow("cut status at 4") << false << 4 << false << false << 0 << QByteArray("V") << status.left(4)
                                     << 0;
    QTest::newRow("cut block at 100")
        << false << 100 << false << false << 0 << QByteArray("RP") << block.left(100) << 0;
    QTest::newRow("cut at 0 answers nothing")
        << false << 0 << false << false << 0 << QByteArray("V") << QByteArray() << 0;
    QTest::newRow("wrong marker") << false << -1 << true << false << 0 << QByteArray("RP") << wrongMarked
                                  << 0;
    QTest::newRow("wrong marker leaves status alone")
        << false << -1 << true << false << 0 << QByteArray("V") << status << 0;
    QTest::newRow("no Z: stored, not confirmed")
        << false << -1 << false << true << 0 << write << QByteArray(127, 'D') << 1;
    QTest::newRow("dropped at 5, then V answered")
        << false << -1 << false << false << 5 << QByteArray("WP") + sampleWriteBlock().left(5) + "V"
        << QByteArray(4, 'D') + status << 0;
    QTest::newRow("dropped at 1: no handshake at all")
        << false << -1 << false << false << 1 << QByteArray("WPU") << QByteArray() << 0;
    QTest::newRow("dropped at 128: no Z, not stored")
        << false << -1 << false << false << 128 << write << QByteArray(127, 'D') << 0;
}

void TestKavrDeviceModel::faults()
{
    QFETCH(bool, silent);
    QFETCH(int, cutAfter);
    QFETCH(bool, wrongMarker);
    QFETCH(bool, noZ);
    QFETCH(int, dropAt);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    QFETCH(int, writes);
    KavrDeviceFaults f;
    f.silent = silent;
    f.cutAfter = cutAfter;
    f.wrongMarker = wrongMarker;
    f.noZ = noZ;
    f.dropHandshakeAt = dropAt;
    KavrDeviceModel m(KavrDeviceModel::initialState(), f);
    QCOMPARE(feedAll(m, input), expected);
    QCOMPARE(m.writesCompleted(), writes);
    if (writes == 0) // nothing written: the device still holds its factory block
        QCOMPARE(KavrDeviceModel(m.state()).blockForRead(), factoryBlock());
}

// A cell that does not keep its byte: the write is confirmed, the block read
// back differs at that position alone, and the write as received is kept.
void TestKavrDeviceModel::corruptedCellReadsBackChanged()
{
    KavrDeviceFaults f;
    f.corruptWriteAt = 40;
    KavrDeviceModel m(KavrDeviceModel::initialState(), f);
    const QByteArray written = sampleWriteBlock();
    QCOMPARE(feedAll(m, QByteArray("WP") + written), QByteArray(127, 'D') + "Z");
    QCOMPARE(m.lastWrittenBlock(), written);
    const QByteArray read = m.blockForRead();
    for (int i = 0; i < 128; ++i)
        if (i != 39 && (i < 45 || i > 47)) // the counters come from the state
            QVERIFY2(read[i] == written[i], qPrintable(QString::number(i + 1)));
    QCOMPARE(quint8(read[39]), quint8(quint8(written[39]) ^ 0x01));
}

void TestKavrDeviceModel::noiseIsMixedIntoAnswers()
{
    const QByteArray status = hexBytes("56 78 55 00 4E 03 E9 53 00 03");
    KavrDeviceFaults f;
    f.noiseEvery = 3;
    f.noiseSeed = 7;
    KavrDeviceModel a(KavrDeviceModel::initialState(), f);
    const QByteArray first = feedAll(a, "V");
    // One stray byte after every third answer byte: 10 + 3.
    QCOMPARE(first.size(), 13);
    QByteArray clean = first;
    clean.remove(11, 1).remove(7, 1).remove(3, 1);
    QCOMPARE(clean, status);
    // The count runs on across answers: 20 answer bytes carry 6 stray ones.
    QCOMPARE(feedAll(a, "V").size(), 13);
    QCOMPARE(feedAll(a, "V").size(), 14);

    // The same seed gives the same bytes; the stray bytes are not all alike.
    KavrDeviceModel b(KavrDeviceModel::initialState(), f);
    QCOMPARE(feedAll(b, "V"), first);
    const QByteArray strays = QByteArray(1, first[3]) + first[7] + first[11];
    QVERIFY(strays.count(strays[0]) < 3);

    // One stray byte after the 9th of every answer that long: the status
    // answer's last real byte comes 11th, a write's "D" stays alone.
    KavrDeviceFaults once;
    once.strayAfter = 9;
    KavrDeviceModel c(KavrDeviceModel::initialState(), once);
    const QByteArray shifted = feedAll(c, "V");
    QCOMPARE(shifted.size(), 11);
    QCOMPARE(QByteArray(shifted).remove(9, 1), status);
    QCOMPARE(feedAll(c, "WPU"), QByteArray("D"));
    // Only in the first answer that long: the next one comes clean.
    once.strayOnce = true;
    KavrDeviceModel d(KavrDeviceModel::initialState(), once);
    QCOMPARE(feedAll(d, "V").size(), 11);
    QCOMPARE(feedAll(d, "V"), status);
}

QTEST_GUILESS_MAIN(TestKavrDeviceModel)
#include "tst_kavrdevicemodel.moc"
