// fulmaro-batch on the files users have (see support/corpus.h), from a work folder whose path
// holds a blank, a "$", quotes and Turkish letters, given relative file and folder names.
#include "core/base/workfolders.h"
#include "core/runner/shellquote.h"
#include "support/batchrunner.h"
#include "support/corpus.h"
#include "support/testsupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace fulmaro;

class TestBatchRealFiles : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void listsEveryKind();
    void dryRunRefusesWhatCannotBeRendered();
    void renders_data();
    void renders();
    void refusedRowsAreFailuresAndTheRestRuns();
    void failureShowsTheEncodersComplaint();

private:
    using Output = testsupport::BatchResult;
    // Runs the front end in the corpus folder's parent, so names can be given relative to it.
    Output batch(const QStringList &args);
    static QString relative(const corpus::Sample &s)
    {
        return QStringLiteral("kullanıcı dosyaları/") + QString::fromUtf8(s.file);
    }
    QString absolute(const corpus::Sample &s) const { return m_dir.filePath(relative(s)); }

    QTemporaryDir m_dir;
    QString m_data;
    WorkFolders m_folders;
};

void TestBatchRealFiles::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_data = m_dir.filePath(QStringLiteral("veri $HOME \"tırnak\" 'çalışma' klasörü"));
    m_folders = WorkFolders::under(m_data);
    m_folders.create();
    QVERIFY(testsupport::linkRealTools(m_folders.binDir));
    QVERIFY(!corpus::makeAll(m_dir.filePath(QStringLiteral("kullanıcı dosyaları/"))).isEmpty());
}

TestBatchRealFiles::Output TestBatchRealFiles::batch(const QStringList &args)
{
    return testsupport::runBatch(
        args, testsupport::environmentWith({{QStringLiteral("XDG_DATA_HOME"), m_data}}),
        m_dir.path());
}

void TestBatchRealFiles::listsEveryKind()
{
    QStringList names{"--list"};
    for (const corpus::Sample &s : corpus::samples())
        names << relative(s);
    const Output o = batch(names);
    QCOMPARE(o.exitCode, 0);
    const QStringList lines = o.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), corpus::samples().size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const corpus::Sample &s = corpus::samples().at(i);
        const QStringList columns = lines.at(i).split('\t');
        QCOMPARE(columns.size(), 5);
        QCOMPARE(columns.at(0), absolute(s));
        QCOMPARE(columns.at(4), QString::fromUtf8(s.resolution));
    }
}

void TestBatchRealFiles::dryRunRefusesWhatCannotBeRendered()
{
    QStringList args{"--dry-run", "--output", "çıktı klasörü"};
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("çıktı klasörü")));
    for (const corpus::Sample &s : corpus::samples())
        args << relative(s);
    const Output o = batch(args);
    QCOMPARE(o.exitCode, 1);
    const QStringList lines = testsupport::withoutComments(o.out).split('\n', Qt::SkipEmptyParts);
    int line = 0;
    for (const corpus::Sample &s : corpus::samples()) {
        const QString reason = absolute(s) + QStringLiteral(": ") + QString::fromUtf8(s.resolution);
        if (!s.renderable) {
            QVERIFY2(o.err.contains(reason), qPrintable(o.err));
            continue;
        }
        QVERIFY2(!o.err.contains(absolute(s)), qPrintable(o.err));
        QVERIFY(line < lines.size());
        const QString &command = lines.at(line++);
        // The tool path in the odd work folder is quoted like every other path.
        QVERIFY2(command.startsWith(quoteArg(m_folders.binDir + QStringLiteral("ffmpeg"))),
                 qPrintable(command));
        QVERIFY2(command.contains(QStringLiteral(" -i ") + quoteArg(absolute(s))),
                 qPrintable(command));
    }
    QCOMPARE(line, lines.size());
}

void TestBatchRealFiles::renders_data()
{
    QTest::addColumn<QString>("sample");
    QTest::addColumn<QString>("container");
    QTest::addColumn<int>("speed");
    // The pairs that failed before, and a plain one for each kind.
    QTest::newRow("jittered into mp4") << "jittered timestamps"
                                       << "mp4" << 100;
    QTest::newRow("jittered into avi") << "jittered timestamps"
                                       << "avi" << 100;
    QTest::newRow("rotated into mp4") << "rotated recording"
                                      << "mp4" << 100;
    QTest::newRow("PCM avi into mp4") << "camera avi with PCM"
                                      << "mp4" << 100;
    QTest::newRow("PCM avi into flv") << "camera avi with PCM"
                                      << "flv" << 100;
    QTest::newRow("PCM avi into avi") << "camera avi with PCM"
                                      << "avi" << 100;
    QTest::newRow("Opus into avi") << "Opus sound"
                                   << "avi" << 100;
    QTest::newRow("Opus into flv") << "Opus sound"
                                   << "flv" << 100;
    QTest::newRow("Opus into mkv") << "Opus sound"
                                   << "mkv" << 100;
    QTest::newRow("Opus into flv, faster") << "Opus sound"
                                           << "flv" << 150;
    QTest::newRow("Vorbis into flv") << "Vorbis sound"
                                     << "flv" << 100;
    QTest::newRow("MP3 into flv") << "MP3 sound"
                                  << "flv" << 100;
    QTest::newRow("cover first into mp4") << "cover picture first"
                                          << "mp4" << 100;
    QTest::newRow("23.976 into mkv") << "23.976 fps"
                                     << "mkv" << 100;
    QTest::newRow("60 fps into flv") << "60 fps"
                                     << "flv" << 100;
    QTest::newRow("odd size into avi") << "odd size"
                                       << "avi" << 100;
}

