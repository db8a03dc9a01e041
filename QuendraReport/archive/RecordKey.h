#pragma once
// The identity of a system log record in the history archive.
//
// A record of a collected log is the same record as one the history holds
// when both lie in the same part of the log (the running log, group 0, or the
// records kept around abnormal records, groups 1 to 3), have the same kind,
// lap time and decoded fields, and are the same occurrence of such a record:
// the first, second, ... of its identical records in that part of one
// collection.
//
// Why this is sound:
// - Overlapping collections. A display keeps a record unchanged until it
//   overwrites it, so every collection that holds the record holds the same
//   kind, time and fields: it is stored once. The group number is left out
//   on purpose: the records around an abnormal record move from group 1 to 2
//   to 3 as newer abnormal records come, so a later collection holds the same
//   record in another group. Only the two parts are kept apart: the display
//   keeps a record around an abnormal record both in its running log and in
//   the abnormal group, and the report shows it in both.
// - Two records that really are identical in the same second (a key pressed
//   twice). One collection holds both: the second is occurrence 1, stored as
//   well. A later collection that holds both again matches both, and one
//   that holds only one (the other overwritten) adds nothing. The history
//   keeps as many as any one collection held.
// - A display whose clock was reset. Nothing assumes that times grow: the
//   records logged after the reset are told apart by their times and fields
//   like any others, whatever order the times come in, and a history is never
//   cut at "the newest time seen". A clock set back repeats earlier seconds,
//   and a record that repeats an earlier one exactly (kind, every field and
//   the second) is kept apart from it whenever one collection holds both
//   (its occurrence). The log gives a record no number of its own, so an
//   exact repeat whose original had been overwritten before any collection
//   held both cannot be told from the original seen again: it is counted
//   once. No other record is lost for it.
// Records of unknown kinds keep no decoded fields (their lap time counts as
// 0): those of one kind in one part are told apart by their occurrence alone.
//
// Pure functions and plain data: safe from any thread.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "syslog/LogRecord.h"

namespace hist {

// The two parts of a log.
enum Section : int {
    kRunningLog = 0,      // group 0
    kAbnormalGroups = 1,  // groups 1 to 3
};
Section SectionOfGroup(int group);

// A record's identity. `fields` holds the kind and every decoded field, so
// that equal identities mean equal decoded records.
struct stRecordKey {
    int nSection = kRunningLog;
    std::uint32_t dwLap = 0;
    std::int64_t nFields = 0;
    int nOccurrence = 0;

    bool operator==(const stRecordKey&) const = default;
};

struct RecordKeyHash {
    std::size_t operator()(const stRecordKey& k) const;
};

// The kind and the decoded fields of a record as one number (48 bits: the
// kind above 40 bits of fields), and back. UnpackRecord gives the record
// that PackFields was given, with `group` as its group.
std::int64_t PackFields(const stLogRecord& record);
stLogRecord UnpackRecord(std::uint32_t lap, std::int64_t fields, int group);
// The kind a packed number holds, and the packed range of one kind
// ([first, last)), for counting records of a kind.
int KindOfFields(std::int64_t fields);
std::int64_t FirstFieldsOfKind(int kind);

// The identities of a log's records, one per record in the same order.
std::vector<stRecordKey> RecordKeys(const std::vector<stLogRecord>& records);

}  // namespace hist
