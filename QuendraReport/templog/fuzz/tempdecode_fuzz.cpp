// Temperature sections of any content, as bytes and as hexadecimal text.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "common/RecordingPrompt.h"
#include "syslog/QuendraLog.h"
#include "templog/TempLogCtrl.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static cmn::RecordingPrompt prompt;
    static CQuendraLog* log = [] {
        cmn::SetPrompt(&prompt);
        return new CQuendraLog("/nonexistent-folder");
    }();
    if (size > 20000) return 0;
    // Exactly sized copy, so any read past the section is caught.
    std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[size ? size : 1]);
    if (size) std::memcpy(bytes.get(), data, size);
    stTempLogV4 v4;
    CTempLogCtrl::ReadBin(size ? bytes.get() : nullptr, static_cast<std::uint32_t>(size), v4);
    stTempLogV5 v5;
    CTempLogCtrl::ReadBinV5(size ? bytes.get() : nullptr, static_cast<std::uint32_t>(size), v5);

    // The same bytes as the log object's text, decoded by the control.
    log->m_bValid = 1;
    log->m_strTempHex.assign(reinterpret_cast<const char*>(data), size);
    CTempLogCtrl ctrl;
    ctrl.SetLogObject(log);
    ctrl.SetTempLog();
    return 0;
}
