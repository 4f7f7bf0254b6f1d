#include "history/Fleet.h"

#include "platform/SafeFile.h"
#include "settings/ParameterTable.h"
#include "settings/SettingsFile.h"
#include "settings/ValueAssignment.h"

#include <QHash>

#include <algorithm>
#include <array>

namespace Fleet
{

namespace
{

constexpr int ValueOffset = 17;
constexpr int ValueRoom = 32;

// What QString::trimmed takes for blanks among Latin-1 characters, so the
// values match what the settings file's reader gives.
bool blank(char c)
{
    const auto u = quint8(c);
    return (u >= 0x09 && u <= 0x0d) || u == 0x20 || u == 0x85 || u == 0xa0;
}

void appendValue(QByteArray &out, const char *text, int length)
{
    int from = 0;
    while (from < length && blank(text[from]))
        ++from;
    while (length > from && blank(text[length - 1]))
        --length;
    for (int i = from; i < length; ++i)
        out += text[i] ? text[i] : ' '; // a zero byte would end the value early
    out += '\0';
}

// The telephone numbers among the parameters.
const std::vector<int> &numberIndexes()
{
    static const std::vector<int> indexes = [] {
        std::vector<int> out;
        const auto table = ParameterTable::all();
        for (size_t i = 0; i < table.size(); ++i)
            if (table[i].block.form == BlockForm::Number)
                out.push_back(int(i));
        return out;
    }();
    return indexes;
}

bool dialChar(char c)
{
    return c != ' ' && c != '-' && c != '.';
}

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

// A stored telephone number as dialled(), into buf; its length.
int dialledInto(QByteArrayView number, std::array<char, 64> &buf)
{
    int n = 0;
    for (const char c : number)
        if (dialChar(c) && n < int(buf.size()))
            buf[size_t(n++)] = upper(c);
    return n;
}

quint8 folded(quint8 c)
{
    // Latin-1 capitals (but × at 0xd7) fold to their small letters.
    if ((c >= 'A' && c <= 'Z') || (c >= 0xc0 && c <= 0xde && c != 0xd7))
        return quint8(c + 0x20);
    return c;
}

// Whether haystack holds needle (already folded), case ignored.
bool containsFolded(QByteArrayView haystack, QByteArrayView needle)
{
    if (needle.isEmpty())
        return true;
    const qsizetype last = haystack.size() - needle.size();
    for (qsizetype i = 0; i <= last; ++i) {
        qsizetype k = 0;
        while (k < needle.size() && folded(quint8(haystack[i + k])) == quint8(needle[k]))
            ++k;
        if (k == needle.size())
            return true;
    }
    return false;
}

int unknownLast(const QString &serial)
{
    return serial == QLatin1String("unknown") ? 1 : 0;
}

bool newerEntry(const Entry &a, const Entry &b)
{
    if (a.stamp != b.stamp)
        return a.stamp > b.stamp;
    // Within one second a write's later steps come later.
    if (a.event != b.event)
        return int(a.event) > int(b.event);
    return a.number > b.number;
}

} // namespace

bool serialBefore(const QString &a, const QString &b)
{
    if (unknownLast(a) != unknownLast(b))
        return unknownLast(a) < unknownLast(b);
    bool na = false, nb = false;
    const qulonglong x = a.toULongLong(&na), y = b.toULongLong(&nb);
    if (na && nb)
        return x != y ? x < y : a < b;
    return na != nb ? na : a < b;
}

QByteArrayView Row::value(int index) const
{
    qsizetype from = 0;
    for (int i = 0; i < index; ++i) {
        from = values.indexOf('\0', from);
        if (from < 0)
            return {};
        ++from;
    }
    const qsizetype end = values.indexOf('\0', from);
    return end < 0 ? QByteArrayView() : QByteArrayView(values).sliced(from, end - from);
}

QString Row::date() const
{
    if (stamp.size() < 19)
        return stamp;
    QString text = stamp;
    text[13] = u':';
    text[16] = u':';
    return text;
}

QByteArray valuesOf(const QByteArray &contents)
{
    const int records =
        int(std::min<qsizetype>(contents.size() / SettingsFile::RecordSize, SettingsFile::RecordCount));
    if (records < SettingsFile::MinimumRecords)
        return {};
    QByteArray out;
    out.reserve(256);
    const auto table = ParameterTable::all();
    for (int i = 0; i < int(table.size()); ++i) {
        if (i < records) {
            const char *record = contents.constData() + i * SettingsFile::RecordSize;
            appendValue(out, record + ValueOffset + 1, std::min(int(quint8(record[ValueOffset])), ValueRoom));
        } else {
            // Older files end before the firmware-dependent options: the tone
            // boxes then stand at the value the communicator plays, the
            // polarity at its default.
            const char *text = table[size_t(i)].fixedText && i == SettingsFile::MinimumRecords
                                   ? table[size_t(i)].fixedText
                                   : table[size_t(i)].defaultText;
            appendValue(out, text, int(qstrlen(text)));
        }
    }
    return out;
}

QByteArray readValues(const Row &row)
{
    const SafeFile::Contents file = SafeFile::read(row.latest, SafeFile::SettingsLimit);
    return file.ok() ? valuesOf(file.bytes) : QByteArray();
}

List make(std::vector<Entry> entries, const QList<Site> &sites,
          const std::function<QByteArray(const Row &)> &values)
{
    // Grouped by serial number without sorting every entry: a group number
    // for each, the groups in serial order, the few entries of a group
    // newest first.
    QHash<QString, int> groupOf;
    std::vector<int> group(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        // Entries mostly come grouped already: the one before is the usual answer.
        if (i > 0 && entries[i].serial == entries[i - 1].serial) {
            group[i] = group[i - 1];
            continue;
        }
        auto known = groupOf.constFind(entries[i].serial);
        if (known == groupOf.constEnd())
            known = groupOf.insert(entries[i].serial, int(groupOf.size()));
        group[i] = *known;
    }
    QHash<QString, const Site *> newestSite;
    for (const Site &s : sites) {
        const Site *&known = newestSite[s.serial];
        if (!known || s.stamp > known->stamp || (s.stamp == known->stamp && s.number > known->number))
            known = &s;
    }
    // A serial number with a site but no entry yet still has its row.
    std::vector<QString> serials(size_t(groupOf.size()));
    for (auto it = groupOf.cbegin(); it != groupOf.cend(); ++it)
        serials[size_t(*it)] = it.key();
    for (auto it = newestSite.cbegin(); it != newestSite.cend(); ++it)
        if (!groupOf.contains(it.key()))
            serials.push_back(it.key());
    std::vector<int> order(serials.size());
    for (size_t g = 0; g < order.size(); ++g)
        order[g] = int(g);
    std::sort(order.begin(), order.end(),
              [&](int a, int b) { return serialBefore(serials[size_t(a)], serials[size_t(b)]); });
    std::vector<qsizetype> start(serials.size() + 1, 0);
    for (const int g : group)
        ++start[size_t(g) + 1];
    std::vector<qsizetype> firstOf(serials.size(), 0);
    qsizetype at = 0;
    for (const int g : order) {
        firstOf[size_t(g)] = at;
        at += start[size_t(g) + 1];
    }

    List list;
    list.entries.resize(entries.size());
    std::vector<qsizetype> next = firstOf;
    for (size_t i = 0; i < entries.size(); ++i)
        list.entries[size_t(next[size_t(group[i])]++)] = std::move(entries[i]);
    list.rows.reserve(serials.size());
    for (const int g : order) {
        Row row;
        row.serial = serials[size_t(g)];
        row.first = firstOf[size_t(g)];
        row.count = start[size_t(g) + 1];
        const auto begin = list.entries.begin() + row.first;
        std::sort(begin, begin + row.count, newerEntry);
        for (auto e = begin; e != begin + row.count; ++e) {
            if (e == begin) {
                row.stamp = e->stamp;
                row.event = e->event;
            }
            if (row.technician.isEmpty())
                row.technician = e->technician;
            if (row.firmware.isEmpty())
                row.firmware = e->firmware;
            if (row.latest.isEmpty() && e->event != HistoryStore::Event::BeforeWrite)
                row.latest = e->path;
        }
        if (const Site *site = newestSite.value(row.serial))
            row.site = site->text;
        if (!row.latest.isEmpty())
            row.values = values(row);
        list.rows.push_back(std::move(row));
    }
    return list;
}

QString dialled(const QString &number)
{
    QString out;
    out.reserve(number.size());
    for (const QChar c : number)
        if (c != u' ' && c != u'-' && c != u'.')
            out += c.toUpper();
    return out;
}

Result<void> Filter::add(const QString &option, const QString &value)
{
    const auto malformed = [&](const QString &why) { return Failure{Failure::Kind::Argument, option, why}; };
    if (option == QLatin1String("--where")) {
        // An unknown key is named with the nearest known one.
        const Result<ValueAssignment::Assignment> a = ValueAssignment::parse(value);
        if (!a)
            return malformed(a.failure().text());
        where.append({ParameterTable::indexOf(a->key), a->value.toLatin1()});
    } else if (option == QLatin1String("--dials")) {
        dials = dialled(value.trimmed());
        if (dials.isEmpty())
            return malformed(QStringLiteral("needs a telephone number"));
    } else if (option == QLatin1String("--firmware")) {
        firmware = value.trimmed();
        if (firmware.isEmpty())
            return malformed(QStringLiteral("needs a firmware version"));
    } else if (option == QLatin1String("--since")) {
        since = QDate::fromString(value.trimmed(), QStringLiteral("yyyy-MM-dd"));
        if (!since.isValid())
            return malformed(QStringLiteral("'%1' is not a date YYYY-MM-DD").arg(value));
    } else if (option == QLatin1String("--site")) {
        site = value.trimmed();
        if (site.isEmpty())
            return malformed(QStringLiteral("needs a part of a site"));
    } else {
        return malformed(QStringLiteral("no such filter"));
    }
    return {};
}

bool Filter::matches(const Row &row) const
{
    if (!site.isEmpty() && !row.site.contains(site, Qt::CaseInsensitive))
        return false;
    if (!firmware.isEmpty() && row.firmware != firmware)
        return false;
    if (since.isValid() && (row.stamp.isEmpty() || row.stamp.left(10) < since.toString(Qt::ISODate)))
        return false;
    if (!where.isEmpty() || !dials.isEmpty()) {
        if (row.values.isEmpty())
            return false;
        for (const auto &[index, text] : where)
            if (row.value(index) != text)
                return false;
        if (!dials.isEmpty()) {
            const QByteArray wanted = dials.toLatin1();
            std::array<char, 64> buf;
            const bool any = std::any_of(numberIndexes().begin(), numberIndexes().end(), [&](int i) {
                const int n = dialledInto(row.value(i), buf);
                return QByteArrayView(buf.data(), n) == wanted;
            });
            if (!any)
                return false;
        }
    }
    return true;
}

std::optional<Sort> sortNamed(const QString &name)
{
    if (name == QLatin1String("date"))
        return Sort::Date;
    if (name == QLatin1String("serial"))
        return Sort::Serial;
    if (name == QLatin1String("site"))
        return Sort::Site;
    return std::nullopt;
}

void sort(std::vector<const Row *> &rows, Sort by)
{
    std::stable_sort(rows.begin(), rows.end(), [by](const Row *a, const Row *b) {
        switch (by) {
        case Sort::Date:
            if (a->stamp != b->stamp)
                return a->stamp > b->stamp;
            break;
        case Sort::Site:
            if (a->site.isEmpty() != b->site.isEmpty())
                return b->site.isEmpty();
            if (const int c = a->site.compare(b->site, Qt::CaseInsensitive))
                return c < 0;
            break;
        case Sort::Serial:
            break;
        }
        return serialBefore(a->serial, b->serial);
    });
}

Search::Search(const QString &text) : m_text(text.trimmed())
{
    bool latin1 = true;
    for (const QChar c : m_text)
        latin1 = latin1 && c.unicode() < 0x100;
    if (latin1) {
        m_latin1 = m_text.toLatin1();
        for (char &c : m_latin1)
            c = char(folded(quint8(c)));
    }
    // Only what could be a telephone number is looked for among them.
    const QString d = dialled(m_text);
    if (std::any_of(d.begin(), d.end(), [](QChar c) { return c.isDigit(); }))
        m_dialled = d.toLatin1();
}

bool Search::matches(const Row &row) const
{
    if (m_text.isEmpty())
        return true;
    if (row.serial.contains(m_text, Qt::CaseInsensitive) || row.site.contains(m_text, Qt::CaseInsensitive))
        return true;
    if (row.values.isEmpty())
        return false;
    if (!m_latin1.isEmpty() && containsFolded(row.values, m_latin1))
        return true;
    if (m_dialled.isEmpty())
        return false;
    std::array<char, 64> buf;
    return std::any_of(numberIndexes().begin(), numberIndexes().end(), [&](int i) {
        const int n = dialledInto(row.value(i), buf);
        return QByteArrayView(buf.data(), n).indexOf(m_dialled) >= 0;
    });
}

} // namespace Fleet
