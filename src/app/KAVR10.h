#pragma once

#include "app/MainWindowState.h"
#include "settings/SettingsRecord.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QToolButton;
class QRadioButton;
class QTabWidget;
class QTimer;
class CaptionPanel;
class HistorySharing;
class QFrame;
class ExchangeService;
class FileCommands;
class PrintCommand;
class StatusPanels;
class TForm2;
class TForm3;
class TForm5;
class TForm6;
class TForm7;
class TForm8;
class TForm9;

// The main window: the whole working surface. Its controls are the settings
// record (there is no other copy of the values), its fields are the working
// state other windows read and set, and it runs the start-up sequence, the
// main timer and the close.
class TForm1 : public QMainWindow, public MainWindowState, public SettingsRecord
{
    Q_OBJECT

  public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // The program's other windows, created after this one (ProgramWindows).
    struct Companions {
        TForm2 *Form2 = nullptr;
        TForm3 *Form3 = nullptr;
        TForm5 *Form5 = nullptr;
        TForm6 *Form6 = nullptr;
        TForm7 *Form7 = nullptr;
        TForm8 *Form8 = nullptr;
        TForm9 *Form9 = nullptr;
    };
    void setCompanions(const Companions &companions) { m_forms = companions; }
    const Companions &companions() const { return m_forms; }

    // The settings file named on the command line, if any (program entry).
    void setCommandLineArgument(std::optional<QString> argument) { m_commandLine = std::move(argument); }

    // A word in the status bar (where the file's name stands) for
    // StatusNoteMs, or until the next note; empty takes it back at once.
    void setStatusNote(const QString &text);
    static constexpr int StatusNoteMs = 15000;

    // The clock the status bar shows; tests put a fixed time here.
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };

    // Runs the version query exchange the main timer asks for. The device
    // commands install it; while nothing is installed, or an exchange runs,
    // a request stays pending (VersionQueryRequested remains set) rather than
    // being pretended done.
    std::function<void()> runVersionQuery;

    // The conversations with the communicator, their state and the USB cable.
    ExchangeService &exchange() { return *m_exchange; }

    // The serial port number the program uses ("COM" of Config.ini): the
    // number of AfComPort1 on the communication dialog.
    int comNumber() const;
    void setComNumber(int number);
    bool usbSelected() const;

    // Start-up sequence, run once when the window is first shown.
    void FormShow();
    // One tick of the main timer; the Read command runs it directly too.
    void Timer1Timer();
    // The status bar's connection, file, firmware, date and time panels,
    // and the line beneath it (refreshHistoryBar).
    void refreshStatusBar();
    // The rows beneath the status bar, each shown only when it has something
    // to say: that the settings come from a file of the history (serial
    // number, time, event), and how many entries the company's repository
    // does not hold yet and why. The window grows by the rows shown.
    void refreshHistoryBar();
    // Status bar and serial number panel clicks.
    void StatusBar1Click();
    void Panel3Click() { StatusBar1Click(); }
    // Window caption: ProgramTitle, "  V" and the short version text.
    void updateCaption();
    // Sets every caption, hint and role text of all windows from the
    // language texts in force (ProgramTitle and FilePrefix included), and
    // Qt's own texts to the same language.
    void applyLanguage();
    // Reads LanguageFile and applies it to every window (KAVR10Language.cpp).
    void LoadLanguage();
    // A click on language menu entry k (English1 is 0).
    void languageEntryClicked(int entry);

    // SettingsRecord over the controls.
    QString storedText(const QString &key) const override;
    void setStoredText(const QString &key, const QString &text) override;
    bool toneOptionsEnabled() const override;
    void setToneOptionsEnabled(bool enabled) override;
    bool polarityOptionsEnabled() const override;
    void setPolarityOptionsEnabled(bool enabled) override;
    QString deviceValue(DeviceValue which) const override;
    void setDeviceValue(DeviceValue which, const QString &text) override;

    // Open, Save and Save as over this window's record and state.
    std::unique_ptr<FileCommands> Files;
    // The print command over this window's record and captions.
    std::unique_ptr<PrintCommand> Printing;
    // Shares the history with the company's repository in the background:
    // at start, and whenever the commands keep an entry.
    HistorySharing *Sharing = nullptr;

    // Controls other parts use by name.
    QTimer *Timer1 = nullptr;
    QTabWidget *PageControl1 = nullptr;
    StatusPanels *StatusBar1 = nullptr;
    QFrame *HistoryBar = nullptr;
    QLabel *HistoryNote = nullptr; // the settings come from the history
    QLabel *ShareState = nullptr;  // entries not shared yet, and why
    QLabel *Label166 = nullptr;   // activity indicator
    QLabel *Label22 = nullptr;    // serial number
    QLineEdit *Edit14 = nullptr;  // hours to the next service call
    QLineEdit *Edit157 = nullptr; // power-on count
    QToolButton *BitBtn1 = nullptr;
    QToolButton *BitBtn2 = nullptr;
    QToolButton *BitBtn4 = nullptr;
    QToolButton *BitBtn7 = nullptr;
    QWidget *Panel1 = nullptr; // service-call timer panel
    QWidget *Panel2 = nullptr; // power-on count panel
    // The counter the action choice acts on: "rezim" (Edit14) or "citac"
    // (Edit157); kept between showings.
    QString ActionTarget;
    CaptionPanel *Panel3 = nullptr;
    QList<QAction *> languageEntries; // English1, a11 ... a01

  signals:
    // Commands of the menu and the top strip; the command handlers attach here.
    void openRequested();
    void saveRequested();
    void saveAsRequested();
    void printRequested();
    void readRequested();
    void writeRequested();
    void compareRequested();
    void historyRequested();
    void toneSamplesRequested();
    void portChoiceRequested();
    void helpRequested();
    void newsRequested();
    void aboutRequested();
    void languageChosen(int entry);
    // Clicks on the two counter panels (service-call timer, power-on count).
    void serviceTimerPanelClicked();
    void powerOnPanelClicked();
    // The window is closing: the serial port is to be closed now.
    void closingPort();

  protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

  private:
    void buildLayout(); // KAVR10Layout.cpp
    void buildMenu();
    void buildTopStrip(QWidget *client);
    QWidget *buildPage1();
    QWidget *buildPage2();
    QWidget *buildPage3();
    QWidget *buildPage4();
    void indexControls();
    void fillLanguageMenu();
    void readOrCreateConfig();
    void writeConfigOnClose();
    QWidget *messageParent();
    // Messages of the start-up sequence wait until the window is on screen,
    // so they stand in front of it rather than of nothing.
    void showStartupMessagesWhenMapped();

    QWidget *control(const char *name) const { return m_controls.value(QLatin1String(name)); }
    QList<QWidget *> gatedControls(FirmwareGate gate) const; // KAVR10Record.cpp
    bool optionsEnabled(FirmwareGate gate) const;

    std::unique_ptr<ExchangeService> m_exchange;
    Companions m_forms;
    QString m_statusNote;
    QElapsedTimer m_statusNoteShown;
    std::optional<QString> m_commandLine;
    QHash<QString, QWidget *> m_controls;
    int m_comNumber = 1;
    bool m_shownOnce = false;
    bool m_closing = false;
    QStringList m_startupMessages;
    bool m_starting = false; // the start-up sequence runs: messages wait
    int m_mapWaits = 0;
};
