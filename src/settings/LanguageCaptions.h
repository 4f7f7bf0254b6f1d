#pragma once

#include "settings/PrintCaptions.h"

// The main window's captions composed from the language texts in force,
// without a window: the text of the last language table row that addresses
// the control on TForm1 (the row the window ends up showing), in the row's
// form (blanks around group captions, row numbers after the row labels).
// Serves printing from the command line.
class LanguageCaptions : public PrintCaptions
{
  public:
    QString caption(const QString &control) const override;
    QString yesNo(bool yes) const override;
};
