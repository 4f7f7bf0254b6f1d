#include "FileKinds.h"
#include "settings/MemoryRecord.h"
#include "settings/SettingsFile.h"

#include <QtTest>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

// The .kvr file: its bytes, the loader's rules for old and odd files, and
// writes that fail without harming the file they were to replace.
class SettingsFileTest : public QObject
{
    Q_OBJECT
  private slots:
    void cleanup();
    void firstRecordOfToneDiallingFile();
    void fixtureLoadsAndWritesBack();
    void roundTrip_data();
    void roundTrip();
    void recordCounts_data();
    void recordCounts();
    void oddValues_data();
    void oddValues();
    void garbageKeyFieldsLoad();
    void halfValueKeepsWritersSeparator();
    void failedWriteKeepsOldFile_data();
    void failedWriteKeepsOldFile();
    void failedWriteAllNamesTheFile();
    void refusedByPermissions();
    void writeKeepsModeAndLink();
    void loadErrors_data();
    void loadErrors();
    void readOnlyFileLoads();
    void fileKinds_data();
    void fileKinds();

  private:
    QTemporaryDir m_dir;
    QString path(const char *name) const { return m_dir.filePath(name); }
};

namespace
{
// The text the user reads, or nothing when it worked.
QString reason(const Result<void> &result)
{
    return result ? QString() : result.failure().reason;
}

QByteArray fixture()
{
    QFile f(TESSARO_FIXTURES "/pulse-dialling.kvr");
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray readFile(const QString &p)
{
    QFile f(p);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &p, const QByteArray &bytes)
{
    QFile f(p);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QStringList snapshot(const SettingsRecord &r)
{
    QStringList s;
    for (const Parameter &p : ParameterTable::all())
        s << QStringLiteral("%1=%2").arg(p.key, r.storedText(p.key));
    s << QStringLiteral("toneEnabled=%1").arg(r.toneOptionsEnabled())
      << QStringLiteral("polarityEnabled=%1").arg(r.polarityOptionsEnabled());
    return s;
}

// A record holding something other than the defaults in every parameter.
void fillVaried(SettingsRecord &r, QChar sep)
{
    const char *values[][2] = {{"Dial", "0"},    {"EndS", "#"},
                               {"HgUp", ""},     {"SwSt", "34"},
                               {"SwTi", ""},     {"Pasw", "0000"},
                               {"PotZ", "12"},   {"BlPo", "1"},
                               {"InPo", "1"},    {"SeVo", "1"},
                               {"OpNo", "5"},    {"CaPo", "0"},
                               {"OpSe", "0"},    {"MaSp", "0~5"},
                               {"NoRi", "9"},    {"TBtn", "0~5"},
                               {"THng", "1"},    {"TDia", "5"},
                               {"TRep", "1"},    {"TTon", "60"},
                               {"TSpc", "150"},  {"TFls", "600"},
                               {"TPas", "1000"}, {"TVtn", "1"},
                               {"TPtn", "5"},    {"M001", "1234567890*#PFD0"},
                               {"M002", "0"},    {"M003", "D"},
                               {"M004", "P"},    {"M005", "9999999999999999"},
                               {"M006", "#"},    {"M007", "0602"},
                               {"M008", "*"},    {"Chk1", "1"},
                               {"Chk2", "1"},    {"Chk3", "0"},
                               {"Chk4", "1"},    {"Chk5", "0"},
                               {"Chk6", "1"},    {"Chk7", "1"},
                               {"Chk8", "0"},    {"Nou1", "1"},
                               {"Nou2", "1"},    {"TONE", "1"},
                               {"PoBt", "0"}};
    for (auto &v : values)
        r.setStoredText(v[0], QString::fromLatin1(v[1]).replace('~', sep));
}
} // namespace

void SettingsFileTest::cleanup()
{
    SettingsFile::setWriteFaultHook(nullptr);
    // No temporary file may survive a test.
    const QStringList left = QDir(m_dir.path()).entryList({".*.tmp"}, QDir::Files | QDir::Hidden);
    QVERIFY2(left.isEmpty(), qPrintable(left.join(' ')));
}

void SettingsFileTest::firstRecordOfToneDiallingFile()
{
    MemoryRecord r;
    r.setStoredText("Dial", "1");
    const QByteArray expected = QByteArray::fromHex("06446961 6C3A20") + QByteArray(10, '\0') +
                                QByteArray::fromHex("0131") + QByteArray(30, ' ') + QByteArray(1, '\0');
    QCOMPARE(SettingsFile::encode(r).left(50).toHex(' '), expected.toHex(' '));
}

// The fixture was made byte by byte from the file layout, not by this writer.
void SettingsFileTest::fixtureLoadsAndWritesBack()
{
    const QByteArray bytes = fixture();
    QCOMPARE(bytes.size(), 2250);
    MemoryRecord r;
    QVERIFY(SettingsFile::apply(bytes, r));
    QCOMPARE(r.storedText("Dial"), QString("0"));
    QCOMPARE(r.storedText("EndS"), QString("#"));
    QCOMPARE(r.storedText("SwTi"), QString(""));
    QCOMPARE(r.storedText("MaSp"), QString("0,5"));
    QCOMPARE(r.storedText("TPas"), QString("1000"));
    QCOMPARE(r.storedText("M001"), QString("0602123456789012"));
    QCOMPARE(r.storedText("M004"), QString("D"));
    QCOMPARE(r.storedText("Chk7"), QString("1"));
    QCOMPARE(r.storedText("TONE"), QString("2"));
    QCOMPARE(r.storedText("PoBt"), QString("0"));
    QCOMPARE(SettingsFile::encode(r), bytes);
}

void SettingsFileTest::roundTrip_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<bool>("defaults");
    QTest::newRow("defaults") << QChar(u',') << true;
    QTest::newRow("varied, comma") << QChar(u',') << false;
    QTest::newRow("varied, point") << QChar(u'.') << false;
}

void SettingsFileTest::roundTrip()
{
    QFETCH(QChar, separator);
    QFETCH(bool, defaults);
    MemoryRecord source;
    if (!defaults)
        fillVaried(source, separator);
    QVERIFY(SettingsFile::write(path("trip.kvr"), source));
    QCOMPARE(QFileInfo(path("trip.kvr")).size(), 2250);

    // Load into a record that differs everywhere it can.
    MemoryRecord target;
    for (const Parameter &p : ParameterTable::all())
        if (p.kind == ParamKind::Edit)
            target.setStoredText(p.key, "5");
    target.setStoredText("Dial", source.storedText("Dial") == "1" ? "0" : "1");
    target.setStoredText("TONE", "0");
    target.setToneOptionsEnabled(false);
    QVERIFY(SettingsFile::load(path("trip.kvr"), target));
    QCOMPARE(snapshot(target), snapshot(source));
}

// Old files end before TONE or PoBt; short files are refused whole.
void SettingsFileTest::recordCounts_data()
{
    QTest::addColumn<int>("bytes");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("tone");
    QTest::addColumn<bool>("toneEnabled");
    QTest::addColumn<QString>("polarity");

    QTest::newRow("45") << 2250 << ""
                        << "2" << true << "0";
    QTest::newRow("45 and more") << 2250 + 50 << ""
                                 << "2" << true << "0";
    QTest::newRow("44") << 2200 << ""
                        << "2" << true << "1";
    QTest::newRow("44 and a half") << 2225 << ""
                                   << "2" << true << "1";
    QTest::newRow("43") << 2150 << ""
                        << "3" << false << "1";
    QTest::newRow("42 and a half") << 2149 << "Read beyond end of file"
                                   << "0" << true << "1";
    QTest::newRow("1") << 50 << "Read beyond end of file"
                       << "0" << true << "1";
    QTest::newRow("empty") << 0 << "Read beyond end of file"
                           << "0" << true << "1";
}

void SettingsFileTest::recordCounts()
{
    QFETCH(int, bytes);
    QFETCH(QString, error);
    QFETCH(QString, tone);
    QFETCH(bool, toneEnabled);
    QFETCH(QString, polarity);

    QByteArray contents = fixture();
    // A 46th record that would change Dial if it were read.
    QByteArray extra = contents.left(50);
    contents += extra;
    contents.truncate(bytes);

    MemoryRecord r;
    r.setStoredText("TONE", "0");
    const QStringList before = snapshot(r);
    writeFile(path("count.kvr"), contents);
    QCOMPARE(reason(SettingsFile::load(path("count.kvr"), r)), error);
    if (!error.isEmpty()) {
        QCOMPARE(snapshot(r), before);
        return;
    }
    QCOMPARE(r.storedText("M008"), QString("9"));
    QCOMPARE(r.storedText("Nou1"), QString("1"));
    QCOMPARE(r.storedText("TONE"), tone);
    QCOMPARE(r.toneOptionsEnabled(), toneEnabled);
    QCOMPARE(r.storedText("PoBt"), polarity);
    QCOMPARE(r.storedText("Dial"), QString("0"));
}

// Values the controls do not take leave them as they were, and the record
// keeps what the file held beside them; edit fields take anything.
void SettingsFileTest::oddValues_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("lengthByte"); // -1: the value's length
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("unshown"); // "-": none

