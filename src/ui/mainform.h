#pragma once

#include "core/base/toolset.h"
#include "core/base/workfolders.h"
#include "core/render/rendersettings.h"
#include "ui/featurecontext.h"

#include <QKeySequence>
#include <QMainWindow>

#include <functional>

class QAction;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolBar;
class QTreeView;

namespace fulmaro {

class PresetBar;
class PreviewSlot;
class RenderActions;
class SettingsPanel;
class ThumbnailAction;
class VideoListController;

// The keys of the main window's actions, by the action's object name; the first key is the one
// its tip names.
struct ActionShortcut
{
    const char *action;
    QList<QKeySequence> keys;
};
QList<ActionShortcut> actionShortcuts();

// What a drop that held files which are no videos (or folders without any) says, once.
QString droppedRefusalText(const QStringList &names);

// The main window: toolbar, video list, preview strip, settings pages and status bar. It owns the
// work folders, the tool names and the output folder, places the actions and views, and creates
// the features, handing each what it uses and connecting their signals.
class MainForm : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainForm(const WorkFolders &folders = WorkFolders::standard(),
                      QWidget *parent = nullptr);
    ~MainForm() override;

    WorkFolders folders;
    ToolSet tools; // names are set by checkInfo() once the window runs
    // The installation's tool names and digests, which checkInfo() puts into tools.
    ToolSet configuredTools;

    // Toolbar actions (category "Toolbar").
    QAction *actVideoLocal;
    QAction *actVideoInternet;
    QAction *actVideoDelete;
    QAction *actVideoUp;
    QAction *actVideoDown;
    QAction *actOpenOutputFolder;
    QAction *actRenderPreview;
    QAction *actThumbnail;
    QAction *actRender;
    // The list's own actions (category "Popup") and those offered nowhere.
    QAction *actSelectAll;
    QAction *actSelectNone;
    QAction *actSelectInvert;
    QAction *actGroupCreate;
    QAction *actVideoMerge;
    QAction *actVideoCopy;
    QAction *actVideoEdit;

    QToolBar *toolBar; // "ToolBar1"
    QTreeView *videoList;
    QMenu *videoListPopupMenu;
    QComboBox *cbPreviewScale;
    QCheckBox *cbPreviewNoAudio;
    QLineEdit *edOutputFolder;
    QPushButton *btnSelectFolder;
    SettingsPanel *renderSettings = nullptr; // the settings pages

    // The features, created and connected by the window.
    PreviewSlot *preview = nullptr; // the running settings preview
    VideoListController *videoListController = nullptr;
    RenderActions *renderActions = nullptr;
    ThumbnailAction *thumbnailAction = nullptr;
    PresetBar *presetBar = nullptr; // beside the settings pages' tabs

    // The panel's values together with the preview options of the bottom bar.
    RenderSettings currentSettings() const;

    // Sets the tool names and enables the actions that need the encoder.
    void checkInfo();
    // Whether the tool file is the expected build; shows the error message when it is not.
    bool checkFile(const QString &fileName);
    void loadSettings();
    void saveSettings();

    // Adds files to the list, as a drop or the command line does.
    void addVideoFiles(const QStringList &paths);

    // Picks a folder; replaceable so the folder choice can run without a dialog.
    std::function<QString(QWidget *parent, const QString &current)> chooseFolder;

    bool startupHandled() const { return m_startupHandled; }

Q_SIGNALS:
    // Emitted once the start-up message has run checkInfo().
    void startupDone();
    // The accepted names of a drop, in the drop's order.
    void videoFilesDropped(const QStringList &paths);

public Q_SLOTS:
    void btnSelectFolderClick();
    void actOpenOutputFolderExecute();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Q_INVOKABLE void handleStartupMessage();
    void createActions();
    void createToolBar();
    void createCentralArea();
    void formCreate();
    void createFeatures();

    FeatureContext m_context;
    bool m_startupHandled = false;
    bool m_closing = false;
};

} // namespace fulmaro
