#include "ui/mainform.h"

#include "core/assets/assetfiles.h"
#include "core/base/pathtext.h"
#include "core/base/settingsfile.h"
#include "ui/appstyle.h"
#include "ui/dialogs/msgform.h"
#include "ui/queue/previewslot.h"
#include "ui/queue/renderactions.h"
#include "ui/render/presetbar.h"
#include "ui/render/settingcontrols.h"
#include "ui/render/settingspanel.h"
#include "ui/thumbnail/thumbnailform.h"
#include "ui/videolist/videolistcontroller.h"
#include "ui/windowfit.h"
#include "version.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

namespace fulmaro {

namespace {

QIcon toolbarIcon(const char *name)
{
    QIcon icon;
    const QString base = QStringLiteral(":/icons/") + QLatin1String(name);
    icon.addPixmap(QPixmap(base + QStringLiteral(".png")), QIcon::Normal);
    icon.addPixmap(QPixmap(base + QStringLiteral("_disabled.png")), QIcon::Disabled);
    return icon;
}

QAction *makeAction(QObject *owner, const char *objectName, const QString &text,
                    const char *category, const char *iconName = nullptr)
{
    auto *action = new QAction(text, owner);
    action->setObjectName(QLatin1String(objectName));
    action->setProperty("category", QLatin1String(category));
    if (iconName)
        action->setIcon(toolbarIcon(iconName));
    return action;
}

} // namespace

QString droppedRefusalText(const QStringList &names)
{
    constexpr qsizetype kShown = 8;
    QStringList lines;
    for (qsizetype i = 0; i < names.size() && i < kShown; ++i)
        lines << fileNamePart(QDir::fromNativeSeparators(names.at(i)));
    if (names.size() > kShown)
        lines << QStringLiteral("… ve %1 tane daha").arg(names.size() - kShown);
    return QStringLiteral("Video dosyası olmadığı için eklenmedi:\n") +
           lines.join(QLatin1Char('\n'));
}

MainForm::MainForm(const WorkFolders &workFolders, QWidget *parent)
    : QMainWindow(parent)
    , folders(workFolders)
    , configuredTools(ToolSet::configured(workFolders.binDir))
    , m_context{folders, tools, this}
{
    initResources();
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Fulmaro!"));
    QFont f(QStringLiteral("Tahoma"));
    f.setPointSize(8);
    setFont(f);

    chooseFolder = [](QWidget *parent, const QString &current) {
        QFileDialog dialog(parent, QStringLiteral("Nereye saklansın?"));
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly, true);
        if (!current.isEmpty() && QDir(current).exists())
            dialog.setDirectory(current);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
    };

    createActions();
    createToolBar();
    createCentralArea();
    formCreate();
    createFeatures();
}

MainForm::~MainForm() = default;

void MainForm::createActions()
{
    actVideoLocal =
        makeAction(this, "actVideoLocal", QStringLiteral("Video Ekle"), "Toolbar", "00_video_add");
    actVideoInternet = makeAction(this, "actVideoInternet", QStringLiteral("Internetten Ekle"),
                                  "Toolbar", "01_url_add");
    actVideoInternet->setIconText(QStringLiteral("URL Ekle"));
    actVideoInternet->setVisible(false);
    actVideoDelete =
        makeAction(this, "actVideoDelete", QStringLiteral("Sil"), "Toolbar", "03_delete");
    actVideoUp = makeAction(this, "actVideoUp", QStringLiteral("Yukarı Taşı"), "Toolbar", "04_up");
    actVideoDown =
        makeAction(this, "actVideoDown", QStringLiteral("Aşağı Taşı"), "Toolbar", "05_down");
    actOpenOutputFolder = makeAction(this, "actOpenOutputFolder", QStringLiteral("Çıktı Klasörü"),
                                     "Toolbar", "08_output_folder");
    actRenderPreview =
        makeAction(this, "actRenderPreview", QStringLiteral("Önizleme"), "Toolbar", "09_preview");
    actThumbnail =
        makeAction(this, "actThumbnail", QStringLiteral("Küçük Resim"), "Toolbar", "11_thumbnail");
    actRender = makeAction(this, "actRender", QStringLiteral("Başlat"), "Toolbar", "10_render");
    // Enabled by checkInfo() once the start-up message has run.
    actRenderPreview->setEnabled(false);
    actThumbnail->setEnabled(false);
    actRender->setEnabled(false);

    actSelectAll = makeAction(this, "actSelectAll", QStringLiteral("Tümünü seç"), "Popup");
    actSelectNone = makeAction(this, "actSelectNone", QStringLiteral("Hiçbirini seçme"), "Popup");
    actSelectInvert =
        makeAction(this, "actSelectInvert", QStringLiteral("Diğerlerini seç"), "Popup");
    actGroupCreate = makeAction(this, "actGroupCreate", QStringLiteral("Grup Oluştur"), "Popup");
    actGroupCreate->setVisible(false);
    actVideoMerge =
        makeAction(this, "actVideoMerge", QStringLiteral("Videoları Birleştir"), "Popup");
    actVideoCopy = makeAction(this, "actVideoCopy", QStringLiteral("Çoğalt"), "Popup");
    actVideoEdit = makeAction(this, "actVideoEdit", QStringLiteral("Düzenle"), "Popup");

    connect(actOpenOutputFolder, &QAction::triggered, this, &MainForm::actOpenOutputFolderExecute);

    for (const ActionShortcut &entry : actionShortcuts()) {
        auto *action = findChild<QAction *>(QLatin1String(entry.action));
        if (!action)
            continue;
        action->setShortcuts(entry.keys);
        // The tip names the key, as "Video Ekle (Ctrl+O)".
        action->setToolTip(action->text() + QStringLiteral(" (") +
                           entry.keys.constFirst().toString(QKeySequence::NativeText) +
                           QLatin1Char(')'));
    }
    // Delete belongs to the list: in a text or number field it edits the field.
    actVideoDelete->setShortcutContext(Qt::WidgetWithChildrenShortcut);
}

