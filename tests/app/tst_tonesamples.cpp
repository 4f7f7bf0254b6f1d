// The tone samples window plays its files through ALSA's default output,
// here the file plugin writing into a pipe the test empties, so the sound
// lasts as long as the test holds the pipe; the command refuses without an
// output.

#include "app/DeviceCommands.h"
#include "app/KAVR10.h"
#include "app/ProgramWindows.h"
#include "app/Tony.h"
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

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The far end of a pipe that stands in for the speaker: it takes nothing
// until released, then everything, until stopped.
class PipeListener
{
  public:
    explicit PipeListener(const QString &path)
    {
        mkfifo(path.toLocal8Bit().constData(), 0600);
        // Opened both ways so the writer never waits for a reader, with the
        // smallest buffer so the writer waits for the test instead.
        m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NONBLOCK);
        fcntl(m_fd, F_SETPIPE_SZ, 4096);
        m_thread = std::thread([this] { run(); });
    }
    ~PipeListener()
    {
        stop();
        ::close(m_fd);
    }
    void release() { m_released = true; }
    QByteArray stop()
    {
        m_released = true;
        m_stopped = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_heard;
    }

  private:
    void run()
    {
        // Released by the test, or after ten seconds so a fault cannot hang it.
        for (int i = 0; i < 1000 && !m_released; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        for (;;) {
            pollfd p{m_fd, POLLIN, 0};
            const int ready = poll(&p, 1, 20);
            char buf[4096];
            const ssize_t n = ready > 0 ? ::read(m_fd, buf, sizeof buf) : 0;
            if (n > 0)
                m_heard.append(buf, n);
            else if (m_stopped)
                return;
        }
    }
    int m_fd = -1;
    std::thread m_thread;
    std::atomic<bool> m_released{false};
    std::atomic<bool> m_stopped{false};
    QByteArray m_heard;
};

} // namespace

class ToneSamplesTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> folder;
    std::unique_ptr<MessageLog> log;
    QTemporaryDir alsa;
    int configs = 0;

    void useAlsaConfig(const QByteArray &text)
    {
        const QString path = alsa.filePath(QStringLiteral("alsa%1.conf").arg(++configs));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        qputenv("ALSA_CONFIG_PATH", path.toLocal8Bit());
    }
    void useOutputInto(const QString &file)
    {
        useAlsaConfig("pcm.!default { type file slave.pcm { type null } file \"" + file.toLocal8Bit() +
                      "\" format \"raw\" }\n");
    }
    static QByteArray samplesOf(const QString &file)
    {
        const auto wav = WavFile::read(file);
        return wav ? wav->samples : QByteArray();
    }

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

    void pickUpPlaysOnceWithTheHourglass()
    {
        QVERIFY(
            QFile::copy(shipped + QStringLiteral("/PickUp.WAV"), folder->file(QStringLiteral("PickUp.WAV"))));
        QVERIFY(QFile::copy(shipped + QStringLiteral("/Confirm.WAV"),
                            folder->file(QStringLiteral("Confirm.WAV"))));
        const QString pipe = alsa.filePath(QStringLiteral("speaker"));
        PipeListener speaker(pipe);
        useOutputInto(pipe);

        TForm3 form;
        form.show();
        QPushButton *pickUp = form.button("Button1");
        QCOMPARE(pickUp->text(), QString()); // captions come with the language
        bool hourglass = false;
        bool ignoresClose = false;
        QTimer::singleShot(200, &form, [&] {
            // Still playing: the pipe holds the rest of the sound.
            hourglass =
                QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            // Clicks while it plays are dropped, and the window stays.
            pickUp->click();
            form.button("Button3")->click();
            form.close();
            ignoresClose = form.isVisible();
            speaker.release();
        });
        pickUp->click();
        QVERIFY(hourglass);
        QVERIFY(ignoresClose);
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(speaker.stop(), samplesOf(shipped + QStringLiteral("/PickUp.WAV")));
    }

    // The folder is the current directory of the moment the window comes up.
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
        QCOMPARE(contents(heard), samplesOf(shipped + QStringLiteral("/HangUp.WAV")));
        // A missing file plays nothing and is not reported.
        QFile::remove(heard);
        form.button("Button2")->click();
        QVERIFY(!QFile::exists(heard));
        QVERIFY(log->shown.isEmpty());
        QVERIFY(!QApplication::overrideCursor());
    }

    void commandNeedsAnOutput_data()
    {
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<bool>("opens");
        QTest::newRow("file output") << QByteArray("pcm.!default { type file slave.pcm { type null } file "
                                                   "\"/dev/null\" format \"raw\" }\n")
                                     << true;
        QTest::newRow("no output") << QByteArray("pcm.other { type null }\n") << false;
    }
    void commandNeedsAnOutput()
    {
        QFETCH(QByteArray, config);
        QFETCH(bool, opens);
        useAlsaConfig(config);
        folder->writeConfig(QStringLiteral("[Setup]\nUSB=0\nCOM=1\n"));
        ProgramWindows windows;
        windows.Form1->Timer1->stop();
        bool opened = false;
        QTimer::singleShot(100, windows.Form3, [&] {
            opened = windows.Form3->isVisible();
            windows.Form3->reject();
        });
        windows.Commands->toneSamples();
        QCOMPARE(opened, opens);
        const QStringList expected =
            opens ? QStringList{}
                  : QStringList{
                        QStringLiteral("Nelze přehrávat zvukové soubory, zvuková karta není nainstalovaná")};
        QStringList shown;
        for (const auto &s : log->shown)
            shown << s.text;
        QCOMPARE(shown, expected);
        QTest::qWait(150); // the timer of the case that opened nothing
    }
};

QTEST_MAIN(ToneSamplesTest)
#include "tst_tonesamples.moc"
