#pragma once

#include "core/render/settingstable.h"

#include <functional>

class QComboBox;
class QWidget;

namespace fulmaro {

// The widget of a settings control, named after it, with its items or range and its default:
// a QComboBox for the lists and pickers (a picker is filled later by its library), a QCheckBox,
// a QSpinBox or a horizontal QSlider.
QWidget *createSettingControl(const SettingControl &control, QWidget *parent);

template<typename W> W *createSettingControl(const QString &name, QWidget *parent)
{
    const SettingControl *control = settingControl(name);
    Q_ASSERT_X(control, "createSettingControl", qPrintable(name));
    return qobject_cast<W *>(createSettingControl(*control, parent));
}

// Copies between a control's widget and its member(s) of the settings. A picker without a
// selection, or showing its item 0 ("Yok"), reads as the default: no overlay. A picker is set by
// its entry text; a name it does not list leaves it without a selection.
void readSettingControl(const SettingControl &control, const QWidget *widget,
                        RenderSettings &settings);
void writeSettingControl(const SettingControl &control, QWidget *widget,
                         const RenderSettings &settings);

// Leaves selectable only the items of a drop-down that the check lets through (by index); the
// others stay listed, greyed out. The item shown stays enabled whatever the check says, so
// settings the program sets are shown as they are even when the check refuses them.
void enableItems(QComboBox *box, const std::function<bool(int index)> &allowed);

} // namespace fulmaro
