#include "link/RecordingDisplayLink.h"

#include <Dakoral.h>
#include <QuendraControl.h>

#include <algorithm>
#include <cstring>

#include "common/strutil.h"

namespace qlink {

namespace {

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// "41 00000004", "48 0000 +1024": the code and up to four parameter bytes;
// of a longer list the first two (a block write's offset) and the count of the rest.
std::string BinaryLine(std::uint8_t command, const std::uint8_t* params, int paramLen) {
    std::string line = cmn::StrPrintf("Dk(%02X", command);
    const int shown = paramLen > 4 ? 2 : paramLen;
    if (shown > 0) line += ' ';
    for (int i = 0; i < shown; ++i) line += cmn::StrPrintf("%02X", params[i]);
    if (paramLen > shown) line += cmn::StrPrintf(" +%d", paramLen - shown);
    return line + ")";
}

int Le16(const std::uint8_t* p) {
    return p[0] | (p[1] << 8);
}

void PutSize(std::vector<std::uint8_t>& data, std::size_t size) {
    data = {static_cast<std::uint8_t>(size & 0xFF), static_cast<std::uint8_t>((size >> 8) & 0xFF)};
}

// A block of `image` at offset/length, or false when it lies outside.
bool ReadBlock(const std::vector<std::uint8_t>& image, const std::uint8_t* params, int paramLen,
               std::vector<std::uint8_t>& data) {
    if (paramLen != 4) return false;
    const std::size_t offset = static_cast<std::size_t>(Le16(params));
    const std::size_t length = static_cast<std::size_t>(Le16(params + 2));
    if (length == 0 || length > 1024 || offset + length > image.size()) return false;
    data.assign(image.begin() + static_cast<std::ptrdiff_t>(offset),
                image.begin() + static_cast<std::ptrdiff_t>(offset + length));
    return true;
}

}  // namespace

RecordingDisplayLink::RecordingDisplayLink() {
    logImage.assign(1024, 0x5A);
    nvramImage.resize(4096);
    for (std::size_t i = 0; i < nvramImage.size(); ++i) nvramImage[i] = static_cast<std::uint8_t>(i * 7 + 1);
}

void RecordingDisplayLink::Answer(const std::string& call, const stLinkAnswer& answer, int occurrence) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_answers[{call, occurrence}] = answer;
}

void RecordingDisplayLink::Fail(const std::string& call, int occurrence) {
    stLinkAnswer a;
    a.nResult = 1;
    a.bNullHandle = true;
    Answer(call, a, occurrence);
}

std::vector<std::string> RecordingDisplayLink::Calls() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
}

void RecordingDisplayLink::ClearCalls() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.clear();
    m_seen.clear();
}

int RecordingDisplayLink::OpenHandles() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_open.size());
}

int RecordingDisplayLink::BadCloses() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_badCloses;
}

const stLinkAnswer* RecordingDisplayLink::Record(const std::string& line) {
    if (onCall) onCall(line);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back(line);
    const int nth = ++m_seen[line];
    auto it = m_answers.find({line, nth});
    if (it == m_answers.end()) it = m_answers.find({line, 0});
    return it == m_answers.end() ? nullptr : &it->second;
}

void* RecordingDisplayLink::NewHandle(char kind) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::uintptr_t h = m_nextHandle;
    m_nextHandle += 0x10;
    m_open[h] = kind;
    return reinterpret_cast<void*>(h);
}

bool RecordingDisplayLink::CloseHandle(void* handle, char kind) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_open.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == m_open.end() || it->second != kind) {
        ++m_badCloses;
        return false;
    }
    m_open.erase(it);
    return true;
}

void RecordingDisplayLink::NoteFailure(const stLinkAnswer* answer, bool binary) {
    std::lock_guard<std::mutex> lock(m_mutex);
    (binary ? m_lastBinary : m_lastText) =
        answer ? std::pair{answer->nErrorCode, answer->strErrorText} : std::pair{0, std::string()};
}

