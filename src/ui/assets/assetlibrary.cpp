#include "ui/assets/assetlibrary.h"

#include "core/assets/assetfiles.h"
#include "core/base/pathtext.h"
#include "core/render/settingstable.h"
#include "ui/assets/imagepreviewform.h"
#include "ui/dialogs/msgform.h"

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

bool isPictureLibrary(Library library)
{
    return library == Library::Filter || library == Library::Frame || library == Library::Logo;
}

// The entries a picker lists before the library's names: "Yok", and the built-in frames.
QStringList fixedEntries(Library library)
{
    switch (library) {
    case Library::Filter:
        return settingControl(QStringLiteral("cbFilter"))->items;
    case Library::Frame:
        return settingControl(QStringLiteral("cbFrame"))->items;
    case Library::Logo:
        return settingControl(QStringLiteral("cbLogo"))->items;
    case Library::Intro:
    case Library::Outro:
        break;
    }
    return {noneItem()};
}

// How the delete question names the entry's kind.
QString deleteQuestionStart(Library library)
{
    switch (library) {
    case Library::Frame:
        return QStringLiteral("Seçili çerçeve [");
    case Library::Logo:
        return QStringLiteral("Seçili logo [");
    default:
        return QStringLiteral("Seçili filtre [");
    }
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

AssetLibrary::AssetLibrary(Controls libraries, QWidget *dialogParent, QObject *parent)
    : QObject(parent)
    , m_libraries(std::move(libraries))
    , m_dialogParent(dialogParent)
{
    setObjectName(QStringLiteral("AssetLibrary"));
    openPictureDialog = [](QWidget *parent) {
        return runOpenDialog(parent, "OpenPictureDialog", pictureDialogNameFilters(), true);
    };
    openVideoDialog = [](QWidget *parent) {
        return runOpenDialog(parent, "OpenVideoDialog", clipDialogNameFilters(), false);
    };
    for (const auto &[library, controls] : m_libraries) {
        const Library which = library;
        if (controls.newButton)
            connect(controls.newButton, &QToolButton::clicked, this,
                    [this, which] { addFiles(which); });
        if (controls.deleteButton)
            connect(controls.deleteButton, &QToolButton::clicked, this,
                    [this, which] { deleteSelected(which); });
        if (controls.previewButton)
            connect(controls.previewButton, &QToolButton::clicked, this,
                    [this, which] { choosePicture(which); });
    }
}

void AssetLibrary::fill(Library library, const QString &aFileName)
{
    const auto found = m_libraries.find(library);
    if (found == m_libraries.end() || !found->second.picker)
        return;
    QComboBox *picker = found->second.picker;
    const bool pictures = isPictureLibrary(library);
    const QStringList files = getFilesInDirectory(
        found->second.folder, pictures ? QStringLiteral("*.png") : QStringLiteral("*.mp4"));
    // A clip shown before is looked up again like a picture's name; one that has gone leaves no
    // entry selected.
    const QString wanted = aFileName.isEmpty() || !pictures
                               ? picker->currentText()
                               : QFileInfo(aFileName).completeBaseName();
    picker->clear();
    picker->addItems(fixedEntries(library) + files);
    picker->setCurrentIndex(wanted.isEmpty() ? 0 : firstEqual(picker, wanted));
}

void AssetLibrary::fillAll()
{
    for (Library library :
         {Library::Filter, Library::Frame, Library::Logo, Library::Intro, Library::Outro})
        fill(library);
}

void AssetLibrary::addFiles(Library library)
{
    const auto found = m_libraries.find(library);
    if (found == m_libraries.end())
        return;
    const bool pictures = isPictureLibrary(library);
    const auto &open = pictures ? openPictureDialog : openVideoDialog;
    const QStringList chosen = open ? open(m_dialogParent) : QStringList();
    if (chosen.isEmpty())
        return;
    // A copy that fails is not reported: the refill shows what the folder holds.
    for (const QString &path : chosen)
        copyIntoLibrary(path, found->second.folder);
    fill(library, pictures ? chosen.constLast() : QString());
}

void AssetLibrary::deleteSelected(Library library)
{
    const auto found = m_libraries.find(library);
    if (found == m_libraries.end() || !found->second.picker || !isPictureLibrary(library))
        return;
    QComboBox *picker = found->second.picker;
    // The fixed entries stand for no file.
    if (picker->currentIndex() < fixedEntries(library).size())
        return;
    const QString entry = picker->currentText();
    // Only "Evet" deletes: closing the question by its close box is no consent.
    if (showMsg(MsgDlgType::mtConfirmation,
                deleteQuestionStart(library) + entry + QStringLiteral("] listeden çıkartılsın mı?"),
                0) != kMsgYes)
        return;
    deleteLibraryFile(found->second.folder, entry, kPng);
    picker->setCurrentIndex(0);
    fill(library);
}

void AssetLibrary::choosePicture(Library library)
{
    const auto found = m_libraries.find(library);
    if (found == m_libraries.end() || !found->second.picker || !isPictureLibrary(library))
        return;
    showImagePicker(found->second.picker, found->second.folder, int(fixedEntries(library).size()));
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
