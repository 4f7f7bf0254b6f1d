// tessaro-cli against the program itself: the same block read or written
// through the main window's commands and through the command line, over a
// pseudo-terminal and the simulated USB cable, must give the same bytes.

#include "TestFiles.h"
#include "cli/CliArgs.h"
#include "cli/CliCommands.h"
#include "cli/CliExitCode.h"
#include "cli/CliTransport.h"
#include "cli/DeviceSession.h"
#include "cli/SettingsListing.h"
#include "cli/TessaroCli.h"

#include "FileKinds.h"
#include "app/KAVR10.h"
#include "app/MessageBoxes.h"
#include "app/ProgramWindows.h"
#include "device/DeviceCodec.h"
#include "lang/LanguageTexts.h"
#include "platform/D2xx.h"
#include "platform/PrivateProfile.h"
#include "serial/AfComPort.h"
#include "settings/MemoryRecord.h"
#include "settings/ParameterTable.h"
#include "settings/SettingsFile.h"

#include "device/exchange_helper.h"
#include "sim/KavrSimulator.h"
#include "sim/SimulatedD2xx.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QToolButton>
#include <QtTest>

#include <algorithm>

namespace
{

const QString Fixture = QStringLiteral(TESSARO_FIXTURES "/pulse-dialling.kvr");

// The fixture with one record's value replaced by a one-character text.
QByteArray fixtureWith(const char *key, char value)
{
    QByteArray bytes = fileBytes(Fixture);
    const int at = SettingsFile::RecordSize * ParameterTable::indexOf(QLatin1String(key));
    bytes[at + 17] = 1;
    bytes[at + 18] = value;
    return bytes;
}

// The fixture's settings as the communicator would hold them, on firmware
// 1.14: it offers neither the tone options nor the button polarity, so the
// program holds those at their fixed values once it knows the version.
KavrSimOptions fixtureDevice()
{
    MemoryRecord record;
    if (!SettingsFile::load(Fixture, record))
        qFatal("the fixture does not load");
    const QByteArray block = DeviceCodec::buildBlock(record);
    KavrSimOptions o;
    std::copy(block.begin(), block.end(), o.state.block.begin());
    o.state.firmware = 114;
    o.state.serialNumber = 4711;
    o.state.powerOnCount = 17;
    o.state.serviceHours = 100;
    // The tool's exchanges as such are the exchange service's tests; here a
    // fast line keeps each run short (a pseudo-terminal and the simulated
    // cable carry any rate).
    o.line.baud = 38400;
    o.line.turnaroundMs = 1;
    return o;
}

// How the simulated device misbehaves.
enum Fault { NoFault, Silent, WrongMarker, Garbled, Stray, StrayBehindStatus };

struct Ran {
    int code;
    QString out;
    QString err;
};

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString oldCwd;
    // The communicator: on a virtual line, where the tool's exchanges take
    // no real time, or the simulator on a pseudo-terminal for what needs a
    // real serial device (the tool run from a shell, the port's settings).
    std::unique_ptr<VirtualLine> line;
    std::unique_ptr<KavrSimulator> sim;

    QString path(const QString &name) const { return dir.filePath(name); }

    // The tool in-process, on the virtual line when there is one; a device
    // named with --device is a real one.
    Ran cli(const QStringList &args)
    {
        Ran r;
        QTextStream out(&r.out);
        QTextStream err(&r.err);
        SessionLine on;
        if (line && !args.contains("--device"))
            on = {&line->clock, &line->serial};
        r.code = TessaroCli::run(args, out, err, false, on);
        return r;
    }

    // The communicator on COM1 or on the USB cable, as Config.ini chooses
    // (with further lines of its [Setup]); COM1 itself is a path that does
    // not exist. Where the history is not the point, History=0 spares its
    // commits.
    void startDevice(bool usb, const KavrSimOptions &options, const QString &setup = {})
    {
        line = std::make_unique<VirtualLine>(usb, options);
        writeSetup(usb, path("no-such-tty"), setup);
    }
    void startPtyDevice(const KavrSimOptions &options, const QString &setup = {})
    {
        sim = std::make_unique<KavrSimulator>(options);
        QString error;
        QVERIFY2(sim->startOnPty(&error), qPrintable(error));
        writeSetup(false, sim->linePath(), setup);
    }
    void writeSetup(bool usb, const QString &com1, const QString &setup)
    {
        // Written at once: the program's own writer syncs every key to the disk.
        // The program's Write goes on without its list of changes.
        writeBytes(path("Config.ini"),
                   QStringLiteral("[Ports]\nCOM1=%1\n[Setup]\nUSB=%2\nCOM=1\nConfirmChanges=0\n%3")
                       .arg(com1, usb ? "1" : "0", setup)
                       .toUtf8());
    }
    long long received() const { return line ? line->device.received.size() : sim->bytesReceived(); }
    KavrDeviceState state() const { return line ? line->device.model().state() : sim->state(); }
    int writesDone() const { return line ? line->device.model().writesCompleted() : sim->writesCompleted(); }

