#pragma once

#include "core/render/rendersettings.h"
#include "core/videolist/audiostream.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace fulmaro {

struct ToolSet;

// Which of the two clips a render is joined with.
enum class EndClipRole { Intro, Outro };

// A clip of the intro or outro library as its probe found it when a run began. The render
// joins it before (intro) or after (outro) the video; its length counts in the progress, the
// time left and the size.
struct EndClip
{
    EndClipRole role = EndClipRole::Intro;
    QString name; // the picker's entry
    QString path; // the library file
    // Why the clip cannot be joined, in Turkish; empty when it can.
    QString problem;
    double seconds = 0; // the video stream's length (the container's where it gives none)
    int videoOrdinal = 0;
    bool hasAudio = false;
    friend bool operator==(const EndClip &, const EndClip &) = default;
};

// The clips chosen for a run; none while the pickers show "Yok".
struct EndClips
{
    std::optional<EndClip> intro;
    std::optional<EndClip> outro;

    bool any() const { return intro.has_value() || outro.has_value(); }
    // The seconds they add to every output.
    double seconds() const;
    // Why a chosen clip cannot be joined (the first one's reason), or empty.
    QString problem() const;
    // The files the encoder reads for them.
    QStringList paths() const;
    friend bool operator==(const EndClips &, const EndClips &) = default;
};

// Why a render with both "Sesi Sil" and "Görüntüyü Sil" is refused.
QString erasedEverythingText();

// "Intro" or "Outro", as the panel's captions name them.
QString endClipCaption(EndClipRole role);

// Empty when the clip file can be read now; otherwise why not, in Turkish. A clip removed from
// its library since the run began fails its job with this.
QString endClipFileProblem(const EndClip &clip);

// The clip facts from the probe's output for the file (see combinedProbeCommand).
EndClip readEndClip(EndClipRole role, const QString &name, const QString &path,
                    const QStringList &probeLines, bool probeSucceeded);

// Probes the clips the settings choose, once, while the event loop keeps running. A chosen name
// without a file, or a file the probe cannot read or that holds no video, gives a clip with its
// problem.
EndClips probeEndClips(const RenderSettings &settings, const QString &introDir,
                       const QString &outroDir, const ToolSet &tools, const QString &workDir);

} // namespace fulmaro
