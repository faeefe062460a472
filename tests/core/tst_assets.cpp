// The library folders' file side: listing, finding an entry's file without regard to case,
// copying in, deleting, and the clean-up of old scratch copies.

#include "core/assets/assetfiles.h"
#include "core/render/commandbuilder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace fulmaro;

namespace {

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class TestAssets : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void listing();
    void findsEntriesWithoutRegardToCase_data();
    void findsEntriesWithoutRegardToCase();
    void copyReplacesAndKeepsSelf();
    void deleting();
    void scratchCleanup();
    void scratchCopyFindsUpperCaseExtension();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_lib; // ends with "/"
};

void TestAssets::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_lib = m_dir->path() + QStringLiteral("/Logo/");
    QVERIFY(QDir().mkpath(m_lib));
}

void TestAssets::listing()
{
    for (const char *name :
         {"b kuş.png", "Logo.PNG", "a.b.png", "notes.txt", "clip.png.mp4", ".hidden.png"})
        QVERIFY(writeFile(m_lib + QString::fromUtf8(name), "x"));
    QVERIFY(QDir().mkpath(m_lib + QStringLiteral("folder.png")));
    // A link whose target is gone is no file to list.
    QVERIFY(QFile::link(m_lib + QStringLiteral("gone"), m_lib + QStringLiteral("broken.png")));

    QCOMPARE(getFilesInDirectory(m_lib, QStringLiteral("*.png")),
             QStringList({"a.b", "b kuş", "Logo"}));
    QCOMPARE(getFilesInDirectory(m_lib, QStringLiteral("*.mp4")), QStringList({"clip.png"}));
    QCOMPARE(getFilesInDirectory(m_lib, QStringLiteral("*.jpg")), QStringList());
    QCOMPARE(getFilesInDirectory(m_dir->path() + QStringLiteral("/none/"), QStringLiteral("*.png")),
             QStringList());
}

void TestAssets::findsEntriesWithoutRegardToCase_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("found"); // empty: no entry file

    QTest::newRow("exact") << QStringList{"kanal.png"} << "kanal"
                           << "kanal.png";
    QTest::newRow("upper-case extension") << QStringList{"Logo.PNG"} << "Logo"
                                          << "Logo.PNG";
    QTest::newRow("other case of the name") << QStringList{"LOGO.png"} << "logo"
                                            << "LOGO.png";
    QTest::newRow("spelling of the entry wins") << QStringList{"logo.PNG", "Logo.Png"} << "Logo"
                                                << "Logo.Png";
    QTest::newRow("missing") << QStringList{"other.png"} << "logo"
                             << "logo.png";
    QTest::newRow("separator in the name") << QStringList{"x.png"} << "../Logo/x"
                                           << "";
}

void TestAssets::findsEntriesWithoutRegardToCase()
{
    QFETCH(QStringList, files);
    QFETCH(QString, entry);
    QFETCH(QString, found);
    for (const QString &file : files)
        QVERIFY(writeFile(m_lib + file, file.toUtf8()));
    QCOMPARE(libraryFilePath(m_lib, entry, QStringLiteral(".png")),
             found.isEmpty() ? QString() : m_lib + found);
}

