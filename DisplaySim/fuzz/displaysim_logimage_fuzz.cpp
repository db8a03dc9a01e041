// Log images loaded from ".dat" files: walking, clearing the groups and
// rewriting the identity.
#include <cstddef>
#include <cstdint>

#include "log_image.h"
#include "logimage/LogImage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const dsim::Bytes image(data, data + size);
    logimage::LogLayout layout;
    std::string error;
    (void)logimage::LocateLog(image, layout, error);
    dsim::Bytes cleared = image;
    if (dsim::ClearLogGroups(cleared, error)) {
        logimage::LogLayout again;
        if (!logimage::LocateLog(cleared, again, error) || again.recordCount != 0) __builtin_trap();
    }
    dsim::Bytes renamed = image;
    (void)dsim::RewriteLogIdentity(renamed, "QM-X003", "FUZZ0001", error);
    return 0;
}
