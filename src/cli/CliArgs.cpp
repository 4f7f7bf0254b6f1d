#include "cli/CliArgs.h"

#include <QHash>

#include <algorithm>
#include <iterator>

namespace
{

struct CommandRule {
    int files;           // positional arguments required
    bool output;         // -o required
    bool transport;      // --port/--device/--usb/--trace allowed
    bool counters;       // --counters, --no-verify, --no-backup allowed (write)
    bool lang;           // --lang allowed
    bool serial = false; // --serial allowed
};

const QHash<QString, CommandRule> &rules()
{
    static const QHash<QString, CommandRule> r{
        {QStringLiteral("read"), {0, true, true, false, false}},
        {QStringLiteral("write"), {1, false, true, true, false}},
        {QStringLiteral("status"), {0, false, true, false, false}},
        {QStringLiteral("show"), {1, false, false, false, true}},
        {QStringLiteral("diff"), {2, false, false, false, true}},
        {QStringLiteral("print"), {1, true, false, false, true}},
        {QStringLiteral("export"), {1, false, false, false, false}},
        {QStringLiteral("import"), {1, true, false, false, false}},
        {QStringLiteral("compare"), {1, false, true, false, true}},
        {QStringLiteral("history"), {0, false, false, false, false, true}},
    };
    return r;
}

// The options that take a text: the commands that allow them, where the
// value goes, and what the option is missing without one.
struct TextOption {
    const char *name;
    bool CommandRule::*allowed;
    QString CliArgs::*value;
    const char *needs;
};

const TextOption textOptions[] = {
    {"-o", &CommandRule::output, &CliArgs::output, "a file name"},
    {"--output", &CommandRule::output, &CliArgs::output, "a file name"},
    {"--device", &CommandRule::transport, &CliArgs::device, "a device path"},
    {"--trace", &CommandRule::transport, &CliArgs::trace, "a file name"},
    {"--counters", &CommandRule::counters, &CliArgs::counters, "a file name"},
    {"--lang", &CommandRule::lang, &CliArgs::lang, "a language file"},
    {"--serial", &CommandRule::serial, &CliArgs::serial, "a serial number"},
};

} // namespace

bool CliArgs::exchanges() const
{
    const auto it = rules().constFind(command);
    return it != rules().constEnd() && it->transport;
}

std::optional<CliArgs> CliArgs::parse(const QStringList &args, QString *error)
{
    CliArgs a;
    auto fail = [&](const QString &text) {
        *error = text;
        return std::nullopt;
    };
    if (args.isEmpty())
        return fail(QStringLiteral("no command given"));
    a.command = args.first();
    if (a.command == QLatin1String("help") || a.command == QLatin1String("--help") ||
        a.command == QLatin1String("-h")) {
        a.command = QStringLiteral("help");
        return a;
    }
    const auto rule = rules().constFind(a.command);
    if (rule == rules().constEnd())
        return fail(QStringLiteral("unknown command '%1'").arg(a.command));

    for (int i = 1; i < args.size(); ++i) {
        QString arg = args[i];
        QString value;
        bool hasValue = false;
        if (arg.startsWith(QLatin1String("--")) && arg.contains(QLatin1Char('='))) {
            value = arg.section(QLatin1Char('='), 1);
            arg = arg.section(QLatin1Char('='), 0, 0);
            hasValue = true;
        }
        auto takeValue = [&]() -> std::optional<QString> {
            if (hasValue)
                return value;
            if (i + 1 >= args.size())
                return std::nullopt;
            return args[++i];
        };
        auto needs = [&](bool allowed) { return allowed ? QString() : arg; };

        QString refused;
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            a.command = QStringLiteral("help");
            return a;
        }
        const auto text = std::find_if(std::begin(textOptions), std::end(textOptions),
                                       [&](const TextOption &o) { return arg == QLatin1String(o.name); });
        if (text != std::end(textOptions)) {
            refused = needs((*rule).*(text->allowed));
            if (refused.isEmpty()) {
                const auto v = takeValue();
                if (!v || v->isEmpty())
                    return fail(QStringLiteral("%1 needs %2").arg(arg, QLatin1String(text->needs)));
                a.*(text->value) = *v;
            }
        } else if (arg == QLatin1String("--port")) {
            refused = needs(rule->transport);
            if (refused.isEmpty()) {
                const auto v = takeValue();
                bool ok = false;
                const int n = v ? v->toInt(&ok) : 0;
                if (!ok || n < 1 || n > 255)
                    return fail(QStringLiteral("--port needs a port number from 1 to 255"));
                a.port = n;
            }
        } else if (arg == QLatin1String("--usb") && !hasValue) {
            refused = needs(rule->transport);
            a.usb = true;
        } else if (arg == QLatin1String("--no-verify") && !hasValue) {
            refused = needs(rule->counters);
            a.noVerify = true;
        } else if (arg == QLatin1String("--no-backup") && !hasValue) {
            refused = needs(rule->counters);
            a.noBackup = true;
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            return fail(QStringLiteral("unknown option '%1'").arg(arg));
        } else {
            a.files << args[i];
        }
        if (!refused.isEmpty())
            return fail(QStringLiteral("'%1' does not take %2").arg(a.command, refused));
    }

    if (a.files.size() != rule->files)
        return fail(rule->files == 0 ? QStringLiteral("'%1' takes no file argument").arg(a.command)
                                     : QStringLiteral("'%1' needs %2 file argument%3")
                                           .arg(a.command)
                                           .arg(rule->files)
                                           .arg(rule->files == 1 ? QString() : QStringLiteral("s")));
    if (rule->output && a.output.isEmpty())
        return fail(QStringLiteral("'%1' needs -o FILE").arg(a.command));
    if (int(a.port.has_value()) + int(!a.device.isEmpty()) + int(a.usb) > 1)
        return fail(QStringLiteral("choose one of --port, --device and --usb"));
    return a;
}
