#pragma once

#include "core/render/rendersettings.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace fulmaro {

// The names the overlay pickers offer after their fixed items, in the pickers' order.
struct LibraryEntries
{
    QStringList filters;
    QStringList frames;
    QStringList logos;
    QStringList intros; // clips, from the intro and outro libraries
    QStringList outros;
};

// How a settings control holds its value.
enum class SettingKind {
    IndexList, // fixed items; the value is the selected item's index
    TextList,  // fixed items; the value is the selected item's text
    TypedText, // editable drop-down: suggestions, and any text its check accepts
    Picker,    // overlay picker: fixed entries, then library names; index and text
    Check,     // on or off
    Spin,      // an integer, bounded only by kSpinLimit
    Slider,    // an integer between minimum and maximum
};

// Where a control sits: on the settings panel, or on the main window's preview strip.
enum class SettingPlace { Panel, PreviewStrip };

// One settings control: its name (the control's objectName and the NAME of "NAME=VALUE"), its
// kind, the member(s) of RenderSettings it fills, its items or range. Its default is the member's
// value in RenderSettings{}.
struct SettingControl
{
    QString name;
    SettingKind kind = SettingKind::Check;
    SettingPlace place = SettingPlace::Panel;
    int RenderSettings::*number = nullptr;   // IndexList, Spin, Slider; a Picker's index
    QString RenderSettings::*text = nullptr; // TextList, TypedText; a Picker's entry text
    bool RenderSettings::*flag = nullptr;    // Check
    QStringList items;                       // fixed items, suggestions, a Picker's fixed entries
    // IndexList: what each item stands for in a command line (a size, an encoder preset); empty
    // where the index itself is used.
    QStringList values;
    // Slider: its label shows the position divided by labelScale, with labelDecimals decimals.
    int labelScale = 1;
    int labelDecimals = 0;
    int minimum = 0; // Spin, Slider
    int maximum = 0;
    // TypedText: the pattern the editor lets through while typing, and the check of a value.
    QString typingPattern;
    bool (*accepts)(const QString &text) = nullptr;
    // TextList: the item an accepted spelling stands for ("05%" is "5%"); none: spelt as listed.
    QString (*itemFor)(const QString &text) = nullptr;
    // TextList, TypedText: what a refused value should have been, in Turkish.
    QString expected;
    // Picker: the library names listed after the fixed entries.
    QStringList LibraryEntries::*library = nullptr;
};

// Every settings control, in the order of RenderSettings' fields.
const QList<SettingControl> &settingControls();
// The control of that name, or nullptr.
const SettingControl *settingControl(const QString &name);

} // namespace fulmaro
