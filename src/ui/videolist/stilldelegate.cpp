#include "ui/videolist/stilldelegate.h"

#include "core/videolist/videolistmodel.h"

#include <QPainter>
#include <QPixmapCache>

namespace fulmaro {

namespace {

// Drawn at twice the shown size, like the grabbed stills.
QSize drawnSize()
{
    return StillDelegate::stillSize() * 2;
}

QPixmap blank()
{
    QPixmap pixmap(drawnSize());
    pixmap.fill(Qt::transparent);
    return pixmap;
}

} // namespace

QPixmap StillDelegate::noPictureSign()
{
    const QString cacheKey = QStringLiteral("fulmaro-still-none");
    QPixmap sign;
    if (QPixmapCache::find(cacheKey, &sign))
        return sign;
    sign = blank();
    QPainter painter(&sign);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(QPointF(0, 0), QSizeF(drawnSize())).adjusted(2, 2, -2, -2);
    painter.setPen(QPen(QColor(0xa0, 0xa0, 0xa0), 2));
    painter.setBrush(QColor(0xe8, 0xe8, 0xe8));
    painter.drawRoundedRect(box, 6, 6);
    // A circle struck through: no picture.
    const qreal radius = box.height() * 0.32;
    const QPointF centre = box.center();
    painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 5, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(centre, radius, radius);
    const qreal d = radius * 0.7071;
    painter.drawLine(centre + QPointF(-d, d), centre + QPointF(d, -d));
    painter.end();
    QPixmapCache::insert(cacheKey, sign);
    return sign;
}

QPixmap StillDelegate::stillPixmap(const QModelIndex &index)
{
    const QVariant state = index.data(VideoListModel::StillStateRole);
    if (!state.isValid())
        return QPixmap();
    switch (StillState(state.toInt())) {
    case StillState::Pending:
        return blank();
    case StillState::None:
        return noPictureSign();
    case StillState::Ready:
        break;
    }
    const QString cacheKey =
        QStringLiteral("fulmaro-still-%1").arg(index.data(VideoListModel::KeyRole).toULongLong());
    QPixmap picture;
    if (QPixmapCache::find(cacheKey, &picture))
        return picture;
    if (!picture.loadFromData(index.data(VideoListModel::StillRole).toByteArray()))
        return noPictureSign();
    QPixmapCache::insert(cacheKey, picture);
    return picture;
}

void StillDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    PathDelegate::initStyleOption(option, index);
    const QPixmap still = stillPixmap(index);
    if (still.isNull())
        return;
    option->features |= QStyleOptionViewItem::HasDecoration;
    option->decorationSize = stillSize();
    option->decorationAlignment = Qt::AlignCenter;
    // The icon fits the picture into the box without changing its proportions.
    option->icon = QIcon(still);
}

QSize StillDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    // Every line, group headers too, has the still's height: the list keeps one row height.
    QSize size = PathDelegate::sizeHint(option, index);
    size.setHeight(qMax(size.height(), stillSize().height() + 2));
    return size;
}

} // namespace fulmaro
