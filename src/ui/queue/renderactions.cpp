#include "ui/queue/renderactions.h"

#include "ui/mainform.h"
#include "ui/dialogs/msgform.h"
#include "core/queue/rendercheck.h"
#include "core/queue/renderjobs.h"
#include "ui/queue/videorenderform.h"
#include "core/render/commandbuilder.h"
#include "ui/render/settingspanel.h"
#include "core/runner/shellquote.h"
#include "core/runner/toolrun.h"
#include "ui/videolist/videolistcontroller.h"
#include "core/videolist/videolistmodel.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QToolButton>

#include <memory>

namespace fulmaro {

QString clipPreviewCommand(const QString &playerPath, const QString &folder, const QString &name)
{
    const QString file = name + QStringLiteral(".mp4");
    return quoteArg(playerPath) + QStringLiteral(" -i ") + quoteArg(folder + file)
           + QStringLiteral(" -window_title ") + quoteArg(QStringLiteral("Fulmaro: ") + file)
           + QStringLiteral(" -autoexit -framedrop -vf \"scale=-1:480\"");
}

RenderActions::RenderActions(MainForm *form)
    : QObject(form)
    , m_form(form)
{
    setObjectName(QStringLiteral("RenderActions"));
    connect(form->actRender, &QAction::triggered, this, &RenderActions::actRenderExecute);
    connect(form->actRenderPreview, &QAction::triggered, this,
            &RenderActions::actRenderPreviewExecute);
    // The settings pages are built after the window's own creation: connect once they exist.
    QMetaObject::invokeMethod(this, &RenderActions::connectPanel, Qt::QueuedConnection);
}

void RenderActions::connectPanel()
{
    if (m_panelConnected || !m_form->renderSettings)
        return;
    m_panelConnected = true;
    for (QToolButton *button : {m_form->renderSettings->btnIntroPreview,
                                m_form->renderSettings->btnOutroPreview}) {
        connect(button, &QToolButton::clicked, this,
                [this, button] { videoPreviewClick(button); });
    }
}

void RenderActions::actRenderExecute()
{
    m_form->closePreviewWindow();
    auto *list = m_form->findChild<VideoListController *>();
    if (!list || list->model()->count() == 0)
        return;
    if (m_form->edOutputFolder->text().trimmed().isEmpty()) {
        showMsg(MsgDlgType::mtError, QStringLiteral("Çıkış klasörü seçilmemiş"), 0);
        m_form->edOutputFolder->setFocus();
        return;
    }
    const RenderSettings settings = m_form->renderSettings ? m_form->renderSettings->settings()
                                                           : RenderSettings();
    const QString outputFolder = m_form->edOutputFolder->text();
    // Input the encoder could only fail on, or turn into an empty file, is refused here.
    if (showInputProblem(m_form, checkRenderInput(list->model()->items(), settings, outputFolder)))
        return;
    QList<RenderJob> jobs = buildRenderJobs(list->model()->items(), settings,
                                            BuildFolders::from(m_form->folders, m_form->tools),
                                            outputFolder);
    for (const RenderJob &job : std::as_const(jobs))
        makeScratchCopies(job.copies);

    const std::unique_ptr<VideoRenderForm> window(new VideoRenderForm(m_form));
    window->renderList = std::move(jobs);
    window->outputFolder = outputFolder;
    window->options.encoderPath = m_form->tools.path(m_form->tools.ffMpeg);
    window->options.workDir = m_form->folders.tempDir;
    window->options.timeStart = settings.edTimeStart;
    window->options.timeEnd = settings.edTimeEnd;
    window->options.speedPercent = settings.tbVideoSpeed;
    QPointer<MainForm> form = m_form;
    window->toolCheck = [form] { return form && form->checkFile(form->tools.ffMpeg); };
    window->prepareForm();
    window->exec();
}

void RenderActions::actRenderPreviewExecute()
{
    m_form->closePreviewWindow();
    auto *list = m_form->findChild<VideoListController *>();
    if (!list)
        return;
    const int position = list->selectedOrOnlyPosition();
    if (position < 0)
        return;
    if (!m_form->checkFile(m_form->tools.ffMpeg))
        return;
    const RenderSettings settings = m_form->renderSettings ? m_form->renderSettings->settings()
                                                           : RenderSettings();
    const VideoItem item = list->model()->item(position);
    const BuiltCommand built = buildCommandLine(&item, PreviewMode, settings,
                                                BuildFolders::from(m_form->folders, m_form->tools),
                                                scratchTick());
    makeScratchCopies(built.copies);
    // The run is kept by the main window: closing it (a new preview, a render, the window's end)
    // ends the encoder and the player together.
    auto *run = new ToolRun(previewCommandLine(m_form->tools.path(m_form->tools.ffMpeg), built),
                            m_form->folders.tempDir, {}, this);
    run->setObjectName(QStringLiteral("PreviewRun"));
    connect(run, &ToolRun::done, this, [this, run] {
        if (m_form->previewRun() == run)
            m_form->setPreviewRun(nullptr);
        run->deleteLater();
    });
    m_form->setPreviewRun(run);
    run->start();
}

void RenderActions::videoPreviewClick(QObject *sender)
{
    SettingsPanel *panel = m_form->renderSettings;
    if (!panel || !sender)
        return;
    QComboBox *picker = nullptr;
    QString folder;
    if (sender == panel->btnIntroPreview) {
        picker = panel->cbIntro;
        folder = m_form->folders.introDir;
    } else if (sender == panel->btnOutroPreview) {
        picker = panel->cbOutro;
        folder = m_form->folders.outroDir;
    } else {
        return;
    }
    if (picker->currentIndex() <= 0)
        return;
    // A clip plays on its own: no settings preview or render closes it.
    auto *run = new ToolRun(clipPreviewCommand(m_form->tools.path(m_form->tools.ffPlay), folder,
                                               picker->currentText()),
                            m_form->folders.workDir, {}, this);
    run->setObjectName(QStringLiteral("ClipPreviewRun"));
    connect(run, &ToolRun::done, run, &QObject::deleteLater);
    run->start();
}

RenderActions *installRenderQueue(MainForm *form)
{
    return new RenderActions(form);
}

} // namespace fulmaro
