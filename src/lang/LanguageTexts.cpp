#include "lang/LanguageTexts.h"

#include "lang/LanguageTable.h"
#include "platform/PrivateProfile.h"
#include "platform/TextEncoding.h"

#include <QHash>
#include <QLatin1String>
#include <QRegularExpression>
#include <QSet>

#include <iterator>

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

// Whether the texts in force come from a language file.
bool &fileLoaded()
{
    static bool loadedFromFile = false;
    return loadedFromFile;
}

// A value is one line of at most 2047 characters (a surrogate pair is not cut).
QString clipped(const QString &value)
{
    constexpr int maximum = 2047;
    if (value.size() <= maximum)
        return value;
    return value.left(value.at(maximum - 1).isHighSurrogate() ? maximum - 1 : maximum);
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

TextKey keyOf(Text name)
{
    // The sections in the order of their bases, Menu first.
    static const char *const sections[] = {"Menu", "TAB1",    "TAB2",  "TAB3",
                                           "TAB4", "MESSAGE", "OTHER", "HINT"};
    static_assert(std::size(sections) == TextSection::Hint / TextSection::Menu);
    const int value = static_cast<int>(name);
    return {QLatin1String(sections[value / TextSection::Menu - 1]), value % TextSection::Menu};
}

QString text(Text name)
{
    const TextKey key = keyOf(name);
    return text(key.section, key.key);
}

void setText(const QString &section, int key, const QString &value)
{
    loaded().insert(id(section, key), value);
}

void resetToDefaults()
{
    loaded().clear();
    fileLoaded() = false;
}

Result<void> loadFile(const QString &path)
{
    resetToDefaults();
    fileLoaded() = true;
    const SafeFile::Contents file = SafeFile::read(path, SafeFile::LanguageLimit);
    if (!file.ok())
        return Failure{Failure::Kind::File, path, file.reason(), file.errorNumber()};
    const QString text = TextEncoding::decodeUtf8OrCp1250(file.bytes);

    QSet<QString> known;
    QSet<QString> sections;
    for (const LanguageRow &row : LanguageTable::rows()) {
        known.insert(id(QLatin1String(row.section), row.key));
        sections.insert(QLatin1String(row.section));
    }
    const PrivateProfile::Profile profile = PrivateProfile::Profile::ofText(text);
    for (const QString &section : sections) {
        for (const auto &[name, value] : profile.section(section)) {
            // Keys are looked up by their text: "01" is not key 1.
            bool ok = false;
            const int key = name.toInt(&ok);
            if (!ok || QString::number(key) != name || !known.contains(id(section, key)))
                continue;
            setText(section, key, clipped(value));
        }
    }
    return {};
}

bool fromFile()
{
    return fileLoaded();
}

QString standardTranslation()
{
    if (!fileLoaded())
        return QStringLiteral("cs");
    const TextKey key = keyOf(Text::QtLanguage);
    const QString name = loaded().value(id(key.section, key.key));
    // The name becomes part of a file name: nothing but a locale name is taken.
    static const QRegularExpression localeName(QStringLiteral("^[A-Za-z]{2,3}([_-][A-Za-z0-9]{2,8})*$"));
    return localeName.match(name).hasMatch() ? name : QString();
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
