// fulmaro-batch --estimate and the expected sizes in --dry-run's comments, with the real probe and
// encoder on clips made here.
#include "core/base/toolset.h"
#include "core/base/workfolders.h"
#include "core/queue/sizeestimate.h"
#include "core/render/settingsoptions.h"
#include "core/runner/shellquote.h"
#include "core/videolist/mediaprobe.h"
#include "support/batchrunner.h"
#include "support/testsupport.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace fulmaro;

namespace {

using Output = testsupport::BatchResult;

// A size as the program writes it.
const QRegularExpression kSize(QStringLiteral("^\\d+,\\d (KB|MB|GB)$"));

} // namespace

class TestBatchEstimate : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void estimateWorksOutEachOutput();
    void estimateMeasuresInQualityMode();
    void dryRunComments_data();
    void dryRunComments();
    void refused_data();
    void refused();

private:
    // The worked-out size of a clip with these settings, as the program writes it.
    QString computedText(const QString &clip, const QStringList &set);

    QTemporaryDir m_dir;
    WorkFolders m_folders;
    ToolSet m_tools;
    QString m_sound;  // 3 s, with sound
    QString m_silent; // 2 s, without
    QString m_broken;
    QString m_out;
};

void TestBatchEstimate::initTestCase()
{
    m_folders = WorkFolders::under(testsupport::isolateDataHome());
    m_folders.create();
    QVERIFY(testsupport::linkRealTools(m_folders.binDir));
    m_tools = ToolSet::configured(m_folders.binDir);
    m_sound = m_dir.filePath(QStringLiteral("deniz kıyısı.mp4"));
    m_silent = m_dir.filePath(QStringLiteral("sessiz.mp4"));
    QVERIFY(testsupport::makeClip(m_sound, 3, true, QStringLiteral("160x120")));
    QVERIFY(testsupport::makeClip(m_silent, 2, false, QStringLiteral("160x120")));
    m_broken = m_dir.filePath(QStringLiteral("bozuk.mp4"));
    QFile broken(m_broken);
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write(QByteArray(4096, 'x'));
    broken.close();
    m_out = m_dir.filePath(QStringLiteral("Çıktı"));
    QVERIFY(QDir().mkpath(m_out));
}

QString TestBatchEstimate::computedText(const QString &clip, const QStringList &set)
{
    RenderSettings settings;
    for (const QString &assignment : set) {
        if (!applySettingOption(settings, assignment).isEmpty())
            return QString();
    }
    const std::optional<VideoItem> item = probeVideoFile(m_tools, m_folders.workDir, clip);
    const std::optional<SizeParts> parts =
        item ? computedOutputSize(*item, settings) : std::nullopt;
    return parts ? sizeText(parts->total()) : QString();
}

// One line a file, its size and its output, then the total; a file that cannot be rendered is
// said on the error output and fails the run. Nothing is written to the output folder.
void TestBatchEstimate::estimateWorksOutEachOutput()
{
    const QStringList set{"--set", "cbBitrate=1200", "--set", "cbExtension=mkv"};
    const Output o = testsupport::runBatch(QStringList{"--output", m_out, "--estimate"} + set +
                                           QStringList{m_sound, m_broken, m_silent});
    QCOMPARE(o.exitCode, 1);
    QVERIFY2(o.err.contains(m_broken + QStringLiteral(": okunamadı")), qPrintable(o.err));
    const QStringList lines = o.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    const QString sound = computedText(m_sound, {"cbBitrate=1200", "cbExtension=mkv"});
    const QString silent = computedText(m_silent, {"cbBitrate=1200", "cbExtension=mkv"});
    QVERIFY(kSize.match(sound).hasMatch() && kSize.match(silent).hasMatch());
    QVERIFY(sound != silent);
    QCOMPARE(lines.at(0), sound + '\t' + m_out + QStringLiteral("/deniz kıyısı.mkv"));
    QCOMPARE(lines.at(1), silent + '\t' + m_out + QStringLiteral("/sessiz.mkv"));
    const QStringList total = lines.at(2).split('\t');
    QCOMPARE(total.size(), 2);
    QVERIFY2(kSize.match(total.at(0)).hasMatch(), qPrintable(lines.at(2)));
    QCOMPARE(total.at(1), QStringLiteral("toplam"));
    QCOMPARE(QDir(m_out).entryList(QDir::Files | QDir::Hidden), QStringList());
}

