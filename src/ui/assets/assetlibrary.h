#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <map>

class QComboBox;
class QToolButton;
class QWidget;

namespace fulmaro {

// The libraries behind the settings pickers.
enum class Library { Filter, Frame, Logo, Intro, Outro };

// One library as the settings show it: its folder, its picker and the picker's buttons. Picture
// libraries have all three buttons; clip libraries a "new" button only.
struct LibraryControls
{
    QString folder;
    QComboBox *picker = nullptr;
    QToolButton *newButton = nullptr;
    QToolButton *deleteButton = nullptr;  // pictures only
    QToolButton *previewButton = nullptr; // pictures only
};

// The overlay picture libraries (filters, frames, logos) and the clip libraries (intros, outros)
// behind the settings pickers: filling the pickers from the folders, adding files by copying
// them in, deleting, and choosing in the picture window. Each library comes with its controls;
// dialogs open over dialogParent.
class AssetLibrary : public QObject
{
    Q_OBJECT
public:
    using Controls = std::map<Library, LibraryControls>;
    AssetLibrary(Controls libraries, QWidget *dialogParent, QObject *parent = nullptr);

    // Refill one picker. A given file path selects the entry named after that file; otherwise
    // the entry shown before is selected again, or "Yok" when none was shown. A name that is no
    // longer listed leaves no entry selected. (Clip pickers take no file path.)
    void fill(Library library, const QString &aFileName = QString());
    // The start-up filling: filter, frame, logo, intro, outro.
    void fillAll();

    // What the library's buttons do.
    void addFiles(Library library);
    void deleteSelected(Library library);
    void choosePicture(Library library);

    // Opens the picture window on the file entries of aCombo (from aFirstIndex on) and selects
    // the chosen entry in aCombo when the user accepts.
    void showImagePicker(QComboBox *aCombo, const QString &aDirectory, int aFirstIndex);

    // The open dialogs, replaceable so tests choose files without a window. Each returns the
    // chosen paths in the dialog's order, or nothing when cancelled.
    std::function<QStringList(QWidget *parent)> openPictureDialog;
    std::function<QStringList(QWidget *parent)> openVideoDialog;

private:
    Controls m_libraries;
    QPointer<QWidget> m_dialogParent;
};

// The name filters of the picture and video open dialogs.
QStringList pictureDialogNameFilters();

} // namespace fulmaro
