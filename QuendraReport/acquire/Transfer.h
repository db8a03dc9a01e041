#pragma once
// The transfer methods of the log object: switching a display between its
// text and binary modes and moving its log memory and NVRAM image in
// 1024-byte blocks, over a session (Session.h). Each returns true on success;
// on failure the session holds why, and the block transfers record it with
// their step. A failed request stops a block sequence at once (no end code
// is sent).
//
// Replies are checked for their length: a size reply shorter than 2 bytes,
// or a block reply shorter than the block asked for, is a failed request. A
// size of 0 is a failure for every transfer: a read sends its end code and
// fails (no log, no file), a write sends nothing after 0x47.
// The session's cancel flag is read before each request of a block
// sequence; a set flag fails the sequence like a failed request.
// Not thread-safe: one command uses one log at a time. Nothing throws.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "acquire/Session.h"
#include "syslog/QuendraLog.h"

namespace acq {

constexpr int kBlockSize = 1024;
constexpr int kTransferRange = 12;

// Empties a log: not present, no model or serial number, no image, nothing
// decoded, no acquisition time.
void ResetLog(CQuendraLog& log);

// Three empty commands (the third result counts), "IDSL<id>" when an ID is
// given; then "SRLG0000" (resume false, its result ignored) or, with resume
// true, ResumeLogRecord. False (nothing more sent) when the third empty
// command or IDSL failed, or when logging could not be put back on.
bool SetLogRecord(CDisplaySession& s, void* control, int displayId, bool resume);
// A command that puts the display back in its normal state, sent once more
// when the display refused it or its reply was lost (the text link connects
// again by itself after a time-out). True when it was accepted.
bool SendUntilAccepted(CDisplaySession& s, void* control, const std::string& command);
// "SRLG0001" through SendUntilAccepted: a display must not be left with its
// logging off.
bool ResumeLogRecord(CDisplaySession& s, void* control);
// With an ID: the query "Command:BNMD<id>" must answer exactly "BNMD9999";
// without: "FIRM0000" must be accepted.
bool SetBinMode(CDisplaySession& s, void* control, int displayId);
// Request 0xF0 with one byte, the display ID (0 for none).
bool EndBinMode(CDisplaySession& s, void* binary, int displayId);

// 0x40 / 0x41 blocks / 0x42 into `log`, which first loses what it held
// (record list, decoded texts, image) and takes the acquisition time (the
// local time now, "%y%m%d%H%M%S"). When every block arrived the image
// becomes the log's data and the log is marked present (m_bValid 1, also
// when decoding then fails, so the raw image can still be saved); it is
// decoded and its record list built. True only when the transfer and the
// decoding succeeded; a decoding failure is recorded as a corrupted reply
// at log-decode (the log keeps the decoder's reason).
bool GetBinLogs(CDisplaySession& s, void* binary, CQuendraLog& log);
// 0x44 / 0x45 blocks / 0x46, then the image as `file` (a folder's
// "NvramDump1.bin"), replaced atomically. A failed transfer or write leaves
// no partial file and keeps an earlier dump; a write that failed is recorded
// as a file error at write-file.
bool GetBinNvramData(CDisplaySession& s, void* binary, const std::filesystem::path& file);
// The whole file (a regular file of at most 65,535 bytes; else a file error
// at read-file), then 0x47 (its size must equal the display's, else a size
// mismatch and nothing more is sent), 0x48 blocks of offset + 1024 bytes (a
// short last block padded with zeros, never read beyond the image), 0x49.
bool SetBinNvramData(CDisplaySession& s, void* binary, const std::filesystem::path& file);

// Progress position after the i-th block (from 1) of an image of
// `totalBytes`: floor(i * 12.0 / blocks) with blocks = 1 below 1024 bytes,
// else totalBytes / 1024 (so a 1,500-byte image posts 12, then 24).
int BlockProgress(int index, int totalBytes);

// "NvramDump1.bin".
extern const char* const kNvramDumpName;
// The largest log or NVRAM image a 2-byte size can announce.
constexpr std::size_t kMaxImageBytes = 0xFFFF;

}  // namespace acq
