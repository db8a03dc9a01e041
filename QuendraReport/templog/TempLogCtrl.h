#pragma once
// The temperature log section of a display's log data: its two layouts
// (format versions 4 and 5), the decoded records, the hexadecimal text form
// in which the log object keeps the section, and the control logic that
// decodes the current log's section into one record and builds its page
// text. No Qt here: the widget that shows the record wraps this class, and
// the reports (report/) write its record.
// The static decoders are pure functions, safe from any thread; a control
// object belongs to one thread at a time.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CQuendraLog;

struct stSensorTemp1 {
    int nTemp1 = 0;
};

// In threshold lists: start and stop. In event lists: temperature at the event
// and the maximum reached.
struct stSensorTemp2 {
    int nTemp1 = 0;
    int nTemp2 = 0;
};

// One event of a version 4 history. Power-off events leave the duration unused
// and keep only nTemp1 per sensor.
struct stTempErrorLog {
    std::uint32_t dwTime = 0;  // display seconds; 0: no clock time
    std::uint32_t dwHour = 0;
    std::uint16_t wMinute = 0;
    std::uint32_t dwDurationHour = 0;
    std::uint16_t wDurationMinute = 0;
    std::vector<stSensorTemp2> listTemp;
};

// One event of a version 5 section.
struct stTempErrorLog_V5 {
    std::uint32_t dwTime = 0;
    std::uint32_t dwHour = 0;
    std::vector<stSensorTemp1> listTemp;
};

struct stTempLogV4 {
    int nVersion = 0;
    int nSensorNum = 0;
    int nFanNum = 0;
    int nFanType = 0;
    std::vector<stSensorTemp1> listCurrentTemp;
    int nDirection = 0;
    int nBrightCtrlEnable = 0;
    int nBrightAtHighTemp = 0;
    std::vector<stSensorTemp2> listBrightCtrlThreshold;
    std::vector<stSensorTemp2> listHighTempErrThreshold;
    std::vector<stSensorTemp1> listPowerOffThreshold;
    std::vector<stSensorTemp1> listMinTemp;
    std::vector<stSensorTemp1> listMaxTemp;
    std::uint32_t dwBrightDownTotalTime = 0;
    std::uint32_t dwHighTempTotalTime = 0;
    std::uint32_t dwLowTempTotalTime = 0;
    std::uint16_t wLowTempCount = 0;
    std::uint16_t wBrightDownCount = 0;
    std::vector<stTempErrorLog> aryBrightDownLog;  // five slots after a decode
    std::uint16_t wHighTempCount = 0;
    std::vector<stTempErrorLog> aryHighTempLog;
    std::uint16_t wPowerOffCount = 0;
    std::vector<stTempErrorLog> aryPowerOffLog;
};

struct stTempLogV5 {
    int nVersion = 0;
    int nSensorNum = 0;
    std::vector<stSensorTemp1> listCurrentTemp;
    int nDirection = 0;
    std::vector<stSensorTemp1> listBrightCtrlThreshold;  // -128: sensor unused
    std::vector<stSensorTemp1> listPowerOffThreshold;    // -128: sensor unused
    stTempErrorLog_V5 logBrightDown;
    stTempErrorLog_V5 logPowerOff;
};

class CTempLogCtrl {
public:
    CTempLogCtrl() = default;
    virtual ~CTempLogCtrl() = default;
    CTempLogCtrl(const CTempLogCtrl&) = delete;
    CTempLogCtrl& operator=(const CTempLogCtrl&) = delete;

    // Section lengths the layouts need for N sensors.
    static std::uint32_t SizeV4(int sensors) { return 212u + 33u * static_cast<std::uint32_t>(sensors); }
    static std::uint32_t SizeV5(int sensors) { return 19u + 5u * static_cast<std::uint32_t>(sensors); }

    // The hexadecimal form of common/hex.h under the names the views use.
    // Bytes to lowercase hexadecimal, two digits per byte, high nibble first.
    static void BintoHexAscii(const std::uint8_t* data, int count, std::string& out);
    // Hexadecimal text to bytes. `buffer` gets L = text length zero-filled bytes
    // of which the first ceil(L/2) hold the decoded pairs; `length` reports L.
    // Non-hex characters count as 0; a lone last character is a high nibble.
    // Always returns 1.
    static int HexAsciiToBin(std::vector<std::uint8_t>& buffer, int& length, std::string text);
    // Reads a little-endian 32-bit value; returns p + 4.
    static const std::uint8_t* Get4ByteData(const std::uint8_t* p, std::uint32_t& value);
    // Decode a section into an empty record. Return 0 when the version byte is
    // wrong or the section is shorter than its layout needs; nothing is read
    // beyond `length` bytes.
    static int ReadBin(const std::uint8_t* data, std::uint32_t length, stTempLogV4& out);
    static int ReadBinV5(const std::uint8_t* data, std::uint32_t length, stTempLogV5& out);

    // The log object the control decodes from (not owned; may be null).
    void SetLogObject(CQuendraLog* log) { m_pLog = log; }
    CQuendraLog* GetLogObject() const { return m_pLog; }

    // Decodes the log object's temperature text into the held record.
    // 0 (no record held) when there is no log object, it holds no data, its
    // text is empty or the decoder refuses the section; 1 otherwise (also for
    // a version byte other than 4 or 5, which leaves no record).
    int SetTempLog();

    // The held record (at most one of the two is non-null).
    const stTempLogV4* GetTempLogV4() const { return m_pTempLogV4.get(); }
    const stTempLogV5* GetTempLogV5() const { return m_pTempLogV5.get(); }
    void ClearTempLog() {
        m_pTempLogV4.reset();
        m_pTempLogV5.reset();
    }

    // ---- Page text (TempLogText.cpp) ----
    // Keeps the model folder (nothing else reads it).
    void Initialize(const std::string& folder) { m_strFolder = folder; }
    // Empties the page; for a log with data, decodes its section and builds
    // the page text (CR LF line ends). A null log keeps the previous one.
    void Refresh(CQuendraLog* log);
    const std::string& GetText() const { return m_strText; }
    void LogOutText_V4(const stTempLogV4* log, std::string& text) const;
    void LogOutText_V5(const stTempLogV5* log, std::string& text) const;
    // Clock text of a display time (0: left empty) under the time settings;
    // the page and the reports show the same.
    void Log2TimeText(std::uint32_t time, std::string& text) const;

    int m_bTimeCompensation = 0;  // clock times corrected by the log's clock gap
    int m_bTimeMode = 0;          // uncorrected clock times as time elapsed since 2013-01-01
    std::string m_strFolder;

protected:
    std::string m_strText;  // the page text
    CQuendraLog* m_pLog = nullptr;
    std::unique_ptr<stTempLogV4> m_pTempLogV4;
    std::unique_ptr<stTempLogV5> m_pTempLogV5;
};
