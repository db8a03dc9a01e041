#include "cli/AcquireCli.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <exception>
#include <iostream>
#include <ostream>
#include <system_error>

#include "acquire/Commands.h"
#include "acquire/HeadlessFrameUi.h"
#include "acquire/Identify.h"
#include "acquire/Interrupt.h"
#include "acquire/Transfer.h"
#include "cli/FleetCli.h"
#include "report/LogJson.h"
#include "common/codepage.h"
#include "common/options.h"
#include "common/prompt.h"
#include "common/strutil.h"
#include "common/textfile.h"
#include "common/timeutil.h"
#include "link/Ports.h"
#include "linkio/TextProtocol.h"
#include "report/ReportPipeline.h"

namespace fs = std::filesystem;

namespace {

const char* const kHelp =
    "Usage: quendra-acquire COMMAND [OPTIONS]\n"
    "\n"
    "Talks to a display the way the report program's window does (same files,\n"
    "same names, same requests), for scripts and fleets.\n"
    "\n"
    "Commands:\n"
    "  get-logs               read the log; write it as MODEL_SERIAL.dat into --out\n"
    "  get-all                read the log and the NVRAM image; write MODEL_SERIAL.dat\n"
    "                         and NvramDump1.bin into --out\n"
    "  dump-nvram             read the NVRAM image into --out/NvramDump1.bin\n"
    "  write-nvram FILE       write FILE (exactly the display's NVRAM size) to the NVRAM\n"
    "                         (shows the display and the file, then asks; --yes)\n"
    "  clear-logs             clear the display's logs (shows the display, then asks;\n"
    "                         --yes)\n"
    "  dump-temperature FILE  write the temperature settings dump to FILE (\"-\":\n"
    "                         standard output)\n"
    "\n"
    "Connection (one of):\n"
    "  --lan HOST[:PORT]      text port PORT (default 10008), binary port 18081\n"
    "  --serial COMn|DEVICE   a serial port name or a device path\n"
    "Options:\n"
    "  --baud N               serial control baud: 9600 (default), 19200, 38400\n"
    "  --id N                 display ID in a daisy chain, 1..255 (default: none)\n"
    "  --user U               LAN login account\n"
    "  --password-file F      LAN login password: the first line of F\n"
    "  --model NAME           model of ModelName.csv (names a log without a model)\n"
    "  --out DIR              folder of the files, made when missing (default: the\n"
    "                         current folder)\n"
    "  --stamp                the collection time in the names of the files:\n"
    "                         MODEL_SERIAL_YYYYmmdd-HHMMSS.dat and\n"
    "                         NvramDump1_YYYYmmdd-HHMMSS.bin, so that collections\n"
    "                         into one folder keep each other's files (get-logs,\n"
    "                         get-all, dump-nvram)\n"
    "  --yes                  write-nvram and clear-logs without asking; without it\n"
    "                         they ask on the terminal, and refuse when standard\n"
    "                         input is none\n"
    "  --json                 print one summary object on standard output: display,\n"
    "                         files written with their sizes, model, serial, durations\n"
    "  --help                 this text\n"
    "  --version              the program's version\n"
    "An option's value may also follow an \"=\": --out=logs.\n"
    "\n"
    "Fleet (get-all, get-logs, dump-nvram; instead of --lan/--serial/--id):\n"
    "  --hosts FILE           one display per line: HOST[:PORT] [ID [USER]] (blanks\n"
    "                         or commas between the fields, ID 0 for none, # starts\n"
    "                         a comment); each display goes into its own folder of\n"
    "                         --out (host, _port unless 10008, _idN); --user,\n"
    "                         --password-file and --stamp apply to every line\n"
    "  --jobs N               displays collected at once, 1..64 (default 4); the\n"
    "                         displays of one host are collected one after the other\n"
    "  --overview             at the end, the fleet overview of --out: overview.html\n"
    "                         (with .csv and .json, and the full reports in\n"
    "                         overview-reports), the displays not collected with why\n"
    "  One line per display on standard output as it ends, starting with its place\n"
    "  in the run ([3/40]; its JSON line with --json); all JSON lines in\n"
    "  --out/summary.jsonl. A display that fails never stops the others; after\n"
    "  Ctrl+C the displays not started count as cancelled. Exit status: 0 all\n"
    "  collected, 1 any failed, 2 cancelled, 4 the hosts file, the summary or the\n"
    "  overview, 64 a bad hosts file.\n"
    "\n"
    "A file is replaced whole (temporary file, then rename): a failed run never\n"
    "leaves a partial file; a link to a file replaces the file it points to; a\n"
    "device or a FIFO is written as it is. A run waits (at most 60 s, and says so\n"
    "on standard error) while another program talks to the same display: the same\n"
    "address, however written, or the same serial device. Ctrl+C cancels between\n"
    "two requests; the display is still put back (binary mode left, logging on).\n"
    "A second Ctrl+C ends at once.\n"
    "\n"
    "Exit status: 0 success, 1 communication failure, 2 cancelled (Ctrl+C, or\n"
    "clear-logs or write-nvram not confirmed), 3 refused (NVRAM write with a\n"
    "display ID), 4 a file could not be read or written, 64 usage error.\n";

const char* const kCommands[] = {"get-logs",    "get-all",    "dump-nvram",
                                 "write-nvram", "clear-logs", "dump-temperature"};

constexpr std::size_t kMaxPasswordFile = 4096;
constexpr int kMaxJobs = 64;

bool IsCommand(const std::string& word) {
    for (const char* c : kCommands)
        if (word == c) return true;
    return false;
}

bool NeedsFile(const std::string& command) {
    return command == "write-nvram" || command == "dump-temperature";
}

// The commands a fleet runs: those that only read into a folder, under names
// of their own.
bool IsFleetCommand(const std::string& command) {
    return command == "get-all" || command == "get-logs" || command == "dump-nvram";
}

// The commands that change the display, and ask first.
bool ChangesDisplay(const stAcquireOptions& o) {
    return o.strCommand == "clear-logs" || o.strCommand == "write-nvram";
}

// Progress on standard error: a bar on a terminal, plain lines otherwise.
class CliProgress : public acq::IProgress {
public:
    CliProgress(std::ostream& err, bool terminal) : m_err(err), m_terminal(terminal) {}
    void Start(const acq::stProgressParams& params) {
        m_range = params.nRange > 0 ? params.nRange : 1;
        m_caption = "Communicating" + params.strSuffix;
        m_pos = 0;
        m_text = "";
    }
    void SetText(const char* text) override {
        m_text = text ? text : "";
        if (m_terminal) {
            Draw();
        } else {
            m_err << m_caption << ": " << m_text << '\n';
            m_err.flush();
        }
    }
    void SetPos(int pos) override {
        m_pos = pos;
        if (m_terminal) Draw();
    }
    void End() override {
        if (m_terminal) {
            m_err << "\r\x1b[K";
            m_err.flush();
        }
    }
    // A line of its own, also between two drawings of the bar.
    void Notice(const std::string& text) override {
        if (m_terminal) m_err << "\r\x1b[K";
        m_err << "quendra-acquire: " << cmn::EscapeNonPrintable(text) << '\n';
        m_err.flush();
    }

private:
    void Draw() {
        constexpr int kWidth = 24;
        const int filled = std::clamp(m_pos, 0, m_range) * kWidth / m_range;
        m_err << "\r\x1b[K" << m_caption << " [" << std::string(static_cast<std::size_t>(filled), '#')
              << std::string(static_cast<std::size_t>(kWidth - filled), '.') << "] " << m_text;
        m_err.flush();
    }

