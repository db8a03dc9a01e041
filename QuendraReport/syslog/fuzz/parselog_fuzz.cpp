// Log data blocks of any content: the decoder must fail cleanly or decode, and
// the record list must build from whatever it decoded. (The temperature text
// it cuts out is fuzzed by the temperature decoder's own target.)
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "common/prompt.h"
#include "syslog/QuendraLog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static cmn::SilentPrompt prompt;
    static CQuendraLog* log = [] {
        cmn::SetPrompt(&prompt);
        return new CQuendraLog("/nonexistent-folder");
    }();
    if (size == 0 || size > 70000) return 0;
    // The first byte chooses whether the check value is tested, so that the
    // fuzzer reaches the decoding behind it.
    log->m_bCheckSum = data[0] & 1;
    const std::size_t n = size - 1;
    std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[n ? n : 1]);
    if (n) std::memcpy(block.get(), data + 1, n);
    if (log->ParseLogData(n ? block.get() : nullptr, static_cast<int>(n))) {
        log->m_bValid = 1;
        log->CreateList();
    }
    return 0;
}
