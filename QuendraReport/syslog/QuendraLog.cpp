#include "syslog/QuendraLog.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/hex.h"
#include "common/loglayout.h"
#include "common/strutil.h"
#include "common/textfile.h"
#include "common/timeutil.h"

namespace {

namespace L = cmn::loglayout;
using L::kEntryNameField;
using L::kEntryValueField;
using L::kModelField;
using L::kSerialField;
constexpr std::size_t kBodySize = L::kRecordBodySize;

const char* const kFileVersionError = "File version error.";
const char* const kCheckSumError = "Check sum error.";
const char* const kModelError = "Check Model error.";
const char* const kSyslogVersionError = "System log format version error.";
const char* const kTempVersionError = "Temperature log format version error.";
const char* const kSizeError = "File size error.";

// Models whose file version 2 logs are accepted.
const char* const kVersion2Models[] = {"QM-X001", "QM-X002", "QM-X003", "QM-X004", "QM-X005"};

std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// A display clock byte as it is shown: two digits, "00" for 100 and above.
int ClockField(std::uint8_t b) { return b < 100 ? b : 0; }

// The clock "%Y/%m/%d %H:%M"; a clock with month or day 0 is shown as time value 0.
std::string FormatDisplayClock(const std::uint8_t* p) {
    const int month = ClockField(p[1]);
    const int day = ClockField(p[2]);
    std::time_t t = 0;
    if (month != 0 && day != 0) {
        t = cmn::LocalTime(2000 + ClockField(p[0]), month, day, ClockField(p[3]), ClockField(p[4]), ClockField(p[5]));
        if (t == static_cast<std::time_t>(-1)) t = 0;
    }
    return cmn::FormatLocal(t, "%Y/%m/%d %H:%M");
}

// A display clock: its text for the information entries, and its twelve
// digits, kept as the display's clock at acquisition.
const std::uint8_t* GetClock(const std::uint8_t* p, std::string& text, std::string& digits) {
    text = FormatDisplayClock(p);
    return CQuendraLog::GetTimeData(p, digits);
}

// The fields of one record body, read by a body decoder of the log object.
template <typename Fields>
Fields Body(const std::uint8_t* body, const std::uint8_t* (*decode)(const std::uint8_t*, Fields&)) {
    Fields fields;
    decode(body, fields);
    return fields;
}

void AppendEntry(std::string& info, std::string_view name, std::string_view value) {
    if (!info.empty()) info.push_back('\t');
    info.append(name);
    info.push_back(',');
    info.append(value);
}

// The list's view of a record, one overload per kind.
void Fill(stLogItem&, std::monostate) {}

void Fill(stLogItem& item, const stOperationLog& op) {
    item.nInput = op.nInput;
    item.nSubType = op.nType;
    item.nCode = op.wCode;
    item.nParamCount = 2;
    item.nParam1 = op.nParam1;
    item.nParam2 = op.nParam2;
}

void Fill(stLogItem& item, const stSignalLog& sig) {
    item.nInput = sig.nInput;
    item.nSubType = sig.nStatus;
    cmn::AppendDecimal(item.strText, sig.wWidth);
    item.strText.push_back('x');
    cmn::AppendDecimal(item.strText, sig.wHeight);
    item.strText.push_back('@');
    cmn::AppendDecimal(item.strText, sig.nRate);
}

void Fill(stLogItem& item, const stPowerLog& power) {
    item.nCode = power.nReason;
    item.nInput = -1;
}

void Fill(stLogItem& item, const stAbnormalLog& ab) {
    item.nInput = ab.nInput;
    item.nCode = ab.nCode;
    item.nParamCount = 2;
    item.nParam1 = ab.wParam1;
    item.nParam2 = ab.nParam2;
}

void Fill(stLogItem& item, const stDevInfoLog& dev) {
    item.nDevInfoType = dev.nType;
    item.nDevInfoId = dev.nId;
    item.nParamCount = 2;
    item.nParam1 = dev.wParam1;
    item.nParam2 = dev.wParam2;
}

}  // namespace

// Bounds-checked reading of a block. Every read that would run past the end
// fails with "File size error." naming the first missing byte.
class CQuendraLog::Reader {
public:
    Reader(CQuendraLog& log, const std::uint8_t* data, std::size_t length)
        : m_log(log), m_data(data), m_length(length) {}

