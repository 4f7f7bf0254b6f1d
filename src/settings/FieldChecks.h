#pragma once

#include "lang/Text.h"
#include "settings/ParameterTable.h"

#include <QChar>
#include <QString>

#include <optional>

// The checks that run when the focus leaves an edit field. Each is a pure
// function of the field's text: it either gives the corrected text or names
// a message (a language text) after which the focus goes back
// into the field with its text unchanged.
//
// The checks read the text with blanks removed at both ends. A text that is
// not a number where a number is expected (it can only come from a paste or a
// loaded file) is treated as an empty field, so it gets the value the check
// gives an empty field. Numbers are read with either "," or "." as the
// decimal separator; the half value is always written with the system's.
// The bounds, steps and fill-in values are the parameter's value rule.
struct FieldCheckResult {
    QString text;                // the field's text after the check
    std::optional<Text> message; // when set: show it and put the focus back
    bool failed() const { return message.has_value(); }
};

namespace FieldChecks
{

// The check of the parameter's field on a text.
FieldCheckResult run(const Parameter &param, const QString &text, QChar decimalSeparator);

} // namespace FieldChecks
