#pragma once

#include <QList>
#include <QPair>
#include <QString>

class SettingsRecord;

// The parameters as the main window shows them: under the caption of their
// tab page, each with the label the window puts beside it and its value in
// words (the caption of the chosen option, "Ano"/"Ne" for a box), all in the
// language in force. The tool lists them, the window names the parameters
// that differ between two records with them.
namespace ParameterListing
{

struct Line {
    QString page;    // caption of the tab page
    QString key;     // four-character key; TONE gives two lines, one per box
    QString label;   // on one line, blanks of the caption's padding dropped
    QString value;   // as shown
    QString stored;  // the stored text the value stands for, or the one the file holds
    QString mark{};  // when the file holds a value the window cannot show: what it holds
    QString group{}; // caption of the group box it stands in; empty when its label names the group
};

// Every parameter in the order of the tab pages and their fields.
QList<Line> lines(const SettingsRecord &record);

// How the listing names the field of a parameter or counter given by its
// key, in the language in force: for a tone pair the box whose control is
// given (the first without one). The key itself when it names neither.
QString fieldLabel(const QString &key, const QString &control = {});

// The two counters the block carries, as the window shows them (a settings
// file holds none; a block read from or written to the communicator does).
QList<Line> counterLines(const SettingsRecord &record);

// The lines whose stored texts differ, a's beside b's; with the counters'
// when counters is set.
QList<QPair<Line, Line>> differing(const SettingsRecord &a, const SettingsRecord &b, bool counters = false);

} // namespace ParameterListing
