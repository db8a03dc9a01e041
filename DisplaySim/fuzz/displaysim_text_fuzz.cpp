// Text port and serial line: arbitrary bytes from a client, with and without login.
#include <cstddef>
#include <cstdint>

#include "session.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static dsim::Chain base = [] {
        dsim::Chain c;
        c.displays.push_back(dsim::DefaultDisplay(0, 2048));
        c.displays.push_back(dsim::DefaultDisplay(1, 1024));
        return c;
    }();
    dsim::Chain chain = base;
    dsim::Faults faults;
    std::vector<dsim::Output> out;
    dsim::LoginConfig login{"a", "b"};
    dsim::TextSession plain(chain, faults, nullptr, "10008", nullptr);
    plain.Feed(data, size, out);
    dsim::TextSession guarded(chain, faults, nullptr, "10008", &login);
    guarded.Feed(data, size, out);
    dsim::SerialSession serial(chain, faults, nullptr);
    serial.Feed(data, size, out);
    return 0;
}
