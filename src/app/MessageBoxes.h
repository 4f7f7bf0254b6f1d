#pragma once

#include <QString>

#include <functional>

class QWidget;

// The program's plain message boxes: an information box with an OK button,
// and a Yes/No question with a title. Everything the user is told goes
// through here, so tests can answer instead of a person.
namespace MessageBoxes
{

void showMessage(QWidget *parent, const QString &text);

// A message with the warning icon: something went wrong that the user must
// set right.
void showWarning(QWidget *parent, const QString &text);

// A message whose text the user can select and copy (an address that
// nothing could open).
void showCopyable(QWidget *parent, const QString &text);

// A message of the start-up: it stands above the reminder window, which
// stays on top of every other window until the first timer tick.
void showOnTop(QWidget *parent, const QString &text);

// True for Yes. defaultYes picks the button that Enter presses.
bool askYesNo(QWidget *parent, const QString &text, const QString &title, bool defaultYes);

// A responder takes the place of the boxes while set: it gets the text and
// title (empty for plain messages) and returns the answer (ignored for plain
// messages). Pass nullptr to show real boxes again.
struct Shown {
    QString text;
    QString title;
    bool question = false;
    bool defaultYes = false;
    bool copyable = false;
    bool onTop = false;
    bool warning = false;
};
void setResponder(std::function<bool(const Shown &)> responder);

// Makes the serial layer's uncaught errors plain message boxes.
void showSerialErrors();

} // namespace MessageBoxes
