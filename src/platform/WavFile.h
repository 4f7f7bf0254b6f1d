#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Uncompressed PCM audio as a RIFF/WAVE file holds it: 8-bit unsigned or
// 16-bit signed little-endian samples, one or two interleaved channels.
struct WavPcm {
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    QByteArray samples; // whole frames only

    int frameBytes() const { return channels * bitsPerSample / 8; }
    qsizetype frames() const { return frameBytes() ? samples.size() / frameBytes() : 0; }
};

namespace WavFile
{

// The samples of a PCM WAVE image, or nothing for anything else (another
// encoding, a sample size or channel count the output does not take, a
// damaged header). A data chunk cut short by the end of the file gives the
// frames that are there.
std::optional<WavPcm> parse(const QByteArray &bytes);

// parse() of a file's contents; nothing when it cannot be read or is not a
// regular file of at most SafeFile::WavLimit bytes.
std::optional<WavPcm> read(const QString &path);

} // namespace WavFile
