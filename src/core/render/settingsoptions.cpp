#include "core/render/settingsoptions.h"

#include "core/render/videocodecs.h"

#include <QRegularExpression>

namespace fulmaro {

namespace {

QString invalid(const QString &name, const QString &value, const QString &expected)
{
    return QStringLiteral("%1 için geçersiz değer: \"%2\" (%3)").arg(name, value, expected);
}

bool strictInt(const QString &text, int &out)
{
    static const QRegularExpression re(QStringLiteral("\\A-?[0-9]+\\z"));
    if (!re.match(text).hasMatch())
        return false;
    bool ok = false;
    out = text.toInt(&ok);
    return ok;
}

// Applies value to the control's member(s); returns what was expected when it is refused.
QString apply(const SettingControl &c, RenderSettings &s, const QString &value,
              const LibraryEntries &library)
{
    int number = 0;
    switch (c.kind) {
    case SettingKind::IndexList:
        if (!strictInt(value, number) || number < 0 || number >= c.items.size())
            return QStringLiteral("0 ile %1 arasında bir sıra numarası bekleniyor")
                .arg(c.items.size() - 1);
        s.*c.number = number;
        return QString();
    case SettingKind::Check:
        if (value != QLatin1String("0") && value != QLatin1String("1"))
            return QStringLiteral("0 ya da 1 bekleniyor");
        s.*c.flag = value == QLatin1String("1");
        return QString();
    case SettingKind::Spin:
        if (!strictInt(value, number) || number < c.minimum || number > c.maximum)
            return QStringLiteral("tam sayı bekleniyor");
        s.*c.number = number;
        return QString();
    case SettingKind::Slider:
        if (!strictInt(value, number) || number < c.minimum || number > c.maximum)
            return QStringLiteral("%1 ile %2 arasında bir tam sayı bekleniyor")
                .arg(c.minimum)
                .arg(c.maximum);
        s.*c.number = number;
        return QString();
    case SettingKind::TypedText:
        if (!c.accepts(value))
            return c.expected;
        s.*c.text = value;
        return QString();
    case SettingKind::TextList: {
        const QString item = c.itemFor ? c.itemFor(value) : value;
        if (!c.items.contains(item))
            return c.expected;
        s.*c.text = item;
        return QString();
    }
    case SettingKind::Picker: {
        // "Yok", the built-in frames, then the library's names, as the panel lists them.
        const QStringList entries = c.items + library.*c.library;
        const qsizetype index = entries.indexOf(value);
        if (index < 0 || value.isEmpty())
            return QStringLiteral("\"Yok\" ya da listedeki bir ad bekleniyor");
        s.*c.number = int(index);
        s.*c.text = value;
        return QString();
    }
    }
    return QString();
}

} // namespace

QString applySettingOption(RenderSettings &settings, const QString &assignment,
                           const LibraryEntries &library)
{
    const qsizetype eq = assignment.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return QStringLiteral("Geçersiz ayar: \"%1\" (AD=DEĞER biçiminde olmalı)").arg(assignment);
    const QString name = assignment.left(eq);
    const QString value = assignment.mid(eq + 1);
    const SettingControl *control = settingControl(name);
    if (!control)
        return QStringLiteral("Bilinmeyen ayar: \"%1\"").arg(name);
    const QString expected = apply(*control, settings, value, library);
    return expected.isEmpty() ? QString() : invalid(name, value, expected);
}

QString settingsProblem(const RenderSettings &settings)
{
    // Sound only: no video codec is written.
    if (settings.cbEraseVideo)
        return QString();
    return codecContainerProblem(settings);
}

QString settingsHelpText()
{
    const RenderSettings defaults;
    const auto wrapped = [](const QString &head, const QString &body) -> QString {
        // Long lists go on to lines of their own, indented under the value.
        constexpr int kWidth = 78;
        constexpr int kIndent = 22;
        QString text = head.leftJustified(kIndent - 1) + QLatin1Char(' ');
        int column = int(text.size());
        const QStringList words = body.split(QLatin1Char(' '));
        for (qsizetype i = 0; i < words.size(); ++i) {
            const QString &word = words.at(i);
            if (column + word.size() + 1 > kWidth && column > kIndent) {
                text += QLatin1Char('\n') + QString(kIndent, QLatin1Char(' '));
                column = kIndent;
            } else if (column > kIndent) {
                text += QLatin1Char(' ');
                ++column;
            }
            text += word;
            column += int(word.size());
        }
        return text + QLatin1Char('\n');
    };
    QString text;
    for (const SettingControl &c : settingControls()) {
        QString values;
        switch (c.kind) {
        case SettingKind::IndexList: {
            QStringList numbered;
            for (qsizetype i = 0; i < c.items.size(); ++i)
                numbered << QString::number(i) + QLatin1Char(' ') + c.items.at(i);
            values = numbered.join(QStringLiteral(", "));
            break;
        }
        case SettingKind::TextList:
            values = c.items.size() > 8 ? c.items.last() + QStringLiteral(" .. ") + c.items.first()
                                        : c.items.join(QStringLiteral(", "));
            break;
        case SettingKind::TypedText:
            values = c.expected;
            break;
        case SettingKind::Picker:
            values =
                c.items.join(QStringLiteral(", ")) + QStringLiteral(" ya da kitaplıktaki bir ad");
            break;
        case SettingKind::Check:
            values = QStringLiteral("0 ya da 1");
            break;
        case SettingKind::Spin:
            values = QStringLiteral("tam sayı");
            break;
        case SettingKind::Slider:
            values = QStringLiteral("%1 .. %2").arg(c.minimum).arg(c.maximum);
            break;
        }
        text += wrapped(QStringLiteral("  ") + c.name, values + QStringLiteral(" (varsayılan: ") +
                                                           settingValueText(c, defaults) +
                                                           QLatin1Char(')'));
    }
    return text;
}

QString settingValueText(const SettingControl &c, const RenderSettings &s)
{
    switch (c.kind) {
    case SettingKind::IndexList:
    case SettingKind::Spin:
    case SettingKind::Slider:
        return QString::number(s.*c.number);
    case SettingKind::Check:
        return s.*c.flag ? QStringLiteral("1") : QStringLiteral("0");
    case SettingKind::TextList:
    case SettingKind::TypedText:
        return s.*c.text;
    case SettingKind::Picker:
        return s.*c.number > 0 && !(s.*c.text).isEmpty() ? s.*c.text : noneItem();
    }
    return QString();
}

} // namespace fulmaro
