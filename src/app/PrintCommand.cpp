#include "app/PrintCommand.h"

#include "app/MainWindowState.h"
#include "app/MessageBoxes.h"
#include "lang/LanguageTexts.h"
#include "settings/PdfFile.h"
#include "settings/SettingsPrintout.h"

#include <QAction>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include <optional>

namespace
{

std::function<bool(QPrinter &)> &dialogPlayer()
{
    static std::function<bool(QPrinter &)> player;
    return player;
}

// The menu item stays disabled while the command runs, whatever way it ends.
class ItemDisabled
{
  public:
    explicit ItemDisabled(QAction *item) : m_item(item)
    {
        if (m_item)
            m_item->setEnabled(false);
    }
    ~ItemDisabled()
    {
        if (m_item)
            m_item->setEnabled(true);
    }
    ItemDisabled(const ItemDisabled &) = delete;
    ItemDisabled &operator=(const ItemDisabled &) = delete;

  private:
    QAction *m_item;
};

class WaitCursor
{
  public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

// Draws the printout once per copy the printer does not make itself; every
// copy starts on a page of its own and counts its pages from 1.
bool printCopies(QPrinter &printer, QPainter &painter, SettingsPrintout &printout)
{
    const auto newPage = [&printer] { return printer.newPage(); };
    const int copies = printer.supportsMultipleCopies() ? 1 : std::max(1, printer.copyCount());
    for (int copy = 0; copy < copies; ++copy) {
        if (copy > 0 && !printer.newPage())
            return false;
        if (!printout.draw(painter, newPage))
            return false;
    }
    return printer.printerState() != QPrinter::Error;
}

} // namespace

PrintCommand::PrintCommand(QMainWindow &window, MainWindowState &state, const SettingsRecord &record)
    : m_window(window), m_state(state), m_record(record), m_captions(window),
      m_item(window.menuBar()->findChild<QAction *>(QStringLiteral("isknastaven1")))
{
}

void PrintCommand::setDialogPlayer(std::function<bool(QPrinter &)> player)
{
    dialogPlayer() = std::move(player);
}

QString PrintCommand::defaultPdfName() const
{
    const QFileInfo current(m_state.CurrentFile);
    if (m_state.CurrentFile.size() > 7 && QFileInfo(current.absolutePath()).isDir())
        return current.absolutePath() + QLatin1Char('/') + current.completeBaseName() +
               QStringLiteral(".pdf");
    return m_state.refreshProgramFolder() + QLatin1Char('/') + QLatin1String(SettingsPrintout::JobName) +
           QStringLiteral(".pdf");
}

bool PrintCommand::runDialog(QPrinter &printer)
{
    if (dialogPlayer())
        return dialogPlayer()(printer);
    QPrintDialog dialog(&printer, &m_window);
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
    return dialog.exec() == QDialog::Accepted;
}

void PrintCommand::run()
{
    ItemDisabled disabled(m_item);
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QLatin1String(SettingsPrintout::JobName));
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        MessageBoxes::showMessage(&m_window, LanguageTexts::text(Text::NoPrinter));
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(defaultPdfName());
    }
    if (!runDialog(printer))
        return;

    // Printing to a file: the printout goes to a new file beside it, which
    // replaces it only when the PDF is whole on the disk (a full disk or a
    // device such as /dev/full is a failed job, not a silent one).
    const QString file = printer.outputFileName();
    std::optional<PdfFile> pdf;
    if (!file.isEmpty()) {
        pdf.emplace(file);
        const Result<QString> writePath = pdf->writePath();
        if (!writePath) {
            MessageBoxes::showMessage(&m_window, LanguageTexts::text(Text::PrintFailed).arg(file));
            return;
        }
        printer.setOutputFileName(*writePath);
    }

    bool printed = false;
    {
        WaitCursor wait;
        QPainter painter;
        if (painter.begin(&printer)) {
            SettingsPrintout printout(m_record, m_captions);
            printed = printCopies(printer, painter, printout);
            if (!printed)
                printer.abort();
            printed = painter.end() && printed;
        }
    }
    // A failed job leaves an old file of that name as it was.
    if (printed && pdf)
        printed = pdf->commit().ok();
    if (printed)
        return;
    MessageBoxes::showMessage(
        &m_window, LanguageTexts::text(Text::PrintFailed).arg(file.isEmpty() ? printer.printerName() : file));
}
