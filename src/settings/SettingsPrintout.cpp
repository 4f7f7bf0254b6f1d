#include "settings/SettingsPrintout.h"

#include "settings/ParameterTable.h"
#include "settings/PrintCaptions.h"
#include "settings/PrintGeometry.h"
#include "settings/SettingsRecord.h"

#include <QLocale>
#include <QPagedPaintDevice>
#include <QPainter>

namespace
{

// A telephone number of the telephone page with the boxes that follow it
// there: its confirm box and, for a report number, the box that adds the
// emergency numbers.
struct NumberEntry {
    const Parameter *number;
    const Parameter *confirm = nullptr;
    const Parameter *also = nullptr;
};

bool sameName(const char *a, const char *b)
{
    return a && b && qstrcmp(a, b) == 0;
}

const QString unchecked = QStringLiteral(" - - - ");
const QString question = QStringLiteral(" ?");

struct PageFailed {
};

QString latin(const char *s)
{
    return QLatin1String(s);
}

// One print run: the line position, the page number and the fonts live
// only while it draws.
class PrintRun
{
  public:
    PrintRun(QPainter &painter, const std::function<bool()> &newPage, const SettingsRecord &record,
             const PrintCaptions &captions, const QString &date)
        : m_painter(painter), m_newPage(newPage), m_record(record), m_captions(captions), m_date(date),
          m_base(painter.font()),
          m_g(painter.device()->logicalDpiX(), painter.device()->width(), painter.device()->height())
    {
    }

    void run()
    {
        m_y = m_g.firstHeaderOffset;
        advance(); // places the header line
        header();
        m_y += m_g.gap;
        advance();
        // The parameter pages in the window's order, each under its heading;
        // the page of the telephone numbers has a section of its own.
        const Parameter *previous = nullptr;
        QList<NumberEntry> numbers;
        for (const Parameter *param : ParameterTable::shown()) {
            if (param->filter == KeyFilter::DialString) {
                numbers.append({param});
                continue;
            }
            if (!numbers.isEmpty() && sameName(param->shown.page, numbers.last().number->shown.page)) {
                NumberEntry &entry = numbers.last();
                (entry.confirm ? entry.also : entry.confirm) = param;
                continue;
            }
            if (!previous || !sameName(param->shown.page, previous->shown.page)) {
                if (previous)
                    advance(); // a blank line
                heading(latin(param->shown.page));
                advance();
            }
            if (param->shown.group &&
                !sameName(param->shown.group, previous ? previous->shown.group : nullptr))
                groupCaption(param->shown.group);
            print(*param);
            previous = param;
        }
        telephoneSection(numbers);
        m_y = SettingsPrintout::EndMark;
        advance(); // the last page's frame
    }

  private:
    void setFont(int points, bool bold = false, bool italic = false, bool underline = false)
    {
        QFont font = m_base;
        font.setPointSize(points);
        font.setBold(bold);
        font.setItalic(italic);
        font.setUnderline(underline);
        m_painter.setFont(font);
    }

    // Draws with the top left of the text at (x, y).
    void text(int x, const QString &s)
    {
        m_painter.setPen(Qt::black);
        m_painter.drawText(QPoint(x, m_y + m_painter.fontMetrics().ascent()), s);
    }

    int width(const QString &s) const { return m_painter.fontMetrics().horizontalAdvance(s); }

    QString caption(const char *control) const { return m_captions.caption(latin(control)); }

    // A caption as one printed line: a caption that wraps in the window
    // prints its line break as a blank; long ones are cut without a mark.
    QString label(const char *control, bool cut) const
    {
        QString s = caption(control);
        s.replace(QLatin1String("\r\n"), QLatin1String(" "));
        s.replace(QLatin1Char('\n'), QLatin1Char(' '));
        s.replace(QLatin1Char('\r'), QLatin1Char(' '));
        return cut ? s.left(m_g.labelLength) : s;
    }

    // A text that another follows on its line at column next, cut without a
    // mark where it would come closer to it than one blank: the number of
    // characters alone cannot keep them apart, whatever face the printer's
    // default is.
    QString before(int column, const QString &s, int next) const
    {
        const int room = next - column - width(QStringLiteral(" "));
        QString fitted = s;
        while (!fitted.isEmpty() && width(fitted) > room) {
            fitted.chop(1);
            if (!fitted.isEmpty() && fitted.back().isHighSurrogate())
                fitted.chop(1);
        }
        return fitted;
    }

    bool checked(const Parameter *box) const
    {
        return box && m_record.storedText(latin(box->key)) == QLatin1String("1");
    }

    // The value as the window shows it: an option group by the caption of
    // its selected button, an edit field by its text.
    QString value(const Parameter &param) const
    {
        const QString stored = m_record.storedText(latin(param.key));
        if (param.kind != ParamKind::Options)
            return stored;
        const Choice *choice = param.choice(stored);
        return choice ? caption(choice->control) : QString();
    }

    void advance()
    {
        m_y += m_g.lineStep;
        if (m_y < m_g.pageLimit)
            return;
        frame();
        if (m_y == SettingsPrintout::EndMark + m_g.lineStep)
            return;
        if (!m_newPage())
            throw PageFailed();
        m_y = m_g.headerLine;
        ++m_page;
        header();
        setFont(9);
        m_y += m_g.lineStep + m_g.gap;
    }

