// Sound through ALSA with a configuration of the test's own: the default
// output is ALSA's file plugin, so what would reach the speaker lands in a
// file; the shipped tone samples are what their generator writes.

#include "platform/SoundOutput.h"
#include "platform/WavFile.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

class SoundOutputTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    int configs = 0;

    // Points ALSA at a new configuration file (a new name each time, so ALSA
    // reads it afresh) holding the given text.
    void useAlsaConfig(const QByteArray &text)
    {
        const QString path = dir.filePath(QStringLiteral("alsa%1.conf").arg(++configs));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        qputenv("ALSA_CONFIG_PATH", path.toLocal8Bit());
    }
    QString captured() const { return dir.filePath(QStringLiteral("played%1.raw").arg(configs)); }
    // The plugin writes what it is given as a WAVE file of the form the
    // output was set up for.
    void useFileOutput()
    {
        const QByteArray out = dir.filePath(QStringLiteral("played%1.raw").arg(configs + 1)).toLocal8Bit();
        useAlsaConfig("pcm.!default { type file slave.pcm { type null } file \"" + out +
                      "\" format \"wav\" }\n");
    }
    QByteArray read(const QString &path) const
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

  private slots:
    void outputPresence_data()
    {
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<bool>("available");
        QTest::newRow("file output") << QByteArray("pcm.!default { type file slave.pcm { type null } file "
                                                   "\"/dev/null\" format \"raw\" }\n")
                                     << true;
        QTest::newRow("no default output") << QByteArray("pcm.other { type null }\n") << false;
        QTest::newRow("a card that is not there")
            << QByteArray("pcm.!default { type hw card 97 }\n") << false;
        QTest::newRow("configuration unreadable") << QByteArray("pcm.!default { type file \n") << false;
    }
    void outputPresence()
    {
        QFETCH(QByteArray, config);
        QFETCH(bool, available);
        useAlsaConfig(config);
        QCOMPARE(SoundOutput::available(), available);
    }

    // The output gets exactly the file's samples, whatever its form.
    void playsEverySampleForm_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("bits");
        QTest::newRow("16-bit mono 8 kHz") << 1 << 8000 << 16;
        QTest::newRow("8-bit mono 11 kHz") << 1 << 11025 << 8;
        QTest::newRow("16-bit stereo 44.1 kHz") << 2 << 44100 << 16;
        QTest::newRow("8-bit stereo 48 kHz") << 2 << 48000 << 8;
    }
    void playsEverySampleForm()
    {
        QFETCH(int, channels);
        QFETCH(int, rate);
        QFETCH(int, bits);
        WavPcm wav{channels, rate, bits, {}};
        for (int i = 0; i < rate / 10 * wav.frameBytes(); ++i)
            wav.samples.append(char((i * 37) & 0xFF));
        useFileOutput();
        QVERIFY(SoundOutput::play(wav));
        const auto played = WavFile::parse(read(captured()));
        QVERIFY(played);
        QCOMPARE(played->channels, channels);
        QCOMPARE(played->sampleRate, rate);
        QCOMPARE(played->bitsPerSample, bits);
        QCOMPARE(played->samples, wav.samples);
    }

    void otherFilesPlayNothing_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("text") << QByteArray("not a sound\n");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("cut in its header")
            << QByteArray("RIFF\x24\x00\x00\x00WAVEfmt \x10\x00\x00\x00\x01", 21);
    }
    void otherFilesPlayNothing()
    {
        QFETCH(QByteArray, contents);
        const QString path = dir.filePath(QStringLiteral("other.WAV"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(contents);
        f.close();
        useFileOutput();
        QVERIFY(!SoundOutput::playFile(path));
        QVERIFY(!SoundOutput::playFile(dir.filePath(QStringLiteral("missing.WAV"))));
        QVERIFY(!QFile::exists(captured()));
    }

    void noOutputRefusesToPlay()
    {
        useAlsaConfig("pcm.other { type null }\n");
        QVERIFY(!SoundOutput::play(WavPcm{1, 8000, 16, QByteArray(1600, '\1')}));
    }

    // The generator run anew writes the shipped files byte for byte, and
    // each is a short 16-bit mono PCM sound the player takes.
    void shippedSamplesAreTheGeneratorsOutput()
    {
        const QString shipped = QStringLiteral(TESSARO_FIXTURES "/../../assets/program");
        QTemporaryDir out;
        QProcess gen;
        gen.start(QStringLiteral(TESSARO_BINARY_DIR "/tools/assetgen/tonegen"), {out.path()});
        QVERIFY(gen.waitForFinished(30000));
        QCOMPARE(gen.exitCode(), 0);
        const QStringList made = QDir(out.path()).entryList(QDir::Files, QDir::Name);
        QCOMPARE(made.size(), 11);
        for (const QString &name : made) {
            const QByteArray bytes = read(QDir(out.path()).filePath(name));
            QVERIFY2(bytes == read(QDir(shipped).filePath(name)), qPrintable(name));
            const auto wav = WavFile::parse(bytes);
            QVERIFY2(wav && wav->channels == 1 && wav->bitsPerSample == 16, qPrintable(name));
            const double seconds = double(wav->frames()) / wav->sampleRate;
            QVERIFY2(seconds >= 0.3 && seconds <= 2.0, qPrintable(name));
        }
    }
};

QTEST_GUILESS_MAIN(SoundOutputTest)
#include "tst_soundoutput.moc"
