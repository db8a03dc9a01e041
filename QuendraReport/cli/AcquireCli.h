#pragma once
// quendra-acquire: the report program's display commands for scripts and
// fleets, over the same requests and results as the window (acquire/
// Acquire.h): the same files, names, wire sequence and messages. The pieces
// are here so that tests and the fuzz target can drive them.

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

#include "link/DisplayLink.h"
#include "link/Ports.h"

struct stAcquireOptions {
    std::string strCommand;  // get-logs, get-all, dump-nvram, write-nvram, clear-logs, dump-temperature
    std::string strFile;     // write-nvram: the image; dump-temperature: the text file ("-": standard output)
    bool bLan = false;
    std::string strHost;  // --lan HOST[:PORT]
    int nLanPort = qlink::kDefaultLanDataPort;
    bool bSerial = false;
    std::string strSerial;  // --serial COMn|DEVICE
    int nBaud = 9600;       // --baud (serial control baud)
    int nDisplayId = 0;     // --id 0..255
    std::string strUser;    // --user (LAN)
    std::string strPasswordFile;
    std::string strModel;      // --model: the model name of ModelName.csv
    std::string strOut = ".";  // --out: folder of the files
    bool bYes = false;         // --yes: confirm clear-logs and write-nvram
    bool bJson = false;        // --json: one summary object on standard output
    bool bStamp = false;       // --stamp: the collection time in the names of the files
    bool bHelp = false;
    bool bVersion = false;
    std::string strHosts;  // --hosts FILE: the fleet run (FleetCli.h)
    int nJobs = 4;         // --jobs N: displays collected at once, 1..64
    bool bOverview = false;  // --overview: the fleet overview in --out at the end
};

// Exit codes.
enum : int {
    ACQCLI_OK = 0,
    ACQCLI_COMM = 1,     // communication failure
    ACQCLI_CANCEL = 2,   // cancelled (Ctrl+C, or clear-logs or write-nvram not confirmed)
    ACQCLI_REFUSED = 3,  // NVRAM write with a display ID
    ACQCLI_FILE = 4,     // a file could not be read or written
    ACQCLI_USAGE = 64,   // bad command line
};

// Parses the arguments (without the program name). False with a one-line
// reason in `error` for anything it does not understand.
bool ParseAcquireArgs(const std::vector<std::string>& args, stAcquireOptions& options, std::string& error);

// The text of --help.
const char* AcquireCliHelp();

// "HOST" or "HOST:PORT" (port 1..65535; the port stays as it was without
// one): false for an empty host, or one holding blanks or control bytes.
bool ParseLanAddress(const std::string& text, std::string& host, int& port);
// A decimal number min..max without a sign.
bool ParseDecimalArg(const std::string& text, int min, int max, int& value);

// The first line of --password-file (empty without the option). False with a
// one-line message on `err` when the file cannot be read (at most 4,096 bytes).
bool ReadPasswordOption(const stAcquireOptions& o, std::string& password, std::ostream& err);

// The folder --out names, made with its parents when it is missing. False
// with a one-line message on `err` when the path is something else or cannot
// be made.
bool MakeOutFolder(const std::string& path, std::ostream& err);

// Runs one command and returns its exit code. `programDir` holds
// "QuendraReport.ini", "ModelName.csv" and the model folders (and
// quendra-acquire, which a fleet run starts for each display). Messages and
// the progress (a bar when `errIsTerminal`, else plain lines) go to `err`;
// after a failure the last line names its reason and step ("quendra-acquire:
// reason no-reply, step log-block: ..."), as --json's "error" object does
// ({"reason", "step", "detail"}; acquire/Failure.h lists the reasons).
// --json and --help go to `out`. Each step that talks to the display holds the
// display's turn (acq::CDisplayTurn: a cross-process lock on its address or
// serial device, whatever the spelling), so that two runs, or a run and
// another program, never mix their requests on one display or daisy chain;
// a run that has to wait says so on `err`, and a step that cannot have the
// turn within 60 s says that the display was busy and fails with exit code 1.
// clear-logs and write-nvram first ask the display for its model name and
// serial number and show them, then ask on the terminal (standard input)
// unless --yes was given; without a terminal they refuse before connecting.
// Nothing throws.
// Not thread-safe: one run per process (Ctrl+C reaches the running command
// through acquire/Interrupt.h).
int RunAcquireCli(const std::vector<std::string>& args, const std::filesystem::path& programDir,
                  qlink::IDisplayLink& link, std::ostream& out, std::ostream& err, bool errIsTerminal);

// Cancels the running command between two requests (the display is still
// put back: binary mode left, logging on), or a fleet run (no display is
// started any more; each running one is cancelled). Safe to call from a
// signal handler.
void InterruptAcquireCli();
// True once InterruptAcquireCli was called.
bool AcquireCliInterrupted();