    std::ostream& m_err;
    bool m_terminal;
    int m_range = 12;
    int m_pos = 0;
    std::string m_caption;
    std::string m_text;
};

// The headless window with the progress shown.
class CliFrameUi : public acq::HeadlessFrameUi {
public:
    explicit CliFrameUi(CliProgress& bar) : m_bar(bar) { progress = &bar; }
    int RunWorker(const acq::stProgressParams& params, const acq::WorkerFn& worker) override {
        m_bar.Start(params);
        return HeadlessFrameUi::RunWorker(params, worker);
    }

private:
    CliProgress& m_bar;
};

// Messages as lines on `err` (printable ASCII only); questions answered yes
// without a word once the user confirmed the command (--yes, or on the
// terminal before it started), else asked on the terminal by the console
// prompt (no without one).
class CliPrompt : public cmn::IPrompt {
public:
    CliPrompt(std::ostream& err, bool yes) : m_err(err), m_yes(yes) {}
    int Message(const std::string& text, unsigned type, const std::string& caption) override {
        const unsigned buttons = type & 0x0F;
        const bool question = buttons == cmn::MB_YESNO || buttons == cmn::MB_OKCANCEL;
        if (question && !m_yes) return m_console.Message(text, type, caption);
        // The question the user already answered (or --yes did) is not shown again.
        if (question) return buttons == cmn::MB_YESNO ? cmn::IDYES : cmn::IDOK;
        std::string line = text;
        for (char& c : line)
            if (c == '\n' || c == '\r') c = ' ';
        m_err << cmn::EscapeNonPrintable(line) << '\n';
        m_err.flush();
        return cmn::IDOK;
    }

private:
    std::ostream& m_err;
    bool m_yes;
    cmn::ConsolePrompt m_console;
};

// An NVRAM image to write: a regular file of 1..65,535 bytes.
bool IsNvramFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
           static_cast<std::uintmax_t>(st.st_size) <= acq::kMaxImageBytes && ::access(path.c_str(), R_OK) == 0;
}

