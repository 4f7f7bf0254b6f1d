#pragma once

#include "platform/Result.h"
#include "settings/ValueAssignment.h"

#include <QList>
#include <QString>
#include <QStringList>

class SettingsRecord;

// Values put into settings by name, on one path for set, make and write
// --set: each value checked as the window checks a typed field, then the
// whole set as Write checks it (TemplateCommands.cpp). And what a write
// would change, as --dry-run and --show-changes print it.
namespace TemplateValues
{

// The KEY=VALUE arguments; fails naming the first that names no parameter
// (with the nearest key) or a counter.
Result<QList<ValueAssignment::Assignment>> parse(const QStringList &texts);

// Puts the values into the record: every value checked, then the whole set
// as a write checks it. What is refused, a line each; the record holds the
// values only when nothing is.
QStringList put(const QList<ValueAssignment::Assignment> &values, SettingsRecord &record);

// "KEY  page / label: now -> after" for each parameter and counter a write
// of toWrite over inDevice changes, in the language in force.
QStringList changeLines(const SettingsRecord &inDevice, const SettingsRecord &toWrite);

} // namespace TemplateValues
