#include "ui/render/settingcontrols.h"

#include <QCheckBox>
#include <QComboBox>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QSpinBox>
#include <QStandardItemModel>

namespace fulmaro {

QWidget *createSettingControl(const SettingControl &control, QWidget *parent)
{
    QWidget *widget = nullptr;
    switch (control.kind) {
    case SettingKind::IndexList:
    case SettingKind::TextList:
    case SettingKind::Picker: {
        auto *box = new QComboBox(parent);
        box->addItems(control.kind == SettingKind::Picker ? QStringList() : control.items);
        widget = box;
        break;
    }
    case SettingKind::TypedText: {
        // An editable drop-down that takes only what the validator lets through.
        auto *box = new QComboBox(parent);
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->addItems(control.items);
        box->setValidator(
            new QRegularExpressionValidator(QRegularExpression(control.typingPattern), box));
        widget = box;
        break;
    }
    case SettingKind::Check:
        widget = new QCheckBox(parent);
        break;
    case SettingKind::Spin: {
        auto *box = new QSpinBox(parent);
        box->setRange(control.minimum, control.maximum);
        widget = box;
        break;
    }
    case SettingKind::Slider: {
        auto *slider = new QSlider(Qt::Horizontal, parent);
        slider->setTickPosition(QSlider::NoTicks);
        slider->setRange(control.minimum, control.maximum);
        widget = slider;
        break;
    }
    }
    widget->setObjectName(control.name);
    writeSettingControl(control, widget, RenderSettings());
    return widget;
}

void readSettingControl(const SettingControl &control, const QWidget *widget,
                        RenderSettings &settings)
{
    switch (control.kind) {
    case SettingKind::IndexList:
        settings.*control.number = qobject_cast<const QComboBox *>(widget)->currentIndex();
        break;
    case SettingKind::TextList:
    case SettingKind::TypedText:
        settings.*control.text = qobject_cast<const QComboBox *>(widget)->currentText();
        break;
    case SettingKind::Picker: {
        const auto *box = qobject_cast<const QComboBox *>(widget);
        const RenderSettings none;
        const bool chosen = box->currentIndex() > 0;
        settings.*control.number = chosen ? box->currentIndex() : none.*control.number;
        settings.*control.text = chosen ? box->currentText() : none.*control.text;
        break;
    }
    case SettingKind::Check:
        settings.*control.flag = qobject_cast<const QCheckBox *>(widget)->isChecked();
        break;
    case SettingKind::Spin:
        settings.*control.number = qobject_cast<const QSpinBox *>(widget)->value();
        break;
    case SettingKind::Slider:
        settings.*control.number = qobject_cast<const QSlider *>(widget)->value();
        break;
    }
}

void writeSettingControl(const SettingControl &control, QWidget *widget,
                         const RenderSettings &settings)
{
    switch (control.kind) {
    case SettingKind::IndexList:
        qobject_cast<QComboBox *>(widget)->setCurrentIndex(settings.*control.number);
        break;
    case SettingKind::TextList:
    case SettingKind::TypedText:
        qobject_cast<QComboBox *>(widget)->setCurrentText(settings.*control.text);
        break;
    case SettingKind::Picker: {
        auto *box = qobject_cast<QComboBox *>(widget);
        box->setCurrentIndex(settings.*control.number > 0 ? box->findText(settings.*control.text)
                                                          : 0);
        break;
    }
    case SettingKind::Check:
        qobject_cast<QCheckBox *>(widget)->setChecked(settings.*control.flag);
        break;
    case SettingKind::Spin:
        qobject_cast<QSpinBox *>(widget)->setValue(settings.*control.number);
        break;
    case SettingKind::Slider:
        qobject_cast<QSlider *>(widget)->setValue(settings.*control.number);
        break;
    }
}

void enableItems(QComboBox *box, const std::function<bool(int index)> &allowed)
{
    // The drop-downs of the settings keep the model they are made with.
    auto *model = qobject_cast<QStandardItemModel *>(box->model());
    Q_ASSERT_X(model, "enableItems", qPrintable(box->objectName()));
    for (int i = 0; i < box->count(); ++i)
        model->item(i)->setEnabled(i == box->currentIndex() || allowed(i));
}

} // namespace fulmaro
