#pragma once

#include <QString>

// Every caption, hint, title and message is a language text named by its
// section ("Menu", "TAB1".."TAB4", "MESSAGE", "OTHER", "HINT") and numeric key.
// Until a language file replaces it, each text is its built-in Czech default.
namespace LanguageTexts
{

// The text currently in force.
QString text(const QString &section, int key);

// The built-in Czech default (empty when the pair is unknown).
QString czechDefault(const QString &section, int key);

// Replace the text in force (used by the language loader).
void setText(const QString &section, int key, const QString &value);

// Back to the built-in defaults.
void resetToDefaults();

} // namespace LanguageTexts

struct LanguageRow;

namespace LanguageTexts
{

// The text of one table row as shown: the language file's value (or the
// row's own default, which can differ between rows of the same key) composed
// by the row's form.
QString shownText(const LanguageRow &row);

} // namespace LanguageTexts
