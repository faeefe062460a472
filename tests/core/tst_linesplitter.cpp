#include "core/runner/linesplitter.h"

#include <QTest>

using fulmaro::LineSplitter;

class TestLineSplitter : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void splits_data();
    void splits();
    void visibleTextStopsAtNul();
};

void TestLineSplitter::splits_data()
{
    QTest::addColumn<QStringList>("pieces");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("nothing") << QStringList{} << QStringList{};
    QTest::newRow("two CRLF lines in one piece")
        << QStringList{"ab\r\ncd\r\n"} << QStringList{"ab", "cd"};
    QTest::newRow("one line, no empty entry after it")
        << QStringList{"ab\r\n"} << QStringList{"ab"};
    QTest::newRow("a line in two pieces is one line")
        << QStringList{"abc", "def\r\n"} << QStringList{"abcdef"};
    QTest::newRow("probe value cut by a read")
        << QStringList{"[STREAM]\nwid", "th=1280\nheight=720\n"}
        << QStringList{"[STREAM]", "width=1280", "height=720"};
    QTest::newRow("CR LF split across pieces is one break")
        << QStringList{"a\r", "\nb\r\n"} << QStringList{"a", "b"};
    QTest::newRow("lone CR status lines")
        << QStringList{"one\rtwo\rthree\r"} << QStringList{"one", "two", "three"};
    QTest::newRow("LF CR is two breaks") << QStringList{"a\n\rb"} << QStringList{"a", "", "b"};
    QTest::newRow("two breaks make an empty line")
        << QStringList{"a\n\nb\n"} << QStringList{"a", "", "b"};
    QTest::newRow("last line without break") << QStringList{"a\nb"} << QStringList{"a", "b"};
    QTest::newRow("NUL ends the line, the rest up to the break is dropped")
        << QStringList{QString::fromLatin1("ab\0cd\r\nef\n", 10)} << QStringList{"ab", "ef"};
    QTest::newRow("dropped text continues into the next piece")
        << QStringList{QString::fromLatin1("ab\0c", 4), "d\nef\n"} << QStringList{"ab", "ef"};
    QTest::newRow("NUL right before CR LF")
        << QStringList{QString::fromLatin1("ab\0\r", 4), "\nc"} << QStringList{"ab", "c"};
    QTest::newRow("pieces of one character")
        << QStringList{"x", "=", "1", "\r", "\n", "y", "\r", "\r", "\n"}
        << QStringList{"x=1", "y", ""};
}

void TestLineSplitter::splits()
{
    QFETCH(QStringList, pieces);
    QFETCH(QStringList, lines);
    LineSplitter splitter;
    for (const QString &piece : pieces)
        splitter.feed(piece);
    splitter.finish();
    QCOMPARE(splitter.lines(), lines);
}

void TestLineSplitter::visibleTextStopsAtNul()
{
    LineSplitter splitter;
    QCOMPARE(splitter.feed(QString::fromLatin1("abc\0def", 7)), QStringLiteral("abc"));
    QCOMPARE(splitter.feed(QStringLiteral("gh\r\nij")), QStringLiteral("\r\nij"));
}

QTEST_GUILESS_MAIN(TestLineSplitter)
#include "tst_linesplitter.moc"
