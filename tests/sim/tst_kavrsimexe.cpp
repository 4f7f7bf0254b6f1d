#include "settings/MemoryRecord.h"
#include "settings/SettingsFile.h"
#include "sim/KavrDeviceModel.h"
#include "sim/KavrSimCommandLine.h"
#include "sim_helper.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>

namespace
{

const QString Program = QStringLiteral(TESSARO_PROGRAM_DIR "/kavr-sim");
const QByteArray FactoryStatus = hexBytes("56 78 55 00 4E 03 E9 53 00 03");

// Starts the simulator and waits for the one line naming its path.
QString startSim(QProcess &p, const QStringList &args)
{
    p.start(Program, args);
    if (!p.waitForStarted(3000))
        return {};
    for (int i = 0; i < 30 && !p.canReadLine(); ++i)
        p.waitForReadyRead(100);
    return QString::fromLocal8Bit(p.readLine()).trimmed();
}

QByteArray writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(data);
    return data;
}

} // namespace

class TestKavrSimExe : public QObject
{
    Q_OBJECT
  private slots:
    void helpListsEveryOption();
    void refusesBadArguments_data();
    void refusesBadArguments();
    void optionsReachTheDevice_data();
    void optionsReachTheDevice();
    void settingsFileGivesTheBlock();
    void unusableSettingsFileIsRefused_data();
    void unusableSettingsFileIsRefused();
    void endsOnSignalAndRemovesLink_data();
    void endsOnSignalAndRemovesLink();
    void neverReplacesARegularFile();
    void replacesAStaleLink();
    void endsWhenTheLineHangsUp();
};

void TestKavrSimExe::helpListsEveryOption()
{
    QProcess p;
    p.start(Program, {"--help"});
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitCode(), 0);
    const QByteArray out = p.readAllStandardOutput();
    for (const char *o : {"--link",          "--device",
                          "--firmware",      "--serial",
                          "--power-on",      "--service-hours",
                          "--block",         "--kvr",
                          "--save-block",    "--trace",
                          "--turnaround",    "--handshake-delay",
                          "--baud",          "--ftdi-latency",
                          "--silent",        "--cut-after",
                          "--wrong-marker",  "--noise-every",
                          "--stray-after",   "--stray-once",
                          "--no-z",          "--drop-handshake-at",
                          "--early-z-at",    "--corrupt-write-at",
                          "--hang-up-after", "--slow"})
        QVERIFY2(out.contains(o), o);
}

void TestKavrSimExe::refusesBadArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("firmware too big") << QStringList{"--firmware", "256"} << "--firmware";
    QTest::newRow("negative serial") << QStringList{"--serial", "-1"} << "--serial";
    QTest::newRow("hours beyond two bytes") << QStringList{"--service-hours", "6144"} << "--service-hours";
    QTest::newRow("cut not a number") << QStringList{"--cut-after", "x"} << "--cut-after";
    QTest::newRow("drop beyond the block")
        << QStringList{"--drop-handshake-at", "129"} << "--drop-handshake-at";
    QTest::newRow("early Z at the last byte") << QStringList{"--early-z-at", "128"} << "--early-z-at";
    QTest::newRow("corrupt beyond the block")
        << QStringList{"--corrupt-write-at", "129"} << "--corrupt-write-at";
    QTest::newRow("negative handshake delay")
        << QStringList{"--handshake-delay", "-1"} << "--handshake-delay";
    QTest::newRow("faster than the line") << QStringList{"--slow", "0.5"} << "--slow";
    QTest::newRow("link and device") << QStringList{"--link", "a", "--device", "b"} << "exclude";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << "bogus";
    QTest::newRow("stray argument") << QStringList{"extra"} << "extra";
    QTest::newRow("missing block file")
        << QStringList{"--block", "/nonexistent/b.bin"} << "/nonexistent/b.bin";
    QTest::newRow("short block file") << QStringList{"--block", "SHORT"} << "128";
    QTest::newRow("block file a named pipe") << QStringList{"--block", "PIPE"} << "named pipe";
}

