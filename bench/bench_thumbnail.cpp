// The thumbnail window's time from the slider's last move to the new picture on screen, beside a
// bare run of the same encoder command line through the shell. The window waits its 250 ms delay
// by design; what it may add on top is loading, decoding and painting the picture.
// Prints the medians and, last, "ratio <window time / (delay + bare run)>".
#include "core/base/toolset.h"
#include "core/base/workfolders.h"
#include "core/thumbnail/thumbnailcommand.h"
#include "ui/dialogs/msgform.h"
#include "ui/thumbnail/thumbnailform.h"
#include "ui/widgets/picturebox.h"

#include "support/testsupport.h"
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSlider>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <vector>

using namespace fulmaro;

namespace {

constexpr int kRuns = 15;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Stamps the first paint of the picture box once armed.
class PaintWatch : public QObject
{
public:
    bool armed = false;
    QEventLoop *loop = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (armed && loop && event->type() == QEvent::Paint) {
            armed = false;
            // Let the paint itself happen before the clock stops.
            QTimer::singleShot(0, loop, &QEventLoop::quit);
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    QApplication app(argc, argv);
    QTextStream out(stdout);

    const WorkFolders folders = WorkFolders::standard();
    folders.create();
    if (!testsupport::linkRealTools(folders.binDir))
        qFatal("cannot link the tools into %s", qPrintable(folders.binDir));
    const ToolSet tools = ToolSet::configured(folders.binDir);

    // A 20-second 1280x720 clip with a key frame every second, as a camera would write.
    const QString clip = data.filePath(QStringLiteral("deniz.mp4"));
    QProcess make;
    make.start(QStringLiteral(TOOLS_DIR "/ffmpeg"),
               {"-v", "error", "-y", "-f", "lavfi", "-i",
                "testsrc2=size=1280x720:rate=30:duration=20", "-c:v", "mpeg4", "-q:v", "4", "-g",
                "30", clip});
    if (!make.waitForFinished(300000) || make.exitCode() != 0)
        qFatal("cannot make the clip");

    // A failed picture is a failed benchmark; no dialog waits for a click.
    setMsgHook([](MsgDlgType, const QString &text) {
        qFatal("%s", qPrintable(text));
        return kMsgYes;
    });

    ThumbnailForm form(folders, tools);
    form.choosePictureFile = [](QWidget *, const QString &) { return QString(); };
    form.fileName = clip;
    form.prepareForm();
    form.show();

    PaintWatch watch;
    QEventLoop loop;
    form.pictureBox->installEventFilter(&watch);
    bool loaded = false;
    QElapsedTimer clock;
    qint64 doneNs = 0;
    QObject::connect(&form, &ThumbnailForm::pictureDone, [&](bool ok) {
        loaded = ok;
        doneNs = clock.nsecsElapsed();
        watch.armed = true;
        form.pictureBox->update();
    });

    // Settle: let the first picture (if the random start made one) come and go.
    {
        QEventLoop settle;
        QTimer::singleShot(3000, &settle, &QEventLoop::quit);
        settle.exec();
    }
    watch.armed = false;
    watch.loop = &loop;

    std::vector<double> windowMs;
    std::vector<double> bareMs;
    std::vector<double> addedMs; // per pair, so both halves share the machine's load
    std::vector<double> paintMs; // from the loaded picture to its paint
    const QString bareScratch = folders.tempDir + QStringLiteral("bare.jpg");
    for (int i = 0; i < kRuns; ++i) {
        int second = 1 + (i * 7) % 18;
        if (second == form.positionSlider->value())
            ++second;

        // The bare run: the same command line through the shell, nothing else.
        QFile::remove(bareScratch);
        const QString command = thumbnailGrabCommand(tools, clip, second, bareScratch);
        QElapsedTimer bare;
        bare.start();
        QProcess shell;
        shell.setWorkingDirectory(folders.workDir);
        shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
        shell.waitForFinished(-1);
        bareMs.push_back(bare.nsecsElapsed() / 1e6);
        if (!QFile::exists(bareScratch))
            qFatal("the bare run wrote no picture");

        loaded = false;
        clock.start();
        form.positionSlider->setValue(second);
        loop.exec();
        windowMs.push_back(clock.nsecsElapsed() / 1e6);
        if (!loaded)
            qFatal("the window made no picture at second %d", second);
        addedMs.push_back(windowMs.back() - form.delayTimer->interval() - bareMs.back());
        paintMs.push_back(windowMs.back() - doneNs / 1e6);
        out << "second " << second << ": bare " << bareMs.back() << " ms, window "
            << windowMs.back() << " ms\n";
    }
    QFile::remove(bareScratch);

    const double delay = form.delayTimer->interval();
    const double bare = median(bareMs);
    const double window = median(windowMs);
    out << "delay " << delay << " ms\n";
    out << "bare run median " << bare << " ms\n";
    out << "window median " << window << " ms\n";
    out << "window adds " << window - delay - bare << " ms by the medians, " << median(addedMs)
        << " ms by the pairs' median (allowed 50)\n";
    out << "loaded picture to screen median " << median(paintMs) << " ms\n";
    out << "ratio " << window / (delay + bare) << '\n';
    return 0;
}
