#include "platform/PrivateProfile.h"

#include "platform/SafeFile.h"
#include "platform/TextEncoding.h"

#include <QStringList>

namespace PrivateProfile
{

namespace
{

struct IniText {
    QStringList lines;
    QString eol = QStringLiteral("\n");
    bool endsWithEol = true;
    bool singleByte = false;    // not UTF-8: a hand-edited file in a single-byte code page
    bool byteOrderMark = false; // kept in front when the file is written back
};

void splitLines(IniText &ini, QString text)
{
    if (text.contains(QLatin1String("\r\n")))
        ini.eol = QStringLiteral("\r\n");
    ini.endsWithEol = text.isEmpty() || text.endsWith(QLatin1Char('\n'));
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    ini.lines = text.split(QLatin1Char('\n'));
    if (ini.endsWithEol && !ini.lines.isEmpty())
        ini.lines.removeLast(); // the empty piece after the final line break
}

// The file's lines; *readable (when given) is false when the file is there
// but cannot be read (a device, a named pipe, a folder, too large, no rights).
IniText readText(const QString &file, bool *readable = nullptr)
{
    IniText ini;
    SafeFile::Contents contents = SafeFile::read(file, SafeFile::IniLimit);
    if (readable)
        *readable = contents.ok() || contents.failure == SafeFile::Failure::Missing;
    if (!contents.ok())
        return ini;
    QByteArray &raw = contents.bytes;
    // An editor may put a byte order mark in front even of a file whose
    // other bytes are in a single-byte code page.
    ini.byteOrderMark = TextEncoding::stripUtf8Bom(raw);
    ini.singleByte = !TextEncoding::isValidUtf8(raw);
    // A single-byte file is written back byte for byte.
    splitLines(ini, ini.singleByte ? QString::fromLatin1(raw) : QString::fromUtf8(raw));
    return ini;
}

// The section name of a "[name]" line, or a null string for other lines.
QString sectionOf(const QString &line)
{
    const QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('[')))
        return QString();
    const int close = t.indexOf(QLatin1Char(']'));
    if (close < 0)
        return QString();
    const QString name = t.mid(1, close - 1).trimmed();
    return name.isNull() ? QStringLiteral("") : name;
}

bool isComment(const QString &line)
{
    const QString t = line.trimmed();
    return t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#'));
}

