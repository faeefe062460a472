#include "ui/render/presetbar.h"

#include "core/render/presets.h"
#include "ui/dialogs/msgform.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace fulmaro {

PresetBar::PresetBar(const WorkFolders &folders, std::function<RenderSettings()> current,
                     QWidget *dialogParent, QWidget *parent)
    : QWidget(parent)
    , m_folders(folders)
    , m_current(std::move(current))
    , m_dialogParent(dialogParent)
{
    setObjectName(QStringLiteral("PresetBar"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 1);
    layout->setSpacing(3);
    auto *caption = new QLabel(QStringLiteral("Ön Ayar"), this);
    cbPresets = new QComboBox(this);
    cbPresets->setObjectName(QStringLiteral("cbPresets"));
    cbPresets->setMinimumContentsLength(16);
    cbPresets->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    btnPresetSave = new QToolButton(this);
    btnPresetSave->setObjectName(QStringLiteral("btnPresetSave"));
    btnPresetSave->setText(QStringLiteral("Kaydet"));
    btnPresetSave->setToolTip(QStringLiteral("Ayarları ön ayar olarak kaydet"));
    btnPresetDelete = new QToolButton(this);
    btnPresetDelete->setObjectName(QStringLiteral("btnPresetDelete"));
    btnPresetDelete->setText(QStringLiteral("Sil"));
    btnPresetDelete->setToolTip(QStringLiteral("Seçili ön ayarı sil"));
    layout->addWidget(caption);
    layout->addWidget(cbPresets);
    layout->addWidget(btnPresetSave);
    layout->addWidget(btnPresetDelete);

    askName = [](QWidget *parent, const QString &offered) {
        QInputDialog dialog(parent);
        dialog.setObjectName(QStringLiteral("PresetNameDialog"));
        dialog.setWindowTitle(QStringLiteral("Ön Ayar Kaydet"));
        dialog.setLabelText(QStringLiteral("Ön ayarın adı:"));
        dialog.setTextValue(offered);
        // Wide enough for its title beside the frame's buttons, and for a long name.
        dialog.setMinimumWidth(360);
        return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
    };

    // Only a pick by the user loads a preset; refilling the list loads nothing.
    connect(cbPresets, &QComboBox::activated, this, &PresetBar::choosePreset);
    connect(btnPresetSave, &QToolButton::clicked, this, &PresetBar::savePresetClick);
    connect(btnPresetDelete, &QToolButton::clicked, this, &PresetBar::deletePresetClick);
    refresh();
    cbPresets->setCurrentIndex(0);
    updateButtons();
}

namespace {

QString defaultsItem()
{
    return QStringLiteral("(Varsayılan)");
}

} // namespace

void PresetBar::refresh()
{
    const QString chosen = chosenName();
    const QSignalBlocker blocker(cbPresets);
    cbPresets->clear();
    cbPresets->addItem(defaultsItem(), QString());
    for (const QString &name : presetNames(m_folders.presetsDir()))
        cbPresets->addItem(name, name);
    const int index = cbPresets->findData(chosen);
    cbPresets->setCurrentIndex(index < 0 ? 0 : index);
    markChosen();
    updateButtons();
}

QString PresetBar::chosenName() const
{
    return cbPresets->currentIndex() > 0 ? cbPresets->currentData().toString() : QString();
}

void PresetBar::select(const QString &name)
{
    const int index = cbPresets->findData(name);
    cbPresets->setCurrentIndex(index < 0 ? 0 : index);
    markChosen();
    updateButtons();
}

void PresetBar::showChanged(const RenderSettings &shown)
{
    // The preview strip's choices are the window's, not a preset's.
    RenderSettings applied = m_applied;
    applied.cbPreviewScale = shown.cbPreviewScale;
    applied.cbPreviewNoAudio = shown.cbPreviewNoAudio;
    const bool changed = !(applied == shown);
    if (changed == m_changed)
        return;
    m_changed = changed;
    markChosen();
}

void PresetBar::markChosen()
{
    for (int index = 0; index < cbPresets->count(); ++index) {
        const QString name = index == 0 ? defaultsItem() : cbPresets->itemData(index).toString();
        const bool marked = m_changed && index == cbPresets->currentIndex();
        cbPresets->setItemText(index, marked ? name + QStringLiteral(" *") : name);
    }
}

void PresetBar::updateButtons()
{
    btnPresetDelete->setEnabled(cbPresets->currentIndex() > 0);
}

void PresetBar::savePresetClick()
{
    const QString offered = chosenName();
    const QString name = askName(m_dialogParent, offered);
    if (name.isEmpty())
        return;
    if (const QString problem = presetNameProblem(name); !problem.isEmpty()) {
        showMsg(MsgDlgType::mtError, problem);
        return;
    }
    if (presetNames(m_folders.presetsDir()).contains(name) &&
        showMsg(
            MsgDlgType::mtConfirmation,
            QStringLiteral("\"%1\" adlı bir ön ayar zaten var. Yerine yazılsın mı?").arg(name)) !=
            kMsgYes)
        return;
    QString error;
    const RenderSettings saved = m_current();
    if (!savePreset(m_folders.presetsDir(), name, saved, &error)) {
        showMsg(MsgDlgType::mtError, error);
        return;
    }
    m_applied = saved;
    m_changed = false;
    refresh();
    select(name);
}

void PresetBar::deletePresetClick()
{
    const QString name = chosenName();
    if (name.isEmpty())
        return;
    // Only "Evet" deletes; "Hayır" and the close box keep the file.
    if (showMsg(MsgDlgType::mtConfirmation,
                QStringLiteral("\"%1\" ön ayarı silinsin mi?").arg(name)) != kMsgYes)
        return;
    QString error;
    if (!deletePreset(m_folders.presetsDir(), name, &error))
        showMsg(MsgDlgType::mtError, error);
    // The pages keep what they show; against the defaults now, the picker says whether that
    // differs.
    m_applied = RenderSettings();
    cbPresets->setCurrentIndex(0);
    refresh();
    m_changed = false;
    showChanged(m_current());
}

void PresetBar::choosePreset(int index)
{
    if (index < 0)
        return;
    if (index == 0) {
        m_applied = RenderSettings();
        m_changed = false;
        markChosen();
        updateButtons();
        Q_EMIT presetChosen(m_applied);
        return;
    }
    const QString name = cbPresets->itemData(index).toString();
    const PresetLoad load =
        loadPreset(m_folders.presetsDir(), name,
                   currentLibraryEntries(m_folders.filterDir, m_folders.frameDir, m_folders.logoDir,
                                         m_folders.introDir, m_folders.outroDir));
    if (!load.ok) {
        showMsg(MsgDlgType::mtError, load.error);
        cbPresets->setCurrentIndex(0);
        m_applied = RenderSettings();
        m_changed = false;
        showChanged(m_current());
        updateButtons();
        return;
    }
    m_applied = load.settings;
    m_changed = false;
    markChosen();
    updateButtons();
    Q_EMIT presetChosen(load.settings);
    if (!load.missing.isEmpty())
        showMsg(MsgDlgType::mtWarning, missingEntriesText(name, load.missing));
}

} // namespace fulmaro
