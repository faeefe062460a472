// The desktop services against a private bus started by the test: the notice and its texts,
// logind's sleep lock held and let go (also before logind has answered), and nothing at all
// where the services are missing.

#include "core/desktop/desktopnotifier.h"
#include "core/desktop/sleepinhibitor.h"
#include "support/fakedesktopbus.h"

#include <QSignalSpy>
#include <QTest>

using namespace fulmaro;

class TestDesktop : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void notice();
    void noticeTexts_data();
    void noticeTexts();
    void sleepLockHeldAndReleased();
    void releaseBeforeTheAnswer();
    void missingServices();

private:
    testsupport::FakeDesktopBus m_bus;
};

void TestDesktop::initTestCase()
{
    QVERIFY(m_bus.start());
}

void TestDesktop::init()
{
    m_bus.clear();
    QVERIFY(m_bus.setServicesPresent(true));
}

void TestDesktop::notice()
{
    // The session bus the program uses by default is the one the variable names.
    QVERIFY(DesktopNotifier().notify(QStringLiteral("Başlık"), QStringLiteral("Metin")));
    QTRY_COMPARE(m_bus.notifications.size(), 1);
    const QVariantList args = m_bus.notifications.constFirst();
    QCOMPARE(args.size(), 8);
    QCOMPARE(args.at(0).toString(), QStringLiteral("Fulmaro"));
    QCOMPARE(args.at(3).toString(), QStringLiteral("Başlık"));
    QCOMPARE(args.at(4).toString(), QStringLiteral("Metin"));
}

void TestDesktop::noticeTexts_data()
{
    QTest::addColumn<int>("succeeded");
    QTest::addColumn<int>("failed");
    QTest::addColumn<int>("notRun");
    QTest::addColumn<bool>("stopped");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("body");
    QTest::newRow("all done") << 3 << 0 << 0 << false << "Video Render bitti"
                              << "3 iş başarılı, 0 iş başarısız.";
    QTest::newRow("some failed") << 2 << 1 << 0 << false << "Video Render hatalarla bitti"
                                 << "2 iş başarılı, 1 iş başarısız.";
    QTest::newRow("stopped") << 1 << 0 << 2 << true << "Video Render durduruldu"
                             << "1 iş başarılı, 0 iş başarısız, 2 iş çalıştırılmadı.";
}

void TestDesktop::noticeTexts()
{
    QFETCH(int, succeeded);
    QFETCH(int, failed);
    QFETCH(int, notRun);
    QFETCH(bool, stopped);
    const RunNotice notice = runEndNotice(succeeded, failed, notRun, stopped);
    QTEST(notice.summary, "summary");
    QTEST(notice.body, "body");
}

void TestDesktop::sleepLockHeldAndReleased()
{
    // By default the lock is asked of the system bus, which the variable has moved here.
    SleepInhibitor lock;
    QSignalSpy answered(&lock, &SleepInhibitor::answered);
    lock.hold();
    lock.hold(); // asked once only
    QVERIFY(answered.wait(10000));
    QCOMPARE(answered.constFirst().constFirst().toBool(), true);
    QVERIFY(lock.isHeld());
    QCOMPARE(m_bus.inhibits.size(), 1);
    QCOMPARE(m_bus.inhibits.constFirst(),
             QVariantList({QStringLiteral("sleep:idle"), QStringLiteral("Fulmaro"),
                           QStringLiteral("Fulmaro video işliyor"), QStringLiteral("block")}));
    QCOMPARE(m_bus.locksHeld(), 1);
    lock.release();
    QVERIFY(!lock.isHeld());
    QTRY_COMPARE(m_bus.locksHeld(), 0);
}

void TestDesktop::releaseBeforeTheAnswer()
{
    SleepInhibitor lock;
    lock.hold();
    lock.release();
    // logind answers after all; the lock it sends must not stay open.
    QTRY_COMPARE(m_bus.inhibits.size(), 1);
    QTRY_COMPARE(m_bus.locksHeld(), 0);
    QTest::qWait(50);
    QVERIFY(!lock.isHeld());
    QCOMPARE(m_bus.locksHeld(), 0);
}

void TestDesktop::missingServices()
{
    QVERIFY(m_bus.setServicesPresent(false));
    SleepInhibitor lock;
    QSignalSpy answered(&lock, &SleepInhibitor::answered);
    lock.hold();
    QVERIFY(answered.wait(10000));
    QCOMPARE(answered.constFirst().constFirst().toBool(), false);
    QVERIFY(!lock.isHeld());
    DesktopNotifier().notify(QStringLiteral("x"), QStringLiteral("y"));
    lock.release();

    // No bus at all.
    SleepInhibitor nowhere(QDBusConnection(QStringLiteral("no such bus")));
    QSignalSpy none(&nowhere, &SleepInhibitor::answered);
    nowhere.hold();
    QCOMPARE(none.size(), 1);
    QVERIFY(!nowhere.isHeld());
    QVERIFY(!DesktopNotifier(QDBusConnection(QStringLiteral("no such bus"))).notify("x", "y"));
    QCOMPARE(m_bus.notifications.size(), 0);
    QCOMPARE(m_bus.inhibits.size(), 0);
}

QTEST_GUILESS_MAIN(TestDesktop)
#include "tst_desktop.moc"
