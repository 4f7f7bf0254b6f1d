#include "settings/ParameterListing.h"

#include "settings/LanguageCaptions.h"
#include "settings/ParameterTable.h"
#include "settings/SettingsRecord.h"

namespace ParameterListing
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

QString fieldLabel(const QString &key, const QString &control)
{
    if (const Parameter *p = ParameterTable::byKey(key)) {
        switch (p->kind) {
        case ParamKind::Check:
            // A telephone number's box is named by its row and its own caption.
            return caption(p->shown.label) + QStringLiteral(" - ") + caption(p->control);
        case ParamKind::Tone:
            return caption(p->control2 && control == QLatin1String(p->control2) ? p->control2 : p->control);
        default:
            return caption(p->shown.label);
        }
    }
    for (const Counter &c : ParameterTable::counters())
        if (key == QLatin1String(c.name))
            return caption(c.label);
    return key;
}

QList<Line> lines(const SettingsRecord &record)
{
    QList<Line> out;
    for (const Parameter *p : ParameterTable::shown()) {
        const QString key = QLatin1String(p->key);
        const QString stored = record.storedText(key);
        Line line{caption(p->shown.page), key, fieldLabel(key), stored, stored};
        if (p->shown.group)
            line.group = caption(p->shown.group);
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
            line.value = yesNo(stored == QLatin1String("1"));
            break;
        case ParamKind::Tone: {
            // A line a box; a value the file holds stands behind both.
            const int bits = stored.toInt();
            Line second = line;
            line.value = yesNo(bits & 1);
            second.label = fieldLabel(key, QLatin1String(p->control2));
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

QList<Line> counterLines(const SettingsRecord &record)
{
    QList<Line> out;
    for (const Counter &c : ParameterTable::counters()) {
        const QString value = record.deviceValue(c.which);
        out.append({QString(), QLatin1String(c.name), fieldLabel(QLatin1String(c.name)), value, value});
    }
    return out;
}

QList<QPair<Line, Line>> differing(const SettingsRecord &a, const SettingsRecord &b, bool counters)
{
    QList<Line> left = lines(a);
    QList<Line> right = lines(b);
    if (counters) {
        left += counterLines(a);
        right += counterLines(b);
    }
    QList<QPair<Line, Line>> out;
    for (qsizetype i = 0; i < left.size(); ++i)
        if (left[i].stored != right[i].stored)
            out.append({left[i], right[i]});
    return out;
}

} // namespace ParameterListing
