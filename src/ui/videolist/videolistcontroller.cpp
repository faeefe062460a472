#include "ui/videolist/videolistcontroller.h"

#include "core/base/settingsfile.h"

#include "core/base/pathtext.h"
#include "core/render/commandbuilder.h"
#include "core/thumbnail/stillgrabber.h"
#include "core/videolist/probebatch.h"
#include "core/videolist/videolistmodel.h"
#include "ui/dialogs/addfromwebform.h"
#include "ui/dialogs/msgform.h"
#include "ui/videolist/stilldelegate.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QStyledItemDelegate>
#include <QTreeView>

namespace fulmaro {

namespace {

// Redrawing waits until a bulk change is complete, and resumes on every way out.
class RedrawPause
{
public:
    explicit RedrawPause(QWidget *widget)
        : m_widget(widget)
        , m_was(widget->updatesEnabled())
    {
        m_widget->setUpdatesEnabled(false);
    }
    ~RedrawPause() { m_widget->setUpdatesEnabled(m_was); }

private:
    QWidget *m_widget;
    bool m_was;
};

// The reason in a row that cannot be rendered is drawn like disabled text.
class RefusedRowDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.column() == VideoListModel::ColResolution &&
            index.data(VideoListModel::RefusedRole).toBool()) {
            const QColor grey = option->palette.color(QPalette::Disabled, QPalette::Text);
            option->palette.setColor(QPalette::Text, grey);
            option->palette.setColor(QPalette::HighlightedText, grey);
        }
    }
};

} // namespace

VideoListController::VideoListController(QTreeView *view, const VideoListActions &actions,
                                         const FeatureContext &context, QObject *parent)
    : QObject(parent)
    , m_view(view)
    , m_context(context)
    , m_model(new VideoListModel(this))
    , m_stills(new StillGrabber(context.tools, context.folders.tempDir, this))
{
    setObjectName(QStringLiteral("VideoListController"));

    view->setModel(m_model);
    view->setItemDelegate(new RefusedRowDelegate(view));
    QFont font(QStringLiteral("Arial Unicode MS"));
    font.setPointSize(8);
    view->setFont(font);
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(true);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The selection stays visible when the list loses the focus.
    QPalette palette = view->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    view->setPalette(palette);

    QHeaderView *header = view->header();
    header->setStretchLastSection(false);
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setSectionResizeMode(VideoListModel::ColCaption, QHeaderView::Stretch);
    for (int col = VideoListModel::ColDuration; col < VideoListModel::ColumnCount; ++col) {
        header->setSectionResizeMode(col, QHeaderView::Fixed);
        header->resizeSection(col, 90);
    }

    view->setItemDelegateForColumn(VideoListModel::ColCaption, new StillDelegate(view));
    view->setIconSize(StillDelegate::stillSize());
    // A row removed before its turn costs no encoder run.
    m_stills->setObjectName(QStringLiteral("StillGrabber"));
    m_stills->wanted = [this](quint64 key) { return m_model->positionOfKey(key) >= 0; };
    connect(m_stills, &StillGrabber::stillReady, m_model,
            [this](quint64 key, const QByteArray &picture) {
                m_model->setStill(key, StillState::Ready, picture);
            });
    connect(m_stills, &StillGrabber::stillFailed, m_model,
            [this](quint64 key) { m_model->setStill(key, StillState::None); });

    connect(m_model, &QAbstractItemModel::modelReset, this, &VideoListController::showGroups);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &VideoListController::showGroups);

    chooseVideoFiles = [settings = m_context.folders.settingsFile()](QWidget *parent) {
        QFileDialog dialog(parent);
        dialog.setObjectName(QStringLiteral("OpenVideoDialog"));
        // Where videos were last added from.
        if (const QString last = loadDialogFolder(settings, QStringLiteral("videofolder"));
            !last.isEmpty())
            dialog.setDirectory(last);
        dialog.setFileMode(QFileDialog::ExistingFiles);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setOption(QFileDialog::HideNameFilterDetails, true);
        dialog.setNameFilters(videoDialogNameFilters());
        dialog.selectNameFilter(videoDialogNameFilters().constFirst());
        dialog.setSizeGripEnabled(true);
        if (dialog.exec() != QDialog::Accepted)
            return QStringList();
        QStringList paths;
        for (const QString &path : dialog.selectedFiles())
            paths << QDir::toNativeSeparators(path);
        return paths;
    };

    const auto on = [this](QAction *action, void (VideoListController::*slot)()) {
        if (action)
            connect(action, &QAction::triggered, this, slot);
    };
    on(actions.videoLocal, &VideoListController::actVideoLocalExecute);
    on(actions.videoDelete, &VideoListController::actVideoDeleteExecute);
    on(actions.videoUp, &VideoListController::actVideoUpExecute);
    on(actions.videoDown, &VideoListController::actVideoDownExecute);
    on(actions.selectAll, &VideoListController::actSelectAllExecute);
    on(actions.selectNone, &VideoListController::actSelectNoneExecute);
    on(actions.selectInvert, &VideoListController::actSelectInvertExecute);
    on(actions.groupCreate, &VideoListController::actGroupCreateExecute);
    on(actions.videoMerge, &VideoListController::actVideoMergeExecute);
    on(actions.videoInternet, &VideoListController::actVideoInternetExecute);
}

void VideoListController::showGroups()
{
    // Group headers span the whole line and their rows stay open.
    QTreeView *view = m_view;
    if (!m_model->isGrouped())
        return;
    for (int row = 0; row < m_model->rowCount(); ++row)
        view->setFirstColumnSpanned(row, QModelIndex(), true);
    view->expandAll();
}