    const auto row = [](const char *name, const char *key, const QByteArray &value, int lengthByte,
                        const QString &expected, const char *unshown = "-") {
        QTest::newRow(name) << QString(key) << value << lengthByte << expected << QString(unshown);
    };
    row("Dial 7", "Dial", "7", -1, "1", "7");
    row("SeVo 3", "SeVo", "3", -1, "0", "3");
    row("Chk1 2", "Chk1", "2", -1, "0", "2");
    row("TONE 9", "TONE", "9", -1, "3", "9");
    row("PoBt x", "PoBt", "x", -1, "1", "x");
    row("TTon 999", "TTon", "999", -1, "999");
    row("NoRi letters", "NoRi", "abc", -1, "abc");
    row("blanks trimmed", "M001", "  0602  ", -1, "0602");
    row("Dial padded", "Dial", " 0 ", -1, "0");
    row("length 200", "M002", QByteArray(32, '5'), 200, QString(32, '5'));
    row("length 0", "M002", "123", 0, "");
    row("high bytes", "M003", "\xe8\x9a", -1, QString::fromLatin1("\xe8\x9a"));
}

void SettingsFileTest::oddValues()
{
    QFETCH(QString, key);
    QFETCH(QByteArray, value);
    QFETCH(int, lengthByte);
    QFETCH(QString, expected);
    QFETCH(QString, unshown);

    MemoryRecord r;
    QByteArray bytes = SettingsFile::encode(r);
    const int at = 50 * ParameterTable::indexOf(key);
    bytes[at + 17] = char(lengthByte < 0 ? value.size() : lengthByte);
    bytes.replace(at + 18, value.size(), value);
    QVERIFY(SettingsFile::apply(bytes, r));
    QCOMPARE(r.storedText(key), expected);
    QCOMPARE(r.unshownText(key).value_or("-"), unshown);
}

