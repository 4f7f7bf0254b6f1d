#include "cli/SettingsListing.h"

#include "cli/TerminalText.h"

#include "lang/LanguageTexts.h"
#include "settings/ParameterListing.h"

namespace SettingsListing
{

QList<Line> lines(const SettingsRecord &record)
{
    return ParameterListing::lines(record);
}

QString show(const SettingsRecord &record)
{
    QString text;
    QString page;
    for (const Line &line : lines(record)) {
        if (line.page != page) {
            if (!page.isEmpty())
                text += QLatin1Char('\n');
            page = line.page;
            text += TerminalText::printable(page) + QLatin1Char('\n');
        }
        // Labels and values come from files: nothing in them reaches the
        // terminal as a control character.
        text += QStringLiteral("  %1  %2: %3%4\n")
                    .arg(line.key, TerminalText::printable(line.label), TerminalText::printable(line.value),
                         TerminalText::printable(line.mark));
    }
    return text;
}

QStringList differences(const SettingsRecord &a, const SettingsRecord &b, bool counters)
{
    QStringList out;
    for (const auto &[left, right] : ParameterListing::differing(a, b, counters))
        out << QStringLiteral("%1  %2: %3 -> %4")
                   .arg(left.key, TerminalText::printable(left.label),
                        TerminalText::printable(left.value + left.mark),
                        TerminalText::printable(right.value + right.mark));
    return out;
}

QStringList changes(const SettingsRecord &a, const SettingsRecord &b)
{
    QStringList out;
    for (const auto &[left, right] : ParameterListing::differing(a, b, true))
        out << QStringLiteral("%1 (%2): %3 -> %4")
                   .arg(TerminalText::printable(left.label), left.key,
                        TerminalText::printable(left.value + left.mark),
                        TerminalText::printable(right.value + right.mark));
    return out;
}

Result<void> loadLanguageFile(const QString &path)
{
    // The program takes a file it cannot read as one without keys; a file
    // named on the command line must be there and be a language file.
    return LanguageTexts::loadFile(path);
}

} // namespace SettingsListing
