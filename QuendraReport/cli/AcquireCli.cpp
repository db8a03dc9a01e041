#include "cli/AcquireCli.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <exception>
#include <iostream>
#include <memory>
#include <ostream>
#include <system_error>

#include "acquire/Acquire.h"
#include "acquire/Identify.h"
#include "acquire/Interrupt.h"
#include "acquire/Outcome.h"
#include "acquire/Transfer.h"
#include "archive/Collection.h"
#include "archive/HistoryArchive.h"
#include "cli/FleetCli.h"
#include "report/LogJson.h"
#include "common/codepage.h"
#include "common/options.h"
#include "common/prompt.h"
#include "common/strutil.h"
#include "common/textfile.h"
#include "common/timeutil.h"
#include "link/Ports.h"
#include "link/SerialDevices.h"
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
    "  list-ports             list this machine's serial ports: the COMn names that\n"
    "                         lead to a device, and the USB adapters by their stable\n"
    "                         names (/dev/serial/by-id/...); no connection, --json\n"
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
    "  --archive[=FILE]       add the collected log to the history archive FILE\n"
    "                         (default: archive.sqlite in $XDG_DATA_HOME/quendra,\n"
    "                         ~/.local/share/quendra), as quendra-log archive add\n"
    "                         does; a log not added fails the run with exit 4\n"
    "                         (get-all, get-logs; with --hosts, every display's)\n"
    "  --yes                  write-nvram and clear-logs without asking; without it\n"
    "                         they ask on the terminal, and refuse when standard\n"
    "                         input is none\n"
    "  --json                 print one summary object on standard output: display,\n"
    "                         files written with their sizes, model, serial,\n"
    "                         durations, and after a failure \"error\": its reason,\n"
    "                         step and detail\n"
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
    "After a failure the last line on standard error says why and where:\n"
    "\"quendra-acquire: reason REASON, step STEP: DETAIL\"; REASON is one of\n"
    "cannot-connect, login-refused, no-reply, refused, corrupted,\n"
    "connection-closed, display-busy, size-mismatch, file-error, cancelled.\n"
    "\n"
    "Exit status: 0 success, 1 communication failure, 2 cancelled (Ctrl+C, or\n"
    "clear-logs or write-nvram not confirmed), 3 refused (NVRAM write with a\n"
    "display ID), 4 a file could not be read or written, 64 usage error.\n";

const char* const kCommands[] = {"get-logs",   "get-all",          "dump-nvram", "write-nvram",
                                 "clear-logs", "dump-temperature", "list-ports"};

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


