#pragma once
// System log records. A record in the log data is a kind byte and a 9-byte
// body whose first four bytes are the lap time (display seconds, unsigned,
// little-endian). The log object decodes each into an stLogRecord: the lap
// time and one struct per kind holding the fields that kind stores, as
// numbers; its record list holds them as stLogItem, one flat record per row.
// Plain data.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "common/loglayout.h"

// Record kinds.
enum : int {
    LOG_KIND_OPERATION = 1,
    LOG_KIND_SIGNAL = 2,
    LOG_KIND_POWER = 3,
    LOG_KIND_ABNORMAL = 4,
    LOG_KIND_DEVINFO = 5,
};

// Bytes of one record in the log data: the kind byte and the body.
inline constexpr std::size_t kLogRecordSize = cmn::loglayout::kRecordSize;

// Kind 1: an operation by remote control, key or control command.
struct stOperationLog {
    std::uint8_t nInput = 0;  // 0..15
    std::uint8_t nType = 0;   // operation type, 0..15
    std::uint16_t wCode = 0;  // operation code
    std::uint8_t nParam1 = 0;
    std::uint8_t nParam2 = 0;
};

// Kind 2: a change of the input signal.
struct stSignalLog {
    std::uint8_t nInput = 0;    // 0..15
    std::uint8_t nStatus = 0;   // signal status, 0..3
    std::uint16_t wWidth = 0;   // 14 bits
    std::uint16_t wHeight = 0;  // 12 bits
    std::uint8_t nRate = 0;
};

// Kind 3: why the power went off (or came on).
struct stPowerLog {
    std::uint8_t nReason = 0;
};

// Kind 4: an abnormal state.
struct stAbnormalLog {
    std::uint8_t nInput = 0;  // 0..15; the high half of its byte is not part of it
    std::uint8_t nCode = 0;
    std::uint16_t wParam1 = 0;
    std::uint8_t nParam2 = 0;
};

// Kind 5: developer information.
struct stDevInfoLog {
    std::uint8_t nType = 0;  // 0..3
    std::uint8_t nId = 0;    // 0..63
    std::uint16_t wParam1 = 0;
    std::uint16_t wParam2 = 0;
};

// One decoded record. Records of other kinds keep only their kind: their
// body is skipped undecoded and their lap time counts as 0.
struct stLogRecord {
    std::uint8_t nKind = 0;
    std::uint8_t nGroup = 0;  // 0 running log, 1 newest .. 3 oldest abnormal group
    std::uint32_t dwLapTime = 0;
    std::variant<std::monostate, stOperationLog, stSignalLog, stPowerLog, stAbnormalLog, stDevInfoLog> body;
};

// One record as the list shows it. Fields a kind does not use stay 0
// (nInput of a power record is -1). The text comes before the numbers so
// that no padding lies between them: a long log holds thousands of these.
struct stLogItem {
    std::time_t tmTime = 0;  // display epoch (2000-01-01 00:00:00 local) + lap time
    std::string strText;     // signal records: "WIDTHxHEIGHT@RATE"
    int nKind = 0;
    int nCode = 0;           // operation code, power-off reason or abnormal code
    int nInput = 0;
    int nSubType = 0;        // operation type or signal status
    int nParamCount = 0;
    int nParam1 = 0;
    int nParam2 = 0;
    int nGroup = 0;          // 0 running log, 1 newest .. 3 oldest abnormal group
    int nDevInfoType = 0;
    int nDevInfoId = 0;
};

// The records of a log as the list shows them: read-only, and shared by
// every copy. A log's list and the views that show it hold the same records
// (thousands in a long log) instead of a copy each; a new decoding gives the
// log new records and leaves those a view holds as they were. Copies may be
// used on different threads; one object belongs to one thread at a time.
class CLogItemList {
public:
    CLogItemList() = default;
    explicit CLogItemList(std::vector<stLogItem> items)
        : m_items(std::make_shared<const std::vector<stLogItem>>(std::move(items))) {}

    std::size_t size() const { return m_items ? m_items->size() : 0; }
    bool empty() const { return size() == 0; }
    const stLogItem& operator[](std::size_t i) const { return (*m_items)[i]; }
    const stLogItem* begin() const { return m_items ? m_items->data() : nullptr; }
    const stLogItem* end() const { return m_items ? m_items->data() + m_items->size() : nullptr; }
    void clear() { m_items.reset(); }

private:
    std::shared_ptr<const std::vector<stLogItem>> m_items;
};
