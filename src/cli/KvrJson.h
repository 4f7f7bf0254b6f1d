#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// A settings file as JSON, for keeping settings in version control and
// editing them in scripts: one member per record, in file order, named by
// its key (Dial) and holding the value text exactly as stored (no blanks
// dropped, nothing normalised). Importing the export gives the same file
// byte for byte.
namespace KvrJson
{

// The JSON of the .kvr file at path, or nothing with *error set ("File not
// found", "Read beyond end of file", ...). A file of 43 or 44 records gives
// for the missing ones the values the program takes when it loads it.
std::optional<QByteArray> exportFile(const QString &path, QString *error);

// Writes the .kvr file for the JSON text. Every one of the 45 keys must be
// present and no other; each value a text of at most 32 single-byte
// characters. Otherwise nothing is written and *error says why.
bool importJson(const QByteArray &json, const QString &path, QString *error);

} // namespace KvrJson