    std::size_t Pos() const { return m_pos; }
    std::size_t Length() const { return m_length; }
    const std::uint8_t* Data() const { return m_data; }
    const std::uint8_t* Here() const { return m_data + m_pos; }

    // False (the failure recorded) when fewer than n bytes remain.
    bool Need(std::size_t n) {
        if (m_length - m_pos >= n) return true;
        return m_log.Fail(static_cast<std::int64_t>(m_length), kSizeError);
    }
    void Skip(std::size_t n) { m_pos += std::min(n, m_length - m_pos); }
    bool Byte(int& out) {
        if (!Need(1)) return false;
        out = m_data[m_pos++];
        return true;
    }
    // `n` bytes for `decode`, which reads them and returns the position after them.
    template <typename Decode>
    bool Field(std::size_t n, Decode decode) {
        if (!Need(n)) return false;
        const std::uint8_t* end = decode(Here());
        m_pos = static_cast<std::size_t>(end - m_data);
        return true;
    }

    // A zero-terminated text in a field of at most `field` bytes. Without a
    // terminator within the field the text is empty and the field is skipped
    // whole. Fails when the block ends before a terminator or the field's end.
    bool String(std::size_t field, std::string& out) {
        const std::size_t avail = m_length - m_pos;
        const std::size_t scan = std::min(avail, field);
        const auto* begin = m_data + m_pos;
        const auto* zero = static_cast<const std::uint8_t*>(std::memchr(begin, 0, scan));
        if (zero) {
            out.assign(reinterpret_cast<const char*>(begin), static_cast<std::size_t>(zero - begin));
            m_pos += static_cast<std::size_t>(zero - begin) + 1;
            return true;
        }
        if (!Need(field)) return false;
        out.clear();
        m_pos += field;
        return true;
    }

private:
    CQuendraLog& m_log;
    const std::uint8_t* m_data;
    std::size_t m_length;
    std::size_t m_pos = 0;
};

std::vector<std::pair<std::string_view, std::string_view>> InfoEntries(std::string_view info) {
    std::vector<std::pair<std::string_view, std::string_view>> entries;
    if (info.empty()) return entries;
    for (;;) {
        const std::size_t tab = info.find('\t');
        const std::string_view entry = info.substr(0, tab);
        const std::size_t comma = entry.find(',');
        entries.emplace_back(entry.substr(0, comma),
                             comma == std::string_view::npos ? std::string_view() : entry.substr(comma + 1));
        if (tab == std::string_view::npos) break;
        info.remove_prefix(tab + 1);
    }
    return entries;
}

// ---- construction ----------------------------------------------------------

CQuendraLog::CQuendraLog() { Init(); }

CQuendraLog::CQuendraLog(const std::filesystem::path& programDir) : m_ini(programDir) { Init(); }

void CQuendraLog::Init() {
    m_ini.LoadIniFile();
    m_bCheckSum = m_ini.m_nChecksum;
    m_pData.assign(1, 0);
    m_nDataSize = 0;
}

CQuendraLog::~CQuendraLog() = default;

void CQuendraLog::Validate(int flag) {
    m_bValid = flag;
    if (flag == 0) {
        m_strModel.clear();
        m_strSerial.clear();
    }
}

void CQuendraLog::ResetDecoded() {
    m_listLog.clear();
    m_aryLogRecord.clear();
    m_strInfo.clear();
    m_strTempHex.clear();
    m_strDispTime.clear();
    m_strPcTime.clear();
    m_decodeError.reset();
}

void CQuendraLog::SetLogData(const std::uint8_t* data, std::size_t length) {
    if (data && length) {
        m_pData.assign(data, data + length);
        m_nDataSize = static_cast<int>(length);
    } else {
        m_pData.assign(1, 0);
        m_nDataSize = 0;
    }
}

// ---- files -----------------------------------------------------------------

int CQuendraLog::ReadBin(const std::filesystem::path& path) {
    m_bValid = 0;
    m_strModel.clear();
    m_strSerial.clear();
    ResetDecoded();

    // Only a regular file: a FIFO would block and a device never end.
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(cmn::OpenRegularFile(path), &std::fclose);
    if (!file) return 0;
    struct stat st {};
    if (fstat(fileno(file.get()), &st) != 0) return 0;
    const auto size = static_cast<std::uintmax_t>(st.st_size);
    if (size < kMinFileSize || size > kMaxFileSize) {
        Fail(-1, kSizeError);
        return 0;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) return 0;
    return ReadBytes(std::move(bytes));
}

