#pragma once

#include <QWidget>

class QLabel;

// The reminder shown while the program starts: read the communicator's data
// before writing to it. Borderless, on top, closed by the main window's first
// timer tick; no behaviour of its own.
class TForm8 : public QWidget
{
    Q_OBJECT

  public:
    explicit TForm8(QWidget *parent = nullptr);

    QLabel *Image1 = nullptr;
    QLabel *Label1 = nullptr;

    // The text the window is designed with, before any language is applied.
    static QString designText();

    // The picture under the text, 440 by 290 pixels.
    static QPixmap picture();
};
