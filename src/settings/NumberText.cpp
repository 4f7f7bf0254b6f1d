#include "settings/NumberText.h"

#include <limits>

namespace NumberText
{

namespace
{
bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}
} // namespace

std::optional<int> toInt(const QString &text)
{
    const QString t = text.trimmed();
    int i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-'))) {
        negative = t[i] == QLatin1Char('-');
        ++i;
    }
    if (i == t.size())
        return std::nullopt;
    qint64 value = 0;
    for (; i < t.size(); ++i) {
        if (!isDigit(t[i]))
            return std::nullopt;
        value = value * 10 + (t[i].unicode() - '0');
        if (value > qint64(std::numeric_limits<int>::max()) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(value);
}

std::optional<double> toDouble(const QString &text)
{
    const QString t = text.trimmed();
    int i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-'))) {
        negative = t[i] == QLatin1Char('-');
        ++i;
    }
    double whole = 0;
    double fraction = 0;
    double scale = 1;
    int digits = 0;
    bool separatorSeen = false;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (isDigit(c)) {
            ++digits;
            if (separatorSeen) {
                scale /= 10;
                fraction += (c.unicode() - '0') * scale;
            } else {
                whole = whole * 10 + (c.unicode() - '0');
            }
        } else if ((c == QLatin1Char(',') || c == QLatin1Char('.')) && !separatorSeen) {
            separatorSeen = true;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0)
        return std::nullopt;
    const double value = whole + fraction;
    return negative ? -value : value;
}

QString halfValue(QChar decimalSeparator)
{
    return QLatin1Char('0') + QString(decimalSeparator) + QLatin1Char('5');
}

bool isHalfValue(const QString &text)
{
    const QString t = text.trimmed();
    return t == QLatin1String("0,5") || t == QLatin1String("0.5");
}

} // namespace NumberText
