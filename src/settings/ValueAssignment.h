#pragma once

#include "platform/Result.h"
#include "settings/ParameterTable.h"

#include <QChar>
#include <QList>
#include <QString>

#include <optional>

class SettingsRecord;

// Values given by name ("TTon=120") rather than typed into the window, for
// filling many settings files from one template. Each value must be one the
// window would end up with after typing it and leaving the field: every
// character passes the field's key filter unchanged, it fits the field's
// length, and the field check neither refuses nor corrects it ("125" in
// tens is refused, not made "130"). An option group, a check box or the tone
// boxes take one of their stored texts. The half value may be given with
// either separator; it is stored with the system's, as typing puts it.
namespace ValueAssignment
{

struct Assignment {
    QString key;   // a settings-file key of the parameter table
    QString value; // blanks at both ends dropped
};

// A value that would not stand.
struct Refusal {
    QString key;
    QString value;
    QString allowed; // what the parameter may hold, in the language in force
};

// The known key closest to a name (by edit distance, letter case aside):
// the parameters' keys, the counters' names.
QString nearestKey(const QString &name);

// The parameter a key names. An unknown key fails naming the nearest known
// one; the counters PwOn and SvHr fail saying they are set with --counters.
Result<const Parameter *> parameter(const QString &key);

// "KEY=VALUE" (the value may be empty); fails as parameter() does, and on a
// text without "=".
Result<Assignment> parse(const QString &text);

// What a parameter may hold, as a refusal names it.
QString allowed(const Parameter &param, QChar decimalSeparator);

// The stored text a value becomes, or the refusal naming why it cannot be.
Result<QString> storedText(const Parameter &param, const QString &value, QChar decimalSeparator);

// Checks every assignment and, when none is refused, puts them all into the
// record (later ones win). The refusals in the order given; the record is
// unchanged when there are any.
QList<Refusal> apply(const QList<Assignment> &assignments, SettingsRecord &record, QChar decimalSeparator);

// The firmware rule: the assignments that give an option the firmware
// does not offer (tone boxes, button polarity) a value other than the one
// it is held at; none when the version does not decide it.
QList<Refusal> notOffered(const QList<Assignment> &assignments, const QString &firmwareVersion);

// "TTon=125: Povolené hodnoty: 60 až 150 po 10".
QString describe(const Refusal &refusal);

} // namespace ValueAssignment
