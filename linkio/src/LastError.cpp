#include "linkio/LastError.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace linkio {

namespace {

struct LastFailure {
    int code = 0;
    std::string message;
};
thread_local LastFailure t_last;

}  // namespace

int RecordFailure(int code, std::string message) {
    t_last = {code, std::move(message)};
    return code;
}

int CopyLastFailure(char* message, int size) {
    if (message != nullptr && size > 0) {
        const std::size_t n = std::min(t_last.message.size(), static_cast<std::size_t>(size) - 1);
        std::memcpy(message, t_last.message.data(), n);
        message[n] = '\0';
    }
    return t_last.code;
}

}  // namespace linkio