void TestKavrSimExe::refusesBadArguments()
{
    QFETCH(QStringList, args);
    QFETCH(QString, mentions);
    QTemporaryDir dir;
    writeFile(dir.filePath("short.bin"), QByteArray(127, 'x'));
    args.replaceInStrings("SHORT", dir.filePath("short.bin"));
    QVERIFY(::mkfifo(QFile::encodeName(dir.filePath("pipe.bin")).constData(), 0600) == 0);
    args.replaceInStrings("PIPE", dir.filePath("pipe.bin"));
    if (!args.contains("--device"))
        args << "--link" << dir.filePath("link");
    QProcess p;
    p.start(Program, args);
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitCode(), 2);
    QVERIFY2(p.readAllStandardError().contains(mentions.toLocal8Bit()), qPrintable(mentions));
    QVERIFY(!QFileInfo(dir.filePath("link")).isSymLink());
}

void TestKavrSimExe::optionsReachTheDevice_data()
{
    QByteArray block = hexBytes("55 01 02 02 02 01 03 AA 18 FF") + QByteArray(118, char(0xFF));
    block[45] = 5; // 2 days 5 hours, power-on 9
    block[46] = 2;
    block[47] = 9;
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("blockFile");
    QTest::addColumn<QByteArray>("status");
    QTest::newRow("defaults") << QStringList{} << QByteArray() << FactoryStatus;
    QTest::newRow("identity and counters")
        << QStringList{"--firmware", "0x17", "--serial", "258", "--power-on", "7", "--service-hours", "29"}
        << QByteArray() << hexBytes("56 17 55 07 4E 01 02 53 05 01");
    // The rows that read the block back do it on a fast line.
    QTest::newRow("block brings its counters")
        << QStringList{"--block", "BLOCK", "--baud", "38400"} << block << hexBytes("56 78 55 09 4E 03 E9 53 05 02");
    QTest::newRow("explicit counters win over the block")
        << QStringList{"--block", "BLOCK", "--power-on", "1", "--service-hours", "24", "--baud", "38400"} << block
        << hexBytes("56 78 55 01 4E 03 E9 53 00 01");
}

void TestKavrSimExe::optionsReachTheDevice()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, blockFile);
    QFETCH(QByteArray, status);
    QTemporaryDir dir;
    writeFile(dir.filePath("block.bin"), blockFile);
    args.replaceInStrings("BLOCK", dir.filePath("block.bin"));
    QProcess p;
    const QString path = startSim(p, args);
    QVERIFY(path.startsWith("/dev/pts/"));
    HostTerminal host(path);
    host.send("V");
    QCOMPARE(host.receive(10, 2000), status);
    if (!blockFile.isEmpty()) {
        host.send("RP");
        const QByteArray read = host.receive(128, 3000);
        QCOMPARE(read.left(45), blockFile.left(45));
        QCOMPARE(read.mid(48), blockFile.mid(48));
    }
    p.terminate();
    QVERIFY(p.waitForFinished(3000));
}

void TestKavrSimExe::settingsFileGivesTheBlock()
{
    QTemporaryDir dir;
    const QString kvr = dir.filePath("lift.kvr");
    MemoryRecord settings;
    settings.setStoredText("NoRi", "3");
    settings.setStoredText("Dial", "0"); // pulse dialling
    settings.setStoredText("M001", "0602");
    settings.setStoredText("M008", "123");
    QVERIFY(SettingsFile::write(kvr, settings));

    KavrSimCommandLine cl;
    QString error;
    QVERIFY2(cl.parse({"--kvr", kvr, "--power-on", "5", "--service-hours", "50"}, &error), qPrintable(error));
    const QByteArray expected =
        hexBytes("55 03 02 02 02 01 03 AA 18 FF 05 05 FF FF FF FF 04 04 19 05" //  1-20: 3 rings
                 "07 03 09 01 01 0B 06 06 05 FF 01 03 00 00 00 00 00 05 01 01" // 21-40: pulse
                 "FF FF FF FF 00 02 02 05"                                     // 41-48: 50 h, 5 power-ons
                 "FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF"             // 49-64
                 "21 F3 FF FF FF FF FF FF FF FF FF FF FF FF FF FF"             // 65-80: IN1 number "123"
                 "6A 2A FF FF FF FF FF FF")                                    // 81-88: number 1 "0602"
        + QByteArray(40, char(0xFF));
    QCOMPARE(KavrDeviceModel(cl.options.state).blockForRead(), expected);
    QCOMPARE(cl.options.state.serviceHours, 50);
}

