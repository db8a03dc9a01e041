// The hosts file of quendra-acquire's fleet run: every accepted display names
// a folder of its own, and a refusal always says why.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "cli/FleetCli.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<stFleetDisplay> displays;
    std::string error;
    if (!ParseHostsFile(text, displays, error)) {
        if (error.empty()) std::abort();
        return 0;
    }
    std::set<std::string> folders;
    for (const stFleetDisplay& d : displays) {
        const std::string folder = FleetFolderName(d);
        if (folder.empty() || folder == "." || folder == ".." || folder.find('/') != std::string::npos ||
            !folders.insert(folder).second)
            std::abort();
    }
    return 0;
}