int ExitCodeOf(int frameCode) {
    switch (frameCode) {
        case acq::kExitOk:
            return ACQCLI_OK;
        case acq::kExitCancel:
        case acq::kExitDeclined:
            return ACQCLI_CANCEL;
        case acq::kExitRefused:
            return ACQCLI_REFUSED;
        case acq::kExitFile:
            return ACQCLI_FILE;
        default:
            return ACQCLI_COMM;
    }
}

int RunCommand(const stAcquireOptions& o, acq::CReportFrame& frame) {
    const std::string& c = o.strCommand;
    if (c == "get-logs") {
        int code = frame.OnGetLogs();
        // The image is kept whenever it arrived, as Get All keeps it.
        if (frame.Log().m_bValid != 0) {
            const int saved = frame.OnCreateReport();
            if (code == acq::kExitOk) code = saved;
        }
        return code;
    }
    if (c == "get-all") return frame.OnGetAll();
    if (c == "dump-nvram") return frame.OnDumpNvram();
    if (c == "write-nvram") return frame.OnWriteNvram();
    if (c == "clear-logs") return frame.OnClearLogs();
    return frame.OnDumpTemperature();
}

std::string Millis(std::chrono::steady_clock::duration d) {
    return cmn::StrPrintf("%.1f", std::chrono::duration<double, std::milli>(d).count());
}

// The display as messages name it: "127.0.0.5", "127.0.0.5:10009 id 3", "COM1".
std::string DisplayLabel(const stAcquireOptions& o) {
    std::string label = o.bLan ? o.strHost : o.strSerial;
    if (o.bLan && o.nLanPort != qlink::kDefaultLanDataPort) label += ":" + std::to_string(o.nLanPort);
    if (o.nDisplayId != 0) label += " id " + std::to_string(o.nDisplayId);
    return label;
}

std::string Summary(const stAcquireOptions& o, const acq::CReportFrame& frame, const CliFrameUi& ui,
                    const acq::stDisplayIdentity& identity, int exitCode,
                    std::chrono::steady_clock::duration total) {
    // A command that reads no log names the display by what it reported.
    const bool logRead = !frame.Log().m_strModel.empty() || !frame.Log().m_strSerial.empty();
    const std::string& model = logRead ? frame.Log().m_strModel : identity.strModel;
    const std::string& serial = logRead ? frame.Log().m_strSerial : identity.strSerial;
    std::string json =
        "{\"command\":" + JsonString(o.strCommand) + ",\"exit_code\":" + std::to_string(exitCode);
    json += ",\"model\":" + JsonString(cmn::Cp932ToUtf8(model));
    json += ",\"serial\":" + JsonString(cmn::Cp932ToUtf8(serial));
    json += ",\"files\":[";
    bool first = true;
    for (const fs::path& p : frame.WrittenFiles()) {
        std::error_code ec;
        const std::uintmax_t size = fs::file_size(p, ec);
        if (ec) continue;
        const std::string name = fs::absolute(p, ec).lexically_normal().string();
        json += std::string(first ? "" : ",") +
                "{\"path\":" + JsonAnyText(name) +
                ",\"bytes\":" + std::to_string(size) + "}";
        first = false;
    }
    json += "],\"duration_ms\":" + Millis(total) + ",\"steps\":[";
    first = true;
    for (const auto& run : ui.Runs()) {
        json += std::string(first ? "" : ",") + "{\"exit_code\":" + std::to_string(run.nExitCode) +
                ",\"duration_ms\":" + Millis(run.elapsed) + "}";
        first = false;
    }
    return json + "],\"display\":" + JsonAnyText(DisplayLabel(o)) + "}\n";
}

}  // namespace

