#include "acquire/Commands.h"

#include <system_error>

#include "acquire/CompareProgram.h"
#include "acquire/Names.h"
#include "acquire/TempDump.h"
#include "acquire/Transfer.h"
#include "acquire/WorkFolder.h"
#include "common/prompt.h"
#include "common/safeformat.h"
#include "common/textfile.h"
#include "link/Ports.h"
#include "linkio/Cancel.h"
#include "report/ReportPipeline.h"

namespace fs = std::filesystem;

namespace acq {

const char* const kMsgCommFailed =
    "Failed to communicate with Quendra display. Check cable connection and interface settings.";
const char* const kMsgComplete = "Complete to communicate and create file.";
const char* const kMsgCanceled = "Canceled communication.";
const char* const kMsgFileFailed = "Failed to create file.";
const char* const kMsgNvramWritten = "Complete to write nvram file.";
const char* const kMsgNvramById = "Not support to write NvramData with a specific display ID.";
const char* const kMsgReadFailed = "Failed to read log file.\n%s";
const char* const kMsgArchiveExists = "Filename already exists. \nDo you want to replace it?";
const char* const kMsgClearConfirm =
    "Logs stored Quendra display will be removed, if press \"OK\".\nIf you've not created report, you should "
    "do "
    "it before clear.\nAre you OK?";
const char* const kMsgCleared = "Logs are cleared.";

namespace {

const char* const kFolderTitle = "Select folder to save report files";
const char* const kLogFilter = "Log file (*.dat)|*.dat|All files (*.*)|*.*||";
const char* const kBinFilter = "Binary files (*.bin)|*.bin|All files (*.*)|*.*||";
const char* const kHtmlFilter = "HTML file (*.html)|*.html|All files (*.*)|*.*||";
const char* const kTextFilter = "Text file (*.txt)|*.txt|All files (*.*)|*.*||";

void Warn(const std::string& text) {
    cmn::MessageBox(text, cmn::MB_OK | cmn::MB_ICONWARNING);
}
void Inform(const std::string& text) {
    cmn::MessageBox(text, cmn::MB_OK | cmn::MB_ICONINFORMATION);
}

// The message of a transfer command's outcome (Get All, the dumps).
int ShowTransferOutcome(int code) {
    switch (code) {
        case kExitOk:
            Inform(kMsgComplete);
            break;
        case kExitCancel:
            Warn(kMsgCanceled);
            break;
        case kExitFile:
            Warn(kMsgFileFailed);
            break;
        default:
            Warn(kMsgCommFailed);
            break;
    }
    return code;
}

// Runs a command body; nothing escapes a command.
template <typename Body>
int Guarded(Body body) {
    try {
        return body();
    } catch (...) {
        try {
            Warn(kMsgCommFailed);
        } catch (...) {
        }
        return kExitComm;
    }
}

}  // namespace

// The steps the commands share.
struct FrameSteps {
    static int RunContextWorker(CReportFrame& f, stWorkerContext& ctx, const stProgressParams& params,
                                int (*worker)(stWorkerContext&)) {
        ctx.pLink = &f.m_link;
        const int code = f.m_ui.RunWorker(params, [&ctx, worker](IProgress& progress, const int* cancel) {
            ctx.pProgress = &progress;
            ctx.pCancel = cancel;
            return worker(ctx);
        });
        for (const fs::path& p : ctx.written) f.m_written.push_back(p);
        return code;
    }

    static int RunLogWorker(CReportFrame& f, const qlink::stPortChoice& ports, const std::string& suffix) {
        stWorkerContext ctx;
        ctx.ports = ports;
        ctx.transferPath = f.m_transferPath;
        ctx.pLog = &f.m_log;
        return RunContextWorker(f, ctx, {kTransferRange, false, suffix}, &GetLogThread);
    }

