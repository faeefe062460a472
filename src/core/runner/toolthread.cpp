#include "core/runner/toolthread.h"

#include <QCoreApplication>
#include <QMutex>
#include <QSemaphore>
#include <QThread>

namespace fulmaro {

namespace {

QMutex threadLock;
QThread *running = nullptr;

void endToolThread()
{
    const QMutexLocker lock(&threadLock);
    if (!running)
        return;
    running->quit();
    running->wait();
    delete running;
    running = nullptr;
}

// Ends the thread when the program ends without an application object going first.
struct ToolThreadEnd
{
    ~ToolThreadEnd() { endToolThread(); }
};

} // namespace

QThread *toolThread()
{
    static ToolThreadEnd atExit;
    const QMutexLocker lock(&threadLock);
    if (!running) {
        running = new QThread;
        running->setObjectName(QStringLiteral("tools"));
        running->start();
        static bool postRoutineAdded = false;
        if (!postRoutineAdded && QCoreApplication::instance()) {
            postRoutineAdded = true;
            qAddPostRoutine(endToolThread);
        }
    }
    return running;
}

} // namespace fulmaro
