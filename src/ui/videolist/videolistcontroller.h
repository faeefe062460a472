#pragma once

#include "core/videolist/videoitem.h"
#include "ui/featurecontext.h"

#include <QObject>
#include <QStringList>

#include <functional>

class QAction;
class QTreeView;
class QWidget;

namespace fulmaro {

class StillGrabber;
class VideoListModel;

// The actions the list answers to; the main window places them in its toolbar and menus.
struct VideoListActions
{
    QAction *videoLocal = nullptr;
    QAction *videoInternet = nullptr;
    QAction *videoDelete = nullptr;
    QAction *videoUp = nullptr;
    QAction *videoDown = nullptr;
    QAction *selectAll = nullptr;
    QAction *selectNone = nullptr;
    QAction *selectInvert = nullptr;
    QAction *groupCreate = nullptr;
    QAction *videoMerge = nullptr;
};

// The video list: the model behind its view, the columns, the list actions and adding files.
class VideoListController : public QObject
{
    Q_OBJECT
public:
    VideoListController(QTreeView *view, const VideoListActions &actions,
                        const FeatureContext &context, QObject *parent = nullptr);

    VideoListModel *model() const { return m_model; }
    // Grabs the rows' stills after their probes.
    StillGrabber *stills() const { return m_stills; }

    // Probes the paths and appends their rows in this order; returns at once.
    void addVideoFiles(const QStringList &paths);
    // Whether an add is still probing.
    bool isAdding() const { return m_activeAdds > 0; }

    // The selected row's list position, or -1.
    int selectedPosition() const;
    void selectPosition(int position);
    // The row an operation on "the selected video" works on: the selected one, after selecting
    // the only row when the list holds exactly one; -1 when there is none.
    int selectedOrOnlyPosition();

    // Picks files to add; replaceable so the add can run without a dialog.
    std::function<QStringList(QWidget *parent)> chooseVideoFiles;

    void actVideoLocalExecute();
    void actVideoDeleteExecute();
    void actVideoUpExecute();
    void actVideoDownExecute();
    void actSelectAllExecute();
    void actSelectNoneExecute();
    void actSelectInvertExecute();
    void actGroupCreateExecute();
    void actVideoMergeExecute();
    void actVideoInternetExecute();

Q_SIGNALS:
    // An add has dealt with all of its paths.
    void addFinished();

private:
    // Without marks "Sil" removes the highlighted row.
    void removeSelected();
    static QString removeQuestion(const QString &caption);
    void moveSelected(int step);
    void groupChecked(const QString &header);
    void showGroups();
    void appendProbed(const VideoItem &item);

    QTreeView *m_view;
    FeatureContext m_context;
    VideoListModel *m_model;
    StillGrabber *m_stills;
    int m_activeAdds = 0;
};

} // namespace fulmaro