    static int RunNvramWorker(CReportFrame& f, const qlink::stPortChoice& ports, const std::string& suffix,
                              bool cancelEnabled) {
        stWorkerContext ctx;
        ctx.ports = ports;
        ctx.transferPath = f.m_transferPath;
        ctx.strFileStamp = f.m_setup.strFileStamp;
        return RunContextWorker(f, ctx, {kTransferRange, cancelEnabled, suffix}, &GetNvramThread);
    }

    // The folder browser of Get All and the NVRAM dump; the folder becomes the
    // transfer path. False when cancelled or no folder resulted.
    static bool ChooseFolder(CReportFrame& f) {
        fs::path folder;
        if (!f.m_ui.BrowseFolder(kFolderTitle, folder) || folder.empty()) return false;
        f.m_transferPath = folder;
        return true;
    }

    static void RefreshViews(CReportFrame& f) {
        f.m_list.RefreshList(&f.m_log);
        f.m_temp.Refresh(&f.m_log);
    }

    // Menus, button, control bar and views after the log changed.
    static void ShowState(CReportFrame& f) {
        RefreshViews(f);
        f.m_ui.SetCompensationItem(f.m_log.m_bValid != 0, f.m_bCompensate);
        f.m_ui.ShowLogState(f.LogState(), f.m_list, f.m_temp);
    }

    static void SetCompensation(CReportFrame& f, bool on) {
        f.m_bCompensate = on;
        f.m_list.m_bTimeCompensation = on ? 1 : 0;
        f.m_temp.m_bTimeCompensation = on ? 1 : 0;
        f.m_list.UpdateColumn();
    }

    // The current log as the report file of `folder`.
    // Asks for a file with the save dialog and writes it; "Failed to create
    // file." when the write fails.
    template <typename Write>
    static int SaveToChosenFile(CReportFrame& f, const stFileDialog& spec, Write write) {
        f.m_written.clear();
        fs::path file;
        if (!f.m_ui.SaveFile(spec, file)) return static_cast<int>(kExitDeclined);
        if (!write(file)) {
            Warn(kMsgFileFailed);
            return static_cast<int>(kExitFile);
        }
        f.m_written.push_back(file);
        return static_cast<int>(kExitOk);
    }

    static bool SaveReportInto(CReportFrame& f, const fs::path& folder) {
        const fs::path file = folder / f.GetReportName();
        if (f.m_log.SaveLogData(file) != 1) return false;
        f.m_written.push_back(file);
        return true;
    }

    // One comparison file of the current views; an empty file when no log is shown.
    static bool WriteCompareFile(CReportFrame& f, const fs::path& file) {
        const ReportResult r = WriteCompareText(file, f.m_list, f.m_temp);
        if (r == REPORT_NO_DATA) return cmn::WriteFileAtomic(file, "");
        return r == REPORT_OK;
    }

    // Open Log File after its dialog: read, then show whatever the log now holds.
    static int LoadLogFile(CReportFrame& f, const fs::path& path) {
        if (f.m_log.ReadBin(path) != 1) {
            // The log shown before is gone and nothing took its place: the
            // window shows no file and grays what needs a log.
            ResetLog(f.m_log);
            f.m_log.m_strSourceFile.clear();
            f.m_ui.SetTitle("");
            ShowState(f);
            std::string text;
            cmn::SafeFormat(text, kMsgReadFailed, {path.string()});
            Warn(text);
            return kExitFile;
        }
        f.m_ui.SetTitle(path.string());
        f.m_log.m_strSourceFile = path;
        ShowState(f);
        return kExitOk;
    }

