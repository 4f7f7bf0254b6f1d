// The block map against the parameter table's rows: every position of the
// configuration block is the marker, held whole by its parameters' parts
// without two of them sharing a bit, or unused.
#include "settings/BlockMap.h"

#include <QtTest>

#include <algorithm>

class TestBlockMap : public QObject
{
    Q_OBJECT

  private slots:
    void everyPositionOnceAndWhole()
    {
        const std::span<const int> unused = BlockMap::unused();
        for (int pos = 1; pos <= BlockMap::Size; ++pos) {
            const QString where = QStringLiteral("position %1").arg(pos);
            int bits = 0;
            for (const BlockMap::Use &use : BlockMap::usesOf(pos)) {
                QVERIFY2(!(bits & use.bits), qPrintable(where + ": " + BlockMap::keysAt(pos) + " overlap"));
                bits |= use.bits;
            }
            const bool reserved = pos == BlockMap::MarkerPosition ||
                                  std::find(unused.begin(), unused.end(), pos) != unused.end();
            QVERIFY2(bits == (reserved ? 0 : 0xFF), qPrintable(where + ": " + BlockMap::keysAt(pos)));
        }
    }

    // What a difference at a position changes, as a listing names it.
    void keysAt_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("keys");
        QTest::newRow("marker") << 1 << "";
        QTest::newRow("tone and gap share a byte") << 8 << "TTon, TSpc";
        QTest::newRow("reserved") << 10 << "";
        QTest::newRow("the flags' byte") << 45 << "Chk1, Chk2, Chk3, Chk4, Chk5, Chk6, Chk7, Chk8";
        QTest::newRow("days of the service hours") << 47 << "SvHr";
        QTest::newRow("last byte of a number") << 128 << "M006";
    }
    void keysAt()
    {
        QFETCH(int, position);
        QFETCH(QString, keys);
        QCOMPARE(BlockMap::keysAt(position), keys);
    }
};

QTEST_GUILESS_MAIN(TestBlockMap)
#include "tst_blockmap.moc"