namespace {
stLinkError Explain(const std::pair<int, std::string>& last, int code, LinkFault (*fault)(int)) {
    if (last.first == 0) return {fault(code), ""};
    return {fault(last.first), last.second};
}
}  // namespace

stLinkError RecordingDisplayLink::QnLastError(int code) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return Explain(m_lastText, code, &TextFault);
}

stLinkError RecordingDisplayLink::DkLastError(int code) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return Explain(m_lastBinary, code, &BinaryFault);
}

void* RecordingDisplayLink::QnOpenEx(const std::string& port, const std::string& user,
                                     const std::string& password, std::uint32_t flags) {
    const stLinkAnswer* a = Record(
        cmn::StrPrintf("QnOpenEx(%s,%s,%s,0x%08X)", port.c_str(), user.c_str(), password.c_str(), flags));
    if (a && a->bNullHandle) {
        NoteFailure(a, false);
        return nullptr;
    }
    return NewHandle('Q');
}

void* RecordingDisplayLink::QnOpenIF(const std::string& port, const std::string& user,
                                     const std::string& password, int displayId, int baud) {
    const stLinkAnswer* a = Record(cmn::StrPrintf("QnOpenIF(%s,%s,%s,%d,%d)", port.c_str(), user.c_str(),
                                                  password.c_str(), displayId, baud));
    if (a && a->bNullHandle) {
        NoteFailure(a, false);
        return nullptr;
    }
    return NewHandle('Q');
}

void RecordingDisplayLink::QnClose(void* handle) {
    Record("QnClose");
    CloseHandle(handle, 'Q');
}

int RecordingDisplayLink::QnSetCommand(void*, const std::string& text) {
    const stLinkAnswer* a = Record("QnSet(" + Quoted(text) + ")");
    if (a && a->nResult != 0) NoteFailure(a, false);
    return a ? a->nResult : 0;
}

int RecordingDisplayLink::QnGetStringEx(void*, const std::string& query, std::string& reply) {
    const stLinkAnswer* a = Record("QnGetString(" + Quoted(query) + ")");
    reply.clear();
    if (a) {
        if (a->nResult == 0)
            reply = a->strText.substr(0, kTextReplyBuffer - 1);
        else
            NoteFailure(a, false);
        return a->nResult;
    }
    if (query.rfind("Command:BNMD", 0) == 0) reply = "BNMD9999";
    return 0;
}

int RecordingDisplayLink::QnGetNumber(void*, const std::string& query, int& value) {
    const stLinkAnswer* a = Record("QnGetNumber(" + Quoted(query) + ")");
    if (a) {
        if (a->nResult == 0)
            value = a->nNumber;
        else
            NoteFailure(a, false);
        return a->nResult;
    }
    value = 0;
    return 0;
}

void* RecordingDisplayLink::DkOpenIF(const std::string& port, int a, int b, int baud) {
    const stLinkAnswer* ans = Record(cmn::StrPrintf("DkOpen(%s,%d,%d,%d)", port.c_str(), a, b, baud));
    if (ans && ans->bNullHandle) {
        NoteFailure(ans, true);
        return nullptr;
    }
    return NewHandle('D');
}

void RecordingDisplayLink::DkClose(void* handle) {
    Record("DkClose");
    CloseHandle(handle, 'D');
}

void RecordingDisplayLink::BuiltInReply(std::uint8_t command, const std::uint8_t* params, int paramLen,
                                        int& result, std::vector<std::uint8_t>& data) {
    std::lock_guard<std::mutex> lock(m_mutex);
    result = 0;
    data.clear();
    switch (command) {
        case 0x40:
            PutSize(data, logImage.size());
            return;
        case 0x44:
            PutSize(data, nvramImage.size());
            return;
        case 0x41:
            if (!ReadBlock(logImage, params, paramLen, data)) result = 1;
            return;
        case 0x45:
            if (!ReadBlock(nvramImage, params, paramLen, data)) result = 1;
            return;
        case 0x47:
            PutSize(data, nvramImage.size());
            m_staged.assign(nvramImage.size(), 0);
            m_writing = true;
            return;
        case 0x48: {
            if (!m_writing || paramLen != 2 + 1024) {
                result = 1;
                return;
            }
            const std::size_t offset = static_cast<std::size_t>(Le16(params));
            if (offset >= m_staged.size()) {
                result = 1;
                return;
            }
            const std::size_t n = std::min<std::size_t>(1024, m_staged.size() - offset);
            std::memcpy(m_staged.data() + offset, params + 2, n);
            return;
        }
        case 0x49:
            if (!m_writing) {
                result = 1;
                return;
            }
            writtenNvram = m_staged;
            m_writing = false;
            return;
        case 0x42:
        case 0x46:
        case 0xF0:
            return;
        default:
            result = 1;
            return;
    }
}

