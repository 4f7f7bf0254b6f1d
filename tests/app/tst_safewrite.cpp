// The window's end of the history, the verified write and the comparison
// with the communicator: what it keeps, asks and says, against the
// communicator on a virtual line. The sequences themselves are the exchange
// service's tests.

#include "app/ChangesWindow.h"
#include "app/CompareWindow.h"
#include "app/HistoryWindow.h"
#include "app/KAVR10.h"
#include "app/ProgramWindows.h"
#include "app/StatusPanels.h"
#include "app_helper.h"
#include "device/exchange_helper.h"
#include "history/DeviceHistory.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

namespace
{
// A communicator with something of its own in most places.
KavrSimOptions device()
{
    KavrSimOptions o;
    o.state.serialNumber = 4711;
    o.state.powerOnCount = 17;
    o.state.serviceHours = 53;
    auto &b = o.state.block;
    b[1] = 4;                         // NoRi
    b[39] = 6;                        // CaPo, block position 40
    b[96] = 0xC1;                     // M003 "1#"
    b[45] = 5, b[46] = 2, b[47] = 17; // the counters
    return o;
}
} // namespace

class SafeWriteTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> folder;
    std::unique_ptr<MessageLog> log;
    std::unique_ptr<VirtualLine> line;
    std::unique_ptr<ProgramWindows> windows;
    TForm1 *form = nullptr;

    QStringList messages() const { return log->messages(); }
    void start(const KavrSimOptions &options, const QString &setup = QString())
    {
        line = std::make_unique<VirtualLine>(false, options);
        folder->writeSetup(false, setup);
        windows = startProgramWindows(line.get());
        form = windows->Form1;
        log->shown.clear();
    }
    // Runs action on the modal window of type T once it shows.
    template <class T> QTimer *whenModal(std::function<void(T *)> action)
    {
        auto *poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [poll, action] {
            if (auto *w = qobject_cast<T *>(QApplication::activeModalWidget())) {
                poll->stop();
                action(w);
            }
        });
        poll->start(10);
        return poll;
    }
    const KavrDeviceModel &model() const { return line->device.model(); }
    QList<DeviceHistory::Entry> history() const { return DeviceHistory(folder->path()).entries(); }

  private slots:
    void init()
    {
        folder = std::make_unique<ProgramFolder>();
        log = std::make_unique<MessageLog>();
    }
    void cleanup()
    {
        windows.reset(); // before the line it runs on
        line.reset();
        log.reset();
        folder.reset();
    }

    // Read and Write as Config.ini's switches have them: a Read is kept; a
    // verified Write keeps the communicator's old settings first and the new
    // ones after, and says so in the status bar's file panel until the next
    // command.
    void readAndWriteAsConfigured_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QStringList>("kept"); // newest first
        QTest::addColumn<bool>("verified");
        QTest::newRow("as shipped") << "" << QStringList{"written", "before write", "read"} << true;
        QTest::newRow("VerifyWrite=0") << "VerifyWrite=0\n" << QStringList{"read"} << false;
        QTest::newRow("History=0") << "History=0\n" << QStringList() << true;
        QTest::newRow("both off") << "VerifyWrite=0\nHistory=0\n" << QStringList() << false;
    }
    void readAndWriteAsConfigured()
    {
        QFETCH(QString, setup);
        QFETCH(QStringList, kept);
        QFETCH(bool, verified);
        start(device(), setup);
        form->BitBtn4->click();
        form->setStoredText("M003", "0602");
        form->BitBtn7->click();
        QVERIFY2(messages().isEmpty(), qPrintable(messages().join('|')));
        QCOMPARE(model().writesCompleted(), 1);
        QStringList events;
        for (const DeviceHistory::Entry &e : history()) {
            events << DeviceHistory::eventName(e.event);
            QCOMPARE(e.serialNumber, QStringLiteral("4711"));
        }
        QCOMPARE(events, kept);
        QCOMPARE(QFileInfo::exists(folder->file("History")), !kept.isEmpty());
        const QString note = verified ? QStringLiteral("Zapsáno a ověřeno") : form->FilePrefix;
        QCOMPARE(form->StatusBar1->panelText(1), note);
        form->Timer1Timer();
        QCOMPARE(form->StatusBar1->panelText(1), note);
        // The next command takes the word back.
        form->BitBtn4->click();
        QCOMPARE(form->StatusBar1->panelText(1), QStringLiteral("Soubor: "));
    }

    // A cell that does not keep its byte: the message names the parameter at
    // block position 40 in the language in force, with both values (a byte
    // no parameter uses by its position), the file to restore from and what
    // to do with it; what the communicator holds is kept as "read back".
    void mismatchNamesTheParameter_data()
    {
        QTest::addColumn<bool>("english");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("says");
        QTest::newRow("Czech") << false << 40
                               << "Čas trvání poruchy, než se vyvolá volání [sec]: zapsáno 6, přečteno 7";
        QTest::newRow("English") << true << 40 << ": written 6, read back 7";
        QTest::newRow("Czech, a byte no parameter uses") << false << 10 << "\nbajt bloku 10: zapsáno 0x";
        QTest::newRow("English, a byte no parameter uses") << true << 10 << "\nblock byte 10: written 0x";
    }
    void mismatchNamesTheParameter()
    {
        QFETCH(bool, english);
        QFETCH(int, position);
        QFETCH(QString, says);
        KavrSimOptions o = device();
        o.faults.corruptWriteAt = position;
        start(o);
        if (english) {
            QVERIFY(
                QFile::copy(QStringLiteral(TESSARO_PROGRAM_DIR "/English.lng"), folder->file("English.lng")));
            form->LanguageFile = folder->file("English.lng");
            form->LoadLanguage();
        }
        form->BitBtn4->click();
        form->BitBtn7->click();
        QCOMPARE(messages().size(), 1);
        const QString text = messages()[0];
        QVERIFY2(text.contains(says), qPrintable(text));
        // the heading, one difference, a blank line, the file, what to do
        QCOMPARE(text.count(QLatin1Char('\n')), 4);
        QVERIFY2(text.endsWith(english ? "write it again." : "zapište ho znovu."), qPrintable(text));
        const QList<DeviceHistory::Entry> kept = history();
        QCOMPARE(kept[0].event, DeviceHistory::Event::ReadBack);
        QCOMPARE(kept[1].event, DeviceHistory::Event::BeforeWrite);
        QVERIFY2(text.contains(kept[1].path), qPrintable(text));
        QCOMPARE(form->StatusBar1->panelText(1), form->FilePrefix); // not verified
    }

    // The old settings cannot be kept (a file stands where the history's
    // folder should be): the question, No first; No writes nothing.
    void writeWithoutABackupIsAsked_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::newRow("no") << false;
        QTest::newRow("yes") << true;
    }
    void writeWithoutABackupIsAsked()
    {
        QFETCH(bool, answer);
        start(device());
        QFile blocker(folder->file("History"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        log->answers = {answer};
        form->BitBtn7->click();
        QCOMPARE(log->shown.size(), answer ? 1 : 2);
        QVERIFY(log->shown[0].question);
        QVERIFY(!log->shown[0].defaultYes);
        QVERIFY2(log->shown[0].text.contains(folder->file("History")), qPrintable(log->shown[0].text));
        QCOMPARE(model().writesCompleted(), answer ? 1 : 0);
        if (!answer)
            QCOMPARE(messages(),
                     QStringList{QStringLiteral("Zápis byl zrušen: do komunikátoru nebylo nic zapsáno.")});
    }

    // The read-back fails: the communication error, then that the write
    // went through unchecked.
    void failedReadBackIsSaid()
    {
        start(device());
        int blocks = 0;
        line->device.mangle = [&](int, const QByteArray &a) {
            return a.size() == 128 && ++blocks == 2 ? QByteArray() : a;
        };
        form->BitBtn7->click();
        QCOMPARE(model().writesCompleted(), 1);
        QCOMPARE(messages().size(), 2);
        QVERIFY(messages()[0].startsWith(QStringLiteral("Chyba komunikace")));
        QCOMPARE(messages()[1],
                 QStringLiteral("Zápis proběhl, ale zpětné čtení se nezdařilo: zápis nelze ověřit."));
    }

    // Write lists what it will change, from the read it makes for the
    // backup, before it sends anything: Zrušit, Esc and Enter (Cancel is the
    // default) send no "W" and say so; Zapsat writes. Nothing to change is a
    // note with the same buttons. ConfirmChanges=0 leaves the list out, and
    // so does VerifyWrite=0, which makes no read.
    void writeListsTheChanges_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<bool>("change");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("rows"); // -1: no list shown
        const QString on = QStringLiteral("ConfirmChanges=1\n");
        QTest::newRow("Zapsat") << on << true << "write" << 1;
        QTest::newRow("Zrušit") << on << true << "cancel" << 1;
        QTest::newRow("Esc") << on << true << "esc" << 1;
        QTest::newRow("Enter") << on << true << "enter" << 1;
        QTest::newRow("nothing changes") << on << false << "write" << 0;
        QTest::newRow("ConfirmChanges=0") << "ConfirmChanges=0\n" << true << "" << -1;
        QTest::newRow("VerifyWrite=0") << on + "VerifyWrite=0\n" << true << "" << -1;
    }
    void writeListsTheChanges()
    {
        QFETCH(QString, setup);
        QFETCH(bool, change);
        QFETCH(QString, answer);
        QFETCH(int, rows);
        start(device(), setup);
        form->BitBtn4->click();
        if (change)
            form->setStoredText("M003", "0602");
        int listed = -1;
        bool noteShown = false, cancelDefault = false;
        QStringList first;
        QTimer *poll = whenModal<ChangesWindow>([&](ChangesWindow *w) {
            listed = w->Table->isVisibleTo(w) ? w->Table->rowCount() : 0;
            noteShown = w->NothingLabel->isVisibleTo(w) && w->NothingLabel->text() == "Nic se nezmění";
            cancelDefault = w->CancelButton->isDefault() && w->CancelButton->text() == "Zrušit" &&
                            w->WriteButton->text() == "Zapsat";
            for (int c = 0; listed > 0 && c < 4; ++c)
                first << w->Table->item(0, c)->text();
            if (answer == "write")
                w->WriteButton->click();
            else if (answer == "cancel")
                w->CancelButton->click();
            else
                QTest::keyClick(w, answer == "esc" ? Qt::Key_Escape : Qt::Key_Return);
        });
        const qsizetype before = line->sentByHost().size();
        form->BitBtn7->click();
        delete poll;
        QCOMPARE(listed, rows);
        const bool sent = answer == "write" || rows < 0;
        QCOMPARE(model().writesCompleted(), sent ? 1 : 0);
        QCOMPARE(line->sentByHost().mid(before).contains('W'), sent);
        if (rows >= 0) {
            QVERIFY(cancelDefault);
            QCOMPARE(noteShown, rows == 0);
        }
        if (rows > 0) {
            QCOMPARE(first.mid(2), (QStringList{"1#", "0602"}));
            QVERIFY2(!first[0].isEmpty() && !first[1].isEmpty(), qPrintable(first.join('|')));
        }
        QCOMPARE(messages(), sent ? QStringList()
                                  : QStringList{QStringLiteral("Zápis byl zrušen: do komunikátoru nebylo nic zapsáno.")});
    }

    // Compare: the differing parameters with both values; taken, the window
    // holds the communicator's; nothing is written. Without differences a
    // message says so.
    void compareWithTheCommunicator()
    {
        start(device());
        form->BitBtn4->click();
        form->setStoredText("M003", "0602999");
        form->setStoredText("NoRi", "2");
        QStringList rows;
        QTimer *poll = whenModal<CompareWindow>([&](CompareWindow *w) {
            for (int r = 0; r < w->Table->rowCount(); ++r)
                rows << w->Table->item(r, CompareWindow::GroupColumn)->text() + "|" +
                            w->Table->item(r, CompareWindow::LabelColumn)->text() + "|" +
                            w->Table->item(r, CompareWindow::WindowColumn)->text() + "|" +
                            w->Table->item(r, CompareWindow::OtherColumn)->text();
            w->TakeButton->click();
        });
        form->findChild<QAction *>("Porovnat1")->trigger();
        delete poll;
        QCOMPARE(rows.size(), 2);
        QVERIFY2(rows.join('\n').contains("|2|4"), qPrintable(rows.join('\n')));
        // The label repeats in every telephone group: the group tells them apart.
        QVERIFY2(rows.contains(QStringLiteral("Nouzové volání|Pořadí 3|0602999|1#")),
                 qPrintable(rows.join('\n')));
        QCOMPARE(form->storedText("M003"), QStringLiteral("1#"));
        QCOMPARE(form->storedText("NoRi"), QStringLiteral("4"));
        QCOMPARE(model().writesCompleted(), 0);
        form->findChild<QAction *>("Porovnat1")->trigger();
        QCOMPARE(messages(), QStringList{QStringLiteral("Nastavení v okně a v komunikátoru se neliší.")});
    }

    // Taken, the communicator's values stand as after a Read: the options its
    // firmware does not offer are held, their controls disabled.
    void takenValuesFollowTheFirmware()
    {
        KavrSimOptions o = device();
        o.state.firmware = 114;
        start(o);
        QVERIFY(form->toneOptionsEnabled());
        form->setStoredText("NoRi", "2");
        QTimer *poll = whenModal<CompareWindow>([](CompareWindow *w) { w->TakeButton->click(); });
        form->findChild<QAction *>("Porovnat1")->trigger();
        delete poll;
        QCOMPARE(form->storedText("NoRi"), QStringLiteral("4"));
        QVERIFY(!form->toneOptionsEnabled());
        QVERIFY(!form->polarityOptionsEnabled());
    }

    // The history window lists what was kept; an entry opens as a file, or
    // is compared with the window.
    void historyWindowOpensAndCompares()
    {
        start(device());
        form->BitBtn4->click();
        const QString kept = history().value(0).path;
        form->setStoredText("NoRi", "2");
        int listed = 0;
        QTimer *poll = whenModal<HistoryWindow>([&](HistoryWindow *w) {
            listed = w->Tree->model()->rowCount(w->Tree->model()->index(0, 0));
            w->OpenButton->click();
        });
        form->findChild<QAction *>("Historie1")->trigger();
        delete poll;
        QCOMPARE(listed, 1);
        QCOMPARE(form->CurrentFile, kept);
        QCOMPARE(form->storedText("NoRi"), QStringLiteral("4"));

        form->setStoredText("NoRi", "3");
        QStringList rows;
        poll = whenModal<HistoryWindow>([&](HistoryWindow *w) {
            QTimer *compare = whenModal<CompareWindow>([&](CompareWindow *c) {
                for (int r = 0; r < c->Table->rowCount(); ++r)
                    rows << c->Table->item(r, CompareWindow::OtherColumn)->text();
                c->CloseButton->click();
            });
            Q_UNUSED(compare);
            w->CompareButton->click();
        });
        form->findChild<QAction *>("Historie1")->trigger();
        QCOMPARE(rows, QStringList{QStringLiteral("4")});
        QCOMPARE(form->storedText("NoRi"), QStringLiteral("3")); // closed: nothing taken
    }
};

QTEST_MAIN(SafeWriteTest)
#include "tst_safewrite.moc"
