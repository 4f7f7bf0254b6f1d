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

enum class LineKind {
    Value,  // label and the parameter's value
    Tone,   // label and the yes/no word of one tone box
    Group,  // a group caption alone, in bold
    Blank,  // an empty line
    Heading // the caption of a tab page
};

struct Line {
    LineKind kind;
    const char *caption; // control whose caption is printed
    const char *key = nullptr;
    bool cut = false; // long labels are cut to the label length
    int toneBit = 0;
};

// The parameter lines in the order of the tab pages, below the first page's
// heading; the telephone numbers follow in their own section.
const Line lines[] = {
    {LineKind::Value, "GroupBox13", "Dial"},
    {LineKind::Value, "GroupBox15", "EndS"},
    {LineKind::Group, "GroupBox16"},
    {LineKind::Value, "Label154", "HgUp"},
    {LineKind::Group, "GroupBox6"},
    {LineKind::Value, "Label9", "SwSt"},
    {LineKind::Value, "Label12", "SwTi"},
    {LineKind::Group, "GroupBox23"},
    {LineKind::Value, "Label158", "Pasw", true},
    {LineKind::Group, "GroupBox5"},
    {LineKind::Value, "Label8", "PotZ", true},
    {LineKind::Blank, nullptr},
    {LineKind::Heading, "TabSheet4"},
    {LineKind::Value, "GroupBox14", "BlPo"},
    {LineKind::Value, "GroupBox12", "InPo"},
    {LineKind::Value, "GroupBox11", "SeVo"},
    {LineKind::Group, "GroupBox8"},
    {LineKind::Value, "Label19", "OpNo", true},
    {LineKind::Group, "GroupBox3"},
    {LineKind::Value, "Label18", "CaPo", true},
    {LineKind::Group, "GroupBox9"},
    {LineKind::Value, "Label20", "OpSe", true},
    {LineKind::Value, "GroupBox10", "PoBt"},
    {LineKind::Blank, nullptr},
    {LineKind::Heading, "TabSheet5"},
    {LineKind::Group, "GroupBox22"},
    {LineKind::Value, "Label149", "MaSp", true},
    {LineKind::Value, "Label150", "NoRi", true},
    {LineKind::Value, "Label151", "TBtn", true},
    {LineKind::Value, "Label152", "THng", true},
    {LineKind::Value, "Label159", "TDia", true},
    {LineKind::Value, "Label160", "TRep", true},
    {LineKind::Group, "GroupBox21"},
    {LineKind::Value, "Label162", "TTon", true},
    {LineKind::Value, "Label163", "TSpc", true},
    {LineKind::Value, "Label164", "TFls", true},
    {LineKind::Value, "Label165", "TPas", true},
    {LineKind::Group, "GroupBox7"},
    {LineKind::Value, "Label13", "TVtn", true},
    {LineKind::Value, "Label14", "TPtn", true},
    {LineKind::Tone, "CheckBox11", "TONE", true, 1},
    {LineKind::Tone, "CheckBox12", "TONE", true, 2},
};

struct NumberRow {
    const char *label;
    const char *number; // parameter key
    const char *confirm;
};

const NumberRow emergencyRows[] = {
    {"Label4", "M001", "Chk1"}, {"Label5", "M002", "Chk2"},  {"Label6", "M003", "Chk3"},
    {"Label7", "M004", "Chk4"}, {"Label11", "M005", "Chk5"}, {"Label10", "M006", "Chk6"},
};

// A report group of the telephone page: its caption, its one number with
// the confirm box, and the box that adds the emergency numbers.
struct ReportGroup {
    const char *group;
    const char *confirmBox;
    NumberRow row;
    const char *alsoBox;
    const char *alsoKey;
};

const ReportGroup reportGroups[] = {
    {"GroupBox2", "CheckBox7", {"Label1", "M007", "Chk7"}, "CheckBox9", "Nou1"},
    {"GroupBox4", "CheckBox8", {"Label3", "M008", "Chk8"}, "CheckBox10", "Nou2"},
};

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
        heading(latin("TabSheet3"));
        advance();
        for (const Line &line : lines)
            print(line);
        telephoneSection();
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

    bool checked(const char *key) const { return m_record.storedText(latin(key)) == QLatin1String("1"); }

    // The value as the window shows it: an option group by the caption of
    // its selected button, an edit field by its text.
    QString value(const char *key) const
    {
        const QString stored = m_record.storedText(latin(key));
        const Parameter *param = ParameterTable::byKey(latin(key));
        if (!param || param->kind != ParamKind::Options)
            return stored;
        for (int i = 0; i < param->optionCount; ++i)
            if (stored == latin(param->options[i].stored))
                return caption(param->options[i].control);
        return QString();
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

    void print(const Line &line)
    {
        switch (line.kind) {
        case LineKind::Value:
            setFont(9);
            text(m_g.labelColumn, label(line.caption, line.cut));
            text(m_g.valueColumn, value(line.key));
            break;
        case LineKind::Tone: {
            const int tone = m_record.storedText(latin(line.key)).toInt();
            setFont(9);
            text(m_g.labelColumn, label(line.caption, line.cut));
            text(m_g.valueColumn, m_captions.yesNo(tone & line.toneBit));
            break;
        }
        case LineKind::Group:
            setFont(9, true);
            text(m_g.labelColumn, caption(line.caption));
            setFont(9);
            break;
        case LineKind::Blank:
            break;
        case LineKind::Heading:
            heading(latin(line.caption));
            break;
        }
        advance();
    }

    void groupLine(const char *group, const char *confirmBox)
    {
        setFont(9, false, false, true);
        text(m_g.labelColumn, caption(group));
        text(m_g.confirmColumn, caption(confirmBox) + question);
        setFont(9);
        advance();
    }

    // A number row; true when it was printed (a number is set).
    bool numberRow(const NumberRow &row, const char *confirmBox)
    {
        const QString number = m_record.storedText(latin(row.number));
        if (number.isEmpty())
            return false;
        text(m_g.labelColumn, caption(row.label));
        text(m_g.numberColumn, number);
        text(m_g.confirmColumn, checked(row.confirm) ? caption(confirmBox) : unchecked);
        advance();
        return true;
    }

    void telephoneSection()
    {
        heading(latin("TabSheet1"));
        setFont(9, false, false, true);
        advance();
        groupLine("GroupBox1", "CheckBox1");
        static const char *const confirmBoxes[] = {"CheckBox1", "CheckBox2", "CheckBox3",
                                                   "CheckBox4", "CheckBox5", "CheckBox6"};
        for (int i = 0; i < 6; ++i)
            numberRow(emergencyRows[i], confirmBoxes[i]);
        for (const ReportGroup &g : reportGroups) {
            groupLine(g.group, g.confirmBox);
            if (!numberRow(g.row, g.confirmBox))
                continue;
            text(m_g.labelColumn, caption(g.alsoBox) + question);
            text(m_g.numberColumn, checked(g.alsoKey) ? caption(g.alsoBox) : unchecked);
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
