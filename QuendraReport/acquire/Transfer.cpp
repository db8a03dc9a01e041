#include "acquire/Transfer.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "common/strutil.h"
#include "common/textfile.h"
#include "common/timeutil.h"

namespace acq {

const char* const kNvramDumpName = "NvramDump1.bin";

namespace {

// The codes of one block sequence and the steps they stand for.
struct stBlockCodes {
    std::uint8_t start, block, end;
    Step startStep, blockStep, endStep;
    const char* image;  // "log", "NVRAM"
};
constexpr stBlockCodes kLogRead{0x40, 0x41, 0x42, Step::kLogSize, Step::kLogBlock, Step::kLogEnd, "log"};
constexpr stBlockCodes kNvramRead{0x44,   0x45, 0x46, Step::kNvramSize, Step::kNvramBlock, Step::kNvramEnd,
                                  "NVRAM"};
constexpr std::uint8_t kNvramWriteStart = 0x47;
constexpr std::uint8_t kNvramWriteBlock = 0x48;
constexpr std::uint8_t kNvramWriteEnd = 0x49;
constexpr std::uint8_t kLeaveBinary = 0xF0;

std::string Code(std::uint8_t code) {
    return cmn::StrPrintf("0x%02X", code);
}

std::string AtOffset(std::uint8_t code, int offset) {
    return Code(code) + " at offset " + std::to_string(offset);
}

// A size request: the little-endian size in the first two reply bytes.
bool RequestSize(CDisplaySession& s, void* binary, std::uint8_t command, int& size) {
    Reply reply;
    if (!s.Request(binary, command, nullptr, 0, reply, 2, Code(command))) return false;
    size = reply[0] | (reply[1] << 8);
    return true;
}

void PutLe16(std::uint8_t* p, int value) {
    p[0] = static_cast<std::uint8_t>(value & 0xFF);
    p[1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

// Reads a whole image block by block into `image`; false at the first failed
// request or when cancelled (nothing more is sent then), recorded with its
// step. A display that announces 0 bytes has no image to give: its read is
// ended and fails, so that an empty image never passes for one.
bool ReadBlocks(CDisplaySession& s, void* binary, const stBlockCodes& codes,
                std::vector<std::uint8_t>& image) {
    int total = 0;
    if (s.Cancelled() || !RequestSize(s, binary, codes.start, total)) {
        s.Fail(codes.startStep);
        return false;
    }
    image.assign(static_cast<std::size_t>(total), 0);
    Reply reply;
    int index = 0;
    for (int offset = 0; offset < total; offset += kBlockSize) {
        const int length = std::min(kBlockSize, total - offset);
        std::uint8_t params[4];
        PutLe16(params, offset);
        PutLe16(params + 2, length);
        if (s.Cancelled() ||
            !s.Request(binary, codes.block, params, 4, reply, length, AtOffset(codes.block, offset))) {
            s.Fail(codes.blockStep);
            return false;
        }
        std::memcpy(image.data() + offset, reply, static_cast<std::size_t>(length));
        s.Progress().SetPos(BlockProgress(++index, total));
    }
    if (!s.Request(binary, codes.end, nullptr, 0, reply, 0, Code(codes.end))) {
        s.Fail(codes.endStep);
        return false;
    }
    if (total == 0) {
        s.Fail(Reason::kRefused, codes.startStep,
               Code(codes.start) + ": the display announced a " + codes.image + " of 0 bytes");
        return false;
    }
    return true;
}

}  // namespace

void ResetLog(CQuendraLog& log) {
    log.Validate(0);
    log.ResetDecoded();
    log.SetLogData(nullptr, 0);
    log.m_decodeError.reset();
}

int BlockProgress(int index, int totalBytes) {
    const int blocks = totalBytes < kBlockSize ? 1 : totalBytes / kBlockSize;
    const double step = static_cast<double>(kTransferRange) / blocks;
    return static_cast<int>(index * step);
}

bool SetLogRecord(CDisplaySession& s, void* control, int displayId, bool resume) {
    bool third = false;
    for (int i = 0; i < 3; ++i) third = s.Command(control, "");
    if (!third) return false;
    if (displayId != 0 && !s.Command(control, "IDSL" + std::to_string(displayId))) return false;
    if (resume) return ResumeLogRecord(s, control);
    s.Command(control, "SRLG0000");
    return true;
}

bool SendUntilAccepted(CDisplaySession& s, void* control, const std::string& command) {
    constexpr int kSends = 2;
    for (int i = 0; i < kSends; ++i)
        if (s.Command(control, command)) return true;
    return false;
}

bool ResumeLogRecord(CDisplaySession& s, void* control) {
    return SendUntilAccepted(s, control, "SRLG0001");
}

bool SetBinMode(CDisplaySession& s, void* control, int displayId) {
    if (displayId == 0) return s.Command(control, "FIRM0000");
    const std::string query = "Command:BNMD" + std::to_string(displayId);
    std::string reply;
    if (!s.QueryString(control, query, reply)) return false;
    if (reply == "BNMD9999") return true;
    s.Note(Reason::kRefused, "\"" + query + "\" answered \"" + reply + "\", not \"BNMD9999\"");
    return false;
}

bool EndBinMode(CDisplaySession& s, void* binary, int displayId) {
    const std::uint8_t id = static_cast<std::uint8_t>(displayId);
    Reply reply;
    return s.Request(binary, kLeaveBinary, &id, 1, reply, 0, Code(kLeaveBinary));
}

bool GetBinLogs(CDisplaySession& s, void* binary, CQuendraLog& log) {
    ResetLog(log);
    log.m_strPcTime = cmn::TimeToDigits12(std::time(nullptr));
    std::vector<std::uint8_t> image;
    if (!ReadBlocks(s, binary, kLogRead, image)) return false;
    log.SetLogData(image.data(), image.size());
    // Present from here on, also when decoding fails: the raw image can be saved.
    log.m_bValid = 1;
    if (!log.ParseLogData(log.m_pData.data(), log.m_nDataSize)) {
        s.Fail(Reason::kCorrupted, Step::kLogDecode,
               log.m_decodeError ? DecodeErrorLine(*log.m_decodeError) : "the log does not decode");
        return false;
    }
    log.CreateList();
    return true;
}

bool GetBinNvramData(CDisplaySession& s, void* binary, const std::filesystem::path& file) {
    std::vector<std::uint8_t> image;
    if (!ReadBlocks(s, binary, kNvramRead, image)) return false;
    const std::string_view bytes(reinterpret_cast<const char*>(image.data()), image.size());
    std::string error;
    if (cmn::WriteFileAtomic(file, bytes, &error)) return true;
    s.Fail(Reason::kFileError, Step::kWriteFile, error);
    return false;
}

bool SetBinNvramData(CDisplaySession& s, void* binary, const std::filesystem::path& file) {
    std::string image;
    if (!cmn::ReadFileBytes(file, image, kMaxImageBytes)) {
        s.Fail(Reason::kFileError, Step::kReadFile,
               file.string() + ": cannot be read as a file of at most " + std::to_string(kMaxImageBytes) +
                   " bytes");
        return false;
    }
    const int total = static_cast<int>(image.size());
    int displaySize = 0;
    if (s.Cancelled() || !RequestSize(s, binary, kNvramWriteStart, displaySize)) {
        s.Fail(Step::kNvramWriteSize);
        return false;
    }
    // An empty image is nothing to write: a display announcing 0 bytes has no NVRAM to take it.
    if (displaySize != total || total == 0) {
        s.Fail(Reason::kSizeMismatch, Step::kNvramWriteSize,
               cmn::StrPrintf("the display's NVRAM holds %d bytes, the file %d", displaySize, total));
        return false;
    }

    Reply reply;
    std::vector<std::uint8_t> params(2 + kBlockSize);
    int index = 0;
    for (int offset = 0; offset < total; offset += kBlockSize) {
        const int length = std::min(kBlockSize, total - offset);
        std::fill(params.begin(), params.end(), 0);
        PutLe16(params.data(), offset);
        std::memcpy(params.data() + 2, image.data() + offset, static_cast<std::size_t>(length));
        if (s.Cancelled() ||
            !s.Request(binary, kNvramWriteBlock, params.data(), static_cast<int>(params.size()), reply, 0,
                       AtOffset(kNvramWriteBlock, offset))) {
            s.Fail(Step::kNvramWriteBlock);
            return false;
        }
        s.Progress().SetPos(BlockProgress(++index, total));
    }
    if (!s.Request(binary, kNvramWriteEnd, nullptr, 0, reply, 0, Code(kNvramWriteEnd))) {
        s.Fail(Step::kNvramWriteEnd);
        return false;
    }
    return true;
}

}  // namespace acq