    // The program's main window on the same line, after its first tick.
    std::unique_ptr<ProgramWindows> startProgram()
    {
        auto windows = std::make_unique<ProgramWindows>();
        line->attach(windows->Form1->exchange());
        windows->Form1->Timer1->stop();
        windows->Form1->show();
        windows->Form1->Timer1Timer();
        windows->Form1->Timer1->stop();
        return windows;
    }

  private slots:
    void initTestCase()
    {
        oldCwd = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        // The program's start-up question is answered No; no other box may show.
        MessageBoxes::setResponder([](const MessageBoxes::Shown &s) {
            if (!s.question)
                qWarning("message box: %s", qPrintable(s.text));
            return false;
        });
        MemoryRecord bad;
        QVERIFY(SettingsFile::load(Fixture, bad));
        // A number, but one the communicator would take as 30 ms.
        bad.setStoredText("TTon", "990");
        QVERIFY(SettingsFile::write(path("refused.kvr"), bad));
        writeBytes(path("short.kvr"), fileBytes(Fixture).left(42 * SettingsFile::RecordSize));
        // Option values the window cannot show: it opens them at its defaults.
        writeBytes(path("dial7.kvr"), fixtureWith("Dial", '7'));
        writeBytes(path("tone9.kvr"), fixtureWith("TONE", '9'));
        writeBytes(path("unknown.json"), "{\"Xxxx\": \"1\"}");
        writeBytes(path("broken.json"), "{\"Dial\": ");
    }
    void cleanup()
    {
        D2xx::setBackend(nullptr);
        line.reset();
        sim.reset();
        QFile::remove(path("Config.ini"));
    }
    void cleanupTestCase()
    {
        MessageBoxes::setResponder(nullptr);
        QDir::setCurrent(oldCwd);
    }

