#ifndef APP_OPENFILES_H
#define APP_OPENFILES_H

// The process's limit on open files, a process-wide setting made once at
// program start.
namespace AppOpenFiles {

// Raises the soft limit to at least `wanted` descriptors, as far as the hard
// limit allows; never lowers it. False when it stays below `wanted`.
bool raiseLimit(int wanted);

} // namespace AppOpenFiles

#endif
