#pragma once

// Lets QCOMPARE show whole render settings: one "name=value" per control of the settings table.

#include "core/render/settingstable.h"

#include <QByteArray>
#include <QStringList>

namespace fulmaro {

inline char *toString(const RenderSettings &s)
{
    QStringList out;
    for (const SettingControl &c : settingControls()) {
        QString value;
        if (c.flag)
            value = QString::number(s.*c.flag);
        else if (c.number && c.text)
            value = QString::number(s.*c.number) + QLatin1Char('/') + s.*c.text;
        else if (c.number)
            value = QString::number(s.*c.number);
        else
            value = s.*c.text;
        out << c.name + QLatin1Char('=') + value;
    }
    return qstrdup(out.join(QStringLiteral(", ")).toUtf8().constData());
}

} // namespace fulmaro
