// Writes ready-made logs into a folder.
//   make-sample-logs [FOLDER]           the sample logs (default: the current folder)
//   make-sample-logs --fleet FOLDER     the sample fleet: HOST/MODEL_SERIAL_STAMP.dat as a
//                                       fleet run leaves them, and its summary.jsonl
//   make-sample-logs --large N FOLDER   N logs of 65,535 bytes, each of a display of its
//                                       own (serial numbers 5K0000001 up), for timing
// Each file is replaced whole, so a failed run never leaves a cut-off log.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "common/textfile.h"
#include "logimage/LogImage.h"

namespace fs = std::filesystem;

namespace {

bool Write(const fs::path& path, const std::string_view bytes) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (!cmn::WriteFileAtomic(path, bytes)) {
        std::fprintf(stderr, "make-sample-logs: cannot write %s\n", path.c_str());
        return false;
    }
    std::printf("%s (%zu bytes)\n", path.c_str(), bytes.size());
    return true;
}

bool WriteLog(const fs::path& path, const logimage::Bytes& data) {
    return Write(path, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
}

// How the collection of each host of the sample fleet ended.
struct FleetHost {
    const char* host;
    double seconds;
    const char* reason;  // null: collected
    const char* step;
    const char* detail;
};

const FleetHost kFleetHosts[] = {
    {"10.20.0.11", 0.412, nullptr, nullptr, nullptr},
    {"10.20.0.12", 0.398, nullptr, nullptr, nullptr},
    {"10.20.0.13", 0.405, nullptr, nullptr, nullptr},
    {"10.20.0.14", 0.421, nullptr, nullptr, nullptr},
    {"10.20.0.15", 0.377, nullptr, nullptr, nullptr},
    {"10.20.0.16", 0.392, nullptr, nullptr, nullptr},
    {"10.20.0.17", 0.418, nullptr, nullptr, nullptr},
    {"10.20.0.18", 0.213, nullptr, nullptr, nullptr},
    {"10.20.0.19", 0.226, nullptr, nullptr, nullptr},
    {"10.20.0.20", 0.409, nullptr, nullptr, nullptr},
    {"10.20.0.21", 15.031, "no-reply", "log-block", "no reply to 0x41 (offset 0x2800) within 5 s"},
    {"10.20.0.22", 3.004, "cannot-connect", "open-text-port", "10.20.0.22:10008: No route to host"},
};

// The folder the fleet run was told to write into, as its summary names it.
const char* const kFleetOut = "/srv/fleet/site-a";

std::string Millis(double seconds) { return std::to_string(static_cast<long>(seconds * 1000 + 0.5)); }

// The summary line of one host: what quendra-acquire get-logs --hosts ...
// --stamp --json writes, with its newest log when it has one.
std::string SummaryLine(const FleetHost& h, int line, const logimage::NamedLog* log) {
    const std::string folder = std::string(kFleetOut) + "/" + h.host;
    std::string model, serial, files;
    if (log != nullptr && h.reason == nullptr) {
        logimage::LogLayout layout;
        std::string error;
        if (logimage::LocateLog(log->data, layout, error)) {
            model = layout.model;
            serial = layout.serial;
        }
        files = "{\"path\":\"" + std::string(kFleetOut) + "/" + log->fileName +
                "\",\"bytes\":" + std::to_string(log->data.size()) + "}";
    }
    const bool failed = h.reason != nullptr;
    std::string run = "{\"command\":\"get-logs\",\"exit_code\":" + std::string(failed ? "1" : "0") +
                      ",\"model\":\"" + model + "\",\"serial\":\"" + serial + "\",\"files\":[" + files +
                      "],\"duration_ms\":" + Millis(h.seconds) + ",\"steps\":[{\"exit_code\":" +
                      (failed ? "1" : "0") + ",\"duration_ms\":" + Millis(h.seconds - 0.004) +
                      "}],\"display\":\"" + h.host + "\"";
    if (failed)
        run += std::string(",\"error\":{\"reason\":\"") + h.reason + "\",\"step\":\"" + h.step + "\",\"detail\":\"" +
               h.detail + "\"}";
    run += "}";
    const char* message = failed ? "Failed to communicate with Quendra display. Check cable connection and "
                                   "interface settings."
                                 : "Complete to communicate and create file.";
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", h.seconds);
    return std::string("{\"host\":\"") + h.host + "\",\"port\":10008,\"id\":0,\"line\":" + std::to_string(line) +
           ",\"folder\":\"" + folder + "\",\"exit_code\":" + (failed ? "1" : "0") + ",\"message\":\"" + message +
           "\",\"status\":\"" + (failed ? "failed" : "collected") + "\",\"reason\":" +
           (failed ? "\"" + std::string(h.reason) + "\"" : "null") + ",\"seconds\":" + seconds +
           ",\"run\":" + run + "}\n";
}

bool WriteFleet(const fs::path& dir) {
    const std::vector<logimage::NamedLog> logs = logimage::SampleFleetLogs();
    for (const auto& log : logs)
        if (!WriteLog(dir / log.fileName, log.data)) return false;
    std::string summary;
    int line = 2;  // the hosts file starts with a comment
    for (const FleetHost& h : kFleetHosts) {
        // The newest log of the host's folder (names sort by their time stamp).
        const logimage::NamedLog* newest = nullptr;
        for (const auto& log : logs)
            if (log.fileName.rfind(std::string(h.host) + "/", 0) == 0) newest = &log;
        summary += SummaryLine(h, line++, newest);
    }
    return Write(dir / "summary.jsonl", summary);
}

bool WriteLarge(const fs::path& dir, long count) {
    logimage::LogDescription d = logimage::LargeLog();
    for (long i = 1; i <= count; ++i) {
        char serial[16];
        std::snprintf(serial, sizeof serial, "5K%07ld", i);
        d.serial = serial;
        const logimage::Bytes data = logimage::BuildLog(d);
        const std::string_view bytes(reinterpret_cast<const char*>(data.data()), data.size());
        if (!cmn::WriteFileAtomic(dir / (d.model + "_" + d.serial + ".dat"), bytes)) {
            std::fprintf(stderr, "make-sample-logs: cannot write into %s\n", dir.c_str());
            return false;
        }
    }
    std::printf("%s: %ld logs of %zu bytes\n", dir.c_str(), count, logimage::LogSize(d));
    return true;
}

int Usage() {
    std::fprintf(stderr, "usage: make-sample-logs [FOLDER] | --fleet FOLDER | --large N FOLDER\n");
    return 64;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "--fleet") return argc == 3 && WriteFleet(argv[2]) ? 0 : (argc == 3 ? 1 : Usage());
    if (mode == "--large") {
        char* end = nullptr;
        const long count = argc == 4 ? std::strtol(argv[2], &end, 10) : 0;
        if (argc != 4 || end == argv[2] || *end != '\0' || count < 1 || count > 100000) return Usage();
        std::error_code ec;
        fs::create_directories(argv[3], ec);
        return WriteLarge(argv[3], count) ? 0 : 1;
    }
    if (argc > 2 || mode.rfind("--", 0) == 0) return Usage();
    const fs::path dir = argc > 1 ? argv[1] : ".";
    for (const auto& log : logimage::SampleLogs())
        if (!WriteLog(dir / log.fileName, log.data)) return 1;
    return 0;
}
