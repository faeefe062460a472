#include "core/videolist/videolistmodel.h"

#include <QAbstractItemModelTester>
#include <QTest>

using namespace fulmaro;

class TestVideoListModel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void rowsAndColumns();
    void exchangeMovesWholeRows();
    void removeCheckedKeepsOrder();
    void marks();
    void groupsTakeSmallestUnusedId();
    void groupedLayout();
    void refusedRowsSayWhy();
};

namespace {

VideoItem row(const QString &name, bool checked = false)
{
    VideoItem item;
    item.caption = QStringLiteral("/v/") + name;
    item.duration = QStringLiteral("00:00:01");
    item.type = QStringLiteral("mp4");
    item.size = name + QStringLiteral(" KB");
    item.resolution = QStringLiteral("320x240");
    item.checked = checked;
    item.frameRate = name;
    return item;
}

QStringList captions(const VideoListModel &m)
{
    QStringList out;
    for (const VideoItem &i : m.items())
        out << i.caption.mid(3);
    return out;
}

QList<bool> marksOf(const VideoListModel &m)
{
    QList<bool> out;
    for (const VideoItem &i : m.items())
        out << i.checked;
    return out;
}

} // namespace

void TestVideoListModel::rowsAndColumns()
{
    VideoListModel m;
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QStringList headers;
    for (int c = 0; c < m.columnCount(); ++c)
        headers << m.headerData(c, Qt::Horizontal).toString();
    QCOMPARE(headers, QStringList({"Dosya Adı", "Süre", "Tür", "Dosya Boyutu", "Çözünürlük"}));
    QCOMPARE(m.groups().size(), 1);
    QCOMPARE(m.groups().constFirst().id, 0);

    m.append(row(QStringLiteral("a")));
    m.append(row(QStringLiteral("a")));
    QCOMPARE(m.rowCount(), 2);
    const QModelIndex first = m.index(0, 0);
    QCOMPARE(m.data(first).toString(), QStringLiteral("/v/a"));
    QCOMPARE(m.data(m.index(0, 3)).toString(), QStringLiteral("a KB"));
    QCOMPARE(m.data(first, Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QVERIFY(m.flags(first) & Qt::ItemIsUserCheckable);
    QVERIFY(!(m.flags(first) & Qt::ItemIsEditable));
    QVERIFY(m.setData(first, Qt::Checked, Qt::CheckStateRole));
    QVERIFY(m.item(0).checked);
    QVERIFY(!m.item(1).checked);
}

void TestVideoListModel::exchangeMovesWholeRows()
{
    VideoListModel m;
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (const char *n : {"a", "b", "c"})
        m.append(row(QLatin1String(n), QLatin1String(n) == QLatin1String("b")));
    QVERIFY(m.exchangeItems(1, 2));
    QCOMPARE(captions(m), QStringList({"a", "c", "b"}));
    QCOMPARE(marksOf(m), QList<bool>({false, false, true}));
    QCOMPARE(m.item(2).size, QStringLiteral("b KB"));
    QCOMPARE(m.item(2).frameRate, QStringLiteral("b"));
    QVERIFY(!m.exchangeItems(2, 3));
    QCOMPARE(captions(m), QStringList({"a", "c", "b"}));
}

void TestVideoListModel::removeCheckedKeepsOrder()
{
    VideoListModel m;
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
    const QList<bool> checked = {true, false, true, true, false, true};
    for (int i = 0; i < checked.size(); ++i)
        m.append(row(QString::number(i), checked.at(i)));
    QCOMPARE(m.checkedCount(), 4);
    QCOMPARE(m.removeChecked(), 4);
    QCOMPARE(captions(m), QStringList({"1", "4"}));
    QCOMPARE(m.removeChecked(), 0);
}

void TestVideoListModel::marks()
{
    VideoListModel m;
    for (int i = 0; i < 4; ++i)
        m.append(row(QString::number(i), i % 3 == 0));
    const QList<bool> before = marksOf(m);
    m.invertChecks();
    QCOMPARE(marksOf(m), QList<bool>({false, true, true, false}));
    m.invertChecks();
    QCOMPARE(marksOf(m), before);
    m.setAllChecked(true);
    QCOMPARE(m.checkedCount(), 4);
    m.setAllChecked(false);
    QCOMPARE(m.checkedCount(), 0);
}

void TestVideoListModel::groupsTakeSmallestUnusedId()
{
    VideoListModel m;
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (int i = 0; i < 4; ++i)
        m.append(row(QString::number(i)));
    QCOMPARE(m.groupChecked(QStringLiteral("boş")), -1);
    QCOMPARE(m.groups().size(), 1);

    m.setData(m.indexOfPosition(1), Qt::Checked, Qt::CheckStateRole);
    m.setData(m.indexOfPosition(3), Qt::Checked, Qt::CheckStateRole);
    QCOMPARE(m.groupChecked(QStringLiteral("Yeni Video Grubu")), 1);
    QCOMPARE(m.checkedCount(), 0);
    QList<int> groups;
    for (const VideoItem &i : m.items())
        groups << i.group;
    QCOMPARE(groups, QList<int>({0, 1, 0, 1}));
    m.setData(m.indexOfPosition(0), Qt::Checked, Qt::CheckStateRole);
    QCOMPARE(m.groupChecked(QStringLiteral("x")), 2);
    QCOMPARE(m.groups().constLast().header, QStringLiteral("x"));
    QCOMPARE(captions(m), QStringList({"0", "1", "2", "3"}));
}

void TestVideoListModel::groupedLayout()
{
    VideoListModel m;
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (int i = 0; i < 4; ++i)
        m.append(row(QString::number(i), i == 1 || i == 3));
    QVERIFY(!m.isGrouped());
    m.groupChecked(QStringLiteral("Yeni Video Grubu"));
    QVERIFY(m.isGrouped());
    // Group 0 (no header) then the new group, each with its rows in list order.
    QCOMPARE(m.rowCount(), 2);
    const QModelIndex g0 = m.index(0, 0);
    const QModelIndex g1 = m.index(1, 0);
    QVERIFY(m.isGroupHeader(g1));
    QCOMPARE(m.data(g0).toString(), QString());
    QCOMPARE(m.data(g1).toString(), QStringLiteral("Yeni Video Grubu"));
    QCOMPARE(m.rowCount(g1), 2);
    QCOMPARE(m.data(m.index(1, 0, g1)).toString(), QStringLiteral("/v/3"));
    QCOMPARE(m.positionOf(m.index(1, 0, g1)), 3);
    QCOMPARE(m.indexOfPosition(2), m.index(1, 0, g0));
    QVERIFY(!(m.flags(g1) & Qt::ItemIsSelectable));

    // Appending goes to group 0, after its rows.
    m.append(row(QStringLiteral("4")));
    QCOMPARE(m.rowCount(g0), 3);
    QCOMPARE(m.positionOf(m.index(2, 0, m.index(0, 0))), 4);

    // A group whose rows are all gone is not shown.
    m.setData(m.indexOfPosition(1), Qt::Checked, Qt::CheckStateRole);
    m.setData(m.indexOfPosition(3), Qt::Checked, Qt::CheckStateRole);
    QCOMPARE(m.removeChecked(), 2);
    QCOMPARE(captions(m), QStringList({"0", "2", "4"}));
    QVERIFY(!m.isGrouped());
    QCOMPARE(m.rowCount(), 3);
}

void TestVideoListModel::refusedRowsSayWhy()
{
    VideoListModel m;
    m.append(row(QStringLiteral("a")));
    VideoItem sound = row(QStringLiteral("ses"));
    sound.problem = ItemProblem::NoVideo;
    sound.resolution = problemText(sound.problem);
    m.append(sound);
    QCOMPARE(m.data(m.index(1, VideoListModel::ColResolution)).toString(),
             QStringLiteral("görüntü yok"));
    QCOMPARE(problemText(ItemProblem::Unreadable), QStringLiteral("okunamadı"));
    for (int column = 0; column < VideoListModel::ColumnCount; ++column) {
        QVERIFY(!m.data(m.index(0, column), VideoListModel::RefusedRole).toBool());
        QVERIFY(m.data(m.index(1, column), VideoListModel::RefusedRole).toBool());
    }
    QCOMPARE(m.data(m.index(1, VideoListModel::ColResolution), Qt::ToolTipRole).toString(),
             QStringLiteral("Bu dosya işlenemez: görüntü yok"));
    // The mark still works on a refused row.
    QVERIFY(m.flags(m.index(1, 0)) & Qt::ItemIsUserCheckable);
}

QTEST_GUILESS_MAIN(TestVideoListModel)
#include "tst_videolist_model.moc"