void TestAssets::copyReplacesAndKeepsSelf()
{
    const QString outside = m_dir->path() + QStringLiteral("/in/");
    QVERIFY(QDir().mkpath(outside));
    QVERIFY(writeFile(outside + QStringLiteral("kanal.png"), "new picture"));
    QVERIFY(writeFile(m_lib + QStringLiteral("kanal.png"), "old picture"));

    // A name that already exists is replaced.
    QCOMPARE(copyIntoLibrary(outside + QStringLiteral("kanal.png"), m_lib),
             m_lib + QStringLiteral("kanal.png"));
    QCOMPARE(readFile(m_lib + QStringLiteral("kanal.png")), QByteArray("new picture"));

    // The same name in another case replaces that file too, under its own spelling.
    QVERIFY(writeFile(m_lib + QStringLiteral("Logo.PNG"), "old logo"));
    QVERIFY(writeFile(outside + QStringLiteral("logo.png"), "new logo"));
    QCOMPARE(copyIntoLibrary(outside + QStringLiteral("logo.png"), m_lib),
             m_lib + QStringLiteral("Logo.PNG"));
    QCOMPARE(readFile(m_lib + QStringLiteral("Logo.PNG")), QByteArray("new logo"));
    QCOMPARE(getFilesInDirectory(m_lib, QStringLiteral("*.png")), QStringList({"kanal", "Logo"}));

    // Choosing the library's own file keeps it whole.
    QCOMPARE(copyIntoLibrary(m_lib + QStringLiteral("kanal.png"), m_lib),
             m_lib + QStringLiteral("kanal.png"));
    QCOMPARE(readFile(m_lib + QStringLiteral("kanal.png")), QByteArray("new picture"));

    // What cannot be copied leaves the old file as it was.
    QVERIFY(QDir().mkpath(outside + QStringLiteral("sub/kanal.png")));
    QCOMPARE(copyIntoLibrary(outside + QStringLiteral("sub/kanal.png"), m_lib), QString());
    QCOMPARE(readFile(m_lib + QStringLiteral("kanal.png")), QByteArray("new picture"));
}

void TestAssets::deleting()
{
    QVERIFY(writeFile(m_lib + QStringLiteral("Logo.PNG"), "x"));
    QVERIFY(writeFile(m_dir->path() + QStringLiteral("/outside.png"), "x"));
    QVERIFY(!deleteLibraryFile(m_lib, QStringLiteral("../outside"), QStringLiteral(".png")));
    QVERIFY(QFile::exists(m_dir->path() + QStringLiteral("/outside.png")));
    QVERIFY(deleteLibraryFile(m_lib, QStringLiteral("logo"), QStringLiteral(".png")));
    QVERIFY(!QFile::exists(m_lib + QStringLiteral("Logo.PNG")));
    QVERIFY(!deleteLibraryFile(m_lib, QStringLiteral("logo"), QStringLiteral(".png")));
}

void TestAssets::scratchCleanup()
{
    const QString temp = m_dir->path() + QStringLiteral("/Temp/");
    QVERIFY(QDir().mkpath(temp));
    const QStringList scratch = {"filter_123.png", "frame_4294967295.png", "logo_7.png"};
    const QStringList others = {"filter_notes.png", "logo_1.png.bak", "mylogo_5.png", "frame_.png",
                                "thumb.jpg"};
    for (const QString &name : scratch + others)
        QVERIFY(writeFile(temp + name, "x"));
    QVERIFY(QDir().mkpath(temp + QStringLiteral("logo_9.png")));

    // A fresh copy that kept an old picture's modification time is still young.
    QFile old(temp + QStringLiteral("logo_7.png"));
    QVERIFY(old.open(QIODevice::ReadWrite));
    QVERIFY(old.setFileTime(QDateTime::currentDateTimeUtc().addDays(-400),
                            QFileDevice::FileModificationTime));
    old.close();
    QCOMPARE(removeOldScratchCopies(temp), 0);

    // Two days on, the copies are gone and everything else stays.
    QCOMPARE(removeOldScratchCopies(temp, 24 * 60 * 60, QDateTime::currentDateTimeUtc().addDays(2)),
             3);
    QStringList left = QDir(temp).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    left.sort();
    QStringList expected = others + QStringList{"logo_9.png"};
    expected.sort();
    QCOMPARE(left, expected);
}

void TestAssets::scratchCopyFindsUpperCaseExtension()
{
    QVERIFY(writeFile(m_lib + QStringLiteral("Logo.PNG"), "logo picture"));
    const QString scratch = m_dir->path() + QStringLiteral("/logo_1.png");
    QVERIFY(makeScratchCopies({{m_lib + QStringLiteral("Logo.png"), scratch}}));
    QCOMPARE(readFile(scratch), QByteArray("logo picture"));
}

QTEST_GUILESS_MAIN(TestAssets)
#include "tst_assets.moc"
