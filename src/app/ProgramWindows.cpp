#include "app/ProgramWindows.h"

#include "app/AfLineSettingsDialog.h"
#include "app/DeviceCommands.h"
#include "app/DialogPlacement.h"
#include "app/Dotaz.h"
#include "app/HelpAndToolCommands.h"
#include "app/Hlaseni.h"
#include "app/KAVR10.h"
#include "app/MessageBoxes.h"
#include "app/Oprog.h"
#include "app/SerPort.h"
#include "app/Tony.h"
#include "app/Uvod.h"
#include "app/Zobraz.h"

#include <QLabel>

ProgramWindows::ProgramWindows()
{
    // What the serial layer shows goes through the program's own windows.
    MessageBoxes::showSerialErrors();
    TAfLineSettingsDialog::installForPorts();
    m_main = std::make_unique<TForm1>();
    Form1 = m_main.get();
    Form2 = new TForm2(Form1);
    Form3 = new TForm3(Form1);
    Form5 = new TForm5(Form1);
    Form6 = new TForm6(Form1);
    Form7 = new TForm7(Form1);
    m_reminder = std::make_unique<TForm8>();
    Form8 = m_reminder.get();
    Form8->show(); // visible from its creation
    Form9 = new TForm9(Form1);
    Form1->setCompanions({Form2, Form3, Form5, Form6, Form7, Form8, Form9});
    for (QWidget *dialog :
         {static_cast<QWidget *>(Form2), static_cast<QWidget *>(Form3), static_cast<QWidget *>(Form5),
          static_cast<QWidget *>(Form6), static_cast<QWidget *>(Form7), static_cast<QWidget *>(Form9)})
        DialogPlacement::centreAtEveryShowing(dialog);
    Commands = new DeviceCommands(*Form1);
    HelpAndTools = new HelpAndToolCommands(*Form1);
    // The design texts: every window starts with the built-in Czech texts.
    Form1->applyLanguage();
    Form1->ProgramTitle.clear(); // until the start-up applies the language
    Form1->FilePrefix.clear();
    Form8->Label1->setText(TForm8::designText());
}

ProgramWindows::~ProgramWindows()
{
    // The commands hold on to the dialog's serial port and to the main
    // window's hooks: they go first, before the windows they point into.
    delete Commands;
}
