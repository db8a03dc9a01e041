#pragma once
// The report program's display commands as requests and results: Get Logs,
// Get All Reports, the NVRAM dump, Write NvramData, Clear Logs, the
// temperature dump and the unattended Get All. The window, the unattended
// run and quendra-acquire ask what they need first (ports, folders, files,
// confirmations), fill a request, run its command (the window on its worker
// thread) and show the result; a command never calls back except through
// its progress sink and, for the one question the unattended run asks in
// its middle (replace an existing archive?), its decision.
//
// Every command takes the display's turn for each of its steps (Get All
// has two), shows each step in the progress (Begin ... End), reads `cancel`
// (may be null; read atomically) between two requests, and returns its exit
// code, why it failed (Failure.h) and what it wrote. Nothing throws out of a
// command; an unexpected exception gives exit code 1.
//
// Thread-safety: a command may run on any thread; the link, the request and
// the progress belong to it while it runs. Two commands may run at once on
// two threads with two links (they wait for each other's turn on one
// display).

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "acquire/DisplayTurn.h"
#include "acquire/Failure.h"
#include "acquire/Progress.h"
#include "acquire/WorkFolder.h"
#include "app/MyCommandLine.h"
#include "link/DisplayLink.h"
#include "link/Ports.h"
#include "syslog/QuendraLog.h"

namespace acq {

// Exit codes of the commands and their steps.
enum : int {
    kExitOk = 0,
    kExitComm = 1,     // communication failure
    kExitCancel = 2,   // cancelled
    kExitRefused = 3,  // NVRAM write refused: a display ID is selected
    kExitFile = 4,     // a file could not be read or written
};

// The display of a request and how to reach it.
struct stDisplayRequest {
    qlink::stPortChoice ports;             // ports, credentials, baud rates, display ID
    int nTurnWaitMs = kDisplayTurnWaitMs;  // how long to wait for another program's turn on the display
};

// Get Logs, and Get All Reports (which adds the NVRAM dump).
struct stGetLogsRequest : stDisplayRequest {
    std::filesystem::path programDir;    // its "QuendraReport.ini" says whether the check value is tested
    std::filesystem::path reportFolder;  // not empty: a log that arrived is saved there as its report file
    std::string strModelName;            // the selected model: names the report file of a log without one
    std::string strFileStamp;            // in the names of the files written (StampedName); empty: none
};
struct stGetAllRequest : stGetLogsRequest {};  // reportFolder is where both files go

struct stNvramDumpRequest : stDisplayRequest {
    std::filesystem::path folder;  // receives "NvramDump1.bin"
    std::string strFileStamp;
};

struct stNvramWriteRequest : stDisplayRequest {
    std::filesystem::path file;  // the image; it must hold exactly the display's NVRAM size
};

struct stClearLogsRequest : stDisplayRequest {
    std::filesystem::path programDir;  // the settings of the empty log it leaves
};

struct stTempDumpRequest : stDisplayRequest {
    std::filesystem::path file;  // the text file ("-": standard output)
};

struct stUnattendedRequest : stDisplayRequest {
    std::filesystem::path programDir;
    std::string strModelName;
    std::filesystem::path workFolder = "temp";  // relative: to the current folder
    std::filesystem::path archiveFolder;        // PATH=: receives LogData_<serial>.zip
    int nWorkFolderWaitMs = kWorkFolderWaitMs;  // how long to wait for another run in the same folder
};
// The request of an unattended command line (its ports, PATH=).
stUnattendedRequest UnattendedRequest(const CMyCommandLine& cmd, const std::filesystem::path& programDir,
                                      const std::string& modelName);

// The question the unattended run asks in its middle.
class IDecision {
public:
    virtual ~IDecision() = default;
    // The archive exists already: true replaces it, false keeps it and fails the run.
    virtual bool ReplaceArchive(const std::filesystem::path& archive) = 0;
};

struct stWrittenFile {
    std::filesystem::path path;
    std::uintmax_t nBytes = 0;
};

// One step of a command (one showing of the progress window).
struct stStepRun {
    std::string strSuffix;  // " 1/2", " 2/2" or empty
    int nExitCode = 0;
    std::chrono::steady_clock::duration elapsed{};
};

// What the window shows of a log.
struct stLogState {
    bool bPresent = false;                     // the log-present flag: enables the commands that need a log
    std::string strModel, strSerial, strInfo;  // bytes as decoded (CP932), for the ITEM/VALUE list
    int nFileVersion = 0;
};
stLogState LogStateOf(const CQuendraLog& log);

struct stCommandResult {
    int nExitCode = 0;
    // Why it failed; reason kNone when the exit code is 0.
    stFailure failure;
    // Every file the command wrote and left, in the order written, with its size.
    std::vector<stWrittenFile> files;
    // Get Logs, Get All, the unattended run: the log read, which the window
    // takes as its current log (empty when nothing arrived); Clear Logs: an
    // empty log once the display was reached (the old one is gone). Null:
    // the current log stays.
    std::unique_ptr<CQuendraLog> log;
    stLogState logState;  // of `log`
    // The decoder's reason when a log arrived that does not decode; shown
    // before the command's own message.
    std::optional<stDecodeError> decodeError;
    std::vector<stStepRun> steps;
};

stCommandResult GetLogs(qlink::IDisplayLink& link, const stGetLogsRequest& request, IProgress& progress,
                        const int* cancel);
stCommandResult GetAll(qlink::IDisplayLink& link, const stGetAllRequest& request, IProgress& progress,
                       const int* cancel);
stCommandResult DumpNvram(qlink::IDisplayLink& link, const stNvramDumpRequest& request, IProgress& progress,
                          const int* cancel);
stCommandResult WriteNvram(qlink::IDisplayLink& link, const stNvramWriteRequest& request, IProgress& progress,
                           const int* cancel);
stCommandResult ClearLogs(qlink::IDisplayLink& link, const stClearLogsRequest& request, IProgress& progress,
                          const int* cancel);
stCommandResult DumpTemperature(qlink::IDisplayLink& link, const stTempDumpRequest& request,
                                IProgress& progress, const int* cancel);
// Steps 1-5 of the unattended run: holds the work folder's turn from the
// start to the archive (a notice says so when it has to wait), works only in
// a work folder that it made (WorkFolder.h), reads the log and the NVRAM
// image into it and packs it into the archive; exit code 0, 1, 2 or 4. A
// cancelled run removes the files it wrote.
stCommandResult RunUnattended(qlink::IDisplayLink& link, const stUnattendedRequest& request,
                              IProgress& progress, const int* cancel, IDecision& decision);

}  // namespace acq
