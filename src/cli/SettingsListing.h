#pragma once

#include <QList>
#include <QString>

class SettingsRecord;

// The parameters as the main window shows them: under the caption of their
// tab page, each with the label the window puts beside it and its value in
// words (the caption of the chosen option, "Ano"/"Ne" for a box), all in the
// language in force.
namespace SettingsListing
{

struct Line {
    QString page;   // caption of the tab page
    QString key;    // four-character key; TONE gives two lines, one per box
    QString label;  // on one line, blanks of the caption's padding dropped
    QString value;  // as shown
    QString stored; // the stored text the value stands for, or the one the file holds
    QString mark{}; // when the file holds a value the window cannot show: what it holds
};

// Every parameter in the order of the tab pages and their fields.
QList<Line> lines(const SettingsRecord &record);

// Page captions as headings and one "  KEY  label: value" line per parameter,
// the value followed by its mark.
QString show(const SettingsRecord &record);

// "KEY  label: valueA -> valueB" for each line whose stored texts differ.
QStringList differences(const SettingsRecord &a, const SettingsRecord &b);

// Puts the texts of a language file in force; keys it lacks keep their
// built-in defaults. False with *error set when the file cannot be read.
bool loadLanguageFile(const QString &path, QString *error);

} // namespace SettingsListing
