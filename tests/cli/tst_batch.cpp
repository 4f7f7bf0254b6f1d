// Settings files from a template by name: set, make and write --set share
// one path of checks; make's tables as spreadsheets save them; the dry run
// and --show-changes against the simulator.

#include "TestFiles.h"
#include "cli/CliExitCode.h"
#include "cli/DeviceSession.h"
#include "cli/TessaroCli.h"
#include "device/exchange_helper.h"

#include "device/DeviceCodec.h"
#include "settings/FieldChecks.h"
#include "settings/FirmwareOptions.h"
#include "settings/KeyFilters.h"
#include "settings/MemoryRecord.h"
#include "settings/ParameterTable.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

namespace
{

const QString Fixture = QStringLiteral(TESSARO_FIXTURES "/pulse-dialling.kvr");

// The fixture with values as the window takes them from the keyboard: each
// typed character through the field's key filter, the field check when the
// focus leaves; an option or a box chosen.
MemoryRecord typedIntoTheWindow(const QStringList &assignments)
{
    MemoryRecord record;
    if (!SettingsFile::load(Fixture, record))
        qFatal("the fixture does not load");
    const QChar point = QLatin1Char('.'); // the tests run under the C locale's separator
    for (const QString &a : assignments) {
        const QString key = a.section('=', 0, 0);
        const Parameter *p = ParameterTable::byKey(key);
        QString text = a.section('=', 1);
        if (p->kind == ParamKind::Edit) {
            // A half value is typed with the system's separator.
            const QString typed = p->filter == KeyFilter::Decimal ? text.replace(',', point) : text;
            text.clear();
            for (const QChar c : typed)
                if (const std::optional<QChar> taken = KeyFilters::accept(p->filter, c, point))
                    text += *taken;
            text = FieldChecks::run(*p, text, point).text;
        }
        record.setStoredText(key, text);
    }
    return record;
}

struct Ran {
    int code;
    QString out;
    QString err;
};

} // namespace

