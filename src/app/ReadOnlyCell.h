#pragma once

#include <QTableWidgetItem>

// A table cell the user can select and copy from but not edit.
inline QTableWidgetItem *readOnlyCell(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}
