#include "core/runner/shellquote.h"
#include "core/runner/toolrun.h"
#include "support/testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

#include <sched.h>

using namespace fulmaro;

namespace {
QString fake(const QString &steps)
{
    return quoteArg(QStringLiteral(FAKE_TOOL)) + QLatin1Char(' ') + steps;
}
} // namespace

class TestToolRun : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void piecesWithPauses();
    void nothingWritten();
    void statusLinesAndNul();
    void stderrInterleaved();
    void multibyteSplitAcrossReads();
    void largeOutputGivesManyCallbacks();
    void exitCodesAndCrash_data();
    void exitCodesAndCrash();
    void cannotStart();
    void missingTool();
    void stopEndsOnlyOwnTree();
    void endedBeforeItStarted_data();
    void endedBeforeItStarted();
    void interfaceRespondsWhileSilent();
    void quoting_data();
    void quoting();
    void toolsGetTheUsersEnvironment_data();
    void toolsGetTheUsersEnvironment();
    void backgroundRunsIdle();

private:
    QTemporaryDir m_dir;
};

void TestToolRun::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestToolRun::piecesWithPauses()
{
    // Each write waits until the one before has been delivered: four reads however the machine
    // schedules the two programs.
    QStringList pieces;
    const QString ack = m_dir.filePath(QStringLiteral("gelen"));
    const RunResult r = getDosOutput(
        QStringLiteral("fake_tool"),
        fake(QStringLiteral("out 'width=12' await %1 out '80\\r\\nheight=7' await %2 out "
                            "'20\\r' await %3 out '\\nlast'")
                 .arg(quoteArg(ack + "1"), quoteArg(ack + "2"), quoteArg(ack + "3"))),
        m_dir.path(), [&](const QString &piece, bool &) {
            pieces << piece;
            QFile(ack + QString::number(pieces.size())).open(QIODevice::WriteOnly);
        });
    QCOMPARE(r.end, RunEnd::Succeeded);
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.lines, QStringList({"width=1280", "height=720", "last"}));
    QVERIFY2(pieces.size() >= 4, qPrintable(pieces.join('|')));
    QCOMPARE(pieces.join(QString()), QStringLiteral("width=1280\r\nheight=720\r\nlast"));
}

void TestToolRun::nothingWritten()
{
    int calls = 0;
    const RunResult r = getDosOutput(QStringLiteral("fake_tool"), fake(QStringLiteral("exit 0")),
                                     m_dir.path(), [&](const QString &, bool &) { ++calls; });
    QCOMPARE(calls, 0);
    QVERIFY(r.lines.isEmpty());
    QVERIFY(r.succeeded());
}

void TestToolRun::statusLinesAndNul()
{
    QString seen;
    const RunResult r = getDosOutput(
        QStringLiteral("fake_tool"),
        fake(QStringLiteral(
            "out 'frame=1\\rframe=2\\rframe=3\\r' sleep 100 out 'ok\\0junk\\nend\\n'")),
        m_dir.path(), [&](const QString &piece, bool &) { seen += piece; });
    QCOMPARE(r.lines, QStringList({"frame=1", "frame=2", "frame=3", "ok", "end"}));
    QVERIFY2(!seen.contains(QStringLiteral("junk")), qPrintable(seen));
}

void TestToolRun::stderrInterleaved()
{
    const RunResult r = getDosOutput(
        QStringLiteral("fake_tool"),
        fake(QStringLiteral("out 'one\\n' sleep 100 err 'two\\n' sleep 100 out 'three\\n' sleep "
                            "100 err 'four'")),
        m_dir.path());
    QCOMPARE(r.lines, QStringList({"one", "two", "three", "four"}));
}

void TestToolRun::multibyteSplitAcrossReads()
{
    // "ş" is C5 9F and "ğ" C4 9F in UTF-8; each is cut in two by a pause.
    const RunResult r = getDosOutput(
        QStringLiteral("fake_tool"),
        fake(QStringLiteral("out 'Ba\\xC5' sleep 150 out '\\x9Flat \\xC4' sleep 150 out "
                            "'\\x9F\\n'")),
        m_dir.path());
    QCOMPARE(r.lines, QStringList({QStringLiteral("Başlat ğ")}));
}

void TestToolRun::largeOutputGivesManyCallbacks()
{
    int calls = 0;
    qsizetype chars = 0;
    const RunResult r =
        getDosOutput(QStringLiteral("fake_tool"), fake(QStringLiteral("bytes 2000000")),
                     m_dir.path(), [&](const QString &piece, bool &) {
                         ++calls;
                         chars += piece.size();
                     });
    QCOMPARE(chars, 2000000);
    QCOMPARE(r.lines.size(), 25000);
    QCOMPARE(r.lines.first(), QString(79, QLatin1Char('a')));
    QVERIFY(calls >= 2);
}

