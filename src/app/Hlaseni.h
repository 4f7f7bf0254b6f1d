#pragma once

#include <QDialog>

class QPushButton;

// The action choice for one of the two counters of the main window: read it
// from the communicator, clear it, or cancel.
class TForm7 : public QDialog
{
    Q_OBJECT

  public:
    explicit TForm7(QWidget *parent = nullptr);

    QPushButton *Button1 = nullptr; // read from the communicator
    QPushButton *Button2 = nullptr; // clear the counter
    QPushButton *Button3 = nullptr; // cancel

    enum class Action { Cancel, ReadFromDevice, ClearCounter };

    // Captions and title from the language texts in force; set before each
    // showing, as a language may have been chosen since.
    void setCaptions();
    // Sets the captions, shows the dialog modally with the focus on the
    // cancel button (so Enter cancels) and returns the button chosen; the
    // close box and Esc cancel.
    Action choose();

  private:
    Action m_chosen = Action::Cancel;
};
