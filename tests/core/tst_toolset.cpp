#include "core/base/toolset.h"
#include "core/base/workfolders.h"
#include "core/runner/toolcheck.h"
#include "support/testsupport.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace fulmaro;

class TestToolSet : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void namesAndPaths();
    void realToolsMatchTheBuild();
    void check_data();
    void check();
    void seriesCheck_data();
    void seriesCheck();
    void toolAskedOnceUntilReplaced();
    void missingToolsComeFromPath();
    void toolSeries_data();
    void toolSeries();
    void toolRelease_data();
    void toolRelease();
    void digestIsStreamedUppercaseMd5();
    void workFolders();

private:
    QTemporaryDir m_dir;
    QString m_bin;
};

namespace {

// Writes an executable shell script.
bool writeScript(const QString &path, const QByteArray &body)
{
    QFile::remove(path);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write("#!/bin/sh\n" + body);
    f.close();
    return f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
}

// A stand-in that opens its output with versionLine on standard error, as the encoder's banner
// does, and answers "-filters" with the real encoder's filters, less the one named by
// dropFilter; each call appends a line to calls.
QByteArray fakeEncoder(const QString &versionLine, const QString &dropFilter,
                       const QString &calls = QStringLiteral("/dev/null"))
{
    QString body = QStringLiteral("echo \"$*\" >> '%1'\n").arg(calls);
    body += QStringLiteral("echo '%1' >&2; echo '  built with a stand-in' >&2\n").arg(versionLine);
    body += QStringLiteral("case \"$*\" in *-filters*) ") + QStringLiteral(TOOLS_DIR "/ffmpeg") +
            QStringLiteral(" -hide_banner -filters");
    if (!dropFilter.isEmpty())
        body += QStringLiteral(" | grep -v ' %1 '").arg(dropFilter);
    body += QStringLiteral(" ;; esac\n");
    return body.toUtf8();
}

} // namespace

void TestToolSet::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_bin = m_dir.path() + QStringLiteral("/Bin/");
    QVERIFY(testsupport::linkRealTools(m_bin));
}

void TestToolSet::namesAndPaths()
{
    const ToolSet t = ToolSet::configured(m_bin);
    QCOMPARE(t.ffMpeg, QStringLiteral("ffmpeg"));
    QCOMPARE(t.ffPlay, QStringLiteral("ffplay"));
    QCOMPARE(t.ffProbe, QStringLiteral("ffprobe"));
    QCOMPARE(t.path(t.ffMpeg), m_bin + QStringLiteral("ffmpeg"));
}

void TestToolSet::realToolsMatchTheBuild()
{
    ToolSet t = ToolSet::configured(m_bin);
    QCOMPARE(t.method, ToolCheckMethod::Series); // the system's tools are what the build uses
    QVERIFY(!t.series.isEmpty());
    for (const ToolCheckMethod method : {ToolCheckMethod::Series, ToolCheckMethod::Digest}) {
        t.method = method;
        for (const QString &name : {t.ffMpeg, t.ffPlay, t.ffProbe}) {
            QString error;
            QVERIFY2(checkTool(t, name, &error) == ToolCheck::Ok, qPrintable(name + ": " + error));
        }
    }
}

void TestToolSet::check_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // empty: leave the real tool in place
    QTest::addColumn<bool>("lowerCaseExpected");
    QTest::addColumn<ToolCheck>("result");
    QTest::newRow("blank name") << "  " << QByteArray() << false << ToolCheck::UnknownName;
    QTest::newRow("name of no tool")
        << "ffmpeg2" << QByteArray() << false << ToolCheck::UnknownName;
    QTest::newRow("name differs in case")
        << "FFMPEG" << QByteArray() << false << ToolCheck::UnknownName;
    QTest::newRow("another build")
        << "ffmpeg" << QByteArray("#!/bin/sh\necho fake\n") << false << ToolCheck::Mismatch;
    QTest::newRow("lower-case digest is not equal")
        << "ffprobe" << QByteArray() << true << ToolCheck::Mismatch;
    QTest::newRow("missing file") << "ffplay" << QByteArray("-") << false << ToolCheck::CannotOpen;
}