int RecordingDisplayLink::DkGetData(void*, std::uint8_t command, const std::uint8_t* params, int paramLen,
                                    std::uint8_t (&reply)[kBinReplyBuffer], int& replyLen) {
    const stLinkAnswer* a = Record(BinaryLine(command, params, paramLen));
    std::memset(reply, 0, sizeof reply);
    replyLen = 0;
    int result = 0;
    std::vector<std::uint8_t> data;
    if (a && (a->nResult != 0 || a->bHasData)) {
        result = a->nResult;
        data = a->data;
        if (result != 0) NoteFailure(a, true);
    } else {
        BuiltInReply(command, params, paramLen, result, data);
        if (result != 0) {
            stLinkAnswer refused;
            refused.nErrorCode = DAKR_ERR_REFUSED;
            refused.strErrorText = cmn::StrPrintf("the display refused 0x%02X", command);
            NoteFailure(&refused, true);
        }
    }
    if (result != 0) return result;
    const std::size_t n = std::min<std::size_t>(data.size(), kBinReplyBuffer);
    if (n > 0) std::memcpy(reply, data.data(), n);
    replyLen = a && a->nReplyLen >= 0 ? a->nReplyLen : static_cast<int>(n);
    return 0;
}

stLinkAnswer FaultAnswer(ScriptedFault fault, bool binary) {
    stLinkAnswer a;
    a.nResult = binary ? DAKR_ERR_FAILED : 0;
    a.bNullHandle = true;
    switch (fault) {
        case ScriptedFault::kNoConnect:
            a.nErrorCode = binary ? DAKR_ERR_OPEN : QNCTRL_ERR_CONNECT;
            a.strErrorText = "cannot connect to 127.0.0.9:10008: Connection refused";
            break;
        case ScriptedFault::kLogin:
            a.nErrorCode = QNCTRL_ERR_LOGIN;
            a.strErrorText = "login refused: Login incorrect";
            break;
        case ScriptedFault::kDropped:
            a.nResult = binary ? DAKR_ERR_FAILED : QNCTRL_ERR_TIMEOUT;
            a.nErrorCode = binary ? DAKR_ERR_TIMEOUT : 0;
            break;
        case ScriptedFault::kRefused:
            a.nResult = binary ? DAKR_ERR_FAILED : QNCTRL_ERR_REFUSED;
            a.nErrorCode = binary ? DAKR_ERR_REFUSED : 0;
            break;
        case ScriptedFault::kCorrupted:
            a.nResult = binary ? DAKR_ERR_FAILED : QNCTRL_ERR_VALUE;
            a.nErrorCode = binary ? DAKR_ERR_DAMAGED : 0;
            a.strErrorText = "the reply failed its checksum (0x12, its bytes give 0x34)";
            break;
        case ScriptedFault::kClosed:
            a.nResult = binary ? DAKR_ERR_FAILED : QNCTRL_ERR_LINK;
            a.nErrorCode = binary ? DAKR_ERR_CLOSED : 0;
            break;
        case ScriptedFault::kShort:
        case ScriptedFault::kZero:
            a = {};
            a.bHasData = true;
            a.data = fault == ScriptedFault::kShort ? std::vector<std::uint8_t>{0x00}
                                                    : std::vector<std::uint8_t>{0, 0};
            break;
        case ScriptedFault::kLanRetryOver:
        case ScriptedFault::kNone:
            break;
    }
    return a;
}

}  // namespace qlink
