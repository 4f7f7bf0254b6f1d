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

// Where each parameter sits: its page and the control that names it. A
// check box of a telephone number is named by its row and its own caption.
struct Place {
    const char *page;
    const char *key;
    const char *label;
    const char *label2 = nullptr; // joined with " - " after label
};

const Place places[] = {
    {"TabSheet3", "Dial", "GroupBox13"},
    {"TabSheet3", "EndS", "GroupBox15"},
    {"TabSheet3", "HgUp", "Label154"},
    {"TabSheet3", "SwSt", "Label9"},
    {"TabSheet3", "SwTi", "Label12"},
    {"TabSheet3", "Pasw", "Label158"},
    {"TabSheet3", "PotZ", "Label8"},
    {"TabSheet4", "BlPo", "GroupBox14"},
    {"TabSheet4", "InPo", "GroupBox12"},
    {"TabSheet4", "SeVo", "GroupBox11"},
    {"TabSheet4", "OpNo", "Label19"},
    {"TabSheet4", "CaPo", "Label18"},
    {"TabSheet4", "OpSe", "Label20"},
    {"TabSheet4", "PoBt", "GroupBox10"},
    {"TabSheet5", "MaSp", "Label149"},
    {"TabSheet5", "NoRi", "Label150"},
    {"TabSheet5", "TBtn", "Label151"},
    {"TabSheet5", "THng", "Label152"},
    {"TabSheet5", "TDia", "Label159"},
    {"TabSheet5", "TRep", "Label160"},
    {"TabSheet5", "TTon", "Label162"},
    {"TabSheet5", "TSpc", "Label163"},
    {"TabSheet5", "TFls", "Label164"},
    {"TabSheet5", "TPas", "Label165"},
    {"TabSheet5", "TVtn", "Label13"},
    {"TabSheet5", "TPtn", "Label14"},
    {"TabSheet5", "TONE", "CheckBox11"},
    {"TabSheet1", "M001", "Label4"},
    {"TabSheet1", "Chk1", "Label4", "CheckBox1"},
    {"TabSheet1", "M002", "Label5"},
    {"TabSheet1", "Chk2", "Label5", "CheckBox2"},
    {"TabSheet1", "M003", "Label6"},
    {"TabSheet1", "Chk3", "Label6", "CheckBox3"},
    {"TabSheet1", "M004", "Label7"},
    {"TabSheet1", "Chk4", "Label7", "CheckBox4"},
    {"TabSheet1", "M005", "Label11"},
    {"TabSheet1", "Chk5", "Label11", "CheckBox5"},
    {"TabSheet1", "M006", "Label10"},
    {"TabSheet1", "Chk6", "Label10", "CheckBox6"},
    {"TabSheet1", "M007", "Label1"},
    {"TabSheet1", "Chk7", "Label1", "CheckBox7"},
    {"TabSheet1", "Nou1", "Label1", "CheckBox9"},
    {"TabSheet1", "M008", "Label3"},
    {"TabSheet1", "Chk8", "Label3", "CheckBox8"},
    {"TabSheet1", "Nou2", "Label3", "CheckBox10"},
};

QString optionCaption(const Parameter &p, const QString &stored)
{
    for (int i = 0; i < p.optionCount; ++i)
        if (stored == QLatin1String(p.options[i].stored))
            return caption(p.options[i].control);
    return stored;
}

} // namespace

QList<Line> lines(const SettingsRecord &record)
{
    QList<Line> out;
    for (const Place &place : places) {
        const Parameter *p = ParameterTable::byKey(QLatin1String(place.key));
        const QString stored = record.storedText(QLatin1String(place.key));
        Line line{caption(place.page), QLatin1String(place.key), caption(place.label), stored, stored};
        if (place.label2)
            line.label += QStringLiteral(" - ") + caption(place.label2);
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
            const int bits = stored.toInt();
            line.value = yesNo(bits & 1);
            line.stored = QString::number(bits & 1);
            out << line;
            line.label = caption(p->control2);
            line.value = yesNo(bits & 2);
            line.stored = QString::number(bits & 2);
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
        text += QStringLiteral("  %1  %2: %3\n")
                    .arg(line.key, TerminalText::printable(line.label), TerminalText::printable(line.value));
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
                            TerminalText::printable(left[i].value), TerminalText::printable(right[i].value));
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
