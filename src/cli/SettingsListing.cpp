#include "cli/SettingsListing.h"

#include "cli/TerminalText.h"

#include "lang/LanguageTable.h"
#include "lang/LanguageTexts.h"
#include "settings/LanguageCaptions.h"
#include "settings/ParameterTable.h"
#include "settings/SettingsRecord.h"

namespace SettingsListing
{

namespace
{

// The caption a control of the main window carries in the language in force,
// on one line and without the colon a label ends with.
QString caption(const char *control)
{
    QString text = LanguageCaptions().caption(QLatin1String(control)).simplified();
    while (text.endsWith(QLatin1Char(':')) || text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text;
}

QString yesNo(bool yes)
{
    return LanguageCaptions().yesNo(yes);
}

QString optionCaption(const Parameter &p, const QString &stored)
{
    const Choice *c = p.choice(stored);
    return c && c->control ? caption(c->control) : stored;
}

} // namespace

QList<Line> lines(const SettingsRecord &record)
{
    QList<Line> out;
    for (const Parameter *p : ParameterTable::shown()) {
        const QString key = QLatin1String(p->key);
        const QString stored = record.storedText(key);
        Line line{caption(p->shown.page), key, caption(p->shown.label), stored, stored};
        // A value the window cannot show: the line shows what the window
        // does, and says what the file holds.
        if (const std::optional<QString> unshown = record.unshownText(key)) {
            line.stored = *unshown;
            line.mark =
                QStringLiteral(" [the file holds '%1', not one of %2]").arg(*unshown, p->choiceList());
        }
        switch (p->kind) {
        case ParamKind::Edit:
            break;
        case ParamKind::Options:
            line.value = optionCaption(*p, stored);
            break;
        case ParamKind::Check:
            // A telephone number's box is named by its row and its own caption.
            line.label += QStringLiteral(" - ") + caption(p->control);
            line.value = yesNo(stored == QLatin1String("1"));
            break;
        case ParamKind::Tone: {
            // A line a box; a value the file holds stands behind both.
            const int bits = stored.toInt();
            Line second = line;
            line.label = caption(p->control);
            line.value = yesNo(bits & 1);
            second.label = caption(p->control2);
            second.value = yesNo(bits & 2);
            if (line.mark.isEmpty()) {
                line.stored = QString::number(bits & 1);
                second.stored = QString::number(bits & 2);
            }
            out << line;
            line = second;
            break;
        }
        }
        out << line;
    }
    return out;
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

QStringList differences(const SettingsRecord &a, const SettingsRecord &b)
{
    const QList<Line> left = lines(a);
    const QList<Line> right = lines(b);
    QStringList out;
    for (qsizetype i = 0; i < left.size(); ++i)
        if (left[i].stored != right[i].stored)
            out << QStringLiteral("%1  %2: %3 -> %4")
                       .arg(left[i].key, TerminalText::printable(left[i].label),
                            TerminalText::printable(left[i].value + left[i].mark),
                            TerminalText::printable(right[i].value + right[i].mark));
    return out;
}

bool loadLanguageFile(const QString &path, QString *error)
{
    // The program takes a file it cannot read as one without keys; a file
    // named on the command line must be there and be a language file.
    const SafeFile::Status status = LanguageTexts::loadFile(path);
    if (!status.ok()) {
        *error = QStringLiteral("%1: %2").arg(path, status.reason());
        return false;
    }
    return true;
}

} // namespace SettingsListing
