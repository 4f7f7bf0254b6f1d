#pragma once

#include <QString>

// Qt's own texts (the Yes/No/OK/Cancel buttons, the file and print dialogs)
// in the language of the program's texts, from the translations Qt ships
// (qtbase_<locale>.qm in Qt's translations folder).
namespace StandardTranslation
{

// Replaces the translation in use by the one for this locale name ("cs",
// "de", ...); an empty name or "en" means Qt's own English texts. False when
// no translation for the name could be loaded: the English texts are then in
// use.
bool install(const QString &localeName);

// The locale name of the translation in use, empty for English.
QString current();

} // namespace StandardTranslation