    // The unattended run, steps 1 to 5; `reason` receives why the work folder
    // could not be used.
    static int GetAllSilent(CReportFrame& f, const CMyCommandLine& cmd, const int* cancel,
                            std::string& reason) {
        f.m_ui.SetTitle("");
        const fs::path work = f.m_setup.workFolder;
        f.m_transferPath = work;
        // Held to the end: a second run in this folder waits until the archive is made.
        const CWorkFolderTurn turn(
            work, kWorkFolderWaitMs, [cancel] { return linkio::IsCancelled(cancel); },
            [](const std::string& line) { cmn::MessageBox(line, cmn::MB_OK | cmn::MB_ICONINFORMATION); });
        if (turn.GetState() == CWorkFolderTurn::State::Cancelled) return kExitCancel;
        if (turn.GetState() != CWorkFolderTurn::State::Held) {
            reason = turn.Error();
            return kExitFile;
        }
        if (!PrepareWorkFolder(work, reason)) return kExitFile;
        const qlink::stPortChoice ports =
            cmd.m_bLan
                ? qlink::SilentLanChoice(cmd.m_strIp, cmd.m_strLanPort, cmd.m_strUser, cmd.m_strPassword)
                : qlink::SilentComChoice(cmd.m_strComPort, cmd.m_strRate);
        int code = RunLogWorker(f, ports, " 1/2");
        if (code == kExitOk)
            code = SaveReportInto(f, work) ? RunNvramWorker(f, ports, " 2/2", false) : kExitFile;
        bool packed = false;
        if (code == kExitOk && !linkio::IsCancelled(cancel)) {
            code = PackWorkFolder(f, work, cmd.m_strPath);
            packed = code == kExitOk;
        }
        // Cancelled before the archive was made (also during the question
        // about an existing one, which Ctrl+C answers No): no file is left.
        if (!packed && (code == kExitCancel || linkio::IsCancelled(cancel))) {
            DiscardWritten(f);
            return kExitCancel;
        }
        return code;
    }

    // Step 5: the work folder into PATH/LogData_<serial>.zip.
    static int PackWorkFolder(CReportFrame& f, const fs::path& work, const std::string& folder) {
        const fs::path archive = fs::path(folder) / f.GetZipName();
        std::error_code ec;
        if (fs::exists(fs::symlink_status(archive, ec)) &&
            cmn::MessageBox(kMsgArchiveExists, cmn::MB_YESNO | cmn::MB_ICONWARNING) != cmn::IDYES)
            return kExitFile;
        // The archive replaces an existing one only once it is complete.
        std::string error;
        if (!ZipFolder(work, archive, error)) {
            Warn(error);
            return kExitFile;
        }
        f.m_written.push_back(archive);
        return kExitOk;
    }

