#include "app/KAVR10.h"

#include "app/CaptionPanel.h"
#include "app/Dotaz.h"
#include "app/FieldGuards.h"
#include "app/FileCommands.h"
#include "app/HistorySharing.h"
#include "app/Hlaseni.h"
#include "app/MenuHotkeys.h"
#include "app/MessageBoxes.h"
#include "app/Oprog.h"
#include "app/PrintCommand.h"
#include "app/SerPort.h"
#include "app/StatusPanels.h"
#include "app/Tony.h"
#include "app/Uvod.h"
#include "app/Zobraz.h"
#include "device/ExchangeService.h"
#include "device/UsbLink.h"
#include "lang/LanguageTexts.h"
#include "platform/ProgramConfig.h"
#include "platform/ProgramVersion.h"
#include "serial/AfComPort.h"
#include "settings/FirmwareOptions.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

namespace
{

// The file name part of a path: the text after its last separator (the
// whole text when there is none). A path from another system may use "\".
QString namePart(const QString &path)
{
    const int cut = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(cut + 1);
}

} // namespace

TForm1::TForm1(QWidget *parent) : QMainWindow(parent), m_exchange(std::make_unique<ExchangeService>())
{
    setObjectName(QStringLiteral("TForm1"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    buildLayout();
    indexControls();
    for (const Parameter &param : ParameterTable::all()) {
        if (param.kind != ParamKind::Edit)
            continue;
        if (auto *e = qobject_cast<QLineEdit *>(control(param.control)))
            connect(e, &QLineEdit::textEdited, e, [e, max = param.maxLength](const QString &text) {
                e->setMaxLength(std::max(max, int(text.length())));
            });
    }
    layout()->setSizeConstraint(QLayout::SetFixedSize); // not resizable
    layout()->activate();
    setFixedSize(sizeHint()); // before the first show, so the window opens at its size
    installFieldGuards(this);

    Files = std::make_unique<FileCommands>(this, *this, *this);
    // Each command may change the current file: the line beneath the status
    // bar says at once whether it is one of the history.
    connect(this, &TForm1::openRequested, this, [this] {
        Files->open();
        refreshHistoryBar();
    });
    connect(this, &TForm1::saveRequested, this, [this] {
        Files->save();
        refreshHistoryBar();
    });
    connect(this, &TForm1::saveAsRequested, this, [this] {
        Files->saveAs();
        refreshHistoryBar();
    });
    Sharing = new HistorySharing(this);
    connect(Sharing, &HistorySharing::stateChanged, this, &TForm1::refreshHistoryBar);
    Printing = std::make_unique<PrintCommand>(*this, *this, *this);
    connect(this, &TForm1::printRequested, this, [this] { Printing->run(); });
    connect(this, &TForm1::languageChosen, this, &TForm1::languageEntryClicked);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(3500);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    Timer1->start();

    // The window waits, disabled, for the first tick of the main timer.
    setEnabled(false);
}

TForm1::~TForm1() = default;

void TForm1::indexControls()
{
    for (QWidget *w : centralWidget()->findChildren<QWidget *>())
        if (!w->objectName().isEmpty())
            m_controls.insert(w->objectName(), w);
}

int TForm1::comNumber() const
{
    return m_forms.Form6 ? m_forms.Form6->AfComPort1->ComNumber() : m_comNumber;
}

void TForm1::setComNumber(int number)
{
    m_comNumber = number;
    if (!m_forms.Form6)
        return;
    try {
        m_forms.Form6->AfComPort1->SetComNumber(number);
    } catch (const std::exception &) {
        // An open port that cannot take the new number stays closed with it;
        // the next exchange reports the port.
    }
}

bool TForm1::usbSelected() const
{
    return m_forms.Form5 && m_forms.Form5->CheckBox1->isChecked();
}

QWidget *TForm1::messageParent()
{
    // A box owned by a disabled window would be disabled too.
    return isEnabled() ? this : nullptr;
}

void TForm1::updateCaption()
{
    setWindowTitle(ProgramTitle + QStringLiteral("  V") + ProgramVersion::text().left(4));
}

void TForm1::languageEntryClicked(int entry)
{
    // English1 stands for "None" until a language file is found.
    if (entry >= LanguageFiles.size() || (entry == 0 && LanguageFiles[0].length() <= 4))
        return;
    LanguageFile = LanguageFiles[entry];
    LoadLanguage();
    // Texts composed earlier follow the new language at once.
    StatusBar1->setPanelText(1, FilePrefix + namePart(CurrentFile));
    refreshHistoryBar();
}

void TForm1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    if (QScreen *screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    FormShow();
}

void TForm1::FormShow()
{
    // 1-2: the reminder on top, then the caption without a program title yet.
    if (m_forms.Form8) {
        m_forms.Form8->show();
        m_forms.Form8->raise();
    }
    updateCaption();
    QCoreApplication::processEvents();

    // 3
    SaveAsOnClose = false;
    OpenedFromCommandLine = false;
    VersionQueryRequested = true;
    m_exchange->setQuietFirstExchange();

    // 4-5
    refreshProgramFolder();
    LanguageFile = ProgramFolder + QStringLiteral("/Cesky.lng");
    fillLanguageMenu();

    // 6-7
    readOrCreateConfig();

    // 8-9: a language file error waits, as every start-up message, for the
    // window to be on screen.
    m_starting = true;
    if (LanguageFile.length() > 8)
        LoadLanguage();
    m_starting = false;
    updateCaption();

    // 10-11: a file named on the command line is checked and loaded; a name
    // that is refused ends the sequence with the second page in front.
    bool accepted = true;
    if (!m_commandLine) {
        CurrentFile.clear();
    } else {
        Files->setMessageSink([this](const QString &text) { m_startupMessages.append(text); });
        accepted = Files->loadFromCommandLine(*m_commandLine);
        Files->setMessageSink(nullptr);
    }
    if (accepted)
        PageControl1->setCurrentIndex(0);
    refreshHistoryBar();
    // What earlier runs kept and could not share goes now, in the background.
    Sharing->request(ProgramFolder);
    showStartupMessagesWhenMapped();
}

void TForm1::showStartupMessagesWhenMapped()
{
    if (m_startupMessages.isEmpty())
        return;
    // The window system maps the window after the show; give up waiting
    // after a few seconds (a window started minimised is never mapped).
    if (!(isVisible() && testAttribute(Qt::WA_Mapped)) && m_mapWaits++ < 300) {
        QTimer::singleShot(10, this, [this] { showStartupMessagesWhenMapped(); });
        return;
    }
    // No tick may ask its start-up question behind the message. The window
    // stays disabled and the reminder on top until that tick; the message
    // stands above both, over a status bar that already says where the
    // program stands.
    const bool ticking = Timer1->isActive();
    Timer1->stop();
    refreshStatusBar();
    while (!m_startupMessages.isEmpty())
        MessageBoxes::showOnTop(this, m_startupMessages.takeFirst());
    if (ticking)
        Timer1->start();
}

void TForm1::fillLanguageMenu()
{
    refreshProgramFolder();
    QDir dir(ProgramFolder);
    dir.setNameFilters({QStringLiteral("*.LNG")}); // name filters ignore case
    dir.setFilter(QDir::Files | QDir::Hidden | QDir::System);
    dir.setSorting(QDir::Unsorted); // the order the directory lists them
    const QStringList names = dir.entryList();
    LanguageFiles.clear();
    for (int k = 0; k < names.size() && k < languageEntries.size(); ++k) {
        languageEntries[k]->setText(names[k].left(names[k].length() - 4));
        languageEntries[k]->setVisible(true);
        LanguageFiles.append(ProgramFolder + QLatin1Char('/') + names[k]);
    }
    MenuHotkeys::assign(menuBar());
}

void TForm1::readOrCreateConfig()
{
    const QString file = ProgramConfig::path(ProgramFolder);
    if (QFileInfo::exists(file)) {
        const ProgramConfig::Values v = ProgramConfig::read(file);
        if (const QString problem = v.problem(file); !problem.isEmpty())
            m_startupMessages.append(problem);
        setComNumber(v.com);
        if (m_forms.Form5)
            m_forms.Form5->setUsbChecked(v.usb == 1);
        LanguageFile = ProgramFolder + QLatin1Char('/') + v.lang;
        ExchangeOptions options = m_exchange->options();
        options.ClosePort = v.closePort;
        options.TimeOutRS = v.timeOutRS;
        options.WriteOnTick = v.writeOnTick == 1;
        m_exchange->setOptions(options);
        return;
    }
    setComNumber(1);
    ExchangeOptions options = m_exchange->options();
    options.ClosePort = QStringLiteral("0");
    options.TimeOutRS = 10;
    options.WriteOnTick = false;
    m_exchange->setOptions(options);
    if (!ProgramConfig::write(file, false, comNumber(), namePart(LanguageFile)))
        m_startupMessages.append(ProgramConfig::writeFailureText(file));
}

void TForm1::Timer1Timer()
{
    // A tone sample plays to its end before anything else happens: a version
    // query now would put the communication dialog over the tone window. The
    // next tick after the sound does what this one would have done.
    if (m_forms.Form3 && m_forms.Form3->playing())
        return;
    refreshStatusBar();
    QPalette pal = Label166->palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    Label166->setPalette(pal);
    FirmwareOptions::apply(FirmwareVersion, *this);

    if (!VersionQueryRequested)
        return;
    if (m_forms.Form8 && m_forms.Form8->isVisible()) {
        // The first tick: the program becomes usable.
        setEnabled(true);
        m_forms.Form8->close();
        Timer1->stop();
        Timer1->setInterval(300);
        if (!OpenedFromCommandLine &&
            MessageBoxes::askYesNo(this, LanguageTexts::text(Text::OpenSettingsQuestion),
                                   LanguageTexts::text(Text::OpenFile), false))
            emit openRequested();
        Timer1->start();
    }
    if (VersionQueryRequested && runVersionQuery && !m_exchange->busy())
        runVersionQuery();
}

void TForm1::setStatusNote(const QString &text)
{
    m_statusNote = text;
    m_statusNoteShown.start();
    StatusBar1->setPanelText(1, text.isEmpty() ? FilePrefix + namePart(CurrentFile) : text);
}

void TForm1::refreshStatusBar()
{
    // A note stands in the file's panel, the widest, for a while.
    const bool note = !m_statusNote.isEmpty() && m_statusNoteShown.elapsed() < StatusNoteMs;
    StatusBar1->setPanelText(1, note ? m_statusNote : FilePrefix + namePart(CurrentFile));
    StatusBar1->setPanelText(0, usbSelected() ? m_exchange->usb().statusText()
                                              : QStringLiteral("COM:") + QString::number(comNumber()));
    StatusBar1->setPanelText(3, QStringLiteral("Firmware.: ") + FirmwareVersion);
    refreshHistoryBar();
    const QDateTime now = clock();
    StatusBar1->setPanelText(
        5, QStringLiteral("%1.%2.%3").arg(now.date().day()).arg(now.date().month()).arg(now.date().year()));
    StatusBar1->setPanelText(
        6,
        QStringLiteral("%1:%2:%3").arg(now.time().hour()).arg(now.time().minute()).arg(now.time().second()));
}

void TForm1::refreshHistoryBar()
{
    const QString note = FileCommands::historyNote(CurrentFile, ProgramFolder);
    const QString share = Sharing->text();
    if (note == HistoryNote->text() && share == ShareState->toolTip() &&
        HistoryBar->isHidden() == (note + share).isEmpty())
        return;
    HistoryNote->setText(note);
    HistoryNote->setVisible(!note.isEmpty());
    // A reason may be long (an ssh host key's fingerprint): the row shows
    // what fits, the tool tip all of it.
    ShareState->setToolTip(share);
    ShareState->setVisible(!share.isEmpty());
    ShareState->setText(ShareState->fontMetrics().elidedText(share, Qt::ElideRight, HistoryBar->width() - 8));
    const int rows = int(!note.isEmpty()) + int(!share.isEmpty());
    HistoryBar->setFixedHeight(18 * rows);
    HistoryBar->setVisible(rows > 0);
    centralWidget()->setFixedSize(621, 419 + 18 * rows);
}

void TForm1::StatusBar1Click()
{
    // The cable is opened anew at every click: it may have been replugged.
    if (usbSelected() && !m_exchange->openCable()) {
        MessageBoxes::showMessage(messageParent(), LanguageTexts::text(Text::CommunicationError));
        return;
    }
    VersionQueryRequested = true;
}

void TForm1::closeEvent(QCloseEvent *event)
{
    // Until the first tick the window is disabled and takes no input, its
    // close box included; a close then would leave the program running
    // behind the reminder.
    if (!isEnabled() && event->spontaneous()) {
        event->ignore();
        return;
    }
    if (m_closing) {
        event->accept();
        return;
    }
    m_closing = true;
    if (MessageBoxes::askYesNo(messageParent(), LanguageTexts::text(Text::SaveSettingsQuestion),
                               LanguageTexts::text(Text::SaveFile), true)) {
        SaveAsOnClose = true;
        emit saveAsRequested();
    }
    emit closingPort();
    if (m_forms.Form6) {
        try {
            m_forms.Form6->AfComPort1->Close();
        } catch (const std::exception &) {
            // Closing goes on: the configuration is still written.
        }
    }
    writeConfigOnClose();
    event->accept();
}

void TForm1::keyPressEvent(QKeyEvent *event)
{
    // BitBtn1 is the window's cancel button: an Esc no control used presses it.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && BitBtn1->isEnabled()) {
        BitBtn1->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void TForm1::writeConfigOnClose()
{
    refreshProgramFolder();
    const QString file = ProgramConfig::path(ProgramFolder);
    if (!ProgramConfig::write(file, usbSelected(), comNumber(), namePart(LanguageFile)))
        MessageBoxes::showMessage(messageParent(), ProgramConfig::writeFailureText(file));
}
