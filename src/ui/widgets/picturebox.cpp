#include "ui/widgets/picturebox.h"

#include <QPainter>

namespace fulmaro {

PictureBox::PictureBox(QWidget *parent)
    : QWidget(parent)
{
    setAutoFillBackground(false);
}

void PictureBox::setPicture(const QImage &picture)
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
    target.moveTo(area.left() + (area.width() - size.width()) / 2,
                  area.top() + (area.height() - size.height()) / 2);
    return target;
}

void PictureBox::paintEvent(QPaintEvent *)
{
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(pictureRect(), m_picture);
}

} // namespace fulmaro
