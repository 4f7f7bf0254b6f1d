#include "platform/WavFile.h"

#include "platform/SafeFile.h"

#include <algorithm>
#include <cstring>

namespace
{

constexpr quint16 formatPcm = 1;
constexpr quint16 formatExtensible = 0xFFFE;
// Sub-format of an extensible header that means plain PCM (its GUID starts
// with the format code, the rest is fixed).
constexpr unsigned char pcmSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

quint16 le16(const char *p)
{
    return quint16(quint8(p[0]) | quint8(p[1]) << 8);
}

quint32 le32(const char *p)
{
    return quint32(quint8(p[0])) | quint32(quint8(p[1])) << 8 | quint32(quint8(p[2])) << 16 |
           quint32(quint8(p[3])) << 24;
}

} // namespace

namespace WavFile
{

std::optional<WavPcm> parse(const QByteArray &bytes)
{
    const char *d = bytes.constData();
    const qsizetype size = bytes.size();
    if (size < 12 || std::memcmp(d, "RIFF", 4) != 0 || std::memcmp(d + 8, "WAVE", 4) != 0)
        return std::nullopt;

    std::optional<WavPcm> pcm;
    bool haveFormat = false;
    WavPcm format;
    qsizetype at = 12;
    while (at + 8 <= size) {
        const char *chunk = d + at;
        const quint32 length = le32(chunk + 4);
        const qsizetype bodyAt = at + 8;
        const qsizetype available = size - bodyAt;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (length < 16 || available < 16)
                return std::nullopt;
            const char *f = chunk + 8;
            quint16 tag = le16(f);
            if (tag == formatExtensible) {
                // wValidBitsPerSample, channel mask, then the 16-byte sub-format.
                if (length < 40 || available < 40)
                    return std::nullopt;
                if (std::memcmp(f + 26, pcmSubFormatTail, sizeof pcmSubFormatTail) != 0)
                    return std::nullopt;
                tag = le16(f + 24);
            }
            if (tag != formatPcm)
                return std::nullopt;
            format.channels = le16(f + 2);
            format.sampleRate = int(le32(f + 4));
            format.bitsPerSample = le16(f + 14);
            const quint16 blockAlign = le16(f + 12);
            if (format.channels < 1 || format.channels > 2 ||
                (format.bitsPerSample != 8 && format.bitsPerSample != 16) || format.sampleRate < 1000 ||
                format.sampleRate > 384000 || blockAlign != format.frameBytes())
                return std::nullopt;
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat)
                return std::nullopt;
            const qsizetype taken = std::min<qsizetype>(length, available);
            pcm = format;
            pcm->samples = bytes.mid(bodyAt, taken - taken % format.frameBytes());
            return pcm;
        }
        // Chunks are padded to an even length.
        const qsizetype next = bodyAt + qsizetype(length) + (length & 1);
        if (next <= at)
            break;
        at = next;
    }
    return std::nullopt;
}

std::optional<WavPcm> read(const QString &path)
{
    // Wave files larger than the limit are not tone samples; a named pipe or
    // a device under a sample's name is not waited on or read without end.
    const SafeFile::Contents file = SafeFile::read(path, SafeFile::WavLimit);
    if (!file.ok())
        return std::nullopt;
    return parse(file.bytes);
}

} // namespace WavFile
