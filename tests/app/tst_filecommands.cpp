#include "app/FileCommands.h"
#include "app/MainWindowState.h"
#include "app/MessageBoxes.h"
#include "lang/LanguageTexts.h"
#include "settings/MemoryRecord.h"
#include "settings/SettingsFile.h"

#include <QtTest>
#include <QtWidgets>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

// Open, Save, Save as and the command-line load, with the file dialog and
// the message boxes played by the test.
class FileCommandsTest : public QObject
{
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void openNames_data();
    void openNames();
    void openShowsItsDialog();
    void openReportsLoadErrors_data();
    void openReportsLoadErrors();
    void saveNeedsEightCharacters_data();
    void saveNeedsEightCharacters();
    void saveAsAddsExtension();
    void saveAsRefusedOverwriteThenCancel();
    void saveAsConfirmedOverwrite();
    void saveAsOnClosePrefillsName();
    void saveAsFailureKeepsOldFile();
    void historyFilesAreNeverWritten_data();
    void historyFilesAreNeverWritten();
    void commandLine_data();
    void commandLine();
    void nonRegularFilesAreRefused_data();
    void nonRegularFilesAreRefused();
    void realDialogsAreConfigured();

  private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    void copyFixture(const QString &to)
    {
        QFile::remove(to);
        QVERIFY(QFile::copy(TESSARO_FIXTURES "/pulse-dialling.kvr", to));
    }
    QByteArray readFile(const QString &p)
    {
        QFile f(p);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
    QString m_oldCurrent;
    MainWindowState m_state;
    MemoryRecord m_record;
    QList<FileCommands::DialogRequest> m_requests;
    QStringList m_answers; // paths the dialog returns in turn; "" is cancel
    QList<MessageBoxes::Shown> m_shown;
    QList<bool> m_replies; // answers to questions in turn
};

void FileCommandsTest::init()
{
    m_oldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir.path()));
    m_state = MainWindowState();
    m_record = MemoryRecord();
    m_requests.clear();
    m_answers.clear();
    m_shown.clear();
    m_replies.clear();
    FileCommands::setDialogPlayer([this](const FileCommands::DialogRequest &r) {
        m_requests << r;
        return m_answers.isEmpty() ? QString() : m_answers.takeFirst();
    });
    MessageBoxes::setResponder([this](const MessageBoxes::Shown &s) {
        m_shown << s;
        return s.question && !m_replies.isEmpty() ? m_replies.takeFirst() : false;
    });
}

void FileCommandsTest::cleanup()
{
    FileCommands::setDialogPlayer(nullptr);
    MessageBoxes::setResponder(nullptr);
    SettingsFile::setWriteFaultHook(nullptr);
    QDir::setCurrent(m_oldCurrent);
}

void FileCommandsTest::openNames_data()
{
    QTest::addColumn<QString>("chosen"); // relative to the temporary folder; "" cancels
    QTest::addColumn<int>("message");    // 0: none
    QTest::addColumn<bool>("keepsName");
    QTest::addColumn<bool>("loads");

    QTest::newRow("cancel") << "" << 16 << true << false;
    QTest::newRow("text file") << "settings.txt" << 17 << false << false;
    QTest::newRow("no extension") << "settingsKVR" << 17 << false << false;
    QTest::newRow("upper case") << "LIFT.KVR" << 0 << true << true;
    QTest::newRow("lower case") << "LIFT.kvr" << 0 << true << true;
    QTest::newRow("dotted folder") << "a.b/lift.kvr" << 0 << true << true;
}

void FileCommandsTest::openNames()
{
    QFETCH(QString, chosen);
    QFETCH(int, message);
    QFETCH(bool, keepsName);
    QFETCH(bool, loads);

    const QString full = chosen.isEmpty() ? QString() : path(chosen);
    if (!full.isEmpty()) {
        QDir().mkpath(QFileInfo(full).absolutePath());
        copyFixture(full);
    }
    m_state.CurrentFile = "/old/current.kvr";
    m_answers << full;
    FileCommands(nullptr, m_state, m_record).open();

    QCOMPARE(m_requests.size(), 1);
    QCOMPARE(m_shown.size(), message ? 1 : 0);
    if (message)
        QCOMPARE(m_shown[0].text, LanguageTexts::text("MESSAGE", message));
    QCOMPARE(m_state.CurrentFile, keepsName ? full : QString());
    QCOMPARE(m_record.storedText("Dial"), QString(loads ? "0" : "1"));
}

