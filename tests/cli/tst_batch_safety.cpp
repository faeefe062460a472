// fulmaro-batch against a careful, hostile user: other spellings of a source's path, names that
// would split a line or are not text, pipes and devices, a damaged source, a protected output,
// and the program killed in the middle of a render. The real encoder and probe throughout.
#include "core/base/workfolders.h"
#include "support/batchrunner.h"
#include "support/testsupport.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace fulmaro;

namespace {

using Output = testsupport::BatchResult;

QByteArray digest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Md5);
}

using testsupport::runCommand;

// A small exFAT volume through FUSE on a loop device: a camera card, whose file system finds a
// name in any case. Undone however the test ends.
class CameraCard
{
public:
    ~CameraCard()
    {
        if (m_mounted)
            runCommand(QStringLiteral("umount"), {m_at});
        if (!m_device.isEmpty())
            runCommand(QStringLiteral("losetup"), {"-d", m_device});
    }
    // Empty when it is mounted, else why not.
    QString mount(const QString &image, const QString &at)
    {
        for (const char *tool : {"mkfs.exfat", "mount.exfat-fuse", "losetup"}) {
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty() &&
                !QFileInfo::exists(QStringLiteral("/usr/sbin/") + QLatin1String(tool)) &&
                !QFileInfo::exists(QStringLiteral("/sbin/") + QLatin1String(tool)))
                return QStringLiteral("%1 is not installed").arg(QLatin1String(tool));
        }
        if (::geteuid() != 0 || !QFileInfo::exists(QStringLiteral("/dev/fuse")))
            return QStringLiteral("mounting needs root and /dev/fuse");
        QFile file(image);
        if (!file.open(QIODevice::WriteOnly) || !file.resize(32 * 1024 * 1024))
            return QStringLiteral("no image file");
        file.close();
        if (!runCommand(QStringLiteral("mkfs.exfat"), {image}))
            return QStringLiteral("mkfs.exfat failed");
        QProcess losetup;
        losetup.start(QStringLiteral("losetup"), {"-f", "--show", image});
        if (!losetup.waitForFinished(30000) || losetup.exitCode() != 0)
            return QStringLiteral("no loop device");
        m_device = QString::fromUtf8(losetup.readAllStandardOutput()).trimmed();
        QDir().mkpath(at);
        m_at = at;
        m_mounted = runCommand(QStringLiteral("mount.exfat-fuse"), {m_device, at});
        return m_mounted ? QString() : QStringLiteral("the FUSE mount failed");
    }

private:
    QString m_device;
    QString m_at;
    bool m_mounted = false;
};

} // namespace

class TestBatchSafety : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void linkedOutputFolderKeepsTheSource();
    void caseInsensitiveCard();
    void linesThatWouldSplit();
    void killedProgramTakesItsEncoder();
    void pipesAndDevicesRefusedAtOnce_data();
    void pipesAndDevicesRefusedAtOnce();
    void interruptWhileAProbeWaits();
    void truncatedSourceFails();
    void outputLeftAlone_data();
    void outputLeftAlone();
    void namesThatOnceBroke_data();
    void namesThatOnceBroke();
    void nameNotInTheSystemsEncoding();
    void usageMistakesRefused_data();
    void usageMistakesRefused();
    void listShowsReasonsAndOneLineAFile();

private:
    Output batch(const QStringList &args, const QProcessEnvironment &env = {},
                 int timeoutMs = 120000);
    QString folder(const QString &name);

    QTemporaryDir m_dir;
    WorkFolders m_folders;
    QString m_clip; // 2 s, 160x120, with sound
};

Output TestBatchSafety::batch(const QStringList &args, const QProcessEnvironment &env,
                              int timeoutMs)
{
    return testsupport::runBatch(args, env, {}, timeoutMs);
}

QString TestBatchSafety::folder(const QString &name)
{
    const QString path = m_dir.filePath(name);
    QDir().mkpath(path);
    return path;
}

void TestBatchSafety::initTestCase()
{
    m_folders = WorkFolders::under(testsupport::isolateDataHome());
    m_folders.create();
    QVERIFY(testsupport::linkRealTools(m_folders.binDir));
    m_clip = m_dir.filePath(QStringLiteral("klip.mp4"));
    QVERIFY(testsupport::makeClip(m_clip, 2, true, QStringLiteral("160x120")));
}

