#include "options.h"

#include <algorithm>
#include <charconv>
#include <functional>

#include "common/options.h"

#include "text_protocol.h"

namespace dsim {

namespace {

bool ParseNumber(const std::string& s, long long lo, long long hi, long long& v) {
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return !s.empty() && ec == std::errc() && ptr == s.data() + s.size() && v >= lo && v <= hi;
}

// "log" or "nvram": the image whose size is announced as 0.
bool ZeroSize(const std::string& which, FaultConfig& faults, std::string& error) {
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
bool RefusedCommand(const std::string& c, FaultConfig& faults, std::string& error) {
    faults.refuseCommand = c;
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
           "  --transcript FILE      append one line per request (\"-\": standard output)\n"
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
           "  --version              print the program's version\n"
           "  RULE is [text:|bin:]first:K or [text:|bin:]every:K\n"
           "An option's value may also follow an \"=\": --listen=127.0.0.5.\n"
           "\n"
           "Exit status: 0 stopped by SIGTERM or SIGINT, 1 the state could not be saved,\n"
           "2 a state file, log, NVRAM image or address that cannot be used, 64 usage error.\n";
}

bool ParseOptions(const std::vector<std::string>& args, Options& o, std::string& error) {
    o = Options{};
    using cmn::OptionValue;
    // An option whose value is a number lo..hi, stored by `store`.
    const auto number = [](const char* name, long long lo, long long hi, std::function<void(long long)> store) {
        return cmn::stOption{name, {}, OptionValue::MayBeEmpty,
                             [name, lo, hi, store](const std::string& s, std::string& why) {
                                 long long v = 0;
                                 if (!ParseNumber(s, lo, hi, v)) {
                                     why = std::string(name) + " needs a number from " + std::to_string(lo) +
                                           " to " + std::to_string(hi);
                                     return false;
                                 }
                                 store(v);
                                 return true;
                             }};
    };
    const auto rule = [](const char* name, std::optional<FaultRule>& into) {
        return cmn::stOption{name, {}, OptionValue::MayBeEmpty, [&into](const std::string& s, std::string& why) {
                                 FaultRule fr;
                                 if (!ParseFaultRule(s, fr, why)) return false;
                                 into = fr;
                                 return true;
                             }};
    };
    const auto text = [](const char* name, std::string& into) {
        return cmn::TextOption(name, into, OptionValue::MayBeEmpty);
    };
    const std::vector<cmn::stOption> table = {
        cmn::SwitchOption("--help", o.help, "-h"),
        cmn::SwitchOption("--version", o.version),
        {"--listen", {}, OptionValue::MayBeEmpty,
         [&o](const std::string& s, std::string& why) {
             if (s.empty()) {
                 why = "--listen needs an address";
                 return false;
             }
             o.listen = s;
             return true;
         }},
        number("--port", 1, 65535, [&o](long long v) { o.port = static_cast<int>(v); }),
        number("--bin-port", 1, 65535, [&o](long long v) { o.binPort = static_cast<int>(v); }),
        cmn::SwitchOption("--serial", o.serial),
        number("--chain", 0, 255, [&o](long long v) { o.chain = static_cast<int>(v); }),
        text("--state", o.statePath),
        text("--save-state", o.saveStatePath),
        text("--log", o.logPath),
        text("--nvram", o.nvramPath),
        number("--nvram-size", 1, 65535, [&o](long long v) { o.nvramSize = static_cast<std::size_t>(v); }),
        text("--account", o.account),
        text("--password", o.password),
        cmn::SwitchOption("--tlmode", o.tlmode),
        text("--transcript", o.transcriptPath),
        number("--idle-timeout", 1, 86400, [&o](long long v) { o.idleTimeoutSec = static_cast<int>(v); }),
        rule("--drop", o.faults.drop),
        rule("--refuse", o.faults.refuse),
        rule("--corrupt", o.faults.corrupt),
        rule("--garbage", o.faults.garbage),
        rule("--delay", o.faults.delay),
        number("--garbage-bytes", 0, 4096, [&o](long long v) { o.faults.garbageBytes = static_cast<int>(v); }),
        number("--delay-ms", 0, 600000, [&o](long long v) { o.faults.delayMs = static_cast<int>(v); }),
        number("--close-after-blocks", 1, 1000000,
               [&o](long long v) { o.faults.closeAfterBlocks = static_cast<int>(v); }),
        {"--zero-size", {}, OptionValue::MayBeEmpty,
         [&o](const std::string& s, std::string& why) { return ZeroSize(s, o.faults, why); }},
        {"--refuse-command", {}, OptionValue::MayBeEmpty,
         [&o](const std::string& s, std::string& why) { return RefusedCommand(s, o.faults, why); }},
        number("--refuse-command-count", 1, 1000000,
               [&o](long long v) { o.faults.refuseCommandCount = static_cast<int>(v); }),
    };
    const auto noOperands = [](const std::string& arg, std::string& why) {
        why = "unexpected argument \"" + arg + "\"";
        return false;
    };
    if (!cmn::ParseOptions(args, table, noOperands, error)) return false;
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
