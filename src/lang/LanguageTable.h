#pragma once

#include <QString>

#include <span>

// How a language text is used.
enum class TextUse {
    Caption,  // the caption or text of a window or control
    Hint,     // a control's tool tip
    Role      // a message, title, file name or address the program keeps
};

// How the text is composed before it is shown.
enum class TextForm {
    Plain,
    Padded,        // one blank before and one after (group boxes, one menu)
    LeadingBlank,  // one blank before (the serial number panel)
    FilePrefix,    // followed by ": " (status bar file panel)
    EmailPrefix,   // "Email: " before the text
    WebPrefix,     // "Web:  " before the text
    RowLabel       // followed by a blank and the row number
};

struct LanguageRow {
    const char *section;
    int key;
    const char *czech;    // built-in default, used when the language file lacks the key
    const char *window;   // object name of the window: TForm1, TForm2, ...
    const char *control;  // object name of the control; the window itself for its caption; empty for roles
    TextUse use;
    TextForm form;
    int row = 0;          // RowLabel: the row number
};

namespace LanguageTable {

// Every language text in the order the loader applies them; a later row that
// addresses the same control replaces what an earlier one set.
std::span<const LanguageRow> rows();

// The text as shown: the given value composed by the row's form.
QString compose(const LanguageRow &row, const QString &value);

}  // namespace LanguageTable
