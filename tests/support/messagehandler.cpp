// Linked into every test program: Qt warnings that always mean a fault in the code under test (a
// process or thread object destroyed while it still runs, a connection to a signal or slot that
// does not exist, timers or children used across threads) fail the test instead of scrolling by.
// Messages a test expects with QTest::ignoreMessage still pass.
//
// QTest replaces the message handler for the length of the run and does not hand messages on to
// the one it replaced, so a handler installed at start-up never sees what a test function prints.
// The test programs are therefore linked with --wrap for QTest::qExec (see tests/CMakeLists.txt);
// the wrapper below does what qExec does (qInit, qRun, qCleanup) and puts our handler on top of
// QTest's for the run. There a fault's text is registered with QTest::failOnWarning right before
// QTest's handler sees it: QTest drops it when the test ignores that message, and fails the
// current test otherwise. Outside the run (static objects, the test object's destructor) a fault
// ends the program with a clear text.

#include <QTest>

#include <cstdio>
#include <cstdlib>

namespace {

bool isFault(QtMsgType type, const QString &message)
{
    if (type != QtWarningMsg && type != QtCriticalMsg)
        return false;
    static const char *const faults[] = {
        "Destroyed while process", // QProcess: Destroyed while process ("…") is still running.
        "Destroyed while thread",  // QThread: Destroyed while thread is still running
        "QObject::connect: ",      // No such signal / slot, Cannot connect, Cannot queue arguments
        "QObject::disconnect: Unexpected",
        "QMetaObject::invokeMethod: No such method",
        "from another thread",   // Timers cannot be started/stopped, socket notifiers …
        "in a different thread", // Cannot create children for a parent / set parent …
        "can only be used with threads started with QThread",
    };
    for (const char *fault : faults) {
        if (message.contains(QLatin1String(fault)))
            return true;
    }
    return false;
}

QtMessageHandler handlerBelow = nullptr; // Qt's default one
QtMessageHandler qtestHandler = nullptr;

void outsideRun(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (isFault(type, message)) {
        std::fprintf(stderr, "FAIL! A fault reported by Qt outside a test function: %s\n",
                     qPrintable(message));
        std::fflush(stderr);
        std::abort();
    }
    handlerBelow(type, context, message);
}

void duringRun(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (isFault(type, message))
        QTest::failOnWarning(message.toUtf8().constData());
    qtestHandler(type, context, message);
}

[[maybe_unused]] const bool installedAtStart = [] {
    handlerBelow = qInstallMessageHandler(outsideRun);
    return true;
}();

} // namespace

// QTest::qExec(QObject *, int, char **), which QTEST_MAIN calls.
extern "C" int __wrap__ZN5QTest5qExecEP7QObjectiPPc(QObject *testObject, int argc, char **argv)
{
    QTest::qInit(testObject, argc, argv);
    qtestHandler = qInstallMessageHandler(duringRun);
    const int failures = QTest::qRun();
    QTest::qCleanup(); // puts back the handler QTest found: outsideRun
    return failures;
}
