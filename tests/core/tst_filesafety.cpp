// The checks that keep a render off the wrong file: what counts as a regular file, temporary
// names and a killed run's leftovers, outputs that must not be replaced, a short output, and the
// signals that end a run.
#include "core/base/endingsignals.h"
#include "core/base/filechecks.h"
#include "core/base/settingsfile.h"
#include "core/base/sharedlock.h"
#include "core/queue/jobreason.h"
#include "core/queue/outputfiles.h"
#include "core/queue/rendercheck.h"
#include "core/queue/renderjobs.h"
#include "core/queue/renderqueue.h"
#include "support/testsupport.h"

#include <QCryptographicHash>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>

using namespace fulmaro;

class TestFileSafety : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void regularFilesOnly_data();
    void regularFilesOnly();
    void outputsKeepOffSources();
    void caseRuleOfTheOutputFolder();
    void temporaryNames_data();
    void temporaryNames();
    void leftoverOfAKilledRun_data();
    void leftoverOfAKilledRun();
    void outputsNotReplaced();
    void shortOutput_data();
    void shortOutput();
    void bitrateLimit_data();
    void bitrateLimit();
    void settingsFileCutShort_data();
    void settingsFileCutShort();
    void endingSignals();
    void queueRefusesASourceReachedByLink();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

// Pipes and devices would hold a reader for ever or never end; folders are no files.
void TestFileSafety::regularFilesOnly_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason"); // empty: read
    QTest::newRow("regular") << "file" << QString();
    QTest::newRow("link to a regular file") << "link" << QString();
    QTest::newRow("missing") << "missing"
                             << "Dosya bulunamadı.";
    QTest::newRow("folder") << "folder"
                            << "Bu bir klasör, dosya değil.";
    QTest::newRow("pipe") << "fifo"
                          << "Normal bir dosya değil (boru, aygıt ya da soket).";
    QTest::newRow("endless device") << "/dev/zero"
                                    << "Normal bir dosya değil (boru, aygıt ya da soket).";
    QTest::newRow("too large") << "large"
                               << "Dosya beklenenden çok büyük.";
}

void TestFileSafety::regularFilesOnly()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    QString target = kind.startsWith('/') ? kind : path(kind);
    if (kind == "file" || kind == "large" || kind == "link") {
        QFile file(path(kind == "link" ? "linked" : kind));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(kind == "large" ? 200 : 20, 'x'));
        file.close();
        if (kind == "link")
            QVERIFY(QFile::link(path("linked"), target));
    } else if (kind == "folder") {
        QVERIFY(QDir().mkpath(target));
    } else if (kind == "fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(target).constData(), 0600), 0);
    }
    const SmallFileRead read = readSmallRegularFile(target, 100);
    QCOMPARE(read.ok, reason.isEmpty());
    QCOMPARE(read.error, reason);
    QCOMPARE(read.missing, kind == "missing");
    if (read.ok)
        QCOMPARE(read.bytes, QByteArray(20, 'x'));
    if (kind != "large")
        QCOMPARE(notRegularFileReason(target), reason);
}

