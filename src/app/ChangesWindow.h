#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;
class SettingsRecord;

// What a write is about to change, shown after it has read the
// communicator and before it sends anything: one row a parameter or
// counter (page, label, the value in the communicator, the value after the
// write), or a short note when nothing would change. "Zapsat" goes on
// (accept); "Zrušit", the default, and Esc end the write with nothing sent.
class ChangesWindow : public QDialog
{
    Q_OBJECT

  public:
    explicit ChangesWindow(QWidget *parent = nullptr);

    // Lists the changes in the language in force; returns how many.
    int prepare(const SettingsRecord &inDevice, const SettingsRecord &toWrite);

    QTableWidget *Table = nullptr;
    QLabel *NothingLabel = nullptr;
    QPushButton *WriteButton = nullptr;
    QPushButton *CancelButton = nullptr;
};
