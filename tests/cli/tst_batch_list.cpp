#include "core/base/workfolders.h"
#include "core/videolist/mediaprobe.h"
#include "support/batchrunner.h"
#include "support/testsupport.h"
#include "support/videolistclips.h"

#include <QTest>

using namespace fulmaro;

// The command-line front end, run as its own process in a work folder of the test's own.
class TestBatchList : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void listsRowsInPathOrder_data();
    void listsRowsInPathOrder();
    void missingFile();
    void usage_data();
    void usage();

private:
    using Result = testsupport::BatchResult;
    Result run(const QStringList &args, const QString &locale = QStringLiteral("C.UTF-8"));

    QTemporaryDir m_dir;
    QString m_data;
    QString m_sound;
    QString m_silent;
};

void TestBatchList::initTestCase()
{
    m_data = testsupport::isolateDataHome();
    QVERIFY(testsupport::linkRealTools(WorkFolders::under(m_data).binDir));
    m_sound = m_dir.filePath(QStringLiteral("deniz kıyısı.MP4"));
    m_silent = m_dir.filePath(QStringLiteral("sessiz.mkv"));
    QVERIFY(clips::make(m_sound, 1, QStringLiteral("320x240"), true));
    QVERIFY(clips::make(m_silent, 2, QStringLiteral("176x144"), false));
}

TestBatchList::Result TestBatchList::run(const QStringList &args, const QString &locale)
{
    QProcessEnvironment env = testsupport::environmentWith(
        {{QStringLiteral("XDG_DATA_HOME"), m_data}, {QStringLiteral("LC_ALL"), locale}});
    // No display at all: the front end needs none.
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return testsupport::runBatch(args, env, QString(), 60000);
}

void TestBatchList::listsRowsInPathOrder_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QLocale>("qtLocale");
    QTest::newRow("Turkish") << "tr_TR.UTF-8" << QLocale(QLocale::Turkish, QLocale::Turkey);
    QTest::newRow("C") << "C.UTF-8" << QLocale::c();
}

void TestBatchList::listsRowsInPathOrder()
{
    QFETCH(QString, locale);
    QFETCH(QLocale, qtLocale);
    const Result r = run({QStringLiteral("--list"), m_silent, m_sound, m_silent}, locale);
    QCOMPARE(r.err, QString());
    QCOMPARE(r.exitCode, 0);
    auto line = [&](const QString &path, const char *duration, const QString &type,
                    const char *resolution) {
        return QStringList{path, QLatin1String(duration), type,
                           fileSizeText(QFileInfo(path).size(), qtLocale),
                           QLatin1String(resolution)}
            .join(QLatin1Char('\t'));
    };
    const QStringList expected = {line(m_silent, "00:00:02", QStringLiteral("mkv"), "176x144"),
                                  line(m_sound, "00:00:01", QStringLiteral("MP4"), "320x240"),
                                  line(m_silent, "00:00:02", QStringLiteral("mkv"), "176x144")};
    QCOMPARE(r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);
}

void TestBatchList::missingFile()
{
    const QString gone = m_dir.filePath(QStringLiteral("olmayan dosya.mp4"));
    const Result r = run({QStringLiteral("--list"), gone, m_silent});
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.err.contains(QStringLiteral("Dosya bulunamadı: ") + gone), qPrintable(r.err));
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1);
    QVERIFY(lines.constFirst().startsWith(m_silent + QLatin1Char('\t')));
}

void TestBatchList::usage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("outPart");
    QTest::addColumn<QString>("errPart");
    QTest::newRow("help") << QStringList{"--help"} << 0 << "fulmaro-batch --list DOSYA..."
                          << "";
    QTest::newRow("unknown option") << QStringList{"--list", "--hızlı", m_silent} << 2 << ""
                                    << "Bilinmeyen seçenek: --hızlı";
    QTest::newRow("nothing to do") << QStringList{} << 2 << ""
                                   << "Ne yapılacağı belirtilmedi.";
    QTest::newRow("no files") << QStringList{"--list"} << 2 << ""
                              << "Listelenecek dosya verilmedi.";
}

void TestBatchList::usage()
{
    QFETCH(QStringList, args);
    const Result r = run(args);
    QTEST(r.exitCode, "exitCode");
    QFETCH(QString, outPart);
    QFETCH(QString, errPart);
    QVERIFY2(r.out.contains(outPart), qPrintable(r.out));
    QVERIFY2(r.err.contains(errPart), qPrintable(r.err));
    if (errPart.isEmpty())
        QCOMPARE(r.err, QString());
    else
        QCOMPARE(r.out, QString());
}

QTEST_GUILESS_MAIN(TestBatchList)
#include "tst_batch_list.moc"