void TestToolSet::check()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, lowerCaseExpected);
    QFETCH(ToolCheck, result);

    QTemporaryDir dir;
    const QString bin = dir.path() + QStringLiteral("/Bin/");
    QVERIFY(testsupport::linkRealTools(bin));
    if (content == "-") {
        QVERIFY(QFile::remove(bin + name));
    } else if (!content.isEmpty()) {
        QFile::remove(bin + name);
        QFile f(bin + name);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    ToolSet t = ToolSet::configured(bin);
    t.method = ToolCheckMethod::Digest;
    t.searchPath = false;
    if (lowerCaseExpected)
        t.ffProbeDigest = t.ffProbeDigest.toLower();
    QString error;
    QCOMPARE(checkTool(t, name, &error), result);
    if (result == ToolCheck::CannotOpen)
        QVERIFY(!error.isEmpty());
}

void TestToolSet::seriesCheck_data()
{
    const QString series = ToolSet::configured(m_bin).series;
    const QString major = series.section(QLatin1Char('.'), 0, 0);
    const QString older = QString::number(major.toInt() - 1) + QStringLiteral(".4.2");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QStringList>("told"); // parts of the message when refused
    QTest::newRow("a later update of the series")
        << "ffmpeg"
        << fakeEncoder("ffmpeg version " + series + ".99-1+deb12u9 Copyright (c) 2000", "") << true
        << QStringList();
    QTest::newRow("another series")
        << "ffmpeg" << fakeEncoder("ffmpeg version " + older + "-0ubuntu0.22.04.1 Copyright", "")
        << false
        << QStringList{"ffmpeg version " + older + "-0ubuntu0.22.04.1",
                       "Beklenen sürüm serisi: " + series};
    QTest::newRow("a filter missing")
        << "ffmpeg" << fakeEncoder("ffmpeg version " + series + ".3 Copyright", "vignette") << false
        << QStringList{"ffmpeg version " + series + ".3", "Eksik filtreler: vignette"};
    QTest::newRow("a snapshot build")
        << "ffmpeg" << fakeEncoder("ffmpeg version N-112345-g0123abcd Copyright", "") << false
        << QStringList{"ffmpeg version N-112345-g0123abcd"};
    QTest::newRow("says nothing") << "ffprobe" << QByteArray("exit 1\n") << false
                                  << QStringList{"(sürüm bilgisi yok)"};
    // The player and the probe run no filter graph: only their series counts.
    QTest::newRow("a player of the series")
        << "ffplay" << QByteArray("echo 'ffplay version " + series.toUtf8() + ".1'\n") << true
        << QStringList();
}

void TestToolSet::seriesCheck()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, script);
    QFETCH(bool, accepted);
    QFETCH(QStringList, told);

    QTemporaryDir dir;
    const QString bin = dir.path() + QStringLiteral("/Bin/");
    QVERIFY(testsupport::linkRealTools(bin));
    QVERIFY(writeScript(bin + name, script));
    ToolSet t = ToolSet::configured(bin);
    t.method = ToolCheckMethod::Series;
    QString message;
    QCOMPARE(verifyTool(t, name, &message), accepted);
    if (accepted) {
        QVERIFY(message.isEmpty());
        return;
    }
    QVERIFY2(message.startsWith(QStringLiteral("FFMpeg dosya versiyonları uyumsuz!\nBulunan: ")),
             qPrintable(message));
    QVERIFY2(message.contains(bin + name), qPrintable(message));
    for (const QString &part : told)
        QVERIFY2(message.contains(part), qPrintable(message + " lacks " + part));
}