    // A cancelled run leaves none of the files it wrote.
    static void DiscardWritten(CReportFrame& f) {
        std::error_code ec;
        for (const fs::path& p : f.m_written) fs::remove(p, ec);
        f.m_written.clear();
    }
};

stFrameSetup MakeFrameSetup(const fs::path& programDir, const std::string& modelName,
                            const fs::path& modelFolder, bool lanDefault) {
    stFrameSetup setup;
    setup.programDir = programDir;
    setup.strModelName = modelName;
    setup.modelFolder = modelFolder;
    setup.features = ReadModelFeatures(modelFolder, lanDefault);
    return setup;
}

CReportFrame::CReportFrame(const stFrameSetup& setup, IFrameUi& ui, qlink::IDisplayLink& link)
    : m_setup(setup), m_ui(ui), m_link(link), m_settings(setup.programDir), m_log(setup.programDir) {
    m_settings.LoadIniFile();
    stReportOptions options;
    options.nTimeMode = setup.features.m_nTimeMode;
    SetUpViews(setup.modelFolder, options, m_list, m_temp);
}

stLogState CReportFrame::LogState() const {
    stLogState s;
    s.bPresent = m_log.m_bValid != 0;
    s.strModel = m_log.m_strModel;
    s.strSerial = m_log.m_strSerial;
    s.strInfo = m_log.m_strInfo;
    s.nFileVersion = m_log.m_nFileVersion;
    return s;
}

std::string CReportFrame::GetReportName() const {
    return StampedName(ReportName(m_log.m_strModel, m_log.m_strSerial, m_setup.strModelName), m_setup.strFileStamp);
}

std::string CReportFrame::GetHtmlName() const {
    return HtmlName(m_log.m_strModel, m_log.m_strSerial, m_setup.strModelName);
}

std::string CReportFrame::GetZipName() const {
    return ZipName(m_log.m_strSerial);
}

int CReportFrame::OnGetLogs() {
    return Guarded([&] {
        m_written.clear();
        m_ui.SetTitle("");
        const int code = FrameSteps::RunLogWorker(*this, m_ui.ChoosePorts(), "");
        FrameSteps::ShowState(*this);
        if (code != kExitOk) Warn(kMsgCommFailed);
        return code;
    });
}

int CReportFrame::OnGetAll() {
    return Guarded([&] {
        m_written.clear();
        if (!FrameSteps::ChooseFolder(*this)) return static_cast<int>(kExitDeclined);
        const fs::path folder = m_transferPath;
        m_ui.SetTitle("");
        const qlink::stPortChoice ports = m_ui.ChoosePorts();
        int code = FrameSteps::RunLogWorker(*this, ports, " 1/2");
        FrameSteps::ShowState(*this);
        // Only an image that arrived in this run is saved: never an older log.
        const bool saved = m_log.m_bValid == 0 || FrameSteps::SaveReportInto(*this, folder);
        if (code != kExitOk) {
            Warn(code == kExitCancel ? kMsgCanceled : kMsgCommFailed);
            return code;
        }
        code = FrameSteps::RunNvramWorker(*this, ports, " 2/2", false);
        if (code == kExitOk && !saved) code = kExitFile;
        return ShowTransferOutcome(code);
    });
}

int CReportFrame::OnGetAllSilent(const CMyCommandLine& cmd, const int* cancel) {
    return Guarded([&] {
        m_written.clear();
        std::string reason;
        const int code = ShowTransferOutcome(FrameSteps::GetAllSilent(*this, cmd, cancel, reason));
        // The outcome first, then why: the last lines a script reads.
        if (!reason.empty()) Warn(reason);
        return code;
    });
}

int CReportFrame::OnClearLogs() {
    return Guarded([&] {
        m_written.clear();
        if (cmn::MessageBox(kMsgClearConfirm, cmn::MB_OKCANCEL | cmn::MB_ICONWARNING) != cmn::IDOK)
            return static_cast<int>(kExitDeclined);
        const stClearResult result = ClearDisplayLogs(m_link, m_ui.ChoosePorts(), m_ui.NoticeSink());
        if (result.bOpened) {
            ResetLog(m_log);
            m_ui.SetTitle("");
        }
        FrameSteps::ShowState(*this);
        if (result.bCleared && !result.bLoggingLeftOff) {
            Inform(kMsgCleared);
            return static_cast<int>(kExitOk);
        }
        Warn(kMsgCommFailed);
        return static_cast<int>(kExitComm);
    });
}

int CReportFrame::OnWriteNvram() {
    return Guarded([&] {
        m_written.clear();
        fs::path file;
        if (!m_ui.OpenFile({kNvramDumpName, "", kBinFilter, false}, file))
            return static_cast<int>(kExitDeclined);
        m_transferPath = file;
        m_ui.SetTitle("");
        stWorkerContext ctx;
        ctx.ports = m_ui.ChoosePorts();
        ctx.transferPath = file;
        const int code =
            FrameSteps::RunContextWorker(*this, ctx, {kTransferRange, false, ""}, &SetNvramThread);
        switch (code) {
            case kExitOk:
                Inform(kMsgNvramWritten);
                break;
            case kExitCancel:
                Warn(kMsgCanceled);
                break;
            case kExitRefused:
                Warn(kMsgNvramById);
                break;
            default:
                Warn(kMsgCommFailed);
                break;
        }
        return code;
    });
}

int CReportFrame::OnDumpNvram() {
    return Guarded([&] {
        m_written.clear();
        if (!FrameSteps::ChooseFolder(*this)) return static_cast<int>(kExitDeclined);
        return ShowTransferOutcome(FrameSteps::RunNvramWorker(*this, m_ui.ChoosePorts(), "", true));
    });
}

int CReportFrame::OnDumpTemperature() {
    return Guarded([&] {
        m_written.clear();
        fs::path file;
        if (!m_ui.SaveFile({"Temperature.txt", ".txt", kTextFilter, true}, file))
            return static_cast<int>(kExitDeclined);
        m_transferPath = file;
        stWorkerContext ctx;
        ctx.ports = m_ui.ChoosePorts();
        ctx.transferPath = file;
        return ShowTransferOutcome(
            FrameSteps::RunContextWorker(*this, ctx, {kTempDumpRange, false, ""}, &GetTemperatureThread));
    });
}

int CReportFrame::OnFileOpenlogfile() {
    return Guarded([&] {
        m_written.clear();
        fs::path file;
        const bool chosen = m_ui.OpenFile({"monitorlog.dat", "", kLogFilter, false}, file);
        FrameSteps::SetCompensation(*this, false);
        if (!chosen) {
            // The views must not go on showing times in a mode they no longer use.
            FrameSteps::RefreshViews(*this);
            m_ui.ShowLogState(LogState(), m_list, m_temp);
            m_ui.SetCompensationItem(false, false);
            return static_cast<int>(kExitDeclined);
        }
        m_ui.SetCompensationItem(false, false);
        return FrameSteps::LoadLogFile(*this, file);
    });
}

int CReportFrame::OnCreateReport() {
    return Guarded([&] {
        return FrameSteps::SaveToChosenFile(*this, {GetReportName(), ".dat", kLogFilter, true},
                                            [this](const fs::path& file) { return m_log.SaveLogData(file) == 1; });
    });
}

int CReportFrame::OnCreateCsv() {
    return Guarded([&] {
        return FrameSteps::SaveToChosenFile(*this, {GetHtmlName(), ".html", kHtmlFilter, true},
                                            [this](const fs::path& file) {
                                                return WriteTreatedHtml(file, m_list, m_temp) == REPORT_OK;
                                            });
    });
}

int CReportFrame::OnFileCompare() {
    return Guarded([&] {
        m_written.clear();
        const cmn::stUserPath place = CompareFolder(m_setup.programDir);
        const fs::path& folder = place.path;
        const fs::path file1 = folder / "File1.txt", file2 = folder / "File2.txt";
        // A File1 that could not be written must not pass for this log.
        std::error_code ec;
        const bool first = !folder.empty() && FrameSteps::WriteCompareFile(*this, file1);
        if (!first && !folder.empty()) fs::remove(file1, ec);
        const int loaded = OnFileOpenlogfile();
        if (loaded != kExitOk) return loaded;
        if (folder.empty() || !FrameSteps::WriteCompareFile(*this, file2)) {
            if (!folder.empty()) fs::remove(file2, ec);
            // A refused folder says which one and why.
            Warn(place.error.empty() ? std::string(kMsgFileFailed)
                                     : std::string(kMsgFileFailed) + "\n" + place.error);
            return static_cast<int>(kExitFile);
        }
        if (first) m_written.push_back(file1);
        m_written.push_back(file2);
        const fs::path program = ResolveCompareProgram(m_settings.m_strComparePath);
        if (!program.empty()) StartCompareProgram(program, file1, file2);
        return static_cast<int>(kExitOk);
    });
}

void CReportFrame::OnTimeCompensation() {
    Guarded([&] {
        FrameSteps::SetCompensation(*this, !m_bCompensate);
        FrameSteps::ShowState(*this);
        return 0;
    });
}

void CReportFrame::OnSetFilter(std::uint32_t filter) {
    Guarded([&] {
        m_list.SetFilter(filter);
        FrameSteps::ShowState(*this);
        return 0;
    });
}

}  // namespace acq
