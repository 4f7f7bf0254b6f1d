#include "settings/SettingsTable.h"

#include "platform/TextEncoding.h"

#include <QHash>
#include <QStringList>

namespace SettingsTable
{

namespace
{

struct Line {
    int number = 0;
    QStringList cells;
};

Failure format(const QString &reason)
{
    return Failure{Failure::Kind::Format, QString(), reason};
}

// The separator the first line uses outside quotes; "," when it holds neither.
QChar separatorOf(const QString &text)
{
    bool quoted = false;
    int commas = 0, semicolons = 0;
    for (const QChar c : text) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && c == QLatin1Char(','))
            ++commas;
        else if (!quoted && c == QLatin1Char(';'))
            ++semicolons;
        else if (!quoted && c == QLatin1Char('\n'))
            break;
    }
    return semicolons > commas ? QLatin1Char(';') : QLatin1Char(',');
}

// Splits the text into lines of cells; a quoted cell may run over lines.
Result<QList<Line>> split(const QString &text, QChar sep)
{
    QList<Line> lines;
    Line current{1, {}};
    QString cell;
    bool quoted = false;
    bool wasQuoted = false;
    int lineNo = 1;
    const auto endCell = [&] {
        current.cells << (wasQuoted ? cell : cell.trimmed());
        cell.clear();
        wasQuoted = false;
    };
    const auto endLine = [&] {
        endCell();
        const bool blank = current.cells.size() == 1 && current.cells.front().isEmpty();
        if (!blank)
            lines << current;
        current = Line{lineNo, {}};
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                cell += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                if (c == QLatin1Char('\n'))
                    ++lineNo;
                cell += c;
            }
        } else if (c == QLatin1Char('"') && cell.trimmed().isEmpty()) {
            quoted = wasQuoted = true;
            cell.clear();
        } else if (c == sep) {
            endCell();
        } else if (c == QLatin1Char('\n')) {
            ++lineNo;
            endLine();
        } else if (c != QLatin1Char('\r')) {
            if (!wasQuoted)
                cell += c;
            else if (!c.isSpace())
                return format(QStringLiteral("line %1: text after a quoted cell").arg(lineNo));
        }
    }
    if (quoted)
        return format(QStringLiteral("line %1: a quote is not closed").arg(current.number));
    endLine();
    return lines;
}

// A name that makes a file in the folder and nowhere else.
bool plainName(const QString &name)
{
    return !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           name != QLatin1String(".") && name != QLatin1String("..") && !name.contains(QChar(0));
}

QString withExtension(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name : name + QStringLiteral(".kvr");
}

} // namespace

Result<QList<Row>> parse(const QByteArray &bytes)
{
    const QString text = TextEncoding::decodeUtf8OrCp1250(bytes);
    const Result<QList<Line>> cells = split(text, separatorOf(text));
    if (!cells)
        return cells.failure();
    const QList<Line> &lines = *cells;
    if (lines.isEmpty())
        return format(QStringLiteral("the table is empty: its first line names the columns"));

    const QStringList &header = lines.front().cells;
    const int at = lines.front().number;
    const int fileColumn = int(header.indexOf(QStringLiteral("file")));
    if (fileColumn < 0)
        return format(QStringLiteral("line %1: no 'file' column naming the files to make").arg(at));
    QHash<QString, int> seen;
    for (qsizetype c = 0; c < header.size(); ++c) {
        const QString &name = header[c];
        if (seen.contains(name))
            return format(QStringLiteral("line %1: the column '%2' is there twice").arg(at).arg(name));
        seen.insert(name, int(c));
        if (c == fileColumn)
            continue;
        const Result<const Parameter *> p = ValueAssignment::parameter(name);
        if (!p)
            return format(QStringLiteral("line %1: column '%2': %3").arg(at).arg(name, p.failure().reason));
    }

    QList<Row> rows;
    QHash<QString, int> made; // case-folded name -> its line
    for (qsizetype l = 1; l < lines.size(); ++l) {
        const Line &line = lines[l];
        if (line.cells.size() > header.size())
            return format(QStringLiteral("line %1: %2 cells, but %3 columns")
                              .arg(line.number)
                              .arg(line.cells.size())
                              .arg(header.size()));
        Row row;
        row.line = line.number;
        const QString name = line.cells.value(fileColumn);
        if (name.isEmpty())
            return format(QStringLiteral("line %1: no file name").arg(line.number));
        if (!plainName(name))
            return format(
                QStringLiteral("line %1: '%2' is not a plain file name").arg(line.number).arg(name));
        row.file = withExtension(name);
        const QString folded = row.file.toCaseFolded();
        if (const auto earlier = made.constFind(folded); earlier != made.constEnd())
            return format(QStringLiteral("line %1: the file '%2' is made by line %3 already")
                              .arg(line.number)
                              .arg(row.file)
                              .arg(*earlier));
        made.insert(folded, line.number);
        for (qsizetype c = 0; c < line.cells.size(); ++c)
            if (c != fileColumn && !line.cells[c].isEmpty())
                row.values.append({header[c], line.cells[c]});
        rows << row;
    }
    return rows;
}

} // namespace SettingsTable
