#pragma once
// Between decoded logs and the history archive: a collected log as the
// archive takes it, a saved log file added, and a display's history as a
// log object that the report pipeline (report/) shows and writes like any
// other log.
// Thread-safety: the functions touch only their arguments (and the process's
// time zone, read).

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>

#include "archive/HistoryArchive.h"
#include "syslog/QuendraLog.h"

namespace hist {

// A digest of bytes (64-bit FNV-1a): with the size, it knows a log added again.
std::uint64_t Digest(const std::uint8_t* data, std::size_t size);

// The collection of a log that decoded (ReadBin or ReadBytes gave 1),
// collected at `collected` from `source`. False with why when the log names
// no serial number: its records could not be told from another display's.
bool CollectionFromLog(const CQuendraLog& log, std::time_t collected, const std::string& source,
                       stCollection& collection, std::string& error);

// A display's history as a decoded log: its model and serial number; the
// newest collection's information entries, display clock, temperature
// section and time (as the PC time of the reading); every record of the
// history as its record list, in the history's order.
void HistoryToLog(const stDisplayHistory& history, CQuendraLog& log);

// One saved log file added to an archive.
struct stFileAdd {
    stDisplayKey display;  // as the log names it (empty when it did not decode)
    std::time_t tCollected = 0;
    stAddResult result;
    std::string strError;  // why it was not added: the decoder's reason, the archive's
};
// Reads `file` with `decoder` (whose settings say whether the check value
// is tested) and adds it; its collection time is the one stamped in its name
// (MODEL_SERIAL_YYYYmmdd-HHMMSS.dat), else the time it was last written.
// With `examine`, only says what the add would do. False when it was not
// added (the reason in out.strError).
bool AddLogFile(IHistoryArchive& archive, CQuendraLog& decoder, const std::filesystem::path& file, bool examine,
                stFileAdd& out);

}  // namespace hist
