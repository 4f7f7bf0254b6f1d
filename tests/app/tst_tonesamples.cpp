// The tone samples window plays its files through ALSA's default output,
// here the file plugin writing into a pipe that the test empties only when
// it lets the sound go on; the command refuses without an output.

#include "FileKinds.h"
#include "TestFiles.h"
#include "alsa_test_config.h"
#include "app/HelpAndToolCommands.h"
#include "app/KAVR10.h"
#include "app/ProgramWindows.h"
#include "app/Tony.h"
#include "app/Uvod.h"
#include "app_helper.h"
#include "platform/WavFile.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace
{

const QString shipped = QStringLiteral(TESSARO_FIXTURES "/../../assets/program");

QByteArray samplesOf(const QString &file)
{
    const auto wav = WavFile::read(file);
    return wav ? wav->samples : QByteArray();
}

// The speaker: a pipe with the smallest buffer, opened both ways so the
// writer never waits for a reader; it takes nothing until released (or ten
// seconds have passed, so a fault cannot hang the test), then everything.
class PipeSpeaker
{
  public:
    explicit PipeSpeaker(const QByteArray &path)
    {
        mkfifo(path.constData(), 0600);
        m_fd = ::open(path.constData(), O_RDWR | O_NONBLOCK);
        fcntl(m_fd, F_SETPIPE_SZ, 4096);
        m_thread = std::thread([this] {
            for (int i = 0; i < 1000 && !m_released; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            char buf[4096];
            for (pollfd p{m_fd, POLLIN, 0}; poll(&p, 1, 20) > 0 || !m_stopped;)
                if (const ssize_t n = ::read(m_fd, buf, sizeof buf); n > 0)
                    m_heard.append(buf, n);
        });
    }
    ~PipeSpeaker() { stop(), ::close(m_fd); }
    void release() { m_released = true; }
    QByteArray stop()
    {
        m_released = m_stopped = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_heard;
    }

  private:
    int m_fd;
    std::thread m_thread;
    std::atomic<bool> m_released{false}, m_stopped{false};
    QByteArray m_heard;
};

} // namespace

class ToneSamplesTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> folder;
    std::unique_ptr<MessageLog> log;
    AlsaTestConfig alsa;

    void useOutputInto(const QString &file) { QVERIFY(alsa.use(AlsaTestConfig::fileOutput(file, "raw"))); }

  private slots:
    void init()
    {
        folder = std::make_unique<ProgramFolder>();
        log = std::make_unique<MessageLog>();
    }
    void cleanup()
    {
        log.reset();
        folder.reset();
    }

    // While a sample plays (the pipe holding the rest of the sound) the
    // hourglass shows, clicks and closing are ignored, and the main window's
    // timer starts no pending version query; it does once the sound is over.
    void pickUpPlaysOnceWithTheHourglass()
    {
        for (const char *name : {"PickUp.WAV", "Confirm.WAV"})
            QVERIFY(copyUnsynced(shipped + QLatin1Char('/') + QLatin1String(name),
                                 folder->file(QLatin1String(name))));
        const QString pipe = alsa.filePath(QStringLiteral("speaker"));
        PipeSpeaker speaker(pipe.toLocal8Bit());
        useOutputInto(pipe);
        folder->writeConfig(QStringLiteral("[Setup]\nUSB=0\nCOM=1\n"));
        ProgramWindows windows;
        windows.Form8->hide();
        int queries = 0;
        windows.Form1->runVersionQuery = [&] {
            ++queries;
            windows.Form1->VersionQueryRequested = false;
        };
        windows.Form1->Timer1->start(20);
        windows.Form1->VersionQueryRequested = true;

        TForm3 &form = *windows.Form3;
        form.show();
        bool hourglass = false;
        bool stayed = false;
        int queriesDuring = -1;
        QTimer::singleShot(300, &form, [&] {
            hourglass =
                QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            form.button("Button1")->click();
            form.button("Button3")->click();
            form.close();
            stayed = form.isVisible();
            queriesDuring = queries;
            speaker.release();
        });
        form.button("Button1")->click();
        QVERIFY(hourglass);
        QVERIFY(stayed);
        QCOMPARE(queriesDuring, 0);
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(speaker.stop(), samplesOf(shipped + QStringLiteral("/PickUp.WAV")));
        QTRY_COMPARE(queries, 1);
    }

    // The sounds come from the current directory of the window's last opening;
    // a missing file plays nothing and is not reported.
    void soundsComeFromTheFolderOfTheLastOpening()
    {
        ProgramFolder other;
        QVERIFY(
            QFile::copy(shipped + QStringLiteral("/HangUp.WAV"), other.file(QStringLiteral("PickUp.WAV"))));
        const QString heard = alsa.filePath(QStringLiteral("heard.raw"));
        useOutputInto(heard);
        TForm3 form;
        QDir::setCurrent(folder->path());
        form.show();
        form.hide();
        QDir::setCurrent(other.path());
        form.show();
        form.button("Button1")->click();
        QFile played(heard);
        QVERIFY(played.open(QIODevice::ReadOnly));
        QCOMPARE(played.readAll(), samplesOf(shipped + QStringLiteral("/HangUp.WAV")));
        QVERIFY(played.remove());
        form.button("Button2")->click();
        QVERIFY(!QFile::exists(heard));
        QVERIFY(log->shown.isEmpty());
    }

    // A sample that is a regular file (or a link to one) plays with the
    // hourglass; anything else under its name plays nothing and the click
    // returns at once, without the hourglass: a named pipe is not waited on,
    // a device not read without end.
    void samplesOfEveryKind_data() { FileKinds::addRows(); }
    void samplesOfEveryKind()
    {
        QFETCH(int, kind);
        const auto k = FileKinds::Kind(kind);
        QFile shippedSample(shipped + QStringLiteral("/PickUp.WAV"));
        QVERIFY(shippedSample.open(QIODevice::ReadOnly));
        const QString sample = folder->file(QStringLiteral("PickUp.WAV"));
        MAKE_FILE_KIND(k, sample, shippedSample.readAll());
        const QString heard = alsa.filePath(QStringLiteral("heard.raw"));
        useOutputInto(heard);
        TForm3 form;
        QDir::setCurrent(folder->path());
        form.show();

        // A click that waits on the pipe is let go after ten seconds (the
        // test then fails rather than hangs).
        std::atomic<bool> returned{false}, letGo{false};
        std::thread watchdog([&] {
            for (int i = 0; i < 1000 && !returned; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (!returned && k == FileKinds::Kind::NamedPipe) {
                letGo = true;
                ::close(::open(QFile::encodeName(sample).constData(), O_WRONLY | O_NONBLOCK));
            }
        });
        bool inClick = true, hourglass = false;
        QTimer::singleShot(0, &form, [&] { hourglass = inClick && QApplication::overrideCursor(); });
        form.button("Button1")->click();
        inClick = false;
        returned = true;
        watchdog.join();
        QVERIFY(!letGo);
        const bool regular = FileKinds::isRegular(k);
        QCOMPARE(hourglass, regular);
        QVERIFY(!form.playing());
        QCOMPARE(QFile::exists(heard), regular);
        if (regular) {
            QFile played(heard);
            QVERIFY(played.open(QIODevice::ReadOnly));
            QCOMPARE(played.readAll(), samplesOf(shipped + QStringLiteral("/PickUp.WAV")));
            QVERIFY(played.remove());
        }
        QVERIFY(FileKinds::stillThere(k, sample));
    }

    void commandNeedsAnOutput_data()
    {
        QTest::addColumn<bool>("output");
        QTest::newRow("file output") << true;
        QTest::newRow("no output") << false;
    }
    void commandNeedsAnOutput()
    {
        QFETCH(bool, output);
        if (output)
            useOutputInto(QStringLiteral("/dev/null"));
        else
            QVERIFY(alsa.use("pcm.other { type null }\n"));
        folder->writeConfig(QStringLiteral("[Setup]\nUSB=0\nCOM=1\n"));
        ProgramWindows windows;
        windows.Form1->Timer1->stop();
        bool opened = false;
        bool looked = false;
        QTimer::singleShot(100, windows.Form3, [&] {
            opened = windows.Form3->isVisible();
            looked = true;
            windows.Form3->reject();
        });
        windows.HelpAndTools->toneSamples();
        QTRY_VERIFY(looked); // the timer has run, whether or not the window opened
        QCOMPARE(opened, output);
        QCOMPARE(log->shown.size(), output ? 0 : 1);
        if (!output)
            QCOMPARE(log->shown[0].text,
                     QStringLiteral("Nelze přehrávat zvukové soubory, zvuková karta není nainstalovaná"));
    }
};

QTEST_MAIN(ToneSamplesTest)
#include "tst_tonesamples.moc"