// Splits "key = value" into its trimmed parts; false when the line holds no key.
bool splitKey(const QString &line, QString *key, QString *value)
{
    if (isComment(line))
        return false;
    const int eq = line.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return false;
    *key = line.left(eq).trimmed();
    if (key->isEmpty())
        return false;
    QString v = line.mid(eq + 1).trimmed();
    if (v.size() >= 2 && (v.front() == QLatin1Char('"') || v.front() == QLatin1Char('\'')) &&
        v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    *value = v;
    return true;
}

bool same(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Index range [first, end) of the lines after the first header of a section;
// first = -1 when the section is absent.
std::pair<int, int> sectionRange(const QStringList &lines, const QString &section)
{
    int first = -1;
    for (int i = 0; i < lines.size(); ++i) {
        const QString s = sectionOf(lines[i]);
        if (s.isNull())
            continue;
        if (first >= 0)
            return {first, i};
        if (same(s, section))
            first = i + 1;
    }
    return {first, int(lines.size())};
}

QString folded(const QString &section, const QString &key)
{
    return section.toCaseFolded() + QLatin1Char('\n') + key.toCaseFolded();
}

int integerOf(const QString &v, int defaultValue)
{
    if (v.isEmpty())
        return defaultValue;
    bool ok = false;
    int n = 0;
    if (v.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        n = v.mid(2).toInt(&ok, 16);
    else if (v.startsWith(QLatin1Char('$')))
        n = v.mid(1).toInt(&ok, 16);
    else
        n = v.toInt(&ok, 10);
    return ok ? n : defaultValue;
}

} // namespace

Profile Profile::ofText(const QString &text)
{
    IniText ini;
    splitLines(ini, text);
    Profile p;
    // One pass; a key or a section seen before is looked up in a hash, so a
    // file of many keys takes no longer per key than a small one.
    QString current;
    bool taking = false;
    QList<QPair<QString, QString>> *entries = nullptr;
    for (const QString &line : std::as_const(ini.lines)) {
        const QString s = sectionOf(line);
        if (!s.isNull()) {
            current = s.toCaseFolded();
            taking = !p.m_sections.contains(current);
            entries = taking ? &p.m_sections[current] : nullptr;
            continue;
        }
        QString k, v;
        if (!taking || !splitKey(line, &k, &v))
            continue;
        const QString id = current + QLatin1Char('\n') + k.toCaseFolded();
        if (p.m_values.contains(id))
            continue;
        p.m_values.insert(id, v);
        entries->append({k, v});
    }
    return p;
}

Profile Profile::read(const QString &file, qint64 limit)
{
    SafeFile::Contents contents = SafeFile::read(file, limit);
    if (!contents.ok()) {
        Profile p;
        p.m_status = contents;
        return p;
    }
    TextEncoding::stripUtf8Bom(contents.bytes);
    return ofText(TextEncoding::isValidUtf8(contents.bytes) ? QString::fromUtf8(contents.bytes)
                                                            : QString::fromLatin1(contents.bytes));
}

QString Profile::string(const QString &section, const QString &key, const QString &defaultValue) const
{
    return m_values.value(folded(section, key), defaultValue);
}

int Profile::integer(const QString &section, const QString &key, int defaultValue) const
{
    return integerOf(string(section, key, QString()), defaultValue);
}

QList<QPair<QString, QString>> Profile::section(const QString &section) const
{
    return m_sections.value(section.toCaseFolded());
}

QList<QPair<QString, QString>> readSection(const QString &file, const QString &section)
{
    return Profile::read(file).section(section);
}

QList<QPair<QString, QString>> readSectionOfText(const QString &text, const QString &section)
{
    return Profile::ofText(text).section(section);
}

QString readString(const QString &file, const QString &section, const QString &key,
                   const QString &defaultValue)
{
    return Profile::read(file).string(section, key, defaultValue);
}

int readInt(const QString &file, const QString &section, const QString &key, int defaultValue)
{
    return Profile::read(file).integer(section, key, defaultValue);
}

bool writeString(const QString &file, const QString &section, const QString &key, const QString &value)
{
    // A file that is there but cannot be read would lose every other line.
    bool readable = true;
    IniText ini = readText(file, &readable);
    if (!readable)
        return false;
    const QString entry = key + QLatin1Char('=') + value;
    const auto [first, end] = sectionRange(ini.lines, section);
    if (first < 0) {
        ini.lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
        ini.lines.append(entry);
    } else {
        int found = -1;
        int lastKey = first - 1;
        for (int i = first; i < end && found < 0; ++i) {
            QString k, v;
            if (splitKey(ini.lines[i], &k, &v)) {
                lastKey = i;
                if (same(k, key))
                    found = i;
            }
        }
        if (found >= 0)
            ini.lines[found] = ini.lines[found].left(ini.lines[found].indexOf(QLatin1Char('='))).trimmed() +
                               QLatin1Char('=') + value;
        else
            ini.lines.insert(lastKey + 1, entry);
    }

    QString text = ini.lines.join(ini.eol);
    if (!ini.lines.isEmpty())
        text += ini.eol;
    // A single-byte file keeps its bytes; a new value that does not fit
    // one byte a character makes the file UTF-8.
    bool fits = ini.singleByte;
    for (const QChar c : text)
        fits = fits && c.unicode() < 0x100;
    QByteArray bytes = fits ? text.toLatin1() : text.toUtf8();
    // The code page is told by the bytes alone: once the byte that made the
    // file single-byte is gone with the old value, what is left may read as
    // UTF-8 and every other non-ASCII character would change its meaning.
    // Such a file is written as UTF-8, so it reads back as it was meant.
    if (fits && TextEncoding::isValidUtf8(bytes) && bytes != text.toUtf8())
        bytes = text.toUtf8();
    if (ini.byteOrderMark)
        bytes.prepend("\xEF\xBB\xBF");
    // Replaced in one step; a link is followed to the file it names, and
    // anything else than a regular file there is left alone.
    return SafeFile::replace(file, bytes).ok();
}

} // namespace PrivateProfile
