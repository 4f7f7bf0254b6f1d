#pragma once

#include <QObject>

class HelpWindow;
class TForm1;

// The main window's commands that need no communicator: the help page,
// the news page, the About box (the "Pomoc" menu), the tone samples and the
// port choice (the "Nástroje" menu).
class HelpAndToolCommands : public QObject
{
    Q_OBJECT
  public:
    explicit HelpAndToolCommands(TForm1 &form1);

    // The help page of the language in use, in the program's help window.
    void help();
    void news();
    HelpWindow *helpWindow() const { return m_help; }
    void about();
    void toneSamples();
    void portChoice();

  private:
    TForm1 &m_form1;
    HelpWindow *m_help = nullptr; // made at the first Help, owned by the main window
};
