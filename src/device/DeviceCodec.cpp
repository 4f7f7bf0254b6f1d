#include "device/DeviceCodec.h"

#include "settings/NumberText.h"
#include "settings/ParameterTable.h"
#include "settings/SettingsRecord.h"

namespace DeviceCodec
{

namespace
{

// Block positions (1-based, as the communicator counts them).
enum Pos {
    PosNoRi = 2,
    PosMaSp = 3,
    PosTBtn = 4,
    PosTHng = 5,
    PosTDia = 6,
    PosTRep = 7,
    PosToneGap = 8,
    PosFlashPause = 9,
    PosPotZ = 11,
    PosHgUp = 17,
    PosTPtn = 19,
    PosTVtn = 20,
    PosPasw = 21,
    PosDial = 25,
    PosEndS = 26,
    PosSwSt = 27,
    PosSwTi = 29,
    PosPoBt = 31,
    PosTone = 32,
    PosSeVo = 33,
    PosNou1 = 34,
    PosNou2 = 35,
    PosInPo = 36,
    PosBlPo = 37,
    PosOpSe = 38,
    PosOpNo = 39,
    PosCaPo = 40,
    PosFlags = 45,
    PosHours = 46,
    PosDays = 47,
    PosPwOn = 48
};

struct Plain {
    int pos;
    const char *key;
};
// One byte holding the field's decimal value.
constexpr Plain plainFields[] = {
    {PosNoRi, "NoRi"}, {PosTHng, "THng"}, {PosTDia, "TDia"}, {PosTRep, "TRep"}, {PosTPtn, "TPtn"},
    {PosTVtn, "TVtn"}, {PosSwTi, "SwTi"}, {PosOpSe, "OpSe"}, {PosOpNo, "OpNo"}, {PosCaPo, "CaPo"},
};

struct Code {
    int pos;
    int length;
    const char *key;
};
constexpr Code codeFields[] = {
    {PosPotZ, 6, "PotZ"}, {PosHgUp, 2, "HgUp"}, {PosPasw, 4, "Pasw"}, {PosSwSt, 2, "SwSt"}};

struct Number {
    int pos;
    const char *key;
};
// The report numbers come before the six emergency numbers.
constexpr Number numberFields[] = {{49, "M007"}, {65, "M008"},  {81, "M001"},  {89, "M002"},
                                   {97, "M003"}, {105, "M004"}, {113, "M005"}, {121, "M006"}};

// Option groups whose byte is their stored text read as a number.
constexpr Plain optionFields[] = {{PosPoBt, "PoBt"}, {PosTone, "TONE"}, {PosSeVo, "SeVo"}, {PosNou1, "Nou1"},
                                  {PosNou2, "Nou2"}, {PosInPo, "InPo"}, {PosBlPo, "BlPo"}};

// Confirmation flag bits: Chk7 and Chk8 are swapped against the number order.
constexpr const char *flagKeys[8] = {"Chk1", "Chk2", "Chk3", "Chk4", "Chk5", "Chk6", "Chk8", "Chk7"};

constexpr int reservedPositions[] = {10, 30, 41, 42, 43, 44};

QString key(const char *k)
{
    return QString::fromLatin1(k);
}

QString text(const SettingsRecord &r, const char *k)
{
    return r.storedText(key(k));
}

void setText(SettingsRecord &r, const char *k, const QString &value)
{
    r.setStoredText(key(k), value);
}

// Texts of numeric fields for the device; an empty SwTi means no switch time.
std::optional<int> fieldNumber(const SettingsRecord &r, const char *k)
{
    const QString t = text(r, k);
    if (qstrcmp(k, "SwTi") == 0 && t.trimmed().isEmpty())
        return 0;
    return NumberText::toInt(t);
}

} // namespace

int digitCode(QChar c)
{
    if (c >= QLatin1Char('1') && c <= QLatin1Char('9'))
        return c.unicode() - '0';
    switch (c.unicode()) {
    case u'0':
        return 10;
    case u'*':
        return 11;
    case u'#':
        return 12;
    case u'P':
        return 13;
    case u'F':
        return 14;
    case u'D':
        return 0;
    default:
        return 15;
    }
}

QString digitText(int code)
{
    static const char digits[] = "D1234567890*#PF";
    if (code < 0 || code > 14)
        return QString();
    return QString(QLatin1Char(digits[code]));
}

QByteArray packNumber(const QString &number)
{
    const QString t = number.trimmed().left(16);
    QByteArray bytes(8, char(0xFF));
    for (int i = 0; i < t.size(); ++i) {
        const int code = digitCode(t[i]);
        char &b = bytes[i / 2];
        if (i % 2 == 0)
            b = char((quint8(b) & 0xF0) | code);
        else
            b = char((quint8(b) & 0x0F) | (code << 4));
    }
    return bytes;
}

QString unpackNumber(const QByteArray &bytes)
{
    QString number;
    for (const char b : bytes) {
        for (const int half : {quint8(b) & 0x0F, quint8(b) >> 4}) {
            const QString c = digitText(half);
            if (c.isEmpty())
                return number;
            number += c;
        }
    }
    return number;
}

QByteArray encodeCode(const QString &code, int length)
{
    QByteArray bytes(length, char(0xFF));
    for (int i = 0; i < length && i < code.size(); ++i)
        bytes[i] = char(digitCode(code[i]));
    return bytes;
}

QString decodeCode(const QByteArray &bytes)
{
    QString code;
    for (const char b : bytes)
        code += digitText(quint8(b));
    return code;
}

int halfCode(const QString &text)
{
    const QString t = text.trimmed();
    if (t.size() == 1 && t[0] >= QLatin1Char('1') && t[0] <= QLatin1Char('9'))
        return t[0].unicode() - '0';
    if (NumberText::isHalfValue(t))
        return 10;
    if (t == QLatin1String("15"))
        return 11;
    if (t == QLatin1String("30"))
        return 12;
    return 1;
}

std::optional<QString> halfMinutesText(int code, QChar sep)
{
    if (code >= 1 && code <= 9)
        return QString::number(code);
    if (code == 0 || code == 10)
        return NumberText::halfValue(sep);
    if (code == 11)
        return QStringLiteral("15");
    if (code == 12)
        return QStringLiteral("30");
    return std::nullopt;
}

QString halfSecondsText(int code, QChar sep)
{
    if (code >= 1 && code <= 9)
        return QString::number(code);
    return NumberText::halfValue(sep);
}

bool decodeBlock(const QByteArray &block, SettingsRecord &r, QChar sep)
{
    auto has = [&](int pos, int length = 1) { return pos - 1 + length <= block.size(); };
    auto at = [&](int pos) { return int(quint8(block[pos - 1])); };

    const bool markerOk = has(1) && at(1) == Marker;

    for (const Plain &f : plainFields)
        if (has(f.pos))
            setText(r, f.key, QString::number(at(f.pos)));
    if (has(PosMaSp))
        if (const std::optional<QString> t = halfMinutesText(at(PosMaSp), sep))
            setText(r, "MaSp", *t);
    if (has(PosTBtn))
        setText(r, "TBtn", halfSecondsText(at(PosTBtn), sep));
    if (has(PosToneGap)) {
        setText(r, "TTon", QString::number(at(PosToneGap) / 16 * 10));
        setText(r, "TSpc", QString::number(at(PosToneGap) % 16 * 10));
    }
    if (has(PosFlashPause)) {
        setText(r, "TFls", QString::number(at(PosFlashPause) / 16 * 100));
        setText(r, "TPas", QString::number(at(PosFlashPause) % 16 * 100));
    }
    for (const Code &f : codeFields)
        if (has(f.pos, f.length))
            setText(r, f.key, decodeCode(block.mid(f.pos - 1, f.length)));

    // The communicator stores tone dialling as 0, the file and the record as "1".
    if (has(PosDial) && (at(PosDial) == 0 || at(PosDial) == 1))
        setText(r, "Dial", at(PosDial) == 0 ? QStringLiteral("1") : QStringLiteral("0"));
    if (has(PosEndS) && (at(PosEndS) == 11 || at(PosEndS) == 12))
        setText(r, "EndS", digitText(at(PosEndS)));
    // The record ignores values that match no button or box state.
    for (const Plain &f : optionFields)
        if (has(f.pos))
            setText(r, f.key, QString::number(at(f.pos)));

    if (has(PosFlags))
        for (int bit = 0; bit < 8; ++bit)
            setText(r, flagKeys[bit], (at(PosFlags) >> bit) & 1 ? QStringLiteral("1") : QStringLiteral("0"));
    if (has(PosDays))
        r.setDeviceValue(DeviceValue::SvHr, QString::number(at(PosHours) + 24 * at(PosDays)));
    if (has(PosPwOn))
        r.setDeviceValue(DeviceValue::PwOn, QString::number(at(PosPwOn)));
    for (const Number &f : numberFields)
        if (has(f.pos, 8))
            setText(r, f.key, unpackNumber(block.mid(f.pos - 1, 8)));
    return markerOk;
}

void buildWriteBuffer(const SettingsRecord &r, WriteBuffer &buffer)
{
    // Entry k is block position k + 1, so a position indexes the buffer at
    // pos - 1; index 0 (the marker) is never touched.
    WriteBuffer &positions = buffer;
    auto put = [&](int pos, std::optional<int> value) {
        if (value)
            positions[pos - 1] = *value;
    };

    for (const Plain &f : plainFields)
        put(f.pos, fieldNumber(r, f.key));
    put(PosMaSp, halfCode(text(r, "MaSp")));
    put(PosTBtn, halfCode(text(r, "TBtn")));

    // Computed in floating point like the field values it comes from; with the
    // values the field checks allow this is exactly two half bytes.
    const std::optional<int> ton = fieldNumber(r, "TTon"), spc = fieldNumber(r, "TSpc");
    if (ton && spc)
        put(PosToneGap, int(*ton / 10.0 * 16 + *spc / 10.0));
    const std::optional<int> fls = fieldNumber(r, "TFls"), pas = fieldNumber(r, "TPas");
    if (fls && pas)
        put(PosFlashPause, int(*fls / 100.0 * 16 + *pas / 100.0));

    for (const Code &f : codeFields) {
        const QByteArray bytes = encodeCode(text(r, f.key), f.length);
        for (int i = 0; i < f.length; ++i)
            positions[f.pos - 1 + i] = quint8(bytes[i]);
    }

    const QString dial = text(r, "Dial");
    if (dial == QLatin1String("1") || dial == QLatin1String("0"))
        put(PosDial, dial == QLatin1String("1") ? 0 : 1);
    const QString ends = text(r, "EndS");
    if (ends == QLatin1String("*") || ends == QLatin1String("#"))
        put(PosEndS, digitCode(ends[0]));
    for (const Plain &f : optionFields)
        put(f.pos, NumberText::toInt(text(r, f.key)));

    int flags = 0;
    for (int bit = 0; bit < 8; ++bit)
        if (text(r, flagKeys[bit]) == QLatin1String("1"))
            flags |= 1 << bit;
    put(PosFlags, flags);

    if (const std::optional<int> hours = NumberText::toInt(r.deviceValue(DeviceValue::SvHr))) {
        put(PosHours, *hours % 24);
        put(PosDays, *hours / 24);
    }
    put(PosPwOn, NumberText::toInt(r.deviceValue(DeviceValue::PwOn)));

    for (const Number &f : numberFields) {
        const QByteArray bytes = packNumber(text(r, f.key));
        for (int i = 0; i < 8; ++i)
            positions[f.pos - 1 + i] = quint8(bytes[i]);
    }

    for (const int pos : reservedPositions)
        positions[pos - 1] = 0xFF;
    for (int pos = 57; pos <= 64; ++pos)
        positions[pos - 1] = 0xFF;
    for (int pos = 73; pos <= 80; ++pos)
        positions[pos - 1] = 0xFF;
}

QByteArray buildBlock(const SettingsRecord &record)
{
    WriteBuffer buffer;
    buffer.fill(0xFF);
    buildWriteBuffer(record, buffer);
    QByteArray block(BlockSize, char(0xFF));
    block[0] = char(Marker);
    for (int k = 1; k < BlockSize; ++k)
        block[k] = char(buffer[k] & 0xFF);
    return block;
}

bool decodeStatus(const QByteArray &answer, SettingsRecord &r, DeviceCounters *counters)
{
    auto at = [&](int pos) { return int(quint8(answer[pos - 1])); };
    auto letter = [&](int pos, char c) { return answer[pos - 1] == c; };
    if (answer.size() < StatusSize || !letter(1, 'V') || !letter(3, 'U') || !letter(5, 'N') ||
        !letter(8, 'S'))
        return false;

    // Version byte 115 is firmware 1.15, 20 is 2.0, 7 reads "7.".
    const QString d = QString::number(at(2));
    r.setDeviceValue(DeviceValue::FirmwareVersion, d.left(1) + QLatin1Char('.') + d.mid(1));
    r.setDeviceValue(DeviceValue::SerN, QString::number(256 * at(6) + at(7)));
    const QString count = QString::number(at(4));
    const QString hours = QString::number(at(9) + 24 * at(10));
    if (counters) {
        counters->powerOnCount = count;
        counters->serviceHours = hours;
    } else {
        r.setDeviceValue(DeviceValue::PwOn, count);
        r.setDeviceValue(DeviceValue::SvHr, hours);
    }
    return true;
}

void asHeld(const SettingsRecord &record, SettingsRecord &into, QChar decimalSeparator)
{
    decodeBlock(buildBlock(record), into, decimalSeparator);
}

} // namespace DeviceCodec
