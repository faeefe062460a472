#pragma once

#include "ui/widgets/pathdelegate.h"

#include <QPixmap>

namespace fulmaro {

// Draws a row's still in front of its caption: the grabbed picture kept to its proportions, a
// blank of the same size while it is still coming, or a plain sign for a row without a picture.
// The pictures are decoded once and kept in the application's pixmap cache. The caption reads as
// the file's name over its folder.
class StillDelegate : public PathDelegate
{
    Q_OBJECT
public:
    using PathDelegate::PathDelegate;

    // The size a still is shown at, in device-independent pixels.
    static QSize stillSize() { return QSize(64, 36); }
    // What column 0 of a row shows; a null pixmap for a group header.
    static QPixmap stillPixmap(const QModelIndex &index);
    // The sign of a row without a picture.
    static QPixmap noPictureSign();

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
};

} // namespace fulmaro
