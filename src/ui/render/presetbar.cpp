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
    cbPresets->setPlaceholderText(QStringLiteral("(Varsayılan)"));
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
        bool ok = false;
        const QString name = QInputDialog::getText(parent, QStringLiteral("Ön Ayar Kaydet"),
                                                   QStringLiteral("Ön ayarın adı:"),
                                                   QLineEdit::Normal, offered, &ok);
        return ok ? name : QString();
    };

    // Only a pick by the user loads a preset; refilling the list loads nothing.
    connect(cbPresets, &QComboBox::activated, this, &PresetBar::choosePreset);
    connect(btnPresetSave, &QToolButton::clicked, this, &PresetBar::savePresetClick);
    connect(btnPresetDelete, &QToolButton::clicked, this, &PresetBar::deletePresetClick);
    refresh();
    cbPresets->setCurrentIndex(-1);
    updateButtons();
}

void PresetBar::refresh()
{
    const QString chosen = cbPresets->currentIndex() >= 0 ? cbPresets->currentText() : QString();
    const QSignalBlocker blocker(cbPresets);
    cbPresets->clear();
    cbPresets->addItems(presetNames(m_folders.presetsDir()));
    cbPresets->setCurrentIndex(chosen.isEmpty() ? -1 : cbPresets->findText(chosen));
    updateButtons();
}

void PresetBar::select(const QString &name)
{
    cbPresets->setCurrentIndex(cbPresets->findText(name));
    updateButtons();
}

void PresetBar::updateButtons()
{
    btnPresetDelete->setEnabled(cbPresets->currentIndex() >= 0);
}

void PresetBar::savePresetClick()
{
    const QString offered = cbPresets->currentIndex() >= 0 ? cbPresets->currentText() : QString();
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
    if (!savePreset(m_folders.presetsDir(), name, m_current(), &error)) {
        showMsg(MsgDlgType::mtError, error);
        return;
    }
    refresh();
    select(name);
}

void PresetBar::deletePresetClick()
{
    if (cbPresets->currentIndex() < 0)
        return;
    const QString name = cbPresets->currentText();
    // Only "Evet" deletes; "Hayır" and the close box keep the file.
    if (showMsg(MsgDlgType::mtConfirmation,
                QStringLiteral("\"%1\" ön ayarı silinsin mi?").arg(name)) != kMsgYes)
        return;
    QString error;
    if (!deletePreset(m_folders.presetsDir(), name, &error))
        showMsg(MsgDlgType::mtError, error);
    cbPresets->setCurrentIndex(-1);
    refresh();
}

void PresetBar::choosePreset(int index)
{
    if (index < 0)
        return;
    const QString name = cbPresets->itemText(index);
    const PresetLoad load =
        loadPreset(m_folders.presetsDir(), name,
                   currentLibraryEntries(m_folders.filterDir, m_folders.frameDir, m_folders.logoDir,
                                         m_folders.introDir, m_folders.outroDir));
    if (!load.ok) {
        showMsg(MsgDlgType::mtError, load.error);
        cbPresets->setCurrentIndex(-1);
        updateButtons();
        return;
    }
    updateButtons();
    Q_EMIT presetChosen(load.settings);
    if (!load.missing.isEmpty())
        showMsg(MsgDlgType::mtWarning, missingEntriesText(name, load.missing));
}

} // namespace fulmaro
