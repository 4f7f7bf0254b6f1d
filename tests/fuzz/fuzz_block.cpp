// The configuration-block decoder on arbitrary bytes, and the digit and DTMF
// code packers: what is decoded must encode to a block that decodes to the
// same values.
#include "device/DeviceCodec.h"
#include "fuzz/fuzz_check.h"
#include "settings/MemoryRecord.h"
#include "settings/ParameterTable.h"

#include <QByteArray>

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    return 0;
}

namespace
{

void sameValues(const SettingsRecord &a, const SettingsRecord &b, const char *what)
{
    for (const Parameter &p : ParameterTable::all()) {
        const QString key = QLatin1String(p.key);
        FUZZ_CHECK(a.storedText(key) == b.storedText(key),
                   QStringLiteral("%1: %2 '%3' vs '%4'")
                       .arg(QLatin1String(what), key, a.storedText(key), b.storedText(key)));
    }
}

void codeRoundTrips(const QByteArray &bytes)
{
    const QString text = QString::fromLatin1(bytes);

    const QByteArray packed = DeviceCodec::packNumber(text);
    FUZZ_CHECK(packed.size() == 8, QString::number(packed.size()));
    // A character without a code ends the number there (what follows it in
    // the bytes is never read); the number that reads back stays the same.
    const QString number = DeviceCodec::unpackNumber(packed);
    FUZZ_CHECK(number.size() <= 16, number);
    FUZZ_CHECK(DeviceCodec::unpackNumber(DeviceCodec::packNumber(number)) == number, number);
    FUZZ_CHECK(text.trimmed().left(number.size()) == number, number);
    FUZZ_CHECK(DeviceCodec::unpackNumber(bytes.left(8)).size() <= 16, "number longer than its bytes");

    const int length = bytes.isEmpty() ? 1 : 1 + quint8(bytes[0]) % 8;
    const QByteArray code = DeviceCodec::encodeCode(text, length);
    FUZZ_CHECK(code.size() == length, QString::number(code.size()));
    // A character without a code is stored as an end code and reads as
    // nothing; what does read back stays the same from then on.
    const QString decoded = DeviceCodec::decodeCode(code);
    FUZZ_CHECK(DeviceCodec::decodeCode(DeviceCodec::encodeCode(decoded, length)) == decoded, decoded);
    FUZZ_CHECK(DeviceCodec::decodeCode(bytes).size() <= bytes.size(), "code longer than its bytes");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray received(reinterpret_cast<const char *>(data), qsizetype(size));
    const QChar separator = (size > 0 && data[0] & 1) ? QLatin1Char(',') : QLatin1Char('.');

    MemoryRecord decoded;
    const bool marker = DeviceCodec::decodeBlock(received, decoded, separator);
    FUZZ_CHECK(marker == (size > 0 && data[0] == DeviceCodec::Marker), "marker verdict");

    const QByteArray block = DeviceCodec::buildBlock(decoded);
    FUZZ_CHECK(block.size() == DeviceCodec::BlockSize, QString::number(block.size()));
    FUZZ_CHECK(quint8(block[0]) == DeviceCodec::Marker, "built block without its marker");

    // The block the program would write reads back as the values it came from.
    MemoryRecord again = decoded;
    FUZZ_CHECK(DeviceCodec::decodeBlock(block, again, separator), "marker lost");
    sameValues(decoded, again, "block round trip");
    FUZZ_CHECK(DeviceCodec::buildBlock(again) == block, "second block differs");

    codeRoundTrips(received);
    return 0;
}
