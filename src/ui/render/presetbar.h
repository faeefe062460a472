#pragma once

#include "core/base/workfolders.h"
#include "core/render/rendersettings.h"

#include <QWidget>

#include <functional>

class QComboBox;
class QToolButton;

namespace fulmaro {

// The preset picker: "(Varsayılan)" and the saved presets, with a save and a delete button.
// Choosing a preset reads its file and hands its settings on; the window shows them; choosing
// "(Varsayılan)" hands on the defaults. The program starts with the defaults. Once the settings
// shown differ from what was chosen, the entry shows it ("Dikey *").
class PresetBar : public QWidget
{
    Q_OBJECT
public:
    // current gives the settings to save; dialogParent parents the questions.
    PresetBar(const WorkFolders &folders, std::function<RenderSettings()> current,
              QWidget *dialogParent, QWidget *parent = nullptr);

    QComboBox *cbPresets;
    QToolButton *btnPresetSave;
    QToolButton *btnPresetDelete;

    // Asks a preset's name, offering the given one; empty when the user cancels. Replaceable so
    // that saving can run without a dialog.
    std::function<QString(QWidget *parent, const QString &offered)> askName;

    // Lists the presets of the folder again, keeping the chosen one when it still exists.
    void refresh();
    // The name of the chosen preset; empty for "(Varsayılan)".
    QString chosenName() const;
    // Marks the chosen entry as changed or not, against the settings shown now.
    void showChanged(const RenderSettings &shown);

public Q_SLOTS:
    void savePresetClick();
    void deletePresetClick();
    void choosePreset(int index);

Q_SIGNALS:
    // A preset was chosen and read: every panel control is to show these.
    void presetChosen(const RenderSettings &settings);

private:
    void select(const QString &name);
    void updateButtons();
    // The chosen entry's text: its name, with " *" once the settings shown differ from it.
    void markChosen();

    RenderSettings m_applied; // what the chosen entry put on the pages
    bool m_changed = false;
    const WorkFolders &m_folders;
    std::function<RenderSettings()> m_current;
    QWidget *m_dialogParent;
};

} // namespace fulmaro