QList<ActionShortcut> actionShortcuts()
{
    return {
        {"actVideoLocal", {QKeySequence(Qt::CTRL | Qt::Key_O)}},
        {"actVideoDelete", {QKeySequence(Qt::Key_Delete)}},
        {"actVideoUp", {QKeySequence(Qt::CTRL | Qt::Key_Up)}},
        {"actVideoDown", {QKeySequence(Qt::CTRL | Qt::Key_Down)}},
        {"actRenderPreview", {QKeySequence(Qt::Key_F5)}},
        {"actThumbnail", {QKeySequence(Qt::CTRL | Qt::Key_T)}},
        {"actRender",
         {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)}},
    };
}

void MainForm::createToolBar()
{
    toolBar = new QToolBar(QStringLiteral("ToolBar1"), this);
    toolBar->setObjectName(QStringLiteral("ToolBar1"));
    toolBar->setMovable(false);
    toolBar->setFloatable(false);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolBar->setIconSize(QSize(32, 32));
    toolBar->setFixedHeight(57);
    toolBar->setContentsMargins(5, 0, 5, 0);
    toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    const QList<QList<QAction *>> groups = {
        {actVideoLocal, actVideoInternet, actVideoDelete},
        {actVideoUp, actVideoDown},
        {actOpenOutputFolder},
        {actRenderPreview, actThumbnail},
        {actRender},
    };
    for (qsizetype g = 0; g < groups.size(); ++g) {
        if (g > 0)
            toolBar->addSeparator();
        for (QAction *action : groups[g]) {
            toolBar->addAction(action);
            // 66 wide at least; wider fonts than the designed one must not cut a caption.
            if (auto *button = qobject_cast<QToolButton *>(toolBar->widgetForAction(action))) {
                button->setMinimumSize(66, 52);
                button->setMaximumHeight(52);
            }
        }
    }
    addToolBar(Qt::TopToolBarArea, toolBar);
}

