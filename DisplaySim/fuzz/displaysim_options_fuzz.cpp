// Command line: NUL-separated arguments.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            args.emplace_back();
        else
            args.back() += static_cast<char>(data[i]);
    }
    dsim::Options o;
    std::string error;
    (void)dsim::ParseOptions(args, o, error);
    return 0;
}
