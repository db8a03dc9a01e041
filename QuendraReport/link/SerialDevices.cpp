#include "link/SerialDevices.h"

#include <sys/stat.h>

#include <algorithm>
#include <set>
#include <system_error>

#include "linkio/Channel.h"

namespace qlink {

namespace {

namespace fs = std::filesystem;

// "ttyUSB12" -> ("ttyUSB", 12); false for any other name.
bool SplitAdapterName(const std::string& name, std::string& stem, unsigned long& number) {
    for (const char* prefix : {"ttyUSB", "ttyACM"}) {
        const std::string p(prefix);
        if (name.size() <= p.size() || name.compare(0, p.size(), p) != 0) continue;
        const std::string digits = name.substr(p.size());
        if (digits.size() > 6 ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return false;
        stem = p;
        number = std::stoul(digits);
        return true;
    }
    return false;
}

// The file an entry leads to, for telling which device a stable name stands for.
fs::path Target(const fs::path& p) {
    std::error_code ec;
    fs::path t = fs::canonical(p, ec);
    return ec ? fs::path() : t;
}

}  // namespace

std::vector<std::string> ListSerialAdapters(const fs::path& devRoot) {
    std::vector<std::string> byId;
    std::set<fs::path> named;
    std::error_code ec;
    for (fs::directory_iterator it(devRoot / "serial" / "by-id", ec), end; !ec && it != end;
         it.increment(ec)) {
        byId.push_back(it->path().string());
        if (fs::path t = Target(it->path()); !t.empty()) named.insert(t);
    }
    std::sort(byId.begin(), byId.end());

    struct Node {
        std::string stem;
        unsigned long number;
        std::string path;
    };
    std::vector<Node> nodes;
    ec.clear();
    for (fs::directory_iterator it(devRoot, ec), end; !ec && it != end; it.increment(ec)) {
        Node node;
        if (!SplitAdapterName(it->path().filename().string(), node.stem, node.number)) continue;
        if (named.count(Target(it->path())) != 0) continue;
        node.path = it->path().string();
        nodes.push_back(std::move(node));
    }
    std::sort(nodes.begin(), nodes.end(), [](const Node& a, const Node& b) {
        return a.stem != b.stem ? a.stem < b.stem : a.number < b.number;
    });

    std::vector<std::string> all = std::move(byId);
    for (Node& n : nodes) all.push_back(std::move(n.path));
    return all;
}

fs::path SerialNamesFile() {
    return linkio::SettingsFile("QUENDRA_QNCTRL_DIR", "QuendraControl.ini");
}

std::vector<stComPort> ListComPorts(const fs::path& settings) {
    std::vector<stComPort> ports;
    for (int n = 1; n <= 256; ++n) {
        const std::string name = "COM" + std::to_string(n);
        const auto spec = linkio::ParsePort(name, settings);
        struct stat st {};
        if (!spec || ::stat(spec->device.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) continue;
        ports.push_back({name, spec->device});
    }
    return ports;
}

}  // namespace qlink