void MainForm::createCentralArea()
{
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    videoList = new QTreeView(central);
    videoList->setObjectName(QStringLiteral("VideoList"));
    videoList->setRootIsDecorated(false);
    videoList->setSelectionMode(QAbstractItemView::SingleSelection);
    videoList->setSelectionBehavior(QAbstractItemView::SelectRows);
    videoList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    videoList->setSortingEnabled(false);
    videoList->setContextMenuPolicy(Qt::CustomContextMenu);
    videoList->setAcceptDrops(true);
    videoList->viewport()->setAcceptDrops(true);
    videoList->setDropIndicatorShown(false);
    videoList->viewport()->installEventFilter(this);
    videoList->addAction(actVideoDelete);
    layout->addWidget(videoList, 1);

    videoListPopupMenu = new QMenu(videoList);
    videoListPopupMenu->setObjectName(QStringLiteral("VideoListPopupMenu"));
    videoListPopupMenu->addAction(actSelectAll);
    videoListPopupMenu->addAction(actSelectNone);
    videoListPopupMenu->addAction(actSelectInvert);
    videoListPopupMenu->addSeparator();
    videoListPopupMenu->addAction(actVideoLocal);
    videoListPopupMenu->addAction(actVideoDelete);
    videoListPopupMenu->addSeparator();
    videoListPopupMenu->addAction(actGroupCreate);
    connect(videoList, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        videoListPopupMenu->popup(videoList->viewport()->mapToGlobal(pos));
    });

    // The strip under the list: preview options and the output folder.
    auto *bottomBar = new QWidget(central);
    bottomBar->setObjectName(QStringLiteral("BottomPanel"));
    bottomBar->setFixedHeight(25);
    auto *bottom = new QHBoxLayout(bottomBar);
    bottom->setContentsMargins(4, 1, 2, 1);
    bottom->setSpacing(6);
    bottom->addWidget(new QLabel(QStringLiteral("Önizleme Penceresi"), bottomBar));
    cbPreviewScale = createSettingControl<QComboBox>(QStringLiteral("cbPreviewScale"), bottomBar);
    bottom->addWidget(cbPreviewScale);
    cbPreviewNoAudio =
        createSettingControl<QCheckBox>(QStringLiteral("cbPreviewNoAudio"), bottomBar);
    cbPreviewNoAudio->setText(QStringLiteral("Sessiz"));
    bottom->addWidget(cbPreviewNoAudio);
    auto *line = new QFrame(bottomBar);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    bottom->addWidget(line);
    bottom->addWidget(new QLabel(QStringLiteral("Nereye Saklansın?"), bottomBar));
    edOutputFolder = new QLineEdit(bottomBar);
    edOutputFolder->setObjectName(QStringLiteral("edOutputFolder"));
    edOutputFolder->setReadOnly(true);
    bottom->addWidget(edOutputFolder, 1);
    btnSelectFolder = new QPushButton(QStringLiteral("Klasör Seç"), bottomBar);
    btnSelectFolder->setObjectName(QStringLiteral("btnSelectFolder"));
    connect(btnSelectFolder, &QPushButton::clicked, this, &MainForm::btnSelectFolderClick);
    bottom->addWidget(btnSelectFolder);
    layout->addWidget(bottomBar);

    renderSettings = new SettingsPanel(folders, central);
    layout->addWidget(renderSettings);

    setCentralWidget(central);

    auto *bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("StatusBar"));
    bar->setFixedHeight(19);
    bar->setSizeGripEnabled(true);
    setStatusBar(bar);
}

void MainForm::formCreate()
{
    setWindowTitle(QStringLiteral("Fulmaro %1.%2.%3")
                       .arg(version::major)
                       .arg(version::minor)
                       .arg(version::release));
    folders.create();

    loadSettings();

    // The designed size where the screen has room for it, centred in the screen's free area.
    placeOnScreen(this, QSize(1102, 571));

    // Runs once the event loop is up and the window has appeared.
    QMetaObject::invokeMethod(this, "handleStartupMessage", Qt::QueuedConnection);

    removeOldScratchCopies(folders.tempDir);
}

void MainForm::createFeatures()
{
    preview = new PreviewSlot(this);
    preview->setObjectName(QStringLiteral("PreviewSlot"));

    videoListController = new VideoListController(
        videoList,
        {actVideoLocal, actVideoInternet, actVideoDelete, actVideoUp, actVideoDown, actSelectAll,
         actSelectNone, actSelectInvert, actGroupCreate, actVideoMerge},
        m_context, this);
    connect(this, &MainForm::videoFilesDropped, videoListController,
            &VideoListController::addVideoFiles);

    renderActions = new RenderActions(actRender, actRenderPreview,
                                      {videoListController, edOutputFolder,
                                       [this] { return currentSettings(); }, preview,
                                       [this](const RenderSettings &settings) {
                                           renderSettings->fillPickers();
                                           renderSettings->setSettings(settings);
                                           cbPreviewScale->setCurrentIndex(settings.cbPreviewScale);
                                           cbPreviewNoAudio->setChecked(settings.cbPreviewNoAudio);
                                       }},
                                      m_context, this);
    connect(renderSettings->btnIntroPreview, &QAbstractButton::clicked, renderActions, [this] {
        renderActions->videoPreviewClick(renderSettings->cbIntro, folders.introDir);
    });
    connect(renderSettings->btnOutroPreview, &QAbstractButton::clicked, renderActions, [this] {
        renderActions->videoPreviewClick(renderSettings->cbOutro, folders.outroDir);
    });

    thumbnailAction = new ThumbnailAction(actThumbnail, videoListController, m_context, this);

    // In the free room right of the pages' tabs, so it crowds neither page.
    presetBar = new PresetBar(
        folders, [this] { return currentSettings(); }, this);
    renderSettings->renderPageControl->setCornerWidget(presetBar, Qt::TopRightCorner);
    // The pickers are filled again first: a preset may name a picture put into a library
    // folder since they were filled.
    connect(presetBar, &PresetBar::presetChosen, renderSettings,
            [this](const RenderSettings &settings) {
                renderSettings->fillPickers();
                renderSettings->setSettings(settings);
                presetBar->showChanged(currentSettings());
            });
    connect(renderSettings, &SettingsPanel::settingsChanged, presetBar,
            [this] { presetBar->showChanged(currentSettings()); });
}

