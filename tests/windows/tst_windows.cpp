// The Windows side of the core, run with the real Windows tools (ffmpeg.exe, ffprobe.exe):
// the work folder under %ProgramData%, the settings file in the ANSI code page, cmd.exe and its
// quoting, stopping a run's process tree, the tool check, and a render by fulmaro-batch.exe.

#include "core/base/settingsfile.h"
#include "core/base/toolset.h"
#include "core/base/workfolders.h"
#include "core/runner/shellquote.h"
#include "core/runner/toolcheck.h"
#include "core/runner/toolrun.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <windows.h>

#include <tlhelp32.h>

using namespace fulmaro;

namespace {

// The programs the build names, as Windows paths.
const QString winFake = QDir::toNativeSeparators(QStringLiteral(WIN_FAKE));
const QString batchProgram = QDir::toNativeSeparators(QStringLiteral(FULMARO_BATCH));

QString hexOf(const QString &text)
{
    QString hex;
    for (QChar c : text)
        hex += QStringLiteral("%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    return hex;
}

bool processAlive(qint64 pid)
{
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, DWORD(pid));
    if (!process)
        return false;
    const bool alive = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    ::CloseHandle(process);
    return alive;
}

// The ids of the running processes that the process pid started.
QList<qint64> childrenOf(qint64 pid)
{
    QList<qint64> children;
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return children;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more;
         more = ::Process32NextW(snapshot, &entry)) {
        if (qint64(entry.th32ParentProcessID) == pid && processAlive(entry.th32ProcessID))
            children << qint64(entry.th32ProcessID);
    }
    ::CloseHandle(snapshot);
    return children;
}

// The number after "name=" in the text, or -1.
qint64 numberAfter(const QString &text, const QString &name)
{
    const QRegularExpression re(name + QStringLiteral("=(\\d+)"));
    const QRegularExpressionMatch m = re.match(text);
    return m.hasMatch() ? m.captured(1).toLongLong() : -1;
}

} // namespace

class TestWindows : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void workFolderUnderProgramData();
    void settingsFileInAnsiCodePage_data();
    void settingsFileInAnsiCodePage();
    void interpreterMergesOutputAndExitCode();
    void quotedArgumentsArriveWhole_data();
    void quotedArgumentsArriveWhole();
    void toolsFindOddlyNamedFiles_data();
    void toolsFindOddlyNamedFiles();
    void stopEndsTheTreeOnly();
    void stopEndsTheEncoderOnly();
    void toolCheck();
    void batchRendersWithLogo();
    void previewPipesIntoThePlayer();

private:
    QString m_tools; // the real ffmpeg.exe and ffprobe.exe
    QTemporaryDir m_data;
    WorkFolders m_folders;
    QString m_clip;
};

void TestWindows::initTestCase()
{
    QVERIFY(m_data.isValid());
    // The work folder of this test: its own ProgramData, inherited by the tools it starts.
    QVERIFY(qputenv("ProgramData", QDir::toNativeSeparators(m_data.path()).toUtf8()));
    m_folders = WorkFolders::standard();
    m_folders.create();
    QVERIFY(QDir().mkpath(m_folders.binDir));
    m_tools = QDir::toNativeSeparators(QStringLiteral(WIN_TOOLS_DIR)) + QLatin1Char('\\');
    for (const char *tool : {"ffmpeg.exe", "ffprobe.exe"}) {
        QVERIFY2(QFile::copy(m_tools + QLatin1String(tool), m_folders.binDir + QLatin1String(tool)),
                 tool);
    }
    // A one-second clip from the encoder's test sources.
    m_clip = m_folders.tempDir + QStringLiteral("klip.mp4");
    const RunResult made = getDosOutput(
        QStringLiteral("ffmpeg.exe"),
        quoteArg(m_folders.binDir + QStringLiteral("ffmpeg.exe")) +
            QStringLiteral(" -v error -y -f lavfi -i testsrc=size=160x120:rate=25:duration=1"
                           " -f lavfi -i sine=duration=1 -c:v mpeg4 -c:a aac -shortest ") +
            quoteArg(m_clip),
        m_folders.tempDir);
    QVERIFY2(made.succeeded(), qPrintable(made.lines.join(QLatin1Char('\n'))));
    QVERIFY(QFile::exists(m_clip));
}

