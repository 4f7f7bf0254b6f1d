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

    // The folder the sounds come from: the current directory when the
    // window last became active.
    QString soundFolder() const { return m_soundFolder; }
    bool playing() const { return m_playing; }

    // Plays one sample file of the sound folder with the hourglass shown and
    // returns when it has ended. While it plays the window does not react:
    // further clicks are dropped, so two sounds never overlap. A file it
    // cannot play returns at once, without the hourglass.
    void playSample(const QString &fileName);

  public slots:
    void reject() override;

  protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

  private:
    QString m_soundFolder;
    bool m_playing = false;
};
