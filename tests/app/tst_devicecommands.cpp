// Read, Write and the other device commands of the main window, through the
// real buttons: what is the window's own (its dialogs, messages, fields and
// the counter confirmation), against the communicator on a virtual line, and
// one read and write end to end over a pseudo-terminal. The exchanges' own cases are the exchange service's
// tests.

#include "app/DeviceCommands.h"
#include "app/Dotaz.h"
#include "app/FileCommands.h"
#include "app/HelpAndToolCommands.h"
#include "app/HelpWindow.h"
#include "app/Hlaseni.h"
#include "app/KAVR10.h"
#include "app/ProgramWindows.h"
#include "app/SerPort.h"
#include "app/StatusPanels.h"
#include "app/Zobraz.h"
#include "app_helper.h"
#include "device/ExchangeService.h"
#include "device/UsbLink.h"
#include "device/exchange_helper.h"
#include "lang/LanguageTexts.h"
#include "platform/D2xx.h"
#include "platform/PrivateProfile.h"
#include "platform/ShellOpen.h"
#include "serial/AfComPort.h"
#include "settings/MemoryRecord.h"
#include "settings/SettingsFile.h"

#include "sim/KavrSimulator.h"

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>

#include <QTimer>
#include <QToolButton>

namespace
{

// A communicator's block written out by hand, with the settings it stands
// for. Reserved positions hold 0xFF, as a written block has them.
std::array<std::uint8_t, 128> handBlock()
{
    std::array<std::uint8_t, 128> b;
    b.fill(0xFF);
    b[0] = 0x55;
    b[1] = 4;                                    // NoRi
    b[2] = 12;                                   // MaSp "30"
    b[3] = 3;                                    // TBtn
    b[4] = 5;                                    // THng
    b[5] = 2;                                    // TDia
    b[6] = 7;                                    // TRep
    b[7] = 0x97;                                 // TTon 90, TSpc 70
    b[8] = 0x39;                                 // TFls 300, TPas 900
    b[10] = 1, b[11] = 2, b[12] = 3, b[13] = 11; // PotZ "123*" (+ two end bytes)
    b[16] = 0x0A, b[17] = 9;                     // HgUp "09"
    b[18] = 35;                                  // TPtn
    b[19] = 8;                                   // TVtn
    b[20] = 1, b[21] = 9, b[22] = 8, b[23] = 4;  // Pasw "1984"
    b[24] = 1;                                   // Dial: pulse
    b[25] = 12;                                  // EndS "#"
    b[26] = 6, b[27] = 7;                        // SwSt "67"
    b[28] = 12;                                  // SwTi
    b[30] = 0;                                   // PoBt: reverse
    b[31] = 1;                                   // TONE: pick-up and hang-up only
    b[32] = 1;                                   // SeVo
    b[33] = 1;                                   // Nou1
    b[34] = 0;                                   // Nou2
    b[35] = 1;                                   // InPo
    b[36] = 0;                                   // BlPo
    b[37] = 9;                                   // OpSe
    b[38] = 3;                                   // OpNo
    b[39] = 6;                                   // CaPo
    b[44] = 0xA5;                                // Chk1, Chk3, Chk6, Chk7
    b[45] = 5, b[46] = 2, b[47] = 17;            // 53 hours, power-on count 17
    b[48] = 0x21, b[49] = 0x43;                  // M007 "1234"
    b[64] = 0xDB, b[65] = 0xFE;                  // M008 "*PF"
    b[80] = 0x6A, b[81] = 0x2A;                  // M001 "0602"
    b[88] = 0x99, b[89] = 0x99, b[90] = 0x99, b[91] = 0x99;
    b[92] = 0x99, b[93] = 0x99, b[94] = 0x99, b[95] = 0x99; // M002 sixteen nines
    b[96] = 0xC1;                                           // M003 "1#"
    b[120] = 0x0D, b[121] = 0xFA;                           // M006 "PD0": code 0 is the letter D
    return b;
}

struct Expected {
    const char *key;
    const char *text;
};

// What each parameter shows after reading handBlock().
const Expected handValues[] = {
    {"Dial", "0"},    {"EndS", "#"},    {"HgUp", "09"},
    {"SwSt", "67"},   {"SwTi", "12"},   {"Pasw", "1984"},
    {"PotZ", "123*"}, {"BlPo", "0"},    {"InPo", "1"},
    {"SeVo", "1"},    {"OpNo", "3"},    {"CaPo", "6"},
    {"OpSe", "9"},    {"MaSp", "30"},   {"NoRi", "4"},
    {"TBtn", "3"},    {"THng", "5"},    {"TDia", "2"},
    {"TRep", "7"},    {"TTon", "90"},   {"TSpc", "70"},
    {"TFls", "300"},  {"TPas", "900"},  {"TVtn", "8"},
    {"TPtn", "35"},   {"M001", "0602"}, {"M002", "9999999999999999"},
    {"M003", "1#"},   {"M004", ""},     {"M005", ""},
    {"M006", "PD0"},  {"M007", "1234"}, {"M008", "*PF"},
    {"Chk1", "1"},    {"Chk2", "0"},    {"Chk3", "1"},
    {"Chk4", "0"},    {"Chk5", "0"},    {"Chk6", "1"},
    {"Chk7", "1"},    {"Chk8", "0"},    {"Nou1", "1"},
    {"Nou2", "0"},    {"TONE", "1"},    {"PoBt", "0"},
};

} // namespace

class DeviceCommandsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> folder;
    std::unique_ptr<MessageLog> log;
    std::unique_ptr<KavrSimulator> sim;
    std::unique_ptr<VirtualLine> line;
    std::unique_ptr<ProgramWindows> windows;
    TForm1 *form = nullptr;
    QStringList opened;

    QStringList messages() const { return log->messages(); }

    KavrSimOptions handOptions()
    {
        KavrSimOptions o;
        o.state.block = handBlock();
        o.state.firmware = 120;
        o.state.serialNumber = 40000;
        o.state.powerOnCount = 17;
        o.state.serviceHours = 53;
        return o;
    }

    // Starts the simulator on a pseudo-terminal and the program with COM1 on
    // it; runs the start-up and its first tick (answered No, quiet query).
    // A fast line: these runs are about the window's end of the exchanges.
    static KavrSimOptions fast(KavrSimOptions options)
    {
        options.line.baud = 38400;
        options.line.turnaroundMs = 1;
        return options;
    }
    void startSerial(const KavrSimOptions &options, const QString &setup = QString())
    {
        sim = std::make_unique<KavrSimulator>(fast(options));
        QString error;
        QVERIFY2(sim->startOnPty(&error), qPrintable(error));
        folder->writeConfig(QStringLiteral("[Setup]\nUSB=0\nCOM=1\nConfirmChanges=0\n") + setup);
        QVERIFY(PrivateProfile::writeString(folder->configPath(), "Ports", "COM1", sim->linePath()));
        startProgram();
    }

    // The communicator on a virtual line: the program's exchanges run on its
    // clock, without waiting.
    void startVirtual(const KavrSimOptions &options, bool usb = false, const QString &setup = QString())
    {
        line = std::make_unique<VirtualLine>(usb, options);
        folder->writeSetup(usb, setup);
        startProgram();
    }
    const KavrDeviceModel &device() const { return line->device.model(); }
    qsizetype bytesReceived() const { return line->sentByHost().size(); }

    void startProgram()
    {
        windows = startProgramWindows(line.get());
        form = windows->Form1;
        QVERIFY(form->isEnabled());
    }

    // Runs the action once the modal dialog shows (it runs inside a command).
    QTimer *whenShown(QWidget *dialog, std::function<void()> action)
    {
        auto *poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [poll, dialog, action] {
            if (!dialog->isVisible())
                return;
            poll->stop();
            action();
        });
        poll->start(10);
        return poll;
    }

    QLineEdit *edit(const QString &name) const { return form->findChild<QLineEdit *>(name); }

    void focusInto(QLineEdit *e)
    {
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form));
        for (int i = 0; i < form->PageControl1->count(); ++i)
            if (form->PageControl1->widget(i)->isAncestorOf(e))
                form->PageControl1->setCurrentIndex(i);
        e->setFocus(Qt::MouseFocusReason);
        QTRY_VERIFY(e->hasFocus());
    }

    QString control(const char *name) const
    {
        if (auto *e = form->findChild<QLineEdit *>(QLatin1String(name)))
            return e->text();
        if (auto *l = form->findChild<QLabel *>(QLatin1String(name)))
            return l->text();
        return QStringLiteral("<missing>");
    }

  private slots:
    void init()
    {
        folder = std::make_unique<ProgramFolder>();
        log = std::make_unique<MessageLog>();
        opened.clear();
        ShellOpen::setHook([this](const QString &t) { opened << t; });
    }
    void cleanup()
    {
        FileCommands::setDialogPlayer(nullptr);
        windows.reset(); // before the line it runs on
        line.reset();
        D2xx::setBackend(nullptr);
        sim.reset();
        ShellOpen::setHook(nullptr);
        log.reset();
        folder.reset();
    }

    // End to end over a pseudo-terminal: the program's own serial port, set
    // up for the communicator's line, and the read into every control.
    void readFillsEveryControl()
    {
        startSerial(handOptions());
        // The start-up query already brought identity and counters.
        QCOMPARE(form->FirmwareVersion, QStringLiteral("1.20"));
        QCOMPARE(control("Label22"), QStringLiteral("40000"));
        form->BitBtn4->click();
        QVERIFY2(messages().isEmpty(), qPrintable(messages().join('|')));
        for (const Expected &e : handValues)
            QVERIFY2(form->storedText(QLatin1String(e.key)) == QLatin1String(e.text),
                     qPrintable(QStringLiteral("%1: %2").arg(e.key, form->storedText(QLatin1String(e.key)))));
        QCOMPARE(control("Edit14"), QStringLiteral("53"));
        QCOMPARE(control("Edit157"), QStringLiteral("17"));
        QVERIFY(windows->Form6->AfComPort1->IsOpen());
        QVERIFY(!windows->Form6->isVisible());
        const TerminalLineSettings &dcb = windows->Form6->AfComPort1->DCB();
        QCOMPARE(dcb.BaudRate, 2400u);
        QCOMPARE(dcb.Flags, 0x1001u); // binary, RTS on, DTR control off
        QCOMPARE(int(dcb.ByteSize), 8);
        QCOMPARE(int(dcb.Parity), 0);
        QCOMPARE(int(dcb.StopBits), 0);
    }

    // The communication dialog stands modal while an exchange runs, shows
    // its progress, and Esc does not close it: both exchanges of the Read
    // run to their time limits.
    void communicationDialogFollowsTheExchange()
    {
        KavrSimOptions silent;
        silent.faults.silent = true;
        startVirtual(silent);
        QVERIFY(messages().isEmpty()); // the start-up query ended quietly
        int visibleSteps = 0;
        bool escaped = false;
        bool visibleAfterEscape = false;
        line->clock.onStep = [&] {
            if (!windows->Form6->isVisible())
                return;
            ++visibleSteps;
            QVERIFY(windows->Form6->isModal());
            if (!escaped && line->clock.now() > 1000000) {
                escaped = true;
                QTest::keyClick(windows->Form6, Qt::Key_Escape);
                visibleAfterEscape = windows->Form6->isVisible();
            }
        };
        const qint64 start = line->clock.now();
        form->BitBtn4->click();
        line->clock.onStep = nullptr;
        QVERIFY(escaped && visibleAfterEscape);
        QVERIFY(visibleSteps > 400);
        QVERIFY(!windows->Form6->isVisible());
        QCOMPARE(messages(),
                 (QStringList{QStringLiteral("Chyba komunikace  "), QStringLiteral("Chyba komunikace  ")}));
        QVERIFY(line->clock.now() - start >= 2 * 2000 * 1000);
        QCOMPARE(line->sentByHost(), QByteArray("VVRP"));
    }

    void progressBarFollowsAnAnswerInTwoParts()
    {
        KavrSimOptions options = handOptions();
        options.line.ftdiLatencyMs = 30; // the status answer comes in two parts
        startVirtual(options);
        QList<int> values;
        connect(windows->Form6->ProgressBar1, &QProgressBar::valueChanged, this,
                [&values](int v) { values << v; });
        form->StatusBar1Click();
        form->Timer1Timer();
        QVERIFY2(messages().isEmpty(), qPrintable(messages().join('|')));
        QCOMPARE(values.mid(values.indexOf(2)), (QList<int>{2, 62}));
        QVERIFY(!windows->Form6->isVisible());
        QCOMPARE(control("Label22"), QStringLiteral("40000"));
    }

    // The bar stops at its end rather than ignoring the steps beyond it: a
    // block arriving byte by byte moves it 4 a byte.
    void progressBarStopsAtItsEnd()
    {
        startVirtual(handOptions());
        QList<int> values;
        connect(windows->Form6->ProgressBar1, &QProgressBar::valueChanged, this,
                [&values](int v) { values << v; });
        form->BitBtn4->click();
        QVERIFY(values.contains(124));
        QCOMPARE(values.last(), 127);
    }

    void writeSendsExactlyTheBlock()
    {
        startVirtual(handOptions());
        form->BitBtn4->click(); // read the hand-written block
        QVERIFY(messages().isEmpty());
        form->BitBtn7->click(); // and write it straight back
        QVERIFY2(messages().isEmpty(), qPrintable(messages().join('|')));
        QCOMPARE(device().writesCompleted(), 1);
        const auto hand = handBlock();
        QCOMPARE(device().lastWrittenBlock(), QByteArray(reinterpret_cast<const char *>(hand.data()), 128));
    }

    // After the write's version query, counters that differ from the
    // communicator's are offered for confirmation; equal ones are not.
    void counterConfirmation_data()
    {
        QTest::addColumn<QString>("hours");   // Edit14 before the write
        QTest::addColumn<QString>("powerOn"); // Edit157 before the write
        QTest::addColumn<QString>("answer");  // the radio button taken, or "esc"
        QTest::addColumn<bool>("shown");
        QTest::addColumn<int>("writtenHours"); // -1: nothing written
        QTest::addColumn<int>("writtenPowerOn");
        QTest::newRow("equal: no dialog") << "53"
                                          << "17"
                                          << "" << false << 53 << 17;
        QTest::newRow("cleared count kept") << "53"
                                            << "0"
                                            << "RadioButton4" << true << 53 << 0;
        QTest::newRow("device's count taken") << "53"
                                              << "0"
                                              << "RadioButton3" << true << 53 << 17;
        QTest::newRow("hours of two digits") << "29"
                                             << "17"
                                             << "" << true << 29 << 17;
        QTest::newRow("esc ends the write") << "53"
                                            << "0"
                                            << "esc" << true << -1 << -1;
        QTest::newRow("close box ends the write") << "29"
                                                  << "17"
                                                  << "close" << true << -1 << -1;
    }
    void counterConfirmation()
    {
        QFETCH(QString, hours);
        QFETCH(QString, powerOn);
        QFETCH(QString, answer);
        QFETCH(bool, shown);
        QFETCH(int, writtenHours);
        QFETCH(int, writtenPowerOn);
        startVirtual(handOptions());
        form->setDeviceValue(DeviceValue::SvHr, hours);
        form->setDeviceValue(DeviceValue::PwOn, powerOn);
        TForm9 *dialog = windows->Form9;
        bool seen = false, hoursPanel = false, countPanel = false;
        QString offered;
        QTimer *poll = whenShown(dialog, [&] {
            seen = true;
            hoursPanel = dialog->Panel3->isVisible();
            countPanel = dialog->Panel1->isVisible();
            offered = dialog->Edit1->text();
            if (answer == "esc") {
                QTest::keyClick(dialog, Qt::Key_Escape);
                return;
            }
            if (answer == "close") {
                dialog->close();
                return;
            }
            if (!answer.isEmpty())
                dialog->findChild<QRadioButton *>(answer)->setChecked(true);
            dialog->Button1->click();
        });
        const qsizetype before = bytesReceived();
        form->BitBtn7->click();
        delete poll;
        // A write ended there says so: nothing reached the communicator.
        QCOMPARE(messages(),
                 writtenHours < 0
                     ? QStringList{QStringLiteral("Zápis byl zrušen: do komunikátoru nebylo nic zapsáno.")}
                     : QStringList());
        QCOMPARE(seen, shown);
        if (shown) {
            QCOMPARE(hoursPanel, hours != "53");
            QCOMPARE(countPanel, powerOn != "17");
            QCOMPARE(offered, hours);
        }
        if (writtenHours < 0) {
            QCOMPARE(device().writesCompleted(), 0);
            QCOMPARE(bytesReceived() - before, 1); // the version query's "V"
            return;
        }
        QCOMPARE(device().writesCompleted(), 1);
        QCOMPARE(int(device().state().powerOnCount), writtenPowerOn);
        QCOMPARE(int(device().state().serviceHours), writtenHours);
        QCOMPARE(control("Edit157"), QString::number(writtenPowerOn));
    }

    void counterPanels()
    {
        startVirtual(handOptions());
        TForm7 *actions = windows->Form7;
        // Clearing the power-on count shows 0 at once.
        QTimer *poll = whenShown(actions, [actions] { actions->Button2->click(); });
        QTest::mouseClick(form->Panel2, Qt::LeftButton);
        delete poll;
        QCOMPARE(control("Edit157"), QStringLiteral("0"));
        QCOMPARE(form->ActionTarget, QStringLiteral("citac"));
        QCOMPARE(actions->windowTitle(), QStringLiteral("Výběr akce "));

        // Enter cancels: the focus is on Storno.
        poll = whenShown(actions, [actions] { QTest::keyClick(actions->focusWidget(), Qt::Key_Return); });
        QTest::mouseClick(form->findChild<QLabel *>("Label15"), Qt::LeftButton);
        delete poll;
        QCOMPARE(form->ActionTarget, QStringLiteral("rezim"));
        QVERIFY(!form->VersionQueryRequested);
        QCOMPARE(control("Edit14"), QStringLiteral("53"));

        // Reading from the communicator brings the count back at the next tick.
        poll = whenShown(actions, [actions] { actions->Button1->click(); });
        QTest::mouseClick(form->Panel1, Qt::LeftButton);
        delete poll;
        QVERIFY(form->VersionQueryRequested);
        form->Timer1Timer();
        QCOMPARE(control("Edit157"), QStringLiteral("17"));
        QVERIFY(messages().isEmpty());
    }

    // The quiet start-up query is the only quiet one: "Načíst z vrátného"
    // with no communicator says so once its time limit has passed.
    void readFromDeviceWithNoCommunicator()
    {
        KavrSimOptions silent;
        silent.faults.silent = true;
        startVirtual(silent, false, QStringLiteral("TimeOutRS=100\n"));
        QVERIFY(messages().isEmpty());
        QCOMPARE(form->exchange().state().IdleTicks, 22); // TimeOutRS from Config.ini
        TForm7 *actions = windows->Form7;
        QTimer *poll = whenShown(actions, [actions] { actions->Button1->click(); });
        QTest::mouseClick(form->Panel2, Qt::LeftButton);
        delete poll;
        form->Timer1Timer();
        QCOMPARE(messages(), QStringList{QStringLiteral("Chyba komunikace  ")});
    }

    void portThatCannotBeOpened()
    {
        // Every port of this Config.ini names a device that does not exist.
        folder->writeConfig(QStringLiteral("[Setup]\nUSB=0\nCOM=1\n"));
        startProgram();
        // The start-up query already reported the port: quietness covers only
        // a missing answer.
        QCOMPARE(messages(), QStringList{QStringLiteral("Chybné číslo portu, prosím nastavte správné")});
        form->BitBtn4->click(); // said once more: the block is not tried after it
        QCOMPARE(messages().size(), 2);
        QVERIFY(!windows->Form6->AfComPort1->IsOpen());
        QVERIFY(!windows->Form6->isVisible());
    }

    // A click that leaves a field whose check fails runs no command: press
    // and release reach the button in one burst, before the check's message.
    void fastClickAfterFailingField_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("named"); // a current file: Save writes it without a dialog
        QTest::newRow("write") << "Edit144"
                               << "739"
                               << "BitBtn7" << false;
        QTest::newRow("save") << "Edit140"
                              << "4"
                              << "BitBtn2" << true;
        QTest::newRow("save as") << "Edit140"
                                 << "4"
                                 << "BitBtn2" << false;
    }
    void fastClickAfterFailingField()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, button);
        QFETCH(bool, named);
        startVirtual(handOptions());
        int dialogs = 0;
        FileCommands::setDialogPlayer([&](const FileCommands::DialogRequest &) {
            ++dialogs;
            return folder->file("chosen.kvr");
        });
        if (named)
            form->CurrentFile = folder->file("current.kvr");
        QLineEdit *e = edit(field);
        focusInto(e);
        e->setText(text);
        const qsizetype before = bytesReceived();
        QTest::mouseClick(form->findChild<QToolButton *>(button), Qt::LeftButton);
        QTRY_COMPARE(messages().size(), 1);
        QTRY_VERIFY(e->hasFocus());
        // A command the click let through would have run by now, inside the
        // click (the line's clock is virtual); a few more passes of the event
        // loop for anything it queued.
        QTest::qWait(30);
        QCOMPARE(messages().size(), 1);
        QCOMPARE(bytesReceived(), before);
        QCOMPARE(dialogs, 0);
        QVERIFY(!QFileInfo::exists(folder->file("current.kvr")));
        QVERIFY(!QFileInfo::exists(folder->file("chosen.kvr")));
        QCOMPARE(e->text(), text);
    }

    // The menu does not run the check of the field it leaves, and files are
    // loaded unchecked: the write itself refuses what the communicator would
    // take wrongly.
    void writeRefusesUncheckedValues_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("loaded"); // else typed, then the menu
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("page");
        QTest::newRow("typed tone 990") << "TTon"
                                        << "990" << false << "Edit152" << 2;
        QTest::newRow("loaded 300 repeats") << "OpNo"
                                            << "300" << true << "Edit116" << 1;
        QTest::newRow("loaded one-digit code") << "HgUp"
                                               << "1" << true << "Edit140" << 0;
    }
    void writeRefusesUncheckedValues()
    {
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(bool, loaded);
        QFETCH(QString, field);
        QFETCH(int, page);
        startVirtual(handOptions());
        if (loaded) {
            MemoryRecord saved;
            saved.setStoredText(key, text);
            const QString path = folder->file("loaded.kvr");
            QVERIFY(SettingsFile::write(path, saved));
            FileCommands::setDialogPlayer([path](const FileCommands::DialogRequest &) { return path; });
            form->BitBtn1->click();
            form->PageControl1->setCurrentIndex(3);
        } else {
            focusInto(edit(field));
            edit(field)->selectAll();
            QTest::keyClicks(edit(field), text);
        }
        QCOMPARE(form->storedText(key), text);
        const qsizetype before = bytesReceived();
        form->findChild<QAction *>("Ulotnastaven1")->trigger();
        QCOMPARE(messages().size(), 1);
        QVERIFY2(messages()[0].startsWith(QStringLiteral("Nastavení nelze zapsat: pole „")),
                 qPrintable(messages()[0]));
        QVERIFY2(messages()[0].contains(QStringLiteral("„%1“").arg(text)), qPrintable(messages()[0]));
        QCOMPARE(bytesReceived(), before);
        QCOMPARE(form->PageControl1->currentIndex(), page);
        QCOMPARE(form->focusWidget(), edit(field));
    }

    void correctedValueStillWrites()
    {
        startVirtual(handOptions());
        QLineEdit *tone = edit("Edit152");
        focusInto(tone);
        tone->selectAll();
        QTest::keyClicks(tone, "95");
        QTest::keyClick(tone, Qt::Key_Tab);
        QCOMPARE(tone->text(), QStringLiteral("100"));
        form->findChild<QAction *>("Ulotnastaven1")->trigger();
        QVERIFY2(messages().isEmpty(), qPrintable(messages().join('|')));
        QCOMPARE(device().writesCompleted(), 1);
        QCOMPARE(quint8(device().lastWrittenBlock().at(7)), quint8(0xAA));
    }

    void invalidFieldStopsTheWriteBeforeAnyByte()
    {
        startVirtual(handOptions());
        const qsizetype before = bytesReceived();
        form->setStoredText("NoRi", "x");
        form->BitBtn7->click();
        QCOMPARE(messages().size(), 1);
        QVERIFY2(messages()[0].contains(QStringLiteral("Počet zazvonění")), qPrintable(messages()[0]));
        QVERIFY(messages()[0].contains(QStringLiteral("x")));
        QCOMPARE(bytesReceived(), before);
        QCOMPARE(form->focusWidget() ? form->focusWidget()->objectName() : QString(),
                 QStringLiteral("Edit146"));
    }

    void readAndWriteOverUsb()
    {
        startVirtual(handOptions(), true);
        QCOMPARE(form->exchange().usb().UsbState, QStringLiteral("OK"));
        form->BitBtn4->click();
        QVERIFY2(messages().isEmpty(), qPrintable(messages().join('|')));
        for (const Expected &e : handValues)
            QVERIFY2(form->storedText(QLatin1String(e.key)) == QLatin1String(e.text), e.key);
        form->BitBtn7->click();
        QVERIFY2(messages().isEmpty(), qPrintable(messages().join('|')));
        const auto hand = handBlock();
        QCOMPARE(device().lastWrittenBlock(), QByteArray(reinterpret_cast<const char *>(hand.data()), 128));
        form->Timer1Timer();
        QCOMPARE(form->StatusBar1->panelText(0), QStringLiteral("USB:OK"));
    }

    // The cable pulled out in the middle of a write: the communication
    // error, nothing stored; the next command finds no cable.
    void cablePulledOutMidWrite()
    {
        startVirtual(handOptions(), true);
        line->device.mangle = [this](int dataByte, const QByteArray &answer) {
            if (dataByte == 60)
                line->cable->setPlugged(false);
            return answer;
        };
        form->BitBtn7->click();
        QCOMPARE(messages().size(), 1);
        QVERIFY2(messages()[0].startsWith(QStringLiteral("Chyba komunikace  ")), qPrintable(messages()[0]));
        QCOMPARE(device().writesCompleted(), 0);
        QVERIFY(!windows->Form6->isVisible());
        form->BitBtn4->click();
        QCOMPARE(messages().last(), QStringLiteral("Chyba komunikace"));
        form->Timer1Timer();
        QCOMPARE(form->StatusBar1->panelText(0), QStringLiteral("USB:--"));
    }

    void absentCableReportsCommunicationError()
    {
        startVirtual(handOptions(), true);
        line->cable->setPlugged(false);
        form->exchange().usb().release();
        form->BitBtn4->click();
        QCOMPARE(messages(), QStringList{QStringLiteral("Chyba komunikace")});
        QCOMPARE(form->exchange().usb().UsbState, QStringLiteral("--"));
        form->StatusBar1Click();
        QCOMPARE(messages().size(), 2);
        QVERIFY(!form->VersionQueryRequested);
    }

    // Help shows a plain page of the program folder in the program's own
    // window, the shipped Czech page by default; any other name, or none,
    // is a missing help file. News hands its web address to the desktop.
    void helpAndNews()
    {
        startVirtual(handOptions());
        windows->HelpAndTools->help();
        folder->touch(QStringLiteral("Tessaro-CZ.HLP"));
        LanguageTexts::setText(QStringLiteral("OTHER"), 37, QStringLiteral("Tessaro-CZ.HLP"));
        windows->HelpAndTools->help();
        LanguageTexts::setText(QStringLiteral("OTHER"), 37, QString());
        windows->HelpAndTools->help();
        LanguageTexts::resetToDefaults();
        QCOMPARE(messages(), QStringList(3, QStringLiteral("Nenalezl soubor nápovědy")));
        QVERIFY(!windows->HelpAndTools->helpWindow());

        QVERIFY(QFile::copy(QStringLiteral(TESSARO_FIXTURES "/../../assets/program/Tessaro-CZ.html"),
                            folder->file(QStringLiteral("Tessaro-CZ.html"))));
        windows->HelpAndTools->help();
        QCOMPARE(messages().size(), 3);
        HelpWindow *help = windows->HelpAndTools->helpWindow();
        QVERIFY(help && help->isVisible());
        QCOMPARE(help->Browser->source(),
                 QUrl::fromLocalFile(folder->file(QStringLiteral("Tessaro-CZ.html"))));

        windows->HelpAndTools->news();
        LanguageTexts::setText(QStringLiteral("OTHER"), 53, QStringLiteral("file:///etc/passwd"));
        windows->HelpAndTools->news();
        LanguageTexts::resetToDefaults();
        QCOMPARE(opened, QStringList{QStringLiteral("https://www.kavrotech.example/kavr/novinky")});
        QCOMPARE(messages().size(), 3);
    }
};

QTEST_MAIN(DeviceCommandsTest)
#include "tst_devicecommands.moc"
