#pragma once

#include "platform/Result.h"
#include "settings/ParameterListing.h"

#include <QList>
#include <QString>

class SettingsRecord;

// The parameters as the tool lists them, in the language in force: the
// window's listing (ParameterListing) for a terminal.
namespace SettingsListing
{

using Line = ParameterListing::Line;

// Every parameter in the order of the tab pages and their fields.
QList<Line> lines(const SettingsRecord &record);

// Page captions as headings and one "  KEY  label: value" line per parameter,
// the value followed by its mark.
QString show(const SettingsRecord &record);

// "KEY  label: valueA -> valueB" for each line whose stored texts differ
// (with the counters' when counters is set).
QStringList differences(const SettingsRecord &a, const SettingsRecord &b, bool counters = false);

// "label (KEY): valueA -> valueB" for each line whose stored texts differ,
// the counters' included: the parameters a message names.
QStringList changes(const SettingsRecord &a, const SettingsRecord &b);

// Puts the texts of a language file in force; keys it lacks keep their
// built-in defaults. A file that cannot be read fails, naming it and why.
Result<void> loadLanguageFile(const QString &path);

} // namespace SettingsListing
