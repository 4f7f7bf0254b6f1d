#include "app/Tony.h"

#include "app/FormLayout.h"
#include "platform/SoundOutput.h"
#include "platform/WavFile.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QThread>

namespace
{

// A push button whose caption wraps onto a second line when it is too long
// for one (the tallest button of the window).
class WrappingButton : public QPushButton
{
  public:
    explicit WrappingButton(QWidget *parent) : QPushButton(parent) { setProperty("wrapsCaption", true); }

  protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        option.text.clear();
        style()->drawControl(QStyle::CE_PushButton, &option, &p, this);
        p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
        p.drawText(rect().adjusted(4, 2, -4, -2), Qt::AlignCenter | Qt::TextWordWrap, text());
    }
};

} // namespace

const TForm3::Sample TForm3::samples[11] = {
    {"Button7", "PowerOn.WAV"},     {"Button8", "OnProgram.WAV"}, {"Button1", "PickUp.WAV"},
    {"Button9", "Programming.WAV"}, {"Button2", "HangUp.WAV"},    {"Button3", "Confirm.WAV"},
    {"Button5", "Buttonerror.WAV"}, {"Button4", "Error.WAV"},     {"Button10", "Input1.WAV"},
    {"Button11", "SysTime.WAV"},    {"Button6", "Allert.WAV"},
};

TForm3::TForm3(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("TForm3"));
    setFont(FormLayout::windowFont());
    setFixedSize(307, 253);
    for (int i = 0; i < 11; ++i) {
        QPushButton *b = i < 10 ? new QPushButton(this) : new WrappingButton(this);
        b->setObjectName(QLatin1String(samples[i].button));
        b->setAutoDefault(false);
        // A little wider than the window was first drawn with, so the longest
        // Czech captions fit in this font.
        if (i < 10)
            b->setGeometry(i % 2 ? 157 : 10, 8 + (i / 2) * 40, 140, 25);
        else
            b->setGeometry(83, 208, 140, 33);
        const QString file = QLatin1String(samples[i].file);
        connect(b, &QPushButton::clicked, this, [this, file] { playSample(file); });
    }
    FormLayout::readingTabOrder(this);
}

QPushButton *TForm3::button(const char *name) const
{
    return findChild<QPushButton *>(QLatin1String(name));
}

bool TForm3::event(QEvent *event)
{
    // The sounds ship beside the program, which runs in its folder; a later
    // change of folder is followed the next time the window comes up.
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::Show)
        m_soundFolder = QDir::currentPath();
    return QDialog::event(event);
}

void TForm3::playSample(const QString &fileName)
{
    if (m_playing)
        return;
    if (m_soundFolder.isEmpty())
        m_soundFolder = QDir::currentPath();
    // A file that is missing, no PCM sound or no regular file at all (a
    // named pipe, a device) plays nothing, at once: the window never waits
    // on a file it cannot play.
    const std::optional<WavPcm> sound = WavFile::read(m_soundFolder + QLatin1Char('/') + fileName);
    if (!sound)
        return;
    m_playing = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The sound plays on a thread of its own so the window keeps painting.
    QEventLoop loop;
    QThread *player = QThread::create([&sound] { SoundOutput::play(*sound); });
    connect(player, &QThread::finished, &loop, &QEventLoop::quit);
    player->start();
    loop.exec();
    player->wait();
    delete player;
    QApplication::restoreOverrideCursor();
    m_playing = false;
}

void TForm3::reject()
{
    if (!m_playing)
        QDialog::reject();
}

void TForm3::closeEvent(QCloseEvent *event)
{
    if (m_playing)
        event->ignore();
    else
        QDialog::closeEvent(event);
}
