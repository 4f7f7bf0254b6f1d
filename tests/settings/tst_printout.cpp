#include "settings/print_recorder.h"

#include "lang/LanguageTexts.h"
#include "settings/LanguageCaptions.h"
#include "settings/MemoryRecord.h"
#include "settings/PdfFile.h"
#include "settings/SettingsPrintout.h"

#include <QFileInfo>
#include <QPdfWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// The settings printout drawn onto a recording device. Every expected
// position below was worked out by hand from the layout rules (millimetre
// unit S = dpi * 10 / 254, each position cut to a whole pixel), never taken
// from the code under test.

namespace
{

// Hand-computed layout of one device.
struct Layout {
    int dpi, width, height;
    int heading, label, value, number, confirm;
    int step, limit;
    int frameLeft, frameRight, frameBottom; // 10 S, (W/S - 10) S, (H/S - 10) S; top as left
    int pageRight;                          // W - 15 S: where the page number ends
    int headerTop, firstLine;
};

// A4 at 600 dpi, the whole sheet printable: S = 23.622; 14 S = 330,
// 20 S = 472, ((W/S - 20)/2 + 18) S = 2668, t = 1732.17 so t + 5 S = 1850
// and 2 * 1732 = 3464; 5 S = 118, 3 S = 70, 10 S = 236, 15 S = 354;
// page limit 7016 - 354.33 - 118 = 6543; frame to 4723, 6779;
// W - 15 S = 4605; label length ((W/S - 30)/2)/75*46 = 55.
const Layout a4{600, 4960, 7016, 330,  472,  2668, 1850, 3464,
                118, 6543, 236,  4723, 6779, 4605, 354,  354 + 70 + 118};
// A short narrow page at 300 dpi (100 by 103 mm): S = 11.811; 14 S = 165,
// 20 S = 236, value 684, t = 433.0 so numbers at 492 and confirm at 866;
// 5 S = 59, 3 S = 35, 10 S = 118, 15 S = 177; page limit
// 1216 - 177.17 - 59 = 979, just where the 13th line below the header
// (271 + 12 * 59) would start; frame to 1062, 1097; W - 15 S = 1003; label
// length 21.
const Layout shortPage{300, 1181, 1216, 165,  236,  684,  492, 866,
                       59,  979,  118,  1062, 1097, 1003, 177, 177 + 59 + 35};

const QDate printDate(2026, 12, 8);

// A record with the given "key=value" settings, the rest at their defaults.
MemoryRecord recordOf(const QStringList &settings)
{
    MemoryRecord record;
    for (const QString &s : settings)
        record.setStoredText(s.section(QLatin1Char('='), 0, 0), s.section(QLatin1Char('='), 1));
    return record;
}

// Every parameter away from its default, every number set.
MemoryRecord filledRecord()
{
    return recordOf({"Dial=0",         "EndS=#",         "HgUp=12",        "SwSt=34",        "SwTi=7",
                     "Pasw=2468",      "PotZ=135790",    "BlPo=1",         "InPo=1",         "SeVo=2",
                     "OpNo=3",         "CaPo=4",         "OpSe=6",         "MaSp=4.5",       "NoRi=2",
                     "TBtn=3",         "THng=4",         "TDia=2",         "TRep=9",         "TTon=110",
                     "TSpc=120",       "TFls=300",       "TPas=900",       "TVtn=8",         "TPtn=30",
                     "M001=601111111", "M002=602222222", "M003=603333333", "M004=604444444", "M005=605555555",
                     "M006=*606P66#",  "M007=607777777", "M008=608888888", "Chk1=1",         "Chk2=0",
                     "Chk3=1",         "Chk4=0",         "Chk5=1",         "Chk6=0",         "Chk7=1",
                     "Chk8=0",         "Nou1=0",         "Nou2=1",         "TONE=1",         "PoBt=0"});
}

// The printed lines with a short mark of each text's font and column:
// H heading (10 pt bold italic underlined), G group caption (9 pt bold),
// U telephone group line (9 pt underlined), P plain (9 pt); columns h, l, v,
// n, c. Blank lines print nothing and so do not appear.
const QStringList fullRecordLines = {
    "H h:Základní parametry",
    "P l: Druh volby |v:Impulsní",
    "P l: Znak prodloužení hovoru |v:#  - křížek",
    "G l: Zavěšení z telefonu ",
    "P l:Kód pro zavěšení:|v:12",
    "G l: Spínač ",
    "P l:Kód sepnutí z telefonu:|v:34",
    "P l:Doba sepnutí spínače [sec]:|v:7",
    "G l: Servisní heslo ",
    "P l:Servisní heslo pro přístup do programování vrátného z t|v:2468",
    "G l: Potvrzovací znak ",
    "P l:Tuto kombinaci je nutno navolit na telefonu pro potvrze|v:135790",
    "H h:Další nastavení",
    "P l: Vstup pro blokování volby - BLK |v:Blokováno odpojením napětí",
    "P l: Vstup hlášení poruchy - IN1 |v:Porucha se vyvolá odpojením napětí",
    "P l: Servisní volání |v:Zapnuto - volá po připojení a po uplynutí času",
    "G l: Opakování nouzových volání  ",
    "P l:Počet opakování cyklů nouzových volání:|v:3",
    "G l: Vyvolání poruchy ",
    "P l:Čas trvání poruchy, než se vyvolá volání [sec]:|v:4",
    "G l: Opakování servisních volání ",
    "P l:Čas opakování servisních volání po [min]:|v:6",
    "P l:Polarita tlačítka pro nouzové volání|v:Opačná polarita - aktivuje se rozpojením",
    "H h:Časové parametry",
    "G l: Provoz ",
    "P l:Maximální doba hovoru [min] :|v:4.5",
    "P l:Počet zazvonění než KAVR vyzvedne :|v:2",
    "P l:Čas mezi stisky tlačítek [sec] :|v:3",
    "P l:Čas zavěšení před opakováním volby [sec] :|v:4",
    "P l:Čas pro zahájení vytáčení volby [sec] :|v:2",
    "P l:Čas mezi servisním voláním [dny] :|v:9",
    "G l: Volba ",
    "P l:Délka tónu DTMF volby [ms] :|v:110",
    "P l:Délka mezery DTMF volby [ms] :|v:120",
    "P l:Délka Flash volby [ms] :|v:300",
    "P l:Délka Pausy / Mezičíslicové mezery volby [ms] :|v:900",
    "G l: Rozpoznání vyzvednutí ",
    "P l:Čas bez vyzváněceho tónu - detekce vyzvednutí [sec]:|v:8",
    "P l:Čas čekání na potvrzení po vyzvednutí  [sec]:|v:30",
    "P l:Signalizace - vyzvednutí a zavěšení linky|v:Ano",
    "P l:Signalizace - ostatní tóny|v:Ne",
    "H h:Telefonní čísla",
    "U l: Nouzové volání |c:Potvrzovat ?",
    "P l:Pořadí 1|n:601111111|c:Potvrzovat",
    "P l:Pořadí 2|n:602222222|c: - - - ",
    "P l:Pořadí 3|n:603333333|c:Potvrzovat",
    "P l:Pořadí 4|n:604444444|c: - - - ",
    "P l:Pořadí 5|n:605555555|c:Potvrzovat",
    "P l:Pořadí 6|n:*606P66#|c: - - - ",
    "U l: Servisní volání |c:Potvrzovat ?",
    "P l:Hlášení podle času|n:607777777|c:Potvrzovat",
    "P l:Použít i nouzová čísla ?|n: - - - ",
    "U l: Chybové volání |c:Potvrzovat ?",
    "P l:Hlášení od vstupu IN1|n:608888888|c: - - - ",
    "P l:Použít i nouzová čísla ?|n:Použít i nouzová čísla",
};

// Lines of the parameter table: the two blank lines (12 and 24 below the
// first heading) take a place on the page but print nothing.
constexpr int blankSlots[] = {12, 24};

struct PrintedLine {
    int page;
    int top;
    QString text;
};

class Reader
{
  public:
    Reader(RecordingDevice &device, const Layout &layout) : m_device(device), m_layout(layout) {}

