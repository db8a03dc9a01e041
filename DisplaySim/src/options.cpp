#include "options.h"

#include <algorithm>
#include <charconv>

#include "text_protocol.h"

namespace dsim {

namespace {

bool ParseNumber(const std::string& s, long long lo, long long hi, long long& v) {
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return !s.empty() && ec == std::errc() && ptr == s.data() + s.size() && v >= lo && v <= hi;
}

// "log" or "nvram": the image whose size is announced as 0.
template <typename Value>
bool ZeroSize(Value& value, FaultConfig& faults, std::string& error) {
    std::string which;
    if (!value(which)) return false;
    if (which == "log") {
        faults.zeroLogSize = true;
    } else if (which == "nvram") {
        faults.zeroNvramSize = true;
    } else {
        error = "--zero-size needs log or nvram";
        return false;
    }
    return true;
}

// A command the text port could receive: 1 to 64 printable ASCII characters.
template <typename Value>
bool RefusedCommand(Value& value, FaultConfig& faults, std::string& error) {
    if (!value(faults.refuseCommand)) return false;
    const std::string& c = faults.refuseCommand;
    const bool printable = std::all_of(c.begin(), c.end(), [](char ch) { return ch >= 0x20 && ch <= 0x7E; });
    if (c.empty() || c.size() > kMaxTextCommand || !printable) {
        error = "--refuse-command needs 1 to 64 printable ASCII characters";
        return false;
    }
    return true;
}

}  // namespace

const char* UsageText() {
    return "Usage: display-sim [options]\n"
           "  --listen ADDR          address of both TCP ports (default 127.0.0.1; a host name is resolved)\n"
           "  --port N               text command port (default 10008)\n"
           "  --bin-port N           binary port (default 18081)\n"
           "  --serial               serve one pseudo-terminal instead of TCP; prints its path\n"
           "  --chain N              displays with IDs 1..N behind display 0 (0..255)\n"
           "  --state FILE           load the state file\n"
           "  --save-state FILE      save the state when stopping\n"
           "  --log FILE             log image of display 0 (a saved \".dat\" file)\n"
           "  --nvram FILE           NVRAM image of display 0\n"
           "  --nvram-size N         size of the built-in NVRAM pattern (1..65535, default 4096)\n"
           "  --account TEXT         account of the login dialogue\n"
           "  --password TEXT        password of the login dialogue\n"
           "  --tlmode               run the login dialogue on the binary port too\n"
           "  --transcript FILE      append one line per request\n"
           "  --idle-timeout S       close connections silent for S seconds (1..86400, default 300)\n"
           "  --drop RULE            do not send the replies the rule hits\n"
           "  --refuse RULE          refuse the requests the rule hits (NG / status 0xFE)\n"
           "  --corrupt RULE         spoil the checksum of the binary replies the rule hits\n"
           "  --garbage RULE         send garbage before the replies the rule hits\n"
           "  --garbage-bytes N      length of that garbage (0..4096, default 8)\n"
           "  --delay RULE           delay the replies the rule hits\n"
           "  --delay-ms N           by N milliseconds (0..600000, default 1000)\n"
           "  --close-after-blocks K close a binary connection after K block replies\n"
           "  --zero-size log|nvram  announce a size of 0 for that image (may be given twice)\n"
           "  --refuse-command TEXT  refuse the text command TEXT (NG, not executed)\n"
           "  --refuse-command-count K  only its first K times (default: every time)\n"
           "  --help, -h             print this text\n"
           "  RULE is [text:|bin:]first:K or [text:|bin:]every:K\n";
}

bool ParseOptions(const std::vector<std::string>& args, Options& o, std::string& error) {
    o = Options{};
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        auto number = [&](long long lo, long long hi, long long& v) {
            std::string s;
            if (!value(s)) return false;
            if (!ParseNumber(s, lo, hi, v)) {
                error = a + " needs a number from " + std::to_string(lo) + " to " + std::to_string(hi);
                return false;
            }
            return true;
        };
        auto rule = [&](std::optional<FaultRule>& r) {
            std::string s;
            FaultRule fr;
            if (!value(s) || !ParseFaultRule(s, fr, error)) return false;
            r = fr;
            return true;
        };
        long long v = 0;
        bool ok = true;
        if (a == "--help" || a == "-h") o.help = true;
        else if (a == "--listen") ok = value(o.listen) && (!o.listen.empty() || (error = "--listen needs an address", false));
        else if (a == "--port") { ok = number(1, 65535, v); o.port = static_cast<int>(v); }
        else if (a == "--bin-port") { ok = number(1, 65535, v); o.binPort = static_cast<int>(v); }
        else if (a == "--serial") o.serial = true;
        else if (a == "--chain") { ok = number(0, 255, v); o.chain = static_cast<int>(v); }
        else if (a == "--state") ok = value(o.statePath);
        else if (a == "--save-state") ok = value(o.saveStatePath);
        else if (a == "--log") ok = value(o.logPath);
        else if (a == "--nvram") ok = value(o.nvramPath);
        else if (a == "--nvram-size") { ok = number(1, 65535, v); o.nvramSize = static_cast<std::size_t>(v); }
        else if (a == "--account") ok = value(o.account);
        else if (a == "--password") ok = value(o.password);
        else if (a == "--tlmode") o.tlmode = true;
        else if (a == "--transcript") ok = value(o.transcriptPath);
        else if (a == "--idle-timeout") { ok = number(1, 86400, v); o.idleTimeoutSec = static_cast<int>(v); }
        else if (a == "--drop") ok = rule(o.faults.drop);
        else if (a == "--refuse") ok = rule(o.faults.refuse);
        else if (a == "--corrupt") ok = rule(o.faults.corrupt);
        else if (a == "--garbage") ok = rule(o.faults.garbage);
        else if (a == "--delay") ok = rule(o.faults.delay);
        else if (a == "--garbage-bytes") { ok = number(0, 4096, v); o.faults.garbageBytes = static_cast<int>(v); }
        else if (a == "--delay-ms") { ok = number(0, 600000, v); o.faults.delayMs = static_cast<int>(v); }
        else if (a == "--close-after-blocks") { ok = number(1, 1000000, v); o.faults.closeAfterBlocks = static_cast<int>(v); }
        else if (a == "--zero-size") ok = ZeroSize(value, o.faults, error);
        else if (a == "--refuse-command") ok = RefusedCommand(value, o.faults, error);
        else if (a == "--refuse-command-count") { ok = number(1, 1000000, v); o.faults.refuseCommandCount = static_cast<int>(v); }
        else {
            error = "unknown option \"" + a + "\"";
            return false;
        }
        if (!ok) return false;
    }
    if (o.faults.corrupt && o.faults.corrupt->port == PortKind::Text) {
        error = "--corrupt applies to binary replies only (text replies carry no checksum)";
        return false;
    }
    if (o.faults.refuseCommandCount > 0 && o.faults.refuseCommand.empty()) {
        error = "--refuse-command-count needs --refuse-command";
        return false;
    }
    if (!o.serial && o.port == o.binPort) {
        error = "--port and --bin-port must differ";
        return false;
    }
    return true;
}

}  // namespace dsim
