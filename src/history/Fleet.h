#pragma once

#include "history/HistoryStore.h"
#include "platform/Result.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

// Every communicator the history knows, one row per serial number: where it
// is, what happened to it last and what it holds now. A communicator's
// latest settings are those of its newest read, written or read back entry;
// a "before write" entry is what it held before a write and never counts.
// Each row's latest settings file is read once, when the fleet is made; the
// filters and the search then work on what was read.
namespace Fleet
{

// An entry of the history as the fleet reads it from the listing.
struct Entry {
    QString serial;
    QString stamp; // the name's time, "2026-12-08 10-15-02"
    HistoryStore::Event event = HistoryStore::Event::Read;
    int number = 1; // " (n)" of a second entry in the same second
    QString firmware;
    QString technician;
    QString path;
};

// A site given to a serial number ("Vinohradská 12, lift B"); the newest
// stamp wins.
struct Site {
    QString serial;
    QString stamp;
    int number = 1; // " (n)" of a second site in the same second
    QString text;
};

struct Row {
    QString serial;
    QString site;
    QString stamp; // the newest entry's
    HistoryStore::Event event = HistoryStore::Event::Read;
    QString technician; // the newest entry's that names one
    QString firmware;   // the same
    QString latest;     // the file of the latest settings; empty when there are none
    // The latest settings' stored texts in parameter-table order, each
    // followed by a zero byte; empty when none could be read.
    QByteArray values;
    qsizetype first = 0; // its entries in List::entries, newest first
    qsizetype count = 0;

    // The stored text of the parameter at index; empty without settings.
    QByteArrayView value(int index) const;
    // "2026-12-08 10:15:02"
    QString date() const;
};

struct List {
    std::vector<Entry> entries; // grouped by row
    std::vector<Row> rows;
};

// The latest settings of a row read from its file; none when it cannot be
// read.
QByteArray readValues(const Row &row);

// The rows of the entries and sites given, in any order, in serial-number
// order: entries grouped by serial number, newest first, each row's latest
// settings from values (given a row whose latest file is known).
List make(std::vector<Entry> entries, const QList<Site> &sites,
          const std::function<QByteArray(const Row &)> &values = readValues);

// The stored texts of a settings file's contents in parameter-table order,
// as Row::values holds them; empty when it holds too few records. A file
// without the firmware-dependent records holds what the program shows for
// them when it opens such a file.
QByteArray valuesOf(const QByteArray &contents);

// "602 123-456" as the communicator stores it: spaces, dashes and dots
// dropped, letters in capitals.
QString dialled(const QString &number);

// What must all hold of a listed row.
struct Filter {
    QList<std::pair<int, QByteArray>> where; // parameter index, stored text
    QString dials;                           // dialled(); empty: any
    QString firmware;                        // empty: any
    QDate since;                             // invalid: any
    QString site;                            // a part of the site, case ignored; empty: any

    // Adds what one option asks ("--where", "TTon=120"); a malformed value
    // or an unknown key fails (the key named with the nearest known one).
    Result<void> add(const QString &option, const QString &value);
    bool matches(const Row &row) const;
};

// Serial numbers in number order, names that are not numbers after them,
// "unknown" last: the order of List::rows.
bool serialBefore(const QString &a, const QString &b);

enum class Sort { Date, Serial, Site };
// "date", "serial", "site"; nothing for any other word.
std::optional<Sort> sortNamed(const QString &name);
// Newest first; serial numbers in number order; sites in alphabetical
// order (rows without one last). Ties go by serial number.
void sort(std::vector<const Row *> &rows, Sort by);

// The window's search: the serial number, the site or any value of the
// latest settings holds the text (case ignored); a telephone number also
// when typed with spaces, dashes or dots.
class Search
{
  public:
    explicit Search(const QString &text);
    bool matches(const Row &row) const;

  private:
    QString m_text;
    QByteArray m_latin1;  // the text when it can stand in a stored value
    QByteArray m_dialled; // dialled(), when it holds a digit
};

} // namespace Fleet