    int top(const RecordedText &t) const
    {
        return int(t.baseline.y()) - QFontMetrics(t.font, &m_device).ascent();
    }

    // The marks above, and for the header T title (12 pt bold), N page
    // number (10 pt bold).
    static QString style(const QFont &f)
    {
        const std::tuple<int, bool, bool, bool, const char *> styles[] = {
            {10, true, true, true, "H"},   {9, true, false, false, "G"},  {9, false, false, true, "U"},
            {9, false, false, false, "P"}, {12, true, false, false, "T"}, {10, true, false, false, "N"}};
        for (const auto &[points, bold, italic, underline, mark] : styles)
            if (f.pointSize() == points && f.bold() == bold && f.italic() == italic &&
                f.underline() == underline)
                return QLatin1String(mark);
        return QStringLiteral("?%1").arg(f.pointSize());
    }

    QString column(qreal x) const
    {
        const int columns[] = {m_layout.heading, m_layout.label, m_layout.value, m_layout.number,
                               m_layout.confirm};
        for (int i = 0; i < 5; ++i)
            if (x == columns[i])
                return QString(QLatin1Char("hlvnc"[i]));
        return QString::number(x);
    }

    // The page's texts: the first three are its header (date, title, page
    // number), the rest its body.
    QList<RecordedText> page(int page) const
    {
        QList<RecordedText> out;
        for (const RecordedText &t : m_device.record().texts)
            if (t.page == page)
                out << t;
        return out;
    }

