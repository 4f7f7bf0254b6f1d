// Reading WAVE files for playback: the PCM forms the output takes, and every
// other or damaged file refused without reading past its end.

#include "platform/WavFile.h"

#include <QtTest>

namespace
{

QByteArray le16(int v)
{
    return QByteArray(1, char(v & 0xFF)) + char((v >> 8) & 0xFF);
}

QByteArray le32(qint64 v)
{
    return le16(int(v & 0xFFFF)) + le16(int((v >> 16) & 0xFFFF));
}

QByteArray chunk(const char *id, const QByteArray &body, qint64 declared = -1)
{
    QByteArray c = QByteArray(id, 4) + le32(declared < 0 ? body.size() : declared) + body;
    if (declared < 0 && body.size() % 2)
        c += '\0';
    return c;
}

QByteArray fmt(int tag, int channels, int rate, int bits)
{
    const int align = channels * bits / 8;
    return le16(tag) + le16(channels) + le32(rate) + le32(qint64(rate) * align) + le16(align) + le16(bits);
}

// Extensible header: the plain one, extra size 22, valid bits, channel mask, sub-format.
QByteArray extensible(int channels, int rate, int bits, int subFormat)
{
    static const char tail[14] = {0, 0, 0,          0, 0x10, 0,          char(0x80),
                                  0, 0, char(0xAA), 0, 0x38, char(0x9B), 0x71};
    return fmt(0xFFFE, channels, rate, bits) + le16(22) + le16(bits) + le32(channels == 1 ? 4 : 3) +
           le16(subFormat) + QByteArray(tail, 14);
}

QByteArray riff(const QByteArray &chunks)
{
    return "RIFF" + le32(4 + chunks.size()) + "WAVE" + chunks;
}

const QByteArray pcm16 = QByteArray::fromHex("0100ff7f0080fe01");

} // namespace

class WavFileTest : public QObject
{
    Q_OBJECT

  private slots:
    void acceptsPcm_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("bits");
        QTest::addColumn<QByteArray>("samples");

        QTest::newRow("16-bit mono") << riff(chunk("fmt ", fmt(1, 1, 8000, 16)) + chunk("data", pcm16)) << 1
                                     << 8000 << 16 << pcm16;
        QTest::newRow("8-bit stereo, odd data padded")
            << riff(chunk("fmt ", fmt(1, 2, 22050, 8)) + chunk("data", "\x80\x7f\x01")) << 2 << 22050 << 8
            << QByteArray("\x80\x7f"); // the half frame is dropped
        QTest::newRow("other chunks first, odd one padded")
            << riff(chunk("LIST", "abc") + chunk("fmt ", fmt(1, 2, 44100, 16)) + chunk("fact", "wxyz") +
                    chunk("data", pcm16))
            << 2 << 44100 << 16 << pcm16;
        QTest::newRow("longer format chunk")
            << riff(chunk("fmt ", fmt(1, 1, 48000, 16) + le16(0)) + chunk("data", pcm16)) << 1 << 48000 << 16
            << pcm16;
        QTest::newRow("extensible PCM")
            << riff(chunk("fmt ", extensible(1, 16000, 16, 1)) + chunk("data", pcm16)) << 1 << 16000 << 16
            << pcm16;
        QTest::newRow("data cut short by the file's end")
            << riff(chunk("fmt ", fmt(1, 1, 8000, 16))) + "data" + le32(1000) + pcm16 + "\x05" << 1 << 8000
            << 16 << pcm16;
        QTest::newRow("data length near 4 GiB")
            << riff(chunk("fmt ", fmt(1, 1, 8000, 16))) + "data" + le32(0xFFFFFFFFLL) + pcm16 << 1 << 8000
            << 16 << pcm16;
    }
    void acceptsPcm()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, channels);
        QFETCH(int, rate);
        QFETCH(int, bits);
        QFETCH(QByteArray, samples);
        const auto wav = WavFile::parse(file);
        QVERIFY(wav);
        QCOMPARE(wav->channels, channels);
        QCOMPARE(wav->sampleRate, rate);
        QCOMPARE(wav->bitsPerSample, bits);
        QCOMPARE(wav->samples, samples);
    }

    void refusesOthers_data()
    {
        QTest::addColumn<QByteArray>("file");
        const QByteArray data = chunk("data", pcm16);
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not RIFF") << QByteArray("RIFX") + le32(100) + "WAVE" +
                                         chunk("fmt ", fmt(1, 1, 8000, 16)) + data;
        QTest::newRow("RIFF but not WAVE")
            << "RIFF" + le32(40) + "AVI " + chunk("fmt ", fmt(1, 1, 8000, 16)) + data;
        QTest::newRow("header only") << riff(QByteArray());
        QTest::newRow("no format chunk") << riff(data);
        QTest::newRow("data before format") << riff(data + chunk("fmt ", fmt(1, 1, 8000, 16)));
        QTest::newRow("no data chunk") << riff(chunk("fmt ", fmt(1, 1, 8000, 16)));
        QTest::newRow("ADPCM") << riff(chunk("fmt ", fmt(2, 1, 8000, 4)) + data);
        QTest::newRow("IEEE float") << riff(chunk("fmt ", fmt(3, 1, 8000, 32)) + data);
        QTest::newRow("extensible float") << riff(chunk("fmt ", extensible(1, 8000, 32, 3)) + data);
        QTest::newRow("24-bit") << riff(chunk("fmt ", fmt(1, 1, 8000, 24)) + data);
        QTest::newRow("no channels") << riff(chunk("fmt ", fmt(1, 0, 8000, 16)) + data);
        QTest::newRow("six channels") << riff(chunk("fmt ", fmt(1, 6, 8000, 16)) + data);
        QTest::newRow("rate 0") << riff(chunk("fmt ", fmt(1, 1, 0, 16)) + data);
        QTest::newRow("block size lies")
            << riff(chunk("fmt ", fmt(1, 1, 8000, 16).left(12) + le16(4) + le16(16)) + data);
        QTest::newRow("format chunk cut short") << riff(chunk("fmt ", fmt(1, 1, 8000, 16).left(10)));
        QTest::newRow("format chunk claims more than the file")
            << riff(QByteArray("fmt ") + le32(16) + "\x01");
        QTest::newRow("extensible header cut short")
            << riff(chunk("fmt ", extensible(1, 8000, 16, 1).left(30)) + data);
        QTest::newRow("chunk length runs past the file")
            << riff(chunk("LIST", "ab", 0xFFFFFFF0LL) + chunk("fmt ", fmt(1, 1, 8000, 16)) + data);
        QTest::newRow("a text file") << QByteArray("Tessaro tone samples\n");
    }
    void refusesOthers()
    {
        QFETCH(QByteArray, file);
        QVERIFY(!WavFile::parse(file));
    }

    void readsFilesButNotFolders()
    {
        QTemporaryDir dir;
        QFile f(dir.filePath("t.wav"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(riff(chunk("fmt ", fmt(1, 1, 8000, 16)) + chunk("data", pcm16)));
        f.close();
        const auto wav = WavFile::read(f.fileName());
        QVERIFY(wav);
        QCOMPARE(wav->samples, pcm16);
        QVERIFY(!WavFile::read(dir.filePath("missing.wav")));
        QVERIFY(!WavFile::read(dir.path()));
    }
};

QTEST_GUILESS_MAIN(WavFileTest)
#include "tst_wavfile.moc"
