#pragma once

#include "core/render/rendersettings.h"
#include "ui/featurecontext.h"

#include <QObject>
#include <QString>

#include <functional>

class QAction;
class QComboBox;
class QLineEdit;

namespace fulmaro {

class PreviewSlot;
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
};

// The render and preview actions and the clip previews of the third page.
class RenderActions : public QObject
{
    Q_OBJECT
public:
    RenderActions(QAction *actRender, QAction *actRenderPreview, const RenderInputs &inputs,
                  const FeatureContext &context, QObject *parent = nullptr);

    void actRenderExecute();
    void actRenderPreviewExecute();
    // Plays the clip chosen in an intro or outro picker; nothing while the picker shows "Yok".
    void videoPreviewClick(const QComboBox *picker, const QString &folder);

private:
    RenderInputs m_inputs;
    FeatureContext m_context;
};

} // namespace fulmaro