void SettingsFileTest::garbageKeyFieldsLoad()
{
    QByteArray bytes = fixture();
    for (int i = 0; i < 45; ++i)
        for (int j = 0; j < 17; ++j)
            bytes[50 * i + j] = char((i * 31 + j * 7) & 0xFF);
    MemoryRecord fromGarbage, fromFixture;
    QVERIFY(SettingsFile::apply(bytes, fromGarbage));
    QVERIFY(SettingsFile::apply(fixture(), fromFixture));
    QCOMPARE(snapshot(fromGarbage), snapshot(fromFixture));
    QCOMPARE(fromGarbage.storedText("Dial"), QString("0"));
}

// The loader does not know separators: a half value comes back as written.
void SettingsFileTest::halfValueKeepsWritersSeparator()
{
    MemoryRecord writer;
    writer.setStoredText("MaSp", "0,5");
    writer.setStoredText("TBtn", "0.5");
    QVERIFY(SettingsFile::write(path("half.kvr"), writer));
    MemoryRecord reader;
    QVERIFY(SettingsFile::load(path("half.kvr"), reader));
    QCOMPARE(reader.storedText("MaSp"), QString("0,5"));
    QCOMPARE(reader.storedText("TBtn"), QString("0.5"));
}

void SettingsFileTest::failedWriteKeepsOldFile_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("text");

    QTest::newRow("folder refuses") << SettingsFile::StepCreate << EACCES << "File access denied";
    QTest::newRow("too many files") << SettingsFile::StepCreate << EMFILE << "Too many open files";
    QTest::newRow("first record") << 0 << EIO << "I/O error 5";
    QTest::newRow("half-way") << 22 << EIO << "I/O error 5";
    QTest::newRow("disk full") << 30 << ENOSPC << "Disk full";
    QTest::newRow("last record") << 44 << EIO << "I/O error 5";
    QTest::newRow("replace") << SettingsFile::StepReplace << EXDEV << QString("I/O error %1").arg(EXDEV);
}

