#include "settings/FieldChecks.h"

#include "settings/NumberText.h"

#include <cmath>

namespace FieldChecks
{

namespace
{

FieldCheckResult keep(const QString &text)
{
    return {text, std::nullopt};
}
FieldCheckResult set(const QString &text)
{
    return {text, std::nullopt};
}
FieldCheckResult fail(const QString &text, Text message)
{
    return {text, message};
}

// One half, the whole units lo to hi, and above hi the rule's longer
// settings: a call length of 13 minutes becomes 15.
FieldCheckResult halfValueCheck(const QString &text, QChar sep, const ValueRule &rule)
{
    const QString t = text.trimmed();
    const QString half = NumberText::halfValue(sep);
    if (t.isEmpty() || t.startsWith(sep) || t.endsWith(sep))
        return set(half);
    const std::optional<double> v = NumberText::toDouble(t);
    if (!v || *v < rule.lo)
        return set(half);
    if (*v <= rule.hi)
        return set(QString::number(int(*v)));
    int value = rule.hi;
    for (const LongerValue &longer : rule.longer)
        if (longer.value && *v > longer.above)
            value = longer.value;
    return set(QString::number(value));
}

// Clamp to lo..hi, then round to a multiple of the step with halves away
// from zero ("65" -> "70" in tens).
FieldCheckResult rangeAndRound(const QString &text, const ValueRule &rule)
{
    double v = NumberText::toDouble(text).value_or(rule.lo);
    if (v < rule.lo)
        v = rule.lo;
    if (v > rule.hi)
        v = rule.hi;
    const double steps = std::round(v / rule.step);
    return set(QString::number(qint64(steps) * rule.step));
}

// Whole multiples of the step; a value below lo means the longest.
FieldCheckResult steppedDown(const QString &text, const ValueRule &rule)
{
    const std::optional<int> read = NumberText::toInt(text);
    if (!read)
        return set(QLatin1String(rule.empty));
    int v = *read;
    if (v < rule.lo)
        return set(QString::number(rule.hi));
    v = v / rule.step * rule.step;
    if (v > rule.hi)
        v = rule.hi;
    return set(QString::number(v));
}

// lo..hi, no rounding.
FieldCheckResult bounded(const QString &text, const ValueRule &rule)
{
    const std::optional<double> v = NumberText::toDouble(text);
    if (!v || *v < rule.lo)
        return set(QLatin1String(rule.empty));
    if (*v > rule.hi)
        return set(QString::number(rule.hi));
    return keep(text);
}

} // namespace

FieldCheckResult run(const Parameter &param, const QString &text, QChar sep)
{
    const ValueRule &rule = param.rule;
    const qsizetype length = text.trimmed().size();
    switch (param.check) {
    case FieldCheck::None:
        return keep(text);
    case FieldCheck::CancellableCode:
        return length > 0 && length < rule.lo ? fail(text, Text::CodeLength) : keep(text);
    case FieldCheck::Password:
        return length < rule.lo || length > rule.hi ? fail(text, Text::PasswordLength) : keep(text);
    case FieldCheck::ConfirmCode:
        if (length == 0)
            return fail(text, Text::ConfirmationCodeTooShort);
        return length < rule.lo ? fail(text, Text::ConfirmationCodeLength) : keep(text);
    case FieldCheck::Count:
        return length == 0 ? set(QLatin1String(rule.empty)) : keep(text);
    case FieldCheck::HalfValue:
        return halfValueCheck(text, sep, rule);
    case FieldCheck::RangeAndRound:
        return rangeAndRound(text, rule);
    case FieldCheck::Bounded:
        return bounded(text, rule);
    case FieldCheck::SteppedDown:
        return steppedDown(text, rule);
    }
    return keep(text);
}

} // namespace FieldChecks
