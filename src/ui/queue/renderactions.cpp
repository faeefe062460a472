#include "ui/queue/renderactions.h"

#include "core/batch/batchrun.h"
#include "core/queue/renderjobs.h"
#include "core/render/commandbuilder.h"
#include "core/runner/shellquote.h"
#include "core/runner/toolrun.h"
#include "core/videolist/videolistmodel.h"
#include "ui/dialogs/msgform.h"
#include "ui/queue/previewslot.h"
#include "ui/queue/videorenderform.h"
#include "ui/videolist/videolistcontroller.h"

#include <QAction>
#include <QComboBox>
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

void RenderActions::actRenderExecute()
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
    window->setRun(run);
    window->outputFolder = outputEdit->text();
    window->prepareForm();
    window->exec();
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