    // Every refusal and failure, with its exit code and what the error output
    // names. Nothing is written, and only a device that misbehaves has been
    // sent anything: the others fail before a byte goes out.
    void outcomes_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");
        QTest::addColumn<int>("fault");
        const auto row = [](const char *name, const QStringList &args, int code, const char *says,
                            Fault fault = NoFault) {
            QTest::newRow(name) << args << code << QString::fromUtf8(says) << int(fault);
        };
        const QString f = Fixture;
        row("no command", {}, ExitUsage, "no command");
        row("unknown command", {"fetch"}, ExitUsage, "fetch");
        row("unknown option", {"show", f, "--colour"}, ExitUsage, "--colour");
        row("read without -o", {"read"}, ExitUsage, "-o");
        row("two transports", {"status", "--usb", "--port", "2"}, ExitUsage, "one of");
        row("bad port", {"status", "--port", "x"}, ExitUsage, "--port");
        row("counters on read", {"read", "-o", "x.kvr", "--counters", "c"}, ExitUsage, "--counters");
        row("diff of one file", {"diff", f}, ExitUsage, "2 file");
        row("missing file", {"show", path("none.kvr")}, ExitBadFile, "File not found");
        row("short file", {"export", path("short.kvr")}, ExitBadFile, "Read beyond end of file");
        row("unknown key", {"import", path("unknown.json"), "-o", path("u.kvr")}, ExitBadFile,
            "unknown keys: Xxxx");
        row("broken json", {"import", path("broken.json"), "-o", path("b.kvr")}, ExitBadFile,
            "not valid JSON");
        row("same files", {"diff", f, f}, ExitOk, "");
        row("pdf in no folder", {"print", f, "-o", path("none/x.pdf")}, ExitBadFile, "none/x.pdf");
        row("missing language", {"show", f, "--lang", path("none.LNG")}, ExitBadFile, "none.LNG");
        row("no such port", {"read", "-o", "out.kvr", "--device", "/nonexistent/tty"}, ExitPortNotOpened,
            "/nonexistent/tty");
        row("silent", {"read", "-o", "out.kvr"}, ExitNoAnswer, "COM1", Silent);
        row("wrong marker", {"read", "-o", "out.kvr"}, ExitWrongMarker, "0xaa", WrongMarker);
        row("garbled status", {"status"}, ExitNoAnswer, "COM1", Garbled);
        // The answer keeps its letters in place, but its last byte comes late.
        row("stray byte before the last", {"write", f}, ExitNoAnswer, "more bytes came", Stray);
        // The read takes the status answer at once: the byte behind it spoils the block.
        row("stray byte behind the status answer", {"read", "-o", "out.kvr"}, ExitNoAnswer, "more bytes came",
            StrayBehindStatus);
        // A field is named by its label in the language in use and its key.
        row("refused", {"write", "refused.kvr"}, ExitRefused,
            "Délka tónu DTMF volby [ms] (TTon) holds '990'");
        row("dialling mode 7", {"write", "dial7.kvr"}, ExitRefused,
            "Druh volby (Dial) holds '7'; allowed: Povolené hodnoty: 1, 0");
        row("tone sum 9", {"write", "tone9.kvr"}, ExitRefused,
            "Signalizace - vyzvednutí a zavěšení linky (TONE) holds '9'; "
            "allowed: Povolené hodnoty: 0, 1, 2, 3");
        row("no cable", {"status", "--usb"}, ExitPortNotOpened, "ZARP-USB");
    }
    void outcomes()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, says);
        QFETCH(int, fault);
        KavrSimOptions o = fixtureDevice();
        o.faults.silent = fault == Silent;
        o.faults.wrongMarker = fault == WrongMarker;
        if (fault == Garbled)
            o.faults.noiseEvery = 3; // stray bytes shift the answer's letters
        if (fault == Stray)
            o.faults.strayAfter = 9;
        if (fault == StrayBehindStatus) {
            o.faults.strayAfter = 10;
            o.faults.strayOnce = true;
        }

        startDevice(false, o);
        // A cable backend with nothing plugged in.
        auto unplugged = std::make_shared<SimulatedD2xx>();
        unplugged->setPlugged(false);
        D2xx::setBackend(unplugged);
        const Ran r = cli(args);
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.contains(says), qPrintable(r.err));
        if (code == ExitOk)
            QVERIFY(r.out.isEmpty() && r.err.isEmpty());
        for (const char *name : {"out.kvr", "x.kvr", "u.kvr", "b.kvr"})
            QVERIFY2(!QFile::exists(path(QLatin1String(name))), name);
        if (fault == NoFault)
            QCOMPARE(received(), 0);
        QCOMPARE(writesDone(), 0);
    }

    // What stands under a name the tool reads or writes ("@" in the
    // arguments): every reader and writer, against every kind of entry. Only
    // regular files (or links to them) are used; nothing else hangs the
    // tool, feeds it bytes without end, or is replaced by a file.
    void fileKindsForEveryReaderAndWriter_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<int>("kind");
        const struct {
            const char *use;
            QStringList args;
            QByteArray contents;
        } uses[] = {{"import input",
                     {"import", "@", "-o", path("imported.kvr")},
                     cli({"export", Fixture}).out.toUtf8()},
                    {"language file", {"show", Fixture, "--lang", "@"}, "[TAB1]\n1=Basic settings\n"},
                    {"counters", {"write", Fixture, "--counters", "@"}, "PwOn=7\nSvHr=100\n"},
                    {"print -o", {"print", Fixture, "-o", "@"}, "regular"},
                    {"read -o", {"read", "-o", "@"}, "regular"},
                    {"trace", {"status", "--trace", "@"}, "regular"}};
        for (const auto &u : uses)
            for (const auto &[kind, name] : FileKinds::All)
                QTest::addRow("%s: %s", u.use, name) << u.args << u.contents << int(kind);
    }
    void fileKindsForEveryReaderAndWriter()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, contents);
        QFETCH(int, kind);
        const auto k = FileKinds::Kind(kind);
        const QString entry = path("entry");
        FileKinds::remove(entry);
        MAKE_FILE_KIND(k, entry, contents);
        const QString command = args[0];
        if (command == "write" || command == "read" || command == "status")
            startDevice(false, fixtureDevice(), "History=0\n");
        std::replace(args.begin(), args.end(), QStringLiteral("@"), entry);
        QElapsedTimer t;
        t.start();
        const Ran r = cli(args);
        QVERIFY2(t.elapsed() < 10000, "the tool waited on the entry");
        // Whatever the entry is, it is still that (a link stays a link).
        QVERIFY(FileKinds::stillThere(k, entry));
        if (FileKinds::isRegular(k)) {
            QVERIFY2(r.code == ExitOk, qPrintable(r.err));
            if (command == "print")
                QVERIFY(fileBytes(entry).startsWith("%PDF-"));
            if (command == "read")
                QCOMPARE(fileBytes(entry).size(), SettingsFile::FileSize);
            if (command == "write")
                QCOMPARE(state().powerOnCount, 7);
        } else {
            // Unreadable counters refuse the write before a byte goes out.
            QCOMPARE(r.code, int(command == "write" ? ExitRefused : ExitBadFile));
            QVERIFY2(r.err.contains(entry), qPrintable(r.err));
            if (command == "write")
                QCOMPARE(received(), 0);
        }
        QFile::remove(path("imported.kvr"));
        FileKinds::remove(entry);
    }

    // The tool as a shell runs it. Counters given through a pipe are read to
    // their end; an empty input gives none and the write is refused, nothing
    // sent. A trace or a PDF that does not reach the disk whole is a failure
    // (on a full disk, where the process may write no byte to a file), and
    // no half-written PDF is left behind.
    void runFromAShell_data()
    {
        QTest::addColumn<QString>("shell");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");
        const QString counters = "printf 'PwOn=7\\nSvHr=100\\n'";
        const QString write = "\"$TOOL\" write \"$KVR\" --counters ";
        // A write past the limit fails with EFBIG instead of raising the signal.
        const QString fullDisk = "trap '' XFSZ; ulimit -f 0; \"$TOOL\" ";
        QTest::newRow("counters, process substitution") << write + "<(" + counters + ")" << int(ExitOk) << "";
        QTest::newRow("counters, standard input")
            << counters + " | " + write + "/dev/stdin" << int(ExitOk) << "";
        const QString none = "no PwOn=N or SvHr=N line";
        QTest::newRow("counters, empty input") << write + "<(true)" << int(ExitRefused) << none;
        QTest::newRow("counters, comments only")
            << write + "<(printf '# none\\n')" << int(ExitRefused) << none;
        QTest::newRow("trace, full disk")
            << fullDisk + "status --trace full.trace" << int(ExitBadFile) << "full.trace";
        QTest::newRow("pdf, full disk")
            << fullDisk + "print \"$KVR\" -o full.pdf" << int(ExitBadFile) << "full.pdf";
    }
    void runFromAShell()
    {
        QFETCH(QString, shell);
        QFETCH(int, code);
        QFETCH(QString, says);
        // The shell's inputs are the point, not the verified write.
        startPtyDevice(fixtureDevice(), "VerifyWrite=0\nHistory=0\nTimeOutRS=1\n");
        QFile::remove(path("full.trace"));
        QProcess bash;
        bash.setWorkingDirectory(dir.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TOOL", QStringLiteral(TESSARO_PROGRAM_DIR "/tessaro-cli"));
        env.insert("KVR", Fixture);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        bash.setProcessEnvironment(env);
        bash.start("bash", {"-c", shell});
        QVERIFY(bash.waitForFinished(20000));
        const QString err = QString::fromUtf8(bash.readAllStandardError());
        QVERIFY2(bash.exitCode() == code, qPrintable(err));
        QVERIFY2(err.contains(says), qPrintable(err));
        QVERIFY(!QFile::exists(path("full.pdf")));
        if (code == ExitOk) {
            QCOMPARE(state().powerOnCount, 7);
            QCOMPARE(state().serviceHours, 100);
        } else if (code == ExitRefused) {
            QCOMPARE(received(), 0);
        }
    }

    // Values, labels and keys from files reach the terminal with their
    // control characters (C0, DEL, C1) escaped: show, diff, the write's
    // refusal, the keys import does not know, and export (as JSON escapes,
    // so the export still imports to the same file).
    void controlCharactersAreEscaped()
    {
        const QString hostile = QStringLiteral("\x1b]0;owned\x07\x1b[2J");
        MemoryRecord record;
        QVERIFY(SettingsFile::load(Fixture, record));
        record.setStoredText("M004", hostile);
        QVERIFY(SettingsFile::write(path("hostile.kvr"), record));
        record.setStoredText("M004", QStringLiteral("\u009b2J\x7f"));
        QVERIFY(SettingsFile::write(path("c1.kvr"), record));
        writeBytes(path("Hostile.LNG"), "[TAB1]\n1=Basic\x1b[31m settings\n");
        writeBytes(path("hostile.json"), "{\"\\u001b]0;owned\\u0007\": \"1\"}");
        const Ran shown = cli({"show", path("hostile.kvr"), "--lang", path("Hostile.LNG")});
        const Ran diff = cli({"diff", Fixture, path("hostile.kvr")});
        const Ran imported = cli({"import", path("hostile.json"), "-o", path("h.kvr")});
        const Ran exported = cli({"export", path("c1.kvr")});
        startDevice(false, fixtureDevice());
        const Ran write = cli({"write", path("hostile.kvr")});
        QCOMPARE(write.code, int(ExitRefused));
        QCOMPARE(imported.code, int(ExitBadFile));
        for (const Ran &r : {shown, diff, write, imported, exported}) {
            const QString text = r.out + r.err;
            QVERIFY2(std::none_of(text.begin(), text.end(),
                                  [](QChar c) {
                                      return c == u'\x1b' || c == u'\x07' || (c >= u'\x7f' && c <= u'\x9f');
                                  }),
                     qPrintable(text.toUtf8().toHex()));
        }
        QVERIFY2(imported.err.contains("unknown keys: \\x1B]0;owned\\x07"), qPrintable(imported.err));
        writeBytes(path("c1.json"), exported.out.toUtf8());
        QCOMPARE(cli({"import", path("c1.json"), "-o", path("c1 again.kvr")}).code, int(ExitOk));
        QCOMPARE(fileBytes(path("c1 again.kvr")), fileBytes(path("c1.kvr")));
        QVERIFY2(shown.out.contains("\\x1B]0;owned\\x07\\x1B[2J"), qPrintable(shown.out));
        QVERIFY2(shown.out.contains("Basic\\x1B[31m settings"), qPrintable(shown.out));
        QVERIFY2(diff.out.contains("\\x1B[2J"), qPrintable(diff.out));
        QVERIFY2(write.err.contains("\\x1B[2J"), qPrintable(write.err));
        QCOMPARE(received(), 0);
    }

    // The write reads the communicator's settings first (kept in History/),
    // writes, and reads them back: every way it can end, with its exit code.
    // --no-verify and VerifyWrite=0 send what the write always sent: the
    // version query, then the block; nothing is kept.
    void verifiedWriteOutcomes_data()
    {
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<QString>("setup"); // a line of Config.ini's [Setup]
        QTest::addColumn<int>("corruptAt");
        QTest::addColumn<long long>("hangUpAfter");
        QTest::addColumn<bool>("historyBlocked");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");
        QTest::addColumn<int>("writes");
        const QString none;
        QTest::newRow("stored as sent")
            << QStringList() << none << 0 << -1LL << false << int(ExitOk) << "" << 1;
        QTest::newRow("position 40 stored differently")
            << QStringList() << none << 40 << -1LL << false << int(ExitMismatch) << " (CaPo): " << 1;
        QTest::newRow("the power-on count stored differently")
            << QStringList() << none << 48 << -1LL << false << int(ExitMismatch)
            << "Počet zapnutí (PwOn): " << 1;
        QTest::newRow("the marker stored differently")
            << QStringList() << none << 1 << -1LL << false << int(ExitMismatch) << "did not store" << 1;
        // A language file that cannot be read does not hide the mismatch.
        QTest::newRow("stored differently, Lang a folder")
            << QStringList() << "Lang=Folder.LNG" << 40 << -1LL << false << int(ExitMismatch)
            << "not a regular file; the built-in texts are used" << 1;
        // Status, the old block and the handshakes go out before the read-back.
        QTest::newRow("read-back cut off") << QStringList() << none << 0 << 10LL + 128 + 128 + 20 << false
                                           << int(ExitNoAnswer) << "could not be checked" << 1;
        QTest::newRow("history not writable")
            << QStringList() << none << 0 << -1LL << true << int(ExitBadFile) << "--no-backup" << 0;
        QTest::newRow("history not writable, --no-backup")
            << QStringList{"--no-backup"} << none << 0 << -1LL << true << int(ExitOk) << "" << 1;
        QTest::newRow("--no-verify") << QStringList{"--no-verify"} << none << 0 << -1LL << false
                                     << int(ExitOk) << "" << 1;
        QTest::newRow("VerifyWrite=0")
            << QStringList() << "VerifyWrite=0" << 0 << -1LL << false << int(ExitOk) << "" << 1;
    }
    void verifiedWriteOutcomes()
    {
        QFETCH(QStringList, extra);
        QFETCH(QString, setup);
        QFETCH(int, corruptAt);
        QFETCH(long long, hangUpAfter);
        QFETCH(bool, historyBlocked);
        QFETCH(int, code);
        QFETCH(QString, says);
        QFETCH(int, writes);
        KavrSimOptions o = fixtureDevice();
        o.faults.corruptWriteAt = corruptAt;
        o.line.hangUpAfter = hangUpAfter;
        startDevice(false, o);
        QDir().mkpath(path("Folder.LNG"));
        if (!setup.isEmpty())
            QVERIFY(PrivateProfile::writeString(path("Config.ini"), "Setup", setup.section('=', 0, 0),
                                                setup.section('=', 1)));
        QDir(path("History")).removeRecursively();
        QFile::remove(path("History"));
        if (historyBlocked)
            writeBytes(path("History"), "a file where the folder should be");
        const Ran r = cli(QStringList{"write", Fixture} + extra);
        QFile::remove(path("History"));
        QVERIFY2(r.code == code, qPrintable(r.err));
        QVERIFY2(r.err.contains(says), qPrintable(r.err));
        QCOMPARE(writesDone(), writes);
        const QDir history(path("History/4711"));
        if (code == ExitMismatch) {
            // Both values, and the file to restore from.
            if (corruptAt != 1)
                QVERIFY2(r.err.contains(corruptAt == 40 ? "(CaPo): 0 -> 1" : "(PwOn): 17 -> 16"),
                         qPrintable(r.err));
            const QStringList before = history.entryList({"* before write.kvr"});
            QCOMPARE(before.size(), 1);
            QVERIFY2(r.err.contains(history.filePath(before[0])), qPrintable(r.err));
        }
        if (setup.startsWith("VerifyWrite") || extra.contains("--no-verify")) {
            QCOMPARE(received(), 1 + 2 + 128);
            QVERIFY(!QDir(path("History")).exists());
        } else if (code == ExitOk && !historyBlocked) {
            QCOMPARE(history.entryList({"*.kvr"}).size(), 2);
            const Ran h = cli({"history", "--serial", "4711"});
            QCOMPARE(h.code, int(ExitOk));
            QCOMPARE(h.out.count('\n'), 2);
            QVERIFY2(h.out.startsWith("4711  ") && h.out.contains("  written ") &&
                         h.out.contains("before write"),
                     qPrintable(h.out));
        }
    }

    // compare: the file against the communicator, as diff lists two files.
    void compareWithTheCommunicator()
    {
        startDevice(false, fixtureDevice());
        const Ran same = cli({"compare", Fixture});
        QVERIFY2(same.code == ExitOk, qPrintable(same.out + same.err));
        QVERIFY(same.out.isEmpty());
        MemoryRecord changed;
        QVERIFY(SettingsFile::load(Fixture, changed));
        changed.setStoredText("M003", "0602999");
        QVERIFY(SettingsFile::write(path("changed.kvr"), changed));
        const Ran differ = cli({"compare", path("changed.kvr")});
        QCOMPARE(differ.code, int(ExitDifferences));
        QCOMPARE(differ.out.count('\n'), 1);
        QVERIFY2(differ.out.startsWith("M003  ") && differ.out.contains("0602999 -> "),
                 qPrintable(differ.out));
        QCOMPARE(writesDone(), 0);
        QCOMPARE(cli({"compare", Fixture, "--device", "/nonexistent/tty"}).code, int(ExitPortNotOpened));
        // A history that cannot be written does not fail the read; it is said.
        QDir(path("History")).removeRecursively();
        writeBytes(path("History"), "a file where the folder should be");
        const Ran unkept = cli({"read", "-o", path("unkept.kvr")});
        QFile::remove(path("History"));
        QVERIFY2(unkept.code == ExitOk, qPrintable(unkept.err));
        QVERIFY2(unkept.err.contains("not kept in the history"), qPrintable(unkept.err));
    }

    void helpListsEveryExitCodeAndWhoTakesEachOption()
    {
        const Ran r = cli({"--help"});
        QCOMPARE(r.code, int(ExitOk));
        for (int code = ExitOk; code <= ExitMismatch; ++code)
            QVERIFY2(r.out.contains(QStringLiteral("\n  %1  ").arg(code)), qPrintable(QString::number(code)));
        // Each option stands under a heading that names the commands taking it.
        const QStringList lines = r.out.split('\n');
        for (const CliOption &o : CliOptions::all()) {
            if (!o.help)
                continue;
            const qsizetype at = lines.indexOf(QRegularExpression(QStringLiteral("  %1( .*)?").arg(o.name)));
            QVERIFY2(at > 0, o.name);
            QString heading;
            for (qsizetype i = at; i >= 0 && heading.isEmpty(); --i)
                if (lines[i].startsWith("Options of "))
                    heading = lines[i].mid(11).chopped(1);
            QStringList named = heading.replace(" and ", ", ").split(", ");
            QStringList taking;
            for (const CliCommand &c : CliCommands::all())
                if (c.options & o.group)
                    taking << c.name;
            named.sort();
            taking.sort();
            QCOMPARE(named, taking);
        }
    }

    void readSavesWhatTheProgramSaves_data()
    {
        QTest::addColumn<bool>("usb");
        QTest::newRow("serial") << false;
        QTest::newRow("usb") << true;
    }
    void readSavesWhatTheProgramSaves()
    {
        QFETCH(bool, usb);
        startDevice(usb, fixtureDevice(), "History=0\n");
        {
            auto windows = startProgram();
            windows->Form1->BitBtn4->click();
            windows->Form1->Timer1Timer(); // the next tick applies the firmware rule
            QVERIFY(SettingsFile::write(path("program.kvr"), *windows->Form1));
        }
        QFile::remove(path("cli.kvr"));
        const Ran r = cli({"read", "-o", path("cli.kvr")});
        QVERIFY2(r.code == ExitOk, qPrintable(r.err));
        const QByteArray saved = fileBytes(path("program.kvr"));
        QCOMPARE(saved.size(), SettingsFile::FileSize);
        QCOMPARE(fileBytes(path("cli.kvr")), saved);
        // The firmware rule took effect: TONE and PoBt differ from the fixture.
        const Ran d = cli({"diff", Fixture, path("cli.kvr")});
        QCOMPARE(d.code, int(ExitDifferences));
        QVERIFY2(d.out.contains("TONE") && d.out.contains("PoBt"), qPrintable(d.out));
    }

    void writeSendsWhatTheProgramSends_data() { readSavesWhatTheProgramSaves_data(); }
    void writeSendsWhatTheProgramSends()
    {
        QFETCH(bool, usb);
        QByteArray programBlock;
        startDevice(usb, fixtureDevice(), "History=0\n");
        {
            auto windows = startProgram();
            QVERIFY(SettingsFile::load(Fixture, *windows->Form1));
            windows->Form1->Timer1Timer();
            windows->Form1->BitBtn7->click();
            QCOMPARE(writesDone(), 1);
            programBlock = line->device.model().lastWrittenBlock();
        }
        cleanup();
        startDevice(usb, fixtureDevice(), "History=0\n");
        const Ran r = cli({"write", Fixture});
        QVERIFY2(r.code == ExitOk, qPrintable(r.err));
        QCOMPARE(writesDone(), 1);
        QCOMPARE(line->device.model().lastWrittenBlock().toHex(' '), programBlock.toHex(' '));
        // The device's counters went back as they were, or as a counters file says.
        QCOMPARE(state().powerOnCount, 17);
        QCOMPARE(state().serviceHours, 100);
        writeBytes(path("counters.txt"), "# cleared at the service visit\nPwOn=0\nSvHr=48\n");
        const Ran c = cli({"write", Fixture, "--counters", path("counters.txt")});
        QVERIFY2(c.code == ExitOk, qPrintable(c.err));
        QCOMPARE(state().powerOnCount, 0);
        QCOMPARE(state().serviceHours, 48);
    }

    void exportImportRoundTrip()
    {
        const Ran e = cli({"export", Fixture});
        QVERIFY2(e.code == ExitOk, qPrintable(e.err));
        QVERIFY2(e.out.startsWith("{\n  \"Dial\": \"0\",\n  \"EndS\": \"#\",\n"), qPrintable(e.out));
        writeBytes(path("settings.json"), e.out.toUtf8());
        const Ran i = cli({"import", path("settings.json"), "-o", path("again.kvr")});
        QVERIFY2(i.code == ExitOk, qPrintable(i.err));
        QCOMPARE(fileBytes(path("again.kvr")), fileBytes(Fixture));

        // A key left out is named, and nothing is written.
        writeBytes(path("missing.json"), e.out.toUtf8().replace("  \"TPas\": \"1000\",\n", ""));
        const Ran m = cli({"import", path("missing.json"), "-o", path("missing.kvr")});
        QCOMPARE(m.code, int(ExitBadFile));
        QVERIFY2(m.err.contains("missing keys: TPas"), qPrintable(m.err));
        QVERIFY(!QFile::exists(path("missing.kvr")));
    }

    void showUsesTheLanguageFile()
    {
        writeBytes(path("English.LNG"),
                   "[TAB1]\n1=Basic settings\n11=Dialling\n13=Pulse\n[TAB3]\n42=Yes\n43=No\n");
        const Ran r = cli({"show", Fixture, "--lang", path("English.LNG")});
        QVERIFY2(r.code == ExitOk, qPrintable(r.err));
        QVERIFY2(r.out.startsWith("Basic settings\n  Dial  Dialling: Pulse\n"), qPrintable(r.out));
        // Texts the file lacks keep their built-in defaults.
        QVERIFY2(r.out.contains("  EndS  Znak prodloužení hovoru: # - křížek\n"), qPrintable(r.out));
        QVERIFY2(r.out.contains("  Chk1  Pořadí 1 - Potvrzovat: Yes\n"), qPrintable(r.out));
        QCOMPARE(r.out.count(QRegularExpression("^  \\S{4}  ", QRegularExpression::MultilineOption)), 46);
    }

    // A value the window cannot show is listed as the window shows it, with
    // what the file holds; the tone sum stands behind both its lines.
    void showMarksWhatTheWindowCannotShow_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("shownAs"); // the stored text the window shows instead
        QTest::addColumn<QStringList>("lines");
        const QString mark = QStringLiteral(" [the file holds '%1', not one of %2]\n");
        QTest::newRow("Dial 7") << "Dial"
                                << "dial7.kvr"
                                << "1"
                                << QStringList{"  Dial  Druh volby: Tónová (DTMF)" + mark.arg("7", "1, 0")};
        QTest::newRow("TONE 9") << "TONE"
                                << "tone9.kvr"
                                << "3"
                                << QStringList{"  TONE  Signalizace - vyzvednutí a zavěšení linky: Ano" +
                                                   mark.arg("9", "0, 1, 2, 3"),
                                               "  TONE  Signalizace - ostatní tóny: Ano" +
                                                   mark.arg("9", "0, 1, 2, 3")};
    }
    void showMarksWhatTheWindowCannotShow()
    {
        QFETCH(QString, key);
        QFETCH(QString, file);
        QFETCH(QString, shownAs);
        QFETCH(QStringList, lines);
        LanguageTexts::resetToDefaults(); // the built-in texts, whatever ran before
        const Ran r = cli({"show", path(file)});
        QVERIFY2(r.code == ExitOk, qPrintable(r.err));
        for (const QString &line : lines)
            QVERIFY2(r.out.contains(line), qPrintable(r.out));
        QCOMPARE(r.out.count(QStringLiteral("[the file holds")), lines.size());
        // diff tells it from a file holding what the window shows instead.
        writeBytes(path("shown.kvr"), fixtureWith(qPrintable(key), shownAs.at(0).toLatin1()));
        const Ran d = cli({"diff", path("shown.kvr"), path(file)});
        QCOMPARE(d.code, int(ExitDifferences));
        QCOMPARE(d.out.count(QStringLiteral("[the file holds")), lines.size());
    }

    // The printout as a PDF: pdftotext finds every page caption, label and
    // value (labels the printout cuts to its label length are compared by
    // their start; confirm boxes and empty numbers print no value of their own).
    void printGivesAPdfOfEveryLabelAndValue()
    {
        const QString pdf = path("settings.pdf");
        const Ran r = cli({"print", Fixture, "-o", pdf});
        QVERIFY2(r.code == ExitOk, qPrintable(r.err));
        QProcess pdftotext;
        pdftotext.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        QVERIFY(pdftotext.waitForFinished(30000));
        QCOMPARE(pdftotext.exitCode(), 0);
        const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput()).simplified();
        MemoryRecord record;
        QVERIFY(SettingsFile::load(Fixture, record));
        int checked = 0;
        for (const SettingsListing::Line &line : SettingsListing::lines(record)) {
            QVERIFY2(text.contains(line.page), qPrintable(line.page));
            if (line.key.startsWith("Chk") || line.key.startsWith("Nou") || line.value.isEmpty())
                continue;
            QVERIFY2(text.contains(line.label.left(40)), qPrintable(line.label));
            QVERIFY2(text.contains(line.value), qPrintable(line.key + ": " + line.value));
            ++checked;
        }
        QCOMPARE(checked, 34);
    }

    // The tool opens the serial line exactly as the program does: 2400 baud
    // 8N1, DTR off; a read over a real terminal device ends to end.
    void serialLineAsTheProgramsOwn()
    {
        startPtyDevice(fixtureDevice());
        CliTransport transport;
        transport.devicePath = sim->linePath();
        transport.history = false;
        DeviceSession session(transport);
        MemoryRecord record;
        MemoryRecord fixture;
        QVERIFY(SettingsFile::load(Fixture, fixture));
        QCOMPARE(session.read(record).code, ExitOk);
        for (const char *key : {"M001", "M008", "Pasw", "TTon"})
            QCOMPARE(record.storedText(key), fixture.storedText(key));
        const TerminalLineSettings &dcb = session.serialPort()->DCB();
        QCOMPARE(dcb.BaudRate, 2400u);
        QCOMPARE(dcb.Flags, 0x1001u); // binary, RTS on, DTR control off
        QCOMPARE(std::tuple(int(dcb.ByteSize), int(dcb.Parity), int(dcb.StopBits)), std::tuple(8, 0, 0));
    }

    // status prints what the device reports; Config.ini's Trace names the
    // file the exchange is appended to.
    void statusReportsTheDeviceAndTraces()
    {
        startDevice(false, fixtureDevice());
        writeBytes(path("trace.log"), "earlier run\n");
        QVERIFY(PrivateProfile::writeString(path("Config.ini"), "Setup", "Trace", "trace.log"));
        const Ran r = cli({"status"});
        QVERIFY2(r.code == ExitOk, qPrintable(r.err));
        for (const char *line :
             {"firmware:       1.14", "serial number:  4711", "power-on count: 17", "service hours:  100"})
            QVERIFY2(r.out.contains(QLatin1String(line)), qPrintable(r.out));
        const QString trace = QString::fromUtf8(fileBytes(path("trace.log")));
        QVERIFY2(trace.startsWith("earlier run\n"), qPrintable(trace));
        const QRegularExpression answer("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} version   D>H "
                                        "56 72 55 11 4E 12 67 53 04 04 ",
                                        QRegularExpression::MultilineOption);
        QVERIFY2(trace.contains(answer), qPrintable(trace));
        QVERIFY2(trace.contains("version   H>D 56 | V\n"), qPrintable(trace));
    }
};

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
