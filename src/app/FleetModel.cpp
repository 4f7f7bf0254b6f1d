#include "app/FleetModel.h"

#include "lang/LanguageTexts.h"

#include <algorithm>

namespace
{
// A communicator's row has no parent; an entry's internal id is its
// communicator's place among the rows shown, plus one.
constexpr quintptr TopLevel = 0;

QString dateOf(const QString &stamp)
{
    // Day, month and year as the status bar writes them, then the time.
    return QDateTime::fromString(stamp, QStringLiteral("yyyy-MM-dd HH-mm-ss"))
        .toString(QStringLiteral("d.M.yyyy  H:mm:ss"));
}
} // namespace

FleetModel::FleetModel(QObject *parent) : QAbstractItemModel(parent)
{
}

QString FleetModel::eventText(HistoryStore::Event event)
{
    switch (event) {
    case HistoryStore::Event::Read:
        return LanguageTexts::text(Text::EventRead);
    case HistoryStore::Event::BeforeWrite:
        return LanguageTexts::text(Text::EventBeforeWrite);
    case HistoryStore::Event::Written:
        return LanguageTexts::text(Text::EventWritten);
    case HistoryStore::Event::ReadBack:
        return LanguageTexts::text(Text::EventReadBack);
    }
    return QString();
}

void FleetModel::setFleet(Fleet::List list)
{
    beginResetModel();
    m_list = std::move(list);
    arrange();
    endResetModel();
}

void FleetModel::setSearch(const QString &text)
{
    if (text == m_search)
        return;
    beginResetModel();
    m_search = text;
    arrange();
    endResetModel();
}

void FleetModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= Columns)
        return;
    emit layoutAboutToBeChanged();
    m_sortColumn = column;
    m_sortOrder = order;
    const QModelIndexList before = persistentIndexList();
    std::vector<const Fleet::Row *> rows;
    for (const QModelIndex &i : before)
        rows.push_back(rowOf(i));
    arrange();
    QModelIndexList after;
    for (qsizetype k = 0; k < before.size(); ++k) {
        const QModelIndex &i = before[k];
        const QModelIndex row = rows[size_t(k)] ? indexOfSerial(rows[size_t(k)]->serial) : QModelIndex();
        after << (!row.isValid() || i.internalId() == TopLevel ? row.siblingAtColumn(i.column())
                                                               : index(i.row(), i.column(), row));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

void FleetModel::arrange()
{
    m_shown.clear();
    const Fleet::Search search(m_search);
    for (size_t i = 0; i < m_list.rows.size(); ++i)
        if (search.matches(m_list.rows[i]))
            m_shown.push_back(int(i));
    // The rows come in serial-number order: that orders equal keys.
    const auto key = [this](int i) -> const QString & {
        const Fleet::Row &r = m_list.rows[size_t(i)];
        switch (m_sortColumn) {
        case SiteColumn:
            return r.site;
        case DateColumn:
            return r.stamp;
        case TechnicianColumn:
            return r.technician;
        case FirmwareColumn:
            return r.firmware;
        default:
            return r.serial;
        }
    };
    const bool descending = m_sortOrder == Qt::DescendingOrder;
    if (m_sortColumn == SerialColumn) {
        if (descending)
            std::reverse(m_shown.begin(), m_shown.end());
        return;
    }
    std::stable_sort(m_shown.begin(), m_shown.end(), [&](int a, int b) {
        if (m_sortColumn == EventColumn) {
            const Fleet::Row &x = m_list.rows[size_t(a)], &y = m_list.rows[size_t(b)];
            return descending ? eventText(y.event) < eventText(x.event)
                              : eventText(x.event) < eventText(y.event);
        }
        // Communicators without a site come last either way.
        if (m_sortColumn == SiteColumn && key(a).isEmpty() != key(b).isEmpty())
            return key(b).isEmpty();
        const int c = key(a).compare(key(b), Qt::CaseInsensitive);
        return descending ? c > 0 : c < 0;
    });
}

const Fleet::Row *FleetModel::rowOf(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    const size_t shown =
        index.internalId() == TopLevel ? size_t(index.row()) : size_t(index.internalId() - 1);
    return shown < m_shown.size() ? &m_list.rows[size_t(m_shown[shown])] : nullptr;
}

const Fleet::Entry *FleetModel::entryOf(const QModelIndex &index) const
{
    const Fleet::Row *row = rowOf(index);
    if (!row || row->count == 0 || size_t(row->first + row->count) > m_list.entries.size())
        return nullptr;
    const qsizetype offset = index.internalId() == TopLevel ? 0 : index.row();
    return offset < row->count ? &m_list.entries[size_t(row->first + offset)] : nullptr;
}

QModelIndex FleetModel::indexOfSerial(const QString &serial) const
{
    for (size_t i = 0; i < m_shown.size(); ++i)
        if (m_list.rows[size_t(m_shown[i])].serial == serial)
            return createIndex(int(i), 0, TopLevel);
    return {};
}

QModelIndex FleetModel::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || column < 0 || column >= Columns)
        return {};
    if (!parent.isValid())
        return size_t(row) < m_shown.size() ? createIndex(row, column, TopLevel) : QModelIndex();
    if (parent.internalId() != TopLevel)
        return {};
    const Fleet::Row *r = rowOf(parent);
    return r && row < r->count ? createIndex(row, column, quintptr(parent.row()) + 1) : QModelIndex();
}

QModelIndex FleetModel::parent(const QModelIndex &child) const
{
    if (!child.isValid() || child.internalId() == TopLevel)
        return {};
    return createIndex(int(child.internalId() - 1), 0, TopLevel);
}

int FleetModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return int(m_shown.size());
    if (parent.internalId() != TopLevel || parent.column() != 0)
        return 0;
    // Entries are known only when the fleet was made with them.
    const Fleet::Row *r = rowOf(parent);
    return r && size_t(r->first + r->count) <= m_list.entries.size() ? int(r->count) : 0;
}

int FleetModel::columnCount(const QModelIndex &) const
{
    return Columns;
}

QVariant FleetModel::data(const QModelIndex &index, int role) const
{
    const Fleet::Row *row = rowOf(index);
    if (!row)
        return {};
    if (index.internalId() == TopLevel) {
        if (role == Qt::ToolTipRole)
            return row->latest;
        if (role != Qt::DisplayRole)
            return {};
        switch (index.column()) {
        case SerialColumn:
            return row->serial;
        case SiteColumn:
            return row->site;
        case DateColumn:
            return dateOf(row->stamp);
        case EventColumn:
            return row->count ? eventText(row->event) : QString();
        case TechnicianColumn:
            return row->technician;
        case FirmwareColumn:
            return row->firmware;
        }
        return {};
    }
    const Fleet::Entry *e = entryOf(index);
    if (!e)
        return {};
    if (role == Qt::ToolTipRole)
        return e->path;
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case DateColumn:
        return dateOf(e->stamp);
    case EventColumn:
        return eventText(e->event);
    case TechnicianColumn:
        return e->technician;
    case FirmwareColumn:
        return e->firmware;
    }
    return {};
}

QVariant FleetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case SerialColumn:
        return LanguageTexts::text(Text::SerialNumber);
    case SiteColumn:
        return LanguageTexts::text(Text::Site);
    case DateColumn:
        return LanguageTexts::text(Text::DateAndTime);
    case EventColumn:
        return LanguageTexts::text(Text::Event);
    case TechnicianColumn:
        return LanguageTexts::text(Text::Technician);
    case FirmwareColumn:
        return LanguageTexts::text(Text::Firmware);
    }
    return {};
}
