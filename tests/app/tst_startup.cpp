// The main window's life cycle: start-up sequence, Config.ini, language menu,
// command line, main timer ticks, status bar clicks and the close.

#include "app/FileCommands.h"
#include "app/KAVR10.h"
#include "app/ProgramWindows.h"
#include "app/SerPort.h"
#include "app/StatusPanels.h"
#include "app/Uvod.h"
#include "app/Zobraz.h"
#include "app_helper.h"
#include "device/ExchangeService.h"
#include "device/UsbLink.h"
#include "device/UsbTransport.h"
#include "lang/LanguageTexts.h"
#include "platform/D2xx.h"
#include "platform/ProgramConfig.h"
#include "platform/ProgramVersion.h"
#include "serial/AfComPort.h"
#include "settings/MemoryRecord.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsPrintout.h"

#include "sim/SimulatedD2xx.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

namespace
{

const QString infoSection = QStringLiteral("[Info]\n"
                                           "ClosePort=1 - If you have any problem with the serial port, "
                                           "write to \"Setup\" record : ClosePort=1 , port "
                                           "will be close and open for every action\n"
                                           "TimeOutRS=10 - If you have any problem with the serial port, "
                                           "write to \"Setup\" record : TimeOutRS=n , n is "
                                           "timeout of serial port in milisecond, default is n = 10\n");

} // namespace

class StartupTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> folder;
    std::unique_ptr<MessageLog> log;
    std::unique_ptr<ProgramWindows> windows;
    TForm1 *form = nullptr;
    QList<FileCommands::DialogRequest> dialogs;

    // Creates the windows and shows the main window, which runs the start-up.
    void start(std::optional<QString> argument = std::nullopt)
    {
        windows = std::make_unique<ProgramWindows>();
        form = windows->Form1;
        form->Timer1->stop(); // ticks are run by hand
        form->clock = [] { return QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7)); };
        form->setCommandLineArgument(argument);
        form->show();
    }

  private slots:
    void init()
    {
        folder = std::make_unique<ProgramFolder>();
        log = std::make_unique<MessageLog>();
        dialogs.clear();
        // Every file dialog is cancelled, and remembered.
        FileCommands::setDialogPlayer([this](const FileCommands::DialogRequest &r) {
            dialogs << r;
            return QString();
        });
    }
    void cleanup()
    {
        FileCommands::setDialogPlayer(nullptr);
        windows.reset();
        LanguageTexts::resetToDefaults(); // a fresh program has loaded no file
        log.reset();
        folder.reset();
    }

    void configCreatedWhenMissing()
    {
        start();
        QCOMPARE(folder->readConfig(),
                 infoSection + QStringLiteral("[-]\n-=-\n[Setup]\nUSB=0\nCOM=1\nLang=Cesky.lng\n"));
        QCOMPARE(form->comNumber(), 1);
        QCOMPARE(form->LanguageFile, folder->file("Cesky.lng"));
        QCOMPARE(form->exchange().options().ClosePort, QStringLiteral("0"));
        QCOMPARE(form->exchange().options().TimeOutRS, 10);
        QVERIFY(log->shown.isEmpty());
    }

    void configReadBack_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("com");
        QTest::addColumn<bool>("usb");
        QTest::addColumn<QString>("lang");
        QTest::addColumn<QString>("closePort");
        QTest::addColumn<int>("timeOut");
        QTest::addColumn<int>("pollInterval");
        QTest::newRow("no keys: defaults") << "" << 1 << false << "Cesky.lng"
                                           << "0" << 10 << 10;
        QTest::newRow("hexadecimal 0x14") << "TimeOutRS=0x14\n"
                                          << 1 << false << "Cesky.lng"
                                          << "0" << 20 << 20;
        QTest::newRow("hexadecimal $1E") << "TimeOutRS=$1E\n"
                                         << 1 << false << "Cesky.lng"
                                         << "0" << 30 << 30;
        QTest::newRow("all set") << "COM=3\nUSB=1\nLang=English.lng\nClosePort=1\nTimeOutRS=40\n"
                                 << 3 << true << "English.lng"
                                 << "1" << 40 << 5;
        QTest::newRow("USB other than 1") << "USB=2\nCOM=12\n"
                                          << 12 << false << "Cesky.lng"
                                          << "0" << 10 << 10;
        QTest::newRow("unreadable numbers") << "COM=three\nTimeOutRS=fast\n"
                                            << 1 << false << "Cesky.lng"
                                            << "0" << 10 << 10;
        QTest::newRow("names ignore case") << "com=4\nlang=Deutsch.lng\n"
                                           << 4 << false << "Deutsch.lng"
                                           << "0" << 10 << 10;
        QTest::newRow("write paced by ticks") << "WriteOnTick=1\n"
                                              << 1 << false << "Cesky.lng"
                                              << "0" << 10 << 10;
        QTest::newRow("zero time-out polls every 10 ms") << "TimeOutRS=0\n"
                                                         << 1 << false << "Cesky.lng"
                                                         << "0" << 0 << 10;
    }
    void configReadBack()
    {
        QFETCH(QString, setup);
        QFETCH(int, com);
        QFETCH(bool, usb);
        QFETCH(QString, lang);
        QFETCH(QString, closePort);
        QFETCH(int, timeOut);
        QFETCH(int, pollInterval);
        folder->writeConfig(QStringLiteral("[Setup]\n") + setup);
        folder->touch(lang);
        const QString before = folder->readConfig();
        start();
        QCOMPARE(form->comNumber(), com);
        QCOMPARE(windows->Form5->CheckBox1->isChecked(), usb);
        QCOMPARE(form->LanguageFile, folder->file(lang));
        const ExchangeOptions &options = form->exchange().options();
        QCOMPARE(options.ClosePort, closePort);
        QCOMPARE(options.TimeOutRS, timeOut);
        QCOMPARE(options.WriteOnTick, setup.contains(QLatin1String("WriteOnTick=1")));
        QCOMPARE(usb ? UsbTransport::PollMs : options.serialInterval(), pollInterval);
        QCOMPARE(folder->readConfig(), before); // reading writes nothing
    }

    void usbFromConfigRunsTheBoxReaction()
    {
        folder->writeConfig(QStringLiteral("[Setup]\nUSB=1\n"));
        windows = std::make_unique<ProgramWindows>();
        QSignalSpy reaction(windows->Form5, &TForm5::usbChoiceChanged);
        windows->Form1->Timer1->stop();
        windows->Form1->show();
        QCOMPARE(reaction.size(), 1);
        QCOMPARE(reaction.at(0).at(0).toBool(), true);
    }

    void closeRewritesInPlace()
    {
        folder->writeConfig(
            QStringLiteral("; kept by hand\n[Setup]\nClosePort=1\nCOM=2\nTimeOutRS=0x14\nLang=Cesky.lng\n"
                           "USB=0\n"));
        start();
        form->setComNumber(5);
        form->LanguageFile = folder->file("English.lng");
        log->answers = {false};
        QVERIFY(form->close());
        const QString text = folder->readConfig();
        QVERIFY2(
            text.startsWith(QStringLiteral("; kept by hand\n[Setup]\nClosePort=1\nCOM=5\nTimeOutRS=0x14\n"
                                           "Lang=English.lng\nUSB=0\n[Ports]\n")),
            qPrintable(text));
        QVERIFY(text.endsWith(infoSection + QStringLiteral("[-]\n-=-\n")));
        QCOMPARE(
            text.split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^ClosePort="))).size(),
            2); // Setup's own and the Info text, nothing added
    }

    void closeWritesIntoTheCurrentDirectory()
    {
        folder->writeConfig(QStringLiteral("[Setup]\nCOM=2\n"));
        start();
        windows->Form5->setUsbChecked(true);
        QTemporaryDir elsewhere;
        QDir::setCurrent(elsewhere.path());
        QVERIFY(form->close());
        QFile moved(elsewhere.filePath("Config.ini"));
        QVERIFY(moved.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(moved.readAll()),
                 infoSection + QStringLiteral("[-]\n-=-\n[Setup]\nUSB=1\nCOM=2\nLang=Cesky.lng\n"));
        QVERIFY(folder->readConfig().contains(QStringLiteral("COM=2\n[Ports]"))); // the old one untouched
    }

    void closeAsksToSave_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }
    void closeAsksToSave()
    {
        QFETCH(bool, answer);
        folder->writeConfig(QString());
        QVERIFY(SettingsFile::write(folder->file("lift.kvr"), MemoryRecord()));
        start(folder->file("lift.kvr"));
        QSignalSpy saveAs(form, &TForm1::saveAsRequested);
        QSignalSpy port(form, &TForm1::closingPort);
        log->answers = {answer};
        QVERIFY(form->close());
        QCOMPARE(log->shown.size(), 1);
        QCOMPARE(log->shown[0].text, QStringLiteral("Chcete uložit data s nastavením?"));
        QCOMPARE(log->shown[0].title, QStringLiteral("Uložit soubor"));
        QVERIFY(log->shown[0].question);
        QCOMPARE(form->SaveAsOnClose, answer);
        QCOMPARE(saveAs.size(), answer ? 1 : 0);
        QCOMPARE(dialogs.size(), answer ? 1 : 0);
        if (answer) {
            QVERIFY(dialogs[0].save);
            QCOMPARE(dialogs[0].fileName, form->CurrentFile);
        }
        QCOMPARE(port.size(), 1);
        QVERIFY(!windows->Form6->AfComPort1->IsOpen());
        QVERIFY(folder->readConfig().contains(QStringLiteral("[Setup]\nUSB=0\nCOM=1\nLang=Cesky.lng\n")));
    }

    void refusedConfigWriteIsReported()
    {
        // A directory where the file should be: every write is refused.
        QVERIFY(QDir(folder->path()).mkdir(QStringLiteral("Config.ini")));
        start();
        QCOMPARE(form->comNumber(), 1);
        QVERIFY(form->close());
        QCOMPARE(log->shown.last().text, QStringLiteral("Unable to write to %1").arg(folder->configPath()));
        QVERIFY(QFileInfo(folder->configPath()).isDir());
    }

    void languageMenu_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("entries");
        QTest::newRow("none") << QStringList{"notes.txt"} << 0;
        QTest::newRow("one") << QStringList{"Cesky.lng"} << 1;
        QTest::newRow("either case") << QStringList{"Cesky.lng", "English.LNG", "readme.txt"} << 2;
        QStringList twelve;
        for (int i = 0; i < 12; ++i)
            twelve << QStringLiteral("Lang%1.LNG").arg(i, 2, 10, QLatin1Char('0'));
        QTest::newRow("twelve") << twelve << 11;
    }
    void languageMenu()
    {
        QFETCH(QStringList, files);
        QFETCH(int, entries);
        folder->writeConfig(QString());
        QVERIFY(QFile::remove(folder->file("Cesky.lng")));
        for (const QString &f : files)
            folder->touch(f);
        start();
        QCOMPARE(form->LanguageFiles.size(), entries);
        for (int k = 0; k < 11; ++k) {
            QAction *entry = form->languageEntries[k];
            QCOMPARE(entry->isVisible(), k < std::max(entries, 1));
            if (k >= entries)
                continue;
            const QString path = form->LanguageFiles[k];
            QCOMPARE(QFileInfo(path).absolutePath(), folder->path());
            QVERIFY(files.contains(QFileInfo(path).fileName()));
            QCOMPARE(SettingsPrintout::withoutHotkey(entry->text()), QFileInfo(path).fileName().chopped(4));
        }
        if (entries == 0)
            QCOMPARE(SettingsPrintout::withoutHotkey(form->languageEntries[0]->text()),
                     QStringLiteral("None"));
        if (entries == 1)
            QCOMPARE(SettingsPrintout::withoutHotkey(form->languageEntries[0]->text()),
                     QStringLiteral("Cesky"));
    }

    void commandLine_data()
    {
        QTest::addColumn<std::optional<QString>>("argument");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("currentFile");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("filePanel");
        const QString none;
        QTest::newRow("no argument") << std::optional<QString>() << none << "" << false << 0 << "Soubor: ";
        QTest::newRow("short name") << std::optional<QString>("A.KVR") << "Nebyl vybrán žádný soubor"
                                    << "A.KVR" << false << 1 << "Soubor: A.KVR";
        QTest::newRow("empty argument") << std::optional<QString>("") << "Nebyl vybrán žádný soubor"
                                        << "" << false << 1 << "Soubor: ";
        QTest::newRow("other extension")
            << std::optional<QString>("/data/lift.txt") << "Vybraný soubor není soubor pro nastavení KAVR"
            << "" << false << 1 << "Soubor: ";
        QTest::newRow("no dot") << std::optional<QString>("/data/liftkvr")
                                << "Vybraný soubor není soubor pro nastavení KAVR"
                                << "" << false << 1 << "Soubor: ";
        QTest::newRow("lower case kvr")
            << std::optional<QString>("lift.kvr") << none << "lift.kvr" << true << 0 << "Soubor: lift.kvr";
        QTest::newRow("blanks after the dot") << std::optional<QString>("lift. Kvr ") << none << "lift. Kvr "
                                              << true << 0 << "Soubor: lift. Kvr ";
        QTest::newRow("file not found") << std::optional<QString>("missing.kvr") << "File not found"
                                        << "missing.kvr" << true << 0 << "Soubor: missing.kvr";
    }
    void commandLine()
    {
        QFETCH(std::optional<QString>, argument);
        QFETCH(QString, message);
        QFETCH(QString, currentFile);
        QFETCH(bool, accepted);
        QFETCH(int, page);
        QFETCH(QString, filePanel);
        folder->writeConfig(QString());
        // Accepted names are files in the program folder holding a changed set.
        if (accepted) {
            currentFile = folder->file(currentFile);
            argument = currentFile;
            filePanel = QStringLiteral("Soubor: ") + QFileInfo(currentFile).fileName();
            MemoryRecord saved;
            saved.setStoredText(QStringLiteral("HgUp"), QStringLiteral("77"));
            if (message.isEmpty()) // else the name is accepted but no file is there
                QVERIFY(SettingsFile::write(currentFile, saved));
        }
        // A message stands in front of the main window: it is on screen.
        bool onScreen = false;
        log->observer = [this, &onScreen](const MessageBoxes::Shown &) {
            onScreen = form->isVisible() && form->testAttribute(Qt::WA_Mapped);
        };
        start(argument);
        if (!message.isEmpty()) {
            QTRY_COMPARE(log->shown.size(), 1);
            QCOMPARE(log->shown[0].text, message);
            QVERIFY(!log->shown[0].question);
            QVERIFY(onScreen);
        }
        QTest::qWait(50);
        QCOMPARE(log->shown.size(), message.isEmpty() ? 0 : 1);
        QCOMPARE(form->CurrentFile, currentFile);
        QCOMPARE(form->OpenedFromCommandLine, accepted);
        QCOMPARE(form->storedText(QStringLiteral("HgUp")),
                 accepted && message.isEmpty() ? QStringLiteral("77") : QStringLiteral("44"));
        QCOMPARE(form->PageControl1->currentIndex(), page);
        form->Timer1Timer();
        QCOMPARE(form->StatusBar1->panelText(1), filePanel);
    }

    // A start-up message stands over the window as the start-up leaves it:
    // on screen, still disabled, its status bar filled, the reminder on top;
    // the real box is above the reminder and takes the OK all the same.
    void startupMessageOverTheDisabledWindow_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<std::optional<QString>>("argument");
        QTest::addColumn<QString>("message");
        QTest::newRow("not a settings file")
            << "" << std::optional<QString>("notes.txt") << "Vybraný soubor není soubor pro nastavení KAVR";
        QTest::newRow("no language file at all")
            << "Lang=Gone.lng\n"
            << std::optional<QString>() << "Language file error / chybí jazykový soubor";
    }
    void startupMessageOverTheDisabledWindow()
    {
        QFETCH(QString, setup);
        QFETCH(std::optional<QString>, argument);
        QFETCH(QString, message);
        folder->writeConfig(QStringLiteral("[Setup]\nCOM=2\n") + setup);
        if (!setup.isEmpty())
            QVERIFY(QFile::remove(folder->file("Cesky.lng")));
        log.reset(); // the real boxes
        struct Seen {
            QString text;
            bool boxEnabled = false, onTop = false, mapped = false, windowEnabled = true, reminder = false;
            QStringList panels;
        } seen;
        QTimer answer;
        connect(&answer, &QTimer::timeout, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            answer.stop();
            seen.text = box->text();
            seen.boxEnabled = box->isEnabled();
            seen.onTop = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
            seen.mapped = form->isVisible() && form->testAttribute(Qt::WA_Mapped);
            seen.windowEnabled = form->isEnabled();
            seen.reminder = windows->Form8->isVisible();
            for (int i : {0, 1, 3, 5, 6})
                seen.panels << form->StatusBar1->panelText(i);
            QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        });
        answer.start(5);
        start(argument);
        QTRY_COMPARE(seen.text, message);
        QVERIFY(seen.mapped);
        QVERIFY(!seen.windowEnabled);
        QVERIFY(seen.reminder);
        QCOMPARE(seen.panels, (QStringList{"COM:2", "Soubor: ", "Firmware.: ", "6.12.2026", "9:5:7"}));
        QVERIFY(seen.boxEnabled);
        QVERIFY(seen.onTop);
        // Until the first tick nothing changes.
        QVERIFY(!form->isEnabled());
        QVERIFY(windows->Form8->isVisible());
    }

    void captionAndTexts()
    {
        folder->writeConfig(QString());
        windows = std::make_unique<ProgramWindows>();
        form = windows->Form1;
        form->Timer1->stop();
        QStringList captions;
        connect(form, &QWidget::windowTitleChanged, this, [&captions](const QString &t) { captions << t; });
        form->show();
        const QString version = ProgramVersion::text().left(4);
        QCOMPARE(version.size(), 4);
        QCOMPARE(captions.first(), QStringLiteral("  V") + version); // before the language is applied
        QCOMPARE(form->windowTitle(), QStringLiteral("Tessaro  V") + version);
        QCOMPARE(form->ProgramTitle, QStringLiteral("Tessaro"));
        QCOMPARE(form->FilePrefix, QStringLiteral("Soubor: "));
        QCOMPARE(windows->Form8->Label1->text(),
                 QStringLiteral(
                     "Před zápisem dat do výtahového komunikátoru KAVR nezapomeňte nejprve data načíst !"));
        QCOMPARE(windows->Form5->windowTitle(), QStringLiteral("Výběr sériového portu"));
    }

    void startupFlags()
    {
        folder->writeConfig(QString());
        windows = std::make_unique<ProgramWindows>();
        form = windows->Form1;
        form->Timer1->stop();
        form->SaveAsOnClose = true;
        QVERIFY(windows->Form8->isVisible()); // visible from its creation
        QVERIFY(!form->isEnabled());
        form->show();
        QVERIFY(!form->SaveAsOnClose);
        QVERIFY(form->VersionQueryRequested);
        QVERIFY(form->exchange().state().QuietFirstExchange);
        QVERIFY(!form->isEnabled());
        QVERIFY(windows->Form8->isVisible());
    }

    void statusBarDateAndTime_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::newRow("no leading zeros") << QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7)) << "6.12.2026"
                                          << "9:5:7";
        QTest::newRow("two digits") << QDateTime(QDate(2027, 1, 31), QTime(23, 59, 59)) << "31.1.2027"
                                    << "23:59:59";
        QTest::newRow("midnight") << QDateTime(QDate(2026, 10, 10), QTime(0, 0, 0)) << "10.10.2026"
                                  << "0:0:0";
    }
    void statusBarDateAndTime()
    {
        QFETCH(QDateTime, now);
        QFETCH(QString, date);
        QFETCH(QString, time);
        folder->writeConfig(QStringLiteral("[Setup]\nCOM=3\n"));
        start();
        form->clock = [now] { return now; };
        form->FirmwareVersion = QStringLiteral("2.00");
        form->Timer1Timer();
        QCOMPARE(form->StatusBar1->panelText(5), date);
        QCOMPARE(form->StatusBar1->panelText(6), time);
        QCOMPARE(form->StatusBar1->panelText(0), QStringLiteral("COM:3"));
        QCOMPARE(form->StatusBar1->panelText(3), QStringLiteral("Firmware.: 2.00"));
        QCOMPARE(form->StatusBar1->panelText(2), QStringLiteral(" "));
    }

    void usbPanelAndIndicator()
    {
        folder->writeConfig(QString());
        start();
        windows->Form5->setUsbChecked(true);
        form->exchange().usb().UsbState = QStringLiteral("--");
        QPalette red = form->Label166->palette();
        red.setColor(QPalette::Window, Qt::red);
        form->Label166->setPalette(red);
        form->Timer1Timer();
        QCOMPARE(form->StatusBar1->panelText(0), QStringLiteral("USB:--"));
        QCOMPARE(form->Label166->palette().color(QPalette::Window), form->palette().color(QPalette::Button));
    }

    void firstTick_data()
    {
        QTest::addColumn<bool>("fromCommandLine");
        QTest::addColumn<bool>("answer");
        QTest::newRow("answer no") << false << false;
        QTest::newRow("answer yes") << false << true;
        QTest::newRow("file from the command line") << true << false;
    }
    void firstTick()
    {
        QFETCH(bool, fromCommandLine);
        QFETCH(bool, answer);
        folder->writeConfig(QString());
        if (fromCommandLine)
            QVERIFY(SettingsFile::write(folder->file("lift.kvr"), MemoryRecord()));
        start(fromCommandLine ? std::optional<QString>(folder->file("lift.kvr")) : std::nullopt);
        QSignalSpy open(form, &TForm1::openRequested);
        int queries = 0;
        form->runVersionQuery = [&queries] { ++queries; };
        log->answers = {answer};
        QCOMPARE(form->Timer1->interval(), 3500);
        form->Timer1Timer();
        QVERIFY(form->isEnabled());
        QVERIFY(!windows->Form8->isVisible());
        QCOMPARE(form->Timer1->interval(), 300);
        QVERIFY(form->Timer1->isActive());
        QCOMPARE(log->shown.isEmpty(), fromCommandLine);
        if (!fromCommandLine) {
            QCOMPARE(log->shown[0].text, QStringLiteral("Chcete načíst soubor s nastavením?"));
            QCOMPARE(log->shown[0].title, QStringLiteral("Otevřít soubor"));
            QVERIFY(log->shown[0].question);
            QVERIFY(!log->shown[0].defaultYes);
        }
        QCOMPARE(open.size(), answer ? 1 : 0);
        QCOMPARE(dialogs.size(), answer ? 1 : 0); // Yes runs Open
        QCOMPARE(queries, 1);                     // the version query follows the question in every case
        const int shown = log->shown.size();

        // Later ticks ask nothing more and run a query only when one is requested.
        form->VersionQueryRequested = false;
        form->Timer1Timer();
        QCOMPARE(log->shown.size(), shown);
        QCOMPARE(queries, 1);
    }

    void firstTickRunsTheVersionQuery()
    {
        folder->writeConfig(QString()); // every port names a missing device
        start();
        form->Timer1Timer();
        QVERIFY(!form->VersionQueryRequested); // taken by the exchange
        // Quietness covers a missing answer only: the port is reported.
        QCOMPARE(log->shown.last().text, QStringLiteral("Chybné číslo portu, prosím nastavte správné"));
        const int shown = log->shown.size();
        form->Timer1Timer(); // nothing pending, nothing run
        QCOMPARE(log->shown.size(), shown);
    }

    void statusBarClick_data()
    {
        QTest::addColumn<bool>("usb");
        QTest::addColumn<bool>("cablePresent");
        QTest::addColumn<bool>("requested");
        QTest::addColumn<bool>("reported");
        QTest::newRow("serial port") << false << false << true << false;
        QTest::newRow("cable found") << true << true << true << false;
        QTest::newRow("cable missing") << true << false << false << true;
    }
    void statusBarClick()
    {
        QFETCH(bool, usb);
        QFETCH(bool, cablePresent);
        QFETCH(bool, requested);
        QFETCH(bool, reported);
        auto cable = std::make_shared<SimulatedD2xx>();
        cable->setPlugged(cablePresent);
        D2xx::setBackend(cable);
        folder->writeConfig(QString());
        start();
        form->Timer1Timer(); // the first tick makes the window usable
        log->shown.clear();
        windows->Form5->setUsbChecked(usb);
        form->VersionQueryRequested = false;
        const int opensBefore = cable->openCount();
        QTest::mouseClick(form->StatusBar1->panel(1), Qt::LeftButton);
        D2xx::setBackend(nullptr);
        // With the cable chosen, every click opens it anew.
        QCOMPARE(cable->openCount() - opensBefore, usb && cablePresent ? 1 : 0);
        if (usb)
            QCOMPARE(form->exchange().usb().UsbState, QString(cablePresent ? "OK" : "--"));
        QCOMPARE(form->VersionQueryRequested, requested);
        QCOMPARE(log->shown.size(), reported ? 1 : 0);
        if (reported)
            QCOMPARE(log->shown[0].text, QStringLiteral("Chyba komunikace"));
    }

    // Tone signalling and button polarity exist from certain firmware versions.
    void firmwareOptions_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("toneEnabled");
        QTest::addColumn<bool>("polarityEnabled");
        QTest::addColumn<QString>("tone");
        QTest::addColumn<QString>("polarity");
        // The user left TONE at 0 and chose reverse polarity before.
        QTest::newRow("none known yet") << "" << true << true << "0"
                                        << "0";
        QTest::newRow("1.14") << "1.14" << false << false << "3"
                              << "1";
        QTest::newRow("1.15") << "1.15" << true << false << "0"
                              << "1";
        QTest::newRow("1.20") << "1.20" << true << true << "0"
                              << "0";
        QTest::newRow("2.00") << "2.00" << true << true << "0"
                              << "0";
        QTest::newRow("3.50") << "3.50" << false << false << "3"
                              << "1";
        QTest::newRow("garbled") << "x.yz" << true << true << "0"
                                 << "0";
    }
    void firmwareOptions()
    {
        QFETCH(QString, version);
        QFETCH(bool, toneEnabled);
        QFETCH(bool, polarityEnabled);
        QFETCH(QString, tone);
        QFETCH(QString, polarity);
        folder->writeConfig(QString());
        start();
        form->setPolarityOptionsEnabled(true);
        form->setStoredText(QStringLiteral("TONE"), QStringLiteral("0"));
        form->setStoredText(QStringLiteral("PoBt"), QStringLiteral("0"));
        form->FirmwareVersion = version;
        form->Timer1Timer();
        QCOMPARE(form->toneOptionsEnabled(), toneEnabled);
        QCOMPARE(form->polarityOptionsEnabled(), polarityEnabled);
        QCOMPARE(form->storedText(QStringLiteral("TONE")), tone);
        QCOMPARE(form->storedText(QStringLiteral("PoBt")), polarity);
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