    // Body texts joined into lines: texts of one page at one height.
    QList<PrintedLine> lines() const
    {
        QList<PrintedLine> out;
        for (int p = 1; p <= m_device.pages(); ++p) {
            for (const RecordedText &t : page(p).mid(3)) {
                const QString part = column(t.baseline.x()) + QLatin1Char(':') + t.text;
                if (!out.isEmpty() && out.last().page == p && out.last().top == top(t))
                    out.last().text += QLatin1Char('|') + part;
                else
                    out.append({p, top(t), style(t.font) + QLatin1Char(' ') + part});
            }
        }
        return out;
    }

    QStringList lineTexts() const
    {
        QStringList out;
        for (const PrintedLine &l : lines())
            out << l.text;
        return out;
    }

  private:
    RecordingDevice &m_device;
    const Layout &m_layout;
};

bool printOn(RecordingDevice &device, const SettingsRecord &record)
{
    LanguageCaptions captions;
    SettingsPrintout printout(record, captions);
    printout.setDate(printDate);
    QPainter painter(&device);
    return printout.draw(painter, [&device] { return device.newPage(); });
}

} // namespace

Q_DECLARE_METATYPE(Layout)

class PrintoutTest : public QObject
{
    Q_OBJECT
  private slots:
    void init() { LanguageTexts::resetToDefaults(); }
    void cleanupTestCase() { LanguageTexts::resetToDefaults(); }
    void fullRecord_data();
    void fullRecord();
    void telephoneSection_data();
    void telephoneSection();
    void labelsEndBeforeTheirValues_data();
    void labelsEndBeforeTheirValues();
    void followsLanguageTexts();
    void failedPageStopsDrawing();
    void pdfWriterOutput();
    void pdfFileWholeOrNothing();
};

void PrintoutTest::fullRecord_data()
{
    QTest::addColumn<Layout>("layout");
    QTest::addColumn<int>("pages");
    QTest::addColumn<QStringList>("expected"); // printed in this order, maybe with others between
    // 57 places: the first heading, 42 table lines, the telephone heading,
    // 14 telephone lines. A4 holds 51 places a page ((6543 - 542) / 118
    // rounded up), the short page 12 ((979 - 271) / 59).
    QTest::newRow("A4 600 dpi") << a4 << 2 << fullRecordLines;
    // Long labels cut to 21 characters, any label to the room the value
    // column leaves (a blank before the value): here that cuts short labels
    // and the group captions used as labels too.
    QTest::newRow("short page 300 dpi")
        << shortPage << 5
        << QStringList{"P l:Kód pro zavěšení:|v:12",
                       "P l:Kód sepnutí z telefonu|v:34",
                       "P l:Doba sepnutí spínače |v:7",
                       "P l:Servisní heslo pro př|v:2468",
                       "P l: Vstup pro blokování v|v:Blokováno odpojením napětí",
                       "P l:Počet opakování cyklů|v:3",
                       "P l:Signalizace - ostatní|v:Ne",
                       "P l:Hlášení podl|n:607777777|c:Potvrzovat"};
}

