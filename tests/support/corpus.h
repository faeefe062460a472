#pragma once

// Files like the ones users have, made at test time with the encoder: jittering timestamps,
// a rotated phone recording, sound of many codecs, sound without a picture, a cover picture
// before the video, empty and truncated files, film and high frame rates, odd sizes. Each is
// one or two seconds long and small, so the whole set is made in a few seconds.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QtEndian>

namespace corpus {

struct Sample
{
    const char *name;       // row name in the tests' tables
    const char *file;       // file name in the corpus folder
    const char *resolution; // the list's "Çözünürlük" text: displayed size or the reason
    bool renderable;
    bool hasAudio;
    const char *audioCodec; // as the probe names it; "" without sound
    double seconds;         // the file's length
    double fps;             // the rate a render runs at; 0 for files that are not rendered
    double fpsTolerance;
};

// Every kind, in a fixed order.
inline const QList<Sample> &samples()
{
    static const QList<Sample> list = {
        // A phone's timestamps: up to 10 ms early or late, so the probe's guess of the real
        // rate is the time base, 90000/1; the average is a little under 30.
        {"jittered timestamps", "titrek.mp4", "320x240", true, true, "aac", 2.0, 29.8, 0.3},
        {"rotated recording", "dikey telefon.mp4", "320x568", true, true, "aac", 1.0, 30, 0.05},
        {"camera avi with PCM", "kamera.avi", "320x240", true, true, "pcm_s16le", 1.0, 25, 0.05},
        {"Opus sound", "opus sesli.mkv", "320x240", true, true, "opus", 1.0, 30, 0.05},
        {"Vorbis sound", "vorbis sesli.mkv", "320x240", true, true, "vorbis", 1.0, 30, 0.05},
        {"MP3 sound", "mp3 sesli.mp4", "320x240", true, true, "mp3", 1.0, 30, 0.05},
        {"sound only flv", "yalnız ses.flv", "görüntü yok", false, true, "mp3", 1.0, 0, 0},
        {"sound only mp4", "yalnız ses.mp4", "görüntü yok", false, true, "aac", 1.0, 0, 0},
        {"cover picture first", "kapaklı.mp4", "320x240", true, true, "aac", 1.0, 30, 0.05},
        {"empty file", "boş.mp4", "okunamadı", false, false, "", 0, 0, 0},
        {"truncated file", "yarım.mp4", "okunamadı", false, false, "", 0, 0, 0},
        {"23.976 fps", "sinema.mkv", "320x240", true, true, "aac", 1.0, 23.976, 0.01},
        {"60 fps", "altmış.mp4", "320x240", true, true, "aac", 1.0, 60, 0.05},
        {"odd size", "tek boyut.mkv", "321x241", true, false, "", 1.0, 30, 0.05},
    };
    return list;
}

inline const Sample *sample(const QString &name)
{
    for (const Sample &s : samples()) {
        if (name == QLatin1String(s.name))
            return &s;
    }
    return nullptr;
}

inline bool encode(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(TOOLS_DIR "/ffmpeg"),
            QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y")} +
                args);
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

inline QStringList testPicture(const QString &size, const QString &rate, double seconds)
{
    return {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
            QStringLiteral("testsrc=size=%1:rate=%2:duration=%3").arg(size, rate).arg(seconds)};
}

inline QStringList tone(double seconds, int rate = 44100)
{
    return {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
            QStringLiteral("sine=duration=%1:sample_rate=%2").arg(seconds).arg(rate)};
}

// Moves the mp4's user data (where the cover picture lives) in front of its tracks, so the
// demuxer lists the cover as the first video stream, as some taggers leave their files. The
// movie header stays at the end of the file, so no sample offset changes.
inline bool moveUserDataFirst(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QByteArray data = f.readAll();
    f.close();
    auto sizeAt = [&data](qsizetype at) {
        return qsizetype(qFromBigEndian<quint32>(data.constData() + at));
    };
    qsizetype at = 0;
    while (at + 8 <= data.size() && data.mid(at + 4, 4) != "moov")
        at += sizeAt(at);
    if (at + 8 > data.size())
        return false;
    const qsizetype moovEnd = at + sizeAt(at);
    QList<QByteArray> children;
    qsizetype udta = -1;
    for (qsizetype c = at + 8; c + 8 <= moovEnd; c += sizeAt(c)) {
        if (data.mid(c + 4, 4) == "udta")
            udta = children.size();
        children << data.mid(c, sizeAt(c));
    }
    if (udta < 1)
        return false;
    const QByteArray userData = children.takeAt(udta);
    children.insert(1, userData); // after the movie header
    QByteArray moov = data.mid(at, 8);
    for (const QByteArray &child : children)
        moov += child;
    data.replace(at, moov.size(), moov);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(data) == data.size();
}

// Makes one sample in folder (which ends with "/"). Returns the file's path, empty on failure.
inline QString make(const Sample &s, const QString &folder)
{
    const QString path = folder + QString::fromUtf8(s.file);
    const QString name = QString::fromLatin1(s.name);
    const QString mpeg4 = QStringLiteral("mpeg4");
    QStringList args;
    bool ok = false;
    if (name == QLatin1String("jittered timestamps")) {
        ok = encode(testPicture("320x240", "30", 2) + tone(2) +
                    QStringList{"-vf", "settb=1/90000,setpts='(N/30+0.02*(random(0)-0.5))/TB'",
                                "-fps_mode", "passthrough", "-enc_time_base", "1/90000",
                                "-video_track_timescale", "90000", "-c:v", "libx264", "-preset",
                                "ultrafast", "-c:a", "aac", "-shortest", path});
    } else if (name == QLatin1String("rotated recording")) {
        const QString upright = folder + QStringLiteral("düz.mp4");
        ok = encode(testPicture("568x320", "30", 1) + tone(1) +
                    QStringList{"-c:v", mpeg4, "-c:a", "aac", "-shortest", upright}) &&
             encode({"-i", upright, "-c", "copy", "-metadata:s:v:0", "rotate=-90", path});
        QFile::remove(upright);
    } else if (name == QLatin1String("camera avi with PCM")) {
        ok = encode(
            testPicture("320x240", "25", 1) + tone(1, 48000) +
            QStringList{"-c:v", "mjpeg", "-q:v", "10", "-c:a", "pcm_s16le", "-shortest", path});
    } else if (name == QLatin1String("Opus sound")) {
        ok = encode(testPicture("320x240", "30", 1) + tone(1, 48000) +
                    QStringList{"-c:v", mpeg4, "-c:a", "libopus", "-shortest", path});
    } else if (name == QLatin1String("Vorbis sound")) {
        ok = encode(testPicture("320x240", "30", 1) + tone(1) +
                    QStringList{"-c:v", mpeg4, "-c:a", "libvorbis", "-shortest", path});
    } else if (name == QLatin1String("MP3 sound")) {
        ok = encode(testPicture("320x240", "30", 1) + tone(1) +
                    QStringList{"-c:v", mpeg4, "-c:a", "libmp3lame", "-shortest", path});
    } else if (name == QLatin1String("sound only flv")) {
        ok = encode(tone(1) + QStringList{"-c:a", "libmp3lame", path});
    } else if (name == QLatin1String("sound only mp4")) {
        ok = encode(tone(1) + QStringList{"-c:a", "aac", path});
    } else if (name == QLatin1String("cover picture first")) {
        const QString cover = folder + QStringLiteral("kapak.png");
        const QString plain = folder + QStringLiteral("kapaksız.mp4");
        ok = encode({"-f", "lavfi", "-i", "color=red:size=64x64", "-frames:v", "1", cover}) &&
             encode(testPicture("320x240", "30", 1) + tone(1) +
                    QStringList{"-c:v", mpeg4, "-c:a", "aac", "-shortest", plain}) &&
             encode({"-i", cover, "-i", plain, "-map", "1", "-map", "0", "-c", "copy",
                     "-disposition:v:1", "attached_pic", path}) &&
             moveUserDataFirst(path);
        QFile::remove(cover);
        QFile::remove(plain);
    } else if (name == QLatin1String("empty file")) {
        QFile f(path);
        ok = f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    } else if (name == QLatin1String("truncated file")) {
        // The first bytes of a recording whose index was never written.
        const QString whole = folder + QStringLiteral("bütün.mp4");
        ok = encode(testPicture("320x240", "30", 1) + QStringList{"-c:v", mpeg4, whole});
        QFile in(whole);
        QFile out(path);
        ok = ok && in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly) &&
             out.write(in.read(3000)) == 3000;
        in.close();
        QFile::remove(whole);
    } else if (name == QLatin1String("23.976 fps")) {
        ok = encode(testPicture("320x240", "24000/1001", 1) + tone(1) +
                    QStringList{"-c:v", mpeg4, "-c:a", "aac", "-shortest", path});
    } else if (name == QLatin1String("60 fps")) {
        ok = encode(testPicture("320x240", "60", 1) + tone(1) +
                    QStringList{"-c:v", mpeg4, "-c:a", "aac", "-shortest", path});
    } else if (name == QLatin1String("odd size")) {
        ok = encode(testPicture("321x241", "30", 1) + QStringList{"-c:v", mpeg4, path});
    }
    return ok && QFile::exists(path) ? path : QString();
}