void TestToolRun::exitCodesAndCrash_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<RunEnd>("end");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("success") << "out 'x'" << RunEnd::Succeeded << 0;
    QTest::newRow("error exit") << "out 'x' exit 3" << RunEnd::Failed << 3;
    // The interpreter reports a killed tool as 128 + the signal.
    QTest::newRow("crash") << "crash" << RunEnd::Failed << 128 + 11;
}

void TestToolRun::exitCodesAndCrash()
{
    QFETCH(QString, steps);
    QFETCH(RunEnd, end);
    QFETCH(int, exitCode);
    const RunResult r = getDosOutput(QStringLiteral("fake_tool"), fake(steps), m_dir.path());
    QCOMPARE(r.end, end);
    QCOMPARE(r.exitCode, exitCode);
}

void TestToolRun::cannotStart()
{
    int calls = 0;
    const RunResult r = getDosOutput(QStringLiteral("fake_tool"), fake(QStringLiteral("out 'x'")),
                                     m_dir.path() + QStringLiteral("/no/such/folder"),
                                     [&](const QString &, bool &) { ++calls; });
    QCOMPARE(r.end, RunEnd::FailedToStart);
    QVERIFY(r.lines.isEmpty());
    QCOMPARE(calls, 0);
}

void TestToolRun::missingTool()
{
    // The interpreter starts and complains; its complaint is output like any other.
    const RunResult r = getDosOutput(QStringLiteral("nothere"),
                                     QStringLiteral("/no/such/tool -v quiet"), m_dir.path());
    QCOMPARE(r.end, RunEnd::Failed);
    QCOMPARE(r.exitCode, 127);
    QVERIFY(!r.lines.isEmpty());
}

void TestToolRun::stopEndsOnlyOwnTree()
{
    // An unrelated process with the same name, started outside the runner.
    QProcess unrelated;
    unrelated.start(QStringLiteral(FAKE_TOOL), {QStringLiteral("hang")});
    QVERIFY(unrelated.waitForStarted());

    QStringList lines;
    int calls = 0;
    const RunResult r = getDosOutput(
        QStringLiteral("fake_tool"), fake(QStringLiteral("spawn pid sleep 200 out 'late\\n' hang")),
        m_dir.path(), [&](const QString &piece, bool &stop) {
            ++calls;
            lines << piece.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            stop = true;
        });
    QCOMPARE(r.end, RunEnd::Stopped);
    QCOMPARE(calls, 1);
    QVERIFY(!r.lines.contains(QStringLiteral("late")));

    qint64 child = 0;
    qint64 tool = 0;
    for (const QString &line : r.lines) {
        if (line.startsWith(QStringLiteral("child=")))
            child = line.mid(6).toLongLong();
        if (line.startsWith(QStringLiteral("pid=")))
            tool = line.mid(4).toLongLong();
    }
    QVERIFY2(child > 0, qPrintable(r.lines.join('|')));
    // The tool and its own child are gone by the time the run reports its end.
    QVERIFY(!testsupport::processAlive(child));
    if (tool > 0)
        QVERIFY(!testsupport::processAlive(tool));
    // The other process of that name lives on.
    QVERIFY(testsupport::processAlive(unrelated.processId()));
    unrelated.kill();
    unrelated.waitForFinished();
}

// The process starts after start() has returned; a stop or a delete that comes first still leaves
// nothing running, and a stopped run still reports its end.
void TestToolRun::endedBeforeItStarted_data()
{
    QTest::addColumn<bool>("deleteRun");
    QTest::newRow("stopped") << false;
    QTest::newRow("deleted") << true;
}

void TestToolRun::endedBeforeItStarted()
{
    QFETCH(bool, deleteRun);
    const QString pidFile = m_dir.filePath(QStringLiteral("early.pid"));
    QFile::remove(pidFile);
    auto run = std::make_unique<ToolRun>(QStringLiteral("echo $$ > ") + quoteArg(pidFile) +
                                             QStringLiteral("; exec sleep 30"),
                                         m_dir.path());
    QSignalSpy done(run.get(), &ToolRun::done);
    run->start();
    if (deleteRun) {
        run.reset();
    } else {
        run->stop();
        QTRY_COMPARE(done.size(), 1);
        QCOMPARE(run->result().end, RunEnd::Stopped);
    }
    // Tools start in order: once a later run is through, the first one's start and end have
    // been dealt with.
    const RunResult later =
        getDosOutput(QStringLiteral("echo"), QStringLiteral("echo later"), m_dir.path());
    QCOMPARE(later.lines, QStringList{QStringLiteral("later")});
    // The shell may have been ended before it opened the file, or between opening it and
    // writing its number; whatever it wrote names a process that is gone.
    QFile file(pidFile);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray text = file.readAll().trimmed();
        if (!text.isEmpty()) {
            const qint64 pid = text.toLongLong();
            QVERIFY(pid > 0);
            QTRY_VERIFY(!testsupport::processAlive(pid));
        }
    }
}

