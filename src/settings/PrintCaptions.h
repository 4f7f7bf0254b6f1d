#pragma once

#include <QString>

// The texts the settings printout takes from the user interface: the
// captions of the main window's controls, named by their component names
// ("GroupBox13", "Label154", "RadioButton6", "CheckBox11", the tab pages
// "TabSheet3", "TabSheet4", "TabSheet5", "TabSheet1", and the print menu item
// "isknastaven1"), and the words printed for a ticked and an unticked tone
// option.
//
// A caption is returned exactly as the control shows it: group box captions
// with the blanks around them, a menu caption with any hotkey marker, a
// caption that wraps with its line break. An unknown name gives an empty text.
//
// Two implementations print the same texts: WindowCaptions (app) reads the
// live main window, which is the truth for what is shown; LanguageCaptions
// composes them from the language texts in force, for printing without a
// window.
class PrintCaptions
{
  public:
    virtual ~PrintCaptions() = default;

    virtual QString caption(const QString &control) const = 0;
    // TAB3/42 ("Ano") for true, TAB3/43 ("Ne") for false.
    virtual QString yesNo(bool yes) const = 0;
};
