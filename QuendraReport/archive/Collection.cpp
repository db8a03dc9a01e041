#include "archive/Collection.h"

#include <algorithm>

#include "common/hex.h"
#include "common/timeutil.h"
#include "report/Overview.h"

namespace hist {

std::uint64_t Digest(const std::uint8_t* data, std::size_t size) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (std::size_t i = 0; i < size; ++i) {
        h ^= data[i];
        h *= 0x100000001b3ull;
    }
    return h;
}

bool CollectionFromLog(const CQuendraLog& log, std::time_t collected, const std::string& source,
                       stCollection& c, std::string& error) {
    if (log.m_strSerial.empty()) {
        error = "the log names no serial number; it was not added";
        return false;
    }
    c = stCollection{};
    c.display = {log.m_strModel, log.m_strSerial};
    c.info.tCollected = collected;
    c.info.strSource = source;
    c.info.nFileVersion = log.m_nFileVersion;
    c.info.strInfo = log.m_strInfo;
    c.info.strDisplayClock = log.m_strDispTime;
    c.info.temperature = cmn::HexToBytes(log.m_strTempHex);
    const std::size_t size = std::min(log.m_pData.size(), static_cast<std::size_t>(std::max(log.m_nDataSize, 0)));
    c.nDigest = Digest(log.m_pData.data(), size);
    c.nSize = size;
    c.records = log.m_aryLogRecord;
    return true;
}

void HistoryToLog(const stDisplayHistory& h, CQuendraLog& log) {
    log.Validate(0);
    log.ResetDecoded();
    log.m_strModel = h.summary.display.strModel;
    log.m_strSerial = h.summary.display.strSerial;
    log.m_strInfo = h.newest.strInfo;
    log.m_strDispTime = h.newest.strDisplayClock;
    if (h.newest.tCollected != 0) log.m_strPcTime = cmn::TimeToDigits12(h.newest.tCollected);
    log.m_nFileVersion = h.newest.nFileVersion;
    cmn::BytesToHex(h.newest.temperature.data(), h.newest.temperature.size(), log.m_strTempHex);
    log.m_aryLogRecord = h.records;
    log.m_bValid = 1;
    log.CreateList();
}

bool AddLogFile(IHistoryArchive& archive, CQuendraLog& decoder, const std::filesystem::path& file, bool examine,
                stFileAdd& out) {
    out = stFileAdd{};
    CollectedFrom from = CollectedFrom::kUnknown;
    out.tCollected = CollectionTime(file, from).value_or(0);
    if (decoder.ReadBin(file) != 1) {
        out.strError = decoder.m_decodeError ? DecodeErrorLine(*decoder.m_decodeError) : "cannot be read";
        return false;
    }
    out.display = {decoder.m_strModel, decoder.m_strSerial};
    stCollection c;
    std::error_code ec;
    const std::string source = std::filesystem::absolute(file, ec).lexically_normal().string();
    if (!CollectionFromLog(decoder, out.tCollected, source, c, out.strError)) return false;
    return examine ? archive.Examine(c, out.result, out.strError) : archive.Add(c, out.result, out.strError);
}

}  // namespace hist
