#include "settings/KeyFilters.h"

namespace KeyFilters
{

namespace
{
bool inRange(QChar c, char from, char to)
{
    return c >= QLatin1Char(from) && c <= QLatin1Char(to);
}

std::optional<QChar> dialString(QChar c)
{
    if (inRange(c, '0', '9'))
        return c;
    switch (c.unicode()) {
    case u'*':
    case u'#':
    case u'P':
    case u'F':
        return c;
    case u'p':
        return QChar(u'P');
    case u'f':
        return QChar(u'F');
    // Technicians type H and K for the star and hash keys of the telephone.
    case u'H':
    case u'h':
        return QChar(u'*');
    case u'K':
    case u'k':
        return QChar(u'#');
    default:
        return std::nullopt;
    }
}
} // namespace

std::optional<QChar> accept(KeyFilter filter, QChar typed, QChar decimalSeparator)
{
    if (filter == KeyFilter::None)
        return std::nullopt;
    if (typed == QChar(Backspace))
        return typed;

    switch (filter) {
    case KeyFilter::None:
        break;
    case KeyFilter::Digits:
        if (inRange(typed, '0', '9'))
            return typed;
        break;
    case KeyFilter::Digits1to5:
        if (inRange(typed, '1', '5'))
            return typed;
        break;
    case KeyFilter::Digits1to9:
        if (inRange(typed, '1', '9'))
            return typed;
        break;
    case KeyFilter::Decimal:
        if (inRange(typed, '0', '9') || typed == decimalSeparator)
            return typed;
        break;
    case KeyFilter::DialString:
        return dialString(typed);
    }
    return std::nullopt;
}

} // namespace KeyFilters
