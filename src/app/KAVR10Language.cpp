// The main window's language: loading a language file and putting its texts
// on every window.

#include "app/KAVR10.h"

#include "app/Dotaz.h"
#include "app/FolderPicture.h"
#include "app/HelpWindow.h"
#include "app/Hlaseni.h"
#include "app/LanguageApply.h"
#include "app/MenuHotkeys.h"
#include "app/MessageBoxes.h"
#include "app/Oprog.h"
#include "app/SerPort.h"
#include "app/StandardTranslation.h"
#include "app/Tony.h"
#include "app/Uvod.h"
#include "app/Zobraz.h"
#include "lang/LanguageTexts.h"
#include "platform/ProgramConfig.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QPixmap>

void TForm1::applyLanguage()
{
    const QList<QWidget *> all{this,          m_forms.Form2, m_forms.Form3, m_forms.Form5,
                               m_forms.Form6, m_forms.Form7, m_forms.Form8, m_forms.Form9};
    QList<QWidget *> windows;
    for (QWidget *w : all)
        if (w)
            windows.append(w);
    applyLanguageTexts(windows, this);
    // The action choice takes its texts itself, from the texts in force.
    if (m_forms.Form7)
        m_forms.Form7->setCaptions();
    StandardTranslation::install(LanguageTexts::standardTranslation());
    MenuHotkeys::assign(menuBar());
    // An open help window shows the help of the language now in force.
    if (auto *help = findChild<HelpWindow *>(); help && help->isVisible())
        help->followLanguage();
}

void TForm1::LoadLanguage()
{
    refreshProgramFolder();
    if (!QFileInfo(LanguageFile).isFile()) {
        if (!QFileInfo::exists(ProgramConfig::path(ProgramFolder))) {
            // Nothing to fall back on: the built-in texts.
            LanguageTexts::resetToDefaults();
            applyLanguage();
            updateCaption();
            return;
        }
        // Config.ini stays: it may hold ClosePort and TimeOutRS set by hand,
        // and the close writes the language used instead.
        LanguageFile = ProgramFolder + QStringLiteral("/Cesky.lng");
        if (!QFileInfo(LanguageFile).isFile()) {
            const QString error = QStringLiteral("Language file error / chybí jazykový soubor");
            if (m_starting)
                m_startupMessages.append(error);
            else
                MessageBoxes::showMessage(messageParent(), error);
            // The texts in force stay; at start-up those are the built-in
            // ones, which then give the caption and status bar their words.
            if (!LanguageTexts::fromFile()) {
                applyLanguage();
                updateCaption();
            }
            return;
        }
    }
    const Result<void> loaded = LanguageTexts::loadFile(LanguageFile);
    applyLanguage();
    updateCaption();
    if (!loaded) {
        // The built-in texts are in force; the user learns why.
        const QString error = QStringLiteral("Language file error: %1: %2")
                                  .arg(QDir::toNativeSeparators(LanguageFile), loaded.failure().reason);
        if (m_starting)
            m_startupMessages.append(error);
        else
            MessageBoxes::showMessage(messageParent(), error);
    }

    // The About box shows the maker's picture named by the language file,
    // when the program folder holds it: a name that leads out of the folder,
    // or to anything but a picture file there, leaves the picture as it is.
    if (m_forms.Form2) {
        const QImage picture =
            FolderPicture::load(ProgramFolder, LanguageTexts::text(Text::AboutPicture));
        if (!picture.isNull())
            m_forms.Form2->Image1->setPixmap(QPixmap::fromImage(picture));
    }
}
