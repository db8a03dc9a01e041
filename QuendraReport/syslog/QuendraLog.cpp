#include "syslog/QuendraLog.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/hex.h"
#include "common/strutil.h"
#include "common/textfile.h"
#include "common/timeutil.h"

namespace {

constexpr std::size_t kModelField = 16;
constexpr std::size_t kSerialField = 16;
constexpr std::size_t kEntryNameField = 31;
constexpr std::size_t kEntryValueField = 21;
constexpr std::size_t kBodySize = 9;

const char* const kFileVersionError = "File version error.";
const char* const kCheckSumError = "Check sum error.";
const char* const kModelError = "Check Model error.";
const char* const kSyslogVersionError = "System log format version error.";
const char* const kTempVersionError = "Temperature log format version error.";
const char* const kSizeError = "File size error.";

// Models whose file version 2 logs are accepted.
const char* const kVersion2Models[] = {"QM-X001", "QM-X002", "QM-X003", "QM-X004", "QM-X005"};

void NoteDecodeError(std::optional<stDecodeError>& error, std::size_t address, const char* what) {
    error = stDecodeError{what, true, address};
}

}  // namespace

std::string DecodeErrorMessage(const stDecodeError& error) {
    if (!error.bAddress) return error.strWhat;
    return cmn::StrPrintf("Error address:0x%X\n%s", static_cast<unsigned>(error.nAddress), error.strWhat.c_str());
}

std::string DecodeErrorLine(const stDecodeError& error) {
    if (!error.bAddress) return error.strWhat;
    return cmn::StrPrintf("%s (address 0x%X)", error.strWhat.c_str(), static_cast<unsigned>(error.nAddress));
}

namespace {

// Appends v in decimal, zero-padded to at least `width` digits ("%0*u").
void AppendUnsigned(std::string& s, std::uint32_t v, int width = 0) {
    char buf[10];
    int n = 0;
    do {
        buf[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v);
    for (int i = n; i < width; ++i) s.push_back('0');
    while (n) s.push_back(buf[--n]);
}

std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::time_t MakeLocal(int year, int month, int day, int hour, int minute, int second, int isdst) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = isdst;
    return std::mktime(&tm);
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

void AppendLapTime(std::string& s, const std::uint8_t* p) { AppendUnsigned(s, Le32(p), 10); }

void AppendComma(std::string& s, std::uint32_t v, int width) {
    s.push_back(',');
    AppendUnsigned(s, v, width);
}

// The view form of GetItem, used where the text is long (no copies of the rest).
bool NextItem(std::string_view& item, std::string_view& text, char separator) {
    if (text.empty()) {
        item = {};
        return false;
    }
    const std::size_t pos = text.find(separator);
    if (pos != std::string_view::npos && pos > 0) {
        item = text.substr(0, pos);
        text.remove_prefix(pos + 1);
    } else {
        item = text;
        text = {};
    }
    return !item.empty();
}

// Parameters of kinds 1, 4 and 5: up to two further fields.
void ReadParams(stLogItem& item, std::string_view& rest) {
    std::string_view field;
    if (!NextItem(field, rest, ',')) {
        item.nParamCount = 0;
        return;
    }
    item.nParam1 = cmn::DecimalToInt(field);
    if (!NextItem(field, rest, ',')) {
        item.nParamCount = 1;
        return;
    }
    item.nParam2 = cmn::DecimalToInt(field);
    item.nParamCount = 2;
}

// Bounds-checked reading of the block for ParseLogData.
class BlockReader {
public:
    BlockReader(const std::uint8_t* data, std::size_t length, std::optional<stDecodeError>& error)
        : m_data(data), m_length(length), m_error(error) {}

    std::size_t Pos() const { return m_pos; }
    std::size_t Length() const { return m_length; }
    const std::uint8_t* Here() const { return m_data + m_pos; }

    // False (the error noted) when fewer than n bytes remain.
    bool Need(std::size_t n) {
        if (m_length - m_pos >= n) return true;
        // The first missing byte is the one just past the block.
        NoteDecodeError(m_error, m_length, kSizeError);
        return false;
    }
    std::uint8_t Byte() { return m_data[m_pos++]; }
    void Skip(std::size_t n) { m_pos += n; }

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
        if (avail < field) return Need(field);
        out.clear();
        m_pos += field;
        return true;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_length;
    std::size_t m_pos = 0;
    std::optional<stDecodeError>& m_error;
};

void AppendEntry(std::string& info, std::string_view name, std::string_view value) {
    if (!info.empty()) info.push_back('\t');
    info.append(name);
    info.push_back(',');
    info.append(value);
}

}  // namespace

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
    for (auto& g : m_strGroup) g.clear();
    m_strInfo.clear();
    m_strTempHex.clear();
    m_strDispTime.clear();
    m_strPcTime.clear();
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
    m_decodeError.reset();
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
        m_decodeError = stDecodeError{kSizeError};
        return 0;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) return 0;
    return ReadBytes(std::move(bytes));
}

