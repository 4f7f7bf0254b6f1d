#pragma once

#include "platform/Result.h"
#include "settings/ValueAssignment.h"

#include <QByteArray>
#include <QList>
#include <QString>

// A table of settings files to make from one template, as a spreadsheet
// saves it: the first line names the columns, "file" (the name of the file
// to make) and any of the parameters' keys; every further line is one file.
// A cell left empty keeps the template's value.
//
// Separator "," or ";" (spreadsheets in Czech and German locales write ";"),
// whichever the first line holds outside quotes; cells in double quotes may
// hold separators, line breaks and doubled quotes. UTF-8 with or without a
// byte order mark, or Windows-1250. Blanks around a cell and empty lines do
// not count.
namespace SettingsTable
{

struct Row {
    int line = 0;  // where the row starts in the file, counting from 1
    QString file;  // the output name; ".kvr" added when it has no extension
    QList<ValueAssignment::Assignment> values; // the row's filled cells, in column order
};

// The rows in file order. Fails (Failure::Kind::Format, the reason naming
// the line) on a first line without a "file" column, an unknown or repeated
// column (an unknown key named with the nearest known one), a row with more
// cells than columns, an empty output name, one that is not a plain file
// name (a folder in it, "." or ".."), two rows making the same file (names
// compared without regard to case, as a file system may), or a quote left
// open.
Result<QList<Row>> parse(const QByteArray &bytes);

} // namespace SettingsTable