void FileCommandsTest::openShowsItsDialog()
{
    FileCommands(nullptr, m_state, m_record).open();
    QCOMPARE(m_requests.size(), 1);
    const FileCommands::DialogRequest &r = m_requests[0];
    QVERIFY(!r.save);
    QCOMPARE(r.title, QString("Otevřít - soubory s nastavením KAVR"));
    QCOMPARE(r.filters, (QStringList{"Soubory s nastavením KAVR (*.KVR)", "Všechny soubory    *.* (*)"}));
    QCOMPARE(r.directory, QDir::currentPath());
    QCOMPARE(m_state.ProgramFolder, QDir::currentPath());
    QCOMPARE(r.fileName, QString());
    QCOMPARE(r.defaultSuffix, QString("KVR"));
}

void FileCommandsTest::openReportsLoadErrors_data()
{
    QTest::addColumn<int>("bytes"); // -1: no file
    QTest::addColumn<QString>("error");
    QTest::newRow("missing") << -1 << "File not found";
    QTest::newRow("short") << 500 << "Read beyond end of file";
    QTest::newRow("empty") << 0 << "Read beyond end of file";
}

void FileCommandsTest::openReportsLoadErrors()
{
    QFETCH(int, bytes);
    QFETCH(QString, error);
    const QString file = path("broken.kvr");
    if (bytes >= 0) {
        copyFixture(file);
        QVERIFY(QFile::resize(file, bytes));
    }
    m_answers << file;
    FileCommands(nullptr, m_state, m_record).open();
    QCOMPARE(m_shown.size(), 1);
    QCOMPARE(m_shown[0].text, error);
    QCOMPARE(m_state.CurrentFile, file);
    QCOMPARE(m_record.storedText("Dial"), QString("1")); // untouched
}

void FileCommandsTest::saveNeedsEightCharacters_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<bool>("direct");
    QTest::newRow("8 characters") << "abcd.KVR" << true;
    QTest::newRow("7 characters") << "abc.KVR" << false;
    QTest::newRow("empty") << "" << false;
}

void FileCommandsTest::saveNeedsEightCharacters()
{
    QFETCH(QString, current);
    QFETCH(bool, direct);
    m_state.CurrentFile = current;
    m_record.setStoredText("M001", "0602");
    FileCommands(nullptr, m_state, m_record).save();
    QCOMPARE(m_requests.size(), direct ? 0 : 1);
    if (direct)
        QCOMPARE(readFile(path(current)), SettingsFile::encode(m_record));
    else
        QVERIFY(current.isEmpty() || !QFile::exists(path(current)));
    QVERIFY(m_shown.isEmpty());
}

void FileCommandsTest::saveAsAddsExtension()
{
    m_answers << path("lift");
    FileCommands(nullptr, m_state, m_record).saveAs();
    QCOMPARE(m_requests.size(), 1);
    const FileCommands::DialogRequest &r = m_requests[0];
    QVERIFY(r.save);
    QCOMPARE(r.title, QString("Uložit nastavení vrátného KAVR do souboru"));
    QCOMPARE(r.filters, QStringList{"Soubory s nastavením KAVR (*.KVR)"});
    QCOMPARE(r.fileName, QString());
    QCOMPARE(r.defaultSuffix, QString("KVR"));
    QCOMPARE(m_state.CurrentFile, path("lift.KVR"));
    QCOMPARE(readFile(path("lift.KVR")), SettingsFile::encode(m_record));
    QVERIFY(m_shown.isEmpty());
}

