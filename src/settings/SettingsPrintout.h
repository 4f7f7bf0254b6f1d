#pragma once

#include <QDate>
#include <QString>

#include <functional>

class PrintCaptions;
class QPagedPaintDevice;
class QPainter;
class SettingsRecord;

// The settings printout: every parameter of the record on one line, its
// label and its value, under the captions of the four tab pages and of the
// group boxes, then the telephone numbers. Texts come only from the record
// (values) and the captions (labels, headings, the title, the yes/no words),
// so the printout follows the language in use and needs no window.
//
// Layout (PrintGeometry): a header line on every page with the date at the
// heading column (9 pt), the title centred on the value column (12 pt bold;
// the caption of the print menu item without its hotkey marker) and
// "   Pg.- n -" ending 15 mm before the right edge (10 pt bold); a blue frame
// one pixel wide on every page; lines 5 mm apart, a new page when a line
// would start at or below the page limit. A label (or a number) that another
// text follows on its line is cut, without a mark, to end at least one blank's
// width before it, measured in the printer's font. Fonts keep the device's default
// family and set only size and style. Text positions are the top left of
// the text (the baseline lies one font ascent lower).
//
// Use from a program without a window (QT_QPA_PLATFORM=offscreen is enough):
//
//     MemoryRecord record;                       // filled from a .kvr file
//     LanguageCaptions captions;                 // the language texts in force
//     QPdfWriter pdf(path);
//     pdf.setResolution(600);
//     pdf.setPageSize(QPageSize(QPageSize::A4));
//     pdf.setTitle(QLatin1String(SettingsPrintout::JobName));
//     SettingsPrintout printout(record, captions);
//     if (!printout.print(pdf)) ...              // the device failed
class SettingsPrintout
{
  public:
    // The name of the print job.
    static constexpr const char *JobName = "Kset print";
    // The y position that ends the document: the line advance from there
    // draws the last page's frame without starting another page.
    static constexpr int EndMark = 1000000;

    SettingsPrintout(const SettingsRecord &record, const PrintCaptions &captions);

    // The date of the header; today when not set.
    void setDate(const QDate &date) { m_date = date; }

    // Draws the whole printout with a painter already active on its device
    // (page size and resolution are the device's). newPage starts the next
    // page and returns false when the device cannot: drawing stops there and
    // draw returns false. The painter stays active either way.
    bool draw(QPainter &painter, const std::function<bool()> &newPage);

    // Begins a painter on the device, draws and ends it. False when the
    // painter cannot begin, a new page fails or the device reports an error
    // when the document ends.
    bool print(QPagedPaintDevice &device);

    // The date as the header shows it: the system's short date format.
    static QString dateText(const QDate &date);
    // A menu caption without its hotkey markers ("&&" stays one "&").
    static QString withoutHotkey(const QString &caption);

  private:
    const SettingsRecord &m_record;
    const PrintCaptions &m_captions;
    QDate m_date;
};
