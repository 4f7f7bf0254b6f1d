#include "device/WriteCheck.h"

#include "device/DeviceCodec.h"
#include "lang/LanguageTexts.h"
#include "settings/FieldChecks.h"
#include "settings/NumberText.h"
#include "settings/ParameterTable.h"
#include "settings/SettingsRecord.h"

#include <QStringList>

#include <algorithm>
#include <vector>

namespace WriteCheck
{

namespace
{

QString allowedValues(const QString &list)
{
    return LanguageTexts::text(Text::AllowedValues).arg(list);
}

QString range(int lo, int hi)
{
    return LanguageTexts::text(Text::Range).arg(lo).arg(hi);
}

QString steppedRange(int lo, int hi, int step)
{
    return LanguageTexts::text(Text::SteppedRange).arg(lo).arg(hi).arg(step);
}

// What an edit field may hold, as the refusal names it.
QString allowedFor(const Parameter &param, QChar sep)
{
    const ValueRule &rule = param.rule;
    switch (param.block.form) {
    case BlockForm::Number:
        return allowedValues(QStringLiteral("0–9 * # P F D, ≤ 16"));
    case BlockForm::HalfMinutes:
    case BlockForm::HalfSeconds: {
        QStringList values{NumberText::halfValue(sep), range(rule.lo, rule.hi)};
        for (const LongerValue &longer : rule.longer)
            if (longer.value)
                values << QString::number(longer.value);
        return allowedValues(values.join(QStringLiteral("; ")));
    }
    case BlockForm::Code:
        // The field check's own message says how many digits the code takes.
        switch (param.check) {
        case FieldCheck::CancellableCode:
            return LanguageTexts::text(Text::CodeLength);
        case FieldCheck::Password:
            return LanguageTexts::text(Text::PasswordLength);
        default:
            return LanguageTexts::text(Text::ConfirmationCodeLength);
        }
    default:
        break;
    }
    switch (param.check) {
    case FieldCheck::RangeAndRound:
    case FieldCheck::SteppedDown:
        return allowedValues(steppedRange(rule.lo, rule.hi, rule.step));
    case FieldCheck::Bounded:
        return allowedValues(range(rule.lo, rule.hi));
    default:
        return allowedValues(range(0, 255));
    }
}

// The field check leaves the text as it is. Blanks at both ends do not
// count (the checks and the encoding both drop them from numbers), nor does
// the separator of the half value (the encoding takes either).
bool checkAccepts(const Parameter &param, const QString &text, QChar sep)
{
    const FieldCheckResult r = FieldChecks::run(param, text, sep);
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

bool inRange(const QString &text, int max)
{
    const std::optional<int> v = NumberText::toInt(text);
    return v && *v >= 0 && *v <= max;
}

// The value fits the room its block place gives it.
bool fits(const Parameter &param, const QString &text)
{
    const BlockPlace &b = param.block;
    switch (b.form) {
    case BlockForm::Byte:
        if (text.trimmed().isEmpty() && param.rule.empty)
            return true; // stands for its rule's value
        return inRange(text, 255);
    case BlockForm::HighHalf:
    case BlockForm::LowHalf: {
        const std::optional<int> v = NumberText::toInt(text);
        return v && *v >= 0 && *v % b.size == 0 && *v / b.size <= 15;
    }
    case BlockForm::Code:
        // Encoded as it stands, character by character: a blank would go out
        // as an end byte in the middle of the code.
        return text.size() <= b.size && hasDigitCodes(text);
    case BlockForm::Number: {
        const QString t = text.trimmed();
        return t.size() <= 16 && hasDigitCodes(t);
    }
    default:
        // Every text has a half-value code; the check has already kept it to
        // the table.
        return true;
    }
}

// One field the write looks at: a parameter or a counter.
struct Field {
    int pos;
    const Parameter *param;
    const Counter *counter;
};

// Every field in block order; fields sharing a byte in file order.
const std::vector<Field> &blockOrder()
{
    static const std::vector<Field> fields = [] {
        std::vector<Field> out;
        for (const Parameter &p : ParameterTable::all())
            out.push_back({p.block.pos, &p, nullptr});
        for (const Counter &c : ParameterTable::counters())
            out.push_back({c.block.pos, nullptr, &c});
        std::stable_sort(out.begin(), out.end(),
                         [](const Field &a, const Field &b) { return a.pos < b.pos; });
        return out;
    }();
    return fields;
}

std::optional<Refusal> refusalOf(const Parameter &param, const SettingsRecord &record, QChar sep)
{
    const QString key = QLatin1String(param.key);
    if (param.kind != ParamKind::Edit) {
        // What the window cannot show, the communicator cannot take either.
        const std::optional<QString> unshown = record.unshownText(key);
        if (!unshown)
            return std::nullopt;
        const char *control = param.control ? param.control : param.shown.label;
        return Refusal{key, QLatin1String(control), *unshown, allowedValues(param.choiceList())};
    }
    const QString text = record.storedText(key);
    if (checkAccepts(param, text, sep) && fits(param, text))
        return std::nullopt;
    return Refusal{key, QLatin1String(param.control), text, allowedFor(param, sep)};
}

std::optional<Refusal> refusalOf(const Counter &counter, const SettingsRecord &record)
{
    const QString text = record.deviceValue(counter.which);
    if (inRange(text, counter.max))
        return std::nullopt;
    return Refusal{QLatin1String(counter.name), QLatin1String(counter.control), text,
                   allowedValues(range(0, counter.max))};
}

} // namespace

std::optional<Refusal> firstRefusal(const SettingsRecord &record, QChar sep)
{
    for (const Field &field : blockOrder()) {
        const std::optional<Refusal> refusal =
            field.param ? refusalOf(*field.param, record, sep) : refusalOf(*field.counter, record);
        if (refusal)
            return refusal;
    }
    return std::nullopt;
}

} // namespace WriteCheck

QList<int> WriteCheck::unlistedBytes(const QByteArray &sent, const QByteArray &readBack,
                                     const QStringList &listedKeys)
{
    QList<bool> listed(qMax(sent.size(), readBack.size()) + 1, false);
    const auto mark = [&listed](const BlockPlace &place) {
        for (int p = place.pos; p < place.pos + place.length() && p < listed.size(); ++p)
            if (p >= 1)
                listed[p] = true;
    };
    for (const QString &key : listedKeys) {
        if (const Parameter *parameter = ParameterTable::byKey(key))
            mark(parameter->block);
        for (const Counter &counter : ParameterTable::counters())
            if (key == QLatin1String(counter.name))
                mark(counter.block);
    }
    QList<int> out;
    const auto at = [](const QByteArray &b, qsizetype i) { return i < b.size() ? int(quint8(b.at(i))) : -1; };
    for (qsizetype i = 0; i < qMax(sent.size(), readBack.size()); ++i)
        if (at(sent, i) != at(readBack, i) && !listed[i + 1])
            out << int(i + 1);
    return out;
}
