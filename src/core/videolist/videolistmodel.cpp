#include "core/videolist/videolistmodel.h"

#include <algorithm>

namespace fulmaro {

VideoListModel::VideoListModel(QObject *parent)
    : QAbstractItemModel(parent)
{
    setObjectName(QStringLiteral("VideoListModel"));
    m_groups.append(Group{0, QString()});
}

bool VideoListModel::wantsGrouping() const
{
    for (const VideoItem &row : m_rows) {
        if (row.group != 0)
            return true;
    }
    return false;
}

int VideoListModel::groupSlot(int groupId) const
{
    for (int i = 0; i < m_groups.size(); ++i) {
        if (m_groups.at(i).id == groupId)
            return i;
    }
    return -1;
}

void VideoListModel::rebuildLayout()
{
    m_grouped = wantsGrouping();
    m_shownGroups.clear();
    m_groupPositions.clear();
    m_posGroupRow.assign(static_cast<size_t>(m_rows.size()), -1);
    m_posRowInGroup.assign(static_cast<size_t>(m_rows.size()), -1);
    if (!m_grouped)
        return;
    std::vector<std::vector<int>> perSlot(static_cast<size_t>(m_groups.size()));
    for (int pos = 0; pos < m_rows.size(); ++pos) {
        const int slot = groupSlot(m_rows.at(pos).group);
        if (slot >= 0)
            perSlot[static_cast<size_t>(slot)].push_back(pos);
    }
    // Groups are shown in the order they were made; a group without rows is not shown.
    for (int slot = 0; slot < m_groups.size(); ++slot) {
        auto &positions = perSlot[static_cast<size_t>(slot)];
        if (positions.empty())
            continue;
        const int groupRow = static_cast<int>(m_shownGroups.size());
        for (int i = 0; i < static_cast<int>(positions.size()); ++i) {
            m_posGroupRow[static_cast<size_t>(positions[i])] = groupRow;
            m_posRowInGroup[static_cast<size_t>(positions[i])] = i;
        }
        m_shownGroups.push_back(slot);
        m_groupPositions.push_back(std::move(positions));
    }
}

quint64 VideoListModel::append(const VideoItem &given)
{
    VideoItem item = given;
    item.key = ++m_lastKey;
    if (!m_grouped && item.group == 0) {
        beginInsertRows({}, count(), count());
        m_rows.append(item);
        rebuildLayout();
        endInsertRows();
        return item.key;
    }
    // Grouped: the row goes at the end of its group's rows when that group is already shown.
    const int slot = groupSlot(item.group);
    const auto shown = std::find(m_shownGroups.begin(), m_shownGroups.end(), slot);
    if (m_grouped && slot >= 0 && shown != m_shownGroups.end()) {
        const int groupRow = static_cast<int>(shown - m_shownGroups.begin());
        const int inGroup =
            static_cast<int>(m_groupPositions[static_cast<size_t>(groupRow)].size());
        beginInsertRows(index(groupRow, 0), inGroup, inGroup);
        m_rows.append(item);
        rebuildLayout();
        endInsertRows();
        return item.key;
    }
    // A header appears or the layout changes altogether.
    beginResetModel();
    m_rows.append(item);
    rebuildLayout();
    endResetModel();
    return item.key;
}

int VideoListModel::positionOfKey(quint64 key) const
{
    for (int pos = 0; pos < count(); ++pos) {
        if (m_rows.at(pos).key == key)
            return pos;
    }
    return -1;
}

bool VideoListModel::setStill(quint64 key, StillState state, const QByteArray &picture)
{
    const int pos = positionOfKey(key);
    if (pos < 0)
        return false;
    VideoItem &row = m_rows[pos];
    row.stillState = state;
    row.still = state == StillState::Ready ? picture : QByteArray();
    const QModelIndex cell = indexOfPosition(pos, ColCaption);
    Q_EMIT dataChanged(cell, cell, {StillRole, StillStateRole, Qt::DecorationRole});
    return true;
}

void VideoListModel::rowChanged(int position)
{
    Q_EMIT dataChanged(indexOfPosition(position, 0), indexOfPosition(position, ColumnCount - 1));
}

bool VideoListModel::exchangeItems(int first, int second)
{
    if (first < 0 || second < 0 || first >= count() || second >= count())
        return false;
    if (first == second)
        return true;
    const bool layoutMoves = m_rows.at(first).group != m_rows.at(second).group;
    if (layoutMoves)
        beginResetModel();
    // Whole contents change places: caption, texts, mark, group and the hidden facts.
    m_rows.swapItemsAt(first, second);
    if (layoutMoves) {
        rebuildLayout();
        endResetModel();
    } else {
        rowChanged(first);
        rowChanged(second);
    }
    return true;
}

int VideoListModel::checkedCount() const
{
    return static_cast<int>(
        std::count_if(m_rows.begin(), m_rows.end(), [](const VideoItem &r) { return r.checked; }));
}

bool VideoListModel::removeAt(int position)
{
    if (position < 0 || position >= count())
        return false;
    if (!m_grouped) {
        beginRemoveRows({}, position, position);
        m_rows.removeAt(position);
        rebuildLayout();
        endRemoveRows();
        return true;
    }
    beginResetModel();
    m_rows.removeAt(position);
    rebuildLayout();
    endResetModel();
    return true;
}

int VideoListModel::removeChecked()
{
    int removed = 0;
    if (!m_grouped) {
        for (int pos = count() - 1; pos >= 0; --pos) {
            if (!m_rows.at(pos).checked)
                continue;
            beginRemoveRows({}, pos, pos);
            m_rows.removeAt(pos);
            rebuildLayout();
            endRemoveRows();
            ++removed;
        }
        return removed;
    }
    beginResetModel();
    for (int pos = count() - 1; pos >= 0; --pos) {
        if (m_rows.at(pos).checked) {
            m_rows.removeAt(pos);
            ++removed;
        }
    }
    rebuildLayout();
    endResetModel();
    return removed;
}

void VideoListModel::setAllChecked(bool checked)
{
    for (int pos = 0; pos < count(); ++pos) {
        if (m_rows[pos].checked != checked) {
            m_rows[pos].checked = checked;
            rowChanged(pos);
        }
    }
}

void VideoListModel::invertChecks()
{
    for (int pos = 0; pos < count(); ++pos) {
        m_rows[pos].checked = !m_rows[pos].checked;
        rowChanged(pos);
    }
}

int VideoListModel::unusedGroupId() const
{
    int id = 0;
    while (groupSlot(id) >= 0)
        ++id;
    return id;
}

int VideoListModel::groupChecked(const QString &header)
{
    if (checkedCount() == 0)
        return -1;
    const int id = unusedGroupId();
    beginResetModel();
    m_groups.append(Group{id, header});
    for (VideoItem &row : m_rows) {
        if (row.checked)
            row.group = id;
        row.checked = false;
    }
    rebuildLayout();
    endResetModel();
    return id;
}

QModelIndex VideoListModel::indexOfPosition(int position, int column) const
{
    if (position < 0 || position >= count() || column < 0 || column >= ColumnCount)
        return {};
    if (!m_grouped)
        return createIndex(position, column, quintptr(0));
    const int groupRow = m_posGroupRow[static_cast<size_t>(position)];
    if (groupRow < 0)
        return {};
    return createIndex(m_posRowInGroup[static_cast<size_t>(position)], column,
                       quintptr(groupRow + 1));
}

int VideoListModel::positionOf(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this)
        return -1;
    if (!m_grouped)
        return index.internalId() == 0 ? index.row() : -1;
    if (index.internalId() == 0)
        return -1;
    const auto &positions = m_groupPositions[static_cast<size_t>(index.internalId() - 1)];
    return index.row() < static_cast<int>(positions.size())
               ? positions[static_cast<size_t>(index.row())]
               : -1;
}