void FileCommandsTest::saveAsRefusedOverwriteThenCancel()
{
    const QString existing = path("old.kvr");
    copyFixture(existing);
    m_answers << existing << "";
    m_replies << false;
    FileCommands(nullptr, m_state, m_record).saveAs();

    QCOMPARE(m_shown.size(), 1);
    QVERIFY(m_shown[0].question);
    QCOMPARE(m_shown[0].text, QString("Soubor již existuje, chcete ho přepsat?"));
    QCOMPARE(m_shown[0].title, QString("Dotaz systému"));
    QVERIFY(!m_shown[0].defaultYes);
    // The dialog came back with the refused name.
    QCOMPARE(m_requests.size(), 2);
    QCOMPARE(m_requests[1].fileName, existing);
    QCOMPARE(m_state.CurrentFile, QString());
    QCOMPARE(readFile(existing), readFile(TESSARO_FIXTURES "/pulse-dialling.kvr"));
}

void FileCommandsTest::saveAsConfirmedOverwrite()
{
    const QString existing = path("old.kvr");
    copyFixture(existing);
    m_answers << existing;
    m_replies << true;
    FileCommands(nullptr, m_state, m_record).saveAs();
    QCOMPARE(m_state.CurrentFile, existing);
    QCOMPARE(readFile(existing), SettingsFile::encode(m_record));
}

void FileCommandsTest::saveAsOnClosePrefillsName()
{
    m_state.CurrentFile = path("current.kvr");
    m_state.SaveAsOnClose = true;
    FileCommands(nullptr, m_state, m_record).saveAs();
    QCOMPARE(m_requests.value(0).fileName, path("current.kvr"));
    // Cancelled: nothing written, the name stays.
    QCOMPARE(m_state.CurrentFile, path("current.kvr"));
    QVERIFY(!QFile::exists(path("current.kvr")));

    m_state.SaveAsOnClose = false;
    FileCommands(nullptr, m_state, m_record).saveAs();
    QCOMPARE(m_requests.value(1).fileName, QString());
}

void FileCommandsTest::saveAsFailureKeepsOldFile()
{
    const QString existing = path("old.kvr");
    copyFixture(existing);
    SettingsFile::setWriteFaultHook([](int step) { return step == 20 ? EIO : 0; });
    m_answers << existing;
    m_replies << true;
    FileCommands(nullptr, m_state, m_record).saveAs();
    QCOMPARE(m_shown.size(), 2);
    QCOMPARE(m_shown[1].text, QString("I/O error 5"));
    QCOMPARE(m_state.CurrentFile, existing);
    QCOMPARE(readFile(existing), readFile(TESSARO_FIXTURES "/pulse-dialling.kvr"));
}

void FileCommandsTest::historyFilesAreNeverWritten_data()
{
    QTest::addColumn<bool>("saveAs");   // Save as choosing the entry; else Save on it
    QTest::addColumn<bool>("viaLink");  // the entry reached through a link outside History
    QTest::newRow("save") << false << false;
    QTest::newRow("save through a link") << false << true;
    QTest::newRow("save as onto the entry") << true << false;
}

void FileCommandsTest::historyFilesAreNeverWritten()
{
    QFETCH(bool, saveAs);
    QFETCH(bool, viaLink);

    const QString entry = path("History/1001/2026-12-08 10-15-02 before write.kvr");
    QDir().mkpath(QFileInfo(entry).absolutePath());
    copyFixture(entry);
    QFile f(entry);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    QString name = entry;
    if (viaLink) {
        name = path("backup.kvr");
        QVERIFY(QFile::link(entry, name));
    }

    m_record.setStoredText("Dial", "1");
    m_state.CurrentFile = saveAs ? QString() : name;
    m_answers << (saveAs ? name : QString());
    m_replies << true; // were the overwrite question asked: Yes
    FileCommands commands(nullptr, m_state, m_record);
    saveAs ? commands.saveAs() : commands.save();

    // The dialog asks for another name (and is asked again when given the entry).
    QCOMPARE(m_requests.size(), saveAs ? 2 : 1);
    QVERIFY(m_requests[0].save);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), before);
}

void FileCommandsTest::commandLine_data()
{
    QTest::addColumn<QString>("arg");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("message");
    QTest::addColumn<QString>("current"); // "=": the argument itself

    QTest::newRow("short") << "A.KVR" << false << 16 << "=";
    QTest::newRow("text") << "/data/lift.txt" << false << 17 << "";
    QTest::newRow("lower case") << "LIFT-FIXTURE.kvr" << true << 0 << "=";
    QTest::newRow("missing") << "/nonexistent/lift.kvr" << true << -1 << "=";
}

