#include "app_helper.h"

#include "app/KAVR10.h"
#include "app/ProgramWindows.h"
#include "device/exchange_helper.h"

#include <QDir>
#include <QFile>
#include <QTimer>

ProgramFolder::ProgramFolder() : m_previous(QDir::currentPath())
{
    QDir::setCurrent(m_dir.path());
    // Like the program folder the program ships with, the folder holds a
    // Czech language file; this one keeps every built-in text.
    QFile czech(file(QStringLiteral("Cesky.lng")));
    if (czech.open(QIODevice::WriteOnly))
        czech.write("[OTHER]\n90=cs\n");
}

ProgramFolder::~ProgramFolder()
{
    QDir::setCurrent(m_previous);
}

void ProgramFolder::writeConfig(const QString &text) const
{
    QString all = text;
    all += QStringLiteral("[Ports]\n");
    for (int i = 1; i <= 16; ++i)
        all += QStringLiteral("COM%1=%2/no-such-tty%1\n").arg(i).arg(m_dir.path());
    QFile f(configPath());
    if (f.open(QIODevice::WriteOnly))
        f.write(all.toUtf8());
}

void ProgramFolder::writeSetup(bool usb, const QString &setup) const
{
    // The list of changes before a write is the safe write tests' own case;
    // elsewhere a write goes straight on unless the setup says otherwise.
    const QString confirm = setup.contains(QLatin1String("ConfirmChanges")) ? QString()
                                                                              : QStringLiteral("ConfirmChanges=0\n");
    writeConfig(QStringLiteral("[Setup]\nUSB=%1\nCOM=1\n").arg(usb ? 1 : 0) + confirm + setup);
}

QString ProgramFolder::readConfig() const
{
    QFile f(configPath());
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

void ProgramFolder::touch(const QString &name) const
{
    QFile f(file(name));
    if (f.open(QIODevice::WriteOnly))
        f.write("[Menu]\n");
}

MessageLog::MessageLog()
{
    MessageBoxes::setResponder([this](const MessageBoxes::Shown &s) {
        shown.append(s);
        if (observer)
            observer(s);
        return s.question && !answers.isEmpty() ? answers.takeFirst() : false;
    });
}

MessageLog::~MessageLog()
{
    MessageBoxes::setResponder(nullptr);
}

QStringList MessageLog::messages() const
{
    QStringList out;
    for (const auto &s : shown)
        if (!s.question)
            out << s.text;
    return out;
}

std::unique_ptr<ProgramWindows> startProgramWindows(VirtualLine *line)
{
    auto windows = std::make_unique<ProgramWindows>();
    TForm1 *form = windows->Form1;
    if (line)
        line->attach(form->exchange());
    form->Timer1->stop();
    form->show();
    form->Timer1Timer();
    form->Timer1->stop();
    return windows;
}
