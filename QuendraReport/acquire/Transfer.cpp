#include "acquire/Transfer.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "common/textfile.h"
#include "common/timeutil.h"
#include "linkio/Cancel.h"

namespace acq {

const char* const kNvramDumpName = "NvramDump1.bin";

namespace {

using Reply = std::uint8_t[qlink::kBinReplyBuffer];

// The request/start, block and end codes of one block sequence.
struct stBlockCodes {
    std::uint8_t start, block, end;
};
constexpr stBlockCodes kLogRead{0x40, 0x41, 0x42};
constexpr stBlockCodes kNvramRead{0x44, 0x45, 0x46};
constexpr std::uint8_t kNvramWriteStart = 0x47;
constexpr std::uint8_t kNvramWriteBlock = 0x48;
constexpr std::uint8_t kNvramWriteEnd = 0x49;
constexpr std::uint8_t kLeaveBinary = 0xF0;

// One binary request; fails when the library does, or when the reply holds
// fewer than `need` bytes (a short reply never passes for a whole one).
bool Request(qlink::IDisplayLink& link, void* binary, std::uint8_t command, const std::uint8_t* params,
             int paramLen, Reply& reply, int need) {
    int got = 0;
    if (link.DkGetData(binary, command, params, paramLen, reply, got) != 0) return false;
    return got >= need;
}

// A size request: the little-endian size in the first two reply bytes.
bool RequestSize(qlink::IDisplayLink& link, void* binary, std::uint8_t command, int& size) {
    Reply reply;
    if (!Request(link, binary, command, nullptr, 0, reply, 2)) return false;
    size = reply[0] | (reply[1] << 8);
    return true;
}

void PutLe16(std::uint8_t* p, int value) {
    p[0] = static_cast<std::uint8_t>(value & 0xFF);
    p[1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

// Reads a whole image block by block into `image`; false at the first failed
// request or when cancelled (nothing more is sent then). A display that
// announces 0 bytes has no image to give: its read is ended and fails, so
// that an empty image never passes for one.
bool ReadBlocks(qlink::IDisplayLink& link, void* binary, const stBlockCodes& codes,
                std::vector<std::uint8_t>& image, IProgress& progress, const int* cancel) {
    int total = 0;
    if (linkio::IsCancelled(cancel) || !RequestSize(link, binary, codes.start, total)) return false;
    image.assign(static_cast<std::size_t>(total), 0);
    Reply reply;
    int index = 0;
    for (int offset = 0; offset < total; offset += kBlockSize) {
        if (linkio::IsCancelled(cancel)) return false;
        const int length = std::min(kBlockSize, total - offset);
        std::uint8_t params[4];
        PutLe16(params, offset);
        PutLe16(params + 2, length);
        if (!Request(link, binary, codes.block, params, 4, reply, length)) return false;
        std::memcpy(image.data() + offset, reply, static_cast<std::size_t>(length));
        progress.SetPos(BlockProgress(++index, total));
    }
    const bool ended = Request(link, binary, codes.end, nullptr, 0, reply, 0);
    return ended && total > 0;
}

}  // namespace

void ResetLog(CQuendraLog& log) {
    log.Validate(0);
    log.ResetDecoded();
    log.SetLogData(nullptr, 0);
}

int BlockProgress(int index, int totalBytes) {
    const int blocks = totalBytes < kBlockSize ? 1 : totalBytes / kBlockSize;
    const double step = static_cast<double>(kTransferRange) / blocks;
    return static_cast<int>(index * step);
}

bool SetLogRecord(qlink::IDisplayLink& link, void* control, int displayId, bool resume) {
    int rc = 0;
    for (int i = 0; i < 3; ++i) rc = link.QnSetCommand(control, "");
    if (rc != 0) return false;
    if (displayId != 0 && link.QnSetCommand(control, "IDSL" + std::to_string(displayId)) != 0) return false;
    if (resume) return ResumeLogRecord(link, control);
    link.QnSetCommand(control, "SRLG0000");
    return true;
}

bool SendUntilAccepted(qlink::IDisplayLink& link, void* control, const std::string& command) {
    constexpr int kSends = 2;
    for (int i = 0; i < kSends; ++i)
        if (link.QnSetCommand(control, command) == 0) return true;
    return false;
}

bool ResumeLogRecord(qlink::IDisplayLink& link, void* control) {
    return SendUntilAccepted(link, control, "SRLG0001");
}

bool SetBinMode(qlink::IDisplayLink& link, void* control, int displayId) {
    if (displayId == 0) return link.QnSetCommand(control, "FIRM0000") == 0;
    std::string reply;
    if (link.QnGetStringEx(control, "Command:BNMD" + std::to_string(displayId), reply) != 0) return false;
    return reply == "BNMD9999";
}

bool EndBinMode(qlink::IDisplayLink& link, void* binary, int displayId) {
    const std::uint8_t id = static_cast<std::uint8_t>(displayId);
    Reply reply;
    return Request(link, binary, kLeaveBinary, &id, 1, reply, 0);
}

bool GetBinLogs(qlink::IDisplayLink& link, void* binary, CQuendraLog& log, IProgress& progress,
                const int* cancel) {
    ResetLog(log);
    log.m_strPcTime = cmn::TimeToDigits12(std::time(nullptr));
    std::vector<std::uint8_t> image;
    if (!ReadBlocks(link, binary, kLogRead, image, progress, cancel)) return false;
    log.SetLogData(image.data(), image.size());
    // Present from here on, also when decoding fails: the raw image can be saved.
    log.m_bValid = 1;
    if (!log.ParseLogData(log.m_pData.data(), log.m_nDataSize)) return false;
    log.CreateList();
    return true;
}

bool GetBinNvramData(qlink::IDisplayLink& link, void* binary, const std::filesystem::path& file,
                     IProgress& progress, const int* cancel, bool* writeFailed) {
    std::vector<std::uint8_t> image;
    if (!ReadBlocks(link, binary, kNvramRead, image, progress, cancel)) return false;
    const std::string_view bytes(reinterpret_cast<const char*>(image.data()), image.size());
    if (cmn::WriteFileAtomic(file, bytes)) return true;
    if (writeFailed) *writeFailed = true;
    return false;
}

bool SetBinNvramData(qlink::IDisplayLink& link, void* binary, const std::filesystem::path& file,
                     IProgress& progress, const int* cancel) {
    std::string image;
    if (!cmn::ReadFileBytes(file, image, kMaxImageBytes)) return false;
    const int total = static_cast<int>(image.size());
    int displaySize = 0;
    if (linkio::IsCancelled(cancel) || !RequestSize(link, binary, kNvramWriteStart, displaySize))
        return false;
    // An empty image is nothing to write: a display announcing 0 bytes has no NVRAM to take it.
    if (displaySize != total || total == 0) return false;

    Reply reply;
    std::vector<std::uint8_t> params(2 + kBlockSize);
    int index = 0;
    for (int offset = 0; offset < total; offset += kBlockSize) {
        if (linkio::IsCancelled(cancel)) return false;
        const int length = std::min(kBlockSize, total - offset);
        std::fill(params.begin(), params.end(), 0);
        PutLe16(params.data(), offset);
        std::memcpy(params.data() + 2, image.data() + offset, static_cast<std::size_t>(length));
        if (!Request(link, binary, kNvramWriteBlock, params.data(), static_cast<int>(params.size()), reply,
                     0))
            return false;
        progress.SetPos(BlockProgress(++index, total));
    }
    return Request(link, binary, kNvramWriteEnd, nullptr, 0, reply, 0);
}

}  // namespace acq
