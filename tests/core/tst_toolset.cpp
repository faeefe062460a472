#include "core/base/toolset.h"
#include "core/base/workfolders.h"
#include "support/testsupport.h"

#include <QCryptographicHash>
#include <QFile>
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
    void digestIsStreamedUppercaseMd5();
    void workFolders();

private:
    QTemporaryDir m_dir;
    QString m_bin;
};

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
    const ToolSet t = ToolSet::configured(m_bin);
    for (const QString &name : {t.ffMpeg, t.ffPlay, t.ffProbe})
        QCOMPARE(t.check(name), ToolCheck::Ok);
}

void TestToolSet::check_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // empty: leave the real tool in place
    QTest::addColumn<bool>("lowerCaseExpected");
    QTest::addColumn<ToolCheck>("result");
    QTest::newRow("blank name") << "  " << QByteArray() << false << ToolCheck::UnknownName;
    QTest::newRow("name of no tool") << "ffmpeg2" << QByteArray() << false << ToolCheck::UnknownName;
    QTest::newRow("name differs in case") << "FFMPEG" << QByteArray() << false
                                          << ToolCheck::UnknownName;
    QTest::newRow("another build") << "ffmpeg" << QByteArray("#!/bin/sh\necho fake\n") << false
                                   << ToolCheck::Mismatch;
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
    if (lowerCaseExpected)
        t.ffProbeDigest = t.ffProbeDigest.toLower();
    QString error;
    QCOMPARE(t.check(name, &error), result);
    if (result == ToolCheck::CannotOpen)
        QVERIFY(!error.isEmpty());
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
    for (const QString &dir : {f.workDir, f.tempDir, f.logoDir, f.frameDir, f.filterDir,
                               f.introDir, f.outroDir})
        QVERIFY2(QDir(dir).exists(), qPrintable(dir));
    QVERIFY(!QDir(f.binDir).exists());
    QCOMPARE(WorkFolders::under(QString()).workDir, QStringLiteral("/Fulmaro/"));
}

QTEST_GUILESS_MAIN(TestToolSet)
#include "tst_toolset.moc"
