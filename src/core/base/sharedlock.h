#pragma once

#include <QString>

class QLockFile;

namespace fulmaro {

// Locks in a work folder that programs on other machines may share (a cluster's nodes over a
// network file system). A lock left by a program on this machine is known to be stale when its
// process is gone. Another machine's process cannot be looked at, so a live program touches every
// lock it holds each minute (its heartbeat): another machine's lock that has not been touched for
// kForeignLockSilentMinutes was left by a program that is gone with its machine.
inline constexpr int kForeignLockSilentMinutes = 10;

// Takes the lock at path as QLockFile::tryLock(0) does, with no stale time (a live program's lock
// is never taken, however old), and also when it is another machine's lock that has fallen
// silent. A lock taken is kept alive by the heartbeat until it is released.
bool takeSharedLock(QLockFile &lock, const QString &path);

// The heartbeat's step: touches each lock this program holds. Runs each minute on its own once a
// lock has been taken (an event loop is needed); callable at any time.
void touchHeldLocks();

} // namespace fulmaro
