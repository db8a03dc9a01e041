#include "acquire/Acquire.h"

#include <exception>
#include <functional>
#include <system_error>

#include "acquire/Names.h"
#include "acquire/TempDump.h"
#include "acquire/Transfer.h"
#include "acquire/Workers.h"
#include "linkio/Cancel.h"

namespace fs = std::filesystem;

namespace acq {

namespace {

using Clock = std::chrono::steady_clock;
using StepBody = std::function<int(stStepContext&)>;

// How one step ended.
struct stStepOutcome {
    int code = kExitComm;
    stFailure failure;
};

// The failure that goes with an exit code: the session's, a cancel said as
// such, and for a failure nothing recorded, that nothing explains it.
stFailure FailureOf(int code, const CDisplaySession& session) {
    if (code == kExitOk) return {};
    stFailure f = session.Failure();
    if (code == kExitCancel) f.reason = Reason::kCancelled;
    if (f.reason == Reason::kNone && f.strDetail.empty()) f.strDetail = "the command failed unexpectedly";
    return f;
}

void AddFiles(stCommandResult& r, const std::vector<fs::path>& written) {
    for (const fs::path& p : written) {
        std::error_code ec;
        const std::uintmax_t size = fs::file_size(p, ec);
        r.files.push_back({p, ec ? 0 : size});
    }
}

// One step of a command over a session that holds the display's turn, shown
// in the progress (Begin ... End) when it has `params`: its exit code and
// failure; its files go to the result.
stStepOutcome RunStep(qlink::IDisplayLink& link, const stDisplayRequest& request, IProgress& progress,
                      const int* cancel, const stProgressParams* params, stStepContext& ctx,
                      const StepBody& body, stCommandResult& result) {
    const auto start = Clock::now();
    if (params) progress.Begin(*params);
    stStepOutcome out;
    {
        CDisplaySession session(link, request.ports, progress, cancel);
        ctx.pSession = &session;
        try {
            if (session.TakeTurn(request.nTurnWaitMs, ctx.bBinaryPort))
                out.code = body(ctx);
            else
                out.code = linkio::IsCancelled(cancel) ? kExitCancel : kExitComm;
        } catch (const std::exception& e) {
            out.code = kExitComm;
            session.Fail(Reason::kNone, Step::kNone, std::string("unexpected failure: ") + e.what());
        } catch (...) {
            out.code = kExitComm;
        }
        out.failure = FailureOf(out.code, session);
        ctx.pSession = nullptr;
    }
    if (params) progress.End();
    AddFiles(result, ctx.written);
    ctx.written.clear();
    result.steps.push_back({params ? params->strSuffix : std::string(), out.code, Clock::now() - start});
    return out;
}

void Settle(stCommandResult& r, const stStepOutcome& outcome) {
    r.nExitCode = outcome.code;
    r.failure = outcome.failure;
}

// The log of the result as the window shows it.
void KeepLog(stCommandResult& r) {
    if (!r.log) return;
    r.logState = LogStateOf(*r.log);
    r.decodeError = r.log->m_decodeError;
}

// The log step: the log read into a new log object of the result.
stStepOutcome ReadLog(qlink::IDisplayLink& link, const stGetLogsRequest& request, IProgress& progress,
                      const int* cancel, const std::string& suffix, stCommandResult& r) {
    r.log = std::make_unique<CQuendraLog>(request.programDir);
    stStepContext ctx;
    ctx.pLog = r.log.get();
    const stProgressParams params{kTransferRange, false, suffix};
    return RunStep(link, request, progress, cancel, &params, ctx, &GetLogThread, r);
}

// The log that arrived in this run, saved as its report file in `folder`;
// nothing when no image arrived. The failure when it could not be written.
std::optional<stFailure> SaveReport(const CQuendraLog& log, const fs::path& folder,
                                    const std::string& modelName, const std::string& stamp,
                                    stCommandResult& r) {
    if (log.m_bValid == 0) return std::nullopt;
    const fs::path file = folder / StampedName(ReportName(log.m_strModel, log.m_strSerial, modelName), stamp);
    std::string error;
    if (log.SaveLogData(file, &error) != 1) return stFailure{Reason::kFileError, Step::kWriteFile, error};
    AddFiles(r, {file});
    return std::nullopt;
}

stStepOutcome ReadNvram(qlink::IDisplayLink& link, const stDisplayRequest& request, IProgress& progress,
                        const int* cancel, const stProgressParams& params, const fs::path& folder,
                        const std::string& stamp, stCommandResult& r) {
    stStepContext ctx;
    ctx.transferPath = folder;
    ctx.strFileStamp = stamp;
    return RunStep(link, request, progress, cancel, &params, ctx, &GetNvramThread, r);
}

// Runs a command's body; nothing escapes it.
template <typename Body>
stCommandResult Guarded(Body body) {
    try {
        return body();
    } catch (const std::exception& e) {
        stCommandResult r;
        r.nExitCode = kExitComm;
        r.failure.strDetail = std::string("unexpected failure: ") + e.what();
        return r;
    } catch (...) {
        stCommandResult r;
        r.nExitCode = kExitComm;
        r.failure.strDetail = "unexpected failure";
        return r;
    }
}

// A cancelled unattended run leaves none of the files it wrote.
void DiscardFiles(stCommandResult& r) {
    std::error_code ec;
    for (const stWrittenFile& f : r.files) fs::remove(f.path, ec);
    r.files.clear();
}

// Step 5 of the unattended run: the work folder into PATH/LogData_<serial>.zip.
stStepOutcome PackWorkFolder(const stUnattendedRequest& request, const CQuendraLog& log, IDecision& decision,
                             stCommandResult& r) {
    const fs::path archive = request.archiveFolder / ZipName(log.m_strSerial);
    std::error_code ec;
    if (fs::exists(fs::symlink_status(archive, ec)) && !decision.ReplaceArchive(archive))
        return {kExitFile, {Reason::kFileError, Step::kArchive, archive.string() + " exists and was kept"}};
    // The archive replaces an existing one only once it is complete.
    std::string error;
    if (!ZipFolder(request.workFolder, archive, error))
        return {kExitFile, {Reason::kFileError, Step::kArchive, error}};
    AddFiles(r, {archive});
    return {kExitOk, {}};
}

stStepOutcome FolderFailure(int code, std::string detail) {
    return {code,
            {code == kExitCancel ? Reason::kCancelled : Reason::kFileError, Step::kWorkFolder,
             std::move(detail)}};
}

}  // namespace

stLogState LogStateOf(const CQuendraLog& log) {
    stLogState s;
    s.bPresent = log.m_bValid != 0;
    s.strModel = log.m_strModel;
    s.strSerial = log.m_strSerial;
    s.strInfo = log.m_strInfo;
    s.nFileVersion = log.m_nFileVersion;
    return s;
}

stUnattendedRequest UnattendedRequest(const CMyCommandLine& cmd, const fs::path& programDir,
                                      const std::string& modelName) {
    stUnattendedRequest r;
    r.ports = cmd.m_bLan
                  ? qlink::SilentLanChoice(cmd.m_strIp, cmd.m_strLanPort, cmd.m_strUser, cmd.m_strPassword)
                  : qlink::SilentComChoice(cmd.m_strComPort, cmd.m_strRate);
    r.programDir = programDir;
    r.strModelName = modelName;
    r.archiveFolder = cmd.m_strPath;
    return r;
}

stCommandResult GetLogs(qlink::IDisplayLink& link, const stGetLogsRequest& request, IProgress& progress,
                        const int* cancel) {
    return Guarded([&] {
        stCommandResult r;
        Settle(r, ReadLog(link, request, progress, cancel, "", r));
        if (!request.reportFolder.empty()) {
            // The image is kept whenever it arrived, also when it does not decode.
            const auto saveFailure =
                SaveReport(*r.log, request.reportFolder, request.strModelName, request.strFileStamp, r);
            if (saveFailure && r.nExitCode == kExitOk) Settle(r, {kExitFile, *saveFailure});
        }
        KeepLog(r);
        return r;
    });
}

stCommandResult GetAll(qlink::IDisplayLink& link, const stGetAllRequest& request, IProgress& progress,
                       const int* cancel) {
    return Guarded([&] {
        stCommandResult r;
        Settle(r, ReadLog(link, request, progress, cancel, " 1/2", r));
        // Only an image that arrived in this run is saved: never an older log.
        const auto saveFailure =
            SaveReport(*r.log, request.reportFolder, request.strModelName, request.strFileStamp, r);
        KeepLog(r);
        if (r.nExitCode != kExitOk) return r;
        Settle(r, ReadNvram(link, request, progress, cancel, {kTransferRange, false, " 2/2"},
                            request.reportFolder, request.strFileStamp, r));
        if (r.nExitCode == kExitOk && saveFailure) Settle(r, {kExitFile, *saveFailure});
        return r;
    });
}

stCommandResult DumpNvram(qlink::IDisplayLink& link, const stNvramDumpRequest& request, IProgress& progress,
                          const int* cancel) {
    return Guarded([&] {
        stCommandResult r;
        Settle(r, ReadNvram(link, request, progress, cancel, {kTransferRange, true, ""}, request.folder,
                            request.strFileStamp, r));
        return r;
    });
}

stCommandResult WriteNvram(qlink::IDisplayLink& link, const stNvramWriteRequest& request, IProgress& progress,
                           const int* cancel) {
    return Guarded([&] {
        stCommandResult r;
        const stProgressParams params{kTransferRange, false, ""};
        if (request.ports.nDisplayId != 0) {
            // Refused before anything is sent.
            progress.Begin(params);
            progress.SetText(kTextConnecting);
            progress.End();
            Settle(r, {kExitRefused,
                       {Reason::kRefused, Step::kCheck,
                        "an NVRAM image is written only with no display ID selected (ID " +
                            std::to_string(request.ports.nDisplayId) + ")"}});
            return r;
        }
        stStepContext ctx;
        ctx.transferPath = request.file;
        Settle(r, RunStep(link, request, progress, cancel, &params, ctx, &SetNvramThread, r));
        return r;
    });
}

stCommandResult ClearLogs(qlink::IDisplayLink& link, const stClearLogsRequest& request, IProgress& progress,
                          const int* cancel) {
    return Guarded([&] {
        stCommandResult r;
        bool opened = false;
        stStepContext ctx;
        // No progress window: Clear Logs runs without one.
        Settle(r, RunStep(
                      link, request, progress, cancel, nullptr, ctx,
                      [&opened](stStepContext& c) { return ClearDisplayLogs(*c.pSession, opened); }, r));
        // The display was reached: whatever it answered, its old log is gone from the window.
        if (opened) {
            r.log = std::make_unique<CQuendraLog>(request.programDir);
            KeepLog(r);
        }
        return r;
    });
}

stCommandResult DumpTemperature(qlink::IDisplayLink& link, const stTempDumpRequest& request,
                                IProgress& progress, const int* cancel) {
    return Guarded([&] {
        stCommandResult r;
        stStepContext ctx;
        ctx.transferPath = request.file;
        ctx.bBinaryPort = false;
        const stProgressParams params{kTempDumpRange, false, ""};
        Settle(r, RunStep(link, request, progress, cancel, &params, ctx, &GetTemperatureThread, r));
        return r;
    });
}

stCommandResult RunUnattended(qlink::IDisplayLink& link, const stUnattendedRequest& request,
                              IProgress& progress, const int* cancel, IDecision& decision) {
    return Guarded([&] {
        stCommandResult r;
        const fs::path& work = request.workFolder;
        // Held to the end: a second run in this folder waits until the archive is made.
        const CWorkFolderTurn turn(
            work, request.nWorkFolderWaitMs, [cancel] { return linkio::IsCancelled(cancel); },
            [&progress](const std::string& line) { progress.Notice(line); });
        std::string error;
        if (turn.GetState() == CWorkFolderTurn::State::Cancelled) {
            Settle(r, FolderFailure(kExitCancel, "cancelled while waiting for another run's folder"));
            return r;
        }
        if (turn.GetState() != CWorkFolderTurn::State::Held) {
            Settle(r, FolderFailure(kExitFile, turn.Error()));
            return r;
        }
        if (!PrepareWorkFolder(work, error)) {
            Settle(r, FolderFailure(kExitFile, error));
            return r;
        }
        stGetLogsRequest logs;
        static_cast<stDisplayRequest&>(logs) = request;
        logs.programDir = request.programDir;
        Settle(r, ReadLog(link, logs, progress, cancel, " 1/2", r));
        KeepLog(r);
        if (r.nExitCode == kExitOk) {
            if (const auto saveFailure = SaveReport(*r.log, work, request.strModelName, "", r))
                Settle(r, {kExitFile, *saveFailure});
            else
                Settle(r, ReadNvram(link, request, progress, cancel, {kTransferRange, false, " 2/2"}, work,
                                    "", r));
        }
        bool packed = false;
        if (r.nExitCode == kExitOk && !linkio::IsCancelled(cancel)) {
            Settle(r, PackWorkFolder(request, *r.log, decision, r));
            packed = r.nExitCode == kExitOk;
        }
        // Cancelled before the archive was made (also during the question
        // about an existing one, which Ctrl+C answers No): no file is left.
        if (!packed && (r.nExitCode == kExitCancel || linkio::IsCancelled(cancel))) {
            DiscardFiles(r);
            if (r.nExitCode != kExitCancel) {
                r.nExitCode = kExitCancel;
                r.failure = {Reason::kCancelled, r.failure.step, "cancelled before the archive was made"};
            }
        }
        return r;
    });
}

}  // namespace acq