    void frame()
    {
        m_painter.save();
        m_painter.setPen(QPen(Qt::blue, 1));
        m_painter.setBrush(Qt::NoBrush);
        const QRect &f = m_g.frame;
        m_painter.drawRect(QRectF(f.left(), f.top(), f.right() - f.left(), f.bottom() - f.top()));
        m_painter.restore();
    }

    void header()
    {
        setFont(9);
        text(m_g.headingColumn, m_date);
        setFont(12, true);
        const QString title = SettingsPrintout::withoutHotkey(caption("isknastaven1"));
        text(int(m_g.valueColumn - width(title) / 2.0), title);
        setFont(10, true);
        const QString number = QStringLiteral("   Pg.- %1 -").arg(m_page);
        text(int(m_g.W - 15 * m_g.S) - width(number), number);
    }

    void heading(const QString &tabPage)
    {
        setFont(10, true, true, true);
        text(m_g.headingColumn, m_captions.caption(tabPage));
        setFont(9);
    }

    // A group caption alone on its line, in bold.
    void groupCaption(const char *group)
    {
        setFont(9, true);
        text(m_g.labelColumn, caption(group));
        setFont(9);
        advance();
    }

    // A parameter's line, or the tone boxes' two lines: the label and the
    // value as the window shows it, a box by the yes or no word.
    void print(const Parameter &param)
    {
        setFont(9);
        if (param.kind != ParamKind::Tone) {
            text(m_g.labelColumn,
                 before(m_g.labelColumn, label(param.shown.label, param.shown.cut), m_g.valueColumn));
            text(m_g.valueColumn, value(param));
            advance();
            return;
        }
        const int tone = m_record.storedText(latin(param.key)).toInt();
        const std::pair<const char *, int> boxes[] = {{param.control, 1}, {param.control2, 2}};
        for (const auto &[box, bit] : boxes) {
            text(m_g.labelColumn, before(m_g.labelColumn, label(box, param.shown.cut), m_g.valueColumn));
            text(m_g.valueColumn, m_captions.yesNo(tone & bit));
            advance();
        }
    }

    void groupLine(const char *group, const char *confirmBox)
    {
        setFont(9, false, false, true);
        text(m_g.labelColumn, before(m_g.labelColumn, caption(group), m_g.confirmColumn));
        text(m_g.confirmColumn, caption(confirmBox) + question);
        setFont(9);
        advance();
    }

    // A number row; true when it was printed (a number is set).
    bool numberRow(const NumberEntry &entry)
    {
        const QString number = m_record.storedText(latin(entry.number->key));
        if (number.isEmpty())
            return false;
        const char *confirmBox = entry.confirm ? entry.confirm->control : nullptr;
        text(m_g.labelColumn, before(m_g.labelColumn, caption(entry.number->shown.label), m_g.numberColumn));
        text(m_g.numberColumn, before(m_g.numberColumn, number, m_g.confirmColumn));
        text(m_g.confirmColumn, checked(entry.confirm) ? caption(confirmBox) : unchecked);
        advance();
        return true;
    }

    // The numbers under their group captions, each group line naming the
    // confirm box of its first number; empty numbers leave no line, and
    // neither does the box of a report number that is empty.
    void telephoneSection(const QList<NumberEntry> &numbers)
    {
        if (numbers.isEmpty())
            return;
        heading(latin(numbers.first().number->shown.page));
        setFont(9, false, false, true);
        advance();
        const char *group = nullptr;
        for (const NumberEntry &entry : numbers) {
            if (!sameName(entry.number->shown.group, group)) {
                group = entry.number->shown.group;
                groupLine(group, entry.confirm ? entry.confirm->control : nullptr);
            }
            if (!numberRow(entry) || !entry.also)
                continue;
            const char *alsoBox = entry.also->control;
            text(m_g.labelColumn, before(m_g.labelColumn, caption(alsoBox) + question, m_g.numberColumn));
            text(m_g.numberColumn, checked(entry.also) ? caption(alsoBox) : unchecked);
            advance();
        }
    }

    QPainter &m_painter;
    const std::function<bool()> &m_newPage;
    const SettingsRecord &m_record;
    const PrintCaptions &m_captions;
    const QString m_date;
    const QFont m_base;
    const PrintGeometry m_g;
    int m_y = 0;
    int m_page = 1;
};

} // namespace

SettingsPrintout::SettingsPrintout(const SettingsRecord &record, const PrintCaptions &captions)
    : m_record(record), m_captions(captions)
{
}

bool SettingsPrintout::draw(QPainter &painter, const std::function<bool()> &newPage)
{
    const QDate date = m_date.isValid() ? m_date : QDate::currentDate();
    painter.save();
    try {
        PrintRun(painter, newPage, m_record, m_captions, dateText(date)).run();
    } catch (const PageFailed &) {
        painter.restore();
        return false;
    }
    painter.restore();
    return true;
}

bool SettingsPrintout::print(QPagedPaintDevice &device)
{
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const bool drawn = draw(painter, [&device] { return device.newPage(); });
    const bool ended = painter.end();
    return drawn && ended;
}

QString SettingsPrintout::dateText(const QDate &date)
{
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

QString SettingsPrintout::withoutHotkey(const QString &caption)
{
    QString plain;
    plain.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&') && i + 1 < caption.size())
            ++i; // the marker goes; a doubled one stands for itself
        else if (caption[i] == QLatin1Char('&'))
            continue;
        plain += caption[i];
    }
    return plain;
}