void TestToolSet::toolAskedOnceUntilReplaced()
{
    QTemporaryDir dir;
    const QString bin = dir.path() + QStringLiteral("/Bin/");
    const QString calls = dir.path() + QStringLiteral("/calls");
    QVERIFY(testsupport::linkRealTools(bin));
    ToolSet t = ToolSet::configured(bin);
    t.method = ToolCheckMethod::Series;
    const QString good = "ffmpeg version " + t.series + ".1";
    QVERIFY(writeScript(bin + "ffmpeg", fakeEncoder(good, "", calls)));
    auto callCount = [&] {
        QFile f(calls);
        return f.open(QIODevice::ReadOnly) ? f.readAll().count('\n') : 0;
    };

    QCOMPARE(checkTool(t, "ffmpeg"), ToolCheck::Ok);
    QCOMPARE(callCount(), 1);
    QCOMPARE(checkTool(t, "ffmpeg"), ToolCheck::Ok);
    QCOMPARE(checkTool(ToolSet(t), "ffmpeg"), ToolCheck::Ok);
    QCOMPARE(callCount(), 1);

    // An update replaces the file: it is asked again, and its answer counts.
    QVERIFY(writeScript(bin + "ffmpeg", fakeEncoder(good, "eq", calls)));
    QCOMPARE(checkTool(t, "ffmpeg"), ToolCheck::Mismatch);
    QCOMPARE(callCount(), 2);
    // The same file with another modification time counts as replaced too.
    QFile file(bin + "ffmpeg");
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                             QFileDevice::FileModificationTime));
    file.close();
    QCOMPARE(checkTool(t, "ffmpeg"), ToolCheck::Mismatch);
    QCOMPARE(callCount(), 3);
}

void TestToolSet::missingToolsComeFromPath()
{
    QTemporaryDir dir;
    const QString bin = dir.path() + QStringLiteral("/Bin/");
    QVERIFY(QDir().mkpath(bin));
    ToolSet t = ToolSet::configured(bin);
    const QString systemTool = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    QVERIFY2(!systemTool.isEmpty(), "no ffmpeg on PATH");

    // An empty Bin: the system's tools, and they pass the check.
    QCOMPARE(t.path(t.ffMpeg), systemTool);
    for (const QString &name : {t.ffMpeg, t.ffPlay, t.ffProbe}) {
        QString message;
        QVERIFY2(verifyTool(t, name, &message), qPrintable(message));
    }
    // A tool in Bin comes first.
    QVERIFY(writeScript(bin + "ffmpeg", "exit 0\n"));
    QCOMPARE(t.path(t.ffMpeg), bin + "ffmpeg");
    // Without the search, the name in Bin is the only candidate.
    t.searchPath = false;
    QCOMPARE(t.path(t.ffProbe), bin + "ffprobe");
    QCOMPARE(checkTool(t, t.ffProbe), ToolCheck::CannotOpen);

    // The first of PATH's folders that holds it wins, as for the shell.
    const QString front = dir.path() + QStringLiteral("/front/");
    QVERIFY(QDir().mkpath(front));
    QVERIFY(writeScript(front + "ffprobe", "echo 'ffprobe version 1.0'\n"));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", front.toUtf8() + ':' + path);
    t.searchPath = true;
    QCOMPARE(t.path(t.ffProbe), front + "ffprobe");
    QString message;
    QVERIFY(!verifyTool(t, t.ffProbe, &message));
    qputenv("PATH", path);
    QVERIFY2(message.contains("ffprobe version 1.0 (" + front + "ffprobe)"), qPrintable(message));
}

void TestToolSet::toolSeries_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("series");
    QTest::newRow("Debian") << "ffmpeg version 5.1.9-0+deb12u1 Copyright (c) 2000-2026"
                            << "5.1";
    QTest::newRow("release tag") << "ffprobe version n6.0 Copyright"
                                 << "6.0";
    QTest::newRow("two-digit minor") << "ffplay version 5.10.1"
                                     << "5.10";
    QTest::newRow("series only") << "ffmpeg version 7.1"
                                 << "7.1";
    QTest::newRow("snapshot") << "ffmpeg version N-112345-g0123abcd"
                              << "";
    QTest::newRow("another program") << "fake 5.1"
                                     << "";
    QTest::newRow("nothing") << ""
                             << "";
}

