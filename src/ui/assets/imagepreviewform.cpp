#include "ui/assets/imagepreviewform.h"

#include "core/assets/assetfiles.h"
#include "ui/dialogs/msgform.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImageReader>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace fulmaro {

namespace {

// List rows of a fixed height, as compact as the names need.
class RowDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), 13};
    }
};

} // namespace

void HatchBackground::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(Qt::NoPen);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.fillRect(rect(), QBrush(QColor(128, 128, 0), Qt::DiagCrossPattern));
}

ImagePreviewForm::ImagePreviewForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ImagePreviewForm"));
    setWindowTitle(QStringLiteral("Önizleme"));
    setSizeGripEnabled(true);

    auto *column = new QWidget(this);
    column->setFixedWidth(185);
    auto *columnLayout = new QVBoxLayout(column);
    columnLayout->setContentsMargins(5, 5, 5, 5);
    columnLayout->setSpacing(5);
    imageListBox = new QListWidget(column);
    imageListBox->setObjectName(QStringLiteral("ImageListBox"));
    imageListBox->setSelectionMode(QAbstractItemView::SingleSelection);
    imageListBox->setEditTriggers(QAbstractItemView::NoEditTriggers);
    imageListBox->setUniformItemSizes(true);
    imageListBox->setItemDelegate(new RowDelegate(imageListBox));
    chooseButton = new QPushButton(QStringLiteral("Seç"), column);
    chooseButton->setObjectName(QStringLiteral("Button1"));
    chooseButton->setFixedHeight(25);
    chooseButton->setAutoDefault(false);
    columnLayout->addWidget(imageListBox, 1);
    columnLayout->addWidget(chooseButton);

    // The picture lies over the hatch in the same cell, so both follow the window's size.
    auto *area = new QWidget(this);
    auto *stack = new QGridLayout(area);
    stack->setContentsMargins(0, 0, 0, 0);
    backgroundImage = new HatchBackground(area);
    backgroundImage->setObjectName(QStringLiteral("BackgroundImage"));
    image = new PictureBox(area);
    image->setObjectName(QStringLiteral("Image"));
    stack->addWidget(backgroundImage, 0, 0);
    stack->addWidget(image, 0, 0);
    image->raise();

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(column);
    layout->addWidget(area, 1);
    resize(658, 452);

    // A user's pick by mouse or keyboard; the opener's own selection goes through
    // imageListBoxClick directly.
    connect(imageListBox, &QListWidget::itemSelectionChanged, this,
            [this] { imageListBoxClick(); });
    connect(chooseButton, &QPushButton::clicked, this, &ImagePreviewForm::chooseButtonClick);
}

QString ImagePreviewForm::pictureFile(const QString &entry) const
{
    const QString path = libraryFilePath(directory, entry, QStringLiteral(".png"));
    return path.isEmpty() ? directory + entry + QStringLiteral(".png") : path;
}

bool ImagePreviewForm::imageListBoxClick()
{
    const QList<QListWidgetItem *> selected = imageListBox->selectedItems();
    if (selected.isEmpty())
        return true;
    const QString file = pictureFile(selected.constFirst()->text());
    QImageReader reader(file);
    const QImage picture = reader.read();
    if (picture.isNull()) {
        showMsg(MsgDlgType::mtError,
                QStringLiteral("Resim yüklenemedi: %1\n%2").arg(file, reader.errorString()));
        return false;
    }
    image->setPicture(picture);
    return true;
}

void ImagePreviewForm::chooseButtonClick()
{
    if (!imageListBox->selectedItems().isEmpty())
        accept();
}

void ImagePreviewForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

} // namespace fulmaro
