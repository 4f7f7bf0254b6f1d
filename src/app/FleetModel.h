#pragma once

#include "history/Fleet.h"

#include <QAbstractItemModel>

#include <vector>

// The history window's rows: one a communicator (serial number, site, the
// latest entry's date and event, technician, firmware), its entries below
// it, newest first. The search leaves the communicators whose serial
// number, site or any latest value holds the text; a click on a column's
// header sorts by it.
class FleetModel : public QAbstractItemModel
{
    Q_OBJECT

  public:
    enum Column {
        SerialColumn,
        SiteColumn,
        DateColumn,
        EventColumn,
        TechnicianColumn,
        FirmwareColumn,
        Columns
    };

    explicit FleetModel(QObject *parent = nullptr);

    void setFleet(Fleet::List list);
    void setSearch(const QString &text);
    const Fleet::List &fleet() const { return m_list; }

    // The communicator of an index (of its row or of one of its entries);
    // nullptr for none.
    const Fleet::Row *rowOf(const QModelIndex &index) const;
    // The entry an index stands for; a communicator's row stands for its
    // newest entry. nullptr when it has none.
    const Fleet::Entry *entryOf(const QModelIndex &index) const;
    // The index of the communicator with the serial number; invalid when
    // the search hides it.
    QModelIndex indexOfSerial(const QString &serial) const;

    // The language text of an event.
    static QString eventText(HistoryStore::Event event);

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

  private:
    void arrange();

    Fleet::List m_list;
    QString m_search;
    std::vector<int> m_shown; // rows of m_list the search leaves, in the order shown
    int m_sortColumn = DateColumn;
    Qt::SortOrder m_sortOrder = Qt::DescendingOrder;
};