int CQuendraLog::ReadBytes(std::vector<std::uint8_t> bytes) {
    m_bValid = 0;
    m_strModel.clear();
    m_strSerial.clear();
    ResetDecoded();
    if (bytes.size() < kMinFileSize || bytes.size() > kMaxFileSize) {
        Fail(-1, kSizeError);
        return 0;
    }
    m_pData = std::move(bytes);
    m_nDataSize = static_cast<int>(m_pData.size());
    if (ParseLogData(m_pData.data(), m_nDataSize)) {
        m_bValid = 1;
        CreateList();
        return 1;
    }
    m_bValid = 1;
    return 0;
}

int CQuendraLog::SaveLogData(const std::filesystem::path& path, std::string* error) const {
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(std::max(m_nDataSize, 0)), m_pData.size());
    const std::string_view bytes(reinterpret_cast<const char*>(m_pData.data()), n);
    return cmn::WriteFileAtomic(path, bytes, error) ? 1 : 0;
}

// ---- decoding --------------------------------------------------------------

bool CQuendraLog::Fail(std::int64_t address, const char* reason) {
    stDecodeError error;
    error.strWhat = reason;
    error.bAddress = address >= 0;
    error.nAddress = address >= 0 ? static_cast<std::size_t>(address) : 0;
    m_decodeError = std::move(error);
    return false;
}

std::string DecodeErrorMessage(const stDecodeError& error) {
    if (!error.bAddress) return error.strWhat;
    return cmn::StrPrintf("Error address:0x%X\n%s", static_cast<unsigned>(error.nAddress), error.strWhat.c_str());
}

std::string DecodeErrorLine(const stDecodeError& error) {
    if (!error.bAddress) return error.strWhat;
    return cmn::StrPrintf("%s (address 0x%X)", error.strWhat.c_str(), static_cast<unsigned>(error.nAddress));
}

int CQuendraLog::ParseLogData(const std::uint8_t* data, int length) {
    m_decodeError.reset();
    Reader r(*this, data, (data && length > 0) ? static_cast<std::size_t>(length) : 0);
    return ParseHeader(r) && ParseInformation(r) && ParseGroups(r) && ParseTemperatureSection(r) ? 1 : 0;
}

bool CQuendraLog::ParseHeader(Reader& r) {
    // The version byte and the two check bytes at least.
    if (!r.Need(3)) return false;
    const std::uint8_t* data = r.Data();
    const std::size_t len = r.Length();
    m_nFileVersion = data[0];
    if (!L::IsFileVersion(m_nFileVersion)) return Fail(0, kFileVersionError);
    if (m_bCheckSum != 0) {
        const std::size_t checked = len - L::kCheckValueSize;
        const std::uint16_t crc = CCRC16::ComputeCrc16(data, static_cast<std::uint32_t>(checked), 0xFFFF);
        if (crc != Le16(data + checked)) return Fail(static_cast<std::int64_t>(checked), kCheckSumError);
    }
    r.Skip(1);
    if (!r.String(kModelField, m_strModel)) return false;
    if (m_nFileVersion == L::kFileVersion2 && std::none_of(std::begin(kVersion2Models), std::end(kVersion2Models),
                                            [&](const char* m) { return m_strModel == m; })) {
        return Fail(static_cast<std::int64_t>(len - L::kCheckValueSize), kModelError);
    }
    return r.String(kSerialField, m_strSerial);
}

bool CQuendraLog::ParseInformation(Reader& r) {
    m_strInfo.clear();
    std::string name, value;
    int versions = 0;
    if (!r.Byte(versions)) return false;
    for (int i = 0; i < versions; ++i) {
        if (!r.String(kEntryNameField, name) || !r.String(kEntryValueField, value)) return false;
        AppendEntry(m_strInfo, name, value);
    }
    if (m_nFileVersion == L::kFileVersion5) return ParseTypedEntries(r);

    // File version 2: display clock, usage time and display id, in fixed places.
    std::string clock, usage, id;
    const bool read =
        r.Field(L::kClockSize, [&](const std::uint8_t* p) { return GetClock(p, clock, m_strDispTime); }) &&
        r.Field(L::kUsageTimeSize, [&](const std::uint8_t* p) { return GetUsageTimeData(p, usage); }) &&
        r.Field(L::kDisplayIdSize, [&](const std::uint8_t* p) { return GetIdData(p, id); });
    if (!read) return false;
    AppendEntry(m_strInfo, "Usage Time", usage);
    AppendEntry(m_strInfo, "ID", id);
    AppendEntry(m_strInfo, "Date/Time Setting", clock);
    return true;
}

