// quendra-acquire's command line: NUL-separated arguments.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/AcquireCli.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.emplace_back();
        } else {
            args.back() += static_cast<char>(data[i]);
        }
    }
    stAcquireOptions options;
    std::string error;
    ParseAcquireArgs(args, options, error);
    return 0;
}
