#include "cli/FleetCommand.h"

#include "cli/CliExitCode.h"
#include "cli/CliHandlers.h"
#include "cli/CliRun.h"
#include "history/DeviceHistory.h"
#include "history/FleetHistory.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace FleetCommand
{

namespace
{

enum class Form { Columns, Csv, Json };

struct Options {
    Fleet::Filter filter;
    Fleet::Sort sort = Fleet::Sort::Date;
    Form form = Form::Columns;
};

const char *const Columns[] = {"serial", "site", "date", "event", "technician", "firmware", "file"};

QStringList fields(const Fleet::Row &row)
{
    return {
        row.serial,     row.site,     row.date(), row.count ? HistoryStore::eventName(row.event) : QString(),
        row.technician, row.firmware, row.latest};
}

int usage(QTextStream &err, const QString &text)
{
    err << "tessaro-cli: " << text << "\n(tessaro-cli --help lists the commands)\n";
    return ExitUsage;
}

// The options after "fleet"; a value may follow its option or an "=".
Result<Options> parse(const QStringList &args)
{
    Options o;
    bool formGiven = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString name = args[i];
        std::optional<QString> value;
        if (const qsizetype eq = name.indexOf(u'='); name.startsWith(QLatin1String("--")) && eq > 0) {
            value = name.mid(eq + 1);
            name.truncate(eq);
        }
        const auto bad = [&](const QString &why) { return Failure{Failure::Kind::Argument, name, why}; };
        if (name == QLatin1String("--csv") || name == QLatin1String("--json")) {
            if (value)
                return bad(QStringLiteral("takes no value"));
            if (formGiven)
                return bad(QStringLiteral("only one of --csv and --json"));
            formGiven = true;
            o.form = name == QLatin1String("--csv") ? Form::Csv : Form::Json;
            continue;
        }
        static const QStringList valued = {"--where", "--dials", "--firmware", "--since", "--site", "--sort"};
        if (!valued.contains(name))
            return bad(QStringLiteral("no such option of fleet"));
        if (!value) {
            if (i + 1 >= args.size())
                return bad(QStringLiteral("needs a value"));
            value = args[++i];
        }
        if (name == QLatin1String("--sort")) {
            const std::optional<Fleet::Sort> by = Fleet::sortNamed(*value);
            if (!by)
                return bad(QStringLiteral("'%1' is none of serial, site, date").arg(*value));
            o.sort = *by;
        } else if (Result<void> added = o.filter.add(name, *value); !added) {
            return added.failure();
        }
    }
    return o;
}

QString csvField(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(u'"', QLatin1String("\"\""));
    return u'"' + quoted + u'"';
}

void columns(QTextStream &out, const std::vector<const Fleet::Row *> &rows)
{
    // The file is for scripts (--csv, --json); the columns stay readable.
    constexpr int shown = 6;
    QList<QStringList> lines;
    QStringList header;
    for (int c = 0; c < shown; ++c)
        header << QString::fromLatin1(Columns[c]).replace(0, 1, QChar(Columns[c][0]).toUpper());
    lines.append(header);
    for (const Fleet::Row *row : rows)
        lines.append(fields(*row).mid(0, shown));
    QList<qsizetype> width(shown, 0);
    for (const QStringList &line : lines)
        for (int c = 0; c < shown; ++c)
            width[c] = std::max(width[c], line[c].size());
    for (const QStringList &line : lines) {
        QString text;
        for (int c = 0; c < shown; ++c)
            text += c + 1 < shown ? line[c].leftJustified(width[c] + 2) : line[c];
        out << text.trimmed() << '\n';
    }
}

void csv(QTextStream &out, const std::vector<const Fleet::Row *> &rows)
{
    QStringList header;
    for (const char *c : Columns)
        header << QLatin1String(c);
    out << header.join(u',') << '\n';
    for (const Fleet::Row *row : rows) {
        QStringList line;
        for (const QString &f : fields(*row))
            line << csvField(f);
        out << line.join(u',') << '\n';
    }
}

void json(QTextStream &out, const std::vector<const Fleet::Row *> &rows)
{
    QJsonArray array;
    for (const Fleet::Row *row : rows) {
        QJsonObject o;
        const QStringList f = fields(*row);
        for (size_t c = 0; c < std::size(Columns); ++c)
            o.insert(QLatin1String(Columns[c]), f[qsizetype(c)]);
        array.append(o);
    }
    out << QJsonDocument(array).toJson(QJsonDocument::Indented);
}

} // namespace

int fleet(const QStringList &args, const QString &programFolder, QTextStream &out, QTextStream &err)
{
    const Result<Options> options = parse(args);
    if (!options)
        return usage(err, options.failure().text());
    DeviceHistory history(programFolder);
    Result<Fleet::List> list = FleetHistory::load(history);
    if (!list) {
        err << "tessaro-cli: " << list.failure().text() << '\n';
        return ExitBadFile;
    }
    std::vector<const Fleet::Row *> rows;
    for (const Fleet::Row &row : list->rows)
        if (options->filter.matches(row))
            rows.push_back(&row);
    Fleet::sort(rows, options->sort);
    switch (options->form) {
    case Form::Columns:
        if (!rows.empty())
            columns(out, rows);
        break;
    case Form::Csv:
        csv(out, rows);
        break;
    case Form::Json:
        json(out, rows);
        break;
    }
    return rows.empty() ? ExitNothingListed : ExitOk;
}

int site(const QStringList &args, const QString &programFolder, QTextStream &out, QTextStream &err)
{
    if (args.isEmpty() || args.size() > 2)
        return usage(err, QStringLiteral("site needs a serial number and, to set it, the site"));
    if (DeviceHistory::folderName(args[0]) != args[0])
        return usage(err, QStringLiteral("'%1' is not a serial number").arg(args[0]));
    DeviceHistory history(programFolder);
    if (args.size() == 2) {
        const Result<QString> kept = FleetHistory::setSite(history, args[0], args[1]);
        if (!kept) {
            err << "tessaro-cli: " << kept.failure().text() << '\n';
            return ExitBadFile;
        }
        return ExitOk;
    }
    const Result<QString> text = FleetHistory::site(history, args[0]);
    if (!text) {
        err << "tessaro-cli: " << text.failure().text() << '\n';
        return ExitBadFile;
    }
    if (text->isEmpty())
        return ExitNothingListed;
    out << *text << '\n';
    return ExitOk;
}

} // namespace FleetCommand

namespace CliHandlers
{

int fleet(CliRun &run)
{
    return FleetCommand::fleet(run.args.files, QDir::currentPath(), run.out, run.err);
}

int site(CliRun &run)
{
    return FleetCommand::site(run.args.files, QDir::currentPath(), run.out, run.err);
}

} // namespace CliHandlers