bool CQuendraLog::ParseTypedEntries(Reader& r) {
    std::string name, value;
    int count = 0;
    if (!r.Byte(count)) return false;
    for (int i = 0; i < count; ++i) {
        int type = 0;
        if (!r.Byte(type) || !r.String(kEntryNameField, name)) return false;
        value.clear();
        bool read = true;
        switch (type) {
        case L::kTypeDisplayId:
            read = r.Field(L::kDisplayIdSize, [&](const std::uint8_t* p) { return GetIdData(p, value); });
            break;
        case L::kTypeUsageTime:
            read = r.Field(L::kUsageTimeSize, [&](const std::uint8_t* p) { return GetUsageTimeData(p, value); });
            break;
        case L::kTypeClock:
            read = r.Field(L::kClockSize, [&](const std::uint8_t* p) { return GetClock(p, value, m_strDispTime); });
            break;
        default: break;  // no value
        }
        if (!read) return false;
        AppendEntry(m_strInfo, name, value);
    }
    return true;
}

bool CQuendraLog::ParseGroups(Reader& r) {
    const std::size_t formatAt = r.Pos();
    int format = 0;
    if (!r.Byte(format)) return false;
    if (!L::IsSyslogFormat(format)) return Fail(static_cast<std::int64_t>(formatAt), kSyslogVersionError);

    std::vector<stLogRecord> records;
    records.reserve(r.Length() / kLogRecordSize);
    for (int group = 0; group < static_cast<int>(L::kGroupCount); ++group) {
        std::size_t count = 0;
        if (!r.Field(L::kRecordCountSize, [&](const std::uint8_t* p) {
                count = Le16(p);
                return p + L::kRecordCountSize;
            })) {
            return false;
        }
        for (std::size_t i = 0; i < count; ++i) {
            stLogRecord& record = records.emplace_back();
            if (!r.Field(kLogRecordSize, [&](const std::uint8_t* p) { return GetLogRecord(p, group, record); }))
                return false;
        }
    }
    m_aryLogRecord = std::move(records);
    return true;
}

bool CQuendraLog::ParseTemperatureSection(Reader& r) {
    // The section's version byte is its first byte: checked, not consumed.
    if (!r.Need(1)) return false;
    const std::size_t at = r.Pos();
    const std::uint8_t version = *r.Here();
    if (version != L::kTempFormat4 && version != L::kTempFormat5) return Fail(static_cast<std::int64_t>(at), kTempVersionError);
    m_strTempHex.clear();
    cmn::BytesToHex(r.Here(), r.Length() - at, m_strTempHex);
    return true;
}

void CQuendraLog::CreateList() {
    m_listLog.clear();
    if (m_bValid == 0) return;
    const std::time_t epoch = cmn::DisplayEpoch();
    std::vector<stLogItem> items;
    items.reserve(m_aryLogRecord.size());
    for (const stLogRecord& record : m_aryLogRecord) {
        stLogItem& item = items.emplace_back();
        item.nKind = record.nKind;
        item.nGroup = record.nGroup;
        item.tmTime = epoch + static_cast<std::time_t>(record.dwLapTime);
        std::visit([&item](const auto& body) { Fill(item, body); }, record.body);
    }
    m_listLog = CLogItemList(std::move(items));
}

// ---- times -----------------------------------------------------------------

void CQuendraLog::GetTimeGap(std::int64_t& span) const {
    std::time_t pc = 0, disp = 0;
    if (Date2Time(pc, m_strPcTime) && Date2Time(disp, m_strDispTime))
        span = static_cast<std::int64_t>(pc) - static_cast<std::int64_t>(disp);
    else
        span = 0;
}

int CQuendraLog::Date2Time(std::time_t& time, std::string_view text) {
    if (text.size() < 12) return 0;
    int v[6];
    for (int i = 0; i < 6; ++i) {
        const char a = text[2 * static_cast<std::size_t>(i)];
        const char b = text[2 * static_cast<std::size_t>(i) + 1];
        if (a < '0' || a > '9' || b < '0' || b > '9') return 0;
        v[i] = (a - '0') * 10 + (b - '0');
    }
    if (v[1] == 0 || v[2] == 0) return 0;
    time = cmn::LocalStandardTime(2000 + v[0], v[1], v[2], v[3], v[4], v[5]);
    return 1;
}

