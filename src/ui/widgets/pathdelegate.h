#pragma once

#include <QStyledItemDelegate>

class QFontMetrics;

namespace fulmaro {

// Draws a cell that holds a file's full path as its name, whole, followed by its folder in a
// smaller grey type, shortened in the middle, so that twenty files of one folder read apart. With
// room for two lines the folder goes under the name. An output name given in OutputRole stands
// after the name ("a.mov → a.mp4").
class PathDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    static constexpr int OutputRole = Qt::UserRole + 40;

    struct Parts
    {
        QString name;   // the file name, with " → output" when there is one
        QString folder; // the folder, shortened in the middle to the width given
    };
    // The texts drawn for a path in the width given; the folder in folderMetrics.
    static Parts parts(const QString &path, const QString &output, int folderWidth,
                       const QFontMetrics &folderMetrics);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
};

} // namespace fulmaro
