// The job-array script of fulmaro-batch --slurm run by sh the way a Slurm task runs it (the
// cluster itself is tested in tests/cluster): each task renders its own source, and once its
// output is there, never again. Names a task could not take apart are refused.
#include "core/base/workfolders.h"
#include "support/batchrunner.h"
#include "support/testsupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace fulmaro;

namespace {

struct ShRun
{
    int exitCode = -1;
    QString err;
};

// The script as Slurm starts task `task` (0: outside Slurm).
ShRun runTask(const QString &script, int task)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("SLURM_ARRAY_TASK_ID"));
    if (task > 0)
        env.insert(QStringLiteral("SLURM_ARRAY_TASK_ID"), QString::number(task));
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("/bin/sh"), {script});
    p.waitForFinished(180000);
    ShRun r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.err = QString::fromUtf8(p.readAllStandardError() + p.readAllStandardOutput());
    return r;
}

} // namespace

class TestBatchSlurm : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void taskRendersItsSourceOnce();
    void refused_data();
    void refused();

private:
    QTemporaryDir m_dir;
    QString m_src;
};

void TestBatchSlurm::initTestCase()
{
    QVERIFY(m_dir.isValid());
    WorkFolders::under(testsupport::isolateDataHome()).create();
    m_src = m_dir.filePath(QStringLiteral("kaynak $ klasör"));
    QVERIFY(QDir().mkpath(m_src));
    QVERIFY(testsupport::makeClip(m_src + "/bir.mp4", 1));
    QVERIFY(testsupport::makeClip(m_src + "/iki \"ğüş\" $HOME.mp4", 1, false));
}

void TestBatchSlurm::taskRendersItsSourceOnce()
{
    const QString out = m_dir.filePath(QStringLiteral("çıktı 'tek'"));
    const QString scripts = m_dir.filePath(QStringLiteral("betik # %yüzde"));
    QVERIFY(QDir().mkpath(out));
    QVERIFY(QDir().mkpath(scripts));
    const QString script = scripts + "/işler.sh";
    const QStringList sources{m_src + "/bir.mp4", m_src + "/iki \"ğüş\" $HOME.mp4"};
    const testsupport::BatchResult made = testsupport::runBatch(
        QStringList{"--slurm", script, "--output", out, "--set", "cbRenderScale=6", "--jobs", "7"} +
        sources);
    QVERIFY2(made.exitCode == 0, qPrintable(made.err));

    QFile text(script);
    QVERIFY(text.open(QIODevice::ReadOnly));
    const QString body = QString::fromUtf8(text.readAll());
    QVERIFY2(body.contains("\n#SBATCH --array=1-2%7\n"), qPrintable(body));
    QVERIFY2(body.contains("\n#SBATCH --cpus-per-task=1\n"), qPrintable(body));
    // Slurm's own reading of the line: a "#" escaped, a "%" doubled.
    QVERIFY2(body.contains("betik \\# %%yüzde/işler.sh.logs/%A_%a.log\"\n"), qPrintable(body));
    QFile list(script + ".files");
    QVERIFY(list.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(list.readAll()), sources.join('\n') + '\n');
    QVERIFY(QFileInfo(script + ".logs").isDir());

    // Outside Slurm the script says so and does nothing.
    QCOMPARE(runTask(script, 0).exitCode, 2);

    const ShRun first = runTask(script, 2);
    QVERIFY2(first.exitCode == 0, qPrintable(first.err));
    const QFileInfo output(out + "/iki \"ğüş\" $HOME.mp4");
    QVERIFY(output.isFile());
    QVERIFY(!QFileInfo::exists(out + "/bir.mp4"));
    const QDateTime written = output.lastModified();

    const ShRun again = runTask(script, 2);
    QVERIFY2(again.exitCode == 0, qPrintable(again.err));
    QVERIFY2(again.err.contains(QStringLiteral("Çıktı zaten var")), qPrintable(again.err));
    QCOMPARE(QFileInfo(output.filePath()).lastModified(), written);

    // A task beyond the list fails with the reason.
    const ShRun beyond = runTask(script, 3);
    QCOMPARE(beyond.exitCode, 2);
    QVERIFY2(beyond.err.contains(QStringLiteral("listede bu görevin kaynağı yok")),
             qPrintable(beyond.err));
}

// A name with a line end would split the list; two sources with one output name would overwrite
// each other, each in its own task. Nothing is written for either.
void TestBatchSlurm::refused_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("reason");
    QTest::newRow("line end") << QStringList{"satır\nsonu.mp4"}
                              << "Slurm betiğinin listesine yazılamaz";
    QTest::newRow("one output name")
        << QStringList{"aynı.mp4", "alt/aynı.mp4"} << "birbirlerinin üzerine yazarlar";
}

void TestBatchSlurm::refused()
{
    QFETCH(QStringList, names);
    QFETCH(QString, reason);
    const QString folder = m_dir.filePath(QStringLiteral("ret ") + QTest::currentDataTag());
    QStringList files;
    for (const QString &name : names) {
        const QString path = folder + '/' + name;
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QVERIFY(QFile::copy(m_src + "/bir.mp4", path));
        files << path;
    }
    const QString out = folder + "/çıktı";
    QVERIFY(QDir().mkpath(out));
    const QString script = folder + "/işler.sh";
    const testsupport::BatchResult r =
        testsupport::runBatch(QStringList{"--slurm", script, "--output", out} + files);
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.err.contains(reason), qPrintable(r.err));
    QVERIFY(!QFileInfo::exists(script));
    QVERIFY(!QFileInfo::exists(script + ".files"));
}

QTEST_GUILESS_MAIN(TestBatchSlurm)
#include "tst_batch_slurm.moc"
