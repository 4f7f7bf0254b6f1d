// The window's side of sharing the history: the share runs beside the window,
// never in the way of a Read, and what waits is told beneath the status bar;
// and the line that says the settings in the window come from the history.
// The share itself (fetch, merge, push, ssh) is the history's tests' part.

#include "app/FileCommands.h"
#include "app/HistorySharing.h"
#include "app/HistoryWindow.h"
#include "app/KAVR10.h"
#include "app/ProgramWindows.h"
#include "app_helper.h"
#include "device/exchange_helper.h"
#include "history/DeviceHistory.h"
#include "history/HistoryShare.h"
#include "history/history_helper.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <git2.h>

#include <thread>

namespace
{
KavrSimOptions device()
{
    KavrSimOptions o;
    o.state.serialNumber = 4711;
    return o;
}

void makeBare(const QString &path)
{
    git_libgit2_init();
    git_repository *repo = nullptr;
    QCOMPARE(git_repository_init(&repo, QFile::encodeName(path).constData(), 1), 0);
    git_repository_free(repo);
    git_libgit2_shutdown();
}

// Holds a share just before its push until let go.
struct HeldPush {
    QSemaphore reached, go;
    HeldPush()
    {
        HistoryShare::setBeforePushHook([this] {
            reached.release();
            go.acquire();
        });
    }
};
} // namespace

class HistorySharingTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> folder;
    std::unique_ptr<MessageLog> log;
    std::unique_ptr<VirtualLine> line;
    std::unique_ptr<ProgramWindows> windows;
    std::unique_ptr<QTemporaryDir> server;
    TForm1 *form = nullptr;

    // The program started with Config.ini naming remote (none when empty),
    // its start's share ended; commandLine is the file named to it.
    void start(const QString &remote, const QString &commandLine = QString())
    {
        line = std::make_unique<VirtualLine>(false, device());
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
    bool lineShown() const
    {
        return form->HistoryBar->isVisibleTo(form) && form->centralWidget()->height() > 419;
    }

  private slots:
    void init()
    {
        folder = std::make_unique<ProgramFolder>();
        log = std::make_unique<MessageLog>();
        server = std::make_unique<QTemporaryDir>();
    }
    void cleanup()
    {
        windows.reset();
        HistoryShare::setBeforePushHook(nullptr);
        QTRY_VERIFY(!DeviceHistory::shareStillRunning());
        line.reset();
        log.reset();
        folder.reset();
        server.reset();
    }

    // A remote not there yet: a Read keeps its entry with no message, and
    // beneath the status bar one entry waits, the reason naming the remote.
    // Once the remote is a repository, a share brings every entry over while
    // the window goes on (a Read meanwhile is kept and shared too): requests
    // while one runs ask for one more run, not one each.
    void remoteThatComesLater_data()
    {
        QTest::addColumn<bool>("url");
        QTest::newRow("path") << false;
        QTest::newRow("file://") << true;
    }
    void remoteThatComesLater()
    {
        QFETCH(bool, url);
        const QString path = server->filePath("company.git");
        const QString remote = url ? "file://" + path : path;
        start(remote);
        QVERIFY(!lineShown());

        form->BitBtn4->click();
        QCOMPARE(history().size(), 1);
        QVERIFY2(log->shown.isEmpty(), qPrintable(log->messages().join('|')));
        QTRY_VERIFY(!form->Sharing->running());
        QCOMPARE(form->Sharing->state().unshared, 1);
        QVERIFY(lineShown());
        QVERIFY2(form->ShareState->toolTip().contains(remote) && form->ShareState->toolTip().contains("1"),
                 qPrintable(form->ShareState->toolTip()));

        makeBare(path);
        HeldPush held;
        QSignalSpy ended(form->Sharing, &HistorySharing::stateChanged);
        form->Sharing->request(folder->path());
        QVERIFY(held.reached.tryAcquire(1, 5000));
        form->BitBtn4->click();
        form->Sharing->request(folder->path());
        QCOMPARE(history().size(), 2);
        held.go.release(2);
        QTRY_COMPARE(ended.size(), 2);
        QTRY_VERIFY(!form->Sharing->running());
        QCOMPARE(ended.size(), 2);
        QCOMPARE(form->Sharing->state().unshared, 0);
        QVERIFY(!lineShown());
        QCOMPARE(form->centralWidget()->height(), 419);
        const QStringList shared = HistoryHelper::log(path);
        QCOMPARE(shared.filter("4711").size(), 2);
    }

    // Closing the window while a share waits for its remote calls the share
    // off rather than waiting out the cut-off: the close is over while the
    // remote still holds the push back, and nothing of the share is
    // remembered as a remote that gave no answer.
    void closingCallsTheShareOff()
    {
        const QString path = server->filePath("company.git");
        makeBare(path);
        start(path);
        HeldPush held;
        form->BitBtn4->click();
        QVERIFY(held.reached.tryAcquire(1, 5000));
        QSemaphore closed;
        bool closedFirst = false;
        std::thread remote([&] {
            closedFirst = closed.tryAcquire(1, DeviceHistory::ShareTimeoutMs / 2);
            held.go.release();
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
        QTest::addColumn<bool>("named");
        QTest::newRow("history window") << "history" << true;
        QTest::newRow("Open") << "open" << true;
        QTest::newRow("Open, through a link") << "link" << true;
        QTest::newRow("command line") << "command line" << true;
        QTest::newRow("Open, a copy outside") << "copy" << false;
    }
    void historyFileIsNamed()
    {
        QFETCH(QString, how);
        QFETCH(bool, named);
        start(QString());
        form->BitBtn4->click();
        const DeviceHistory::Entry kept = history().value(0);
        QVERIFY(!lineShown());
        QString chosen = kept.path;
        if (how == "link")
            QVERIFY(QFile::link(kept.path, chosen = folder->file("link.kvr")));
        if (how == "copy")
            QVERIFY(QFile::copy(kept.path, chosen = folder->file("copy.kvr")));
        if (how == "history") {
            auto *poll = new QTimer(this);
            connect(poll, &QTimer::timeout, this, [poll] {
                if (auto *w = qobject_cast<HistoryWindow *>(QApplication::activeModalWidget())) {
                    poll->stop();
                    w->OpenButton->click();
                }
            });
            poll->start(10);
            form->findChild<QAction *>("Historie1")->trigger();
            delete poll;
        } else if (how == "command line") {
            windows.reset();
            start(QString(), kept.path);
        } else {
            FileCommands::setDialogPlayer([chosen](const FileCommands::DialogRequest &) { return chosen; });
            form->BitBtn1->click();
            FileCommands::setDialogPlayer(nullptr);
        }
        QCOMPARE(form->HistoryNote->text(),
                 named ? QStringLiteral("Nastavení z historie: výrobní číslo 4711, %1, čtení")
                             .arg(kept.when().toString("d.M.yyyy HH:mm:ss"))
                       : QString());
        QCOMPARE(lineShown(), named);
    }
};

QTEST_MAIN(HistorySharingTest)
#include "tst_historysharing.moc"
