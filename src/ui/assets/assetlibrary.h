#pragma once

#include "core/base/workfolders.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>

class QComboBox;
class QWidget;

namespace fulmaro {

class SettingsPanel;

// The overlay picture libraries (filters, frames, logos) and the clip libraries (intros, outros)
// behind the settings panel's pickers: filling the pickers from the folders, adding files by
// copying them in, deleting, and choosing in the picture window. It works on the panel's pickers
// and buttons and the library folders; its dialogs open over dialogParent.
class AssetLibrary : public QObject
{
    Q_OBJECT
public:
    AssetLibrary(const WorkFolders &folders, SettingsPanel *panel, QWidget *dialogParent);

    // Refill one picker. A given file path selects the entry named after that file; otherwise
    // the entry shown before is selected again, or "Yok" when none was shown. A name that is no
    // longer listed leaves no entry selected.
    void fillFilterList(const QString &aFileName = QString());
    void fillFrameList(const QString &aFileName = QString());
    void fillLogoList(const QString &aFileName = QString());
    void fillIntroList();
    void fillOutroList();
    // The start-up filling: filter, frame, logo, intro, outro.
    void fillAll();

    // Handlers of the pickers' buttons; sender tells which library.
    void imageNewClick(QObject *sender);
    void videoNewClick(QObject *sender);
    void imageDeleteClick(QObject *sender);
    void imagePreviewClick(QObject *sender);

    // Opens the picture window on the file entries of aCombo (from aFirstIndex on) and selects
    // the chosen entry in aCombo when the user accepts.
    void showImagePicker(QComboBox *aCombo, const QString &aDirectory, int aFirstIndex);

    // The open dialogs, replaceable so tests choose files without a window. Each returns the
    // chosen paths in the dialog's order, or nothing when cancelled.
    std::function<QStringList(QWidget *parent)> openPictureDialog;
    std::function<QStringList(QWidget *parent)> openVideoDialog;

private:
    void fillPictureList(QComboBox *picker, const QStringList &fixed, const QString &folder,
                         const QString &aFileName);
    void fillClipList(QComboBox *picker, const QString &folder);

    WorkFolders m_folders;
    SettingsPanel *m_panel;
    QPointer<QWidget> m_dialogParent;
};

// The name filters of the picture and video open dialogs.
QStringList pictureDialogNameFilters();

} // namespace fulmaro
