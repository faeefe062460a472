#include "core/render/endclips.h"

#include "core/assets/assetfiles.h"
#include "core/base/toolset.h"
#include "core/runner/toolrun.h"
#include "core/videolist/mediaprobe.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace fulmaro {

namespace {

QString clipNamed(const EndClip &clip)
{
    return endClipCaption(clip.role) + QStringLiteral(" klibi \"") + clip.name +
           QStringLiteral("\"");
}

} // namespace

double EndClips::seconds() const
{
    double total = 0;
    for (const std::optional<EndClip> *clip : {&intro, &outro}) {
        if (*clip && (*clip)->problem.isEmpty())
            total += (*clip)->seconds;
    }
    return total;
}

QString EndClips::problem() const
{
    for (const std::optional<EndClip> *clip : {&intro, &outro}) {
        if (*clip && !(*clip)->problem.isEmpty())
            return (*clip)->problem;
    }
    return QString();
}

QStringList EndClips::paths() const
{
    QStringList files;
    for (const std::optional<EndClip> *clip : {&intro, &outro}) {
        if (*clip)
            files << (*clip)->path;
    }
    return files;
}

QString erasedEverythingText()
{
    return QStringLiteral("\"Sesi Sil\" ile \"Görüntüyü Sil\" birlikte seçili: çıktıda ne "
                          "görüntü ne ses kalır.");
}

QString endClipCaption(EndClipRole role)
{
    return role == EndClipRole::Intro ? QStringLiteral("Intro") : QStringLiteral("Outro");
}

QString endClipFileProblem(const EndClip &clip)
{
    const QFileInfo file(clip.path);
    if (clip.path.isEmpty() || !file.exists())
        return clipNamed(clip) + QStringLiteral(" kitaplıkta bulunamadı.");
    QFile reader(clip.path);
    if (!file.isFile() || !reader.open(QIODevice::ReadOnly))
        return clipNamed(clip) + QStringLiteral(" okunamadı.");
    return QString();
}

EndClip readEndClip(EndClipRole role, const QString &name, const QString &path,
                    const QStringList &probeLines, bool probeSucceeded)
{
    EndClip clip;
    clip.role = role;
    clip.name = name;
    clip.path = path;
    QStringList formatLines;
    QStringList streamLines;
    splitCombinedProbe(probeLines, &formatLines, &streamLines);
    const StreamFacts facts = readStreamFacts(streamLines);
    const double container = probeValue(formatLines, u"duration").toDouble();
    clip.seconds = facts.videoSeconds > 0                      ? facts.videoSeconds
                   : std::isfinite(container) && container > 0 ? container
                                                               : 0;
    clip.videoOrdinal = facts.videoOrdinal;
    clip.hasAudio = facts.hasAudio;
    if (!probeSucceeded || !facts.anyStream)
        clip.problem = clipNamed(clip) + QStringLiteral(" okunamadı: bir video dosyası değil ya da "
                                                        "bozuk.");
    else if (!facts.hasVideo)
        clip.problem = clipNamed(clip) + QStringLiteral(" okunamadı: görüntü yok.");
    else if (clip.seconds <= 0)
        clip.problem = clipNamed(clip) + QStringLiteral(" okunamadı: süresi bilinmiyor.");
    return clip;
}

EndClips probeEndClips(const RenderSettings &settings, const QString &introDir,
                       const QString &outroDir, const ToolSet &tools, const QString &workDir)
{
    const auto probe = [&](EndClipRole role, int index, const QString &name,
                           const QString &folder) -> std::optional<EndClip> {
        if (index <= 0 || name.isEmpty())
            return std::nullopt;
        const QString path = libraryFilePath(folder, name, QStringLiteral(".mp4"));
        EndClip missing;
        missing.role = role;
        missing.name = name;
        missing.path = path;
        if (const QString problem = endClipFileProblem(missing); !problem.isEmpty()) {
            missing.problem = problem;
            return missing;
        }
        const RunResult result =
            getDosOutput(tools.ffProbe, combinedProbeCommand(tools, path), workDir);
        return readEndClip(role, name, path, result.lines, result.succeeded());
    };
    EndClips clips;
    clips.intro = probe(EndClipRole::Intro, settings.cbIntro, settings.cbIntroText, introDir);
    clips.outro = probe(EndClipRole::Outro, settings.cbOutro, settings.cbOutroText, outroDir);
    return clips;
}

} // namespace fulmaro
