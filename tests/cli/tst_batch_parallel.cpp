// The lines of fulmaro-batch --dry-run run by GNU parallel, from another folder, make the same
// outputs as fulmaro-batch itself.
#include "core/base/workfolders.h"
#include "support/batchrunner.h"
#include "support/testsupport.h"

#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace fulmaro;

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run runIn(const QString &folder, const QString &program, const QStringList &args,
          const QString &input = {})
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(program, args);
    if (!input.isNull()) {
        p.write(input.toUtf8());
        p.closeWriteChannel();
    }
    p.waitForFinished(300000);
    Run r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// Width, height, length and the number of decoded frames of the first video stream.
QString videoFacts(const QString &path)
{
    const Run r =
        runIn(QDir::rootPath(), QStringLiteral(TOOLS_DIR "/ffprobe"),
              {"-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
               "stream=width,height,nb_read_frames:format=duration", "-of", "default=nw=1", path});
    return r.exitCode == 0 ? r.out.trimmed() : QStringLiteral("unreadable: ") + r.err;
}

} // namespace

class TestBatchParallel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parallelLinesMakeTheSameOutputs();
};

void TestBatchParallel::parallelLinesMakeTheSameOutputs()
{
    const QString parallel = QStandardPaths::findExecutable(QStringLiteral("parallel"));
    QVERIFY2(!parallel.isEmpty(), "GNU parallel is not installed");

    const WorkFolders folders = WorkFolders::under(testsupport::isolateDataHome());
    folders.create();
    QTemporaryDir dir;
    const QString clips = dir.filePath(QStringLiteral("kaynak"));
    const QString elsewhere = dir.filePath(QStringLiteral("başka yer"));
    const QString byLines = dir.filePath(QStringLiteral("satırlar"));
    const QString byBatch = dir.filePath(QStringLiteral("toplu"));
    for (const QString &folder : {clips, elsewhere, byLines, byBatch})
        QVERIFY(QDir().mkpath(folder));
    const QStringList names{"bir.mp4", "iki $dolar.mp4", "üç.mp4"};
    for (int i = 0; i < names.size(); ++i)
        QVERIFY(testsupport::makeClip(clips + '/' + names[i], 1 + i % 2, i != 1));

    QImage picture(64, 36, QImage::Format_ARGB32);
    picture.fill(QColor(0, 0, 255, 90));
    QVERIFY(picture.save(folders.filterDir + "mavi.png"));
    picture.fill(QColor(255, 255, 255, 160));
    QVERIFY(picture.save(folders.frameDir + "beyaz.png"));
    picture.fill(Qt::red);
    QVERIFY(picture.save(folders.logoDir + "imza.png"));
    const QStringList settings{"--set", "cbRenderScale=6", "--set", "cbFilter=mavi",
                               "--set", "cbFrame=beyaz",   "--set", "cbLogo=imza",
                               "--set", "cbVideoScale=70%"};

    // Named relative to the clips' folder, as a user in that folder would.
    const Run dry = runIn(clips, QStringLiteral(FULMARO_BATCH),
                          QStringList{"--dry-run", "--output", byLines} + settings + names);
    QVERIFY2(dry.exitCode == 0, qPrintable(dry.err));
    QCOMPARE(testsupport::withoutComments(dry.out).count('\n'), names.size());

    const Run lines = runIn(elsewhere, parallel, {"-j2"}, dry.out);
    QVERIFY2(lines.exitCode == 0, qPrintable(lines.out + lines.err));

    const Run batch = runIn(clips, QStringLiteral(FULMARO_BATCH),
                            QStringList{"--output", byBatch} + settings + names);
    QVERIFY2(batch.exitCode == 0, qPrintable(batch.err));

    for (const QString &name : names) {
        const QString facts = videoFacts(byBatch + '/' + name);
        QVERIFY2(facts.contains("nb_read_frames=") && !facts.contains("nb_read_frames=0"),
                 qPrintable(facts));
        QCOMPARE(videoFacts(byLines + '/' + name), facts);
    }
    QCOMPARE(QDir(elsewhere).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

QTEST_GUILESS_MAIN(TestBatchParallel)
#include "tst_batch_parallel.moc"