// Makes every sample into folder; returns their paths in samples() order, or an empty list.
inline QStringList makeAll(const QString &folder)
{
    QDir().mkpath(folder);
    QStringList paths;
    for (const Sample &s : samples()) {
        const QString path = make(s, folder);
        if (path.isEmpty())
            return {};
        paths << path;
    }
    return paths;
}

// What the probe says of a rendered file.
struct Facts
{
    bool read = false;
    bool video = false;
    bool audio = false;
    double seconds = -1;
    double fps = 0;
};

inline double rateValue(const QString &rate)
{
    const qsizetype slash = rate.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return rate.toDouble();
    const double den = rate.mid(slash + 1).toDouble();
    return den > 0 ? rate.left(slash).toDouble() / den : 0;
}

inline Facts probe(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral(TOOLS_DIR "/ffprobe"),
            {"-v", "error", "-show_entries",
             "format=duration:stream=codec_type,avg_frame_rate,r_frame_rate", "-of", "default=nw=1",
             path});
    Facts facts;
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return facts;
    facts.read = true;
    QString type;
    for (const QString &line : QString::fromUtf8(p.readAllStandardOutput()).split('\n')) {
        const QString value = line.section(QLatin1Char('='), 1);
        if (line.startsWith(QLatin1String("codec_type="))) {
            type = value;
            facts.video = facts.video || type == QLatin1String("video");
            facts.audio = facts.audio || type == QLatin1String("audio");
        } else if (line.startsWith(QLatin1String("avg_frame_rate=")) && type == "video" &&
                   facts.fps == 0) {
            facts.fps = rateValue(value);
        } else if (line.startsWith(QLatin1String("duration="))) {
            facts.seconds = value.toDouble();
        }
    }
    return facts;
}

} // namespace corpus
