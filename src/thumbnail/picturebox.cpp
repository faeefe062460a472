#include "thumbnail/picturebox.h"

#include <QPainter>

namespace fulmaro {

PictureBox::PictureBox(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void PictureBox::setPicture(const QPixmap &picture)
{
    m_picture = picture;
    update();
}

QRect PictureBox::pictureRect() const
{
    if (m_picture.isNull())
        return {};
    const QRect area = contentsRect();
    const QSize size = m_picture.size().scaled(area.size(), Qt::KeepAspectRatio);
    QRect target(QPoint(0, 0), size);
    target.moveCenter(area.center());
    return target;
}

void PictureBox::paintEvent(QPaintEvent *)
{
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(pictureRect(), m_picture);
}

} // namespace fulmaro
