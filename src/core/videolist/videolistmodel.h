#pragma once

#include "core/videolist/videoitem.h"

#include <QAbstractItemModel>
#include <QList>

#include <vector>

namespace fulmaro {

// The video list: rows in list order and the groups they belong to. While every row sits in
// group 0 (whose header is empty) the rows are the model's top level; once rows stand in other
// groups, each group that holds rows becomes a header at the top level with its rows, in list
// order, beneath it.
class VideoListModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    enum Column { ColCaption, ColDuration, ColType, ColSize, ColResolution, ColumnCount };
    // RefusedRole: true on every cell of a row that cannot be rendered; the view greys its reason.
    // Column 0 of a row: its still's bytes, its StillState as an int, its key.
    enum Role { RefusedRole = Qt::UserRole + 1, StillRole, StillStateRole, KeyRole };

    struct Group
    {
        int id = 0;
        QString header;
    };

    explicit VideoListModel(QObject *parent = nullptr);

    // The list itself, by position in list order.
    int count() const { return static_cast<int>(m_rows.size()); }
    const VideoItem &item(int position) const { return m_rows.at(position); }
    const QList<VideoItem> &items() const { return m_rows; }
    const QList<Group> &groups() const { return m_groups; }
    bool isGrouped() const { return m_grouped; }

    // Gives the row the next key; returns it.
    quint64 append(const VideoItem &item);
    // The row with this key, or -1 (removed).
    int positionOfKey(quint64 key) const;
    // Sets the still of the row with this key; false when the row is gone.
    bool setStill(quint64 key, StillState state, const QByteArray &picture = {});
    // Exchanges the complete contents of two rows; false when a position is out of range.
    bool exchangeItems(int first, int second);
    int checkedCount() const;
    // Removes every marked row, last to first; returns how many went.
    int removeChecked();
    // Removes the row at the position; false when there is none.
    bool removeAt(int position);
    void setAllChecked(bool checked);
    void invertChecks();
    // The smallest ID no group uses.
    int unusedGroupId() const;
    // Puts the marked rows into a new group with this header and clears every mark. Returns the
    // new group's ID, or -1 (and changes nothing) when no row is marked.
    int groupChecked(const QString &header);

    // Between list positions and the model's indexes; -1 for a group header.
    QModelIndex indexOfPosition(int position, int column = 0) const;
    int positionOf(const QModelIndex &index) const;
    bool isGroupHeader(const QModelIndex &index) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    // Index layout: internalId 0 marks a top-level index, otherwise the row's group slot + 1.
    void rebuildLayout();
    bool wantsGrouping() const;
    void rowChanged(int position);
    int groupSlot(int groupId) const;

    QList<VideoItem> m_rows;
    QList<Group> m_groups;
    quint64 m_lastKey = 0;
    bool m_grouped = false;
    // Grouped layout: the shown groups (slots into m_groups) and each one's list positions.
    std::vector<int> m_shownGroups;
    std::vector<std::vector<int>> m_groupPositions;
    // Where each position stands: shown-group row and row within the group.
    std::vector<int> m_posGroupRow;
    std::vector<int> m_posRowInGroup;
};

} // namespace fulmaro
