// State file text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "state_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static dsim::Chain base = [] {
        dsim::Chain c;
        c.displays.push_back(dsim::DefaultDisplay(0, 64));
        return c;
    }();
    dsim::Chain chain = base;
    std::string error;
    // Image file keys are looked up in a folder that does not exist.
    if (dsim::ApplyStateText(std::string_view(reinterpret_cast<const char*>(data), size), "/nonexistent-displaysim",
                             64, chain, error)) {
        dsim::Chain again = base;
        (void)dsim::ApplyStateText(dsim::StateText(chain), "/nonexistent-displaysim", 64, again, error);
    }
    return 0;
}
