#pragma once

#include "core/base/toolset.h"
#include "core/base/workfolders.h"
#include "core/render/rendersettings.h"
#include "core/runner/toolrun.h"

#include <QMainWindow>
#include <QPointer>

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

class SettingsPanel;



// The main window: toolbar, video list, preview strip, settings pages and status bar. It owns the
// work folders, the tool names and the output folder.
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

    QToolBar *toolBar1;
    QTreeView *videoList;
    QMenu *videoListPopupMenu;
    QComboBox *cbPreviewScale;
    QCheckBox *cbPreviewNoAudio;
    QLineEdit *edOutputFolder;
    QPushButton *btnSelectFolder;
    SettingsPanel *renderSettings = nullptr; // the settings pages

    // The settings a command is built from: the panel's and the preview strip's.
    RenderSettings currentSettings() const;

    // Sets the tool names and enables the actions that need the encoder.
    void checkInfo();
    // Whether the tool file is the expected build; shows the error message when it is not.
    bool checkFile(const QString &fileName);
    void loadSettings();
    void saveSettings();

    // The one entry point for new rows: the open dialog and dropped files come through here.
    void addVideoFiles(const QStringList &paths);

    // A running preview (its player window); closing the main window ends it first.
    void setPreviewRun(ToolRun *run);
    ToolRun *previewRun() const { return m_previewRun; }
    // Closes a playing preview of a listed video and waits until it has gone.
    void closePreviewWindow();

    // Picks a folder; replaceable so the folder choice can run without a dialog.
    std::function<QString(QWidget *parent, const QString &current)> chooseFolder;

    bool startupHandled() const { return m_startupHandled; }

    // How a dropped or chosen name reaches the list; replaced by the list itself.
    std::function<void(const QStringList &)> videoFileAdder;

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

    QPointer<ToolRun> m_previewRun;
    bool m_startupHandled = false;
    bool m_closing = false;
};

} // namespace fulmaro
