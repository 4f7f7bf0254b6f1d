#pragma once

#include "platform/Result.h"

#include <QByteArray>
#include <QString>

// A settings file as JSON, for keeping settings in version control and
// editing them in scripts: one member per record, in file order, named by
// its key (Dial) and holding the value text exactly as stored (no blanks
// dropped, nothing normalised). Importing the export gives the same file
// byte for byte.
namespace KvrJson
{

// The JSON of the .kvr file at path, or why there is none ("File not found",
// "Read beyond end of file", ...). A file of 43 or 44 records gives for the
// missing ones the values the program takes when it loads it. Control
// characters in the values are written as \u escapes, so the JSON shown on a
// terminal cannot act on it.
Result<QByteArray> exportFile(const QString &path);

// Writes the .kvr file for the JSON text. Every one of the 45 keys must be
// present and no other; each value a text of at most 32 single-byte
// characters. Otherwise nothing is written and the failure says why (keys
// not known are named with their control characters escaped).
Result<void> importJson(const QByteArray &json, const QString &path);

} // namespace KvrJson