void PrintoutTest::fullRecord()
{
    QFETCH(Layout, layout);
    QFETCH(int, pages);
    QFETCH(QStringList, expected);
    RecordingDevice device(layout.dpi, layout.width, layout.height);
    QVERIFY(printOn(device, filledRecord()));
    QCOMPARE(device.pages(), pages);
    const Reader reader(device, layout);

    const QStringList printed = reader.lineTexts();
    QCOMPARE(printed.size(), fullRecordLines.size());
    qsizetype at = 0;
    for (const QString &line : expected) {
        at = printed.indexOf(line, at);
        QVERIFY2(at++ >= 0, qPrintable(line));
    }
    // Underlines are the only other shapes: one under each of the 10
    // underlined texts (4 headings, 3 telephone group lines of two texts).
    QCOMPARE(device.record().otherShapes, 10);

    // One blue frame of one pixel on every page, the last included.
    const QList<RecordedRect> &rects = device.record().rects;
    QCOMPARE(rects.size(), pages);
    for (int i = 0; i < pages; ++i) {
        QCOMPARE(rects[i].page, i + 1);
        QCOMPARE(rects[i].rect, QRectF(QPointF(layout.frameLeft, layout.frameLeft),
                                       QPointF(layout.frameRight, layout.frameBottom)));
        QCOMPARE(rects[i].pen.color(), QColor(Qt::blue));
        QCOMPARE(rects[i].pen.widthF(), 1.0);
    }

    // The header of every page: the date, the title centred on the value
    // column, the page number ending at pageRight.
    for (int page = 1; page <= pages; ++page) {
        const QList<RecordedText> header = reader.page(page).mid(0, 3);
        QCOMPARE(header.size(), 3);
        const auto width = [&](int i) {
            return QFontMetrics(header[i].font, &device).horizontalAdvance(header[i].text);
        };
        const QString texts[] = {QLocale::system().toString(printDate, QLocale::ShortFormat),
                                 QStringLiteral("Tisk nastavení"), QStringLiteral("   Pg.- %1 -").arg(page)};
        const char *const styles[] = {"P", "T", "N"};
        const qreal xs[] = {qreal(layout.heading), qreal(int(layout.value - width(1) / 2.0)),
                            qreal(layout.pageRight - width(2))};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(header[i].text, texts[i]);
            QCOMPARE(Reader::style(header[i].font), QString::fromLatin1(styles[i]));
            QCOMPARE(header[i].baseline.x(), xs[i]);
            QCOMPARE(reader.top(header[i]), layout.headerTop);
        }
    }

    // Every place below the header is one line step further down; a line
    // that would start at or below the page limit starts the next page at
    // the first line below its header.
    int perPage = 0;
    while (layout.firstLine + perPage * layout.step < layout.limit)
        ++perPage;
    int place = 0;
    for (const PrintedLine &line : reader.lines()) {
        while (std::find(std::begin(blankSlots), std::end(blankSlots), place) != std::end(blankSlots))
            ++place;
        QCOMPARE(line.page, place / perPage + 1);
        QCOMPARE(line.top, layout.firstLine + place % perPage * layout.step);
        ++place;
    }
}

void PrintoutTest::telephoneSection_data()
{
    QTest::addColumn<QStringList>("settings"); // key=value
    QTest::addColumn<QStringList>("expected"); // lines after the telephone heading

    const QString group1 = QStringLiteral("U l: Nouzové volání |c:Potvrzovat ?");
    const QString group2 = QStringLiteral("U l: Servisní volání |c:Potvrzovat ?");
    const QString group3 = QStringLiteral("U l: Chybové volání |c:Potvrzovat ?");
    QTest::newRow("all numbers empty") << QStringList{} << QStringList{group1, group2, group3};
    QTest::newRow("M007 only, confirmed, emergency numbers too")
        << QStringList{"M007=555123", "Chk7=1", "Nou1=1", "Chk8=1", "Nou2=1"}
        << QStringList{group1, group2, "P l:Hlášení podle času|n:555123|c:Potvrzovat",
                       "P l:Použít i nouzová čísla ?|n:Použít i nouzová čísla", group3};
    QTest::newRow("M007 only, unconfirmed")
        << QStringList{"M007=555123", "Chk7=0", "Nou1=0"}
        << QStringList{group1, group2, "P l:Hlášení podle času|n:555123|c: - - - ",
                       "P l:Použít i nouzová čísla ?|n: - - - ", group3};
    QTest::newRow("gaps between emergency numbers")
        << QStringList{"M002=222", "Chk2=1", "M005=555", "Chk5=0", "M008=888", "Chk8=1"}
        << QStringList{group1,
                       "P l:Pořadí 2|n:222|c:Potvrzovat",
                       "P l:Pořadí 5|n:555|c: - - - ",
                       group2,
                       group3,
                       "P l:Hlášení od vstupu IN1|n:888|c:Potvrzovat",
                       "P l:Použít i nouzová čísla ?|n: - - - "};
}

