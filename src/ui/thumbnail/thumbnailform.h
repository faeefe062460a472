#pragma once

#include "core/base/toolset.h"
#include "core/base/workfolders.h"
#include "ui/featurecontext.h"

#include <QByteArray>
#include <QDialog>

#include <functional>

class QAction;
class QPushButton;
class QSlider;
class QTimer;

namespace fulmaro {

class VideoListController;
class PictureBox;

// Picks a moment of one video on a slider, shows the encoder's still picture of that second and
// saves it as a JPEG file. One encoder run per picture, 250 ms after the slider last moved.
class ThumbnailForm : public QDialog
{
    Q_OBJECT
public:
    ThumbnailForm(const WorkFolders &folders, const ToolSet &tools, QWidget *parent = nullptr);

    QString fileName;          // the video, as the list's row names it
    bool processStart = false; // a picture is being made; slider changes are ignored meanwhile

    PictureBox *pictureBox;
    QSlider *positionSlider;
    QPushButton *randomButton; // "Rastgele"
    QPushButton *saveButton;   // "Kaydet"
    QPushButton *closeButton;  // "Çıkış"
    QTimer *delayTimer;        // the delay after the last slider change

    // Probes the video's length, sets the slider's range, picks a random start and presets the
    // save name. Runs before the window is shown.
    void prepareForm();

    // The current picture exactly as the encoder wrote it; empty before the first one.
    const QByteArray &pictureData() const { return m_pictureData; }
    // The name the save dialog proposes.
    const QString &proposedFileName() const { return m_proposedFileName; }

    // Picks the file to save to; replaceable so saving can run without a dialog. An empty
    // result means the user cancelled.
    std::function<QString(QWidget *parent, const QString &proposedName)> choosePictureFile;

public Q_SLOTS:
    void positionChange();
    void delayElapsed();
    void saveButtonClick();
    void closeButtonClick();
    void randomButtonClick();

Q_SIGNALS:
    // A picture run has ended: loaded tells whether the new picture is shown.
    void pictureDone(bool loaded);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void setSliderMaximum(int maximum);
    bool loadPicture(const QString &path, QString *error);

    WorkFolders m_folders;
    ToolSet m_tools;
    QByteArray m_pictureData;
    QString m_proposedFileName;
};

// "Küçük Resim": opens the window modally for the selected row, or for the only row of the list.
class ThumbnailAction : public QObject
{
    Q_OBJECT
public:
    ThumbnailAction(QAction *actThumbnail, VideoListController *list, const FeatureContext &context,
                    QObject *parent = nullptr);

    void actThumbnailExecute();

private:
    VideoListController *m_list;
    FeatureContext m_context;
};

} // namespace fulmaro
