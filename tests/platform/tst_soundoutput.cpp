// Sound through ALSA with a configuration of the test's own: the default
// output is ALSA's file plugin writing a WAVE file of what it was given, so
// what would reach the speaker can be read back; the shipped tone samples are
// what their generator writes.

#include "alsa_test_config.h"
#include "platform/SoundOutput.h"
#include "platform/WavFile.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

namespace
{

QByteArray le(qint64 v, int bytes)
{
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out += char((v >> (8 * i)) & 0xFF);
    return out;
}

QByteArray chunk(const char *id, const QByteArray &body, qint64 declared = -1)
{
    return QByteArray(id, 4) + le(declared < 0 ? body.size() : declared, 4) + body +
           QByteArray(declared < 0 ? body.size() % 2 : 0, '\0');
}

QByteArray fmt(int tag, int channels, int rate, int bits, int align = -1)
{
    align = align < 0 ? channels * bits / 8 : align;
    return le(tag, 2) + le(channels, 2) + le(rate, 4) + le(qint64(rate) * align, 4) + le(align, 2) +
           le(bits, 2);
}

// The extensible header: extra size, valid bits, channel mask, sub-format.
QByteArray extensible(int bits, int subFormat)
{
    return fmt(0xFFFE, 1, 8000, bits) + le(22, 2) + le(bits, 2) + le(4, 4) + le(subFormat, 2) +
           QByteArray::fromHex("000000001000800000aa00389b71");
}

QByteArray riff(const QByteArray &chunks)
{
    return "RIFF" + le(4 + chunks.size(), 4) + "WAVE" + chunks;
}

const QByteArray pcm = QByteArray::fromHex("0100ff7f0080fe01");

} // namespace

class SoundOutputTest : public QObject
{
    Q_OBJECT

    AlsaTestConfig alsa;

    QString captured() const { return alsa.filePath(QStringLiteral("played%1.wav").arg(alsa.configs())); }
    void useFileOutput()
    {
        QVERIFY(alsa.use(AlsaTestConfig::fileOutput(
            alsa.filePath(QStringLiteral("played%1.wav").arg(alsa.configs() + 1)), "wav")));
    }
    static QByteArray read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