bool ReadPasswordOption(const stAcquireOptions& o, std::string& password, std::ostream& err) {
    password.clear();
    if (o.strPasswordFile.empty()) return true;
    std::string bytes;
    if (!cmn::ReadFileBytes(o.strPasswordFile, bytes, kMaxPasswordFile)) {
        err << "quendra-acquire: cannot read the password file " << cmn::EscapeNonPrintable(o.strPasswordFile)
            << '\n';
        return false;
    }
    password = bytes.substr(0, bytes.find_first_of("\r\n"));
    return true;
}

bool MakeOutFolder(const std::string& path, std::ostream& err) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) return true;
    if (fs::exists(fs::symlink_status(path, ec))) {
        err << "quendra-acquire: " << cmn::EscapeNonPrintable(path) << " is not a folder\n";
        return false;
    }
    fs::create_directories(path, ec);
    if (ec || !fs::is_directory(path, ec)) {
        err << "quendra-acquire: cannot make the folder " << cmn::EscapeNonPrintable(path) << '\n';
        return false;
    }
    return true;
}

namespace {

std::string Shown(const std::string& text) { return cmn::EscapeNonPrintable(text); }

// The collection time as the file names carry it.
std::string FileStamp() { return cmn::FormatLocal(std::time(nullptr), "%Y%m%d-%H%M%S"); }

// What a changing command does, for its question and its refusal.
std::string ChangeQuestion(const stAcquireOptions& o, const std::string& display) {
    if (o.strCommand == "clear-logs") return "Clear the logs of " + display + "?";
    return "Write " + Shown(o.strFile) + " to the NVRAM of " + display + "?";
}

const char* NotDone(const stAcquireOptions& o) {
    return o.strCommand == "clear-logs" ? "the logs were not cleared" : "nothing was written";
}

// Before clear-logs or write-nvram: the display's model and serial number
// (and the file's name and size), then the question on the terminal unless
// --yes. ACQCLI_OK to go on; nothing but the two queries was sent otherwise.
int ConfirmChange(const stAcquireOptions& o, qlink::IDisplayLink& link, CliFrameUi& ui,
                  acq::stDisplayIdentity& identity, std::ostream& err) {
    const bool terminal = ::isatty(STDIN_FILENO) == 1;
    if (!o.bYes && !terminal) {
        err << "quendra-acquire: " << NotDone(o) << ": " << o.strCommand
            << " asks first, and standard input is no terminal (give --yes to go on without asking)\n";
        return ACQCLI_CANCEL;
    }
    bool known;
    {
        const acq::CInterruptTarget running(ui);
        acq::NullProgress quiet;
        acq::IProgress* notices = ui.NoticeSink();
        known = acq::QueryDisplayIdentity(link, ui.ports, &ui.cancelFlag, notices ? *notices : quiet, identity);
    }
    if (!known) {
        err << (AcquireCliInterrupted() ? acq::kMsgCanceled : acq::kMsgCommFailed) << '\n';
        return AcquireCliInterrupted() ? ACQCLI_CANCEL : ACQCLI_COMM;
    }
    const std::string display =
        Shown(DisplayLabel(o)) + " (" + Shown(identity.strModel) + " " + Shown(identity.strSerial) + ")";
    err << "Display: " << display << '\n';
    if (o.strCommand == "write-nvram") {
        std::error_code ec;
        err << "File: " << Shown(o.strFile) << " (" << fs::file_size(o.strFile, ec) << " bytes)\n";
    }
    err.flush();
    if (o.bYes) return ACQCLI_OK;
    if (cmn::AskYesNo(ChangeQuestion(o, display), std::cin, stderr)) return ACQCLI_OK;
    err << "quendra-acquire: " << NotDone(o) << '\n';
    return ACQCLI_CANCEL;
}

// Checks made before the display is talked to; 0 or the exit code.
int CheckFiles(const stAcquireOptions& o, std::ostream& err) {
    if (!NeedsFile(o.strCommand) && o.strCommand != "clear-logs" && !MakeOutFolder(o.strOut, err)) {
        return ACQCLI_FILE;
    }
    if (o.strCommand == "write-nvram" && !IsNvramFile(o.strFile)) {
        err << "quendra-acquire: " << Shown(o.strFile) << " is not a readable file of 1 to 65535 bytes\n";
        return ACQCLI_FILE;
    }
    if (o.strCommand == "dump-temperature") {
        const cmn::stOutputTarget target = cmn::ResolveOutputPath(o.strFile);
        if (target.kind == cmn::OutputKind::Refused) {
            err << "quendra-acquire: " << Shown(target.error) << '\n';
            return ACQCLI_FILE;
        }
    }
    return ACQCLI_OK;
}

int Run(const stAcquireOptions& o, const fs::path& programDir, qlink::IDisplayLink& link, std::ostream& out,
        std::ostream& err, bool errIsTerminal) {
    const auto start = std::chrono::steady_clock::now();
    std::string password;
    if (!ReadPasswordOption(o, password, err)) return ACQCLI_FILE;
    if (const int code = CheckFiles(o, err); code != ACQCLI_OK) return code;
    fs::path modelFolder;
    if (!o.strModel.empty()) {
        modelFolder = ModelFolderFor(programDir, o.strModel);
        if (modelFolder.empty()) {
            err << "quendra-acquire: model " << Shown(o.strModel) << " is not listed in ModelName.csv\n";
            return ACQCLI_USAGE;
        }
    }

    CliProgress bar(err, errIsTerminal);
    CliFrameUi ui(bar);
    ui.ports = o.bLan ? qlink::LanHostChoice(o.strHost, o.nLanPort, o.strUser, password, o.nDisplayId)
                      : qlink::SerialChoice(o.strSerial, o.nBaud, o.nDisplayId);
    ui.folder = o.strOut;
    if (o.strCommand == "write-nvram") ui.openPath = o.strFile;
    if (o.strCommand == "dump-temperature") ui.savePath = o.strFile;

    // A write with a display ID is refused by the command itself, before anything is sent.
    acq::stDisplayIdentity identity;
    const bool asks = ChangesDisplay(o) && !(o.strCommand == "write-nvram" && o.nDisplayId != 0);
    if (asks) {
        if (const int code = ConfirmChange(o, link, ui, identity, err); code != ACQCLI_OK) return code;
    }

    CliPrompt prompt(err, o.bYes || asks);
    cmn::ScopedPrompt scoped(prompt);
    acq::stFrameSetup setup = acq::MakeFrameSetup(programDir, o.strModel, modelFolder, true);
    if (o.bStamp) setup.strFileStamp = FileStamp();
    acq::CReportFrame frame(setup, ui, link);
    int code;
    {
        const acq::CInterruptTarget running(ui);
        code = ExitCodeOf(RunCommand(o, frame));
    }
    if (o.bJson) {
        out << Summary(o, frame, ui, identity, code, std::chrono::steady_clock::now() - start);
        out.flush();
    }
    return code;
}

}  // namespace

