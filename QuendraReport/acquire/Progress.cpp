#include "acquire/Progress.h"

namespace acq {

const char* const kTextConnecting = "Connecting...";
const char* const kTextBinaryMode = "Switch to binary mode...";
const char* const kTextLogReading = "Log data reading...";
const char* const kTextNvramReading = "Nvram data reading...";
const char* const kTextNvramWriting = "Nvram data writing...";
const char* const kTextAsciiMode = "Switch to ascii mode...";

}  // namespace acq
