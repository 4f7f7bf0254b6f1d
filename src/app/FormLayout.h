#pragma once

#include <QFont>
#include <QString>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QWidget;

// Small helpers for windows laid out at fixed pixel places, as the
// communicator's tools have always been. Every control carries its
// component name as objectName, so the language texts and the tests find it.
namespace FormLayout
{

// The window font: a face every Debian desktop has, at the size where all
// Czech captions of the fixed layouts fit.
QFont windowFont();

QGroupBox *group(QWidget *parent, const char *name, int x, int y, int w, int h);
QLabel *label(QWidget *parent, const char *name, int x, int y, int w, int h, bool wrap = false);
QRadioButton *radio(QWidget *parent, const char *name, int x, int y, int w, bool checked = false);
QCheckBox *check(QWidget *parent, const char *name, int x, int y, int w, bool checked = false);
// A bold single-line field for a parameter: maximum length and default text
// come from the parameter table; cream fields are the ones the technician
// has to mind most.
QLineEdit *paramEdit(QWidget *parent, const char *name, int x, int y, int w, bool cream = false);
// The fixed navy "#" or "*" the communicator puts in front of a code.
QLabel *codeMark(QWidget *parent, const char *name, const QString &mark, int x, int y);

// Gives the focusable controls below root a tab order that reads the window
// left to right, top to bottom, container by container.
void readingTabOrder(QWidget *root);

} // namespace FormLayout