// Progress on standard error: a bar on a terminal, plain lines otherwise.
class CliProgress : public acq::IProgress {
public:
    CliProgress(std::ostream& err, bool terminal) : m_err(err), m_terminal(terminal) {}
    void Begin(const acq::stProgressParams& params) override {
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

// An NVRAM image to write: a regular file of 1..65,535 bytes.
bool IsNvramFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
           static_cast<std::uintmax_t>(st.st_size) <= acq::kMaxImageBytes && ::access(path.c_str(), R_OK) == 0;
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

// The summary object of --json.
std::string Summary(const stAcquireOptions& o, const acq::stCommandResult& result,
                    const acq::stDisplayIdentity& identity, std::chrono::steady_clock::duration total) {
    // A command that reads no log names the display by what it reported.
    const acq::stLogState& log = result.logState;
    const bool logRead = !log.strModel.empty() || !log.strSerial.empty();
    const std::string& model = logRead ? log.strModel : identity.strModel;
    const std::string& serial = logRead ? log.strSerial : identity.strSerial;
    std::string json =
        "{\"command\":" + JsonString(o.strCommand) + ",\"exit_code\":" + std::to_string(result.nExitCode);
    json += ",\"model\":" + JsonString(cmn::Cp932ToUtf8(model));
    json += ",\"serial\":" + JsonString(cmn::Cp932ToUtf8(serial));
    json += ",\"files\":[";
    bool first = true;
    for (const acq::stWrittenFile& f : result.files) {
        std::error_code ec;
        const std::string name = fs::absolute(f.path, ec).lexically_normal().string();
        json += std::string(first ? "" : ",") + "{\"path\":" + JsonAnyText(name) +
                ",\"bytes\":" + std::to_string(f.nBytes) + "}";
        first = false;
    }
    json += "],\"duration_ms\":" + Millis(total) + ",\"steps\":[";
    first = true;
    for (const acq::stStepRun& step : result.steps) {
        json += std::string(first ? "" : ",") + "{\"exit_code\":" + std::to_string(step.nExitCode) +
                ",\"duration_ms\":" + Millis(step.elapsed) + "}";
        first = false;
    }
    json += "],\"display\":" + JsonAnyText(DisplayLabel(o));
    if (result.nExitCode != ACQCLI_OK) {
        const acq::stFailure& f = result.failure;
        json += ",\"error\":{\"reason\":" + JsonString(acq::ReasonName(f.reason)) +
                ",\"step\":" + JsonString(acq::StepName(f.step)) + ",\"detail\":" + JsonAnyText(f.strDetail) + "}";
    }
    return json + "}\n";
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

// One subcommand over the acquisition API: the checks it makes before the
// display is talked to, whether it changes the display (and asks first),
// and the command it runs with its request.
class CCommand {
public:
    virtual ~CCommand() = default;
    virtual acq::Command Kind() const = 0;
    // ACQCLI_OK, or the exit code of a check that failed (its message on `err`).
    virtual int Check(std::ostream& err) const = 0;
    virtual bool ChangesDisplay() const { return false; }
    virtual acq::stCommandResult Run(qlink::IDisplayLink& link, acq::IProgress& progress,
                                     const int* cancel) const = 0;
};

// get-logs, get-all, dump-nvram: files into --out, made when missing.
class CFolderCommand : public CCommand {
public:
    explicit CFolderCommand(std::string folder) : m_folder(std::move(folder)) {}
    int Check(std::ostream& err) const override { return MakeOutFolder(m_folder, err) ? ACQCLI_OK : ACQCLI_FILE; }

private:
    std::string m_folder;
};

class CGetLogs final : public CFolderCommand {
public:
    explicit CGetLogs(const acq::stGetLogsRequest& r) : CFolderCommand(r.reportFolder.string()), m_request(r) {}
    acq::Command Kind() const override { return acq::Command::kGetLogs; }
    acq::stCommandResult Run(qlink::IDisplayLink& link, acq::IProgress& p, const int* cancel) const override {
        return acq::GetLogs(link, m_request, p, cancel);
    }

private:
    acq::stGetLogsRequest m_request;
};

class CGetAll final : public CFolderCommand {
public:
    explicit CGetAll(const acq::stGetAllRequest& r) : CFolderCommand(r.reportFolder.string()), m_request(r) {}
    acq::Command Kind() const override { return acq::Command::kGetAll; }
    acq::stCommandResult Run(qlink::IDisplayLink& link, acq::IProgress& p, const int* cancel) const override {
        return acq::GetAll(link, m_request, p, cancel);
    }

private:
    acq::stGetAllRequest m_request;
};

class CDumpNvram final : public CFolderCommand {
public:
    explicit CDumpNvram(const acq::stNvramDumpRequest& r) : CFolderCommand(r.folder.string()), m_request(r) {}
    acq::Command Kind() const override { return acq::Command::kDumpNvram; }
    acq::stCommandResult Run(qlink::IDisplayLink& link, acq::IProgress& p, const int* cancel) const override {
        return acq::DumpNvram(link, m_request, p, cancel);
    }

private:
    acq::stNvramDumpRequest m_request;
};

class CWriteNvram final : public CCommand {
public:
    explicit CWriteNvram(const acq::stNvramWriteRequest& r) : m_request(r) {}
    acq::Command Kind() const override { return acq::Command::kWriteNvram; }
    int Check(std::ostream& err) const override {
        if (IsNvramFile(m_request.file.string())) return ACQCLI_OK;
        err << "quendra-acquire: " << Shown(m_request.file.string())
            << " is not a readable file of 1 to 65535 bytes\n";
        return ACQCLI_FILE;
    }
    // A write with a display ID is refused by the command itself, before anything is sent.
    bool ChangesDisplay() const override { return m_request.ports.nDisplayId == 0; }
    acq::stCommandResult Run(qlink::IDisplayLink& link, acq::IProgress& p, const int* cancel) const override {
        return acq::WriteNvram(link, m_request, p, cancel);
    }

private:
    acq::stNvramWriteRequest m_request;
};

class CClearLogs final : public CCommand {
public:
    explicit CClearLogs(const acq::stClearLogsRequest& r) : m_request(r) {}
    acq::Command Kind() const override { return acq::Command::kClearLogs; }
    int Check(std::ostream&) const override { return ACQCLI_OK; }
    bool ChangesDisplay() const override { return true; }
    acq::stCommandResult Run(qlink::IDisplayLink& link, acq::IProgress& p, const int* cancel) const override {
        acq::stCommandResult r = acq::ClearLogs(link, m_request, p, cancel);
        r.log.reset();  // no log to report: the display is named by what it reported
        r.logState = {};
        return r;
    }

private:
    acq::stClearLogsRequest m_request;
};

class CDumpTemperature final : public CCommand {
public:
    explicit CDumpTemperature(const acq::stTempDumpRequest& r) : m_request(r) {}
    acq::Command Kind() const override { return acq::Command::kDumpTemperature; }
    int Check(std::ostream& err) const override {
        const cmn::stOutputTarget target = cmn::ResolveOutputPath(m_request.file);
        if (target.kind != cmn::OutputKind::Refused) return ACQCLI_OK;
        err << "quendra-acquire: " << Shown(target.error) << '\n';
        return ACQCLI_FILE;
    }
    acq::stCommandResult Run(qlink::IDisplayLink& link, acq::IProgress& p, const int* cancel) const override {
        return acq::DumpTemperature(link, m_request, p, cancel);
    }

private:
    acq::stTempDumpRequest m_request;
};

// The subcommand of the options, with its request.
std::unique_ptr<CCommand> MakeCommand(const stAcquireOptions& o, const qlink::stPortChoice& ports,
                                      const fs::path& programDir) {
    const std::string stamp = o.bStamp ? FileStamp() : std::string();
    const std::string& c = o.strCommand;
    if (c == "get-logs" || c == "get-all") {
        acq::stGetAllRequest r;
        r.ports = ports;
        r.programDir = programDir;
        r.reportFolder = o.strOut;
        r.strModelName = o.strModel;
        r.strFileStamp = stamp;
        if (c == "get-all") return std::make_unique<CGetAll>(r);
        return std::make_unique<CGetLogs>(r);
    }
    if (c == "dump-nvram") {
        acq::stNvramDumpRequest r;
        r.ports = ports;
        r.folder = o.strOut;
        r.strFileStamp = stamp;
        return std::make_unique<CDumpNvram>(r);
    }
    if (c == "write-nvram") {
        acq::stNvramWriteRequest r;
        r.ports = ports;
        r.file = o.strFile;
        return std::make_unique<CWriteNvram>(r);
    }
    if (c == "clear-logs") {
        acq::stClearLogsRequest r;
        r.ports = ports;
        r.programDir = programDir;
        return std::make_unique<CClearLogs>(r);
    }
    acq::stTempDumpRequest r;
    r.ports = ports;
    r.file = o.strFile;
    return std::make_unique<CDumpTemperature>(r);
}

// Before clear-logs or write-nvram: the display's model and serial number
// (and the file's name and size), then the question on the terminal unless
// --yes. ACQCLI_OK to go on; nothing but the two queries was sent otherwise.
// When the display could not be asked, `failed` says why.
int ConfirmChange(const stAcquireOptions& o, qlink::IDisplayLink& link, const qlink::stPortChoice& ports,
                  CliProgress& progress, acq::stDisplayIdentity& identity, acq::stCommandResult& failed,
                  std::ostream& err) {
    const bool terminal = ::isatty(STDIN_FILENO) == 1;
    if (!o.bYes && !terminal) {
        err << "quendra-acquire: " << NotDone(o) << ": " << o.strCommand
            << " asks first, and standard input is no terminal (give --yes to go on without asking)\n";
        return ACQCLI_CANCEL;
    }
    bool known;
    {
        int cancel = 0;
        const acq::CInterruptTarget running(cancel);
        acq::stDisplayRequest request;
        request.ports = ports;
        known = acq::QueryDisplayIdentity(link, request, &cancel, progress, identity, failed.failure);
    }
    if (!known) {
        failed.nExitCode = failed.failure.reason == acq::Reason::kCancelled ? ACQCLI_CANCEL : ACQCLI_COMM;
        return failed.nExitCode;
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

// What the run ends with on standard error: the decoder's reason when a log
// did not decode, the command's message, and after a failure its reason and
// step.
void ShowResult(acq::Command kind, const acq::stCommandResult& result, std::ostream& err) {
    const auto line = [&err](const std::string& text) {
        std::string one = text;
        for (char& c : one)
            if (c == '\n' || c == '\r') c = ' ';
        err << Shown(one) << '\n';
    };
    if (result.decodeError) line(DecodeErrorMessage(*result.decodeError));
    const acq::stOutcomeMessage message = acq::OutcomeMessage(kind, result.nExitCode);
    if (message.text != nullptr) line(message.text);
    if (result.nExitCode != ACQCLI_OK) line("quendra-acquire: " + acq::FailureLine(result.failure));
    err.flush();
}

// --archive: the log just collected (and saved) into the history archive.
// False with a message and `failure` filled in when it was not added; the
// saved log stays.
bool ArchiveLog(const stAcquireOptions& o, const acq::stCommandResult& result, std::ostream& err,
                acq::stFailure& failure) {
    std::string error;
    fs::path source;
    for (const acq::stWrittenFile& f : result.files)
        if (f.path.extension() == ".dat") source = f.path;
    hist::stCollection collection;
    std::unique_ptr<hist::IHistoryArchive> archive;
    fs::path path = o.strArchive;
    if (path.empty()) path = hist::DefaultArchivePath(true, error);
    std::error_code ec;
    const std::string sourceName = source.empty() ? std::string() : fs::absolute(source, ec).lexically_normal().string();
    hist::stAddResult added;
    const bool ok = result.log && result.log->m_bValid &&
                    hist::CollectionFromLog(*result.log, std::time(nullptr), sourceName, collection, error) &&
                    !path.empty() && (archive = hist::OpenArchiveFile(path, hist::ArchiveAccess::kWrite, error)) &&
                    archive->Add(collection, added, error);
    if (!ok) {
        if (error.empty()) error = "no decoded log arrived";
        err << "quendra-acquire: the log was not added to the archive: " << Shown(error) << '\n';
        failure = {acq::Reason::kFileError, acq::Step::kHistoryArchive,
                   path.empty() || error.rfind(path.string(), 0) == 0 ? error : path.string() + ": " + error};
        return false;
    }
    err << "Archive: " << Shown(path.string()) << ": " << added.nRecords << " records, " << added.nNewRecords
        << " new\n";
    return true;
}

int Run(const stAcquireOptions& o, const fs::path& programDir, qlink::IDisplayLink& link, std::ostream& out,
        std::ostream& err, bool errIsTerminal) {
    const auto start = std::chrono::steady_clock::now();
    std::string password;
    if (!ReadPasswordOption(o, password, err)) return ACQCLI_FILE;
    const qlink::stPortChoice ports = o.bLan
                                          ? qlink::LanHostChoice(o.strHost, o.nLanPort, o.strUser, password, o.nDisplayId)
                                          : qlink::SerialChoice(o.strSerial, o.nBaud, o.nDisplayId);
    const std::unique_ptr<CCommand> command = MakeCommand(o, ports, programDir);
    if (const int code = command->Check(err); code != ACQCLI_OK) return code;
    if (!o.strModel.empty() && ModelFolderFor(programDir, o.strModel).empty()) {
        err << "quendra-acquire: model " << Shown(o.strModel) << " is not listed in ModelName.csv\n";
        return ACQCLI_USAGE;
    }

    CliProgress bar(err, errIsTerminal);
    acq::stDisplayIdentity identity;
    acq::stCommandResult result;
    if (command->ChangesDisplay()) {
        const int code = ConfirmChange(o, link, ports, bar, identity, result, err);
        // Declined: nothing was sent and nothing is summed up.
        if (code != ACQCLI_OK && result.nExitCode == ACQCLI_OK) return code;
    }
    if (result.nExitCode == ACQCLI_OK) {
        int cancel = 0;
        const acq::CInterruptTarget running(cancel);
        result = command->Run(link, bar, &cancel);
    }
    ShowResult(command->Kind(), result, err);
    // A log that did not reach the archive fails the run, and says so as
    // every failure does (the JSON summary included).
    acq::stFailure archiveFailure;
    if (o.bArchive && result.nExitCode == ACQCLI_OK && !ArchiveLog(o, result, err, archiveFailure)) {
        result.nExitCode = ACQCLI_FILE;
        result.failure = archiveFailure;
        err << "quendra-acquire: " << acq::FailureLine(archiveFailure) << '\n';
    }
    if (o.bJson) {
        out << Summary(o, result, identity, std::chrono::steady_clock::now() - start);
        out.flush();
    }
    return result.nExitCode;
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
        {"--archive", {}, cmn::OptionValue::Optional,
         [&](const std::string& v, std::string&) {
             o.bArchive = true;
             o.strArchive = v;
             return true;
         }},
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
    if (o.strCommand == "list-ports") {
        const bool other = o.bLan || o.bSerial || haveBaud || haveId || haveJobs || o.bYes || o.bStamp ||
                           !o.strHosts.empty() || !o.strUser.empty() || !o.strPasswordFile.empty() ||
                           !o.strModel.empty() || o.strOut != ".";
        if (other) error = "list-ports takes --json only";
        return !other;
    }
    if (o.bArchive && o.strCommand != "get-all" && o.strCommand != "get-logs") {
        error = "--archive applies to get-all and get-logs";
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

namespace {

// The device a stable name leads to, for showing beside it.
std::string DeviceOf(const std::string& path) {
    std::error_code ec;
    const fs::path device = fs::canonical(path, ec);
    return ec ? std::string() : device.string();
}

// list-ports: one line per port ("COM1<TAB>/dev/ttyS0", then each adapter
// and its device), or one JSON object.
int ListPorts(bool json, std::ostream& out) {
    const std::vector<qlink::stComPort> com = qlink::ListComPorts();
    const std::vector<std::string> adapters = qlink::ListSerialAdapters();
    if (!json) {
        for (const qlink::stComPort& p : com) out << p.strName << '\t' << Shown(p.strDevice) << '\n';
        for (const std::string& a : adapters) out << Shown(a) << '\t' << Shown(DeviceOf(a)) << '\n';
        return ACQCLI_OK;
    }
    out << "{\"com\":[";
    for (std::size_t i = 0; i < com.size(); ++i)
        out << (i ? "," : "") << "{\"name\":" << JsonString(com[i].strName)
            << ",\"device\":" << JsonAnyText(com[i].strDevice) << '}';
    out << "],\"adapters\":[";
    for (std::size_t i = 0; i < adapters.size(); ++i)
        out << (i ? "," : "") << "{\"path\":" << JsonAnyText(adapters[i])
            << ",\"device\":" << JsonAnyText(DeviceOf(adapters[i])) << '}';
    out << "]}\n";
    return ACQCLI_OK;
}

}  // namespace

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
        if (options.strCommand == "list-ports") return ListPorts(options.bJson, out);
        if (!options.strHosts.empty()) {
            const FleetRunner runDisplay = [&](const std::vector<std::string>& runArgs) {
                return RunAcquireCli(runArgs, programDir, link, std::cout, std::cerr, false);
            };
            return RunFleet(options, programDir, runDisplay, out, err);
        }
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
