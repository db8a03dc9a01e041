#pragma once
// The transfer methods of the log object: switching a display between its
// text and binary modes and moving its log memory and NVRAM image in
// 1024-byte blocks. Each returns true on success. A failed request stops a
// block sequence at once (no end code is sent).
//
// Replies are checked for their length: the reply buffer is cleared before
// each request, and a size reply shorter than 2 bytes, or a block reply
// shorter than the block asked for, is a failed request. A size of 0 is a
// failure for every transfer: a read sends its end code and fails (no log,
// no file), a write sends nothing after 0x47.
// `cancel` (may be null; read atomically, see linkio/Cancel.h) is read before
// each request of a block sequence; a set flag fails the sequence like a
// failed request (the caller reports it as cancelled).
// Not thread-safe: one worker uses one log at a time. Nothing throws.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "acquire/Progress.h"
#include "link/DisplayLink.h"
#include "syslog/QuendraLog.h"

namespace acq {

constexpr int kBlockSize = 1024;
constexpr int kTransferRange = 12;

// Empties the current log: not present, no model or serial number, no
// image, nothing decoded, no acquisition time.
void ResetLog(CQuendraLog& log);

// Three empty commands (the third result counts), "IDSL<id>" when an ID is
// given; then "SRLG0000" (resume false, its result ignored) or, with resume
// true, ResumeLogRecord. False (nothing more sent) when the third empty
// command or IDSL failed, or when logging could not be put back on.
bool SetLogRecord(qlink::IDisplayLink& link, void* control, int displayId, bool resume);
// A command that puts the display back in its normal state, sent once more
// when the display refused it or its reply was lost (the text link connects
// again by itself after a time-out). True when it was accepted.
bool SendUntilAccepted(qlink::IDisplayLink& link, void* control, const std::string& command);
// "SRLG0001" through SendUntilAccepted: a display must not be left with its
// logging off.
bool ResumeLogRecord(qlink::IDisplayLink& link, void* control);
// With an ID: the query "Command:BNMD<id>" must answer exactly "BNMD9999";
// without: "FIRM0000" must be accepted.
bool SetBinMode(qlink::IDisplayLink& link, void* control, int displayId);
// Request 0xF0 with one byte, the display ID (0 for none).
bool EndBinMode(qlink::IDisplayLink& link, void* binary, int displayId);

// 0x40 / 0x41 blocks / 0x42. Starts by clearing what the log held (record
// list, decoded texts, image) and taking the acquisition time (the local time
// now, "%y%m%d%H%M%S"). When every block arrived the image becomes the log's
// data and the log is marked present (m_bValid 1, also when decoding then
// fails, so the raw image can still be saved); it is decoded and its record
// list built. True only when the transfer and the decoding succeeded.
bool GetBinLogs(qlink::IDisplayLink& link, void* binary, CQuendraLog& log, IProgress& progress,
                const int* cancel = nullptr);
// 0x44 / 0x45 blocks / 0x46, then the image as `file` (the folder's
// "NvramDump1.bin"), replaced atomically. A failed transfer or write leaves no
// partial file and keeps an earlier dump. `writeFailed` (may be null) is set
// to true when the image arrived but the file could not be written.
bool GetBinNvramData(qlink::IDisplayLink& link, void* binary, const std::filesystem::path& file,
                     IProgress& progress, const int* cancel = nullptr, bool* writeFailed = nullptr);
// The whole file (a regular file of at most 65,535 bytes), then 0x47 (its
// size must equal the display's, else nothing more is sent), 0x48 blocks of
// offset + 1024 bytes (a short last block padded with zeros, never read
// beyond the image), 0x49.
bool SetBinNvramData(qlink::IDisplayLink& link, void* binary, const std::filesystem::path& file,
                     IProgress& progress, const int* cancel = nullptr);

// Progress position after the i-th block (from 1) of an image of
// `totalBytes`: floor(i * 12.0 / blocks) with blocks = 1 below 1024 bytes,
// else totalBytes / 1024 (so a 1,500-byte image posts 12, then 24).
int BlockProgress(int index, int totalBytes);

// "NvramDump1.bin".
extern const char* const kNvramDumpName;
// The largest log or NVRAM image a 2-byte size can announce.
constexpr std::size_t kMaxImageBytes = 0xFFFF;

}  // namespace acq
