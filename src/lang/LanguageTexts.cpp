#include "lang/LanguageTexts.h"

#include "lang/LanguageTable.h"

#include <QHash>

namespace LanguageTexts
{

namespace
{

QString id(const QString &section, int key)
{
    return section.toUpper() + QLatin1Char('/') + QString::number(key);
}

// Values a language file supplied; a pair missing here shows its default.
QHash<QString, QString> &loaded()
{
    static QHash<QString, QString> values;
    return values;
}

} // namespace

QString czechDefault(const QString &section, int key)
{
    for (const LanguageRow &row : LanguageTable::rows())
        if (row.key == key && section.compare(QLatin1String(row.section), Qt::CaseInsensitive) == 0)
            return QString::fromUtf8(row.czech);
    return QString();
}

QString text(const QString &section, int key)
{
    const auto it = loaded().constFind(id(section, key));
    return it != loaded().constEnd() ? *it : czechDefault(section, key);
}

void setText(const QString &section, int key, const QString &value)
{
    loaded().insert(id(section, key), value);
}

void resetToDefaults()
{
    loaded().clear();
}

} // namespace LanguageTexts

namespace LanguageTexts
{

QString shownText(const LanguageRow &row)
{
    const auto it = loaded().constFind(id(QLatin1String(row.section), row.key));
    return LanguageTable::compose(row, it != loaded().constEnd() ? *it : QString::fromUtf8(row.czech));
}

} // namespace LanguageTexts
