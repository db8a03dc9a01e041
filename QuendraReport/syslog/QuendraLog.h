#pragma once
// The report program's log object: the display's log data block, its checks
// and its decoding into a header, four system log groups, the record list and
// the temperature section (kept as hexadecimal text).
//
// Block layout (integers little-endian):
//   file version (2 or 5) | model (zero-terminated, field of 16) | serial (16)
//   | version entry count | entries: name (31), value (21)
//   | file version 2: clock (6) usage time (4, signed) display id (1)
//   | file version 5: typed entry count | entries: type, name (31), value by type
//   | system log format version (2 or 3)
//   | 4 x { record count (2), records of 10 bytes: kind, 9-byte body }
//   | temperature section (format version 4 or 5) | CRC-16 of all before it (2)
//
// A decoding failure makes the decoding fail and is kept in m_decodeError
// (the text and the address of the message the user is shown,
// DecodeErrorMessage); the caller shows it. The decoder never reads beyond
// the block.
// Not thread-safe: a log object belongs to one thread at a time.

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/IniManaged.h"
#include "common/crc16.h"
#include "syslog/LogRecord.h"

// The log data's check value under the name the decoder uses (see common/crc16.h).
class CCRC16 {
public:
    static std::uint16_t ComputeCrc16(const std::uint8_t* data, std::uint32_t length, std::uint16_t init) {
        return cmn::Crc16(data, length, init);
    }
};

// The information entries of a log (m_strInfo: "name,value" joined by TAB),
// each split at its first comma; views into `info`. An empty text has none.
std::vector<std::pair<std::string_view, std::string_view>> InfoEntries(std::string_view info);

// Why a block or file did not decode.
struct stDecodeError {
    std::string strWhat;    // "Check sum error.", "File size error.", ...
    bool bAddress = false;  // the failure has an address in the block
    std::size_t nAddress = 0;
};
// The message shown for it: "Error address:0x%X\n" (uppercase hexadecimal)
// followed by the text, or the text alone without an address.
std::string DecodeErrorMessage(const stDecodeError& error);
// The same in one line: "Check sum error. (address 0x3FE)".
std::string DecodeErrorLine(const stDecodeError& error);

class CQuendraLog {
public:
    // Loads the settings file of the program directory.
    CQuendraLog();
    // Loads the settings file of `programDir` (tests, callers that know the folder).
    explicit CQuendraLog(const std::filesystem::path& programDir);
    virtual ~CQuendraLog();
    CQuendraLog(const CQuendraLog&) = delete;
    CQuendraLog& operator=(const CQuendraLog&) = delete;

    // Files larger than this are refused (a real log is at most 65,535 bytes).
    static constexpr std::uintmax_t kMaxFileSize = 16u * 1024u * 1024u;
    // Files smaller than this are refused.
    static constexpr std::uintmax_t kMinFileSize = 100;

    // Reads a log data file and decodes it; 1 on success. A file that cannot
    // be opened gives 0 without a decoding error.
    int ReadBin(const std::filesystem::path& path);
    // The same for the bytes of a log data file read elsewhere (a pipe).
    int ReadBytes(std::vector<std::uint8_t> bytes);
    // Checks and decodes a block (m_nFileVersion, header strings, records,
    // m_strTempHex); 1 on success, 0 with the reason in m_decodeError.
    int ParseLogData(const std::uint8_t* data, int length);
    // Rebuilds m_listLog from the decoded records (empty when m_bValid is 0).
    void CreateList();
    // Writes the held block to `path`, replacing the file whole (temporary
    // file beside it, then rename); 1 on success. On failure 0, and a file
    // already at `path` stays as it was; `error` (may be null) gets the path
    // and the system's message.
    int SaveLogData(const std::filesystem::path& path, std::string* error = nullptr) const;
    // Sets m_bValid; with 0 also empties model name and serial number.
    void Validate(int flag);
    // Empties everything an earlier decoding or acquisition left behind: the
    // record lists, information text, temperature text, display and PC clock
    // texts, the failure reason. Call before decoding a new block.
    void ResetDecoded();
    // Replaces the held block with a copy of `data` (m_pData, m_nDataSize).
    void SetLogData(const std::uint8_t* data, std::size_t length);

