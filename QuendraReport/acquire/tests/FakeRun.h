#pragma once
// Shared pieces of the acquisition tests: the expected call lines of the
// recording link, a progress recorder, and the sample installation.

#include <testsupport/TempDir.h>

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "acquire/Progress.h"

namespace acqtest {

using Lines = std::vector<std::string>;

inline std::filesystem::path SamplesDir() {
    return QUENDRA_SAMPLES_DIR;
}

// The bytes of a sample log that decodes cleanly.
inline std::vector<std::uint8_t> SampleLog() {
    const std::string s = testsupport::ReadFile(SamplesDir() / "logs" / "healthy.dat");
    return {s.begin(), s.end()};
}

inline Lines operator+(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The serial port and baud of the sequence tests.
inline const char* const kPort = "COM1";
inline std::string OpenEx() {
    return "QnOpenEx(COM1,,,0x00010200)";
}
inline std::string Set(const std::string& text) {
    return "QnSet(\"" + text + "\")";
}
inline std::string Dk(const std::string& hex) {
    return "Dk(" + hex + ")";
}

// Logging off (or on) over a new control connection: three empty commands,
// IDSL with an ID, SRLG.
inline Lines LoggingCommands(int id, bool on) {
    Lines l{Set(""), Set(""), Set("")};
    if (id != 0) l.push_back(Set("IDSL" + std::to_string(id)));
    l.push_back(Set(on ? "SRLG0001" : "SRLG0000"));
    return l;
}
inline Lines ResumeLogging(int id) {
    return Lines{OpenEx()} + LoggingCommands(id, true) + Lines{"QnClose"};
}
inline Lines EnterBinary(int id) {
    return Lines{id != 0 ? "QnGetString(\"Command:BNMD" + std::to_string(id) + "\")" : Set("FIRM0000"),
                 "QnClose"};
}
inline Lines LeaveBinaryShort(int id) {
    return {"DkOpen(COM1,1,1,115200)", Dk(id != 0 ? "F0 05" : "F0 00"), "DkClose"};
}
inline std::string Le4(int offset, int length) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02X%02X%02X%02X", offset & 0xFF, (offset >> 8) & 0xFF, length & 0xFF,
                  (length >> 8) & 0xFF);
    return buf;
}
// Start code, blocks of an image of `total` bytes, end code.
inline Lines BlockReads(const char* start, const char* block, const char* end, int total) {
    Lines l{Dk(start)};
    for (int offset = 0; offset < total; offset += 1024)
        l.push_back(Dk(std::string(block) + " " + Le4(offset, std::min(1024, total - offset))));
    l.push_back(Dk(end));
    return l;
}

// Records the progress calls as "begin SUFFIX", "text", "pos N", "end" and
// "notice TEXT".
class RecordingProgress : public acq::IProgress {
public:
    void Begin(const acq::stProgressParams& params) override { Add("begin" + params.strSuffix); }
    void SetText(const char* text) override { Add(text); }
    void SetPos(int pos) override { Add("pos " + std::to_string(pos)); }
    void End() override { Add("end"); }
    void Notice(const std::string& text) override { Add("notice " + text); }
    void Clear() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_events.clear();
    }
    Lines Events() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_events;
    }

private:
    void Add(const std::string& e) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_events.push_back(e);
    }
    mutable std::mutex m_mutex;
    Lines m_events;
};

}  // namespace acqtest