const char* AcquireCliHelp() {
    return kHelp;
}

bool ParseDecimalArg(const std::string& text, int min, int max, int& value) {
    const std::optional<int> v = linkio::ParseDecimalValue(text);
    if (!v || *v < min || *v > max || text[0] == '+' || text[0] == '-') return false;
    value = *v;
    return true;
}

bool ParseLanAddress(const std::string& text, std::string& host, int& port) {
    const std::size_t colon = text.rfind(':');
    host = text.substr(0, colon);
    if (colon != std::string::npos && !ParseDecimalArg(text.substr(colon + 1), 1, 65535, port)) return false;
    if (host.empty()) return false;
    for (const char c : host)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return false;
    return true;
}

bool ParseAcquireArgs(const std::vector<std::string>& args, stAcquireOptions& options, std::string& error) {
    options = stAcquireOptions{};
    stAcquireOptions& o = options;
    bool haveBaud = false, haveId = false, haveJobs = false;
    const auto number = [](const char* name, int min, int max, int& into, bool& given, const char* why) {
        return cmn::stOption{name, {}, cmn::OptionValue::Required,
                             [&into, &given, min, max, why](const std::string& v, std::string& reason) {
                                 if (!ParseDecimalArg(v, min, max, into)) {
                                     reason = why;
                                     return false;
                                 }
                                 given = true;
                                 return true;
                             }};
    };
    const std::vector<cmn::stOption> table = {
        cmn::SwitchOption("--help", o.bHelp, "-h"),
        cmn::SwitchOption("--version", o.bVersion),
        {"--lan", {}, cmn::OptionValue::Required,
         [&](const std::string& v, std::string& why) {
             if (!ParseLanAddress(v, o.strHost, o.nLanPort)) {
                 why = "--lan needs HOST or HOST:PORT (port 1..65535)";
                 return false;
             }
             o.bLan = true;
             return true;
         }},
        {"--serial", {}, cmn::OptionValue::Required,
         [&](const std::string& v, std::string&) {
             o.strSerial = v;
             o.bSerial = true;
             return true;
         }},
        {"--baud", {}, cmn::OptionValue::Required,
         [&](const std::string& v, std::string& why) {
             if (!ParseDecimalArg(v, 1, 4000000, o.nBaud) || (o.nBaud != 9600 && o.nBaud != 19200 && o.nBaud != 38400)) {
                 why = "--baud needs 9600, 19200 or 38400";
                 return false;
             }
             haveBaud = true;
             return true;
         }},
        number("--id", 0, 255, o.nDisplayId, haveId, "--id needs a number 0..255"),
        number("--jobs", 1, kMaxJobs, o.nJobs, haveJobs, "--jobs needs a number 1..64"),
        cmn::TextOption("--hosts", o.strHosts),
        cmn::TextOption("--user", o.strUser),
        cmn::TextOption("--password-file", o.strPasswordFile),
        cmn::TextOption("--model", o.strModel),
        cmn::TextOption("--out", o.strOut),
        cmn::SwitchOption("--yes", o.bYes),
        cmn::SwitchOption("--json", o.bJson),
        cmn::SwitchOption("--stamp", o.bStamp),
        cmn::SwitchOption("--overview", o.bOverview),
    };
    const auto operand = [&](const std::string& arg, std::string& why) {
        if (o.strCommand.empty()) {
            if (!IsCommand(arg)) {
                why = "unknown command " + arg;
                return false;
            }
            o.strCommand = arg;
        } else if (NeedsFile(o.strCommand) && o.strFile.empty()) {
            o.strFile = arg;
        } else {
            why = "unexpected argument " + arg;
            return false;
        }
        return true;
    };
    if (!cmn::ParseOptions(args, table, operand, error)) return false;
    if (o.bHelp || o.bVersion) return true;
    if (o.strCommand.empty()) {
        error = "no command given";
        return false;
    }
    if (NeedsFile(o.strCommand) && o.strFile.empty()) {
        error = o.strCommand + " needs a FILE";
        return false;
    }
    if (o.bStamp && !IsFleetCommand(o.strCommand)) {
        error = "--stamp applies to get-logs, get-all and dump-nvram";
        return false;
    }
    if (o.bJson && o.strCommand == "dump-temperature" && o.strFile == "-") {
        error = "dump-temperature - and --json would both write to standard output";
        return false;
    }
    if (!o.strHosts.empty()) {
        if (!IsFleetCommand(o.strCommand)) {
            error = "--hosts applies to get-all, get-logs and dump-nvram";
            return false;
        }
        if (o.bLan || o.bSerial || haveId || haveBaud) {
            error = "--hosts takes the place of --lan, --serial, --baud and --id";
            return false;
        }
        return true;
    }
    if (haveJobs || o.bOverview) {
        error = haveJobs ? "--jobs applies to --hosts only" : "--overview applies to --hosts only";
        return false;
    }
    if (o.bLan == o.bSerial) {
        error = "give exactly one of --lan and --serial";
        return false;
    }
    if (haveBaud && !o.bSerial) {
        error = "--baud applies to --serial only";
        return false;
    }
    if (o.bSerial && (!o.strUser.empty() || !o.strPasswordFile.empty())) {
        error = "--user and --password-file apply to --lan only";
        return false;
    }
    return true;
}

