// Every input kept for the fuzz targets (the seed corpus and the inputs of findings that were
// fixed) runs through its target as an ordinary test; a broken property aborts the test.
#include "fuzztargets.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace fulmaro;

class TestFuzzCases : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void keptInput_data();
    void keptInput();
};

void TestFuzzCases::keptInput_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("path");
    for (const fuzz::Target &target : fuzz::targets()) {
        int inputs = 0;
        for (const char *kind : {"corpus", "cases"}) {
            const QDir dir(QStringLiteral(FUZZ_DIR "/%1/%2")
                               .arg(QLatin1String(kind), QLatin1String(target.name)));
            for (const QFileInfo &file : dir.entryInfoList(QDir::Files | QDir::Hidden)) {
                QTest::addRow("%s/%s/%s", target.name, kind, qPrintable(file.fileName()))
                    << QString::fromLatin1(target.name) << file.filePath();
                ++inputs;
            }
        }
        if (inputs == 0)
            qFatal("no kept input for the fuzz target %s", target.name);
    }
}

void TestFuzzCases::keptInput()
{
    QFETCH(QString, target);
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray data = file.readAll();
    for (const fuzz::Target &t : fuzz::targets()) {
        if (target == QLatin1String(t.name))
            t.run(data);
    }
}

QTEST_GUILESS_MAIN(TestFuzzCases)
#include "tst_fuzz_cases.moc"
