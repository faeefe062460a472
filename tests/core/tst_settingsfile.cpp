#include "core/base/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace fulmaro;

class TestSettingsFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void load_data();
    void load();
    void loadMissingFile();
    void saveBytes_data();
    void saveBytes();
    void saveReplacesEverything();
    void saveIntoMissingFolderFails();
    void dialogFolders();

private:
    QTemporaryDir m_dir;
};

void TestSettingsFile::load_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("folder");

    QTest::newRow("plain") << QByteArray("outputfolder=/home/a/Out\r\n") << "/home/a/Out";
    QTest::newRow("key in any case") << QByteArray("OutputFolder=D:\\Videos\r\n") << "D:\\Videos";
    QTest::newRow("first = only") << QByteArray("outputfolder=D:\\a=b\r\n") << "D:\\a=b";
    QTest::newRow("blank before = does not match")
        << QByteArray("outputfolder =/x\r\n") << QString();
    QTest::newRow("first matching line wins")
        << QByteArray("x=1\r\noutputfolder=/one\r\noutputfolder=/two\r\n") << "/one";
    QTest::newRow("LF and CR line ends") << QByteArray("a=1\routputfolder=/cr\nb=2") << "/cr";
    QTest::newRow("no key") << QByteArray("other=1\r\n") << QString();
    QTest::newRow("empty file") << QByteArray() << QString();
    QTest::newRow("value kept untrimmed") << QByteArray("outputfolder= /x \r\n") << " /x ";
    QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBFoutputfolder=/V\xC4\xB1"
                                                  "deo\r\n")
                                    << QStringLiteral("/Vıdeo");
    {
        QStringEncoder enc(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
        QTest::newRow("UTF-16 LE with BOM")
            << QByteArray(enc.encode(QStringLiteral("outputfolder=/Çıktı\r\n")))
            << QStringLiteral("/Çıktı");
    }
    {
        QStringEncoder enc(QStringEncoder::Utf16BE, QStringEncoder::Flag::WriteBom);
        QTest::newRow("UTF-16 BE with BOM")
            << QByteArray(enc.encode(QStringLiteral("outputfolder=/Şarkı\r\n")))
            << QStringLiteral("/Şarkı");
    }
    QTest::newRow("system encoding without BOM")
        << QByteArray("outputfolder=/\xC3\x87\xC4\xB1kt\xC4\xB1\r\n") << QStringLiteral("/Çıktı");
}

void TestSettingsFile::load()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, folder);
    const QString path = m_dir.filePath(QStringLiteral("Fulmaro.set"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.close();
    QCOMPARE(loadOutputFolder(path), folder);
}

void TestSettingsFile::loadMissingFile()
{
    QCOMPARE(loadOutputFolder(m_dir.filePath(QStringLiteral("none.set"))), QString());
}

void TestSettingsFile::saveBytes_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty folder gives zero bytes") << QString() << QByteArray();
    QTest::newRow("plain") << "D:\\Out" << QByteArray("outputfolder=D:\\Out\r\n");
    QTest::newRow("turkish in the system encoding")
        << QStringLiteral("/home/ş/Çıktı")
        << QByteArray("outputfolder=/home/\xC5\x9F/\xC3\x87\xC4\xB1kt\xC4\xB1\r\n");
}

void TestSettingsFile::saveBytes()
{
    QFETCH(QString, folder);
    QFETCH(QByteArray, bytes);
    const QString path = m_dir.filePath(QStringLiteral("save.set"));
    QVERIFY(saveOutputFolder(path, folder));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), bytes);
    file.close();
    QCOMPARE(loadOutputFolder(path), folder);
}

void TestSettingsFile::saveReplacesEverything()
{
    const QString path = m_dir.filePath(QStringLiteral("replace.set"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("other=1\r\noutputfolder=/old\r\nmore lines\r\n");
    file.close();
    QVERIFY(saveOutputFolder(path, QStringLiteral("/new")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("outputfolder=/new\r\n"));
}

void TestSettingsFile::saveIntoMissingFolderFails()
{
    QString error;
    QVERIFY(!saveOutputFolder(m_dir.filePath(QStringLiteral("no/such/Fulmaro.set")),
                              QStringLiteral("/x"), &error));
    QVERIFY(!error.isEmpty());
}

// The dialogs' last folders live beside the output folder: each save keeps the others, a folder
// that has gone is not offered, and an output folder cut short is not made whole by them.
void TestSettingsFile::dialogFolders()
{
    const QString path = m_dir.filePath(QStringLiteral("dialogs.set"));
    const QString videos = m_dir.filePath(QStringLiteral("çekimler $x"));
    const QString stills = m_dir.filePath(QStringLiteral("kareler"));
    QVERIFY(QDir().mkpath(videos) && QDir().mkpath(stills));
    QVERIFY(saveOutputFolder(path, QStringLiteral("/çıktı")));
    QVERIFY(saveDialogFolder(path, QStringLiteral("videofolder"), videos));
    QVERIFY(saveDialogFolder(path, QStringLiteral("stillfolder"), stills));
    QVERIFY(saveOutputFolder(path, QStringLiteral("/yeni")));
    QCOMPARE(loadOutputFolder(path), QStringLiteral("/yeni"));
    QCOMPARE(loadDialogFolder(path, QStringLiteral("videofolder")), videos);
    QCOMPARE(loadDialogFolder(path, QStringLiteral("stillfolder")), stills);
    QVERIFY(saveDialogFolder(path, QStringLiteral("videofolder"), stills));
    QCOMPARE(loadDialogFolder(path, QStringLiteral("videofolder")), stills);
    QCOMPARE(loadOutputFolder(path), QStringLiteral("/yeni"));
    QVERIFY(QDir(videos).removeRecursively());
    QVERIFY(saveDialogFolder(path, QStringLiteral("videofolder"), videos));
    QCOMPARE(loadDialogFolder(path, QStringLiteral("videofolder")), QString());

    QFile cut(path);
    QVERIFY(cut.open(QIODevice::WriteOnly));
    cut.write("outputfolder=/yarım/kla");
    cut.close();
    QVERIFY(saveDialogFolder(path, QStringLiteral("stillfolder"), stills));
    QCOMPARE(loadOutputFolder(path), QString());
    QCOMPARE(loadDialogFolder(path, QStringLiteral("stillfolder")), stills);
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