void VideoListController::addVideoFiles(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    auto *batch = new ProbeBatch(m_context.tools, m_context.folders.workDir, paths, this);
    ++m_activeAdds;
    // The rows first: stills wait until every probe of the adds has ended.
    m_stills->setHeld(true);
    connect(batch, &ProbeBatch::itemReady, this, &VideoListController::appendProbed);
    connect(batch, &ProbeBatch::finished, this, [this, batch] {
        --m_activeAdds;
        batch->deleteLater();
        if (m_activeAdds == 0)
            m_stills->setHeld(false);
        Q_EMIT addFinished();
    });
    batch->start();
}

void VideoListController::appendProbed(const VideoItem &item)
{
    const quint64 key = m_model->append(item);
    // Without a video stream there is nothing to grab. The row is listed first; its still
    // follows from the background.
    if (!hasPictureSize(item.resolution)) {
        m_model->setStill(key, StillState::None);
        return;
    }
    m_stills->setTools(m_context.tools);
    m_stills->setTempDir(m_context.folders.tempDir);
    m_stills->request(key, item.caption, durationToSeconds(item.duration));
}

int VideoListController::selectedPosition() const
{
    const QModelIndexList rows = m_view->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : m_model->positionOf(rows.constFirst());
}

int VideoListController::selectedOrOnlyPosition()
{
    if (m_model->count() == 1)
        selectPosition(0);
    return selectedPosition();
}

void VideoListController::selectPosition(int position)
{
    const QModelIndex index = m_model->indexOfPosition(position);
    if (!index.isValid())
        return;
    m_view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
}

void VideoListController::actVideoLocalExecute()
{
    const QStringList paths =
        chooseVideoFiles ? chooseVideoFiles(m_context.dialogParent) : QStringList();
    // The dialog opens there next time, in this run and the next.
    if (!paths.isEmpty())
        saveDialogFolder(m_context.folders.settingsFile(), QStringLiteral("videofolder"),
                         QFileInfo(paths.constFirst()).absolutePath());
    addVideoFiles(paths);
}

void VideoListController::actVideoDeleteExecute()
{
    if (m_model->checkedCount() == 0) {
        removeSelected();
        return;
    }
    const int checked = m_model->checkedCount();
    QString question = QStringLiteral("İşaretli %1 video listeden çıkartılsın mı?").arg(checked);
    if (checked == 1) {
        for (const VideoItem &row : m_model->items()) {
            if (row.checked)
                question = removeQuestion(row.caption);
        }
    }
    if (showMsg(MsgDlgType::mtConfirmation, question, 0) == kMsgNo)
        return;
    // The question ran an event loop: marks may have changed meanwhile, so look again.
    int selected = selectedPosition();
    if (selected >= 0) {
        if (m_model->item(selected).checked) {
            selected = -1;
        } else {
            int before = 0;
            for (int pos = 0; pos < selected; ++pos)
                before += m_model->item(pos).checked ? 1 : 0;
            selected -= before;
        }
    }
    RedrawPause pause(m_view);
    m_model->removeChecked();
    if (selected >= 0)
        selectPosition(selected);
}

QString VideoListController::removeQuestion(const QString &caption)
{
    return QStringLiteral("\"%1\" listeden çıkartılsın mı?").arg(fileNamePart(caption));
}

void VideoListController::removeSelected()
{
    const int position = selectedPosition();
    if (position < 0)
        return;
    const QVariant key = m_model->indexOfPosition(position).data(VideoListModel::KeyRole);
    if (showMsg(MsgDlgType::mtConfirmation, removeQuestion(m_model->item(position).caption), 0) ==
        kMsgNo)
        return;
    // The question ran an event loop: the row may have moved or gone meanwhile.
    const int now = m_model->positionOfKey(key.toULongLong());
    if (now < 0)
        return;
    RedrawPause pause(m_view);
    m_model->removeAt(now);
    if (m_model->count() > 0)
        selectPosition(std::min(now, m_model->count() - 1));
}

void VideoListController::moveSelected(int step)
{
    const int i = selectedPosition();
    if (i < 0)
        return;
    const int j = i + step;
    if (j < 0 || j >= m_model->count())
        return;
    {
        RedrawPause pause(m_view);
        m_model->exchangeItems(i, j);
    }
    selectPosition(j);
}

void VideoListController::actVideoUpExecute()
{
    moveSelected(-1);
}

void VideoListController::actVideoDownExecute()
{
    moveSelected(1);
}

void VideoListController::actSelectAllExecute()
{
    m_model->setAllChecked(true);
}

void VideoListController::actSelectNoneExecute()
{
    m_model->setAllChecked(false);
}

void VideoListController::actSelectInvertExecute()
{
    m_model->invertChecks();
}

void VideoListController::groupChecked(const QString &header)
{
    const int selected = selectedPosition();
    RedrawPause pause(m_view);
    if (m_model->groupChecked(header) >= 0 && selected >= 0)
        selectPosition(selected);
}

void VideoListController::actGroupCreateExecute()
{
    groupChecked(QStringLiteral("Yeni Video Grubu"));
}

void VideoListController::actVideoMergeExecute()
{
    for (const VideoItem &row : m_model->items()) {
        if (row.checked) {
            groupChecked(fileNamePart(row.caption));
            return;
        }
    }
}

void VideoListController::actVideoInternetExecute()
{
    AddFromWebForm form(m_context.dialogParent);
    form.exec();
}

} // namespace fulmaro
