// The window's side of sharing the history: the share runs beside the window,
// never in the way of a Read, and what waits is told beneath the status bar,
// as is a file of the history in the window. The share itself (fetch, merge,
// push, ssh) is the history's tests' part.

#include "app/FileCommands.h"
#include "app/HistorySharing.h"
#include "app/HistoryWindow.h"
#include "app/KAVR10.h"
#include "app/ProgramWindows.h"
#include "app_helper.h"
#include "device/exchange_helper.h"
#include "history/HistoryShare.h"
#include "history/history_helper.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <thread>

class HistorySharingTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> folder;
    std::unique_ptr<MessageLog> log;
    std::unique_ptr<VirtualLine> line;
    std::unique_ptr<ProgramWindows> windows;
    std::unique_ptr<QTemporaryDir> server;
    TForm1 *form = nullptr;
    QSemaphore pushReached, pushGo; // a share held just before its push

    // The program started as main() starts it, with Config.ini naming remote
    // and commandLine named to it; the start's share over.
    void start(const QString &remote, const QString &commandLine = QString())
    {
        line = std::make_unique<VirtualLine>(false);
        folder->writeSetup(false, remote.isEmpty() ? QString() : "[History]\nRemote=" + remote + "\n");
        windows = std::make_unique<ProgramWindows>();
        form = windows->Form1;
        if (!commandLine.isEmpty())
            form->setCommandLineArgument(commandLine);
        line->attach(form->exchange());
        form->Timer1->stop();
        form->show();
        form->Timer1Timer();
        form->Timer1->stop();
        QTRY_VERIFY(!form->Sharing->running());
        log->shown.clear(); // the start's question
    }
    QList<DeviceHistory::Entry> history() const { return DeviceHistory(folder->path()).entries(); }
    bool rowsShown() const
    {
        return form->HistoryBar->isVisibleTo(form) && form->centralWidget()->height() > 419;
    }
    void holdPushes()
    {
        HistoryShare::setBeforePushHook([this] {
            pushReached.release();
            pushGo.acquire();
        });
    }

  private slots:
    void init()
    {
        folder = std::make_unique<ProgramFolder>();
        log = std::make_unique<MessageLog>();
        server = std::make_unique<QTemporaryDir>();
        pushReached.acquire(pushReached.available());
        pushGo.acquire(pushGo.available());
    }
    void cleanup()
    {
        windows.reset();
        HistoryShare::setBeforePushHook(nullptr);
        QTRY_VERIFY(!DeviceHistory::shareStillRunning());
        line.reset();
        log.reset();
        folder.reset();
    }

    // A remote not there yet: a Read keeps its entry with no message, and
    // one entry waits beneath the status bar, the reason naming the remote.
    // Once the remote is there, a share brings every entry over while the
    // window goes on (a Read meanwhile is kept and shared too): requests
    // while one runs ask for one more run, not one each.
    void remoteThatComesLater_data()
    {
        QTest::addColumn<QString>("scheme");
        QTest::newRow("path") << "";
        QTest::newRow("file://") << "file://";
    }
    void remoteThatComesLater()
    {
        QFETCH(QString, scheme);
        const QString path = server->filePath("company.git");
        start(scheme + path);
        QVERIFY(!rowsShown());
        form->BitBtn4->click();
        QCOMPARE(history().size(), 1);
        QVERIFY2(log->shown.isEmpty(), qPrintable(log->messages().join('|')));
        QTRY_VERIFY(!form->Sharing->running());
        QCOMPARE(form->Sharing->state().unshared, 1);
        QVERIFY(rowsShown());
        QVERIFY2(form->ShareState->toolTip().contains(": 1 (" + scheme + path + ": "),
                 qPrintable(form->ShareState->toolTip()));

        QVERIFY(QDir().mkpath(path)); // an empty folder becomes a bare repository
        holdPushes();
        QSignalSpy ended(form->Sharing, &HistorySharing::stateChanged);
        form->Sharing->request(folder->path());
        QVERIFY(pushReached.tryAcquire(1, 5000));
        form->BitBtn4->click();
        form->Sharing->request(folder->path());
        QCOMPARE(history().size(), 2);
        pushGo.release(2);
        QTRY_VERIFY(ended.size() == 2 && !form->Sharing->running());
        QCOMPARE(ended.size(), 2);
        QCOMPARE(form->Sharing->state().unshared, 0);
        QVERIFY(!rowsShown());
        QCOMPARE(HistoryHelper::log(path).filter("1001: read").size(), 2);
    }

    // Closing the window while a share waits for its remote calls the share
    // off rather than waiting out the cut-off: the close is over while the
    // remote still holds the push back, and nothing of the share is
    // remembered as a remote that gave no answer.
    void closingCallsTheShareOff()
    {
        const QString path = server->filePath("company.git");
        QVERIFY(QDir().mkpath(path));
        start(path);
        holdPushes();
        form->BitBtn4->click();
        QVERIFY(pushReached.tryAcquire(1, 5000));
        QSemaphore closed;
        bool closedFirst = false;
        std::thread remote([&] {
            closedFirst = closed.tryAcquire(1, DeviceHistory::ShareTimeoutMs / 2);
            pushGo.release();
        });
        windows.reset();
        closed.release();
        remote.join();
        QVERIFY(closedFirst);
        QTRY_VERIFY(!DeviceHistory::shareStillRunning());
        QCOMPARE(DeviceHistory(folder->path()).shareStatus().lastFailure, QString());
    }

    // A file of the history, however it was opened, is named for what it
    // is: serial number, time and event; any other file is not.
    void historyFileIsNamed_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("history window") << "history";
        QTest::newRow("Open, through a link") << "link";
        QTest::newRow("command line") << "command line";
        QTest::newRow("Open, a copy outside") << "copy";
    }
    void historyFileIsNamed()
    {
        QFETCH(QString, how);
        start(QString());
        form->BitBtn4->click();
        const DeviceHistory::Entry kept = history().value(0);
        QVERIFY(!rowsShown());
        QString chosen = kept.path;
        if (how == "link")
            QVERIFY(QFile::link(kept.path, chosen = folder->file("link.kvr")));
        if (how == "copy")
            QVERIFY(QFile::copy(kept.path, chosen = folder->file("copy.kvr")));
        if (how == "history") {
            QTimer::singleShot(0, form, [this] { form->findChild<HistoryWindow *>()->OpenButton->click(); });
            form->findChild<QAction *>("Historie1")->trigger();
        } else if (how == "command line") {
            windows.reset();
            start(QString(), kept.path);
        } else {
            FileCommands::setDialogPlayer([chosen](const FileCommands::DialogRequest &) { return chosen; });
            form->BitBtn1->click();
            FileCommands::setDialogPlayer(nullptr);
        }
        const QString note = QStringLiteral("Nastavení z historie: výrobní číslo 1001, %1, čtení")
                                 .arg(kept.when().toString("d.M.yyyy HH:mm:ss"));
        QCOMPARE(form->HistoryNote->text(), how == "copy" ? QString() : note);
        QCOMPARE(rowsShown(), how != "copy");
    }
};

QTEST_MAIN(HistorySharingTest)
#include "tst_historysharing.moc"