// In the quality mode the sizes come from sample encodes, whose files go afterwards.
void TestBatchEstimate::estimateMeasuresInQualityMode()
{
    const Output o = testsupport::runBatch({"--output", m_out, "--estimate", "--set",
                                            "cbRateMode=1", "--set", "cbRenderScale=6", m_sound});
    QCOMPARE(o.exitCode, 0);
    const QStringList lines = o.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    const QStringList first = lines.at(0).split('\t');
    QCOMPARE(first.size(), 2);
    QVERIFY2(kSize.match(first.at(0)).hasMatch(), qPrintable(lines.at(0)));
    QCOMPARE(first.at(1), m_out + QStringLiteral("/deniz kıyısı.mp4"));
    // One file: the total is its size.
    QCOMPARE(lines.at(1), first.at(0) + QStringLiteral("\ttoplam"));
    QCOMPARE(QDir(m_folders.tempDir).entryList({QStringLiteral("estimate-*")}), QStringList());
    QCOMPARE(QDir(m_out).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestBatchEstimate::dryRunComments_data()
{
    QTest::addColumn<bool>("nul");
    QTest::addColumn<QStringList>("set");
    QTest::addColumn<int>("linesPerJob"); // command lines after each comment
    QTest::newRow("lines") << false << QStringList{"--set", "cbBitrate=900"} << 1;
    QTest::newRow("NUL-ended") << true << QStringList{"--set", "cbBitrate=900"} << 1;
    QTest::newRow("two passes") << false << QStringList{"--set", "cbRateMode=2"} << 2;
    QTest::newRow("two passes, NUL-ended") << true << QStringList{"--set", "cbRateMode=2"} << 2;
}

// Before each job's command lines a comment with its expected size, the same figure --estimate
// prints; last, the total. Each comment is a record of its own, ended like the command lines.
void TestBatchEstimate::dryRunComments()
{
    QFETCH(bool, nul);
    QFETCH(QStringList, set);
    QFETCH(int, linesPerJob);
    QStringList args = QStringList{"--output", m_out, "--dry-run"} + set;
    if (nul)
        args << "--null";
    const Output o = testsupport::runBatch(args + QStringList{m_sound, m_silent});
    QCOMPARE(o.exitCode, 0);
    const char end = nul ? '\0' : '\n';
    QVERIFY(o.outBytes.endsWith(end));
    QList<QByteArray> records = o.outBytes.split(end);
    records.removeLast();
    QCOMPARE(records.size(), 2 * (1 + linesPerJob) + 1);

    const Output sizes = testsupport::runBatch(QStringList{"--output", m_out, "--estimate"} + set +
                                               QStringList{m_sound, m_silent});
    QCOMPARE(sizes.exitCode, 0);
    const QStringList estimated = sizes.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(estimated.size(), 3);

    const QStringList outputs{m_out + QStringLiteral("/deniz kıyısı.mp4"),
                              m_out + QStringLiteral("/sessiz.mp4")};
    for (int job = 0; job < 2; ++job) {
        const int at = job * (1 + linesPerJob);
        QCOMPARE(QString::fromUtf8(records.at(at)),
                 QStringLiteral("# tahmini boyut: ") + estimated.at(job).section('\t', 0, 0));
        for (int line = 1; line <= linesPerJob; ++line)
            QVERIFY2(
                records.at(at + line).startsWith(quoteArg(m_tools.path(m_tools.ffMpeg)).toUtf8()),
                records.at(at + line).constData());
        QVERIFY(QString::fromUtf8(records.at(at + linesPerJob)).endsWith(quoteArg(outputs[job])));
    }
    QCOMPARE(QString::fromUtf8(records.constLast()),
             QStringLiteral("# tahmini toplam: ") + estimated.at(2).section('\t', 0, 0));
    // The comments run as nothing at all in the shell the lines are meant for.
    const testsupport::ShellRun comment =
        testsupport::runShell(QString::fromUtf8(records.first()), m_dir.path());
    QCOMPARE(comment.exitCode, 0);
    QCOMPARE(comment.output, QString());
}

void TestBatchEstimate::refused_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    const QString out = QStringLiteral("@out");
    QTest::newRow("with --dry-run")
        << QStringList{"--output", out, "--estimate", "--dry-run"} << "--dry-run";
    QTest::newRow("with --null") << QStringList{"--output", out, "--estimate", "--null"}
                                 << "--null";
    QTest::newRow("with --list") << QStringList{"--estimate", "--list"} << "--list";
}

void TestBatchEstimate::refused()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    args.replaceInStrings(QStringLiteral("@out"), m_out);
    const Output o = testsupport::runBatch(args + QStringList{m_sound});
    QCOMPARE(o.exitCode, 2);
    QCOMPARE(o.out, QString());
    QVERIFY2(o.err.contains(message), qPrintable(o.err));
}

QTEST_GUILESS_MAIN(TestBatchEstimate)
#include "tst_batch_estimate.moc"
