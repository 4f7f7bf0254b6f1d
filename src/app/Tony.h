#pragma once

#include <QDialog>

class QPushButton;

// The tone samples window: eleven buttons, each for one tone the communicator
// sends down the line.
class TForm3 : public QDialog
{
    Q_OBJECT

  public:
    explicit TForm3(QWidget *parent = nullptr);

    // Button name and the sound file it plays, joined to the sound folder.
    struct Sample {
        const char *button;
        const char *file;
    };
    static const Sample samples[11];

    QPushButton *button(const char *name) const;

  signals:
    // A sample button was pressed; the sound player attaches here.
    void sampleRequested(const QString &fileName);
};