// The output folder is the source's folder reached through a link: the render gets " (2)" and
// the source is untouched.
void TestBatchSafety::linkedOutputFolderKeepsTheSource()
{
    const QString source = folder(QStringLiteral("kaynak klasör"));
    const QString clip = source + QStringLiteral("/tatil.mp4");
    QVERIFY(QFile::copy(m_clip, clip));
    const QByteArray before = digest(clip);
    const QString link = m_dir.filePath(QStringLiteral("bağlantı"));
    QVERIFY(QFile::link(source, link));
    const Output o = batch({"--output", link, clip});
    QVERIFY2(o.exitCode == 0, qPrintable(o.err));
    QCOMPARE(digest(clip), before);
    QVERIFY(QFileInfo(source + QStringLiteral("/tatil (2).mp4")).size() > 0);
}

// A camera card (exFAT: names in any case reach the same file, under another inode number):
// GOPR0001.mp4 is the source GOPR0001.MP4, and two outputs that differ only in case are one
// file. A name the card's file system refuses says so.
void TestBatchSafety::caseInsensitiveCard()
{
    CameraCard card;
    const QString at = m_dir.filePath(QStringLiteral("kart"));
    const QString why = card.mount(m_dir.filePath(QStringLiteral("kart.img")), at);
    if (!why.isEmpty())
        QSKIP(qPrintable(QStringLiteral("SKIPPED: no case-insensitive file system to test on "
                                        "(%1); install exfat-fuse and exfatprogs and run as root")
                             .arg(why)));
    const QString source = at + QStringLiteral("/GOPR0001.MP4");
    QVERIFY(QFile::copy(m_clip, source));
    const QByteArray before = digest(source);
    const QString other = folder(QStringLiteral("başka"));
    QVERIFY(QFile::copy(m_clip, other + QStringLiteral("/gopr0001.mkv")));
    const Output o = batch({"--output", at, source, other + QStringLiteral("/gopr0001.mkv")});
    QVERIFY2(o.exitCode == 0, qPrintable(o.err));
    QCOMPARE(digest(source), before);
    QStringList names = QDir(at).entryList(QDir::Files);
    names.sort();
    QCOMPARE(names, QStringList({"GOPR0001 (2).mp4", "GOPR0001.MP4", "gopr0001 (3).mp4"}));

    QVERIFY(QFile::copy(m_clip, other + QStringLiteral("/saat 10:30.mp4")));
    const Output refused = batch({"--output", at, other + QStringLiteral("/saat 10:30.mp4")});
    QCOMPARE(refused.exitCode, 1);
    QVERIFY2(refused.err.contains(QStringLiteral("bu dosya adını kabul etmiyor")),
             qPrintable(refused.err));
}

// A name with a line end would split its --dry-run line, and the rest would run as a command:
// refused, unless the lines are NUL-ended, which parallel -0 runs whole.
void TestBatchSafety::linesThatWouldSplit()
{
    const QString parallel = QStandardPaths::findExecutable(QStringLiteral("parallel"));
    QVERIFY2(!parallel.isEmpty(), "GNU parallel is not installed");
    const QString in = folder(QStringLiteral("satır"));
    const QString clip = in + QStringLiteral("/tatil\ntouch PWNED;: .mp4");
    QVERIFY(QFile::copy(m_clip, clip));
    const QString out = folder(QStringLiteral("satır çıktı"));
    const QString runHere = folder(QStringLiteral("satır çalışma"));

    const Output refused = batch({"--output", out, "--dry-run", clip});
    QCOMPARE(refused.exitCode, 2);
    QCOMPARE(refused.outBytes, QByteArray());
    QVERIFY2(refused.err.contains(QStringLiteral("--null")), qPrintable(refused.err));

    const Output lines = batch({"--output", out, "--dry-run", "--null", clip});
    QCOMPARE(lines.exitCode, 0);
    QVERIFY(lines.outBytes.endsWith('\0'));
    QCOMPARE(testsupport::withoutComments(lines.outBytes, '\0').count('\0'), 1);
    QProcess p;
    p.setWorkingDirectory(runHere);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PARALLEL_SHELL"), QStringLiteral("/bin/sh"));
    p.setProcessEnvironment(env);
    p.start(parallel, {"-0", "--will-cite"});
    p.write(lines.outBytes);
    p.closeWriteChannel();
    QVERIFY(p.waitForFinished(120000));
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(QDir(runHere).entryList(QDir::Files), QStringList());
    QVERIFY(QFileInfo(out + QStringLiteral("/tatil\ntouch PWNED;: .mp4")).size() > 0);
}

