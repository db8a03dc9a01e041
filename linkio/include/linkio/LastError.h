#pragma once
// Why the calling thread's last failed call of a link library failed, kept
// for the library's GetLastError export: a code and a one-line text. Each
// library that links this keeps its own record (the symbols are hidden).
// Thread-safe: one record per thread.

#include <string>

namespace linkio {

// Records a failure of this thread's call; returns `code`.
int RecordFailure(int code, std::string message);
// As a GetLastError export hands it out: the text into `message` (`size`
// bytes, cut to fit and NUL-terminated; may be null), the code as the
// result (0 when no call of this thread has failed).
int CopyLastFailure(char* message, int size);

}  // namespace linkio