int CQuendraLog::ReadBytes(std::vector<std::uint8_t> bytes) {
    m_decodeError.reset();
    m_bValid = 0;
    m_strModel.clear();
    m_strSerial.clear();
    ResetDecoded();
    if (bytes.size() < kMinFileSize || bytes.size() > kMaxFileSize) {
        m_decodeError = stDecodeError{kSizeError};
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

int CQuendraLog::ParseLogData(const std::uint8_t* data, int length) {
    m_decodeError.reset();
    const std::size_t len = (data && length > 0) ? static_cast<std::size_t>(length) : 0;
    BlockReader r(data, len, m_decodeError);

    // File version, check value: need the version byte and the two check bytes.
    if (!r.Need(3)) return 0;
    m_nFileVersion = data[0];
    if (m_nFileVersion != 2 && m_nFileVersion != 5) {
        NoteDecodeError(m_decodeError, 0, kFileVersionError);
        return 0;
    }
    if (m_bCheckSum != 0) {
        const std::uint16_t crc = CCRC16::ComputeCrc16(data, static_cast<std::uint32_t>(len - 2), 0xFFFF);
        if (crc != Le16(data + len - 2)) {
            NoteDecodeError(m_decodeError, len - 2, kCheckSumError);
            return 0;
        }
    }
    r.Skip(1);

    if (!r.String(kModelField, m_strModel)) return 0;
    if (m_nFileVersion == 2 &&
        std::none_of(std::begin(kVersion2Models), std::end(kVersion2Models),
                     [&](const char* m) { return m_strModel == m; })) {
        NoteDecodeError(m_decodeError, len - 2, kModelError);
        return 0;
    }
    if (!r.String(kSerialField, m_strSerial)) return 0;

    // Information entries.
    m_strInfo.clear();
    std::string name, value;
    if (!r.Need(1)) return 0;
    const int versions = r.Byte();
    for (int i = 0; i < versions; ++i) {
        if (!r.String(kEntryNameField, name) || !r.String(kEntryValueField, value)) return 0;
        AppendEntry(m_strInfo, name, value);
    }
    if (m_nFileVersion == 5) {
        if (!r.Need(1)) return 0;
        const int typed = r.Byte();
        for (int i = 0; i < typed; ++i) {
            if (!r.Need(1)) return 0;
            const int type = r.Byte();
            if (!r.String(kEntryNameField, name)) return 0;
            value.clear();
            switch (type) {
            case 1:
                if (!r.Need(1)) return 0;
                r.Skip(GetIdData(r.Here(), value) - r.Here());
                break;
            case 4:
                if (!r.Need(4)) return 0;
                r.Skip(GetUsageTimeData(r.Here(), value) - r.Here());
                break;
            case 6:
                if (!r.Need(6)) return 0;
                value = FormatDisplayClock(r.Here());
                r.Skip(GetTimeData(r.Here(), m_strDispTime) - r.Here());
                break;
            default:
                break;
            }
            AppendEntry(m_strInfo, name, value);
        }
    } else {
        if (!r.Need(6 + 4 + 1)) return 0;
        const std::string clock = FormatDisplayClock(r.Here());
        r.Skip(GetTimeData(r.Here(), m_strDispTime) - r.Here());
        std::string usage, id;
        r.Skip(GetUsageTimeData(r.Here(), usage) - r.Here());
        r.Skip(GetIdData(r.Here(), id) - r.Here());
        AppendEntry(m_strInfo, "Usage Time", usage);
        AppendEntry(m_strInfo, "ID", id);
        AppendEntry(m_strInfo, "Date/Time Setting", clock);
    }

    if (!r.Need(1)) return 0;
    const std::size_t syslogAt = r.Pos();
    const int syslogVersion = r.Byte();
    if (syslogVersion != 2 && syslogVersion != 3) {
        NoteDecodeError(m_decodeError, syslogAt, kSyslogVersionError);
        return 0;
    }

    std::string body;
    for (auto& group : m_strGroup) {
        group.clear();
        if (!r.Need(2)) return 0;
        const std::size_t count = Le16(r.Here());
        r.Skip(2);
        group.reserve(count * 40);
        for (std::size_t i = 0; i < count; ++i) {
            if (!r.Need(1 + kBodySize)) return 0;
            const unsigned kind = r.Byte();
            const std::uint8_t* p = r.Here();
            switch (kind) {
            case LOG_KIND_OPERATION: GetOperationLogData(p, body); break;
            case LOG_KIND_SIGNAL: GetSignalLogData(p, body); break;
            case LOG_KIND_POWER: GetPowerLogData(p, body); break;
            case LOG_KIND_ABNORMAL: GetErrorLogData(p, body); break;
            case LOG_KIND_DEVINFO: GetDevInfoLogData(p, body); break;
            default: body.clear(); break;  // unknown kind: same size, no text
            }
            r.Skip(kBodySize);
            if (i > 0) group.push_back('\t');
            AppendUnsigned(group, kind, 3);
            group.push_back(',');
            group.append(body);
        }
    }

    if (!r.Need(1)) return 0;
    const std::size_t tempAt = r.Pos();
    const std::uint8_t tempVersion = *r.Here();
    if (tempVersion != 4 && tempVersion != 5) {
        NoteDecodeError(m_decodeError, tempAt, kTempVersionError);
        return 0;
    }
    m_strTempHex.clear();
    cmn::BytesToHex(r.Here(), len - tempAt, m_strTempHex);
    return 1;
}

void CQuendraLog::CreateList() {
    m_listLog.clear();
    if (m_bValid == 0) return;
    const std::time_t epoch = cmn::DisplayEpoch();
    for (int g = 0; g < 4; ++g) {
        std::string_view text = m_strGroup[static_cast<std::size_t>(g)];
        m_listLog.reserve(m_listLog.size() + static_cast<std::size_t>(std::count(text.begin(), text.end(), '\t')) + 1);
        std::string_view record;
        while (NextItem(record, text, '\t')) {
            stLogItem item;
            item.nGroup = g;
            std::string_view field;
            NextItem(field, record, ',');
            item.nKind = cmn::DecimalToInt(field);
            NextItem(field, record, ',');
            item.tmTime = epoch + static_cast<std::time_t>(cmn::DecimalToInt64(field));
            switch (item.nKind) {
            case LOG_KIND_OPERATION:
                NextItem(field, record, ',');
                item.nInput = cmn::DecimalToInt(field);
                NextItem(field, record, ',');
                item.nSubType = cmn::DecimalToInt(field);
                NextItem(field, record, ',');
                item.nCode = cmn::DecimalToInt(field);
                ReadParams(item, record);
                break;
            case LOG_KIND_SIGNAL:
                NextItem(field, record, ',');
                item.nInput = cmn::DecimalToInt(field);
                NextItem(field, record, ',');
                item.nSubType = cmn::DecimalToInt(field);
                NextItem(field, record, ',');
                item.strText.assign(field);
                break;
            case LOG_KIND_POWER:
                NextItem(field, record, ',');
                item.nCode = cmn::DecimalToInt(field);
                item.nInput = -1;
                break;
            case LOG_KIND_ABNORMAL:
                NextItem(field, record, ',');
                item.nInput = cmn::DecimalToInt(field);
                NextItem(field, record, ',');
                item.nCode = cmn::DecimalToInt(field);
                ReadParams(item, record);
                break;
            case LOG_KIND_DEVINFO:
                NextItem(field, record, ',');
                item.nDevInfoType = cmn::DecimalToInt(field);
                NextItem(field, record, ',');
                item.nDevInfoId = cmn::DecimalToInt(field);
                ReadParams(item, record);
                break;
            default:
                break;
            }
            m_listLog.push_back(std::move(item));
        }
    }
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
    time = MakeLocal(2000 + v[0], v[1], v[2], v[3], v[4], v[5], 0);
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
    for (int i = 0; i < 6; ++i) AppendUnsigned(out, static_cast<std::uint32_t>(ClockField(p[i])), 2);
    return p + 6;
}

const std::uint8_t* CQuendraLog::GetUsageTimeData(const std::uint8_t* p, std::string& out) {
    // The counter is a signed 32-bit value: FF FF FF FF reads -1.
    out = cmn::StrPrintf("%ld", static_cast<long>(static_cast<std::int32_t>(Le32(p))));
    return p + 4;
}

const std::uint8_t* CQuendraLog::GetIdData(const std::uint8_t* p, std::string& out) {
    out.clear();
    AppendUnsigned(out, p[0]);
    return p + 1;
}

const std::uint8_t* CQuendraLog::GetLapTime(const std::uint8_t* p, std::string& out) {
    out.clear();
    AppendLapTime(out, p);
    return p + 4;
}

const std::uint8_t* CQuendraLog::GetOperationLogData(const std::uint8_t* p, std::string& out) {
    out.clear();
    AppendLapTime(out, p);
    AppendComma(out, p[4] & 0x0F, 2);
    AppendComma(out, p[4] >> 4, 2);
    AppendComma(out, Le16(p + 5), 5);
    AppendComma(out, p[7], 3);
    AppendComma(out, p[8], 3);
    return p + kBodySize;
}

const std::uint8_t* CQuendraLog::GetSignalLogData(const std::uint8_t* p, std::string& out) {
    const unsigned height = (p[4] >> 4) | (static_cast<unsigned>(p[5]) << 4);
    const unsigned width = p[6] | ((static_cast<unsigned>(p[7]) & 0x3F) << 8);
    out.clear();
    AppendLapTime(out, p);
    AppendComma(out, p[4] & 0x0F, 2);
    AppendComma(out, p[7] >> 6, 2);
    out.push_back(',');
    AppendUnsigned(out, width);
    out.push_back('x');
    AppendUnsigned(out, height);
    out.push_back('@');
    AppendUnsigned(out, p[8]);
    return p + kBodySize;
}

const std::uint8_t* CQuendraLog::GetPowerLogData(const std::uint8_t* p, std::string& out) {
    out.clear();
    AppendLapTime(out, p);
    AppendComma(out, p[4], 3);
    return p + kBodySize;
}

const std::uint8_t* CQuendraLog::GetErrorLogData(const std::uint8_t* p, std::string& out) {
    out.clear();
    AppendLapTime(out, p);
    AppendComma(out, p[4] & 0x0F, 2);
    AppendComma(out, p[5], 3);
    AppendComma(out, Le16(p + 6), 5);
    AppendComma(out, p[8], 3);
    return p + kBodySize;
}

const std::uint8_t* CQuendraLog::GetDevInfoLogData(const std::uint8_t* p, std::string& out) {
    out.clear();
    AppendLapTime(out, p);
    AppendComma(out, p[4] & 0x03, 3);
    AppendComma(out, p[4] >> 2, 5);
    AppendComma(out, Le16(p + 5), 5);
    AppendComma(out, Le16(p + 7), 5);
    return p + kBodySize;
}