int RunAcquireCli(const std::vector<std::string>& args, const fs::path& programDir, qlink::IDisplayLink& link,
                  std::ostream& out, std::ostream& err, bool errIsTerminal) {
    try {
        stAcquireOptions options;
        std::string error;
        if (!ParseAcquireArgs(args, options, error)) {
            err << "quendra-acquire: " << cmn::EscapeNonPrintable(error) << "\n"
                << "Try 'quendra-acquire --help'.\n";
            return ACQCLI_USAGE;
        }
        if (options.bHelp) {
            out << kHelp;
            return ACQCLI_OK;
        }
        if (options.bVersion) {
            out << cmn::VersionLine("quendra-acquire");
            return ACQCLI_OK;
        }
        if (!options.strHosts.empty()) return RunFleet(options, programDir / "quendra-acquire", out, err);
        return Run(options, programDir, link, out, err, errIsTerminal);
    } catch (const std::exception& e) {
        err << "quendra-acquire: " << cmn::EscapeNonPrintable(e.what()) << '\n';
    } catch (...) {
        err << "quendra-acquire: unexpected failure\n";
    }
    return ACQCLI_COMM;
}

void InterruptAcquireCli() {
    acq::RequestInterrupt();
}

bool AcquireCliInterrupted() {
    return acq::InterruptRequested();
}