void SettingsFileTest::failedWriteKeepsOldFile()
{
    QFETCH(int, step);
    QFETCH(int, error);
    QFETCH(QString, text);

    const QString target = path("old.kvr");
    writeFile(target, fixture());
    int steps = 0;
    SettingsFile::setWriteFaultHook([&](int s) {
        ++steps;
        return s == step ? error : 0;
    });
    MemoryRecord r;
    const Result<void> written = SettingsFile::write(target, r);
    QCOMPARE(reason(written), text);
    QCOMPARE(written.failure().subject, target);
    QCOMPARE(written.failure().code, error);
    QVERIFY(steps > 0);
    QCOMPARE(readFile(target), fixture());

    // A new file that fails is not left behind either.
    QCOMPARE(reason(SettingsFile::write(path("new.kvr"), r)), text);
    QVERIFY(!QFile::exists(path("new.kvr")));
}

void SettingsFileTest::failedWriteAllNamesTheFile()
{
    const MemoryRecord r;
    const QString unwritable = path("no such folder/b.kvr");
    const Result<void> written =
        SettingsFile::writeAll({{path("a.kvr"), &r}, {unwritable, &r}, {path("c.kvr"), &r}});
    QCOMPARE(reason(written), QString("Invalid filename"));
    QCOMPARE(written.failure().subject, unwritable);
    QVERIFY(!QFile::exists(path("a.kvr")));
    QVERIFY(!QFile::exists(path("c.kvr")));
}