  private slots:
    // Only PCM of a form the output takes is read; damaged headers are
    // refused without reading past the end. Empty samples: refused.
    void readsPcmOnly_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("samples");
        const QByteArray mono16 = chunk("fmt ", fmt(1, 1, 8000, 16));
        const QByteArray data = chunk("data", pcm);
        QTest::newRow("16-bit mono") << riff(mono16 + data) << pcm;
        QTest::newRow("8-bit stereo, half frame dropped")
            << riff(chunk("fmt ", fmt(1, 2, 22050, 8)) + chunk("data", "\x80\x7f\x01"))
            << QByteArray("\x80\x7f");
        QTest::newRow("odd chunks skipped with their pad")
            << riff(chunk("LIST", "abc") + mono16 + data) << pcm;
        QTest::newRow("extensible PCM") << riff(chunk("fmt ", extensible(16, 1)) + data) << pcm;
        QTest::newRow("data cut short") << riff(mono16) + "data" + le(1000, 4) + pcm + "\x05" << pcm;
        QTest::newRow("not RIFF") << QByteArray("RIFX") + riff(mono16 + data).mid(4) << QByteArray();
        QTest::newRow("text") << QByteArray("tone samples\n") << QByteArray();
        QTest::newRow("no format") << riff(data) << QByteArray();
        QTest::newRow("data before format") << riff(data + mono16) << QByteArray();
        QTest::newRow("no data") << riff(mono16) << QByteArray();
        QTest::newRow("ADPCM") << riff(chunk("fmt ", fmt(2, 1, 8000, 4)) + data) << QByteArray();
        QTest::newRow("extensible float") << riff(chunk("fmt ", extensible(32, 3)) + data) << QByteArray();
        QTest::newRow("24-bit") << riff(chunk("fmt ", fmt(1, 1, 8000, 24)) + data) << QByteArray();
        QTest::newRow("six channels") << riff(chunk("fmt ", fmt(1, 6, 8000, 16)) + data) << QByteArray();
        QTest::newRow("block size lies")
            << riff(chunk("fmt ", fmt(1, 1, 8000, 16, 4)) + data) << QByteArray();
        QTest::newRow("format cut short") << riff(QByteArray("fmt ") + le(16, 4) + "\x01") << QByteArray();
        QTest::newRow("extensible cut short")
            << riff(chunk("fmt ", extensible(16, 1).left(30)) + data) << QByteArray();
        QTest::newRow("chunk runs past the end")
            << riff(chunk("LIST", "ab", 0xFFFFFFF0LL) + mono16 + data) << QByteArray();
    }
    void readsPcmOnly()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, samples);
        const auto wav = WavFile::parse(file);
        QCOMPARE(wav ? wav->samples : QByteArray(), samples);
    }

    void outputPresence_data()
    {
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<bool>("available");
        QTest::newRow("file output") << AlsaTestConfig::fileOutput(QStringLiteral("/dev/null"), "raw") << true;
        QTest::newRow("no default output") << QByteArray("pcm.other { type null }\n") << false;
        QTest::newRow("a card that is not there")
            << QByteArray("pcm.!default { type hw card 97 }\n") << false;
    }
    void outputPresence()
    {
        QFETCH(QByteArray, config);
        QFETCH(bool, available);
        QVERIFY(alsa.use(config));
        QCOMPARE(SoundOutput::available(), available);
    }

    // The output is set up for the file's form and gets exactly its samples.
    void playsFileToTheOutput_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("bits");
        QTest::newRow("16-bit mono 8 kHz") << 1 << 8000 << 16;
        QTest::newRow("8-bit mono 11 kHz") << 1 << 11025 << 8;
        QTest::newRow("16-bit stereo 44.1 kHz") << 2 << 44100 << 16;
        QTest::newRow("8-bit stereo 48 kHz") << 2 << 48000 << 8;
    }
    void playsFileToTheOutput()
    {
        QFETCH(int, channels);
        QFETCH(int, rate);
        QFETCH(int, bits);
        QByteArray samples;
        for (int i = 0; i < rate / 10 * channels * bits / 8; ++i)
            samples += char((i * 37) & 0xFF);
        const QString file = alsa.filePath(QStringLiteral("in.WAV"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(riff(chunk("fmt ", fmt(1, channels, rate, bits)) + chunk("data", samples)));
        f.close();
        useFileOutput();
        QVERIFY(SoundOutput::playFile(file));
        const auto played = WavFile::read(captured());
        QVERIFY(played);
        QCOMPARE(played->channels, channels);
        QCOMPARE(played->sampleRate, rate);
        QCOMPARE(played->bitsPerSample, bits);
        QCOMPARE(played->samples, samples);

        // Anything else plays nothing.
        useFileOutput();
        QVERIFY(!SoundOutput::playFile(alsa.filePath(QStringLiteral("missing.WAV"))));
        QVERIFY(!SoundOutput::playFile(alsa.filePath(QStringLiteral("alsa1.conf"))));
        QVERIFY(!QFile::exists(captured()));
    }

    // The generator run anew writes the shipped files byte for byte, each a
    // short 16-bit mono PCM sound.
    void shippedSamplesAreTheGeneratorsOutput()
    {
        const QString shipped = QStringLiteral(TESSARO_FIXTURES "/../../assets/program");
        QTemporaryDir out;
        QProcess gen;
        gen.start(QStringLiteral(TESSARO_BINARY_DIR "/tools/assetgen/tonegen"), {out.path()});
        QVERIFY(gen.waitForFinished(30000));
        QCOMPARE(gen.exitCode(), 0);
        const QStringList made = QDir(out.path()).entryList(QDir::Files);
        QCOMPARE(made.size(), 11);
        for (const QString &name : made) {
            const QByteArray bytes = read(QDir(out.path()).filePath(name));
            QVERIFY2(bytes == read(QDir(shipped).filePath(name)), qPrintable(name));
            const auto wav = WavFile::parse(bytes);
            QVERIFY2(wav && wav->channels == 1 && wav->bitsPerSample == 16, qPrintable(name));
            QVERIFY2(wav->frames() >= wav->sampleRate / 4 && wav->frames() <= 2 * wav->sampleRate,
                     qPrintable(name));
        }
    }
};

QTEST_GUILESS_MAIN(SoundOutputTest)
#include "tst_soundoutput.moc"
