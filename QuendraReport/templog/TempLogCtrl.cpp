#include "templog/TempLogCtrl.h"

#include "common/hex.h"
#include "syslog/QuendraLog.h"

namespace {

// Sequential reader over a section whose length was checked beforehand.
struct Reader {
    const std::uint8_t* p;

    int Count() { return *p++; }
    int Temp() { return static_cast<std::int8_t>(*p++); }
    std::uint16_t Minutes() { return *p++; }
    std::uint16_t Word() {
        const std::uint16_t v = static_cast<std::uint16_t>(p[0] | (p[1] << 8));
        p += 2;
        return v;
    }
    std::uint32_t Dword() {
        std::uint32_t v = 0;
        p = CTempLogCtrl::Get4ByteData(p, v);
        return v;
    }
    void Temps(std::vector<stSensorTemp1>& list, int n) {
        list.reserve(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) list.push_back({Temp()});
    }
    void Pairs(std::vector<stSensorTemp2>& list, int n) {
        list.reserve(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            const int first = Temp();
            const int second = Temp();
            list.push_back({first, second});
        }
    }
    stTempErrorLog LongSlot(int n) {
        stTempErrorLog e;
        e.dwTime = Dword();
        e.dwHour = Dword();
        e.wMinute = Minutes();
        e.dwDurationHour = Dword();
        e.wDurationMinute = Minutes();
        Pairs(e.listTemp, n);
        return e;
    }
    stTempErrorLog ShortSlot(int n) {
        stTempErrorLog e;
        e.dwTime = Dword();
        e.dwHour = Dword();
        e.wMinute = Minutes();
        e.listTemp.reserve(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) e.listTemp.push_back({Temp(), 0});
        return e;
    }
    stTempErrorLog_V5 EventV5(int n) {
        stTempErrorLog_V5 e;
        e.dwTime = Dword();
        e.dwHour = Dword();
        Temps(e.listTemp, n);
        return e;
    }
};

}  // namespace

void CTempLogCtrl::BintoHexAscii(const std::uint8_t* data, int count, std::string& out) {
    cmn::BytesToHex(data, count > 0 ? static_cast<std::size_t>(count) : 0, out);
}

int CTempLogCtrl::HexAsciiToBin(std::vector<std::uint8_t>& buffer, int& length, std::string text) {
    buffer = cmn::HexToBytes(text);
    // The buffer is as long as the text, its tail zero-filled, as callers size it by `length`.
    buffer.resize(text.size(), 0);
    length = static_cast<int>(text.size());
    return 1;
}

const std::uint8_t* CTempLogCtrl::Get4ByteData(const std::uint8_t* p, std::uint32_t& value) {
    value = static_cast<std::uint32_t>(p[0]) +
            256u * (static_cast<std::uint32_t>(p[1]) +
                    256u * (static_cast<std::uint32_t>(p[2]) + 256u * static_cast<std::uint32_t>(p[3])));
    return p + 4;
}

int CTempLogCtrl::ReadBin(const std::uint8_t* data, std::uint32_t length, stTempLogV4& out) {
    if (!data || length < 2) return 0;
    if (data[0] != 4) return 0;
    const int n = data[1];
    if (length < SizeV4(n)) return 0;

    Reader r{data};
    out.nVersion = r.Count();
    out.nSensorNum = r.Count();
    out.nFanNum = r.Count();
    out.nFanType = r.Count();
    r.Temps(out.listCurrentTemp, n);
    out.nDirection = r.Count();
    out.nBrightCtrlEnable = r.Count();
    out.nBrightAtHighTemp = r.Count();
    r.Pairs(out.listBrightCtrlThreshold, n);
    r.Pairs(out.listHighTempErrThreshold, n);
    r.Temps(out.listPowerOffThreshold, n);
    r.Temps(out.listMinTemp, n);
    r.Temps(out.listMaxTemp, n);
    out.dwBrightDownTotalTime = r.Dword();
    out.dwHighTempTotalTime = r.Dword();
    out.dwLowTempTotalTime = r.Dword();
    out.wLowTempCount = r.Word();
    out.wBrightDownCount = r.Word();
    for (int i = 0; i < 5; ++i) out.aryBrightDownLog.push_back(r.LongSlot(n));
    out.wHighTempCount = r.Word();
    for (int i = 0; i < 5; ++i) out.aryHighTempLog.push_back(r.LongSlot(n));
    out.wPowerOffCount = r.Word();
    for (int i = 0; i < 5; ++i) out.aryPowerOffLog.push_back(r.ShortSlot(n));
    return 1;
}

int CTempLogCtrl::ReadBinV5(const std::uint8_t* data, std::uint32_t length, stTempLogV5& out) {
    if (!data || length < 2) return 0;
    if (data[0] != 5) return 0;
    const int n = data[1];
    if (length < SizeV5(n)) return 0;

    Reader r{data};
    out.nVersion = r.Count();
    out.nSensorNum = r.Count();
    r.Temps(out.listCurrentTemp, n);
    out.nDirection = r.Count();
    r.Temps(out.listBrightCtrlThreshold, n);
    r.Temps(out.listPowerOffThreshold, n);
    out.logBrightDown = r.EventV5(n);
    out.logPowerOff = r.EventV5(n);
    return 1;
}

int CTempLogCtrl::SetTempLog() {
    // Whatever happens below, a record of an earlier log must not be shown
    // with the current one.
    ClearTempLog();
    if (!m_pLog || !m_pLog->m_bValid) return 0;
    const std::string text = m_pLog->GetTempLog();
    if (text.empty()) return 0;

    std::vector<std::uint8_t> buffer;
    int length = 0;
    HexAsciiToBin(buffer, length, text);
    // Only the first ceil(L/2) bytes hold decoded data.
    const std::uint32_t usable = (static_cast<std::uint32_t>(length) + 1) / 2;

    switch (buffer[0]) {
    case 5: {
        auto rec = std::make_unique<stTempLogV5>();
        if (!ReadBinV5(buffer.data(), usable, *rec)) return 0;
        m_pTempLogV5 = std::move(rec);
        return 1;
    }
    case 4: {
        auto rec = std::make_unique<stTempLogV4>();
        if (!ReadBin(buffer.data(), usable, *rec)) return 0;
        m_pTempLogV4 = std::move(rec);
        return 1;
    }
    default:
        return 1;
    }
}
