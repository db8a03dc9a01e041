#pragma once
// A recording fake of IDisplayLink for tests of the command sequences: it
// answers like a small display (every open succeeds, every command is
// accepted, "Command:BNMD<id>" answers "BNMD9999", block reads come from
// `logImage` and `nvramImage`, a block write lands in `writtenNvram` when
// 0x49 arrives) unless a scripted answer says otherwise, and records every
// call with its arguments as one line of text, so a test can compare the
// exact call order:
//
//   QnOpenEx(COM1,,,0x00010200)      QnOpenIF(LAN1.2.3.4:10008,u,p,5,9600)
//   QnSet("")  QnSet("SRLG0000")     QnGetString("Command:SRNO????")
//   QnGetNumber("Command:BRIG????")  QnClose
//   DkOpen(COM1,5,3,115200)          Dk(41 00000004)  Dk(48 0000 +1024)  DkClose
//
// (Dk lines show the code and its parameter bytes in hexadecimal when there
// are at most four; of a longer list the first two, then "+N" for the rest.)
// A failing answer may carry the reason the library's GetLastError would
// give (QnLastError, DkLastError); a request the built-in display cannot
// serve is refused.
// Thread-safety: calls may come from one worker thread while the test thread
// waits; the recording is guarded, the script is set before the run.

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "link/DisplayLink.h"

namespace qlink {

// A scripted answer to one call line.
struct stLinkAnswer {
    int nResult = 0;                 // 0 success, else the library's failure code
    bool bNullHandle = false;        // opens: return null
    std::string strText;             // QnGetStringEx reply
    int nNumber = 0;                 // QnGetNumber value
    bool bHasData = false;           // DkGetData: reply with `data` instead of the built-in one
    std::vector<std::uint8_t> data;  // DkGetData reply bytes (at most 1152)
    int nReplyLen = -1;              // DkGetData size written back; -1: data.size()
    int nErrorCode = 0;              // a failure: what QNCTRL_/DAKR_GetLastError would give; 0: nothing
    std::string strErrorText;        // ... and its text
};

// How a scripted call fails, as the link libraries report it.
enum class ScriptedFault {
    kNone,
    kNoConnect,     // the open could not connect
    kLogin,         // the display refused the login
    kDropped,       // no reply in time
    kRefused,       // the display refused the request
    kCorrupted,     // a reply that failed its check value
    kClosed,        // the connection closed
    kLanRetryOver,  // the LAN library's general failure, which it does not explain
    kShort,         // a binary reply of one byte
    kZero,          // a size reply of 0
};
// The answer of a text (binary false) or binary call that fails as `fault` says.
stLinkAnswer FaultAnswer(ScriptedFault fault, bool binary);

class RecordingDisplayLink : public IDisplayLink {
public:
    RecordingDisplayLink();

    // Answers the `occurrence`-th call (from 1) whose line equals `call`, or
    // every such call when `occurrence` is 0. A later rule for the same
    // line and occurrence replaces an earlier one.
    void Answer(const std::string& call, const stLinkAnswer& answer, int occurrence = 0);
    // Shortcut: the call fails (opens give null, others result 1).
    void Fail(const std::string& call, int occurrence = 0);

    // Every call so far, in order.
    std::vector<std::string> Calls() const;
    void ClearCalls();
    // Handles opened and not closed yet (0 when every open was closed once).
    int OpenHandles() const;
    // Closes of null, unknown or already closed handles.
    int BadCloses() const;
    // Called with each call line before it is answered (e.g. to set a
    // cancel flag at a chosen request).
    std::function<void(const std::string& call)> onCall;

    // The built-in display.
    std::vector<std::uint8_t> logImage;
    std::vector<std::uint8_t> nvramImage;
    std::vector<std::uint8_t> writtenNvram;  // replaced by a complete 0x47..0x49 write

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

private:
    // Keeps what GetLastError would give after a failing answer.
    void NoteFailure(const stLinkAnswer* answer, bool binary);
    // Records `line` and returns its scripted answer, if any.
    const stLinkAnswer* Record(const std::string& line);
    void* NewHandle(char kind);
    bool CloseHandle(void* handle, char kind);
    void BuiltInReply(std::uint8_t command, const std::uint8_t* params, int paramLen, int& result,
                      std::vector<std::uint8_t>& data);

    mutable std::mutex m_mutex;
    std::vector<std::string> m_calls;
    std::map<std::string, int> m_seen;                              // call line -> times seen
    std::map<std::pair<std::string, int>, stLinkAnswer> m_answers;  // (line, occurrence 0 = every)
    std::map<std::uintptr_t, char> m_open;                          // handle -> 'Q' or 'D'
    std::uintptr_t m_nextHandle = 0x1000;
    int m_badCloses = 0;
    std::vector<std::uint8_t> m_staged;
    bool m_writing = false;
    std::pair<int, std::string> m_lastText, m_lastBinary;  // (GetLastError code, text)
};

}  // namespace qlink