void FileCommandsTest::commandLine()
{
    QFETCH(QString, arg);
    QFETCH(bool, accepted);
    QFETCH(int, message);
    QFETCH(QString, current);

    copyFixture(path("LIFT-FIXTURE.kvr"));
    FileCommands commands(nullptr, m_state, m_record);
    QCOMPARE(commands.loadFromCommandLine(arg), accepted);
    QCOMPARE(m_state.OpenedFromCommandLine, accepted);
    QCOMPARE(m_state.CurrentFile, current == "=" ? arg : current);
    if (message > 0)
        QCOMPARE(m_shown.value(0).text, LanguageTexts::text("MESSAGE", message));
    else if (message < 0)
        QCOMPARE(m_shown.value(0).text, QString("Invalid filename"));
    else
        QVERIFY(m_shown.isEmpty());
    QCOMPARE(m_record.storedText("Dial"), QString(accepted && message == 0 ? "0" : "1"));
}

// A named pipe is refused at once, whether named on the command line or in Open.
void FileCommandsTest::nonRegularFilesAreRefused_data()
{
    QTest::addColumn<bool>("commandLine");
    QTest::newRow("pipe on the command line") << true;
    QTest::newRow("pipe in Open") << false;
}

void FileCommandsTest::nonRegularFilesAreRefused()
{
    QFETCH(bool, commandLine);
    const QString name = path("lift-pipe.kvr");
    const QByteArray encoded = QFile::encodeName(name);
    QFile::remove(name);
    QVERIFY(::mkfifo(encoded.constData(), 0600) == 0);
    // Should the command wait for a writer, one comes after two seconds and
    // the test fails on time instead of hanging.
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 200 && !done; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (const int fd = done ? -1 : ::open(encoded.constData(), O_WRONLY | O_NONBLOCK); fd >= 0)
            ::close(fd);
    });
    QElapsedTimer t;
    t.start();
    FileCommands commands(nullptr, m_state, m_record);
    if (commandLine) {
        QVERIFY(commands.loadFromCommandLine(name));
    } else {
        m_answers << name;
        commands.open();
    }
    const qint64 ms = t.elapsed();
    done = true;
    writer.join();
    QVERIFY2(ms < 1000, qPrintable(QString::number(ms)));
    QCOMPARE(m_shown.size(), 1);
    QCOMPARE(m_shown[0].text, QString("File access denied"));
    QCOMPARE(m_record.storedText("Dial"), QString("1")); // untouched
}

// Without the player the commands show real, non-native file dialogs.
void FileCommandsTest::realDialogsAreConfigured()
{
    FileCommands::setDialogPlayer(nullptr);
    QList<QFileDialog *> seen;
    QStringList titles, filters;
    bool confirmsOverwrite = true;
    auto closeDialog = [&] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *d = qobject_cast<QFileDialog *>(w); d && d->isVisible()) {
                seen << d;
                titles << d->windowTitle();
                filters << d->nameFilters();
                if (d->acceptMode() == QFileDialog::AcceptSave)
                    confirmsOverwrite = !d->testOption(QFileDialog::DontConfirmOverwrite);
                QVERIFY(d->testOption(QFileDialog::DontUseNativeDialog));
                d->reject();
            }
    };
    QTimer timer;
    connect(&timer, &QTimer::timeout, this, closeDialog);
    timer.start(20);

    FileCommands commands(nullptr, m_state, m_record);
    commands.open();
    commands.saveAs();
    timer.stop();

    QCOMPARE(seen.size(), 2);
    QCOMPARE(titles, (QStringList{LanguageTexts::text("MESSAGE", 26), LanguageTexts::text("MESSAGE", 23)}));
    QCOMPARE(filters.first(), QString("Soubory s nastavením KAVR (*.KVR)"));
    QVERIFY(!confirmsOverwrite);
    // Cancelled open: message 16; cancelled save: nothing.
    QCOMPARE(m_shown.size(), 1);
    QCOMPARE(m_state.CurrentFile, QString());
}

QTEST_MAIN(FileCommandsTest)
#include "tst_filecommands.moc"
