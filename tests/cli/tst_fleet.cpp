// tessaro-cli fleet and site on a history made by reading the simulator:
// three communicators with their own serial numbers, firmware and settings,
// one of them written since, so its latest settings are a written entry
// with a "before write" beside it.

#include "cli/CliExitCode.h"
#include "cli/DeviceSession.h"
#include "cli/TessaroCli.h"
#include "device/exchange_helper.h"

#include "device/DeviceCodec.h"
#include "settings/MemoryRecord.h"
#include "settings/SettingsFile.h"

#include <QDate>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

namespace
{

const QString Fixture = QStringLiteral(TESSARO_FIXTURES "/pulse-dialling.kvr");

struct Run {
    int code;
    QString out;
    QString err;
};

// The communicator the tool's runs talk to, on a virtual line where an
// exchange takes no real time; none outside a Communicator's life.
VirtualLine *onLine = nullptr;

class Communicator
{
  public:
    explicit Communicator(const KavrSimOptions &options) : m_line(false, options) { onLine = &m_line; }
    ~Communicator() { onLine = nullptr; }

  private:
    VirtualLine m_line;
};

Run cli(const QStringList &args)
{
    Run r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    SessionLine line;
    if (onLine)
        line = {&onLine->clock, &onLine->serial};
    r.code = TessaroCli::run(args, out, err, false, line);
    return r;
}

// The fixture with some values changed.
MemoryRecord settings(const QList<std::pair<const char *, const char *>> &values)
{
    MemoryRecord record;
    if (!SettingsFile::load(Fixture, record))
        qFatal("the fixture does not load");
    for (const auto &[key, value] : values)
        record.setStoredText(QLatin1String(key), QLatin1String(value));
    return record;
}

// A CSV text as records of fields (quoted fields may hold separators,
// doubled quotes and line breaks).
QList<QStringList> parseCsv(const QString &text)
{
    QList<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"')
                field += c, ++i;
            else if (c == u'"')
                quoted = false;
            else
                field += c;
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            record << field, field.clear();
        } else if (c == u'\n') {
            records << (record << field), record.clear(), field.clear();
        } else {
            field += c;
        }
    }
    return records;
}

} // namespace