// kill -9 of the front end: the encoder (in a session of its own) is gone within a second, and
// the next run of the same output removes the unfinished file and says so.
void TestBatchSafety::killedProgramTakesItsEncoder()
{
    const QString clip = m_dir.filePath(QStringLiteral("uzun klip.mp4"));
    QVERIFY(testsupport::makeClip(clip, 12, true, QStringLiteral("320x240")));
    const QString out = folder(QStringLiteral("öldürülen"));
    const QStringList args{"--output", out, clip};
    QProcess p;
    p.start(QStringLiteral(FULMARO_BATCH), QStringList{"--set", "cbPreset=4"} + args);
    QVERIFY(p.waitForStarted());
    const QString part = out + QStringLiteral("/uzun klip.part.mp4");
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(part).size() > 0, 60000);
    QVERIFY(testsupport::processMentions(out.toUtf8()));
    ::kill(pid_t(p.processId()), SIGKILL);
    QVERIFY(p.waitForFinished(5000));
    QTRY_VERIFY_WITH_TIMEOUT(!testsupport::processMentions(out.toUtf8()), 1000);
    QVERIFY(QFileInfo::exists(part));

    const Output again = batch(args);
    QVERIFY2(again.exitCode == 0, qPrintable(again.err));
    QVERIFY2(again.err.contains(QStringLiteral(
                 "Yarıda kalmış önceki bir işlemin dosyası silindi: uzun klip.part.mp4")),
             qPrintable(again.err));
    QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{"uzun klip.mp4"});
}

// Pipes, devices and folders are no videos, presets or settings: refused at once with the
// reason, where they used to hang the run or fill the memory.
void TestBatchSafety::pipesAndDevicesRefusedAtOnce_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("reason");
    QTest::newRow("a pipe as a video") << "video-fifo"
                                       << "Normal bir dosya değil";
    QTest::newRow("a device as a video") << "video-device"
                                         << "Normal bir dosya değil";
    QTest::newRow("a folder as a video") << "video-folder"
                                         << "Bu bir klasör, dosya değil";
    QTest::newRow("a pipe as a preset") << "preset-fifo"
                                        << "Normal bir dosya değil";
    QTest::newRow("an endless device as a preset") << "preset-zero"
                                                   << "Normal bir dosya değil";
    QTest::newRow("a pipe as the settings file") << "settings-fifo"
                                                 << "Ayar dosyası okunamadı";
}

void TestBatchSafety::pipesAndDevicesRefusedAtOnce()
{
    QFETCH(QString, what);
    QFETCH(QString, reason);
    const QString fifo = m_dir.filePath(QStringLiteral("boru"));
    if (!QFileInfo::exists(fifo))
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString out = folder(QStringLiteral("boru çıktı"));
    QStringList args;
    const QString preset = m_folders.presetsDir() + QStringLiteral("tuzak.preset");
    QDir().mkpath(m_folders.presetsDir());
    QFile::remove(preset);
    if (what == "video-fifo")
        args = QStringList{"--output", out, fifo};
    else if (what == "video-device")
        args = QStringList{"--output", out, "/dev/zero"};
    else if (what == "video-folder")
        args = QStringList{"--output", out, out};
    else if (what == "preset-fifo" || what == "preset-zero")
        QVERIFY(QFile::link(what == "preset-fifo" ? fifo : QStringLiteral("/dev/zero"), preset));
    if (what.startsWith("preset"))
        args = QStringList{"--output", out, "--preset", "tuzak", m_clip};
    if (what == "settings-fifo") {
        QFile::remove(m_folders.settingsFile());
        QVERIFY(QFile::link(fifo, m_folders.settingsFile()));
        args = QStringList{m_clip};
    }
    const Output o = batch(args, {}, 20000);
    QFile::remove(preset);
    QFile::remove(m_folders.settingsFile());
    QCOMPARE(o.exitCode, 2);
    QVERIFY2(o.err.contains(reason), qPrintable(o.err));
    QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList());
}