void TestBatchRealFiles::renders()
{
    QFETCH(QString, sample);
    QFETCH(QString, container);
    QFETCH(int, speed);
    const corpus::Sample &s = *corpus::sample(sample);
    const QString outFolder =
        QStringLiteral("işlenmiş ") + QString::fromLatin1(QTest::currentDataTag());
    QVERIFY(QDir(m_dir.path()).mkpath(outFolder));
    const Output o = batch({"--output", outFolder, "--set", "cbRenderScale=6", "--set",
                            "cbExtension=" + container, "--set",
                            "tbVideoSpeed=" + QString::number(speed), relative(s)});
    QVERIFY2(o.exitCode == 0, qPrintable(o.err));

    const QString base = QFileInfo(QString::fromUtf8(s.file)).completeBaseName();
    const QString output = m_dir.filePath(outFolder + '/' + base + '.' + container);
    const corpus::Facts facts = corpus::probe(output);
    QVERIFY(facts.read);
    QVERIFY(facts.video);
    QCOMPARE(facts.audio, s.hasAudio);
    const double expected = s.seconds * 100.0 / speed;
    QVERIFY2(qAbs(facts.seconds - expected) <= 0.15,
             qPrintable(QStringLiteral("%1 s instead of %2 s").arg(facts.seconds).arg(expected)));
    QVERIFY2(qAbs(facts.fps - s.fps) <= s.fpsTolerance,
             qPrintable(QStringLiteral("%1 fps instead of %2").arg(facts.fps).arg(s.fps)));
}

void TestBatchRealFiles::refusedRowsAreFailuresAndTheRestRuns()
{
    QStringList args{"--output", "reddedilenler", "--set", "cbRenderScale=6"};
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("reddedilenler")));
    QStringList refused;
    for (const corpus::Sample &s : corpus::samples()) {
        if (!s.renderable) {
            args << relative(s);
            refused << QString::fromUtf8(s.file);
        }
    }
    const corpus::Sample &plain = *corpus::sample(QStringLiteral("MP3 sound"));
    args << relative(plain);
    const Output o = batch(args);
    QCOMPARE(o.exitCode, 1);
    for (const corpus::Sample &s : corpus::samples()) {
        if (s.renderable)
            continue;
        const QString base = QFileInfo(QString::fromUtf8(s.file)).completeBaseName();
        QVERIFY2(
            o.err.contains(base + QStringLiteral(".mp4: hata: ") + QString::fromUtf8(s.resolution)),
            qPrintable(o.err));
        QVERIFY(!QFile::exists(m_dir.filePath("reddedilenler/" + base + ".mp4")));
    }
    // Refused rows never stop the run: the playable file after them is rendered.
    QVERIFY2(o.err.contains(QStringLiteral("mp3 sesli.mp4: tamam")), qPrintable(o.err));
    QVERIFY(corpus::probe(m_dir.filePath(QStringLiteral("reddedilenler/mp3 sesli.mp4"))).video);
    QVERIFY2(o.err.contains(QStringLiteral("Toplam %1 iş: 1 başarılı, %2 başarısız")
                                .arg(refused.size() + 1)
                                .arg(refused.size())),
             qPrintable(o.err));
}

void TestBatchRealFiles::failureShowsTheEncodersComplaint()
{
    // A logo that is no picture: the encoder fails on it, after its banner and stream list.
    QFile logo(m_folders.logoDir + QStringLiteral("bozuk.png"));
    QVERIFY(logo.open(QIODevice::WriteOnly));
    logo.write("bu bir resim değil");
    logo.close();
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("bozuk")));
    const Output o = batch({"--output", "bozuk", "--set", "cbLogo=bozuk",
                            relative(*corpus::sample(QStringLiteral("MP3 sound")))});
    QFile::remove(m_folders.logoDir + QStringLiteral("bozuk.png"));
    QCOMPARE(o.exitCode, 1);
    const QStringList lines = o.err.split('\n', Qt::SkipEmptyParts);
    QStringList detail;
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1String("    ")))
            detail << line.mid(4);
    }
    QVERIFY2(!detail.isEmpty(), qPrintable(o.err));
    for (const QString &line : detail) {
        QVERIFY2(!line.contains(QLatin1String("ffmpeg version")) &&
                     !line.startsWith(QLatin1String("frame=")) &&
                     !line.startsWith(QLatin1String("  ")),
                 qPrintable(o.err));
    }
    // The encoder's own words about the picture, and how it ended.
    QVERIFY2(detail.join('\n').contains(QLatin1String("PNG")), qPrintable(o.err));
    QCOMPARE(detail.constLast(), QStringLiteral("Conversion failed!"));
}

QTEST_GUILESS_MAIN(TestBatchRealFiles)
#include "tst_batch_realfiles.moc"
