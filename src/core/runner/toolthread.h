#pragma once

class QThread;

namespace fulmaro {

// The thread tools are started on. Starting a process holds the starting thread until the child
// has become the tool, and on a busy machine the child may first wait long for a processor; on
// this thread that wait holds no window. Created when first asked for; it ends when the
// application object goes (or the program ends).
QThread *toolThread();

} // namespace fulmaro
