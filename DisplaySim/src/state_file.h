#pragma once
// The simulator's state file: one "[display N]" section per display with
// key=value lines (see README.md). Images are stored as hexadecimal text or
// taken from files.

#include <filesystem>
#include <string>
#include <string_view>

#include "display.h"

namespace dsim {

// Applies a state text to the chain: sections add displays (with the built-in
// defaults for keys they do not set) or change existing ones. `baseDir` is
// where relative image file names are looked up. False with a message naming
// the line on any error; the chain is then left unchanged.
bool ApplyStateText(std::string_view text, const std::filesystem::path& baseDir, std::size_t nvramSize, Chain& chain,
                    std::string& error);
bool LoadStateFile(const std::filesystem::path& path, std::size_t nvramSize, Chain& chain, std::string& error);

// The state text of a chain (images inline), which ApplyStateText reads back.
std::string StateText(const Chain& chain);
// Writes it through a temporary file renamed into place.
bool SaveStateFile(const std::filesystem::path& path, const Chain& chain, std::string& error);

// Reads a log or NVRAM image file (1 to 65535 bytes).
bool ReadImageFile(const std::filesystem::path& path, Bytes& out, std::string& error);
// Takes a log image as the display's log, and the model name and serial
// number from its header when it has them.
void AdoptLogImage(Display& d, Bytes image, bool takeIdentity);

}  // namespace dsim
