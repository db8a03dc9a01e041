#include "app/StartUp.h"

#include <cstdio>

#include "common/csvfile.h"
#include "common/paths.h"
#include "common/prompt.h"
#include "common/secretfile.h"

const char* const kMsgInvalidOption = "Invalid option format.";
const char* const kMsgInvalidModel = "Invalid Model. Please check Model Name File (CSV).";

std::vector<stModelEntry> ReadModelList(const std::filesystem::path& programDir) {
    std::vector<stModelEntry> list;
    std::optional<std::filesystem::path> path = cmn::FindFileNoCase(programDir, "ModelName.csv");
    cmn::CCsvFile csv;
    if (!path || !csv.Open(*path, true)) return list;
    while (csv.ReadLine()) {
        stModelEntry e;
        csv.GetItem(e.m_strName);
        csv.GetItem(e.m_strFolder);
        csv.GetItem(e.m_nFlags);
        list.push_back(std::move(e));
    }
    return list;
}

std::string GetFolderName(const std::filesystem::path& programDir, const std::string& model) {
    std::string folder;
    for (const stModelEntry& e : ReadModelList(programDir)) {
        if (e.m_strName == model) folder = e.m_strFolder;  // the last match wins
    }
    return folder;
}

std::string GetFolderName(const std::string& model) {
    return GetFolderName(cmn::ProgramDir(), model);
}

bool RemoveFileSpecFromPath(std::string& path) {
    if (path.find_first_not_of('/') == std::string::npos) return false;  // empty or the root
    std::size_t sep = path.rfind('/');
    if (sep == std::string::npos) {
        path.clear();
    } else if (path.find_first_not_of('/') > sep) {
        // Only the root before the last component: keep it, so the result stays a folder.
        path.erase(1);
    } else {
        path.erase(sep);
    }
    return true;
}

StartUpDecision DecideStartUp(const std::vector<std::string>& args, const std::filesystem::path& programDir) {
    StartUpDecision d;
    switch (d.m_cmdLine.ParseArguments(args)) {
        case CMyCommandLine::Result::Interactive:
            d.m_kind = StartUpDecision::Kind::Interactive;
            return d;
        case CMyCommandLine::Result::Invalid:
            d.m_kind = StartUpDecision::Kind::Message;
            d.m_strMessage = kMsgInvalidOption;
            d.m_nExitCode = 0;
            return d;
        case CMyCommandLine::Result::Silent:
            break;
    }
    std::string folder = GetFolderName(programDir, d.m_cmdLine.m_strModel);
    if (folder.empty()) {
        d.m_kind = StartUpDecision::Kind::Message;
        d.m_strMessage = kMsgInvalidModel;
        d.m_nExitCode = 0;
        return d;
    }
    std::string error;
    if (d.m_cmdLine.m_bPasswordFile &&
        !cmn::ReadSecretFirstLine(d.m_cmdLine.m_strPasswordFile, d.m_cmdLine.m_strPassword, error)) {
        d.m_kind = StartUpDecision::Kind::Message;
        d.m_strMessage = "Cannot use the password file " + error;
        d.m_nExitCode = 0;
        return d;
    }
    d.m_kind = StartUpDecision::Kind::Unattended;
    d.m_strModel = d.m_cmdLine.m_strModel;
    // A folder copied from Windows may differ in case from the model list.
    d.m_modelFolder = cmn::ResolveNoCase(cmn::JoinPath(programDir, folder));
    d.m_bLanDefault = true;
    return d;
}

StartUpDecision RunStartUp(const std::vector<std::string>& args, const std::filesystem::path& programDir,
                           cmn::IPrompt& prompt) {
    StartUpDecision d = DecideStartUp(args, programDir);
    if (d.m_kind == StartUpDecision::Kind::Message) {
        prompt.Message(d.m_strMessage, cmn::MB_OK | cmn::MB_ICONWARNING);
        if (dynamic_cast<cmn::ConsolePrompt*>(&prompt) == nullptr) {
            std::fprintf(stderr, "%s\n", d.m_strMessage.c_str());
            std::fflush(stderr);
        }
    }
    return d;
}

StartUpDecision RunStartUp(int argc, const char* const* argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i] ? argv[i] : "");
    cmn::ConsolePrompt console;
    return RunStartUp(args, cmn::ProgramDir(), console);
}
