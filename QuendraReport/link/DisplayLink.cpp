#include "link/DisplayLink.h"

namespace qlink {

std::uint32_t OpenFlagsForBaud(int baud) {
    switch (baud) {
        case 19200:
            return 0x05010200u;
        case 38400:
            return 0x06010200u;
        default:
            return 0x00010200u;
    }
}

}  // namespace qlink
