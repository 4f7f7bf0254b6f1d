#pragma once

#include <QList>

class QWidget;
struct MainWindowState;

// Puts the language texts in force on the program's windows, row by row of
// the language table: captions, hints, and (when a state is given) the texts
// the main window keeps, ProgramTitle and FilePrefix. Windows are matched by
// objectName (TForm1, TForm2, ...), controls by their component name; a row
// whose window or control does not exist is passed over.
void applyLanguageTexts(const QList<QWidget *> &windows, MainWindowState *state);