int CQuendraLog::Log2Time(std::time_t& time, std::string_view text) {
    time = cmn::DisplayEpoch() + static_cast<std::time_t>(cmn::DecimalToInt64(text));
    return 1;
}

int CQuendraLog::GetItem(std::string& item, std::string& text, char separator) {
    if (text.empty()) {
        item.clear();
        return 0;
    }
    const std::size_t pos = text.find(separator);
    if (pos != std::string::npos && pos > 0) {
        item = text.substr(0, pos);
        text.erase(0, pos + 1);
    } else {
        item = std::move(text);
        text.clear();
    }
    return item.empty() ? 0 : 1;
}

// ---- field decoders ------------------------------------------------------------

const std::uint8_t* CQuendraLog::GetTimeData(const std::uint8_t* p, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < L::kClockSize; ++i) cmn::AppendDecimal(out, static_cast<std::uint32_t>(ClockField(p[i])), 2);
    return p + L::kClockSize;
}

const std::uint8_t* CQuendraLog::GetUsageTimeData(const std::uint8_t* p, std::string& out) {
    // The counter is a signed 32-bit value: FF FF FF FF reads -1.
    out = cmn::StrPrintf("%ld", static_cast<long>(static_cast<std::int32_t>(Le32(p))));
    return p + L::kUsageTimeSize;
}

const std::uint8_t* CQuendraLog::GetIdData(const std::uint8_t* p, std::string& out) {
    out.clear();
    cmn::AppendDecimal(out, p[0]);
    return p + L::kDisplayIdSize;
}

const std::uint8_t* CQuendraLog::GetLogRecord(const std::uint8_t* p, int group, stLogRecord& out) {
    out = stLogRecord{};
    out.nKind = p[0];
    out.nGroup = static_cast<std::uint8_t>(group);
    const std::uint8_t* body = p + 1;
    switch (out.nKind) {
    case LOG_KIND_OPERATION: out.body = Body(body, &GetOperationLogData); break;
    case LOG_KIND_SIGNAL: out.body = Body(body, &GetSignalLogData); break;
    case LOG_KIND_POWER: out.body = Body(body, &GetPowerLogData); break;
    case LOG_KIND_ABNORMAL: out.body = Body(body, &GetErrorLogData); break;
    case LOG_KIND_DEVINFO: out.body = Body(body, &GetDevInfoLogData); break;
    default: return p + kLogRecordSize;  // unknown kind: the same size, nothing decoded
    }
    out.dwLapTime = Le32(body);
    return p + kLogRecordSize;
}

const std::uint8_t* CQuendraLog::GetOperationLogData(const std::uint8_t* p, stOperationLog& out) {
    out.nInput = p[4] & 0x0F;
    out.nType = p[4] >> 4;
    out.wCode = Le16(p + 5);
    out.nParam1 = p[7];
    out.nParam2 = p[8];
    return p + kBodySize;
}

const std::uint8_t* CQuendraLog::GetSignalLogData(const std::uint8_t* p, stSignalLog& out) {
    out.nInput = p[4] & 0x0F;
    out.wHeight = static_cast<std::uint16_t>((p[4] >> 4) | (p[5] << 4));
    out.wWidth = static_cast<std::uint16_t>(p[6] | ((p[7] & 0x3F) << 8));
    out.nStatus = p[7] >> 6;
    out.nRate = p[8];
    return p + kBodySize;
}

const std::uint8_t* CQuendraLog::GetPowerLogData(const std::uint8_t* p, stPowerLog& out) {
    out.nReason = p[4];
    return p + kBodySize;
}

const std::uint8_t* CQuendraLog::GetErrorLogData(const std::uint8_t* p, stAbnormalLog& out) {
    out.nInput = p[4] & 0x0F;
    out.nCode = p[5];
    out.wParam1 = Le16(p + 6);
    out.nParam2 = p[8];
    return p + kBodySize;
}

const std::uint8_t* CQuendraLog::GetDevInfoLogData(const std::uint8_t* p, stDevInfoLog& out) {
    out.nType = p[4] & 0x03;
    out.nId = p[4] >> 2;
    out.wParam1 = Le16(p + 5);
    out.wParam2 = Le16(p + 7);
    return p + kBodySize;
}