// Ctrl-C while the probe of a file hangs (a share that stopped answering): the run ends at once
// with 130, and the probe with it.
void TestBatchSafety::interruptWhileAProbeWaits()
{
    const QString data = folder(QStringLiteral("asılı veri"));
    const WorkFolders folders = WorkFolders::under(data);
    folders.create();
    QVERIFY(testsupport::linkRealTools(folders.binDir));
    const QString mark = m_dir.filePath(QStringLiteral("probe started"));
    QFile::remove(folders.binDir + QStringLiteral("ffprobe"));
    QFile probe(folders.binDir + QStringLiteral("ffprobe"));
    QVERIFY(probe.open(QIODevice::WriteOnly));
    probe.write("#!/bin/sh\n: > \"$FAKE_MARK\"\nexec sleep 300\n");
    probe.close();
    QVERIFY(probe.setPermissions(probe.permissions() | QFile::ExeOwner));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), data);
    env.insert(QStringLiteral("FAKE_MARK"), mark);

    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(FULMARO_BATCH), {"--output", folder("asılı çıktı"), m_clip});
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(mark), 30000);
    ::kill(pid_t(p.processId()), SIGINT);
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 130);
    QTRY_VERIFY_WITH_TIMEOUT(!testsupport::processMentions(QByteArray("sleep 300")), 5000);
}

// A source cut off after its header lists 5 s but holds about 1.5 s: the encoder ends well on
// what is there. The job fails with both lengths, the output is kept under its temporary name.
void TestBatchSafety::truncatedSourceFails()
{
    const QString full = m_dir.filePath(QStringLiteral("tam.mp4"));
    QProcess make;
    make.start(QStringLiteral(TOOLS_DIR "/ffmpeg"),
               {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=160x120:rate=30:duration=5",
                "-c:v", "mpeg4", "-movflags", "+faststart", full});
    QVERIFY(make.waitForFinished(60000) && make.exitCode() == 0);
    QFile source(full);
    QVERIFY(source.open(QIODevice::ReadOnly));
    const QByteArray bytes = source.readAll();
    const QString cut = m_dir.filePath(QStringLiteral("yarım kalmış indirme.mp4"));
    QFile truncated(cut);
    QVERIFY(truncated.open(QIODevice::WriteOnly));
    truncated.write(bytes.left(bytes.size() * 3 / 10));
    truncated.close();

    const QString out = folder(QStringLiteral("kısa çıktı"));
    const Output o = batch({"--output", out, cut});
    QCOMPARE(o.exitCode, 1);
    QVERIFY2(o.err.contains(QStringLiteral("beklenen 5 sn: kaynak dosya bozuk olabilir")),
             qPrintable(o.err));
    QCOMPARE(QDir(out).entryList(QDir::Files),
             QStringList{QStringLiteral("yarım kalmış indirme.part.mp4")});
}

// A write-protected output, or a folder of the output's name, is left alone: the job fails with
// what really is in the way before its encoder starts (not "Is a directory" after a whole encode,
// followed by the encoder's success as its failure).
void TestBatchSafety::outputLeftAlone_data()
{
    QTest::addColumn<bool>("folderInTheWay");
    QTest::addColumn<QString>("reason");
    QTest::newRow("write-protected") << false << "Çıktı dosyası yazmaya karşı korumalı";
    QTest::newRow("a folder") << true << "Çıktı dosyasının adında bir klasör var";
}

void TestBatchSafety::outputLeftAlone()
{
    QFETCH(bool, folderInTheWay);
    QFETCH(QString, reason);
    const QString out = folder(QStringLiteral("korumalı ") + QString::number(folderInTheWay));
    const QString older = out + QStringLiteral("/klip.mp4");
    if (folderInTheWay) {
        QVERIFY(QDir().mkpath(older));
    } else {
        QFile file(older);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("eski");
        file.close();
        QVERIFY(
            QFile::setPermissions(older, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    }
    const Output o = batch({"--output", out, m_clip});
    QCOMPARE(o.exitCode, 1);
    QVERIFY2(o.err.contains(reason), qPrintable(o.err));
    QVERIFY2(!o.err.contains(QStringLiteral("Kodlayıcı")), qPrintable(o.err));
    if (!folderInTheWay)
        QCOMPARE(digest(older), QCryptographicHash::hash("eski", QCryptographicHash::Md5));
    QCOMPARE(QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"klip.mp4"});
}

// Names whose temporary name used to fail: as long as a name may be, and names that are only an
// extension.
void TestBatchSafety::namesThatOnceBroke_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    const QString longest = QString(251, QLatin1Char('a')) + QStringLiteral(".mp4");
    QTest::newRow("255 bytes") << longest << longest;
    QTest::newRow(".mp4") << ".mp4"
                          << ".mp4.mp4";
    QTest::newRow(".clip") << ".clip"
                           << ".clip.mp4";
}

