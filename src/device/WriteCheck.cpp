#include "device/WriteCheck.h"

#include "device/DeviceCodec.h"
#include "lang/LanguageTexts.h"
#include "settings/FieldChecks.h"
#include "settings/NumberText.h"
#include "settings/ParameterTable.h"
#include "settings/SettingsRecord.h"

namespace WriteCheck
{

namespace
{

enum class Room {
    Byte,     // one byte, 0..255
    HalfCode, // MaSp, TBtn: the half-value code table
    HalfByte, // value / step in one half byte, 0..15
    Code,     // one byte per character, `size` bytes
    Number,   // a telephone number: two characters a byte, 16 at most
    Counter   // the device-only counters, up to `size`
};

struct Rule {
    const char *key;
    Room room;
    int size = 0; // Code: bytes; HalfByte: the step; Counter: the largest value
};

// Block order.
constexpr Rule rules[] = {
    {"NoRi", Room::Byte},          {"MaSp", Room::HalfCode},     {"TBtn", Room::HalfCode},
    {"THng", Room::Byte},          {"TDia", Room::Byte},         {"TRep", Room::Byte},
    {"TTon", Room::HalfByte, 10},  {"TSpc", Room::HalfByte, 10}, {"TFls", Room::HalfByte, 100},
    {"TPas", Room::HalfByte, 100}, {"PotZ", Room::Code, 6},      {"HgUp", Room::Code, 2},
    {"TPtn", Room::Byte},          {"TVtn", Room::Byte},         {"Pasw", Room::Code, 4},
    {"SwSt", Room::Code, 2},       {"SwTi", Room::Byte},         {"OpSe", Room::Byte},
    {"OpNo", Room::Byte},          {"CaPo", Room::Byte},         {"SvHr", Room::Counter, 255 * 24 + 23},
    {"PwOn", Room::Counter, 255},  {"M007", Room::Number},       {"M008", Room::Number},
    {"M001", Room::Number},        {"M002", Room::Number},       {"M003", Room::Number},
    {"M004", Room::Number},        {"M005", Room::Number},       {"M006", Room::Number},
};

QString message(int key)
{
    return LanguageTexts::text(QStringLiteral("MESSAGE"), key);
}

QString allowedValues(const QString &list)
{
    return message(62).arg(list);
}

QString range(int lo, int hi)
{
    return message(63).arg(lo).arg(hi);
}

QString steppedRange(int lo, int hi, int step)
{
    return message(64).arg(lo).arg(hi).arg(step);
}

// What a field may hold, as the refusal names it.
QString allowedFor(const Rule &rule, const Parameter *param, QChar sep)
{
    const QString half = NumberText::halfValue(sep);
    switch (rule.room) {
    case Room::Counter:
        return allowedValues(range(0, rule.size));
    case Room::Number:
        return allowedValues(QStringLiteral("0–9 * # P F D, ≤ 16"));
    case Room::HalfCode:
        return allowedValues(param->check == FieldCheck::HalfMinutes
                                 ? QStringLiteral("%1; %2; 15; 30").arg(half, range(1, 9))
                                 : QStringLiteral("%1; %2").arg(half, range(1, 9)));
    case Room::Code:
        // The field check's own message says how many digits the code takes.
        switch (param->check) {
        case FieldCheck::TwoDigitCode:
            return message(12);
        case FieldCheck::Password:
            return message(14);
        default:
            return message(11);
        }
    case Room::HalfByte:
    case Room::Byte:
        break;
    }
    switch (param->check) {
    case FieldCheck::ToneLength:
        return allowedValues(steppedRange(60, 150, 10));
    case FieldCheck::FlashLength:
        return allowedValues(steppedRange(100, 600, 100));
    case FieldCheck::PauseLength:
        return allowedValues(steppedRange(500, 1000, 100));
    case FieldCheck::ConfirmWait:
        return allowedValues(steppedRange(5, 50, 5));
    case FieldCheck::RingbackTime:
        return allowedValues(range(1, 10));
    default:
        return allowedValues(range(0, 255));
    }
}

// The field check leaves the text as it is. Blanks at both ends do not
// count (the checks and the encoding both drop them from numbers), nor does
// the separator of the half value (the encoding takes either).
bool checkAccepts(const Parameter &param, const QString &text, QChar sep)
{
    const FieldCheckResult r = FieldChecks::run(param.check, text, sep);
    if (r.failed())
        return false;
    const QString before = text.trimmed(), after = r.text.trimmed();
    return before == after || (NumberText::isHalfValue(before) && NumberText::isHalfValue(after));
}

bool hasDigitCodes(const QString &text)
{
    for (const QChar c : text)
        if (DeviceCodec::digitCode(c) > 14)
            return false;
    return true;
}

bool fits(const Rule &rule, const QString &text)
{
    switch (rule.room) {
    case Room::Byte:
    case Room::Counter: {
        // No switch time is 0.
        if (qstrcmp(rule.key, "SwTi") == 0 && text.trimmed().isEmpty())
            return true;
        const std::optional<int> v = NumberText::toInt(text);
        return v && *v >= 0 && *v <= (rule.room == Room::Byte ? 255 : rule.size);
    }
    case Room::HalfByte: {
        const std::optional<int> v = NumberText::toInt(text);
        return v && *v >= 0 && *v % rule.size == 0 && *v / rule.size <= 15;
    }
    case Room::HalfCode:
        // Every text has a code; the check has already kept it to the table.
        return true;
    case Room::Code:
        // Encoded as it stands, character by character: a blank would go out
        // as an end byte in the middle of the code.
        return text.size() <= rule.size && hasDigitCodes(text);
    case Room::Number: {
        const QString t = text.trimmed();
        return t.size() <= 16 && hasDigitCodes(t);
    }
    }
    return false;
}

} // namespace

std::optional<Refusal> firstRefusal(const SettingsRecord &record, QChar sep)
{
    for (const Rule &rule : rules) {
        const QString key = QString::fromLatin1(rule.key);
        QString text, control;
        const Parameter *param = nullptr;
        if (rule.room == Room::Counter) {
            const bool hours = key == QLatin1String("SvHr");
            text = record.deviceValue(hours ? DeviceValue::SvHr : DeviceValue::PwOn);
            control = hours ? QStringLiteral("Edit14") : QStringLiteral("Edit157");
        } else {
            param = ParameterTable::byKey(key);
            if (!param)
                continue;
            text = record.storedText(key);
            control = QString::fromLatin1(param->control);
        }
        const bool accepted = (!param || checkAccepts(*param, text, sep)) && fits(rule, text);
        if (!accepted)
            return Refusal{key, control, text, allowedFor(rule, param, sep)};
    }
    return std::nullopt;
}

} // namespace WriteCheck