class TestFleet : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString oldCwd;

    QString path(const QString &name) const { return dir.filePath(name); }

    // The communicator with the record's settings on the serial port, for
    // as long as the returned object lives.
    std::unique_ptr<Communicator> device(const MemoryRecord &record, int serial, int firmware,
                                         int dropWriteAt = 0)
    {
        KavrSimOptions o;
        o.faults.dropHandshakeAt = dropWriteAt;
        const QByteArray block = DeviceCodec::buildBlock(record);
        std::copy(block.begin(), block.end(), o.state.block.begin());
        o.state.serialNumber = std::uint16_t(serial);
        o.state.firmware = std::uint8_t(firmware);
        // COM1 itself is a path that does not exist. Written at once: the
        // program's own writer syncs every key to the disk.
        QFile ini(path("Config.ini"));
        if (!ini.open(QIODevice::WriteOnly) ||
            ini.write(QStringLiteral("[Ports]\nCOM1=%1\n[Setup]\nCOM=1\nUSB=0\n").arg(path("no-such-tty")).toUtf8()) < 0)
            qWarning("Config.ini: %s", qPrintable(ini.errorString()));
        return std::make_unique<Communicator>(o);
    }

  private slots:
    void initTestCase()
    {
        oldCwd = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        struct Device {
            int serial;
            int firmware;
            MemoryRecord record;
        };
        const Device devices[] = {
            {4711, 120, settings({{"M001", "603111222"}, {"TTon", "100"}})},
            {4712, 120, settings({{"M001", "602123456"}, {"TTon", "120"}})},
            {4713, 131, settings({{"M001", "603111222"}, {"M008", "777888999"}, {"TTon", "150"}})},
        };
        for (const Device &d : devices) {
            auto sim = device(d.record, d.serial, d.firmware);
            const Run read = cli({"read", "-o", path(QStringLiteral("%1.kvr").arg(d.serial))});
            QVERIFY2(read.code == ExitOk, qPrintable(read.err));
        }
        // 4711 written since: TTon 100 is now only in its "before write".
        {
            auto sim = device(devices[0].record, 4711, 120);
            QVERIFY(SettingsFile::write(path("4711-new.kvr"),
                                        settings({{"M001", "603111222"}, {"TTon", "120"}})));
            const Run write = cli({"write", path("4711-new.kvr")});
            QVERIFY2(write.code == ExitOk, qPrintable(write.err));
        }
        // 4712 changed on the spot to TTon 130, then a write that it gave up
        // half-way: the newest entry is a "before write", which is not what
        // it holds now, so its latest settings stay those read.
        {
            auto sim = device(settings({{"M001", "602123456"}, {"TTon", "130"}}), 4712, 120, 5);
            QVERIFY(cli({"write", path("4711-new.kvr")}).code != ExitOk);
            QCOMPARE(QDir(path("History/4712")).entryList({"* before write.kvr"}).size(), 1);
        }
        QFile::remove(path("Config.ini"));
        QCOMPARE(cli({"site", "4711", "Vinohradská 12, lift B"}).code, int(ExitOk));
        QCOMPARE(cli({"site", "4713", "Old site"}).code, int(ExitOk));
        QCOMPARE(cli({"site", "4713", "Karlova 3, \"lift\" C"}).code, int(ExitOk));
    }
    void cleanupTestCase() { QDir::setCurrent(oldCwd); }

    // Every filter, alone and together; the rows as CSV parsed back.
    void filters_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("serials"); // in the order listed
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says"); // on standard error
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        const QString tomorrow = QDate::currentDate().addDays(1).toString(Qt::ISODate);
        const auto row = [](const char *name, const QStringList &args, const QStringList &serials,
                            int code = 0, const char *says = "") {
            QTest::newRow(name) << args << serials
                                << (code                ? code
                                    : serials.isEmpty() ? 1
                                                        : 0)
                                << QString::fromUtf8(says);
        };
        row("all by serial", {"--sort", "serial"}, {"4711", "4712", "4713"});
        row("by site, none last", {"--sort", "site"}, {"4713", "4711", "4712"});
        row("dials, spaces", {"--dials", "602 123 456"}, {"4712"});
        row("dials, dashes and dots", {"--dials", "602-123.456"}, {"4712"});
        row("dials, a part is not the number", {"--dials", "602123"}, {});
        row("dials nothing known", {"--dials", "999"}, {});
        row("dials, the last number", {"--dials", "777 888 999"}, {"4713"});
        row("key, latest written counts", {"--where", "TTon=120", "--sort", "serial"}, {"4711", "4712"});
        row("key, before write never counts", {"--where", "TTon=100"}, {});
        row("key, a newest before write never counts", {"--where", "TTon=130"}, {});
        row("keys, all must hold", {"--where", "TTon=120", "--where", "M001=603111222"}, {"4711"});
        row("key given after =", {"--where=TTon=150"}, {"4713"});
        row("firmware", {"--firmware", "1.31"}, {"4713"});
        row("since today", {"--since", today, "--sort", "serial"}, {"4711", "4712", "4713"});
        row("since tomorrow", {"--since", tomorrow}, {});
        row("site, a part, case ignored", {"--site", "VINOHRAD"}, {"4711"});
        row("site replaced by the newer", {"--site", "old"}, {});
        row("site and key", {"--site", "lift", "--where", "TTon=120"}, {"4711"});
        row("unknown key, nearest named", {"--where", "TTom=120"}, {}, ExitUsage, "TTom: no such key (nearest: TTon)");
        row("no value", {"--where", "TTon"}, {}, ExitUsage, "KEY=VALUE");
        row("not a date", {"--since", "2026-13-01"}, {}, ExitUsage, "2026-13-01");
        row("empty number", {"--dials", " - "}, {}, ExitUsage, "--dials");
        row("unknown sort", {"--sort", "age"}, {}, ExitUsage, "age");
        row("unknown option", {"--colour"}, {}, ExitUsage, "--colour");
        row("option without value", {"--site"}, {}, ExitUsage, "--site");
    }
    void filters()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, serials);
        QFETCH(int, code);
        QFETCH(QString, says);
        const Run r = cli(QStringList{"fleet", "--csv"} + args);
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.contains(says), qPrintable(r.err));
        if (code == ExitUsage)
            return;
        const QList<QStringList> records = parseCsv(r.out);
        QVERIFY(!records.isEmpty());
        QCOMPARE(records[0],
                 QStringList({"serial", "site", "date", "event", "technician", "firmware", "file"}));
        QStringList listed;
        for (qsizetype i = 1; i < records.size(); ++i)
            listed << records[i][0];
        QCOMPARE(listed, serials);
    }

    // The three forms hold the same rows: JSON and CSV parsed back agree
    // field by field, the columns line up; the latest entry and the file of
    // the latest settings are those of the write.
    void formsAgree()
    {
        const Run csv = cli({"fleet", "--csv", "--sort", "serial"});
        const Run json = cli({"fleet", "--json", "--sort", "serial"});
        const Run columns = cli({"fleet", "--sort", "serial"});
        QCOMPARE(csv.code, int(ExitOk));
        QCOMPARE(json.code, int(ExitOk));
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(json.out.toUtf8(), &error);
        QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
        const QJsonArray array = doc.array();
        const QList<QStringList> records = parseCsv(csv.out);
        QCOMPARE(array.size(), records.size() - 1);
        for (qsizetype i = 0; i < array.size(); ++i)
            for (qsizetype c = 0; c < records[0].size(); ++c)
                QCOMPARE(array[i].toObject().value(records[0][c]).toString(), records[i + 1][c]);

        const QJsonObject written = array[0].toObject();
        QCOMPARE(written.value("serial").toString(), QStringLiteral("4711"));
        QCOMPARE(written.value("site").toString(), QStringLiteral("Vinohradská 12, lift B"));
        QCOMPARE(written.value("event").toString(), QStringLiteral("written"));
        QVERIFY(written.value("file").toString().endsWith(" written.kvr"));
        QCOMPARE(array[2].toObject().value("site").toString(), QStringLiteral("Karlova 3, \"lift\" C"));
        QCOMPARE(array[2].toObject().value("firmware").toString(), QStringLiteral("1.31"));

        const QStringList lines = columns.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        const qsizetype dateColumn = lines[0].indexOf(QLatin1String("Date"));
        for (const QString &line : lines.mid(1))
            QCOMPARE(line.indexOf(QDate::currentDate().toString(Qt::ISODate)), dateColumn);
    }

    // site prints the newest; a serial number without one exits 1; sites
    // never change a file: each setting is a file of its own.
    void sites()
    {
        const Run shown = cli({"site", "4713"});
        QCOMPARE(shown.code, int(ExitOk));
        QCOMPARE(shown.out, QStringLiteral("Karlova 3, \"lift\" C\n"));
        QCOMPARE(cli({"site", "4712"}).code, int(ExitNothingListed));
        QCOMPARE(cli({"site", "47/12", "x"}).code, int(ExitUsage));
        QCOMPARE(QDir(path("History/4713")).entryList({"* site*.txt"}).size(), 2);
    }

    // What fleet kept of its last listing gives way to newer entries: a
    // site set and a device read since show at once.
    void newerEntriesShow()
    {
        QCOMPARE(cli({"fleet", "--where", "TTon=140"}).code, int(ExitNothingListed));
        QCOMPARE(cli({"site", "4712", "Na Příkopě 1"}).code, int(ExitOk));
        QCOMPARE(cli({"fleet", "--site", "příkopě"}).out.count(QLatin1String("4712")), 1);
        {
            auto sim = device(settings({{"M001", "602123456"}, {"TTon", "140"}}), 4712, 120);
            QCOMPARE(cli({"read", "-o", path("again.kvr")}).code, int(ExitOk));
        }
        QFile::remove(path("Config.ini"));
        const Run r = cli({"fleet", "--csv", "--where", "TTon=140"});
        QCOMPARE(r.code, int(ExitOk));
        QCOMPARE(parseCsv(r.out).value(1).value(0), QStringLiteral("4712"));
    }

    // A site set on one laptop is seen on the other once both have shared
    // their history with the company's repository; each laptop's own entries
    // and sites stay.
    void sitesShared()
    {
        const QString remote = path("company.git");
        const QString other = path("laptop-b");
        QVERIFY(QDir().mkpath(remote));
        QVERIFY(QDir().mkpath(other));
        const QByteArray ini = QStringLiteral("[History]\r\nRemote=%1\r\n").arg(remote).toUtf8();
        for (const QString &folder : {dir.path(), other}) {
            QFile f(QDir(folder).filePath("Config.ini"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(ini);
        }
        const auto at = [](const QString &folder, const QStringList &args) {
            const QString back = QDir::currentPath();
            QDir::setCurrent(folder);
            const Run r = cli(args);
            QDir::setCurrent(back);
            return r;
        };
        QCOMPARE(at(dir.path(), {"site", "4711", "Lift 7, Vinohradská 12"}).code, int(ExitOk));
        QCOMPARE(at(other, {"site", "4799", "Karlova 3"}).code, int(ExitOk));
        for (const QString &folder : {dir.path(), other, dir.path()}) {
            const Run sync = at(folder, {"history", "sync"});
            QVERIFY2(sync.code == ExitOk, qPrintable(sync.err));
        }
        for (const QString &folder : {dir.path(), other}) {
            const Run r = at(folder, {"fleet", "--csv", "--sort", "serial", "--site", "lift 7"});
            QCOMPARE(parseCsv(r.out).value(1).value(0), QStringLiteral("4711"));
            QCOMPARE(at(folder, {"site", "4799"}).out, QStringLiteral("Karlova 3\n"));
        }
        // The other laptop lists the devices read on this one.
        const Run all = at(other, {"fleet", "--csv", "--sort", "serial"});
        QCOMPARE(parseCsv(all.out).size(), 1 + 4);
        QFile::remove(path("Config.ini"));
    }
};

QTEST_GUILESS_MAIN(TestFleet)
#include "tst_fleet.moc"