void TestKavrSimExe::unusableSettingsFileIsRefused_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("missing") << QByteArray() << "File not found";
    QTest::newRow("too short") << QByteArray(500, ' ') << "lift.kvr";
    // A value the program's write would refuse (990 ms goes out as 30 ms).
    QTemporaryDir dir;
    MemoryRecord refused;
    refused.setStoredText(QStringLiteral("TTon"), QStringLiteral("990"));
    QVERIFY(SettingsFile::write(dir.filePath("refused.kvr"), refused));
    QFile file(dir.filePath("refused.kvr"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QTest::newRow("refused by the write check") << file.readAll() << "TTon (Edit152) holds '990'";
}

void TestKavrSimExe::unusableSettingsFileIsRefused()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, mentions);
    QTemporaryDir dir;
    const QString kvr = dir.filePath("lift.kvr");
    if (!contents.isEmpty())
        writeFile(kvr, contents);
    KavrSimCommandLine cl;
    QString error;
    QVERIFY(!cl.parse({"--kvr", kvr}, &error));
    QVERIFY2(error.contains(mentions), qPrintable(error));
    // Nothing half-loaded: the device still holds its factory block.
    QCOMPARE(cl.options.state.block, KavrDeviceModel::factoryBlock());
}

void TestKavrSimExe::endsOnSignalAndRemovesLink_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestKavrSimExe::endsOnSignalAndRemovesLink()
{
    QFETCH(int, signal);
    QTemporaryDir dir;
    const QString link = dir.filePath("kavr");
    QProcess p;
    QCOMPARE(startSim(p, {"--link", link, "--save-block", dir.filePath("saved.bin")}), link);
    QVERIFY(QFileInfo(link).isSymLink());
    QVERIFY(QFileInfo(link).symLinkTarget().startsWith("/dev/pts/"));
    {
        HostTerminal host(link);
        host.send("V");
        QCOMPARE(host.receive(10, 2000), FactoryStatus);
    }
    // A simulator that already ended has no id: kill(0) would signal this
    // test's whole process group.
    QVERIFY(p.processId() > 0);
    ::kill(pid_t(p.processId()), signal);
    QVERIFY(p.waitForFinished(3000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
    QVERIFY(!QFileInfo::exists(dir.filePath("saved.bin"))); // nothing was written
}

void TestKavrSimExe::neverReplacesARegularFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("notes.txt");
    writeFile(path, "keep me");
    QProcess p;
    p.start(Program, {"--link", path});
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitCode(), 1);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("keep me"));
}

void TestKavrSimExe::replacesAStaleLink()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("kavr");
    QVERIFY(QFile::link("/dev/pts/nonexistent-left-by-a-crash", link));
    QProcess p;
    QCOMPARE(startSim(p, {"--link", link}), link);
    HostTerminal host(link);
    host.send("V");
    QCOMPARE(host.receive(10, 2000), FactoryStatus);
    p.terminate();
    QVERIFY(p.waitForFinished(3000));
    QVERIFY(!QFileInfo(link).isSymLink());
}

void TestKavrSimExe::endsWhenTheLineHangsUp()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("kavr");
    QProcess p;
    QCOMPARE(startSim(p, {"--link", link, "--hang-up-after", "3"}), link);
    HostTerminal host(link);
    host.send("V");
    QCOMPARE(host.receive(10, 1000), FactoryStatus.left(3));
    QVERIFY(p.waitForFinished(3000));
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
}

QTEST_GUILESS_MAIN(TestKavrSimExe)
#include "tst_kavrsimexe.moc"
