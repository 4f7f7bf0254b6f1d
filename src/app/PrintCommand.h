#pragma once

#include "app/WindowCaptions.h"

#include <QString>

#include <functional>

class QAction;
class QMainWindow;
class QPrinter;
class SettingsRecord;
struct MainWindowState;

// The print command of the main window ("Tisk nastavení"): the system print
// dialog, then the settings printout on the chosen printer or PDF file,
// with the captions the window shows. The menu item is disabled from the
// dialog until the command ends, and the wait cursor shows while the job
// runs; both come back however the command ends. Without any printer the
// command says so (MESSAGE/65) and the dialog opens on printing to a PDF
// file. A PDF file is written beside its name and replaces an old file only
// when it is complete on the disk (PdfFile); a name that is not a regular
// file is refused. A failed job is aborted (an old file stays as it was) and
// reported once (MESSAGE/66 with the printer or file name).
class PrintCommand
{
  public:
    PrintCommand(QMainWindow &window, MainWindowState &state, const SettingsRecord &record);

    void run();

    // Tests play the print dialog: the player gets the printer the dialog
    // would set up and returns false for Cancel. Pass nullptr to show the
    // real dialog again.
    static void setDialogPlayer(std::function<bool(QPrinter &)> player);

  private:
    bool runDialog(QPrinter &printer);
    QString defaultPdfName() const;

    QMainWindow &m_window;
    MainWindowState &m_state;
    const SettingsRecord &m_record;
    WindowCaptions m_captions;
    QAction *m_item;
};
