#include "app/HelpAndToolCommands.h"

#include "app/AddressOpener.h"
#include "app/AfPortControls.h"
#include "app/HelpWindow.h"
#include "app/KAVR10.h"
#include "app/MessageBoxes.h"
#include "app/Oprog.h"
#include "app/SerPort.h"
#include "app/Tony.h"
#include "lang/LanguageTexts.h"
#include "platform/ShellOpen.h"
#include "platform/SoundOutput.h"

#include <algorithm>

HelpAndToolCommands::HelpAndToolCommands(TForm1 &form1) : QObject(&form1), m_form1(form1)
{
    connect(&m_form1, &TForm1::helpRequested, this, &HelpAndToolCommands::help);
    connect(&m_form1, &TForm1::newsRequested, this, &HelpAndToolCommands::news);
    connect(&m_form1, &TForm1::aboutRequested, this, &HelpAndToolCommands::about);
    connect(&m_form1, &TForm1::toneSamplesRequested, this, &HelpAndToolCommands::toneSamples);
    connect(&m_form1, &TForm1::portChoiceRequested, this, &HelpAndToolCommands::portChoice);
}

void HelpAndToolCommands::help()
{
    // Only a plain page of the program folder is shown; a name the language
    // gives that is none counts as a missing file.
    const QString file =
        ShellOpen::helpFile(m_form1.refreshProgramFolder(), LanguageTexts::text(Text::HelpFile));
    if (file.isEmpty()) {
        MessageBoxes::showMessage(&m_form1, LanguageTexts::text(Text::HelpFileMissing));
        return;
    }
    // The program's own window: it needs no browser.
    if (!m_help)
        m_help = new HelpWindow(&m_form1);
    m_help->showFile(file);
}

void HelpAndToolCommands::news()
{
    // A text that is no web address opens nothing.
    AddressOpener::open(&m_form1, ShellOpen::webAddress(LanguageTexts::text(Text::NewsAddress)));
}

void HelpAndToolCommands::about()
{
    m_form1.companions().Form2->exec();
}

void HelpAndToolCommands::toneSamples()
{
    if (!SoundOutput::available()) {
        MessageBoxes::showMessage(&m_form1, LanguageTexts::text(Text::NoSoundCard));
        return;
    }
    m_form1.companions().Form3->exec();
}

void HelpAndToolCommands::portChoice()
{
    TForm5 *dialog = m_form1.companions().Form5;
    TAfPortRadioGroup *ports = dialog->AfPortRadioGroup1;
    ports->SetSelectedPort(static_cast<uint16_t>(std::clamp(m_form1.comNumber(), 0, 0xFFFF)));
    dialog->exec();
    // The dialog has no OK button: the port clicked last is taken however
    // the dialog was closed.
    m_form1.setComNumber(ports->SelectedPort());
}