    // PC clock minus display clock in seconds; 0 when either text is not a time.
    void GetTimeGap(std::int64_t& span) const;
    // Twelve digits "YYMMDDhhmmss" to a local standard time; 0 (time unchanged)
    // for a shorter text, a non-digit, month 0 or day 0.
    static int Date2Time(std::time_t& time, std::string_view text);
    // Display epoch plus the decimal seconds of `text`; always 1.
    static int Log2Time(std::time_t& time, std::string_view text);
    // Splits the first item off `text` at `separator` (see the .cpp); 1 when
    // the item is not empty.
    static int GetItem(std::string& item, std::string& text, char separator);

    // The temperature section as hexadecimal text.
    std::string GetTempLog() const { return m_strTempHex; }


    // Field decoders: read from `p` (the caller guarantees the bytes), write
    // the text or the fields, return the position after the field.
    static const std::uint8_t* GetTimeData(const std::uint8_t* p, std::string& out);        // 6 bytes
    static const std::uint8_t* GetUsageTimeData(const std::uint8_t* p, std::string& out);   // 4 bytes
    static const std::uint8_t* GetIdData(const std::uint8_t* p, std::string& out);          // 1 byte
    // One record (kLogRecordSize bytes: kind byte, then the body).
    static const std::uint8_t* GetLogRecord(const std::uint8_t* p, int group, stLogRecord& out);
    // Record bodies (9 bytes, the lap time first), kinds 1 to 5: the kind's
    // fields after the lap time.
    static const std::uint8_t* GetOperationLogData(const std::uint8_t* p, stOperationLog& out);
    static const std::uint8_t* GetSignalLogData(const std::uint8_t* p, stSignalLog& out);
    static const std::uint8_t* GetPowerLogData(const std::uint8_t* p, stPowerLog& out);
    static const std::uint8_t* GetErrorLogData(const std::uint8_t* p, stAbnormalLog& out);
    static const std::uint8_t* GetDevInfoLogData(const std::uint8_t* p, stDevInfoLog& out);

    // The block; one byte after construction.
    std::vector<std::uint8_t> m_pData;
    CIniManaged m_ini;
    int m_bCheckSum = 1;  // CHECKSUM of the settings file
    // The records of the four groups, group 0 first, in data order; replaced
    // when the groups of a block decode whole.
    std::vector<stLogRecord> m_aryLogRecord;
    // The same records as the list shows them, built by CreateList.
    CLogItemList m_listLog;
    std::string m_strModel;
    std::string m_strSerial;
    std::string m_strInfo;      // "name,value" entries joined by TAB
    std::string m_strPcTime;    // "%y%m%d%H%M%S" PC clock at acquisition
    std::string m_strDispTime;  // display clock, 12 digits
    int m_nFileVersion = 0;
    int m_nDataSize = 0;
    std::string m_strTempHex;
    int m_bValid = 0;
    std::filesystem::path m_strSourceFile;  // kept by the main frame
    // Why the last ReadBin, ReadBytes or ParseLogData failed to decode; empty
    // after one that decoded, or that failed without a decoding error.
    std::optional<stDecodeError> m_decodeError;

private:
    class Reader;

    void Init();
    // Records the reason of a failure in m_decodeError; returns false.
    bool Fail(std::int64_t address, const char* reason);
    // The sections of a block, in order; each stops at the end of the block.
    bool ParseHeader(Reader& r);       // file version, check value, model, serial
    bool ParseInformation(Reader& r);  // version entries, then the typed or fixed entries
    bool ParseTypedEntries(Reader& r);
    bool ParseGroups(Reader& r);       // system log format version, the four groups
    bool ParseTemperatureSection(Reader& r);
};