void TestWindows::workFolderUnderProgramData()
{
    const QString programData = QDir::toNativeSeparators(m_data.path());
    QCOMPARE(m_folders.workDir, programData + QStringLiteral("\\Fulmaro\\"));
    QCOMPARE(m_folders.binDir, programData + QStringLiteral("\\Fulmaro\\Bin\\"));
    QCOMPARE(m_folders.tempDir, programData + QStringLiteral("\\Fulmaro\\Temp\\"));
    QVERIFY(QFileInfo(m_folders.logoDir).isDir());
    const ToolSet tools = ToolSet::configured(m_folders.binDir);
    QCOMPARE(tools.ffMpeg, QStringLiteral("ffmpeg.exe"));
    QCOMPARE(tools.ffPlay, QStringLiteral("ffplay.exe"));
    QCOMPARE(tools.ffProbe, QStringLiteral("ffprobe.exe"));
    QCOMPARE(tools.path(tools.ffMpeg), m_folders.binDir + QStringLiteral("ffmpeg.exe"));
}

void TestWindows::settingsFileInAnsiCodePage_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("plain") << QStringLiteral("D:\\Videos");
    QTest::newRow("equals sign") << QStringLiteral("D:\\a=b");
    QTest::newRow("western letters") << QStringLiteral("C:\\Müzik\\Çıkış");
    QTest::newRow("turkish letters") << QStringLiteral("C:\\Çıktı\\Şğİı");
}

void TestWindows::settingsFileInAnsiCodePage()
{
    QFETCH(QString, folder);
    const QString path = m_folders.settingsFile();
    QVERIFY(saveOutputFolder(path, folder));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    file.close();
    const QString line = QStringLiteral("outputfolder=") + folder;
    QVERIFY(bytes.endsWith("\r\n"));
    QCOMPARE(bytes.count('\n'), 1);
    // In the ANSI code page where it can spell the folder; else UTF-8 with a byte-order mark.
    QStringEncoder ansi(QStringEncoder::System);
    const QByteArray inAnsi = ansi.encode(line);
    if (!ansi.hasError() && QStringDecoder(QStringDecoder::System).decode(inAnsi) == line)
        QCOMPARE(bytes, inAnsi + "\r\n");
    else
        QCOMPARE(bytes, "\xEF\xBB\xBF" + line.toUtf8() + "\r\n");
    QCOMPARE(loadOutputFolder(path), folder);
}

void TestWindows::interpreterMergesOutputAndExitCode()
{
    QVERIFY(ToolRun::interpreter().endsWith(QStringLiteral("\\cmd.exe"), Qt::CaseInsensitive));
    const RunResult r =
        getDosOutput(QStringLiteral("cmd.exe"),
                     QStringLiteral("echo dışarı& echo hata 1>&2& exit /b 3"), m_folders.tempDir);
    QCOMPARE(r.end, RunEnd::Failed);
    QCOMPARE(r.exitCode, 3);
    QCOMPARE(r.lines.size(), 2);
    // echo keeps the blank before the redirection.
    QCOMPARE(r.lines.at(1), QStringLiteral("hata "));

    const RunResult missing =
        getDosOutput(QStringLiteral("yok.exe"),
                     quoteArg(m_folders.binDir + QStringLiteral("yok.exe")), m_folders.tempDir);
    QVERIFY(!missing.succeeded());
    QCOMPARE(missing.end, RunEnd::Failed);
}

void TestWindows::quotedArgumentsArriveWhole_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("variable") << QStringLiteral("a %PATH% b %ProgramData%");
    QTest::newRow("percent signs") << QStringLiteral("%%PATH%% 50% %\"PATH\"% %");
    QTest::newRow("caret") << QStringLiteral("x^y ^^ ^");
    QTest::newRow("ampersand") << QStringLiteral("a & mkdir isaret & b");
    QTest::newRow("pipe and redirection") << QStringLiteral("x | mkdir isaret > y < z");
    QTest::newRow("quote ends early") << QStringLiteral("a\" & mkdir isaret & \"b");
    QTest::newRow("quotes and backslashes") << QStringLiteral("\\\"a\\\\\"b\\");
    QTest::newRow("exclamation") << QStringLiteral("!PATH! ünlem!");
    QTest::newRow("trailing backslash") << QStringLiteral("C:\\Çıktı Klasörü\\");
    QTest::newRow("turkish") << QStringLiteral("ÇĞİÖŞÜ çğıöşü");
    QTest::newRow("parentheses") << QStringLiteral("(a) ; b, c=d 'e'");
}

void TestWindows::quotedArgumentsArriveWhole()
{
    QFETCH(QString, text);
    QTemporaryDir work;
    const RunResult r = getDosOutput(QStringLiteral("win_fake.exe"),
                                     quoteArg(winFake) + QStringLiteral(" args ") + quoteArg(text) +
                                         QLatin1Char(' ') + quoteArg(QStringLiteral("z")),
                                     work.path());
    QVERIFY2(r.succeeded(), qPrintable(r.lines.join('|')));
    // A double quote, which no Windows file name holds, is dropped rather than end the quoting.
    QCOMPARE(r.lines, QStringList({QStringLiteral("arg=") + hexOf(QString(text).remove('"')),
                                   QStringLiteral("arg=") + hexOf(QStringLiteral("z"))}));
    QVERIFY(!QFileInfo::exists(work.filePath(QStringLiteral("isaret"))));
}

void TestWindows::toolsFindOddlyNamedFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("variable") << QStringLiteral("yüzde %PATH% ve %ProgramData%");
    QTest::newRow("caret") << QStringLiteral("şapka ^ işareti");
    QTest::newRow("ampersand") << QStringLiteral("ve & mkdir isaret & son");
    QTest::newRow("exclamation") << QStringLiteral("ünlem !PATH! !");
    QTest::newRow("turkish") << QStringLiteral("Türkçe ÇĞİÖŞÜ çğıöşü");
    QTest::newRow("parentheses") << QStringLiteral("parantez (1) ; virgül, eşit='x'");
}

void TestWindows::toolsFindOddlyNamedFiles()
{
    QFETCH(QString, name);
    QTemporaryDir work;
    const QString dir = QDir::toNativeSeparators(work.path()) + QLatin1Char('\\');
    const QString input = dir + name + QStringLiteral(".mp4");
    const QString output = dir + name + QStringLiteral(" çıktı.mkv");
    QVERIFY(QFile::copy(m_clip, input));

    const RunResult probe = getDosOutput(
        QStringLiteral("ffprobe.exe"),
        quoteArg(m_folders.binDir + QStringLiteral("ffprobe.exe")) +
            QStringLiteral(" -v error -show_entries format=duration -of default=nw=1:nk=1 ") +
            quoteArg(input),
        dir);
    QVERIFY2(probe.succeeded(), qPrintable(probe.lines.join('|')));
    QVERIFY2(qAbs(probe.lines.value(0).toDouble() - 1.0) < 0.1, qPrintable(probe.lines.join('|')));

    const RunResult render =
        getDosOutput(QStringLiteral("ffmpeg.exe"),
                     quoteArg(m_folders.binDir + QStringLiteral("ffmpeg.exe")) +
                         QStringLiteral(" -v error -y -i ") + quoteArg(input) +
                         QStringLiteral(" -t 0.5 -c:v mpeg4 -c:a aac ") + quoteArg(output),
                     dir);
    QVERIFY2(render.succeeded(), qPrintable(render.lines.join('|')));
    QVERIFY(QFileInfo(output).size() > 0);
    QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot).size(), 2);
    QVERIFY(!QFileInfo::exists(dir + QStringLiteral("isaret")));
}

void TestWindows::stopEndsTheTreeOnly()
{
    QProcess bystander;
    bystander.start(winFake, {QStringLiteral("hang")});
    QVERIFY(bystander.waitForStarted());

    QStringList lines;
    ToolRun run(quoteArg(winFake) + QStringLiteral(" pid spawn hang"), m_folders.tempDir,
                [&](const QString &piece, bool &) { lines << piece; });
    QSignalSpy done(&run, &ToolRun::done);
    run.start();
    QTRY_VERIFY_WITH_TIMEOUT(numberAfter(lines.join(QString()), QStringLiteral("child")) > 0,
                             20000);
    const qint64 tool = numberAfter(lines.join(QString()), QStringLiteral("pid"));
    const qint64 child = numberAfter(lines.join(QString()), QStringLiteral("child"));
    QVERIFY(processAlive(tool));
    QVERIFY(processAlive(child));

    run.stop();
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 20000);
    QCOMPARE(run.result().end, RunEnd::Stopped);
    QVERIFY(!processAlive(tool));
    QVERIFY(!processAlive(child));
    QVERIFY(!processAlive(run.processId()));
    QVERIFY(processAlive(bystander.processId()));
    bystander.kill();
    QVERIFY(bystander.waitForFinished());
}

void TestWindows::stopEndsTheEncoderOnly()
{
    // Another encoder of the same name that this run did not start keeps going.
    QProcess bystander;
    bystander.start(m_folders.binDir + QStringLiteral("ffmpeg.exe"),
                    {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"),
                     QStringLiteral("lavfi"), QStringLiteral("-i"),
                     QStringLiteral("testsrc=size=64x48:rate=5"), QStringLiteral("-f"),
                     QStringLiteral("null"), QStringLiteral("-")});
    QVERIFY(bystander.waitForStarted());

    bool sawProgress = false;
    qint64 encoder = -1;
    ToolRun *runPtr = nullptr;
    ToolRun run(quoteArg(m_folders.binDir + QStringLiteral("ffmpeg.exe")) +
                    QStringLiteral(" -f lavfi -i testsrc=size=320x240:rate=25 -c:v mpeg4 -y ") +
                    quoteArg(m_folders.tempDir + QStringLiteral("durdurulan.mp4")),
                m_folders.tempDir, [&](const QString &piece, bool &stop) {
                    if (!piece.contains(QStringLiteral("frame=")) || sawProgress)
                        return;
                    sawProgress = true;
                    const QList<qint64> children = childrenOf(runPtr->processId());
                    encoder = children.value(0, -1);
                    stop = true;
                });
    runPtr = &run;
    QSignalSpy done(&run, &ToolRun::done);
    run.start();
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 60000);
    QVERIFY(sawProgress);
    QCOMPARE(run.result().end, RunEnd::Stopped);
    QVERIFY(encoder > 0);
    QVERIFY(!processAlive(encoder));
    QVERIFY(processAlive(bystander.processId()));
    bystander.kill();
    QVERIFY(bystander.waitForFinished());
}

