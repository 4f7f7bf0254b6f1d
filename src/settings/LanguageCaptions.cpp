#include "settings/LanguageCaptions.h"

#include "lang/LanguageTable.h"
#include "lang/LanguageTexts.h"

QString LanguageCaptions::caption(const QString &control) const
{
    const LanguageRow *found = nullptr;
    for (const LanguageRow &row : LanguageTable::rows())
        if (row.use == TextUse::Caption && qstrcmp(row.window, "TForm1") == 0 && row.control &&
            control == QLatin1String(row.control))
            found = &row;
    return found ? LanguageTexts::shownText(*found) : QString();
}

QString LanguageCaptions::yesNo(bool yes) const
{
    return LanguageTexts::text(yes ? Text::Yes : Text::No);
}