void TestBatchSafety::namesThatOnceBroke()
{
    QFETCH(QString, input);
    QFETCH(QString, output);
    const QString in = folder(QStringLiteral("adlar"));
    const QString clip = in + QLatin1Char('/') + input;
    QVERIFY(QFile::exists(clip) || QFile::copy(m_clip, clip));
    const QString out = folder(QStringLiteral("adlar çıktı ") + QString::number(input.size()));
    const Output o = batch({"--output", out, clip});
    QVERIFY2(o.exitCode == 0, qPrintable(o.err));
    QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{output});
    QVERIFY(QFileInfo(out + QLatin1Char('/') + output).size() > 0);
}

// caf\xe9.mp4 (Latin-1 bytes) decodes to the same text as the UTF-8 file "caf\uFFFD.mp4" beside
// it: refused, never that other file rendered instead.
void TestBatchSafety::nameNotInTheSystemsEncoding()
{
    const QString in = folder(QStringLiteral("kodlama"));
    QVERIFY(QFile::copy(m_clip, in + QStringLiteral("/caf\uFFFD.mp4")));
    const QByteArray latin1 = QFile::encodeName(in) + QByteArray("/caf\xe9.mp4");
    {
        const int fd = ::open(latin1.constData(), O_WRONLY | O_CREAT, 0644);
        QVERIFY(fd >= 0);
        ::close(fd);
    }
    const QString out = folder(QStringLiteral("kodlama çıktı"));
    QProcess p;
    p.start(QStringLiteral("/bin/sh"),
            {"-c", "exec \"$0\" --output \"$1\" \"$(printf '%s/caf\\351.mp4' \"$2\")\"",
             QStringLiteral(FULMARO_BATCH), out, in});
    QVERIFY(p.waitForFinished(60000));
    // Qt cannot name this file to remove it with its folder.
    ::unlink(latin1.constData());
    QCOMPARE(p.exitCode(), 2);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(err.contains(QStringLiteral("karakter kodlamasına uymuyor")), qPrintable(err));
    QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList());
}

// Mistakes on the command line are refused before anything runs, with what really happened.
void TestBatchSafety::usageMistakesRefused_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("reason");
    QTest::newRow("an option where a folder belongs")
        << QStringList{"--output", "--dry-run", "--output", "@out"} << QString()
        << "--output bir değer bekliyor, bir seçenek geldi: --dry-run";
    QTest::newRow("a bitrate beyond any video")
        << QStringList{"--output", "@out", "--set", "cbBitrate=99999999999999999999999"}
        << QString() << "Bit hızı çok büyük";
    QTest::newRow("a settings file cut short") << QStringList{} << "outputfolder=@parent/"
                                               << "Ayar dosyası yarım kalmış";
}

void TestBatchSafety::usageMistakesRefused()
{
    QFETCH(QStringList, args);
    QFETCH(QString, settings);
    QFETCH(QString, reason);
    const QString out = folder(QStringLiteral("yanlış kullanım/çıktı"));
    args.replaceInStrings(QStringLiteral("@out"), out);
    if (!settings.isEmpty()) {
        QFile file(m_folders.settingsFile());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(settings.replace(QStringLiteral("@parent"), m_dir.filePath("yanlış kullanım"))
                       .toUtf8());
    }
    const Output o = batch(args << m_clip);
    QFile::remove(m_folders.settingsFile());
    QCOMPARE(o.exitCode, 2);
    QVERIFY2(o.err.contains(reason), qPrintable(o.err));
    QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList());
    QCOMPARE(QDir(m_dir.filePath("yanlış kullanım")).entryList(QDir::Files | QDir::Hidden),
             QStringList());
}

// --list: a folder or a pipe says what it is; a tab or a line end in a name never splits a row.
void TestBatchSafety::listShowsReasonsAndOneLineAFile()
{
    const QString in = folder(QStringLiteral("liste"));
    const QString odd = in + QStringLiteral("/iki\tsütun\nbir satır.mp4");
    QVERIFY(QFile::exists(odd) || QFile::copy(m_clip, odd));
    const Output o = batch({"--list", odd, in});
    QCOMPARE(o.exitCode, 2);
    const QList<QByteArray> rows = o.outBytes.split('\n');
    QCOMPARE(rows.size(), 2); // one row and the end of the last line
    QCOMPARE(rows.at(0).count('\t'), 4);
    QVERIFY(
        rows.at(0).startsWith(QByteArray(QFile::encodeName(in) + "/iki?sütun?bir satır.mp4\t")));
    QVERIFY2(o.err.contains(QStringLiteral("Bu bir klasör, dosya değil: ") + in),
             qPrintable(o.err));
}

QTEST_GUILESS_MAIN(TestBatchSafety)
#include "tst_batch_safety.moc"
