#include "settings/ValueAssignment.h"

#include "lang/LanguageTexts.h"
#include "settings/FieldChecks.h"
#include "settings/FirmwareOptions.h"
#include "settings/KeyFilters.h"
#include "settings/NumberText.h"
#include "settings/SettingsRecord.h"

#include <QStringList>

#include <algorithm>
#include <vector>

namespace ValueAssignment
{

namespace
{

QString values(const QString &list)
{
    return LanguageTexts::text(Text::AllowedValues).arg(list);
}

QString range(int lo, int hi)
{
    return LanguageTexts::text(Text::Range).arg(lo).arg(hi);
}

int distance(const QString &a, const QString &b)
{
    std::vector<int> row(size_t(b.size()) + 1);
    for (size_t j = 0; j < row.size(); ++j)
        row[j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const int up = row[size_t(j)];
            const bool same = a[i - 1].toCaseFolded() == b[j - 1].toCaseFolded();
            row[size_t(j)] = std::min({up + 1, row[size_t(j - 1)] + 1, diagonal + (same ? 0 : 1)});
            diagonal = up;
        }
    }
    return row.back();
}

bool isCounter(const QString &key)
{
    const auto counters = ParameterTable::counters();
    return std::any_of(counters.begin(), counters.end(), [&](const Counter &c) {
        return key.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0;
    });
}

// The number of whole values a field of digits holds: "0 až 99" for two.
int largestTyped(const Parameter &param)
{
    int largest = 9;
    for (int i = 1; i < param.maxLength; ++i)
        largest = largest * 10 + 9;
    return largest;
}

// Every character is one the field's key filter lets through as it is.
bool typeable(const Parameter &param, const QString &text, QChar sep)
{
    return std::all_of(text.begin(), text.end(), [&](QChar c) {
        const std::optional<QChar> taken = KeyFilters::accept(param.filter, c, sep);
        return taken && *taken == c && c != QChar(KeyFilters::Backspace);
    });
}

Failure refused(const Parameter &param, const QString &why)
{
    return Failure{Failure::Kind::Refused, QLatin1String(param.key), why};
}

} // namespace

QString nearestKey(const QString &name)
{
    QString best;
    int bestDistance = 0;
    const auto consider = [&](const char *key) {
        const int d = distance(name, QLatin1String(key));
        if (best.isEmpty() || d < bestDistance) {
            best = QLatin1String(key);
            bestDistance = d;
        }
    };
    for (const Parameter &p : ParameterTable::all())
        consider(p.key);
    for (const Counter &c : ParameterTable::counters())
        consider(c.name);
    return best;
}

Result<const Parameter *> parameter(const QString &key)
{
    if (const Parameter *p = ParameterTable::byKey(key))
        return p;
    if (isCounter(key))
        return Failure{
            Failure::Kind::Argument, key,
            QStringLiteral("the counters are not settings-file values; give them with --counters")};
    return Failure{Failure::Kind::Argument, key,
                   QStringLiteral("no such key (nearest: %1)").arg(nearestKey(key))};
}

Result<Assignment> parse(const QString &text)
{
    const qsizetype eq = text.indexOf(QLatin1Char('='));
    if (eq < 0)
        return Failure{Failure::Kind::Argument, text, QStringLiteral("expected KEY=VALUE")};
    const QString key = text.left(eq).trimmed();
    const Result<const Parameter *> p = parameter(key);
    if (!p)
        return p.failure();
    return Assignment{key, text.mid(eq + 1).trimmed()};
}

QString allowed(const Parameter &param, QChar sep)
{
    if (param.kind != ParamKind::Edit)
        return values(param.choiceList());
    const ValueRule &rule = param.rule;
    if (param.block.form == BlockForm::Number)
        return values(QStringLiteral("0–9 * # P F, ≤ %1").arg(param.maxLength));
    switch (param.check) {
    case FieldCheck::CancellableCode:
        return LanguageTexts::text(Text::CodeLength);
    case FieldCheck::Password:
        return LanguageTexts::text(Text::PasswordLength);
    case FieldCheck::ConfirmCode:
        return LanguageTexts::text(Text::ConfirmationCodeLength);
    case FieldCheck::HalfValue: {
        QStringList list{NumberText::halfValue(sep), range(rule.lo, rule.hi)};
        for (const LongerValue &longer : rule.longer)
            if (longer.value)
                list << QString::number(longer.value);
        return values(list.join(QStringLiteral("; ")));
    }
    case FieldCheck::RangeAndRound:
    case FieldCheck::SteppedDown:
        return values(LanguageTexts::text(Text::SteppedRange).arg(rule.lo).arg(rule.hi).arg(rule.step));
    case FieldCheck::Bounded:
        return values(range(rule.lo, rule.hi));
    case FieldCheck::Count:
        switch (param.filter) {
        case KeyFilter::Digits1to5:
            return values(range(1, 5));
        case KeyFilter::Digits1to9:
            return values(range(1, 9));
        default:
            return values(range(0, largestTyped(param)));
        }
    case FieldCheck::None:
        break;
    }
    return values(range(0, largestTyped(param)));
}

Result<QString> storedText(const Parameter &param, const QString &value, QChar sep)
{
    if (param.kind != ParamKind::Edit) {
        if (!param.choice(value))
            return refused(param, allowed(param, sep));
        return value;
    }
    // The half value as the window's key filter lets it be typed.
    QString text = value;
    if (param.check == FieldCheck::HalfValue && NumberText::isHalfValue(value))
        text = NumberText::halfValue(sep);
    if (text.size() > param.maxLength || !typeable(param, text, sep))
        return refused(param, allowed(param, sep));
    const FieldCheckResult checked = FieldChecks::run(param, text, sep);
    if (checked.failed() || checked.text != text)
        return refused(param, allowed(param, sep));
    return text;
}

QList<Refusal> apply(const QList<Assignment> &assignments, SettingsRecord &record, QChar sep)
{
    QList<Refusal> refusals;
    QList<std::pair<QString, QString>> stored;
    for (const Assignment &a : assignments) {
        const Result<const Parameter *> p = parameter(a.key);
        if (!p) {
            refusals.append({a.key, a.value, p.failure().reason});
            continue;
        }
        const Result<QString> text = storedText(**p, a.value, sep);
        if (text)
            stored.append({a.key, *text});
        else
            refusals.append({a.key, a.value, text.failure().reason});
    }
    if (refusals.isEmpty())
        for (const auto &[key, text] : stored)
            record.setStoredText(key, text);
    return refusals;
}

QList<Refusal> notOffered(const QList<Assignment> &assignments, const QString &firmwareVersion)
{
    QList<Refusal> refusals;
    const std::optional<FirmwareOptions::Offer> offer = FirmwareOptions::offered(firmwareVersion);
    if (!offer)
        return refusals;
    for (const Assignment &a : assignments) {
        const Parameter *p = ParameterTable::byKey(a.key);
        if (!p || p->gate == FirmwareGate::None || a.value == QLatin1String(p->fixedText))
            continue;
        const bool offered = p->gate == FirmwareGate::ToneOptions ? offer->tone : offer->polarity;
        if (!offered)
            refusals.append({a.key, a.value, values(QLatin1String(p->fixedText))});
    }
    return refusals;
}

QString describe(const Refusal &refusal)
{
    return QStringLiteral("%1=%2: %3").arg(refusal.key, refusal.value, refusal.allowed);
}

} // namespace ValueAssignment
