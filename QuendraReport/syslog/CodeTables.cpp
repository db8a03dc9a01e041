#include "syslog/CodeTables.h"

#include "common/csvfile.h"
#include "common/paths.h"

using cmn::CCsvFile;

namespace {

// Opens `fileName` in `folder`, the exact name first, then one that differs in case.
bool OpenInFolder(CCsvFile& csv, const std::filesystem::path& folder, const std::string& fileName) {
    std::optional<std::filesystem::path> path = cmn::FindFileNoCase(folder, fileName);
    return path && csv.Open(*path, true);
}

// A linked file must name a file of the model folder itself.
bool IsPlainFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    return name.find_first_of("/\\") == std::string::npos && name.find('\0') == std::string::npos;
}

}  // namespace

TableLoad LoadStringTable(const std::filesystem::path& modelFolder, const std::string& fileName,
                          CStringTable& table) {
    CCsvFile csv;
    if (!OpenInFolder(csv, modelFolder, fileName)) return TableLoad::NoFile;

    int highest = 0;
    if (csv.ReadLine()) csv.GetItem(highest);
    if (highest <= 0 || highest > kMaxTableIndex) return TableLoad::Refused;

    table.resize(static_cast<std::size_t>(highest) + 1);
    while (csv.ReadLine()) {
        int index = 0;
        std::string text;
        csv.GetItem(index);
        csv.GetItem(text);
        if (index < 0 || index > highest) return TableLoad::BadIndex;
        table[static_cast<std::size_t>(index)] = std::move(text);
    }
    return TableLoad::Loaded;
}

std::optional<std::string> LookupCode(const CStringTable& table, long long index) {
    if (index < 0 || static_cast<unsigned long long>(index) >= table.size()) return std::nullopt;
    return table[static_cast<std::size_t>(index)];
}

std::optional<std::string> ReadPowerCheckCaption(const std::filesystem::path& modelFolder) {
    CCsvFile csv;
    if (!OpenInFolder(csv, modelFolder, "EtcString.csv")) return std::nullopt;
    int highest = 0;
    if (csv.ReadLine()) csv.GetItem(highest);
    if (highest <= 0) return std::nullopt;
    while (csv.ReadLine()) {
        int index = -1;
        std::string text;
        csv.GetItem(index);
        if (index == kResPowerCaption) {
            csv.GetItem(text);
            return text;
        }
    }
    return std::nullopt;
}

void CCodeTables::LoadAll(const std::filesystem::path& modelFolder) {
    {
        std::lock_guard<std::mutex> lock(m_linkedMutex);
        m_linkedCache.clear();
    }
    m_modelFolder = modelFolder;
    struct Entry {
        const char* file;
        CStringTable CCodeTables::*table;
    };
    static const Entry kOrder[] = {
        {"OperationType.csv", &CCodeTables::m_aryOpTypeName},
        {"EtcString.csv", &CCodeTables::m_aryResource},
        {"LogType.csv", &CCodeTables::m_aryLogKind},
        {"PowerOffReason.csv", &CCodeTables::m_aryTblPoweroff},
        {"InputName.csv", &CCodeTables::m_aryInputName},
        {"IrOperationName.csv", &CCodeTables::m_aryIrOperationName},
        {"UartOperationName.csv", &CCodeTables::m_aryUartOperationName},
        {"DdcOperationName.csv", &CCodeTables::m_aryDdcOperationName},
        {"Abnormal.csv", &CCodeTables::m_aryAbnormal},
        {"DeveloperInformation.csv", &CCodeTables::m_aryDevInfo},
        {"DeveloperInfoType.csv", &CCodeTables::m_aryDevInfoType},
        {"OperationTypeLinkedFile.csv", &CCodeTables::m_aryLinkedCsv},
    };
    for (const Entry& e : kOrder) {
        CStringTable& table = this->*e.table;
        table.clear();
        LoadStringTable(modelFolder, e.file, table);
    }
}

std::shared_ptr<const CStringTable> CCodeTables::LinkedTable(const std::string& fileName) const {
    if (!IsPlainFileName(fileName)) return nullptr;
    std::lock_guard<std::mutex> lock(m_linkedMutex);
    auto it = m_linkedCache.find(fileName);
    if (it == m_linkedCache.end()) {
        auto table = std::make_shared<CStringTable>();
        const TableLoad result = LoadStringTable(m_modelFolder, fileName, *table);
        const bool usable = result == TableLoad::Loaded || result == TableLoad::BadIndex;
        it = m_linkedCache.emplace(fileName, usable ? std::move(table) : nullptr).first;
    }
    return it->second;
}

std::optional<std::string> CCodeTables::OperationName(int opType, long long opCode) const {
    if (!m_aryLinkedCsv.empty()) {
        const std::optional<std::string> file = LookupCode(m_aryLinkedCsv, opType);
        const std::shared_ptr<const CStringTable> linked = file ? LinkedTable(*file) : nullptr;
        if (!linked) return std::nullopt;
        return LookupCode(*linked, opCode);
    }
    const CStringTable* table = nullptr;
    switch (opType) {
        case 1:
        case 4:
        case 10:
        case 11:
            table = &m_aryIrOperationName;
            break;
        case 3:
            table = &m_aryDdcOperationName;
            break;
        case 2:
        case 5:
        case 6:
        case 7:
        case 8:
        case 9:
        case 12:
        case 13:
        case 14:
        case 15:
            table = &m_aryUartOperationName;
            break;
        default:
            break;
    }
    if (table == nullptr) return std::nullopt;
    return LookupCode(*table, opCode);
}

namespace {

// The process-wide set. Readers copy the pointer under m_mutex; a load builds
// its set outside it, so look-ups never wait for the files. m_loadMutex keeps
// loads in order.
struct SharedTables {
    std::mutex m_loadMutex;
    std::mutex m_mutex;
    std::shared_ptr<const CCodeTables> m_current = std::make_shared<CCodeTables>();
};

SharedTables& Shared() {
    static SharedTables shared;
    return shared;
}

}  // namespace

std::shared_ptr<const CCodeTables> CodeTables() {
    SharedTables& shared = Shared();
    std::lock_guard<std::mutex> lock(shared.m_mutex);
    return shared.m_current;
}

void LoadCodeTables(const std::filesystem::path& modelFolder) {
    SharedTables& shared = Shared();
    std::lock_guard<std::mutex> order(shared.m_loadMutex);
    auto tables = std::make_shared<CCodeTables>();
    tables->LoadAll(modelFolder);
    std::shared_ptr<const CCodeTables> loaded = std::move(tables);
    std::lock_guard<std::mutex> lock(shared.m_mutex);
    shared.m_current.swap(loaded);
    // The previous set is released after the lock, when `loaded` goes out of scope.
}
