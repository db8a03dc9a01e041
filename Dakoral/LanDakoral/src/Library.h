#pragma once
// Start-up and tear-down of the library (called by the shared library's
// constructor and destructor; tests call them directly).

namespace lan {

// Builds the process's log from the settings in ConfigDir(). Sockets need no start-up here.
void LibraryLoad();
// Frees every handle still open (sockets and host locks, no logout) and drops the log.
void LibraryUnload();
// Number of handles in the handle list.
int OpenHandleCount();

}  // namespace lan
