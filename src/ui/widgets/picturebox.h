#pragma once

#include <QImage>
#include <QWidget>

namespace fulmaro {

// One picture, scaled up or down to fit the widget in both directions keeping its proportions,
// centred; empty at first. It paints no background of its own, so whatever lies behind shows
// around the picture and through its transparent parts.
class PictureBox : public QWidget
{
    Q_OBJECT
public:
    explicit PictureBox(QWidget *parent = nullptr);

    void setPicture(const QImage &picture);
    const QImage &picture() const { return m_picture; }

    // Where the picture lands inside the widget; empty while there is none.
    QRect pictureRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_picture;
};

} // namespace fulmaro
