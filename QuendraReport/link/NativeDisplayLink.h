#pragma once
// IDisplayLink over the real libraries: libQuendraControl.so and
// libDakoral.so, linked at load time (an installation that replaces them
// keeps working; their optional QNCTRL_GetLastError and DAKR_GetLastError
// are looked up at run time, and without them a failure's reason is what
// the failed call's code tells). Stateless: every handle belongs to its caller.
// Thread-safety: as IDisplayLink (the libraries take one thread per handle).

#include "link/DisplayLink.h"

namespace qlink {

class NativeDisplayLink : public IDisplayLink {
public:
    void* QnOpenEx(const std::string& port, const std::string& user, const std::string& password,
                   std::uint32_t flags) override;
    void* QnOpenIF(const std::string& port, const std::string& user, const std::string& password,
                   int displayId, int baud) override;
    void QnClose(void* handle) override;
    int QnSetCommand(void* handle, const std::string& text) override;
    int QnGetStringEx(void* handle, const std::string& query, std::string& reply) override;
    int QnGetNumber(void* handle, const std::string& query, int& value) override;

    void* DkOpenIF(const std::string& port, int a, int b, int baud) override;
    void DkClose(void* handle) override;
    int DkGetData(void* handle, std::uint8_t command, const std::uint8_t* params, int paramLen,
                  std::uint8_t (&reply)[kBinReplyBuffer], int& replyLen) override;
    stLinkError QnLastError(int code) override;
    stLinkError DkLastError(int code) override;
};

}  // namespace qlink
