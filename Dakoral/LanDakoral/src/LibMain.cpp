// Load and unload of the shared library.

#include "Library.h"

__attribute__((constructor)) static void LanDakoralLoad() { lan::LibraryLoad(); }

__attribute__((destructor)) static void LanDakoralUnload() { lan::LibraryUnload(); }
