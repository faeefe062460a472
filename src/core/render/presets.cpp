#include "core/render/presets.h"

#include "core/render/settingsoptions.h"

#include <QDir>
#include <QFile>

#include "core/base/filechecks.h"
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>

namespace fulmaro {

namespace {

const QString kExtension = QStringLiteral(".preset");
// A preset is a few hundred bytes; anything far larger is not one.
constexpr qint64 kMaxPresetBytes = 64 * 1024;
constexpr qsizetype kMaxNameLength = 100;

QString refused(const QString &name, const QString &why)
{
    return QStringLiteral("\"%1\" ön ayarı yüklenemedi: %2").arg(name, why);
}

} // namespace

QString presetPath(const QString &folder, const QString &name)
{
    return QDir(folder).filePath(name + kExtension);
}

QString presetNameProblem(const QString &name)
{
    if (name.trimmed().isEmpty())
        return QStringLiteral("Ön ayarın adı boş olamaz.");
    if (name != name.trimmed())
        return QStringLiteral("Ön ayarın adı boşlukla başlayıp bitemez.");
    if (name.size() > kMaxNameLength)
        return QStringLiteral("Ön ayarın adı en çok %1 karakter olabilir.").arg(kMaxNameLength);
    if (name.startsWith(QLatin1Char('.')))
        return QStringLiteral("Ön ayarın adı nokta ile başlayamaz.");
    // Characters no file name may hold on one system or the other.
    static const QString forbidden = QStringLiteral("\\/:*?\"<>|");
    for (const QChar c : name) {
        if (c.category() == QChar::Other_Control || forbidden.contains(c))
            return QStringLiteral("Ön ayarın adında şu karakterler olamaz: %1").arg(forbidden);
    }
    return QString();
}

QStringList presetNames(const QString &folder)
{
    QStringList names;
    const QStringList files = QDir(folder).entryList({QLatin1Char('*') + kExtension}, QDir::Files);
    for (const QString &file : files) {
        const QString name = file.chopped(kExtension.size());
        if (presetNameProblem(name).isEmpty())
            names << name;
    }
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    return names;
}

QString presetText(const RenderSettings &settings)
{
    QString text = QStringLiteral("# Fulmaro ön ayarı: her satır AD=DEĞER, --set gibi\n");
    for (const SettingControl &control : settingControls()) {
        if (control.place != SettingPlace::Panel)
            continue;
        text += control.name + QLatin1Char('=') + settingValueText(control, settings) +
                QLatin1Char('\n');
    }
    return text;
}

PresetLoad parsePreset(const QString &text, const LibraryEntries &library)
{
    PresetLoad load;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const auto lineError = [&](const QString &why) {
            load = PresetLoad();
            load.error = QStringLiteral("%1. satır: %2").arg(i + 1).arg(why);
            return load;
        };
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        const SettingControl *control = eq > 0 ? settingControl(line.left(eq)) : nullptr;
        if (control && control->kind == SettingKind::Picker) {
            // An entry deleted from the library since: the rest of the preset still holds.
            const QString value = line.mid(eq + 1);
            const bool listed =
                control->items.contains(value) || (library.*control->library).contains(value);
            if (!value.isEmpty() && !listed) {
                load.missing << line;
                continue;
            }
        }
        const QString problem = applySettingOption(load.settings, line, library);
        if (!problem.isEmpty())
            return lineError(problem);
        // A picker at "Yok" reads as the panel reads it: the default, without a text.
        if (control && control->kind == SettingKind::Picker && load.settings.*control->number == 0)
            load.settings.*control->text = RenderSettings().*control->text;
        load.assignments << line;
    }
    if (const QString problem = settingsProblem(load.settings); !problem.isEmpty()) {
        load = PresetLoad();
        load.error = problem;
        return load;
    }
    load.ok = true;
    return load;
}

bool savePreset(const QString &folder, const QString &name, const RenderSettings &settings,
                QString *error)
{
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (const QString problem = presetNameProblem(name); !problem.isEmpty())
        return fail(problem);
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("Ön ayar klasörü oluşturulamadı: %1").arg(folder));
    // Written beside the file and renamed over it only when complete.
    QSaveFile file(presetPath(folder, name));
    if (!file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("Ön ayar yazılamadı: %1").arg(file.errorString()));
    file.write(presetText(settings).toUtf8());
    if (!file.commit())
        return fail(QStringLiteral("Ön ayar yazılamadı: %1").arg(file.errorString()));
    return true;
}

PresetLoad loadPreset(const QString &folder, const QString &name, const LibraryEntries &library)
{
    PresetLoad load;
    if (const QString problem = presetNameProblem(name); !problem.isEmpty()) {
        load.error = refused(name, problem);
        return load;
    }
    // Read only as a regular file of a preset's size: a pipe would wait for ever, a device never
    // end.
    const SmallFileRead read = readSmallRegularFile(presetPath(folder, name), kMaxPresetBytes);
    if (read.missing) {
        load.error = refused(name, QStringLiteral("böyle bir ön ayar yok"));
        return load;
    }
    if (read.tooLarge) {
        load.error = refused(name, QStringLiteral("dosya bir ön ayar için fazla büyük"));
        return load;
    }
    if (!read.ok) {
        QString why = read.error;
        if (why.endsWith(QLatin1Char('.')))
            why.chop(1);
        load.error = refused(name, why);
        return load;
    }
    const QByteArray &bytes = read.bytes;
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        load.error = refused(name, QStringLiteral("dosya UTF-8 metin değil"));
        return load;
    }
    if (text.startsWith(QChar::ByteOrderMark))
        text.remove(0, 1);
    load = parsePreset(text, library);
    if (!load.ok)
        load.error = refused(name, load.error);
    return load;
}

bool deletePreset(const QString &folder, const QString &name, QString *error)
{
    QFile file(presetPath(folder, name));
    if (presetNameProblem(name).isEmpty() && file.remove())
        return true;
    if (error)
        *error = QStringLiteral("\"%1\" ön ayarı silinemedi: %2").arg(name, file.errorString());
    return false;
}

QString missingEntriesText(const QString &name, const QStringList &missing)
{
    return QStringLiteral("\"%1\" ön ayarı yüklendi, ancak şu kitaplık girdileri artık yok; "
                          "yerlerine \"Yok\" seçildi:\n%2")
        .arg(name, missing.join(QLatin1Char('\n')));
}

LibraryEntries currentLibraryEntries(const QString &filterDir, const QString &frameDir,
                                     const QString &logoDir, const QString &introDir,
                                     const QString &outroDir)
{
    const auto clips = [](const QString &folder) {
        return folder.isEmpty() ? QStringList() : libraryClipNames(folder);
    };
    return {libraryPictureNames(filterDir), libraryPictureNames(frameDir),
            libraryPictureNames(logoDir), clips(introDir), clips(outroDir)};
}

} // namespace fulmaro