void MainForm::handleStartupMessage()
{
    if (m_startupHandled)
        return;
    m_startupHandled = true;
    checkInfo();
    Q_EMIT startupDone();
}

void MainForm::checkInfo()
{
    tools = configuredTools;
    actRender->setEnabled(!tools.ffMpeg.trimmed().isEmpty());
    actRenderPreview->setEnabled(actRender->isEnabled());
    actThumbnail->setEnabled(actRender->isEnabled());
}

bool MainForm::checkFile(const QString &fileName)
{
    return m_context.checkTool(fileName);
}

RenderSettings MainForm::currentSettings() const
{
    RenderSettings settings = renderSettings->settings();
    settings.cbPreviewScale = cbPreviewScale->currentIndex();
    settings.cbPreviewNoAudio = cbPreviewNoAudio->isChecked();
    return settings;
}

void MainForm::loadSettings()
{
    edOutputFolder->setText(loadOutputFolder(folders.settingsFile()));
}

void MainForm::saveSettings()
{
    QString error;
    if (!saveOutputFolder(folders.settingsFile(), edOutputFolder->text(), &error))
        showMsg(MsgDlgType::mtError, QStringLiteral("Ayar dosyası yazılamadı: %1").arg(error));
}

void MainForm::btnSelectFolderClick()
{
    const QString chosen = chooseFolder(this, edOutputFolder->text());
    if (chosen.isEmpty())
        return;
    QString folder = QDir::toNativeSeparators(chosen);
    // No trailing separator unless the folder is a root.
    while (folder.size() > 1 && folder.endsWith(QDir::separator()) &&
           !(folder.size() == 3 && folder.at(1) == QLatin1Char(':')))
        folder.chop(1);
    edOutputFolder->setText(folder);
}

void MainForm::actOpenOutputFolderExecute()
{
    const QString folder = edOutputFolder->text();
    if (folder.trimmed().isEmpty())
        return;
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

void MainForm::addVideoFiles(const QStringList &paths)
{
    videoListController->addVideoFiles(paths);
}

void MainForm::closeEvent(QCloseEvent *event)
{
    if (!m_closing) {
        m_closing = true;
        saveSettings();
        preview->close();
    }
    event->accept();
}

bool MainForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == videoList->viewport()) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto *drag = static_cast<QDropEvent *>(event);
            if (drag->mimeData()->hasUrls()) {
                drag->acceptProposedAction();
                return true;
            }
            break;
        }
        case QEvent::Drop: {
            auto *drop = static_cast<QDropEvent *>(event);
            QStringList accepted;
            QStringList refused;
            for (const QUrl &url : drop->mimeData()->urls()) {
                if (!url.isLocalFile())
                    continue;
                const QString name = QDir::toNativeSeparators(url.toLocalFile());
                // A folder brings the videos inside it.
                if (QFileInfo(name).isDir()) {
                    const QStringList inside = videoFilesInFolder(name);
                    if (inside.isEmpty())
                        refused.append(name);
                    accepted += inside;
                } else if (passesVideoDropTest(name)) {
                    accepted.append(name);
                } else {
                    refused.append(name);
                }
            }
            drop->acceptProposedAction();
            if (!accepted.isEmpty())
                Q_EMIT videoFilesDropped(accepted);
            // Said once for the whole drop, after the drop has ended.
            if (!refused.isEmpty()) {
                QMetaObject::invokeMethod(
                    this,
                    [refused] { showMsg(MsgDlgType::mtWarning, droppedRefusalText(refused)); },
                    Qt::QueuedConnection);
            }
            return true;
        }
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace fulmaro
