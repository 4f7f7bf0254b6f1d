#include "sim_helper.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace
{

const QString DemoScript = QStringLiteral(TESSARO_FIXTURES "/../../scripts/demo");

// Stands in for the program: records the configuration it was started with
// and asks the communicator on its COM1 for the status answer.
const char *const FakeProgram = R"(#!/bin/bash
cp Config.ini seen.ini
port=$(awk -F= 'tolower($1)=="com1" { print $2 }' Config.ini | tr -d '\r')
stty -F "$port" raw -echo
exec 3<>"$port"
printf V >&3
timeout 3 head -c 10 <&3 >answer.bin
echo "$@" >args.txt
exit 3
)";

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &data, bool executable = false)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
    f.close();
    if (executable)
        f.setPermissions(f.permissions() | QFile::ExeOwner);
}

} // namespace

class TestDemoScript : public QObject
{
    Q_OBJECT
  private slots:
    void init();
    void wiresProgramToSimulator();
    void createsMissingConfiguration();
    void failingSimulatorStartsNothing();

  private:
    std::unique_ptr<QTemporaryDir> m_dir;
    int run(const QStringList &args, const QByteArray &simArgs = {});
};

void TestDemoScript::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(QFile::link(TESSARO_PROGRAM_DIR "/kavr-sim", m_dir->filePath("kavr-sim")));
    writeFile(m_dir->filePath("tessaro"), FakeProgram, true);
}

int TestDemoScript::run(const QStringList &args, const QByteArray &simArgs)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", m_dir->path());
    if (!simArgs.isEmpty())
        env.insert("KAVR_SIM_ARGS", simArgs);
    p.setProcessEnvironment(env);
    p.start("bash", QStringList{DemoScript, m_dir->path()} + args);
    if (!p.waitForFinished(15000))
        return -1;
    return p.exitCode();
}

void TestDemoScript::wiresProgramToSimulator()
{
    const QByteArray before =
        "[Info]\r\nClosePort=1 - help\r\n[setup]\r\ncom=4\r\nUSB=1\r\nLang=English.lng\r\n"
        "[ports]\r\nCOM1=/nonexistent/tty\r\nCOM2=/nonexistent/tty2\r\n";
    writeFile(m_dir->filePath("Config.ini"), before);
    QCOMPARE(run({"one.kvr"}, "--serial 258"), 3); // the program's exit code is passed on

    QCOMPARE(readFile(m_dir->filePath("answer.bin")), hexBytes("56 78 55 00 4E 01 02 53 00 03"));
    QCOMPARE(readFile(m_dir->filePath("args.txt")), QByteArray("one.kvr\n"));

    const QByteArray seen = readFile(m_dir->filePath("seen.ini"));
    const QString link = m_dir->filePath(QString("tessaro-demo-"));
    QVERIFY2(
        seen.startsWith("[Info]\r\nClosePort=1 - help\r\n[setup]\r\ncom=1\r\nUSB=0\r\nLang=English.lng\r\n"
                        "[ports]\r\nCOM1=" +
                        link.toLocal8Bit()),
        seen.constData());
    QVERIFY(seen.endsWith(".tty\r\nCOM2=/nonexistent/tty2\r\n"));

    // Afterwards: COM1 is back, the simulator and its link are gone.
    QByteArray after = before;
    after.replace("com=4\r\nUSB=1", "com=1\r\nUSB=0");
    QCOMPARE(readFile(m_dir->filePath("Config.ini")), after);
    const QStringList left = QDir(m_dir->path()).entryList({"tessaro-demo-*"}, QDir::System | QDir::Files);
    QVERIFY2(left.isEmpty(), qPrintable(left.join(' ')));
}

void TestDemoScript::createsMissingConfiguration()
{
    QCOMPARE(run({}), 3);
    QCOMPARE(readFile(m_dir->filePath("answer.bin")), hexBytes("56 78 55 00 4E 03 E9 53 00 03"));
    const QByteArray seen = readFile(m_dir->filePath("seen.ini"));
    QVERIFY2(seen.startsWith("[Setup]\nCOM=1\nUSB=0\n[Ports]\nCOM1="), seen.constData());
    QCOMPARE(readFile(m_dir->filePath("Config.ini")), QByteArray("[Setup]\nCOM=1\nUSB=0\n[Ports]\n"));
}

void TestDemoScript::failingSimulatorStartsNothing()
{
    writeFile(m_dir->filePath("Config.ini"), "[Setup]\nCOM=2\n");
    QVERIFY(run({}, "--firmware 300") != 0);
    QVERIFY(!QFileInfo::exists(m_dir->filePath("seen.ini")));
    QCOMPARE(readFile(m_dir->filePath("Config.ini")), QByteArray("[Setup]\nCOM=2\n"));
}

QTEST_GUILESS_MAIN(TestDemoScript)
#include "tst_demoscript.moc"
