#pragma once

#include "core/batch/runjournal.h"
#include "core/render/rendersettings.h"
#include "ui/featurecontext.h"

#include <QMap>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QComboBox;
class QLineEdit;

namespace fulmaro {

class PreviewSlot;
class RunJournal;
class VideoListController;

// The player's command line for a clip of the intro or outro library.
QString clipPreviewCommand(const QString &playerPath, const QString &folder, const QString &name);

// What the render and preview actions read from the rest of the window.
struct RenderInputs
{
    VideoListController *list = nullptr;
    QLineEdit *outputFolder = nullptr;        // edOutputFolder
    std::function<RenderSettings()> settings; // the panel's values and the preview options
    PreviewSlot *preview = nullptr;           // the running settings preview
    // Puts settings back on the pages (a run continued after a crash).
    std::function<void(const RenderSettings &)> applySettings;
};

// The render and preview actions and the clip previews of the third page.
class RenderActions : public QObject
{
    Q_OBJECT
public:
    RenderActions(QAction *actRender, QAction *actRenderPreview, const RenderInputs &inputs,
                  const FeatureContext &context, QObject *parent = nullptr);
    ~RenderActions() override;

    // After a run that did part of its jobs (stopped, or some failed), the same list with the
    // same settings and output folder asks whether to run only what is not done.
    void actRenderExecute();
    void actRenderPreviewExecute();
    // Plays the clip chosen in an intro or outro picker; nothing while the picker shows "Yok".
    void videoPreviewClick(const QComboBox *picker, const QString &folder);

    // A run the program did not end (a crash, a kill, a power cut) left its journal: asks
    // whether to continue it and, if so, lists its sources again with its settings and output
    // folder and opens the queue with the jobs it had done marked done. If not, the journal is
    // kept aside for a week. False when there was none.
    bool offerUnfinishedRun();

private:
    // The render of the list's rows; a continued run marks its done jobs and keeps its journal.
    void render(const QList<int> &doneBefore, std::unique_ptr<RunJournal> journal,
                const QString &doneNotice = QString(), const QMap<int, QString> &notices = {});
    // The rows of the list a run recorded as done, whose sources and outputs have not changed
    // since, when the list renders with the same settings into the same folder. The rows it
    // recorded as done that must run again, with the reason, go into redone.
    QList<int> doneRows(const JournalData &run, QMap<int, QString> *redone = nullptr) const;

    RenderInputs m_inputs;
    std::optional<JournalData> m_lastRun; // the last run's outcome, when it ended partly done
    FeatureContext m_context;
};

} // namespace fulmaro
