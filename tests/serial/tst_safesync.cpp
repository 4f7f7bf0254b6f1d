#include "serial/AfSafeSync.h"
#include "serial/AfUtils.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>

#include <atomic>
#include <future>
#include <thread>

// The table is process-wide: every test leaves it empty again.
class SafeSyncTest : public QObject
{
    Q_OBJECT
  private slots:
    void sixtyFourSlots();
    void idsSkipZero_data();
    void idsSkipZero();
    void sendFromWorkerRunsOnMainThread();
    void disabledSendReturnsAtOnce();
    void disableWakesWaitingSend();
    void mainThreadSendRunsDirectly();
    void timedOutSendIsNotRunLater();
    void unregisteredSlotIsDead();
    void handlerExceptionGoesToDisplay();
};

void SafeSyncTest::sixtyFourSlots()
{
    QList<uint32_t> ids;
    for (int i = 0; i < AfSafeSyncSlotCount; ++i) {
        const uint32_t id = SafeSyncRegister([] {});
        QVERIFY(id != 0);
        QVERIFY(!ids.contains(id));
        ids << id;
    }
    QCOMPARE(SafeSyncRegister([] {}), 0u);
    QVERIFY(!SafeSyncEnable(0, true));
    QVERIFY(!SafeSyncSend(0, 10));

    // A freed slot is taken again, under a new id.
    QVERIFY(SafeSyncUnregister(ids[10]));
    const uint32_t again = SafeSyncRegister([] {});
    QVERIFY(again != 0);
    QVERIFY(!ids.contains(again));
    ids[10] = again;
    QCOMPARE(SafeSyncRegister([] {}), 0u);
    for (uint32_t id : ids)
        QVERIFY(SafeSyncUnregister(id));
}

void SafeSyncTest::idsSkipZero_data()
{
    QTest::addColumn<uint32_t>("counter");
    QTest::addColumn<QList<uint32_t>>("expected");
    QTest::newRow("counting up") << 41u << QList<uint32_t>{42, 43, 44};
    QTest::newRow("wrap skips 0") << 0xFFFFFFFEu << QList<uint32_t>{0xFFFFFFFF, 1, 2};
    QTest::newRow("at the top") << 0xFFFFFFFFu << QList<uint32_t>{1, 2};
}

void SafeSyncTest::idsSkipZero()
{
    QFETCH(uint32_t, counter);
    QFETCH(QList<uint32_t>, expected);
    SafeSyncSetIdCounter(counter);
    QList<uint32_t> got;
    for (qsizetype i = 0; i < expected.size(); ++i)
        got << SafeSyncRegister([] {});
    for (uint32_t id : got)
        SafeSyncUnregister(id);
    QCOMPARE(got, expected);
}

void SafeSyncTest::sendFromWorkerRunsOnMainThread()
{
    std::atomic<int> calls{0};
    std::atomic<bool> onMain{true};
    const uint32_t id = SafeSyncRegister([&] {
        ++calls;
        onMain = onMain && QThread::currentThread() == QCoreApplication::instance()->thread();
    });
    QVERIFY(SafeSyncEnable(id, true));
    auto result = std::async(std::launch::async, [id] { return SafeSyncSend(id, 5000); });
    QTRY_VERIFY_WITH_TIMEOUT(result.wait_for(std::chrono::seconds(0)) == std::future_status::ready, 5000);
    QVERIFY(result.get());
    QCOMPARE(calls.load(), 1);
    QVERIFY(onMain.load());
    SafeSyncUnregister(id);
}

void SafeSyncTest::disabledSendReturnsAtOnce()
{
    std::atomic<int> calls{0};
    const uint32_t id = SafeSyncRegister([&] { ++calls; }); // starts disabled
    QElapsedTimer timer;
    timer.start();
    auto result = std::async(std::launch::async, [id] { return SafeSyncSend(id, 5000); });
    QVERIFY(!result.get());
    QVERIFY(timer.elapsed() < 1000);
    QVERIFY(SafeSyncEnable(id, true));
    QVERIFY(SafeSyncEnable(id, false));
    QVERIFY(!std::async(std::launch::async, [id] { return SafeSyncSend(id, 5000); }).get());
    QTest::qWait(20);
    QCOMPARE(calls.load(), 0);
    SafeSyncUnregister(id);
}

void SafeSyncTest::disableWakesWaitingSend()
{
    std::atomic<int> calls{0};
    const uint32_t id = SafeSyncRegister([&] { ++calls; });
    SafeSyncEnable(id, true);
    std::promise<void> sending;
    auto result = std::async(std::launch::async, [&] {
        sending.set_value();
        return SafeSyncSend(id, 10000);
    });
    sending.get_future().wait();
    // The main thread does not serve the send; it switches the slot off.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    QElapsedTimer timer;
    timer.start();
    SafeSyncEnable(id, false);
    QCOMPARE(result.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    QVERIFY(!result.get());
    QVERIFY(timer.elapsed() < 2000);
    QTest::qWait(20);
    QCOMPARE(calls.load(), 0); // switched off on its way: never called
    SafeSyncUnregister(id);
}

void SafeSyncTest::mainThreadSendRunsDirectly()
{
    int calls = 0;
    const uint32_t id = SafeSyncRegister([&] { ++calls; });
    QVERIFY(!SafeSyncSend(id, 100));
    QCOMPARE(calls, 0);
    SafeSyncEnable(id, true);
    QVERIFY(SafeSyncSend(id, 100));
    QCOMPARE(calls, 1); // ran before the send returned, without the event loop
    SafeSyncUnregister(id);
}

void SafeSyncTest::timedOutSendIsNotRunLater()
{
    std::atomic<int> calls{0};
    const uint32_t id = SafeSyncRegister([&] { ++calls; });
    SafeSyncEnable(id, true);
    auto result = std::async(std::launch::async, [id] { return SafeSyncSend(id, 100); });
    // Still registered and enabled: a time-out counts as delivered.
    QCOMPARE(result.wait_for(std::chrono::seconds(3)), std::future_status::ready);
    QVERIFY(result.get());
    QTest::qWait(50);
    QCOMPARE(calls.load(), 0);
    SafeSyncUnregister(id);
}

void SafeSyncTest::unregisteredSlotIsDead()
{
    int calls = 0;
    const uint32_t id = SafeSyncRegister([&] { ++calls; });
    QVERIFY(SafeSyncUnregister(id));
    QVERIFY(!SafeSyncUnregister(id));
    QVERIFY(!SafeSyncEnable(id, true));
    QVERIFY(!SafeSyncSend(id, 100));
    QCOMPARE(calls, 0);
}

void SafeSyncTest::handlerExceptionGoesToDisplay()
{
    QStringList shown;
    AfSetExceptionDisplay([&](const QString &text) { shown << text; });
    const uint32_t id = SafeSyncRegister([] { throw std::runtime_error("handler failed"); });
    SafeSyncEnable(id, true);
    auto result = std::async(std::launch::async, [id] { return SafeSyncSend(id, 5000); });
    QTRY_VERIFY_WITH_TIMEOUT(result.wait_for(std::chrono::seconds(0)) == std::future_status::ready, 5000);
    QVERIFY(result.get());
    QCOMPARE(shown, QStringList{QStringLiteral("handler failed")});
    AfSetExceptionDisplay(nullptr);
    SafeSyncUnregister(id);
}

QTEST_MAIN(SafeSyncTest)
#include "tst_safesync.moc"
