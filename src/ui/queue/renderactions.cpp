#include "ui/queue/renderactions.h"

#include "core/batch/batchrun.h"
#include "core/batch/runjournal.h"
#include "core/queue/renderjobs.h"
#include "core/render/commandbuilder.h"
#include "core/render/presets.h"
#include "core/runner/shellquote.h"
#include "core/runner/toolrun.h"
#include "core/videolist/videolistmodel.h"
#include "ui/dialogs/msgform.h"
#include "ui/queue/previewslot.h"
#include "ui/queue/videorenderform.h"
#include "ui/videolist/videolistcontroller.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>

#include <memory>

namespace fulmaro {

QString clipPreviewCommand(const QString &playerPath, const QString &folder, const QString &name)
{
    const QString file = name + QStringLiteral(".mp4");
    return quoteArg(playerPath) + QStringLiteral(" -i ") + quoteArg(folder + file) +
           QStringLiteral(" -window_title ") + quoteArg(QStringLiteral("Fulmaro: ") + file) +
           QStringLiteral(" -autoexit -framedrop -vf \"scale=-1:480\"");
}

RenderActions::RenderActions(QAction *actRender, QAction *actRenderPreview,
                             const RenderInputs &inputs, const FeatureContext &context,
                             QObject *parent)
    : QObject(parent)
    , m_inputs(inputs)
    , m_context(context)
{
    setObjectName(QStringLiteral("RenderActions"));
    connect(actRender, &QAction::triggered, this, &RenderActions::actRenderExecute);
    connect(actRenderPreview, &QAction::triggered, this, &RenderActions::actRenderPreviewExecute);
}

RenderActions::~RenderActions() = default;

void RenderActions::actRenderExecute()
{
    QList<int> done = m_lastRun ? doneRows(*m_lastRun) : QList<int>();
    const int rows = m_inputs.list->model()->count();
    if (!done.isEmpty() && done.size() < rows) {
        const int answer = showMsg(MsgDlgType::mtConfirmation,
                                   QStringLiteral("Önceki işlemde %1 iş tamamlanmıştı. Yalnızca "
                                                  "kalan %2 iş yapılsın mı?")
                                       .arg(done.size())
                                       .arg(rows - done.size()),
                                   0);
        if (answer != kMsgYes)
            done.clear();
    } else {
        done.clear();
    }
    render(done, nullptr, QStringLiteral("Önceki işlemde tamamlanmıştı."));
}

QList<int> RenderActions::doneRows(const JournalData &run, QMap<int, QString> *redone) const
{
    if (run.settings != presetText(m_inputs.settings()) ||
        run.outputFolder != m_inputs.outputFolder->text())
        return {};
    // A job is done when its row renders to the output it wrote and neither has changed since.
    const QList<VideoItem> items = m_inputs.list->model()->items();
    QStringList captions;
    for (const VideoItem &item : items)
        captions << item.caption;
    const QStringList outputs = renderOutputPaths(captions, outputExtension(m_inputs.settings()),
                                                  m_inputs.outputFolder->text());
    QList<int> done;
    for (const JournalJob &job : run.jobs) {
        const qsizetype row = outputs.indexOf(job.output);
        if (job.state != QLatin1String("tamam") || row < 0 || captions.at(row) != job.source)
            continue;
        if (const QString problem = doneJobProblem(job); problem.isEmpty())
            done << int(row);
        else if (redone)
            redone->insert(int(row), problem + QStringLiteral(" Yeniden işleniyor."));
    }
    return done;
}

void RenderActions::render(const QList<int> &doneBefore, std::unique_ptr<RunJournal> journal,
                           const QString &doneNotice, const QMap<int, QString> &notices)
{
    m_inputs.preview->close();
    VideoListController *list = m_inputs.list;
    if (list->model()->count() == 0)
        return;
    QLineEdit *outputEdit = m_inputs.outputFolder;
    if (outputEdit->text().trimmed().isEmpty()) {
        showMsg(MsgDlgType::mtError, QStringLiteral("Çıkış klasörü seçilmemiş"), 0);
        outputEdit->setFocus();
        return;
    }
    const std::unique_ptr<VideoRenderForm> window(new VideoRenderForm(m_context.dialogParent));
    auto *run =
        new BatchRun({m_inputs.settings(), outputEdit->text(), m_context.folders, m_context.tools},
                     list->model()->items(), window.get());
    // Input the encoder could only fail on, or turn into an empty file, is refused here.
    if (showInputProblem(m_context.dialogParent, run->check()))
        return;
    run->toolCheck = [this] { return m_context.checkTool(m_context.tools.ffMpeg); };
    // The run's journal, so a crash loses nothing: this program's own name for it.
    if (!journal) {
        journal = std::make_unique<RunJournal>(
            journalFolder(m_context.folders.workDir) + QStringLiteral("pencere-") +
            QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmsszzz")) +
            QLatin1Char('-') + QString::number(QCoreApplication::applicationPid()) +
            QStringLiteral(".json"));
        journal->lock();
    }
    run->setJournal(std::move(journal));
    run->setDoneBefore(doneBefore, doneNotice);
    run->setNotices(notices);
    window->setRun(run);
    window->outputFolder = outputEdit->text();
    window->prepareForm();
    window->exec();
    // What the last run (a "Yeniden Dene" run, if there was one) left undone is offered next.
    m_lastRun.reset();
    if (const BatchRun *last = window->run(); last && last->phase() == BatchRun::Phase::Done) {
        const BatchTotals sum = last->totals();
        if (sum.succeeded > 0 && (sum.failed > 0 || sum.notRun > 0))
            m_lastRun = last->outcome();
    }
}

bool RenderActions::offerUnfinishedRun()
{
    const QString folder = journalFolder(m_context.folders.workDir);
    removeOldJournals(folder);
    const QStringList found = orphanJournals(folder, QStringLiteral("pencere-"));
    if (found.isEmpty())
        return false;
    // The latest; older ones are offered at the next start.
    auto journal = std::make_unique<RunJournal>(found.constLast());
    if (!journal->lock())
        return false;
    QFile file(journal->path());
    QString problem = QStringLiteral("dosya açılamadı");
    std::optional<JournalData> data;
    if (file.open(QIODevice::ReadOnly))
        data = parseJournal(file.readAll(), &problem);
    file.close();
    if (!data) {
        const QString aside = journal->setAside(QStringLiteral("bozuk"));
        journal->remove();
        showMsg(MsgDlgType::mtError,
                QStringLiteral("Yarım kalan bir işlemin kaydı okunamadı (%1); bir kenara kondu: %2")
                    .arg(problem, QDir::toNativeSeparators(aside)),
                0);
        return true;
    }
    int waiting = 0;
    for (const JournalJob &job : std::as_const(data->jobs))
        waiting += job.state == QLatin1String("tamam") ? 0 : 1;
    const int answer =
        showMsg(MsgDlgType::mtConfirmation,
                QStringLiteral("Yarım kalan bir işlem bulundu: %1 iş bekliyor. Devam edilsin mi?")
                    .arg(waiting),
                0);
    if (answer != kMsgYes) {
        // Kept aside for a week, in case it was wanted after all.
        journal->setAside(QStringLiteral("eski"));
        journal->remove();
        return true;
    }
    const WorkFolders &folders = m_context.folders;
    const PresetLoad load = parsePreset(
        data->settings, currentLibraryEntries(folders.filterDir, folders.frameDir, folders.logoDir,
                                              folders.introDir, folders.outroDir));
    if (load.ok && m_inputs.applySettings)
        m_inputs.applySettings(load.settings);
    m_inputs.outputFolder->setText(data->outputFolder);
    QStringList sources;
    for (const JournalJob &job : std::as_const(data->jobs))
        sources << job.source;
    VideoListController *list = m_inputs.list;
    auto connection = std::make_shared<QMetaObject::Connection>();
    auto held = std::make_shared<std::unique_ptr<RunJournal>>(std::move(journal));
    const JournalData jobs = *data;
    *connection = connect(list, &VideoListController::addFinished, this,
                          [this, list, connection, held, jobs] {
                              disconnect(*connection);
                              // The settings just applied are the journal's; every row not done
                              // runs.
                              JournalData run = jobs;
                              run.settings = presetText(m_inputs.settings());
                              run.outputFolder = m_inputs.outputFolder->text();
                              QMap<int, QString> redone;
                              const QList<int> done = doneRows(run, &redone);
                              render(done, std::move(*held), QString(), redone);
                          });
    list->addVideoFiles(sources);
    return true;
}

void RenderActions::actRenderPreviewExecute()
{
    m_inputs.preview->close();
    VideoListController *list = m_inputs.list;
    const int position = list->selectedOrOnlyPosition();
    if (position < 0)
        return;
    const VideoItem item = list->model()->item(position);
    if (!item.renderable()) {
        showMsg(MsgDlgType::mtError, refusalMessage(item), 0);
        return;
    }
    const ToolSet &tools = m_context.tools;
    if (!m_context.checkTool(tools.ffMpeg))
        return;
    const RenderSettings settings = m_inputs.settings();
    const BuildFolders buildFolders = BuildFolders::from(m_context.folders, tools);
    const BuiltCommand built =
        buildCommandLine(&item, PreviewMode, settings, buildFolders, scratchTick());
    makeScratchCopies(built.copies);
    // The slot keeps the run: closing it (a new preview, a render, the window's end) ends the
    // encoder and the player together.
    auto *run = new ToolRun(previewCommandLine(tools.path(tools.ffMpeg), built),
                            m_context.folders.tempDir, {}, this);
    run->setObjectName(QStringLiteral("PreviewRun"));
    connect(run, &ToolRun::done, run, &QObject::deleteLater);
    m_inputs.preview->hold(run);
    run->start();
}

void RenderActions::videoPreviewClick(const QComboBox *picker, const QString &folder)
{
    if (picker->currentIndex() <= 0)
        return;
    // A clip plays on its own: no settings preview or render closes it.
    const ToolSet &tools = m_context.tools;
    auto *run =
        new ToolRun(clipPreviewCommand(tools.path(tools.ffPlay), folder, picker->currentText()),
                    m_context.folders.workDir, {}, this);
    run->setObjectName(QStringLiteral("ClipPreviewRun"));
    connect(run, &ToolRun::done, run, &QObject::deleteLater);
    run->start();
}

} // namespace fulmaro
