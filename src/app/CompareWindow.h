#pragma once

#include <QDialog>

class QPushButton;
class QTableWidget;
class SettingsRecord;

// The parameters whose values differ between the main window and another
// set: the communicator's (Compare with the communicator) or a settings file
// of the history. One row a parameter: its page, group and label in the
// language in force (a label alone can repeat: every telephone group has
// its "Pořadí"), the value in the window, the other value. "Take" loads the other values
// into the window (accept); "Close" changes nothing.
class CompareWindow : public QDialog
{
    Q_OBJECT

  public:
    enum class Source { Communicator, File };
    enum Column { PageColumn, GroupColumn, LabelColumn, WindowColumn, OtherColumn, Columns };

    explicit CompareWindow(QWidget *parent = nullptr);

    // Lists the differences and sets the texts for the source; returns how
    // many parameters differ. Values count as the communicator would hold
    // them (an empty switch time is 0, either decimal separator).
    int prepare(const SettingsRecord &window, const SettingsRecord &other, Source source);

    QTableWidget *Table = nullptr;
    QPushButton *TakeButton = nullptr;
    QPushButton *CloseButton = nullptr;
};
