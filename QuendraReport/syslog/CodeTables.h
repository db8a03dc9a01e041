#pragma once
// Code tables: the texts the report program shows for the numbers of a display's
// system log, loaded per display model from CSV files in the model folder.
//
// A code table file: the first line's first field is N, the highest index; every
// further line is "index,text" (more fields are ignored). A later line with the
// same index replaces the earlier text; indices no line names stay empty.

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

using CStringTable = std::vector<std::string>;  // 8-bit texts indexed by code

// Largest N a code table may declare; a larger N refuses the file.
constexpr int kMaxTableIndex = 65535;

enum class TableLoad : int {
    NoFile = 0,    // the file is missing or cannot be opened; table untouched
    Refused = 1,   // N <= 0 or N > kMaxTableIndex; table untouched
    Loaded = 2,    // every line up to the end of the data was stored
    BadIndex = 3,  // a line named an index outside 0..N: loading stopped there,
                   // the table is resized and keeps the lines stored before it
};

// Loads `fileName` from `modelFolder` (the name is matched without regard to case
// when the exact name is missing) into `table`. The table is resized to N+1:
// existing entries below that size keep their text, new ones are empty.
TableLoad LoadStringTable(const std::filesystem::path& modelFolder, const std::string& fileName,
                          CStringTable& table);

// The text at `index`, or nothing when the index is negative or at/after the size.
std::optional<std::string> LookupCode(const CStringTable& table, long long index);

// Caption of the filter dialog's power-change check box: the text of the line with
// index 5 of "EtcString.csv" in `modelFolder`. Nothing when the file is missing, its
// N is <= 0, or no line before its end has index 5 (the dialog keeps its own caption).
std::optional<std::string> ReadPowerCheckCaption(const std::filesystem::path& modelFolder);

// Fixed positions of m_aryResource.
enum : int {
    kResPowerCaption = 5,   // filter dialog: power change check box
    kResSignalStatus1 = 6,  // appended to the input name, signal status 1
    kResSignalStatus0 = 7,
    kResNoSignal = 8,  // shown instead of the resolution "0x0@0"
    kResSignalStatus2 = 16,
    kResSignalStatus3 = 17,
};

// The twelve tables of one model. A set that no thread changes any more may
// be read from several threads at once: the cache of linked files behind
// OperationName and LinkedTable has its own mutex. LoadAll changes the set
// and must not run while another thread reads it; the process-wide set below
// is therefore never loaded in place but replaced whole.
struct CCodeTables {
    CStringTable m_aryOpTypeName;         // OperationType.csv: operation type 0..15
    CStringTable m_aryResource;           // EtcString.csv: fixed positions above
    CStringTable m_aryLogKind;            // LogType.csv: record kind 1..5
    CStringTable m_aryTblPoweroff;        // PowerOffReason.csv: reason code
    CStringTable m_aryInputName;          // InputName.csv: input number 0..15
    CStringTable m_aryIrOperationName;    // IrOperationName.csv: types 1, 4, 10, 11
    CStringTable m_aryUartOperationName;  // UartOperationName.csv: types 2, 5-9, 12-15
    CStringTable m_aryDdcOperationName;   // DdcOperationName.csv: type 3
    CStringTable m_aryAbnormal;           // Abnormal.csv: abnormal code
    CStringTable m_aryDevInfo;            // DeveloperInformation.csv: information id 0..63
    CStringTable m_aryDevInfoType;        // DeveloperInfoType.csv: information type 0..3
    CStringTable m_aryLinkedCsv;          // OperationTypeLinkedFile.csv: file per operation type

    // Loads the twelve files of `modelFolder` in their fixed order. Tables are
    // emptied first, so switching models never mixes texts; a missing file leaves
    // its table empty. Also forgets the cached linked operation-name files.
    void LoadAll(const std::filesystem::path& modelFolder);

    // The Information text of an operation record. With linked files in use
    // (m_aryLinkedCsv not empty) only the file linked to `opType` is consulted;
    // otherwise types 1, 4, 10, 11 use the IR table, 2, 5-9, 12-15 the UART table,
    // 3 the DDC table, and other types none. Nothing means "show the code".
    std::optional<std::string> OperationName(int opType, long long opCode) const;

    // The table held by a linked file name: null when the name is empty, is not
    // a plain file name (a separator, "." or ".."), the file is missing or its N is
    // refused. Each file is loaded once into an empty table and then cached; the
    // table handed out stays valid and unchanged for as long as it is held.
    std::shared_ptr<const CStringTable> LinkedTable(const std::string& fileName) const;

    std::filesystem::path m_modelFolder;

private:
    mutable std::mutex m_linkedMutex;
    // A null entry remembers a file that gave no table.
    mutable std::map<std::string, std::shared_ptr<const CStringTable>> m_linkedCache;
};

// The process-wide tables, shared by every list view. Safe from any thread:
// the caller gets the current set, which stays valid and unchanged for as long
// as it is held, whatever loads happen meanwhile. Before any load: empty tables.
std::shared_ptr<const CCodeTables> CodeTables();

// Loads the tables of `modelFolder` into a new set and makes it the
// process-wide one. Safe from any thread; concurrent loads are done one after
// another, the last one to finish wins.
void LoadCodeTables(const std::filesystem::path& modelFolder);
