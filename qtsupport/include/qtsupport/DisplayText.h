#pragma once
// Byte texts of the program cores turned into QString for display, and
// back. Logs, code tables and the display's replies are CP932 bytes; paths
// and the setting programs' texts are UTF-8. The bytes themselves stay as
// they are on their way to files: convert only what is shown or copied to
// the clipboard. Safe from any thread.

#include <QString>
#include <string>
#include <string_view>

namespace qtsupport {

// CP932 bytes (ASCII included) as shown; bytes that do not convert become U+FFFD.
QString FromCp932(std::string_view bytes);
// A shown text back to CP932 bytes; characters CP932 lacks become '?'.
std::string ToCp932(const QString& text);
// Text of unknown origin (a message that may hold a path or a decoded name):
// UTF-8 when the bytes are valid UTF-8, CP932 otherwise.
QString FromAnyBytes(std::string_view bytes);

}  // namespace qtsupport