void TestWindows::toolCheck()
{
    const ToolSet tools = ToolSet::configured(m_folders.binDir);
    QCOMPARE(tools.method, ToolCheckMethod::ReleaseOrLater);
    QString error;
    QCOMPARE(checkTool(tools, tools.ffMpeg, &error), ToolCheck::Ok);
    QCOMPARE(checkTool(tools, tools.ffProbe, &error), ToolCheck::Ok);
    QCOMPARE(checkTool(tools, tools.ffPlay, &error), ToolCheck::CannotOpen);

    // An encoder of FFmpeg 4.0 is refused with the version found.
    QTemporaryDir old;
    const QString oldBin = QDir::toNativeSeparators(old.path()) + QLatin1Char('\\');
    QVERIFY(QFile::copy(winFake, oldBin + QStringLiteral("ffmpeg.exe")));
    QString message;
    QVERIFY(!verifyTool(ToolSet::configured(oldBin), QStringLiteral("ffmpeg.exe"), &message));
    QVERIFY2(message.startsWith(QStringLiteral("FFMpeg dosya versiyonları uyumsuz!\n")),
             qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("ffmpeg version 4.0.2")), qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("Beklenen sürüm: 4.1 ya da sonrası")),
             qPrintable(message));
}

void TestWindows::batchRendersWithLogo()
{
    QImage logo(32, 32, QImage::Format_ARGB32);
    logo.fill(Qt::red);
    QVERIFY(logo.save(m_folders.logoDir + QStringLiteral("Kırmızı.png")));
    QTemporaryDir out;
    const QString input = m_folders.tempDir + QStringLiteral("Deniz kıyısı & %PATH%.mp4");
    QVERIFY(QFile::copy(m_clip, input));

    QProcess batch;
    batch.setProcessChannelMode(QProcess::MergedChannels);
    batch.start(batchProgram,
                {QStringLiteral("--output"), QDir::toNativeSeparators(out.path()),
                 QStringLiteral("--set"), QStringLiteral("cbLogo=Kırmızı"), QStringLiteral("--set"),
                 QStringLiteral("cbLogoScale=20x20"), input});
    QVERIFY(batch.waitForFinished(180000));
    const QString said = QString::fromLocal8Bit(batch.readAll());
    QVERIFY2(batch.exitCode() == 0, qPrintable(said));
    const QString output = out.filePath(QStringLiteral("Deniz kıyısı & %PATH%.mp4"));
    QVERIFY2(QFileInfo(output).size() > 0, qPrintable(said));
}

void TestWindows::previewPipesIntoThePlayer()
{
    // No Windows build of the player comes with the tools: a stand-in reads what the encoder
    // pipes into it.
    QVERIFY(QFile::copy(winFake, m_folders.binDir + QStringLiteral("ffplay.exe")));
    QTemporaryDir out;
    QProcess batch;
    batch.start(batchProgram,
                {QStringLiteral("--dry-run"), QStringLiteral("--preview"),
                 QStringLiteral("--output"), QDir::toNativeSeparators(out.path()), m_clip});
    QVERIFY(batch.waitForFinished(60000));
    QCOMPARE(batch.exitCode(), 0);
    const QString line = QString::fromUtf8(batch.readAllStandardOutput()).trimmed();
    QVERIFY2(line.contains(QStringLiteral(" | ") +
                           quoteArg(m_folders.binDir + QStringLiteral("ffplay.exe"))),
             qPrintable(line));

    const RunResult r = getDosOutput(QStringLiteral("ffmpeg.exe"), line, m_folders.tempDir);
    QVERIFY2(r.succeeded(), qPrintable(r.lines.mid(r.lines.size() - 5).join('|')));
    const QString said = r.lines.join(QLatin1Char('\n'));
    QVERIFY2(numberAfter(said, QStringLiteral("read")) > 10000, qPrintable(said));
    QVERIFY2(said.contains(QStringLiteral("title=") + hexOf(QStringLiteral("Fulmaro: Önizleme"))),
             qPrintable(said));
}

QTEST_GUILESS_MAIN(TestWindows)
#include "tst_windows.moc"
