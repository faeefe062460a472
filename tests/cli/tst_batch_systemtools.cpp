// fulmaro-batch with no tools in the work folder's Bin: the system's tools on PATH, their check
// by release series and filters, and the list of filters the check asks for.
#include "core/base/toolset.h"
#include "core/base/workfolders.h"
#include "support/batchrunner.h"
#include "support/testsupport.h"

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace fulmaro;

namespace {

using Output = testsupport::BatchResult;

// The filter names of every -filter_complex graph in a command line: the graph's chains are
// split at ";" and their filters at ",", outside quoted option values.
QStringList graphFilters(const QString &commandLine)
{
    QStringList names;
    static const QRegularExpression graphRe(QStringLiteral("-filter_complex \"([^\"]*)\""));
    static const QRegularExpression labels(QStringLiteral("\\[[^\\]]*\\]"));
    auto it = graphRe.globalMatch(commandLine);
    while (it.hasNext()) {
        const QString graph = it.next().captured(1);
        QStringList pieces{QString()};
        bool quoted = false;
        for (const QChar c : graph) {
            if (c == QLatin1Char('\''))
                quoted = !quoted;
            if (!quoted && (c == QLatin1Char(';') || c == QLatin1Char(',')))
                pieces.append(QString());
            else
                pieces.last().append(c);
        }
        for (QString piece : std::as_const(pieces)) {
            piece = piece.remove(labels).trimmed();
            const QString name = piece.section(QLatin1Char('='), 0, 0).trimmed();
            if (!name.isEmpty())
                names.append(name);
        }
    }
    return names;
}

bool writeScript(const QString &path, const QString &body)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(("#!/bin/sh\n" + body).toUtf8());
    f.close();
    return f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
}

} // namespace

class TestBatchSystemTools : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void graphFiltersSplitsAGraph();
    void rendersWithTheSystemsTools();
    void refusesAnotherEncoder_data();
    void refusesAnotherEncoder();
    void everyFilterOfTheBuilderIsChecked();

private:
    Output batch(const QStringList &args, const QByteArray &pathFront = {});

    QTemporaryDir m_dir;
    WorkFolders m_folders;
    QString m_clip;
    QString m_out;
};

Output TestBatchSystemTools::batch(const QStringList &args, const QByteArray &pathFront)
{
    if (pathFront.isEmpty())
        return testsupport::runBatch(args);
    return testsupport::runBatch(
        args,
        testsupport::environmentWith(
            {{QStringLiteral("PATH"), QString::fromLocal8Bit(pathFront + ":" + qgetenv("PATH"))}}));
}

void TestBatchSystemTools::initTestCase()
{
    m_folders = WorkFolders::under(testsupport::isolateDataHome());
    m_folders.create();
    QVERIFY(!QFileInfo::exists(m_folders.binDir)); // nothing installed into the work folder
    QVERIFY2(!QStandardPaths::findExecutable("ffmpeg").isEmpty(), "no ffmpeg on PATH");
    m_clip = m_dir.filePath(QStringLiteral("kıyı.mp4"));
    QVERIFY(testsupport::makeClip(m_clip, 1, true));
    m_out = m_dir.filePath(QStringLiteral("Çıktı"));
    QVERIFY(QDir().mkpath(m_out));

    QImage picture(48, 32, QImage::Format_ARGB32);
    picture.fill(QColor(255, 0, 0, 120));
    QVERIFY(picture.save(m_folders.filterDir + "süzgeç.png"));
    QVERIFY(picture.save(m_folders.frameDir + "çerçeve.png"));
    QVERIFY(picture.save(m_folders.logoDir + "imza.png"));
}

void TestBatchSystemTools::graphFiltersSplitsAGraph()
{
    const QString line = QStringLiteral(
        "\"/usr/bin/ffmpeg\" -i \"a.mp4\" -filter_complex \"color=size=640x360:rate=30/1 [base1]; "
        "[0:a]atempo=0.5,atempo=0.6 [audio]; [0:v] setpts=(1/0.3)*PTS, hflip, "
        "hue='H=2*PI*t: s=sin(2*PI*t)+1', curves=r='0/0.11 .42/.51 1/0.95':g='0.50/0.48', "
        "noise=alls=20:allf=t+u, elbg=l=25: nb_steps=1[video]; [base1][video] "
        "overlay=0:0:shortest=1 [base2]\" -map \"[base2]\" \"out.mp4\"");
    QCOMPARE(graphFilters(line), QStringList({"color", "atempo", "atempo", "setpts", "hflip", "hue",
                                              "curves", "noise", "elbg", "overlay"}));
}

