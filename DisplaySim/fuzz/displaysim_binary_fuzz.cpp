// Binary port: arbitrary bytes, first with the display in binary mode, then
// through the login dialogue.
#include <cstddef>
#include <cstdint>

#include "session.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static dsim::Chain base = [] {
        dsim::Chain c;
        c.displays.push_back(dsim::DefaultDisplay(0, 3000));
        return c;
    }();
    dsim::Chain chain = base;
    chain.EnterBinary(chain.displays[0]);
    dsim::FaultConfig cfg;
    cfg.closeAfterBlocks = 50;
    dsim::Faults faults(cfg);
    std::vector<dsim::Output> out;
    dsim::BinarySession open(chain, faults, nullptr, "18081", nullptr);
    open.Feed(data, size, out);
    dsim::LoginConfig login{"", ""};
    dsim::BinarySession guarded(chain, faults, nullptr, "18081", &login);
    guarded.Feed(data, size, out);
    return 0;
}