class TestBatch : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString oldCwd;

    // The communicator, on a virtual line where the tool's exchanges take
    // no real time.
    std::unique_ptr<VirtualLine> line;

    QString path(const QString &name) const { return dir.filePath(name); }

    Ran cli(const QStringList &args)
    {
        Ran r;
        QTextStream out(&r.out);
        QTextStream err(&r.err);
        SessionLine on;
        if (line)
            on = {&line->clock, &line->serial};
        r.code = TessaroCli::run(args, out, err, false, on);
        return r;
    }

    // The fixture's settings in a communicator on the serial port (COM1),
    // firmware 1.14.
    void startDevice()
    {
        MemoryRecord record;
        if (!SettingsFile::load(Fixture, record))
            qFatal("the fixture does not load");
        // As a write of the fixture leaves it: 1.14 holds the tone and
        // polarity options at their fixed values.
        FirmwareOptions::apply(QStringLiteral("1.14"), record);
        const QByteArray block = DeviceCodec::buildBlock(record);
        KavrSimOptions o;
        std::copy(block.begin(), block.end(), o.state.block.begin());
        o.state.firmware = 114;
        o.state.serialNumber = 4711;
        o.state.powerOnCount = 17;
        o.state.serviceHours = 100;
        line = std::make_unique<VirtualLine>(false, o);
        // COM1 itself is a path that does not exist. Written at once: the
        // program's own writer syncs every key to the disk.
        writeBytes(path("Config.ini"),
                   QStringLiteral("[Ports]\nCOM1=%1\n[Setup]\nCOM=1\n").arg(path("no-such-tty")).toUtf8());
    }

    // What the communicator received, as characters.
    QString received() const { return QString::fromLatin1(line->sentByHost()); }

  private slots:
    void initTestCase()
    {
        oldCwd = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
    }
    void cleanupTestCase() { QDir::setCurrent(oldCwd); }
    void cleanup() { line.reset(); }

    // One table of values for the three commands: what set accepts, make
    // accepts in a cell and write --set sends (here to a port that does not
    // exist, so an accepted value ends at the port and a refused one before
    // it). A refusal names the key, the value and what is allowed, and
    // nothing is written; an accepted value gives the file the window would
    // save after typing it.
    void valuesAreCheckedAlike_data()
    {
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("refused"); // what the refusal says; empty: accepted
        const auto row = [](const char *name, const QStringList &values, const char *refused = "") {
            QTest::newRow(name) << values << QString::fromUtf8(refused);
        };
        row("a tone length and a number", {"TTon=120", "M001=602123456"});
        row("tone length off its step", {"TTon=125"}, "TTon=125: Povolené hodnoty: 60 až 150 po 10");
        row("tone length above the range", {"TSpc=160"}, "TSpc=160: Povolené hodnoty: 60 až 150 po 10");
        row("flash length", {"TFls=600"});
        row("half a minute, either separator", {"MaSp=0,5", "TBtn=0.5"});
        row("a longer call", {"MaSp=15"});
        row("a call length the check makes 15", {"MaSp=13"},
            "MaSp=13: Povolené hodnoty: 0.5; 1 až 9; 15; 30");
        row("confirmation wait off its step", {"TPtn=27"}, "TPtn=27: Povolené hodnoty: 5 až 50 po 5");
        row("ring-back time 0", {"TVtn=0"}, "TVtn=0: Povolené hodnoty: 1 až 10");
        row("repetitions above 5", {"OpNo=6"}, "OpNo=6: Povolené hodnoty: 1 až 5");
        row("an emptied count", {"CaPo="}, "CaPo=: Povolené hodnoty: 0 až 9");
        row("a switch time of three digits", {"SwTi=100"}, "SwTi=100: Povolené hodnoty: 0 až 99");
        row("hang-up code cancelled", {"HgUp="});
        row("hang-up code of one digit", {"HgUp=4"}, "HgUp=4: Nesmí obsahovat 1 číslo");
        row("password of five digits", {"Pasw=12345"}, "Pasw=12345: Heslo musí obsahovat 4 číslice");
        row("empty confirmation code", {"PotZ="}, "PotZ=: Heslo nesmí obsahovat 1 číslo");
        row("a number with pause and flash", {"M008=0P602F#"});
        row("a number with a plus", {"M002=+420602"}, "M002=+420602: Povolené hodnoty: 0–9 * # P F, ≤ 16");
        row("a number of 17 digits", {"M003=12345678901234567"}, "M003=12345678901234567: Povolené");
        row("options and boxes", {"Dial=1", "EndS=*", "Chk3=1", "TONE=1", "PoBt=0"});
        row("a dialling mode of none", {"Dial=2"}, "Dial=2: Povolené hodnoty: 1, 0");
        row("a tone sum of none", {"TONE=4"}, "TONE=4: Povolené hodnoty: 0, 1, 2, 3");
        row("one good, one refused", {"TTon=120", "TDia=9"}, "TDia=9: Povolené hodnoty: 1 až 5");
    }
    void valuesAreCheckedAlike()
    {
        QFETCH(QStringList, values);
        QFETCH(QString, refused);
        const bool accepted = refused.isEmpty();
        const QByteArray window = SettingsFile::encode(typedIntoTheWindow(values));

        QFile::remove(path("set.kvr"));
        const Ran set = cli(QStringList{"set", Fixture} + values + QStringList{"-o", path("set.kvr")});
        QCOMPARE(set.code, accepted ? int(ExitOk) : int(ExitRefused));
        QVERIFY2(set.err.contains(refused), qPrintable(set.err));
        QCOMPARE(fileBytes(path("set.kvr")), accepted ? window : QByteArray());

        QDir(path("made")).removeRecursively();
        QByteArray table = "file";
        QByteArray row = "\nlift";
        for (const QString &v : values) {
            table += ',' + v.section('=', 0, 0).toUtf8();
            row += ",\"" + v.section('=', 1).toUtf8() + '"';
        }
        writeBytes(path("table.csv"), table + row + '\n');
        const Ran make = cli({"make", Fixture, path("table.csv"), "-o", path("made")});
        // An empty cell keeps the template's value.
        const bool empty = values.size() == 1 && values[0].endsWith('=');
        QCOMPARE(make.code, accepted || empty ? int(ExitOk) : int(ExitRefused));
        if (!accepted && !empty)
            QVERIFY2(make.err.contains("table.csv:2: " + refused), qPrintable(make.err));
        QCOMPARE(fileBytes(path("made/lift.kvr")), empty      ? fileBytes(Fixture)
                                                   : accepted ? window
                                                              : QByteArray());

        QVERIFY(QFile::copy(Fixture, path("lift.kvr")) || QFile::exists(path("lift.kvr")));
        const QByteArray before = fileBytes(path("lift.kvr"));
        QStringList write{"write", path("lift.kvr"), "--device", "/nonexistent/tty", "--set"};
        const Ran w = cli(write + values);
        QCOMPARE(w.code, accepted ? int(ExitPortNotOpened) : int(ExitRefused));
        QVERIFY2(w.err.contains(refused), qPrintable(w.err));
        QCOMPARE(fileBytes(path("lift.kvr")), before);
    }

    // What is not a value: a counter (set with --counters) and a key the
    // table lacks, named with the nearest; the template's own value the
    // write would refuse.
    void notValues()
    {
        const Ran counter = cli({"set", Fixture, "PwOn=3", "-o", path("c.kvr")});
        QCOMPARE(counter.code, int(ExitUsage));
        QVERIFY2(counter.err.contains("--counters"), qPrintable(counter.err));
        const Ran unknown = cli({"write", Fixture, "--set", "tton=120"});
        QCOMPARE(unknown.code, int(ExitUsage));
        QVERIFY2(unknown.err.contains("tton: no such key (nearest: TTon)"), qPrintable(unknown.err));
        MemoryRecord bad;
        QVERIFY(SettingsFile::load(Fixture, bad));
        bad.setStoredText("TTon", "990");
        QVERIFY(SettingsFile::write(path("bad-template.kvr"), bad));
        const Ran templ = cli({"set", path("bad-template.kvr"), "M001=1", "-o", path("c.kvr")});
        QCOMPARE(templ.code, int(ExitRefused));
        QVERIFY2(templ.err.contains("TTon") && templ.err.contains("990"), qPrintable(templ.err));
        QVERIFY(cli({"set", path("bad-template.kvr"), "TTon=100", "-o", path("c.kvr")}).code == ExitOk);
    }

    // Tables as spreadsheets save them. Each made file holds the template
    // with its row's values; a table that cannot be read, or any row refused,
    // makes none.
    void tablesAreRead_data()
    {
        QTest::addColumn<QByteArray>("table");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");
        QTest::addColumn<QStringList>("made"); // file: M001 of each file made
        const auto row = [](const char *name, const QByteArray &table, int code, const char *says,
                            const QStringList &made = {}) {
            QTest::newRow(name) << table << code << QString::fromUtf8(says) << made;
        };
        row("commas, three rows", "file,M001,TTon\nlift1,601,120\nlift2,602,\nlift3,603,80\n", ExitOk, "",
            {"lift1.kvr:601", "lift2.kvr:602", "lift3.kvr:603"});
        row("semicolons, CRLF, an empty line", "file;M001\r\n\r\nA.kvr;604\r\n", ExitOk, "", {"A.kvr:604"});
        row("quoted cells", "\"file\",\"M001\",TTon\n\"lift;1\",\"605\", 100 \n", ExitOk, "",
            {"lift;1.kvr:605"});
        row("an empty cell keeps the template's", "file,M001\nlift,\n", ExitOk, "",
            {"lift.kvr:0602123456789012"});
        row("UTF-8 with a byte order mark",
            "\xEF\xBB\xBF"
            "file,M001\nvýtah,606\n",
            ExitOk, "", {"výtah.kvr:606"});
        row("Windows-1250", "file;M001\n\x9Akola;607\n", ExitOk, "", {"škola.kvr:607"});
        row("no file column", "name,M001\nlift,608\n", ExitBadFile, "line 1: no 'file' column");
        row("the same file twice", "file,M001\nLift,1\nx,2\nlift.KVR,3\n", ExitBadFile,
            "line 4: the file 'lift.KVR' is made by line 2 already");
        row("an unknown key", "file,M01\nlift,1\n", ExitBadFile, "column 'M01': no such key (nearest: M001)");
        row("a counter", "file,SvHr\nlift,1\n", ExitBadFile, "give them with --counters");
        row("a name out of the folder", "file,M001\n../lift,1\n", ExitBadFile, "not a plain file name");
        row("more cells than columns", "file,M001\nlift,1,2\n", ExitBadFile,
            "line 2: 3 cells, but 2 columns");
        row("a quote left open", "file,M001\nlift,\"1\n", ExitBadFile, "line 2: a quote is not closed");
        row("one bad row", "file,TTon\nlift1,120\nlift2,125\nlift3,130\n", ExitRefused,
            "table.csv:3: TTon=125");
    }
    void tablesAreRead()
    {
        QFETCH(QByteArray, table);
        QFETCH(int, code);
        QFETCH(QString, says);
        QFETCH(QStringList, made);
        QDir(path("made")).removeRecursively();
        writeBytes(path("table.csv"), table);
        const Ran r = cli({"make", Fixture, path("table.csv"), "-o", path("made")});
        QVERIFY2(r.code == code, qPrintable(r.err));
        QVERIFY2(r.err.contains(says), qPrintable(r.err));
        QStringList found;
        for (const QString &name : QDir(path("made")).entryList(QDir::Files, QDir::Name)) {
            MemoryRecord record;
            QVERIFY(SettingsFile::load(path("made/" + name), record));
            found << name + ':' + record.storedText("M001");
        }
        QCOMPARE(found, made);
    }

    // Files that exist are not replaced unless --force: then none is written.
    void existingFilesNeedForce()
    {
        QDir(path("made")).removeRecursively();
        writeBytes(path("table.csv"), "file,M001\nlift1,601\nlift2,602\n");
        QVERIFY(QDir().mkpath(path("made")));
        writeBytes(path("made/lift2.kvr"), "kept");
        const Ran r = cli({"make", Fixture, path("table.csv"), "-o", path("made")});
        QCOMPARE(r.code, int(ExitBadFile));
        QVERIFY2(r.err.contains("lift2.kvr") && !r.err.contains("lift1.kvr"), qPrintable(r.err));
        QVERIFY(!QFile::exists(path("made/lift1.kvr")));
        QCOMPARE(fileBytes(path("made/lift2.kvr")), QByteArray("kept"));
        // Not even --force replaces a folder: then no file is replaced, and
        // no new file is left half made.
        QVERIFY(QFile::remove(path("made/lift2.kvr")));
        QVERIFY(QDir().mkpath(path("made/lift2.kvr")));
        const Ran folder = cli({"make", Fixture, path("table.csv"), "-o", path("made"), "--force"});
        QCOMPARE(folder.code, int(ExitBadFile));
        QVERIFY2(folder.err.contains("lift2.kvr: File access denied"), qPrintable(folder.err));
        QCOMPARE(QDir(path("made")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"lift2.kvr"});
        QVERIFY(QDir(path("made/lift2.kvr")).removeRecursively());
        QCOMPARE(cli({"make", Fixture, path("table.csv"), "-o", path("made"), "--force"}).code, int(ExitOk));
        QCOMPARE(fileBytes(path("made/lift2.kvr")).size(), SettingsFile::FileSize);
    }

    // The dry run sends the write's version query and a read, nothing else,
    // and lists what a write would change, counters among them; exit 1. The
    // same list comes before a real write with --show-changes.
    void dryRunListsWhatAWriteWouldChange()
    {
        startDevice();
        const Ran same = cli({"write", Fixture, "--dry-run"});
        QVERIFY2(same.code == ExitOk, qPrintable(same.out + same.err));
        QCOMPARE(same.out, QString());
        QCOMPARE(received(), QStringLiteral("VRP"));

        writeBytes(path("counters.txt"), "PwOn=0\n");
        const Ran r = cli({"write", Fixture, "--dry-run", "--set", "M001=602123456", "TTon=120",
                              "--counters", path("counters.txt")});
        QVERIFY2(r.code == ExitDifferences, qPrintable(r.err));
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[0].startsWith("TTon  ") && lines[0].endsWith(": 150 -> 120"), qPrintable(r.out));
        QVERIFY2(lines[1].startsWith("M001  ") && lines[1].endsWith(": 0602123456789012 -> 602123456"),
                 qPrintable(r.out));
        QVERIFY2(lines[2].startsWith("PwOn  ") && lines[2].endsWith(": 17 -> 0"), qPrintable(r.out));
        QCOMPARE(received(), QStringLiteral("VRPVRP"));
        QCOMPARE(line->device.model().writesCompleted(), 0);

        const Ran shown = cli({"write", Fixture, "--show-changes", "--set", "M001=602123456", "TTon=120"});
        QVERIFY2(shown.code == ExitOk, qPrintable(shown.err));
        QCOMPARE(shown.out.split('\n', Qt::SkipEmptyParts), lines.mid(0, 2));
        QCOMPARE(line->device.model().writesCompleted(), 1);
        const Ran after = cli({"write", Fixture, "--dry-run", "--set", "M001=602123456", "TTon=120"});
        QCOMPARE(after.code, int(ExitOk));

        // The firmware rule: 1.14 offers no button polarity to set.
        const Ran polarity = cli({"write", Fixture, "--dry-run", "--set", "PoBt=0"});
        QCOMPARE(polarity.code, int(ExitRefused));
        QVERIFY2(polarity.err.contains("firmware 1.14 does not offer PoBt=0"), qPrintable(polarity.err));
    }
};

QTEST_MAIN(TestBatch)
#include "tst_batch.moc"
