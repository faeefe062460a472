#pragma once

#include <QPixmap>
#include <QWidget>

namespace fulmaro {

// Shows one picture scaled up or down to fit, keeping its proportions, centred; empty at first.
class PictureBox : public QWidget
{
    Q_OBJECT
public:
    explicit PictureBox(QWidget *parent = nullptr);

    void setPicture(const QPixmap &picture);
    const QPixmap &picture() const { return m_picture; }

    // Where the picture lands inside the widget.
    QRect pictureRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_picture;
};

} // namespace fulmaro
