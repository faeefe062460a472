#pragma once

namespace fulmaro {

// Tool runs can collect hundreds of megabytes of output lines; with 4 KB pages every page of that
// costs a page fault, which dominates the run on virtual machines. On glibc the heap can be backed
// by transparent huge pages, but only through an environment setting read at start-up, so this
// restarts the program once with that setting. Call first thing in main(); returns normally
// when nothing needs doing (other platforms, already set, or the restart failed).
void restartWithLargePages(int argc, char **argv);

} // namespace fulmaro
