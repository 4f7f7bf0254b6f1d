// Read, Write and the other device commands of the main window, through the
// real buttons, against the communicator simulator on a pseudo-terminal and
// on the simulated USB cable.

#include "app/DeviceCommands.h"
#include "app/FileCommands.h"
#include "app/KAVR10.h"
#include "app/ProgramWindows.h"
#include "app/StatusPanels.h"
#include "app_helper.h"
#include "device/Dotaz.h"
#include "device/Hlaseni.h"
#include "device/SerPort.h"
#include "device/Zobraz.h"
#include "lang/LanguageTexts.h"
#include "platform/D2xx.h"
#include "platform/PrivateProfile.h"
#include "platform/ShellOpen.h"
#include "serial/AfComPort.h"
#include "settings/MemoryRecord.h"
#include "settings/SettingsFile.h"

#include "KavrSimulator.h"
#include "SimulatedD2xx.h"

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

#include <QTimer>
#include <QToolButton>
#include <atomic>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

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
    std::shared_ptr<SimulatedD2xx> cable;
    std::unique_ptr<ProgramWindows> windows;
    TForm1 *form = nullptr;
    QStringList opened;

    QStringList messages() const
    {
        QStringList out;
        for (const auto &s : log->shown)
            if (!s.question)
                out << s.text;
        return out;
    }

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
    void startSerial(const KavrSimOptions &options, const QString &setup = QString())
    {
        sim = std::make_unique<KavrSimulator>(options);
        QString error;
        QVERIFY2(sim->startOnPty(&error), qPrintable(error));
        folder->writeConfig(QStringLiteral("[Setup]\nUSB=0\nCOM=1\n") + setup);
        QVERIFY(PrivateProfile::writeString(folder->configPath(), "Ports", "COM1", sim->linePath()));
        startProgram();
    }

    void startUsb(const KavrSimOptions &options)
    {
        sim = std::make_unique<KavrSimulator>(options);
        auto line = sim->startOnCable();
        QVERIFY(line);
        cable = std::make_shared<SimulatedD2xx>();
        cable->attachLine(line);
        D2xx::setBackend(cable);
        folder->writeConfig(QStringLiteral("[Setup]\nUSB=1\nCOM=1\n"));
        startProgram();
    }

    void startProgram()
    {
        windows = std::make_unique<ProgramWindows>();
        form = windows->Form1;
        form->Timer1->stop(); // ticks are run by hand
        form->show();
        form->Timer1Timer(); // the first tick: question, then the quiet version query
        form->Timer1->stop();
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
        windows.reset();
        D2xx::setBackend(nullptr);
        cable.reset();
        sim.reset();
        ShellOpen::setHook(nullptr);
        log.reset();
        folder.reset();
    }

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
    }

    void serialPortRunsAt2400WithDtrOff()
    {
        startSerial(handOptions());
        const TerminalLineSettings &dcb = windows->Form6->AfComPort1->DCB();
        QCOMPARE(dcb.BaudRate, 2400u);
        QCOMPARE(dcb.Flags, 0x1001u); // binary, RTS on, DTR control off
        QCOMPARE(int(dcb.ByteSize), 8);
        QCOMPARE(int(dcb.Parity), 0);
        QCOMPARE(int(dcb.StopBits), 0);
    }

    void escapeDoesNotCancelAnExchange()
    {
        KavrSimOptions silent;
        silent.faults.silent = true;
        startSerial(silent);
        bool visibleAfterEscape = false;
        QTimer::singleShot(200, this, [this, &visibleAfterEscape] {
            QTest::keyClick(windows->Form6, Qt::Key_Escape);
            visibleAfterEscape = windows->Form6->isVisible();
        });
        const long long before = sim->bytesReceived();
        QElapsedTimer t;
        t.start();
        form->BitBtn4->click();
        QVERIFY(visibleAfterEscape);
        // Both exchanges ran to their own time limits, one after the other.
        QCOMPARE(messages().size(), 2);
        QVERIFY(t.elapsed() >= 2 * 2000);
        QCOMPARE(sim->bytesReceived() - before, 3);
    }

    void writeSendsExactlyTheBlock()
    {
        startSerial(handOptions());
        form->BitBtn4->click(); // read the hand-written block
        QVERIFY(messages().isEmpty());
        form->BitBtn7->click(); // and write it straight back
        QVERIFY2(messages().isEmpty(), qPrintable(messages().join('|')));
        QCOMPARE(sim->writesCompleted(), 1);
        const auto hand = handBlock();
        QCOMPARE(sim->lastWrittenBlock(), QByteArray(reinterpret_cast<const char *>(hand.data()), 128));
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
    }
    void counterConfirmation()
    {
        QFETCH(QString, hours);
        QFETCH(QString, powerOn);
        QFETCH(QString, answer);
        QFETCH(bool, shown);
        QFETCH(int, writtenHours);
        QFETCH(int, writtenPowerOn);
        startSerial(handOptions());
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
            if (!answer.isEmpty())
                dialog->findChild<QRadioButton *>(answer)->setChecked(true);
            dialog->Button1->click();
        });
        const long long before = sim->bytesReceived();
        form->BitBtn7->click();
        delete poll;
        QVERIFY2(messages().isEmpty(), qPrintable(messages().join('|')));
        QCOMPARE(seen, shown);
        if (shown) {
            QCOMPARE(hoursPanel, hours != "53");
            QCOMPARE(countPanel, powerOn != "17");
            QCOMPARE(offered, hours);
        }
        if (writtenHours < 0) {
            QCOMPARE(sim->writesCompleted(), 0);
            QCOMPARE(sim->bytesReceived() - before, 1); // the version query's "V"
            return;
        }
        QCOMPARE(sim->writesCompleted(), 1);
        QCOMPARE(int(sim->state().powerOnCount), writtenPowerOn);
        QCOMPARE(int(sim->state().serviceHours), writtenHours);
        QCOMPARE(control("Edit157"), QString::number(writtenPowerOn));
    }

    void counterPanels()
    {
        startSerial(handOptions());
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

    void readFromDeviceWithNoCommunicator()
    {
        KavrSimOptions silent;
        silent.faults.silent = true;
        startSerial(silent);
        TForm7 *actions = windows->Form7;
        QTimer *poll = whenShown(actions, [actions] { actions->Button1->click(); });
        QTest::mouseClick(form->Panel2, Qt::LeftButton);
        delete poll;
        form->Timer1Timer();
        QCOMPARE(messages(), QStringList{QStringLiteral("Chyba komunikace  ")});
    }

    void firstExchangeQuietLaterOneLoud()
    {
        KavrSimOptions silent;
        silent.faults.silent = true;
        startSerial(silent);
        QVERIFY(messages().isEmpty());
        form->StatusBar1Click();
        QVERIFY(form->VersionQueryRequested);
        form->Timer1Timer();
        QCOMPARE(messages(), QStringList{QStringLiteral("Chyba komunikace  ")});
    }

    void versionQueryInTwoPartsMovesTheProgressBar()
    {
        // The far side is played here: the answer goes out in two pieces.
        const int master = posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0);
        QVERIFY(grantpt(master) == 0 && unlockpt(master) == 0);
        termios raw{};
        tcgetattr(master, &raw);
        cfmakeraw(&raw);
        tcsetattr(master, TCSANOW, &raw);
        folder->writeConfig(QStringLiteral("[Setup]\nUSB=0\nCOM=1\n"));
        QVERIFY(PrivateProfile::writeString(folder->configPath(), "Ports", "COM1",
                                            QString::fromLocal8Bit(ptsname(master))));
        std::atomic<bool> stop{false};
        std::thread device([master, &stop] {
            const QByteArray answer("V\x78U\x07N\x01\x02S\x05\x01", 10);
            while (!stop) {
                pollfd p{master, POLLIN, 0};
                if (poll(&p, 1, 20) <= 0)
                    continue;
                char c = 0;
                if (read(master, &c, 1) != 1)
                    continue;
                if (c != 'V')
                    continue;
                (void)!write(master, answer.constData(), 6);
                std::this_thread::sleep_for(std::chrono::milliseconds(80));
                (void)!write(master, answer.constData() + 6, 4);
            }
        });
        startProgram(); // the start-up query is answered in two pieces too
        QList<int> values;
        connect(windows->Form6->ProgressBar1, &QProgressBar::valueChanged, this,
                [&values](int v) { values << v; });
        form->StatusBar1Click();
        form->Timer1Timer();
        stop = true;
        device.join();
        close(master);
        QVERIFY2(messages().isEmpty(), qPrintable(messages().join('|')));
        QCOMPARE(values.mid(values.indexOf(2)), (QList<int>{2, 62}));
        QVERIFY(!windows->Form6->isVisible());
        QCOMPARE(control("Label22"), QStringLiteral("258"));
        QCOMPARE(form->FirmwareVersion, QStringLiteral("1.20"));
    }

    void timeOutTicksFollowTimeOutRS_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("ticks");
        QTest::newRow("TimeOutRS 10") << "TimeOutRS=10\n" << 202;
        QTest::newRow("TimeOutRS 100") << "TimeOutRS=100\n" << 22;
    }
    void timeOutTicksFollowTimeOutRS()
    {
        QFETCH(QString, setup);
        QFETCH(int, ticks);
        KavrSimOptions silent;
        silent.faults.silent = true;
        startSerial(silent, setup);
        QCOMPARE(windows->Commands->engine().IdleTicks, ticks); // the quiet start-up query
        QVERIFY(messages().isEmpty());
    }

    void readGoesOnAfterTimedOutQueryWriteDoesNot()
    {
        KavrSimOptions silent;
        silent.faults.silent = true;
        startSerial(silent);
        const long long before = sim->bytesReceived(); // the start-up "V"
        form->BitBtn4->click();
        QCOMPARE(sim->bytesReceived() - before, 3); // "V", then "R" "P"
        QCOMPARE(messages().size(), 2);
        form->BitBtn7->click();
        QCOMPARE(sim->bytesReceived() - before, 4); // only the query's "V"
        QCOMPARE(messages().size(), 3);
    }

    void wrongMarkerShowsMessageOnce()
    {
        KavrSimOptions options = handOptions();
        options.faults.wrongMarker = true;
        startSerial(options);
        form->BitBtn4->click();
        QCOMPARE(messages(), QStringList{QStringLiteral("Obsah paměti není správný")});
        QCOMPARE(form->storedText("NoRi"), QStringLiteral("4"));
    }

    void portThatCannotBeOpened()
    {
        // Every port of this Config.ini names a device that does not exist.
        folder->writeConfig(QStringLiteral("[Setup]\nUSB=0\nCOM=1\n"));
        startProgram();
        // The start-up query already reported the port: quietness covers only
        // a missing answer.
        QCOMPARE(messages(), QStringList{QStringLiteral("Chybné číslo portu, prosím nastavte správné")});
        form->BitBtn4->click(); // the query and the read both report it
        QCOMPARE(messages().size(), 3);
        QVERIFY(!windows->Form6->AfComPort1->IsOpen());
    }

    void closePortClosesAfterEveryExchange()
    {
        startSerial(handOptions(), QStringLiteral("ClosePort=1\n"));
        QVERIFY(!windows->Form6->AfComPort1->IsOpen());
        form->BitBtn4->click();
        QVERIFY(messages().isEmpty());
        QVERIFY(!windows->Form6->AfComPort1->IsOpen());
        QCOMPARE(form->storedText("Pasw"), QStringLiteral("1984"));
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
        startSerial(handOptions());
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
        const long long before = sim->bytesReceived();
        QTest::mouseClick(form->findChild<QToolButton *>(button), Qt::LeftButton);
        QTRY_COMPARE(messages().size(), 1);
        QTRY_VERIFY(e->hasFocus());
        QTest::qWait(300);
        QCOMPARE(messages().size(), 1);
        QCOMPARE(sim->bytesReceived(), before);
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
        startSerial(handOptions());
        if (loaded) {
            MemoryRecord saved;
            saved.setStoredText(key, text);
            const QString path = folder->file("loaded.kvr");
            QVERIFY(!SettingsFile::write(path, saved));
            FileCommands::setDialogPlayer([path](const FileCommands::DialogRequest &) { return path; });
            form->BitBtn1->click();
            form->PageControl1->setCurrentIndex(3);
        } else {
            focusInto(edit(field));
            edit(field)->selectAll();
            QTest::keyClicks(edit(field), text);
        }
        QCOMPARE(form->storedText(key), text);
        const long long before = sim->bytesReceived();
        form->findChild<QAction *>("Ulotnastaven1")->trigger();
        QCOMPARE(messages().size(), 1);
        QVERIFY2(messages()[0].startsWith(QStringLiteral("Nastavení nelze zapsat: pole „")),
                 qPrintable(messages()[0]));
        QVERIFY2(messages()[0].contains(QStringLiteral("„%1“").arg(text)), qPrintable(messages()[0]));
        QCOMPARE(sim->bytesReceived(), before);
        QCOMPARE(form->PageControl1->currentIndex(), page);
        QCOMPARE(form->focusWidget(), edit(field));
    }

    void correctedValueStillWrites()
    {
        startSerial(handOptions());
        QLineEdit *tone = edit("Edit152");
        focusInto(tone);
        tone->selectAll();
        QTest::keyClicks(tone, "95");
        QTest::keyClick(tone, Qt::Key_Tab);
        QCOMPARE(tone->text(), QStringLiteral("100"));
        form->findChild<QAction *>("Ulotnastaven1")->trigger();
        QVERIFY2(messages().isEmpty(), qPrintable(messages().join('|')));
        QCOMPARE(sim->writesCompleted(), 1);
        QCOMPARE(quint8(sim->lastWrittenBlock().at(7)), quint8(0xAA));
    }

    void invalidFieldStopsTheWriteBeforeAnyByte()
    {
        startSerial(handOptions());
        const long long before = sim->bytesReceived();
        form->setStoredText("NoRi", "x");
        form->BitBtn7->click();
        QCOMPARE(messages().size(), 1);
        QVERIFY2(messages()[0].contains(QStringLiteral("Počet zazvonění")), qPrintable(messages()[0]));
        QVERIFY(messages()[0].contains(QStringLiteral("x")));
        QCOMPARE(sim->bytesReceived(), before);
        QCOMPARE(form->focusWidget() ? form->focusWidget()->objectName() : QString(),
                 QStringLiteral("Edit146"));
    }

    void readAndWriteOverUsb()
    {
        startUsb(handOptions());
        QCOMPARE(form->UsbState, QStringLiteral("OK"));
        form->BitBtn4->click();
        QVERIFY2(messages().isEmpty(), qPrintable(messages().join('|')));
        for (const Expected &e : handValues)
            QVERIFY2(form->storedText(QLatin1String(e.key)) == QLatin1String(e.text), e.key);
        form->BitBtn7->click();
        QVERIFY2(messages().isEmpty(), qPrintable(messages().join('|')));
        const auto hand = handBlock();
        QCOMPARE(sim->lastWrittenBlock(), QByteArray(reinterpret_cast<const char *>(hand.data()), 128));
        form->Timer1Timer();
        QCOMPARE(form->StatusBar1->panelText(0), QStringLiteral("USB:OK"));
    }

    void failedUsbSendShowsTheMessage()
    {
        startUsb(handOptions());
        QTimer::singleShot(150, this, [this] { cable->setWritesFail(true); });
        form->BitBtn7->click();
        QCOMPARE(messages().size(), 1);
        QVERIFY2(messages()[0].startsWith(QStringLiteral("Chyba komunikace  ")), qPrintable(messages()[0]));
        QCOMPARE(sim->writesCompleted(), 0);
    }

    void absentCableReportsCommunicationError()
    {
        startUsb(handOptions());
        cable->setPlugged(false);
        windows->Commands->usb().release();
        form->BitBtn4->click();
        QCOMPARE(messages(), QStringList{QStringLiteral("Chyba komunikace")});
        QCOMPARE(form->UsbState, QStringLiteral("--"));
        form->StatusBar1Click();
        QCOMPARE(messages().size(), 2);
        QVERIFY(!form->VersionQueryRequested);
    }

    void helpAndNews()
    {
        startSerial(handOptions());
        windows->Commands->help();
        QCOMPARE(messages(), QStringList{QStringLiteral("Nenalezl soubor nápovědy")});
        folder->touch(QStringLiteral("Tessaro-CZ.HLP"));
        windows->Commands->help();
        QCOMPARE(opened, QStringList{folder->file(QStringLiteral("Tessaro-CZ.HLP"))});
        windows->Commands->news();
        QCOMPARE(opened.size(), 2);
        QVERIFY(opened[1].startsWith(QStringLiteral("https://")));
        // A language that names no help file gets the message, not the
        // program folder opened.
        LanguageTexts::setText(QStringLiteral("OTHER"), 37, QString());
        windows->Commands->help();
        LanguageTexts::resetToDefaults();
        QCOMPARE(opened.size(), 2);
        QCOMPARE(messages().size(), 2);
        QCOMPARE(messages().last(), QStringLiteral("Nenalezl soubor nápovědy"));
    }
};

QTEST_MAIN(DeviceCommandsTest)
#include "tst_devicecommands.moc"