void PrintoutTest::telephoneSection()
{
    QFETCH(QStringList, settings);
    QFETCH(QStringList, expected);
    RecordingDevice device(a4.dpi, a4.width, a4.height);
    QVERIFY(printOn(device, recordOf(settings)));
    const QStringList lines = Reader(device, a4).lineTexts();
    const qsizetype heading = lines.indexOf(QStringLiteral("H h:Telefonní čísla"));
    QVERIFY(heading > 0);
    QCOMPARE(lines.mid(heading + 1), expected);
}

// In every shipped language and at a printer's usual resolutions, each text
// ends at least a blank's width before the next one on its line, in the
// printer font's own metrics; a label is cut just where it must be, never
// below the room it has.
void PrintoutTest::labelsEndBeforeTheirValues_data()
{
    QTest::addColumn<QString>("languageFile");
    QTest::addColumn<int>("dpi");
    for (const char *name : {"Cesky.lng", "English.lng", "Deutsch.lng"})
        for (const int dpi : {300, 600})
            QTest::addRow("%s %d dpi", name, dpi)
                << QStringLiteral(TESSARO_FIXTURES "/../../assets/program/") + QLatin1String(name) << dpi;
}

void PrintoutTest::labelsEndBeforeTheirValues()
{
    QFETCH(QString, languageFile);
    QFETCH(int, dpi);
    QVERIFY(QFileInfo(languageFile).isFile());
    QVERIFY(LanguageTexts::loadFile(languageFile));
    // A4, the whole sheet printable.
    RecordingDevice device(dpi, qRound(210 / 25.4 * dpi), qRound(297 / 25.4 * dpi));
    QVERIFY(printOn(device, filledRecord()));

    // The body's lines: texts of one page at one height, left to right.
    QMap<std::pair<int, int>, QList<RecordedText>> lines;
    QMap<int, int> onPage;
    for (const RecordedText &t : device.record().texts)
        if (onPage[t.page]++ >= 3) // after the header
            lines[{t.page, int(t.baseline.y()) - QFontMetrics(t.font, &device).ascent()}] << t;
    QVERIFY(lines.size() > 50);
    const auto end = [&device](const RecordedText &t, const QString &text) {
        const QFontMetrics metrics(t.font, &device);
        return int(t.baseline.x()) + metrics.horizontalAdvance(text) +
               metrics.horizontalAdvance(QLatin1Char(' '));
    };
    QStringList crowded;
    for (QList<RecordedText> &line : lines) {
        std::sort(line.begin(), line.end(), [](const RecordedText &a, const RecordedText &b) {
            return a.baseline.x() < b.baseline.x();
        });
        for (qsizetype i = 0; i + 1 < line.size(); ++i)
            if (end(line[i], line[i].text) > line[i + 1].baseline.x())
                crowded << line[i].text + QLatin1Char('|') + line[i + 1].text;
    }
    QVERIFY2(crowded.isEmpty(), qPrintable(crowded.join(QLatin1String(" / "))));

    // The service password's label, the longest of all: its first 55
    // characters, or as many as fit.
    QString full = LanguageCaptions().caption(QStringLiteral("Label158"));
    full = full.replace(QLatin1Char('\n'), QLatin1Char(' ')).left(55);
    const RecordedText *label = nullptr;
    const RecordedText *value = nullptr;
    for (const QList<RecordedText> &line : lines)
        if (line.size() == 2 && line[1].text == QLatin1String("2468"))
            label = &line[0], value = &line[1];
    QVERIFY(label && value);
    QVERIFY2(full.startsWith(label->text), qPrintable(label->text));
    if (label->text != full)
        QVERIFY2(end(*label, full.left(label->text.size() + 1)) > value->baseline.x(),
                 qPrintable(label->text));
}