// An output path that reaches a listed source by another spelling is numbered like a collision;
// an older output of the name is not a source and is replaced as before.
void TestFileSafety::outputsKeepOffSources()
{
    const QString in = path("giriş");
    QVERIFY(QDir().mkpath(in));
    const QString out = path("çıkış");
    QVERIFY(QDir().mkpath(out));
    for (const char *name : {"a.mp4", "b.mkv", "c.avi", ".mp4", ".clip"}) {
        QFile file(in + '/' + QLatin1String(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(QFile::link(in, path("bağlantı")));
    // The output folder holds a hard link to b.mkv under the output's name, and an older c.mp4.
    QCOMPARE(::link(QFile::encodeName(in + "/b.mkv").constData(),
                    QFile::encodeName(out + "/b.mp4").constData()),
             0);
    QFile older(out + "/c.mp4");
    QVERIFY(older.open(QIODevice::WriteOnly));

    const QStringList inputs{in + "/a.mp4", in + "/b.mkv", in + "/c.avi", in + "/.mp4",
                             in + "/.clip"};
    QCOMPARE(
        renderOutputPaths(inputs, "mp4", path("bağlantı")),
        QStringList({path("bağlantı/a (2).mp4"), path("bağlantı/b.mp4"), path("bağlantı/c.mp4"),
                     path("bağlantı/.mp4.mp4"), path("bağlantı/.clip.mp4")}));
    QCOMPARE(renderOutputPaths(inputs, "mp4", out),
             QStringList({out + "/a.mp4", out + "/b (2).mp4", out + "/c.mp4", out + "/.mp4.mp4",
                          out + "/.clip.mp4"}));
}

// In a folder that ignores case, names that differ only in case are one file.
void TestFileSafety::caseRuleOfTheOutputFolder()
{
    const QStringList outputs{"/kart/GOPR0001.mp4", "/kart/gopr0001.mp4", "/kart/Klip.MP4"};
    QCOMPARE(uniquePaths(outputs, {"/kart/KLIP.mp4"}, {}, true),
             QStringList({"/kart/GOPR0001.mp4", "/kart/gopr0001 (2).mp4", "/kart/Klip (2).MP4"}));
    QCOMPARE(uniquePaths(outputs, {"/kart/KLIP.mp4"}, {}, false), outputs);
    // A folder on this machine's own file system tells its rule by a file made there.
    QVERIFY(!folderIgnoresCase(m_dir.path()));
}

// The temporary name keeps the extension; a name that would grow too long becomes a short hidden
// one, the same each time; a dot that starts a name starts no extension.
void TestFileSafety::temporaryNames_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("part");
    QTest::newRow("plain") << "/o/klip.mp4"
                           << "/o/klip.part.mp4";
    QTest::newRow("only an extension") << "/o/.mp4.mp4"
                                       << "/o/.mp4.part.mp4";
    QTest::newRow("dot name") << "/o/.klip"
                              << "/o/.klip.part";
    const QString longest = QString(251, QLatin1Char('a')) + ".mp4";
    QTest::newRow("255 bytes") << "/o/" + longest << "/o/.@.part.mp4";
    // Two bytes a letter: 125 of them and ".mp4" are 254 bytes, 259 with ".part".
    const QString turkish = QString(125, QChar(u'ş')) + ".mp4";
    QTest::newRow("254 bytes of Turkish letters") << "/o/" + turkish << "/o/.@.part.mp4";
}

void TestFileSafety::temporaryNames()
{
    QFETCH(QString, output);
    QFETCH(QString, part);
    const QString made = partPathFor(output);
    QCOMPARE(made, partPathFor(output));
    if (part.contains('@')) {
        QVERIFY2(QRegularExpression("\\A/o/\\.[0-9a-f]{12}\\.part\\.mp4\\z").match(made).hasMatch(),
                 qPrintable(made));
        QCOMPARE(QFileInfo(partPathFor(output, 2)).fileName(),
                 QFileInfo(made).fileName().replace(".part.", ".part2."));
    } else {
        QCOMPARE(made, part);
    }
}

// The unfinished file of a run that was killed is known by its lock, whose program is gone, and
// taken over by the next job of the same output. A file of that name without such a lock is not
// the program's to remove; a name whose lock a live run holds is that run's.
void TestFileSafety::leftoverOfAKilledRun_data()
{
    QTest::addColumn<QString>("lock");
    QTest::addColumn<QString>("takes");
    QTest::addColumn<bool>("removed");
    QTest::newRow("left by a killed run") << "dead"
                                          << ".part.mp4" << true;
    QTest::newRow("someone else's file") << "none"
                                         << ".part2.mp4" << false;
    QTest::newRow("a live run's") << "live"
                                  << ".part2.mp4" << false;
    // Another machine sharing the work folder: its program cannot be looked at, but a live one
    // touches its locks each minute.
    QTest::newRow("another machine's, silent for long") << "foreign silent"
                                                        << ".part.mp4" << true;
    QTest::newRow("another machine's, touched lately") << "foreign alive"
                                                       << ".part2.mp4" << false;
}

void TestFileSafety::leftoverOfAKilledRun()
{
    QFETCH(QString, lock);
    QFETCH(QString, takes);
    QFETCH(bool, removed);
    QTemporaryDir out;
    QTemporaryDir locks;
    const QString output = out.filePath("klip.mp4");
    QFile left(out.filePath("klip.part.mp4"));
    QVERIFY(left.open(QIODevice::WriteOnly));
    left.write("yarım");
    left.close();
    // The lock of klip.part.mp4, as a program writes it that has gone, or that is this one.
    std::unique_ptr<QLockFile> live;
    const auto lockOf = [&locks](const QString &partPath) {
        const QByteArray digest =
            QCryptographicHash::hash(partPath.toUtf8(), QCryptographicHash::Md5);
        return locks.filePath(
            QStringLiteral("part-%1.lock").arg(QString::fromLatin1(digest.toHex())));
    };
    const QString lockPath = lockOf(out.filePath("klip.part.mp4"));
    const auto setTouched = [](const QString &path, const QDateTime &time) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) &&
               file.setFileTime(time, QFileDevice::FileModificationTime);
    };
    if (lock == "dead") {
        QLockFile model(locks.filePath("model"));
        QVERIFY(model.tryLock(0));
        QFile modelFile(locks.filePath("model"));
        QVERIFY(modelFile.open(QIODevice::ReadOnly));
        QByteArray content = modelFile.readAll();
        modelFile.close();
        model.unlock();
        QProcess gone;
        gone.start("true");
        QVERIFY(gone.waitForStarted());
        const qint64 pid = gone.processId();
        QVERIFY(gone.waitForFinished());
        content = QByteArray::number(pid) + content.mid(content.indexOf('\n'));
        QFile lockFile(lockPath);
        QVERIFY(lockFile.open(QIODevice::WriteOnly));
        lockFile.write(content);
    } else if (lock == "live") {
        live = std::make_unique<QLockFile>(lockPath);
        QVERIFY(live->tryLock(0));
    } else if (lock.startsWith("foreign")) {
        QFile lockFile(lockPath);
        QVERIFY(lockFile.open(QIODevice::WriteOnly));
        lockFile.write("4242\nfulmaro-batch\nbaska-bir-dugum\n");
        lockFile.close();
        const int minutesAgo = lock == "foreign silent" ? kForeignLockSilentMinutes + 5 : 2;
        QVERIFY(setTouched(lockPath, QDateTime::currentDateTime().addSecs(-60 * minutesAgo)));
    }
    const PartFile part = createPartFile(output, locks.path());
    QCOMPARE(part.path, out.filePath("klip" + takes));
    QCOMPARE(part.removedLeftover.isEmpty(), !removed);
    QCOMPARE(left.exists() && left.size() > 0, !removed);
    QVERIFY(part.lock && part.lock->isLocked());
    // The lock it holds is touched by the heartbeat, so other machines see it alive; another's
    // is not.
    const QString held = lockOf(part.path);
    const QDateTime old = QDateTime::currentDateTime().addSecs(-3600);
    QVERIFY(setTouched(held, old));
    if (lock == "foreign alive")
        QVERIFY(setTouched(lockPath, old));
    touchHeldLocks();
    QVERIFY(QFileInfo(held).lastModified().secsTo(QDateTime::currentDateTime()) < 60);
    if (lock == "foreign alive")
        QCOMPARE(QFileInfo(lockPath).lastModified().toSecsSinceEpoch(), old.toSecsSinceEpoch());
}

