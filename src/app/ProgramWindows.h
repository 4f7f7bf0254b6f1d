#pragma once

#include <memory>

class TForm1;
class TForm2;
class TForm3;
class TForm5;
class TForm6;
class TForm7;
class TForm8;
class TForm9;
class DeviceCommands;
class HelpAndToolCommands;

// All windows of the program, created once in their fixed order and living
// until the program ends. The main window owns the dialogs; the reminder
// window stands on its own so it can show before the main window.
class ProgramWindows
{
  public:
    ProgramWindows();
    ~ProgramWindows();

    TForm1 *Form1;
    TForm2 *Form2;
    TForm3 *Form3;
    TForm5 *Form5;
    TForm6 *Form6;
    TForm7 *Form7;
    TForm8 *Form8;
    TForm9 *Form9;
    // Read, Write and the other commands that reach the communicator.
    DeviceCommands *Commands;
    // Help, news, About, tone samples and the port choice.
    HelpAndToolCommands *HelpAndTools;

  private:
    std::unique_ptr<TForm1> m_main;
    std::unique_ptr<TForm8> m_reminder;
};
