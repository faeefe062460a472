#include "ui/thumbnail/thumbnailform.h"

#include "core/base/settingsfile.h"

#include "core/runner/toolrun.h"
#include "core/thumbnail/thumbnailcommand.h"
#include "core/videolist/mediaprobe.h"
#include "core/videolist/videolistmodel.h"
#include "ui/dialogs/msgform.h"
#include "ui/videolist/videolistcontroller.h"
#include "ui/widgets/picturebox.h"

#include <QAction>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QScreen>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

namespace fulmaro {

namespace {

QPushButton *makeButton(const char *objectName, const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(objectName));
    // No button answers Enter for the whole window.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

} // namespace

ThumbnailForm::ThumbnailForm(const WorkFolders &folders, const ToolSet &tools, QWidget *parent)
    : QDialog(parent)
    , m_folders(folders)
    , m_tools(tools)
{
    setObjectName(QStringLiteral("ThumbnailForm"));
    setWindowTitle(QStringLiteral("Küçük Resim"));
    setModal(true);
    QFont f(QStringLiteral("Tahoma"));
    f.setPointSize(8);
    setFont(f);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // The picture and the slider share one 5-pixel border.
    auto *upper = new QWidget(this);
    upper->setObjectName(QStringLiteral("Panel1"));
    auto *upperLayout = new QVBoxLayout(upper);
    upperLayout->setContentsMargins(5, 5, 5, 5);
    upperLayout->setSpacing(0);
    pictureBox = new PictureBox(upper);
    pictureBox->setObjectName(QStringLiteral("Image1"));
    upperLayout->addWidget(pictureBox, 1);
    positionSlider = new QSlider(Qt::Horizontal, upper);
    positionSlider->setObjectName(QStringLiteral("TrackBar1"));
    positionSlider->setFixedHeight(27);
    positionSlider->setRange(0, 100);
    positionSlider->setPageStep(10);
    positionSlider->setSingleStep(1);
    positionSlider->setTickPosition(QSlider::TicksBelow);
    positionSlider->setTickInterval(100);
    upperLayout->addWidget(positionSlider);
    layout->addWidget(upper, 1);

    auto *bottom = new QWidget(this);
    bottom->setObjectName(QStringLiteral("Panel2"));
    bottom->setFixedHeight(33);
    auto *bottomLayout = new QHBoxLayout(bottom);
    bottomLayout->setContentsMargins(5, 4, 5, 4);
    randomButton = makeButton("Button3", QStringLiteral("Rastgele"), bottom);
    saveButton = makeButton("Button1", QStringLiteral("Kaydet"), bottom);
    closeButton = makeButton("Button2", QStringLiteral("Çıkış"), bottom);
    bottomLayout->addWidget(randomButton);
    bottomLayout->addStretch(1);
    bottomLayout->addWidget(saveButton);
    bottomLayout->addWidget(closeButton);
    layout->addWidget(bottom);

    delayTimer = new QTimer(this);
    delayTimer->setObjectName(QStringLiteral("Timer1"));
    delayTimer->setSingleShot(true);
    delayTimer->setInterval(250);
    // A coarse timer may fire up to 5% late; the delay is felt on every picture.
    delayTimer->setTimerType(Qt::PreciseTimer);

    connect(positionSlider, &QSlider::valueChanged, this, &ThumbnailForm::positionChange);
    connect(delayTimer, &QTimer::timeout, this, &ThumbnailForm::delayElapsed);
    connect(saveButton, &QPushButton::clicked, this, &ThumbnailForm::saveButtonClick);
    connect(closeButton, &QPushButton::clicked, this, &ThumbnailForm::closeButtonClick);
    connect(randomButton, &QPushButton::clicked, this, &ThumbnailForm::randomButtonClick);

    choosePictureFile = [](QWidget *parent, const QString &proposedName) {
        QFileDialog dialog(parent);
        dialog.setObjectName(QStringLiteral("SavePictureDialog"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilter(QStringLiteral("Jpeg Dosyaları (*.jpg)"));
        dialog.setDefaultSuffix(QStringLiteral("jpg"));
        dialog.setSizeGripEnabled(true);
        dialog.selectFile(proposedName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().constFirst();
    };

    resize(650, 438);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void ThumbnailForm::setSliderMaximum(int maximum)
{
    positionSlider->setMaximum(maximum);
    // Tick marks only at the two ends.
    positionSlider->setTickInterval(qMax(1, maximum));
}

void ThumbnailForm::prepareForm()
{
    const RunResult probe =
        getDosOutput(m_tools.ffProbe, formatProbeCommand(m_tools, fileName), m_folders.workDir);
    setSliderMaximum(thumbnailSliderMaximum(probe.lines));
    randomButtonClick();
    m_proposedFileName = proposedPictureName(fileName);
}

void ThumbnailForm::positionChange()
{
    if (processStart)
        return;
    delayTimer->stop();
    setWindowTitle(thumbnailCaption(positionSlider->value()));
    delayTimer->start();
}

void ThumbnailForm::delayElapsed()
{
    delayTimer->stop();
    processStart = true;
    const int seconds = positionSlider->value();
    const QString scratch = thumbnailScratchPath(m_folders.tempDir, fileName, seconds);
    // A picture left from an earlier run must not pass for this one when the encoder writes none.
    QFile::remove(scratch);

    QPointer<ThumbnailForm> self(this);
    getDosOutput(m_tools.ffMpeg, thumbnailGrabCommand(m_tools, fileName, seconds, scratch),
                 m_folders.workDir);
    if (!self) {
        QFile::remove(scratch);
        return;
    }

    QString error;
    const bool loaded = loadPicture(scratch, &error);
    QFile::remove(scratch);
    // The picture shown is of this second, and so is the name offered for it.
    if (loaded)
        m_proposedFileName = proposedPictureName(fileName, seconds);
    // Ready for the next move whatever the outcome; a failed picture must not freeze the slider.
    processStart = false;
    if (!loaded)
        showMsg(MsgDlgType::mtError, QStringLiteral("%1 dosyası yüklenemedi: %2")
                                         .arg(QDir::toNativeSeparators(scratch), error));
    if (self)
        Q_EMIT pictureDone(loaded);
}

bool ThumbnailForm::loadPicture(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        return false;
    }
    file.close();

    QBuffer buffer(&data);
    QImageReader reader(&buffer, "jpeg");
    const QImage image = reader.read();
    if (image.isNull()) {
        *error = reader.errorString();
        return false;
    }
    m_pictureData = data;
    pictureBox->setPicture(image);
    return true;
}

void ThumbnailForm::saveButtonClick()
{
    // Offered in the folder the last still went to.
    const QString settings = m_folders.settingsFile();
    const QString folder = loadDialogFolder(settings, QStringLiteral("stillfolder"));
    const QString target = choosePictureFile(
        this, folder.isEmpty() ? m_proposedFileName : QDir(folder).filePath(m_proposedFileName));
    if (target.isEmpty() || m_pictureData.isEmpty())
        return;
    // The encoder's bytes as they are, whatever extension the chosen name has.
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly) || out.write(m_pictureData) != m_pictureData.size() ||
        !out.commit()) {
        showMsg(MsgDlgType::mtError, QStringLiteral("%1 dosyası yazılamadı: %2")
                                         .arg(QDir::toNativeSeparators(target), out.errorString()));
        return;
    }
    saveDialogFolder(settings, QStringLiteral("stillfolder"), QFileInfo(target).absolutePath());
}

void ThumbnailForm::closeButtonClick()
{
    close();
}

void ThumbnailForm::randomButtonClick()
{
    positionSlider->setValue(
        randomThumbnailPosition(positionSlider->maximum(), *QRandomGenerator::global()));
}

void ThumbnailForm::keyPressEvent(QKeyEvent *event)
{
    // Neither Escape nor Enter acts on the window as a whole.
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Enter:
    case Qt::Key_Return:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

ThumbnailAction::ThumbnailAction(QAction *actThumbnail, VideoListController *list,
                                 const FeatureContext &context, QObject *parent)
    : QObject(parent)
    , m_list(list)
    , m_context(context)
{
    setObjectName(QStringLiteral("ThumbnailAction"));
    connect(actThumbnail, &QAction::triggered, this, &ThumbnailAction::actThumbnailExecute);
}

void ThumbnailAction::actThumbnailExecute()
{
    const int position = m_list->selectedOrOnlyPosition();
    if (position < 0)
        return;
    const VideoItem &item = m_list->model()->item(position);
    if (!item.renderable()) {
        showMsg(MsgDlgType::mtError, refusalMessage(item), 0);
        return;
    }
    ThumbnailForm thumbnail(m_context.folders, m_context.tools, m_context.dialogParent);
    thumbnail.fileName = item.caption;
    thumbnail.prepareForm();
    thumbnail.exec();
}

} // namespace fulmaro