void TestToolSet::toolSeries()
{
    QFETCH(QString, line);
    QFETCH(QString, series);
    QCOMPARE(fulmaro::toolSeries(line), series);
}

void TestToolSet::toolRelease_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("release");
    QTest::addColumn<bool>("atLeast41");
    const QString avutil = QStringLiteral("libavutil      %1 / %1");
    QTest::newRow("named release")
        << QStringList{"ffmpeg version 5.1.9-0+deb12u1", avutil.arg("57. 28.100")} << "5.1" << true;
    QTest::newRow("snapshot past 4.1")
        << QStringList{"ffmpeg version N-92722-gf22fcd4483 Copyright", "  built with gcc 8.2.1",
                       avutil.arg("56. 24.101")}
        << "4.1" << true;
    QTest::newRow("dated snapshot")
        << QStringList{"ffprobe version 2023-02-13-git-2296078397-essentials_build",
                       avutil.arg("58.  2.100")}
        << "6.0" << true;
    QTest::newRow("4.0") << QStringList{"ffmpeg version 4.0.2", avutil.arg("56. 14.100")} << "4.0"
                         << false;
    QTest::newRow("snapshot before 4.1")
        << QStringList{"ffmpeg version N-91000-gabc", avutil.arg("56. 21.100")} << "4.0" << false;
    QTest::newRow("two-digit minor") << QStringList{"ffmpeg version 4.10"} << "4.10" << true;
    QTest::newRow("older than any")
        << QStringList{"ffmpeg version N-1", avutil.arg("55. 78.100")} << "" << false;
    QTest::newRow("another program") << QStringList{"fake 5.1"} << "" << false;
}

void TestToolSet::toolRelease()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, release);
    QFETCH(bool, atLeast41);
    QCOMPARE(fulmaro::toolRelease(lines), release);
    QCOMPARE(fulmaro::releaseAtLeast(fulmaro::toolRelease(lines), QStringLiteral("4.1")),
             atLeast41);
}

void TestToolSet::digestIsStreamedUppercaseMd5()
{
    // Larger than any read block, so the digest has to cover every block.
    QByteArray data;
    for (int i = 0; i < 300000; ++i)
        data.append(char(i * 7));
    const QString path = m_dir.filePath(QStringLiteral("blob"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
    f.close();
    const QString expected = QString::fromLatin1(
        QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex().toUpper());
    QCOMPARE(fileDigest(path), expected);
    // RFC 1321's test value for the empty message.
    const QString empty = m_dir.filePath(QStringLiteral("empty"));
    QFile e(empty);
    QVERIFY(e.open(QIODevice::WriteOnly));
    e.close();
    QCOMPARE(fileDigest(empty), QStringLiteral("D41D8CD98F00B204E9800998ECF8427E"));
}

void TestToolSet::workFolders()
{
    const WorkFolders f = WorkFolders::under(m_dir.path() + QStringLiteral("/data/"));
    QCOMPARE(f.workDir, m_dir.path() + QStringLiteral("/data/Fulmaro/"));
    QCOMPARE(f.binDir, f.workDir + QStringLiteral("Bin/"));
    QCOMPARE(f.tempDir, f.workDir + QStringLiteral("Temp/"));
    QCOMPARE(f.settingsFile(), f.workDir + QStringLiteral("Fulmaro.set"));
    f.create();
    for (const QString &dir :
         {f.workDir, f.tempDir, f.logoDir, f.frameDir, f.filterDir, f.introDir, f.outroDir})
        QVERIFY2(QDir(dir).exists(), qPrintable(dir));
    QVERIFY(!QDir(f.binDir).exists());
    QCOMPARE(WorkFolders::under(QString()).workDir, QStringLiteral("/Fulmaro/"));
}

QTEST_GUILESS_MAIN(TestToolSet)
#include "tst_toolset.moc"