void TestToolRun::interfaceRespondsWhileSilent()
{
    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(20);
    const RunResult r = getDosOutput(QStringLiteral("fake_tool"),
                                     fake(QStringLiteral("sleep 500 out 'done'")), m_dir.path());
    QCOMPARE(r.lines, QStringList{QStringLiteral("done")});
    QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
}

void TestToolRun::quoting_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << "clip one.mp4";
    QTest::newRow("turkish") << "Çıktı şarkı ğ.mp4";
    QTest::newRow("dollar") << "a$HOME b.mp4";
    QTest::newRow("backquote") << "a`touch pwned`.mp4";
    QTest::newRow("quote and backslash") << "a\"b\\c'd.mp4";
    QTest::newRow("semicolon and pipe") << "a; rm -rf x | y.mp4";
}

void TestToolRun::quoting()
{
    QFETCH(QString, name);
    // The interpreter hands the quoted text back unchanged, and runs nothing of it.
    const RunResult r = getDosOutput(
        QStringLiteral("printf"), QStringLiteral("printf '%s\\n' ") + quoteArg(name), m_dir.path());
    QCOMPARE(r.lines, QStringList{name});
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("pwned"))));
    if (!name.contains(QLatin1Char('$')) && !name.contains(QLatin1Char('`')) &&
        !name.contains(QLatin1Char('"')) && !name.contains(QLatin1Char('\\')))
        QCOMPARE(quoteArg(name), QLatin1Char('"') + name + QLatin1Char('"'));
}

// The program restarts itself with a heap setting of its own; the tools it starts get the
// environment the user started it with, not that setting.
void TestToolRun::toolsGetTheUsersEnvironment_data()
{
    QTest::addColumn<QString>("users");
    QTest::newRow("none") << QString();
    QTest::newRow("the user's own") << QStringLiteral("glibc.malloc.tcache_count=10");
}

void TestToolRun::toolsGetTheUsersEnvironment()
{
    QFETCH(QString, users);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("GLIBC_TUNABLES"));
    if (!users.isEmpty())
        env.insert(QStringLiteral("GLIBC_TUNABLES"), users);
    QProcess child;
    child.setProcessEnvironment(env);
    child.start(QStringLiteral(LARGEPAGES_CHILD), {});
    QVERIFY(child.waitForFinished(20000));
    const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
    QVERIFY2(out.contains(QLatin1String("restarted: yes")), qPrintable(out));
    const QString expected =
        QStringLiteral("tool: %1|unset").arg(users.isEmpty() ? "unset" : users);
    QVERIFY2(out.contains(expected), qPrintable(out));
}

// A background run's interpreter and the tool it starts both run at the lowest priority, in the
// idle scheduling class.
void TestToolRun::backgroundRunsIdle()
{
    ToolRun run(QStringLiteral("sleep 30; true"), m_dir.path());
    run.setBackground(true);
    run.start();
    QTRY_VERIFY(run.processId() > 0);
    const qint64 group = run.processId();
    // nice and policy of every process of the run's group (fields 19 and 41 of stat).
    auto members = [group] {
        QList<QPair<int, int>> found;
        for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            const QByteArray text = stat.readAll();
            const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
            // Counted from the state, which is field 3.
            if (fields.size() > 38 && fields.at(2).toLongLong() == group)
                found.append({fields.at(16).toInt(), fields.at(38).toInt()});
        }
        return found;
    };
    // The interpreter, the tool, and the watcher that ends them if the program ends.
    QTRY_COMPARE(members().size(), 3);
    for (const auto &[nice, policy] : members()) {
        QCOMPARE(nice, 19);
        QCOMPARE(policy, SCHED_IDLE);
    }
    QSignalSpy done(&run, &ToolRun::done);
    run.stop();
    QVERIFY(done.wait(10000));
}

QTEST_GUILESS_MAIN(TestToolRun)
#include "tst_toolrun.moc"