// A folder under the output's name, or a write-protected output, is left alone: the job fails
// before its encoder starts.
void TestFileSafety::outputsNotReplaced()
{
    QTemporaryDir out;
    QCOMPARE(existingOutputFault(out.filePath("yok.mp4")), OutputFault::None);
    QFile plain(out.filePath("düz.mp4"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QCOMPARE(existingOutputFault(plain.fileName()), OutputFault::None);
    QVERIFY(QDir().mkpath(out.filePath("klasör.mp4")));
    QCOMPARE(existingOutputFault(out.filePath("klasör.mp4")), OutputFault::IsFolder);
    QVERIFY(QFile::setPermissions(plain.fileName(), QFile::ReadOwner | QFile::ReadOther));
    QCOMPARE(existingOutputFault(plain.fileName()), OutputFault::Protected);
    // An input of 255 bytes without an extension gives an output name no file system takes.
    QCOMPARE(existingOutputFault(out.filePath(QString(255, QLatin1Char('a')) + ".mp4")),
             OutputFault::NameTooLong);
}

void TestFileSafety::shortOutput_data()
{
    QTest::addColumn<double>("output");
    QTest::addColumn<double>("planned");
    QTest::addColumn<QString>("reason");
    QTest::newRow("a cut-off source")
        << 1.4 << 5.0 << "Çıktı 1,4 sn, beklenen 5 sn: kaynak dosya bozuk olabilir.";
    QTest::newRow("the last frame's length") << 4.96 << 5.0 << QString();
    QTest::newRow("under a second short") << 0.4 << 1.0 << QString();
    QTest::newRow("a tenth of a long one") << 545.0 << 600.0 << QString();
    QTest::newRow("a sixth of a long one")
        << 500.0 << 600.0 << "Çıktı 500 sn, beklenen 600 sn: kaynak dosya bozuk olabilir.";
    QTest::newRow("longer than listed") << 6.2 << 5.0 << QString();
}

void TestFileSafety::shortOutput()
{
    QFETCH(double, output);
    QFETCH(double, planned);
    QFETCH(QString, reason);
    QCOMPARE(shortOutputText(output, planned), reason);
}

void TestFileSafety::bitrateLimit_data()
{
    QTest::addColumn<QString>("bitrate");
    QTest::addColumn<bool>("taken");
    QTest::newRow("usual") << "5000" << true;
    QTest::newRow("the largest") << "10000000" << true;
    QTest::newRow("one more") << "10000001" << false;
    QTest::newRow("beyond 64 bits") << "99999999999999999999999" << false;
}

void TestFileSafety::bitrateLimit()
{
    QFETCH(QString, bitrate);
    QFETCH(bool, taken);
    RenderSettings settings;
    settings.cbBitrate = bitrate;
    const InputProblem problem = checkBitrate(settings);
    QCOMPARE(problem.isProblem(), !taken);
    if (!taken)
        QVERIFY(problem.message.startsWith(QStringLiteral("Bit hızı çok büyük: ") + bitrate));
}

// A settings file cut inside the folder's line would name a part of the folder: its parent.
void TestFileSafety::settingsFileCutShort_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("problem");
    QTest::newRow("whole") << QByteArray("outputfolder=/v/Out\r\n") << "/v/Out" << false;
    QTest::newRow("cut after a separator") << QByteArray("outputfolder=/v/") << QString() << true;
    QTest::newRow("cut in the line end")
        << QByteArray("outputfolder=/v/Out\r") << "/v/Out" << false;
    QTest::newRow("another line cut")
        << QByteArray("outputfolder=/v/Out\nx=1") << "/v/Out" << false;
}

void TestFileSafety::settingsFileCutShort()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, folder);
    QFETCH(bool, problem);
    QFile file(path("Fulmaro.set"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.close();
    const OutputFolderSetting setting = readOutputFolderSetting(file.fileName());
    QCOMPARE(setting.folder, folder);
    QCOMPARE(setting.problem.isEmpty(), !problem);
}

// SIGTERM and SIGHUP arrive as a Qt signal instead of ending the program; the handling before
// comes back afterwards.
void TestFileSafety::endingSignals()
{
    const auto before = std::signal(SIGTERM, SIG_IGN);
    {
        EndingSignals ending;
        QSignalSpy arrived(&ending, &EndingSignals::arrived);
        ::raise(SIGTERM);
        ::raise(SIGHUP);
        QTRY_COMPARE(arrived.size(), 2);
        QCOMPARE(arrived.at(0).at(0).toInt(), SIGTERM);
        QCOMPARE(arrived.at(1).at(0).toInt(), SIGHUP);
        QVERIFY(ending.received());
        QCOMPARE(ending.number(), SIGTERM);
    }
    QVERIFY(std::signal(SIGTERM, before) == SIG_IGN);
}

// A job whose output reaches its own source through a linked folder is refused before the
// encoder starts, whatever named the output.
void TestFileSafety::queueRefusesASourceReachedByLink()
{
    QTemporaryDir dir;
    QVERIFY(testsupport::makeClip(dir.filePath("kaynak.mp4"), 1, false, "160x120"));
    QVERIFY(QFile::link(dir.path(), dir.filePath("bağlantı")));
    RenderJob job;
    job.name = dir.filePath("kaynak.mp4");
    job.command = "-i " + job.name;
    job.outputPath = dir.filePath("bağlantı/kaynak.mp4");
    QueueOptions options;
    options.encoderPath = TOOLS_DIR "/ffmpeg";
    options.workDir = dir.path();
    const qint64 size = QFileInfo(job.name).size();
    RenderQueue queue({job}, options);
    QVERIFY(!queue.runAll());
    QCOMPARE(queue.status(0).state, JobState::Failed);
    QCOMPARE(queue.status(0).reason, overwriteRefusedText());
    QCOMPARE(QFileInfo(job.name).size(), size);
    QVERIFY(queue.status(0).partPath.isEmpty());
}

QTEST_GUILESS_MAIN(TestFileSafety)
#include "tst_filesafety.moc"
