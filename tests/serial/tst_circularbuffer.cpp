#include "serial/AfCircularBuffer.h"

#include <QRandomGenerator>
#include <QTest>

#include <deque>

// Operations written as "w6" (write 6 bytes), "r2" (remove 2), "c" (clear).
class CircularBufferTest : public QObject
{
    Q_OBJECT
  private slots:
    void operations_data();
    void operations();
    void wrappedWriteSplitsAcrossTheEnd();
    void contentSurvivesRandomUse();
};

void CircularBufferTest::operations_data()
{
    QTest::addColumn<int>("capacity");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QList<bool>>("results");
    QTest::addColumn<int>("used");
    QTest::addColumn<int>("linear");
    QTest::addColumn<bool>("full");
    QTest::addColumn<int>("readPosition");

    QTest::newRow("6 out, 5 in wraps")
        << 8 << QStringList{"w6", "r6", "w5"} << QList<bool>{true, true, true} << 5 << 2 << false << 6;
    QTest::newRow("then the start") << 8 << QStringList{"w6", "r6", "w5", "r2"}
                                    << QList<bool>{true, true, true, true} << 3 << 3 << false << 0;
    QTest::newRow("fill to the brim") << 8 << QStringList{"w8"} << QList<bool>{true} << 8 << 8 << true << 0;
    QTest::newRow("full after wrap") << 8 << QStringList{"w5", "r3", "w6"} << QList<bool>{true, true, true}
                                     << 8 << 5 << true << 3;
    QTest::newRow("zero bytes refused")
        << 8 << QStringList{"w3", "w0"} << QList<bool>{true, false} << 3 << 3 << false << 0;
    QTest::newRow("more than free refused")
        << 8 << QStringList{"w5", "w4"} << QList<bool>{true, false} << 5 << 5 << false << 0;
    QTest::newRow("remove more than used")
        << 8 << QStringList{"w2", "r3"} << QList<bool>{true, false} << 2 << 2 << false << 0;
    QTest::newRow("remove negative") << 8 << QStringList{"w2", "r-1"} << QList<bool>{true, false} << 2 << 2
                                     << false << 0;
    QTest::newRow("remove 0 keeps full")
        << 8 << QStringList{"w8", "r0"} << QList<bool>{true, true} << 8 << 8 << true << 0;
    QTest::newRow("empty a full ring")
        << 8 << QStringList{"w8", "r8"} << QList<bool>{true, true} << 0 << 0 << false << 0;
    QTest::newRow("clear") << 8 << QStringList{"w5", "r2", "c"} << QList<bool>{true, true, true} << 0 << 0
                           << false << 0;
}

void CircularBufferTest::operations()
{
    QFETCH(int, capacity);
    QFETCH(QStringList, steps);
    QFETCH(QList<bool>, results);
    TAfCircularBuffer ring(capacity);
    const QByteArray bytes(64, 'x');
    for (qsizetype i = 0; i < steps.size(); ++i) {
        const QString &step = steps[i];
        const int n = step.mid(1).toInt();
        bool ok = true;
        if (step.startsWith('w'))
            ok = ring.Write(bytes.constData(), n);
        else if (step.startsWith('r'))
            ok = ring.Remove(n);
        else
            ring.Clear();
        QVERIFY2(ok == results[i], qPrintable(step));
    }
    QTEST(ring.UsedCount(), "used");
    QCOMPARE(ring.FreeCount(), capacity - ring.UsedCount());
    QTEST(ring.LinearReadCount(), "linear");
    QTEST(ring.Full(), "full");
    QTEST(ring.ReadPosition(), "readPosition");
    QCOMPARE(int(ring.ReadPointer() - ring.Data()), ring.ReadPosition());
}

void CircularBufferTest::wrappedWriteSplitsAcrossTheEnd()
{
    TAfCircularBuffer ring(8);
    QVERIFY(ring.Write("abcdef", 6));
    QVERIFY(ring.Remove(6));
    QVERIFY(ring.Write("12345", 5));
    // Two at the end of the block, three at its start.
    QCOMPARE(QByteArray(ring.Data() + 6, 2), QByteArray("12"));
    QCOMPARE(QByteArray(ring.Data(), 3), QByteArray("345"));
    QCOMPARE(QByteArray(ring.ReadPointer(), ring.LinearReadCount()), QByteArray("12"));
    QVERIFY(ring.Remove(2));
    QCOMPARE(QByteArray(ring.ReadPointer(), ring.LinearReadCount()), QByteArray("345"));
}

void CircularBufferTest::contentSurvivesRandomUse()
{
    // Against a plain queue: whatever goes in comes out in order, in the
    // pieces the write thread would take.
    QRandomGenerator random(20240611);
    for (int capacity : {1, 7, 64, 2048}) {
        TAfCircularBuffer ring(capacity);
        std::deque<char> model;
        char next = 0;
        for (int step = 0; step < 5000; ++step) {
            if (random.bounded(2) == 0) {
                const int n = random.bounded(capacity + 2);
                QByteArray piece(n, '\0');
                for (char &c : piece)
                    c = next++;
                const bool fits = n >= 1 && n <= capacity - int(model.size());
                QCOMPARE(ring.Write(piece.constData(), n), fits);
                if (fits)
                    model.insert(model.end(), piece.begin(), piece.end());
            } else {
                const int linear = ring.LinearReadCount();
                QVERIFY(linear <= int(model.size()));
                QVERIFY(model.empty() || linear > 0);
                const int n = linear == 0 ? 0 : 1 + random.bounded(linear);
                for (int i = 0; i < n; ++i)
                    QCOMPARE(ring.ReadPointer()[i], model[size_t(i)]);
                QVERIFY(ring.Remove(n));
                model.erase(model.begin(), model.begin() + n);
            }
            QCOMPARE(ring.UsedCount(), int(model.size()));
        }
    }
}

QTEST_MAIN(CircularBufferTest)
#include "tst_circularbuffer.moc"
