#pragma once

#include "ui/widgets/picturebox.h"

#include <QDialog>
#include <QImage>

class QListWidget;
class QPushButton;

namespace fulmaro {

// The olive diagonal cross-hatch behind a picture, over the window's face colour: it shows
// where a picture is transparent.
class HatchBackground : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *event) override;
};

// The picture window: browse one overlay library and choose a picture. The opener fills
// directory and imageListBox, may preselect an entry (then calls imageListBoxClick), runs the
// window modally and reads the selected entry after an accepted run.
class ImagePreviewForm : public QDialog
{
    Q_OBJECT
public:
    explicit ImagePreviewForm(QWidget *parent = nullptr);

    QString directory; // ends with a separator

    QListWidget *imageListBox;
    HatchBackground *backgroundImage;
    PictureBox *image;
    QPushButton *chooseButton;

    // The file an entry stands for: directory + entry + ".png", found without regard to case.
    QString pictureFile(const QString &entry) const;

public Q_SLOTS:
    // Shows the selected entry's picture. A picture that cannot be loaded is reported and the
    // area keeps what it showed; returns whether a picture was loaded (true with no selection).
    bool imageListBoxClick();
    // "Seç": accepts when an entry is selected, otherwise the window stays open.
    void chooseButtonClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    bool m_placed = false;
};

} // namespace fulmaro