bool VideoListModel::isGroupHeader(const QModelIndex &index) const
{
    return m_grouped && index.isValid() && index.internalId() == 0;
}

QModelIndex VideoListModel::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || column < 0 || column >= ColumnCount)
        return {};
    if (!parent.isValid()) {
        const int top = m_grouped ? static_cast<int>(m_shownGroups.size()) : count();
        return row < top ? createIndex(row, column, quintptr(0)) : QModelIndex();
    }
    if (!isGroupHeader(parent) || parent.column() != 0)
        return {};
    const auto &positions = m_groupPositions[static_cast<size_t>(parent.row())];
    if (row >= static_cast<int>(positions.size()))
        return {};
    return createIndex(row, column, quintptr(parent.row() + 1));
}

QModelIndex VideoListModel::parent(const QModelIndex &child) const
{
    if (!child.isValid() || child.internalId() == 0)
        return {};
    return createIndex(static_cast<int>(child.internalId() - 1), 0, quintptr(0));
}

int VideoListModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return m_grouped ? static_cast<int>(m_shownGroups.size()) : count();
    if (isGroupHeader(parent) && parent.column() == 0)
        return static_cast<int>(m_groupPositions[static_cast<size_t>(parent.row())].size());
    return 0;
}

int VideoListModel::columnCount(const QModelIndex &) const
{
    return ColumnCount;
}

QVariant VideoListModel::data(const QModelIndex &index, int role) const
{
    if (isGroupHeader(index)) {
        if (role == Qt::DisplayRole && index.column() == 0)
            return m_groups.at(m_shownGroups[static_cast<size_t>(index.row())]).header;
        return {};
    }
    const int pos = positionOf(index);
    if (pos < 0)
        return {};
    const VideoItem &row = m_rows.at(pos);
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case ColCaption:
            return row.caption;
        case ColDuration:
            return row.duration;
        case ColType:
            return row.type;
        case ColSize:
            return row.size;
        case ColResolution:
            return row.resolution;
        default:
            return {};
        }
    }
    if (role == RefusedRole)
        return !row.renderable();
    if (role == Qt::ToolTipRole && index.column() == ColResolution && !row.renderable())
        return refusalMessage(row);
    // The list shows the name and a shortened folder; the whole path is a hover away.
    if (role == Qt::ToolTipRole && index.column() == ColCaption)
        return row.caption;
    if (index.column() == ColCaption) {
        switch (role) {
        case Qt::CheckStateRole:
            return row.checked ? Qt::Checked : Qt::Unchecked;
        case StillRole:
            return row.still;
        case StillStateRole:
            return int(row.stillState);
        case KeyRole:
            return row.key;
        default:
            break;
        }
    }
    return {};
}

bool VideoListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    const int pos = positionOf(index);
    if (pos < 0 || role != Qt::CheckStateRole || index.column() != ColCaption)
        return false;
    m_rows[pos].checked = value.toInt() == Qt::Checked;
    rowChanged(pos);
    return true;
}

Qt::ItemFlags VideoListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (isGroupHeader(index))
        return Qt::ItemIsEnabled;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == ColCaption)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant VideoListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case ColCaption:
        return QStringLiteral("Dosya Adı");
    case ColDuration:
        return QStringLiteral("Süre");
    case ColType:
        return QStringLiteral("Tür");
    case ColSize:
        return QStringLiteral("Dosya Boyutu");
    case ColResolution:
        return QStringLiteral("Çözünürlük");
    default:
        return {};
    }
}

} // namespace fulmaro
