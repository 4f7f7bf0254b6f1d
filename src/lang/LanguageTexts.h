#pragma once

#include "lang/Text.h"
#include "platform/Result.h"
#include "platform/SafeFile.h"

#include <QString>

// Every caption, hint, title and message is a language text named by its
// section ("Menu", "TAB1".."TAB4", "MESSAGE", "OTHER", "HINT") and numeric key.
// Until a language file replaces it, each text is its built-in Czech default.
namespace LanguageTexts
{

// The text currently in force.
QString text(Text name);

// The same by section and key, for tables of texts keyed so (the language
// table's rows); code names the text it wants by its Text name.
QString text(const QString &section, int key);

// The section and key of the language files a name stands for.
struct TextKey {
    QString section;
    int key = 0;
};
TextKey keyOf(Text name);

// The built-in Czech default (empty when the pair is unknown).
QString czechDefault(const QString &section, int key);

// Replace the text in force (used by the language loader).
void setText(const QString &section, int key, const QString &value);

// Back to the built-in defaults.
void resetToDefaults();

// Replaces the texts in force by those of a language file: every key of the
// file that names a language text is taken (at most 2047 characters of its
// value), every other text goes back to its default. A file that cannot be
// read counts as a file without keys; the result then tells why (only a
// regular file of at most SafeFile::LanguageLimit bytes is read). The file is
// read as UTF-8 when it is valid UTF-8, else as Windows-1250; a byte order
// mark is skipped.
Result<void> loadFile(const QString &path);

// The language of Qt's own texts (buttons, standard dialogs) that goes with
// the texts in force, as a locale name ("cs", "de", ...): the built-in texts
// are Czech; a language file names its own in OTHER/90, and a file without
// that key gets English, which needs no translation (empty result).
QString standardTranslation();

// Whether the texts in force come from a language file.
bool fromFile();

} // namespace LanguageTexts

struct LanguageRow;

namespace LanguageTexts
{

// The text of one table row as shown: the language file's value (or the
// row's own default, which can differ between rows of the same key) composed
// by the row's form.
QString shownText(const LanguageRow &row);

} // namespace LanguageTexts
