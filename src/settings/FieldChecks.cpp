#include "settings/FieldChecks.h"

#include "settings/NumberText.h"

#include <cmath>

namespace FieldChecks
{

namespace
{

FieldCheckResult keep(const QString &text)
{
    return {text, 0};
}
FieldCheckResult set(const QString &text)
{
    return {text, 0};
}
FieldCheckResult fail(const QString &text, int messageKey)
{
    return {text, messageKey};
}

// MaSp and TBtn: one half, the whole minutes or seconds 1 to 9, and for MaSp
// the two long settings 15 and 30.
FieldCheckResult halfValueCheck(const QString &text, QChar sep, bool minutes)
{
    const QString t = text.trimmed();
    const QString half = NumberText::halfValue(sep);
    if (t.isEmpty() || t.startsWith(sep) || t.endsWith(sep))
        return set(half);
    const std::optional<double> v = NumberText::toDouble(t);
    if (!v || *v < 1)
        return set(half);
    if (*v <= 9)
        return set(QString::number(int(*v)));
    if (!minutes)
        return set(QStringLiteral("9"));
    if (*v > 22)
        return set(QStringLiteral("30"));
    if (*v > 12)
        return set(QStringLiteral("15"));
    return set(QStringLiteral("9"));
}

// TTon, TSpc, TFls, TPas: clamp to lo..hi, then round to a multiple of the
// step with halves away from zero ("65" -> "70").
FieldCheckResult rangeAndRound(const QString &text, int lo, int hi, int step)
{
    double v = NumberText::toDouble(text).value_or(lo);
    if (v < lo)
        v = lo;
    if (v > hi)
        v = hi;
    const double steps = std::round(v / step);
    return set(QString::number(qint64(steps) * step));
}

// TPtn: 5..50 in fives; a value below 5 means the longest wait.
FieldCheckResult confirmWait(const QString &text)
{
    const std::optional<int> read = NumberText::toInt(text);
    if (!read)
        return set(QStringLiteral("25"));
    int v = *read;
    if (v < 5)
        return set(QStringLiteral("50"));
    v = v / 5 * 5;
    if (v > 50)
        v = 50;
    return set(QString::number(v));
}

// TVtn: 1..10 seconds, no rounding.
FieldCheckResult ringbackTime(const QString &text)
{
    const std::optional<double> v = NumberText::toDouble(text);
    if (!v || *v < 1)
        return set(QStringLiteral("5"));
    if (*v > 10)
        return set(QStringLiteral("10"));
    return keep(text);
}

} // namespace

FieldCheckResult run(FieldCheck check, const QString &text, QChar sep)
{
    const QString trimmed = text.trimmed();
    switch (check) {
    case FieldCheck::None:
        return keep(text);
    case FieldCheck::TwoDigitCode:
        return trimmed.size() == 1 ? fail(text, 12) : keep(text);
    case FieldCheck::Password:
        return trimmed.size() != 4 ? fail(text, 14) : keep(text);
    case FieldCheck::ConfirmCode:
        if (trimmed.isEmpty())
            return fail(text, 13);
        return trimmed.size() == 1 ? fail(text, 11) : keep(text);
    case FieldCheck::EmptyGivesOne:
        return trimmed.isEmpty() ? set(QStringLiteral("1")) : keep(text);
    case FieldCheck::EmptyGivesZero:
        return trimmed.isEmpty() ? set(QStringLiteral("0")) : keep(text);
    case FieldCheck::HalfMinutes:
        return halfValueCheck(text, sep, true);
    case FieldCheck::HalfSeconds:
        return halfValueCheck(text, sep, false);
    case FieldCheck::ToneLength:
        return rangeAndRound(text, 60, 150, 10);
    case FieldCheck::FlashLength:
        return rangeAndRound(text, 100, 600, 100);
    case FieldCheck::PauseLength:
        return rangeAndRound(text, 500, 1000, 100);
    case FieldCheck::RingbackTime:
        return ringbackTime(text);
    case FieldCheck::ConfirmWait:
        return confirmWait(text);
    }
    return keep(text);
}

} // namespace FieldChecks