void TestBatchSystemTools::rendersWithTheSystemsTools()
{
    const Output o = batch({"--output", m_out, "--set", "cbRenderScale=6", m_clip});
    QVERIFY2(o.exitCode == 0, qPrintable(o.err));
    QVERIFY(qAbs(testsupport::probedSeconds(m_out + "/kıyı.mp4") - 1.0) < 0.15);

    // The printed lines name the system's tools too, so they run where the work folder is empty.
    const Output dry = batch({"--output", m_out, "--dry-run", "--preview", m_clip});
    QCOMPARE(dry.exitCode, 0);
    const QString ffmpeg = QStandardPaths::findExecutable("ffmpeg");
    const QString ffplay = QStandardPaths::findExecutable("ffplay");
    QVERIFY2(dry.out.startsWith('"' + ffmpeg + '"'), qPrintable(dry.out));
    QVERIFY2(dry.out.contains("| \"" + ffplay + "\" -"), qPrintable(dry.out));
}

void TestBatchSystemTools::refusesAnotherEncoder_data()
{
    const QString series = ToolSet::configured(m_folders.binDir).series;
    const QString older = QString::number(series.section('.', 0, 0).toInt() - 1) + ".4.2";
    QTest::addColumn<QString>("versionLine");
    QTest::addColumn<QString>("dropFilter");
    QTest::addColumn<QString>("told");
    QTest::newRow("another series") << "ffmpeg version " + older + "-0ubuntu0.22.04.1"
                                    << ""
                                    << "Beklenen sürüm serisi: " + series;
    QTest::newRow("without overlay") << "ffmpeg version " + series + ".99"
                                     << "overlay"
                                     << "Eksik filtreler: overlay";
}

void TestBatchSystemTools::refusesAnotherEncoder()
{
    QFETCH(QString, versionLine);
    QFETCH(QString, dropFilter);
    QFETCH(QString, told);

    // An encoder on PATH before the system's: it answers like the real one, with another
    // version or without one filter, and passes every other run on to the real encoder.
    QTemporaryDir front;
    const QString real = QStandardPaths::findExecutable("ffmpeg");
    QString filters = real + " -hide_banner -filters";
    if (!dropFilter.isEmpty())
        filters += " | grep -v ' " + dropFilter + " '";
    QVERIFY(writeScript(front.filePath("ffmpeg"), "case \"$*\" in *-filters*) echo '" +
                                                      versionLine + "' >&2; " + filters +
                                                      " ;; *) exec " + real + " \"$@\" ;; esac\n"));
    const QString out = m_dir.filePath("refused-" + QString(QTest::currentDataTag()));
    QVERIFY(QDir().mkpath(out));

    const Output o =
        batch({"--output", out, "--set", "cbRenderScale=6", m_clip}, front.path().toUtf8());
    QCOMPARE(o.exitCode, 1);
    QVERIFY2(o.err.contains("FFMpeg dosya versiyonları uyumsuz!\nBulunan: " + versionLine + " (" +
                            front.filePath("ffmpeg") + ")"),
             qPrintable(o.err));
    QVERIFY2(o.err.contains(told), qPrintable(o.err));
    QVERIFY(QDir(out).isEmpty());
}

void TestBatchSystemTools::everyFilterOfTheBuilderIsChecked()
{
    // Settings that, together, make the builder write every filter it knows.
    const QList<QStringList> sets{
        {"cbGreyscale=1", "cbSepia=1", "cbNegative=1", "cbThermography=1", "cbBadDream=1",
         "cbPosterize=1", "cbLSD=1", "cbVintage=1", "cbVignette=1", "tbZoom=15", "tbContrast=12",
         "edCropLeft=4", "edCropTop=2", "cbFlipVideo=3", "tbVideoSpeed=150"},
        {"cbFrame=Fulmaro Özel 2", "edVideoFront=1", "cbFlipVideo=3", "cbFilter=süzgeç",
         "cbLogo=imza", "tbVideoSpeed=30"},
        {"cbFrame=Fulmaro Özel 3", "edVideoFront=1", "cbFilter=süzgeç"},
        {"cbFrame=Fulmaro Özel 4", "edVideoFront=0", "tbGammaRed=55"},
        {"cbFrame=çerçeve", "cbVideoPosition=5", "cbLogo=imza", "cbLogoPosition=9"},
    };
    QSet<QString> used;
    for (const QStringList &set : sets) {
        for (const bool preview : {false, true}) {
            QStringList args{"--output", m_out, "--dry-run"};
            if (preview)
                args << "--preview";
            for (const QString &s : set)
                args << "--set" << s;
            args << m_clip;
            const Output o = batch(args);
            QVERIFY2(o.exitCode == 0, qPrintable(set.join(' ') + "\n" + o.err));
            const QStringList names = graphFilters(o.out);
            QVERIFY2(!names.isEmpty(), qPrintable(o.out));
            for (const QString &name : names) {
                QVERIFY2(builderFilters().contains(name),
                         qPrintable(name + " is written but not checked: " + o.out));
                used.insert(name);
            }
        }
    }
    // And the check asks for no filter the builder never writes.
    for (const QString &name : builderFilters())
        QVERIFY2(used.contains(name), qPrintable(name + " is checked but never written"));
}

QTEST_GUILESS_MAIN(TestBatchSystemTools)
#include "tst_batch_systemtools.moc"
