#pragma once

#include <QObject>
#include <QString>

namespace fulmaro {

class MainForm;

// The player's command line for a clip of the intro or outro library.
QString clipPreviewCommand(const QString &playerPath, const QString &folder, const QString &name);

// The main window's render and preview actions and the clip previews of the third page.
class RenderActions : public QObject
{
    Q_OBJECT
public:
    explicit RenderActions(MainForm *form);

    void actRenderExecute();
    void actRenderPreviewExecute();
    // sender is btnIntroPreview or btnOutroPreview; anything else does nothing.
    void videoPreviewClick(QObject *sender);

private:
    void connectPanel();

    MainForm *m_form;
    bool m_panelConnected = false;
};

// Puts the render queue and the previews on the main window.
RenderActions *installRenderQueue(MainForm *form);

} // namespace fulmaro
