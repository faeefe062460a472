#include "ui/assets/assetlibrary.h"

#include "core/assets/assetfiles.h"
#include "core/base/pathtext.h"
#include "core/render/settingstable.h"
#include "ui/assets/imagepreviewform.h"
#include "ui/dialogs/msgform.h"
#include "ui/render/settingspanel.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QSignalBlocker>
#include <QToolButton>

namespace fulmaro {

namespace {

const QString kPng = QStringLiteral(".png");

// The entries a picker lists before the library's names: "Yok", and the built-in frames.
const QStringList &fixedEntries(const char *picker)
{
    return settingControl(QLatin1String(picker))->items;
}

int fixedCount(const char *picker)
{
    return int(fixedEntries(picker).size());
}

// The first entry equal to text without regard to case, or -1.
int firstEqual(const QComboBox *box, const QString &text)
{
    for (int i = 0; i < box->count(); ++i) {
        if (box->itemText(i).compare(text, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int firstEqual(const QListWidget *list, const QString &text)
{
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->text().compare(text, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QStringList runOpenDialog(QWidget *parent, const char *name, const QStringList &filters,
                          bool picturePreview)
{
    QFileDialog dialog(parent);
    dialog.setObjectName(QLatin1String(name));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.constFirst());
    dialog.setSizeGripEnabled(true);
    if (picturePreview) {
        // The platform dialogs take no extra widgets; the toolkit's own one shows the preview.
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        auto *preview = new QLabel(&dialog);
        preview->setObjectName(QStringLiteral("PicturePreview"));
        preview->setFixedSize(200, 200);
        preview->setAlignment(Qt::AlignCenter);
        if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout()))
            grid->addWidget(preview, 0, grid->columnCount(), grid->rowCount(), 1);
        QObject::connect(
            &dialog, &QFileDialog::currentChanged, preview, [preview](const QString &path) {
                QImageReader reader(path);
                const QImage picture = QFileInfo(path).isFile() ? reader.read() : QImage();
                if (picture.isNull()) {
                    preview->clear();
                    return;
                }
                preview->setPixmap(QPixmap::fromImage(picture.scaled(
                    preview->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
            });
    }
    if (dialog.exec() != QDialog::Accepted)
        return QStringList();
    QStringList paths;
    for (const QString &path : dialog.selectedFiles())
        paths << QDir::toNativeSeparators(path);
    return paths;
}

} // namespace

QStringList pictureDialogNameFilters()
{
    return {QStringLiteral("Portable Network Graphics (*.png)")};
}

AssetLibrary::AssetLibrary(const WorkFolders &folders, SettingsPanel *panel, QWidget *dialogParent)
    : QObject(panel)
    , m_folders(folders)
    , m_panel(panel)
    , m_dialogParent(dialogParent)
{
    setObjectName(QStringLiteral("AssetLibrary"));
    openPictureDialog = [](QWidget *parent) {
        return runOpenDialog(parent, "OpenPictureDialog", pictureDialogNameFilters(), true);
    };
    openVideoDialog = [](QWidget *parent) {
        return runOpenDialog(parent, "OpenVideoDialog", videoDialogNameFilters(), false);
    };

    for (QToolButton *button : {panel->btnFilterNew, panel->btnFrameNew, panel->btnLogoNew})
        connect(button, &QToolButton::clicked, this, [this, button] { imageNewClick(button); });
    for (QToolButton *button : {panel->btnIntroNew, panel->btnOutroNew})
        connect(button, &QToolButton::clicked, this, [this, button] { videoNewClick(button); });
    for (QToolButton *button :
         {panel->btnFilterDelete, panel->btnFrameDelete, panel->btnLogoDelete})
        connect(button, &QToolButton::clicked, this, [this, button] { imageDeleteClick(button); });
    for (QToolButton *button :
         {panel->btnFilterPreview, panel->btnFramePreview, panel->btnLogoPreview})
        connect(button, &QToolButton::clicked, this, [this, button] { imagePreviewClick(button); });
}

void AssetLibrary::fillPictureList(QComboBox *picker, const QStringList &fixed,
                                   const QString &folder, const QString &aFileName)
{
    const QStringList files = getFilesInDirectory(folder, QStringLiteral("*.png"));
    const QString wanted =
        aFileName.isEmpty() ? picker->currentText() : QFileInfo(aFileName).completeBaseName();
    picker->clear();
    picker->addItems(fixed + files);
    picker->setCurrentIndex(wanted.isEmpty() ? 0 : firstEqual(picker, wanted));
}

void AssetLibrary::fillFilterList(const QString &aFileName)
{
    fillPictureList(m_panel->cbFilter, fixedEntries("cbFilter"), m_folders.filterDir, aFileName);
}

void AssetLibrary::fillFrameList(const QString &aFileName)
{
    fillPictureList(m_panel->cbFrame, fixedEntries("cbFrame"), m_folders.frameDir, aFileName);
}

void AssetLibrary::fillLogoList(const QString &aFileName)
{
    fillPictureList(m_panel->cbLogo, fixedEntries("cbLogo"), m_folders.logoDir, aFileName);
}

void AssetLibrary::fillClipList(QComboBox *picker, const QString &folder)
{
    const QStringList files = getFilesInDirectory(folder, QStringLiteral("*.mp4"));
    const QString shown = picker->currentText();
    picker->clear();
    picker->addItems(QStringList{noneItem()} + files);
    // The clip shown before is looked up again like a picture's name; a clip that has gone
    // leaves no entry selected.
    picker->setCurrentIndex(shown.isEmpty() ? 0 : firstEqual(picker, shown));
}

void AssetLibrary::fillIntroList()
{
    fillClipList(m_panel->cbIntro, m_folders.introDir);
}

void AssetLibrary::fillOutroList()
{
    fillClipList(m_panel->cbOutro, m_folders.outroDir);
}

void AssetLibrary::fillAll()
{
    fillFilterList();
    fillFrameList();
    fillLogoList();
    fillIntroList();
    fillOutroList();
}

void AssetLibrary::imageNewClick(QObject *sender)
{
    QString folder;
    void (AssetLibrary::*refill)(const QString &) = nullptr;
    if (sender == m_panel->btnFilterNew) {
        folder = m_folders.filterDir;
        refill = &AssetLibrary::fillFilterList;
    } else if (sender == m_panel->btnFrameNew) {
        folder = m_folders.frameDir;
        refill = &AssetLibrary::fillFrameList;
    } else if (sender == m_panel->btnLogoNew) {
        folder = m_folders.logoDir;
        refill = &AssetLibrary::fillLogoList;
    } else {
        return;
    }
    const QStringList chosen =
        openPictureDialog ? openPictureDialog(m_dialogParent) : QStringList();
    if (chosen.isEmpty())
        return;
    // A copy that fails is not reported: the refill shows what the folder holds.
    for (const QString &path : chosen)
        copyIntoLibrary(path, folder);
    (this->*refill)(chosen.constLast());
}

void AssetLibrary::videoNewClick(QObject *sender)
{
    QString folder;
    void (AssetLibrary::*refill)() = nullptr;
    if (sender == m_panel->btnIntroNew) {
        folder = m_folders.introDir;
        refill = &AssetLibrary::fillIntroList;
    } else if (sender == m_panel->btnOutroNew) {
        folder = m_folders.outroDir;
        refill = &AssetLibrary::fillOutroList;
    } else {
        return;
    }
    const QStringList chosen = openVideoDialog ? openVideoDialog(m_dialogParent) : QStringList();
    if (chosen.isEmpty())
        return;
    for (const QString &path : chosen)
        copyIntoLibrary(path, folder);
    (this->*refill)();
}

void AssetLibrary::imageDeleteClick(QObject *sender)
{
    QComboBox *picker = nullptr;
    int fixed = 0; // the fixed entries stand for no file
    QString what;
    QString folder;
    void (AssetLibrary::*refill)(const QString &) = nullptr;
    if (sender == m_panel->btnFilterDelete) {
        picker = m_panel->cbFilter;
        fixed = fixedCount("cbFilter");
        what = QStringLiteral("Seçili filtre [");
        folder = m_folders.filterDir;
        refill = &AssetLibrary::fillFilterList;
    } else if (sender == m_panel->btnFrameDelete) {
        picker = m_panel->cbFrame;
        fixed = fixedCount("cbFrame");
        what = QStringLiteral("Seçili çerçeve [");
        folder = m_folders.frameDir;
        refill = &AssetLibrary::fillFrameList;
    } else if (sender == m_panel->btnLogoDelete) {
        picker = m_panel->cbLogo;
        fixed = fixedCount("cbLogo");
        what = QStringLiteral("Seçili logo [");
        folder = m_folders.logoDir;
        refill = &AssetLibrary::fillLogoList;
    } else {
        return;
    }
    if (picker->currentIndex() < fixed)
        return;
    const QString entry = picker->currentText();
    // Only "Hayır" keeps the file; closing the question through its frame counts as consent.
    if (showMsg(MsgDlgType::mtConfirmation,
                what + entry + QStringLiteral("] listeden çıkartılsın mı?"), 0) == kMsgNo)
        return;
    deleteLibraryFile(folder, entry, kPng);
    picker->setCurrentIndex(0);
    (this->*refill)(QString());
}

void AssetLibrary::imagePreviewClick(QObject *sender)
{
    if (sender == m_panel->btnFilterPreview)
        showImagePicker(m_panel->cbFilter, m_folders.filterDir, fixedCount("cbFilter"));
    else if (sender == m_panel->btnFramePreview)
        showImagePicker(m_panel->cbFrame, m_folders.frameDir, fixedCount("cbFrame"));
    else if (sender == m_panel->btnLogoPreview)
        showImagePicker(m_panel->cbLogo, m_folders.logoDir, fixedCount("cbLogo"));
}

void AssetLibrary::showImagePicker(QComboBox *aCombo, const QString &aDirectory, int aFirstIndex)
{
    if (aCombo->count() <= aFirstIndex)
        return;
    ImagePreviewForm form(m_dialogParent);
    form.directory = aDirectory;
    for (int i = aFirstIndex; i < aCombo->count(); ++i)
        form.imageListBox->addItem(aCombo->itemText(i));
    if (aCombo->currentIndex() >= aFirstIndex) {
        const int row = firstEqual(form.imageListBox, aCombo->currentText());
        if (row >= 0) {
            {
                const QSignalBlocker quiet(form.imageListBox);
                form.imageListBox->setCurrentRow(row);
            }
            // The current picture cannot be shown: the error has been reported and the
            // picker keeps its selection.
            if (!form.imageListBoxClick())
                return;
        }
    }
    if (form.exec() != QDialog::Accepted)
        return;
    const QList<QListWidgetItem *> selected = form.imageListBox->selectedItems();
    if (selected.isEmpty())
        return;
    const int index = firstEqual(aCombo, selected.constFirst()->text());
    aCombo->setCurrentIndex(index >= 0 ? index : 0);
}

} // namespace fulmaro