void PrintoutTest::followsLanguageTexts()
{
    LanguageTexts::setText(QStringLiteral("Menu"), 14, QStringLiteral("&Print && file"));
    LanguageTexts::setText(QStringLiteral("TAB1"), 11, QStringLiteral("Dialling"));
    LanguageTexts::setText(QStringLiteral("TAB3"), 42, QStringLiteral("Yes"));
    LanguageTexts::setText(QStringLiteral("TAB3"), 43, QStringLiteral("No"));
    LanguageTexts::setText(QStringLiteral("TAB4"), 12, QStringLiteral("Row"));
    RecordingDevice device(a4.dpi, a4.width, a4.height);
    QVERIFY(printOn(device, recordOf({"TONE=2", "M003=333"})));
    const Reader reader(device, a4);
    QCOMPARE(reader.page(1).value(1).text, QStringLiteral("Print & file"));
    const QStringList lines = reader.lineTexts();
    for (const char *expected :
         {"P l: Dialling |v:Tónová (DTMF)", "P l:Signalizace - vyzvednutí a zavěšení linky|v:No",
          "P l:Signalizace - ostatní tóny|v:Yes", "P l:Row 3|n:333|c: - - - "})
        QVERIFY2(lines.contains(QString::fromUtf8(expected)), expected);
}

void PrintoutTest::failedPageStopsDrawing()
{
    RecordingDevice device(shortPage.dpi, shortPage.width, shortPage.height);
    device.failAtPage = 2;
    QVERIFY(!printOn(device, filledRecord()));
    QCOMPARE(device.pages(), 1);
    // The full first page and its frame, nothing after the failed break.
    QCOMPARE(device.record().rects.size(), 1);
    const QStringList lines = Reader(device, shortPage).lineTexts();
    QCOMPARE(lines.size(), 12);
    QCOMPARE(lines.last(), QStringLiteral("P l:Tuto kombinaci je nut|v:135790"));
}

void PrintoutTest::pdfWriterOutput()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.pdf"));
    {
        QPdfWriter pdf(path);
        pdf.setResolution(600);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        const MemoryRecord record = filledRecord();
        LanguageCaptions captions;
        SettingsPrintout printout(record, captions);
        QVERIFY(printout.print(pdf));
    }
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {path});
    QVERIFY(info.waitForFinished());
    QVERIFY(QString::fromUtf8(info.readAllStandardOutput())
                .contains(QRegularExpression(QStringLiteral("Pages:\\s+2\n"))));
}

// The printout through PdfFile, as a program without a window writes it: a
// PDF that is whole replaces the old file; one that lost its end or a piece
// on the way (what a full disk leaves) is not taken for a PDF.
void PrintoutTest::pdfFileWholeOrNothing()
{
    QTemporaryDir dir;
    QFile old(dir.filePath(QStringLiteral("settings.pdf")));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.close();
    PdfFile out(old.fileName());
    const Result<QString> writePath = out.writePath();
    QVERIFY(writePath);
    {
        QPdfWriter pdf(*writePath);
        const MemoryRecord record = filledRecord();
        LanguageCaptions captions;
        SettingsPrintout printout(record, captions);
        QVERIFY(printout.print(pdf));
    }
    const Result<void> committed = out.commit();
    QVERIFY2(committed, qPrintable(committed ? QString() : committed.failure().text()));
    QVERIFY(old.open(QIODevice::ReadOnly));
    const QByteArray whole = old.readAll();
    QVERIFY(PdfFile::isComplete(whole));
    QVERIFY(!PdfFile::isComplete(whole.left(whole.size() - 8)));
    QVERIFY(!PdfFile::isComplete(whole.left(200) + whole.mid(4296)));
    QVERIFY(!PdfFile::isComplete(QByteArray()));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"settings.pdf"});
}

QTEST_MAIN(PrintoutTest)
#include "tst_printout.moc"
