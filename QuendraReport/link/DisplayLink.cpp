#include "link/DisplayLink.h"

#include <Dakoral.h>
#include <QuendraControl.h>

namespace qlink {

LinkFault TextFault(int code) {
    switch (code) {
        case QNCTRL_ERR_REFUSED:
            return LinkFault::kRefused;
        case QNCTRL_ERR_TIMEOUT:
            return LinkFault::kNoReply;
        case QNCTRL_ERR_LINK:
            return LinkFault::kClosed;
        case QNCTRL_ERR_ARGUMENT:  // a value too long for the reply buffer
        case QNCTRL_ERR_VALUE:
            return LinkFault::kDamaged;
        case QNCTRL_ERR_CANCEL:
            return LinkFault::kCancelled;
        case QNCTRL_ERR_CONNECT:
            return LinkFault::kCannotConnect;
        case QNCTRL_ERR_LOGIN:
            return LinkFault::kLoginRefused;
        default:
            return LinkFault::kUnknown;
    }
}

LinkFault BinaryFault(int code) {
    // The LAN library's codes, passed on by the front unchanged.
    constexpr int kLanConnect = 7, kLanLoginTimeout = 8, kLanCancelOpen = 11, kLanAuth = 12, kLanAccess = 13;
    switch (code) {
        case kLanConnect:
        case DAKR_ERR_OPEN:
            return LinkFault::kCannotConnect;
        case kLanLoginTimeout:  // no password prompt within the login time
        case DAKR_ERR_TIMEOUT:
            return LinkFault::kNoReply;
        case kLanCancelOpen:
        case DAKR_ERR_CANCEL:
            return LinkFault::kCancelled;
        case kLanAuth:
        case kLanAccess:
            return LinkFault::kLoginRefused;
        case DAKR_ERR_REFUSED:
            return LinkFault::kRefused;
        case DAKR_ERR_DAMAGED:
            return LinkFault::kDamaged;
        case DAKR_ERR_CLOSED:
            return LinkFault::kClosed;
        default:
            return LinkFault::kUnknown;
    }
}

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
