#include "device/DeviceCodec.h"

#include "settings/BlockMap.h"
#include "settings/NumberText.h"
#include "settings/ParameterTable.h"
#include "settings/SettingsRecord.h"

#include <QLocale>

namespace DeviceCodec
{

namespace
{

QString key(const Parameter &p)
{
    return QLatin1String(p.key);
}

QString text(const SettingsRecord &r, const Parameter &p)
{
    return r.storedText(key(p));
}

// A numeric field as the block takes it; an empty one stands for what its
// rule says (no switch time is 0), or for nothing.
std::optional<int> fieldNumber(const SettingsRecord &r, const Parameter &p)
{
    const QString t = text(r, p);
    if (t.trimmed().isEmpty() && p.rule.empty)
        return NumberText::toInt(QLatin1String(p.rule.empty));
    return NumberText::toInt(t);
}

QString counterText(const SettingsRecord &r, const Counter &c)
{
    return r.deviceValue(c.which);
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

QChar decimalSeparator()
{
    const QString point = QLocale().decimalPoint();
    return point.isEmpty() ? QChar(u'.') : point.front();
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
    auto has = [&](const BlockPlace &b) { return b.pos - 1 + b.length() <= block.size(); };
    auto at = [&](int pos) { return int(quint8(block[pos - 1])); };
    auto bytes = [&](const BlockPlace &b) { return block.mid(b.pos - 1, b.length()); };

    const bool markerOk = !block.isEmpty() && at(1) == Marker;

    for (const Parameter &p : ParameterTable::all()) {
        const BlockPlace &b = p.block;
        if (!has(b))
            continue;
        const int v = at(b.pos);
        std::optional<QString> value;
        switch (b.form) {
        case BlockForm::Byte:
            value = QString::number(v);
            break;
        case BlockForm::HalfMinutes:
            value = halfMinutesText(v, sep);
            break;
        case BlockForm::HalfSeconds:
            value = halfSecondsText(v, sep);
            break;
        case BlockForm::HighHalf:
            value = QString::number(v / 16 * b.size);
            break;
        case BlockForm::LowHalf:
            value = QString::number(v % 16 * b.size);
            break;
        case BlockForm::Code:
            value = decodeCode(bytes(b));
            break;
        case BlockForm::Number:
            value = unpackNumber(bytes(b));
            break;
        case BlockForm::Choice:
            // A value no choice stands for leaves the parameter as it was.
            if (const Choice *c = p.choiceForDevice(v))
                value = QLatin1String(c->stored);
            break;
        case BlockForm::Bit:
            value = (v >> b.size) & 1 ? QStringLiteral("1") : QStringLiteral("0");
            break;
        case BlockForm::HoursDays:
            break;
        }
        if (value)
            r.setStoredText(key(p), *value);
    }
    for (const Counter &c : ParameterTable::counters()) {
        if (!has(c.block))
            continue;
        const int v = at(c.block.pos);
        if (c.block.form == BlockForm::HoursDays)
            r.setDeviceValue(c.which, QString::number(v + 24 * at(c.block.pos + 1)));
        else
            r.setDeviceValue(c.which, QString::number(v));
    }
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
    auto putBytes = [&](const BlockPlace &b, const QByteArray &bytes) {
        for (int i = 0; i < b.length(); ++i)
            positions[b.pos - 1 + i] = quint8(bytes[i]);
    };

    // Two half bytes share a byte; it is computed in floating point like the
    // field values it comes from, and with the values the field checks allow
    // it is exactly the two half bytes. A byte with a half that is not a
    // number keeps its entry.
    struct Halves {
        double sum = 0;
        bool complete = true;
    };
    std::array<Halves, BlockSize + 1> halves{};
    // Flag bytes are built whole from their bits.
    std::array<std::optional<int>, BlockSize + 1> flags{};

    for (const Parameter &p : ParameterTable::all()) {
        const BlockPlace &b = p.block;
        switch (b.form) {
        case BlockForm::Byte:
            put(b.pos, fieldNumber(r, p));
            break;
        case BlockForm::HalfMinutes:
        case BlockForm::HalfSeconds:
            put(b.pos, halfCode(text(r, p)));
            break;
        case BlockForm::HighHalf:
        case BlockForm::LowHalf:
            if (const std::optional<int> v = fieldNumber(r, p))
                halves[b.pos].sum += *v / double(b.size) * (b.form == BlockForm::HighHalf ? 16 : 1);
            else
                halves[b.pos].complete = false;
            break;
        case BlockForm::Code:
            putBytes(b, encodeCode(text(r, p), b.size));
            break;
        case BlockForm::Number:
            putBytes(b, packNumber(text(r, p)));
            break;
        case BlockForm::Choice:
            // An option group with no button selected keeps its entry.
            if (const Choice *c = p.choice(text(r, p)))
                put(b.pos, c->device);
            break;
        case BlockForm::Bit:
            flags[b.pos] = flags[b.pos].value_or(0) | (text(r, p) == QLatin1String("1") ? 1 << b.size : 0);
            break;
        case BlockForm::HoursDays:
            break;
        }
    }
    for (const Parameter &p : ParameterTable::all()) {
        const int pos = p.block.pos;
        if ((p.block.form == BlockForm::HighHalf || p.block.form == BlockForm::LowHalf) &&
            halves[pos].complete)
            put(pos, int(halves[pos].sum));
        put(pos, flags[pos]);
    }

    for (const Counter &c : ParameterTable::counters()) {
        const std::optional<int> v = NumberText::toInt(counterText(r, c));
        if (c.block.form == BlockForm::HoursDays) {
            put(c.block.pos, v ? std::optional<int>(*v % 24) : std::nullopt);
            put(c.block.pos + 1, v ? std::optional<int>(*v / 24) : std::nullopt);
        } else {
            put(c.block.pos, v);
        }
    }

    // What nothing uses always holds 0xFF.
    for (const int pos : BlockMap::unused())
        positions[pos - 1] = 0xFF;
}

QByteArray blockOf(const WriteBuffer &buffer)
{
    QByteArray block(BlockSize, char(Marker));
    for (int k = 1; k < BlockSize; ++k)
        block[k] = char(buffer[k] & 0xFF);
    return block;
}

QByteArray buildBlock(const SettingsRecord &record)
{
    WriteBuffer buffer;
    buffer.fill(0xFF);
    buildWriteBuffer(record, buffer);
    return blockOf(buffer);
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