void SettingsFileTest::refusedByPermissions()
{
    if (::geteuid() == 0)
        QSKIP("permissions do not bind the superuser");
    const QString target = path("locked/old.kvr");
    QVERIFY(QDir(m_dir.path()).mkdir("locked"));
    writeFile(target, fixture());
    MemoryRecord r;

    // A write-protected file.
    QVERIFY(QFile::setPermissions(target, QFile::ReadOwner));
    QCOMPARE(reason(SettingsFile::write(target, r)), QString("File access denied"));
    QCOMPARE(readFile(target), fixture());

    // A writable file in a folder that takes no new files.
    QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner));
    QVERIFY(QFile::setPermissions(path("locked"), QFile::ReadOwner | QFile::ExeOwner));
    QCOMPARE(reason(SettingsFile::write(target, r)), QString("File access denied"));
    QVERIFY(QFile::setPermissions(path("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QCOMPARE(readFile(target), fixture());

    // Unreadable for the loader.
    QVERIFY(QFile::setPermissions(target, QFile::WriteOwner));
    QCOMPARE(reason(SettingsFile::load(target, r)), QString("File access denied"));
}

void SettingsFileTest::writeKeepsModeAndLink()
{
    const QString target = path("mode.kvr");
    writeFile(target, fixture());
    QCOMPARE(::chmod(QFile::encodeName(target).constData(), 0640), 0);
    QVERIFY(QFile::link(target, path("link.kvr")));

    MemoryRecord r;
    QVERIFY(SettingsFile::write(path("link.kvr"), r));
    QVERIFY(QFileInfo(path("link.kvr")).isSymLink());
    QCOMPARE(readFile(target), SettingsFile::encode(r));
    struct stat st {
    };
    QCOMPARE(::stat(QFile::encodeName(target).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0640u);
}

void SettingsFileTest::loadErrors_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("error");
    QTest::newRow("missing file") << "nothing.kvr"
                                  << "File not found";
    QTest::newRow("missing folder") << "nowhere/x.kvr"
                                    << "Invalid filename";
    QTest::newRow("folder") << "dir.kvr"
                            << "File access denied";
    QTest::newRow("empty name") << ""
                                << "Invalid filename";
    // A named pipe with no writer would block a plain open() for ever.
    QTest::newRow("named pipe") << "pipe.kvr"
                                << "File access denied";
}

void SettingsFileTest::loadErrors()
{
    QFETCH(QString, name);
    QFETCH(QString, error);
    QDir(m_dir.path()).mkdir("dir.kvr");
    if (name == "pipe.kvr")
        QCOMPARE(::mkfifo(QFile::encodeName(m_dir.filePath(name)).constData(), 0600), 0);
    MemoryRecord r;
    const QStringList before = snapshot(r);
    const QString p = name.isEmpty() ? QString() : m_dir.filePath(name);
    QCOMPARE(reason(SettingsFile::load(p, r)), error);
    QCOMPARE(snapshot(r), before);
    // Writing there fails as clearly.
    if (name == "nowhere/x.kvr")
        QCOMPARE(reason(SettingsFile::write(p, r)), QString("Invalid filename"));
    if (name == "dir.kvr")
        QCOMPARE(reason(SettingsFile::write(p, r)), QString("File access denied"));
}

void SettingsFileTest::readOnlyFileLoads()
{
    const QString target = path("readonly.kvr");
    writeFile(target, fixture());
    QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    MemoryRecord r;
    QVERIFY(SettingsFile::load(target, r));
    QCOMPARE(r.storedText("Dial"), QString("0"));
    QCOMPARE(readFile(target), fixture());
}

void SettingsFileTest::fileKinds_data()
{
    FileKinds::addRows();
}

// Loading and saving whatever stands under the name: only a regular file is
// read or replaced (through a link, the file it names); anything else is
// refused at once and left as it is.
void SettingsFileTest::fileKinds()
{
    QFETCH(int, kind);
    const auto k = FileKinds::Kind(kind);
    const QString file = path("kinds/lift.kvr");
    QVERIFY(QDir(m_dir.path()).mkpath("kinds"));
    MAKE_FILE_KIND(k, file, fixture());
    const bool regular = FileKinds::isRegular(k);

    MemoryRecord r;
    const QStringList before = snapshot(r);
    QCOMPARE(reason(SettingsFile::load(file, r)), regular ? QString() : "File access denied");
    QCOMPARE(snapshot(r) == before, !regular);

    fillVaried(r, QLatin1Char(','));
    QCOMPARE(reason(SettingsFile::write(file, r)), regular ? QString() : "File access denied");
    QVERIFY(FileKinds::stillThere(k, file));
    if (regular)
        QCOMPARE(readFile(file), SettingsFile::encode(r));
    QCOMPARE(QDir(path("kinds")).entryList({".*.tmp"}, QDir::Files | QDir::Hidden), QStringList());
    QVERIFY(QDir(path("kinds")).removeRecursively());
}

QTEST_APPLESS_MAIN(SettingsFileTest)
#include "tst_settingsfile.moc"
