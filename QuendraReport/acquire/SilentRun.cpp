#include "acquire/SilentRun.h"

#include <cstdio>

#include "acquire/Interrupt.h"
#include "acquire/Outcome.h"
#include "common/prompt.h"
#include "common/strutil.h"

namespace acq {

namespace {

// Notices as lines on standard error; the steps are not shown.
class NoticeLines final : public IProgress {
public:
    void SetText(const char*) override {}
    void SetPos(int) override {}
    void End() override {}
    void Notice(const std::string& text) override {
        std::fprintf(stderr, "QuendraReport: %s\n", cmn::EscapeNonPrintable(text).c_str());
        std::fflush(stderr);
    }
};

// The archive question on the terminal; No without one.
class ConsoleDecision final : public IDecision {
public:
    bool ReplaceArchive(const std::filesystem::path&) override {
        return cmn::ConsolePrompt().Message(kMsgArchiveExists, cmn::MB_YESNO | cmn::MB_ICONWARNING, {}) ==
               cmn::IDYES;
    }
};

}  // namespace

int RunSilent(const StartUpDecision& decision, const std::filesystem::path& programDir,
              qlink::IDisplayLink& link, const std::filesystem::path& workFolder) {
    stUnattendedRequest request = UnattendedRequest(decision.m_cmdLine, programDir, decision.m_strModel);
    request.workFolder = workFolder;
    NoticeLines notices;
    ConsoleDecision question;
    int cancel = 0;
    stCommandResult result;
    {
        const CInterruptTarget interrupt(cancel);
        result = RunUnattended(link, request, notices, &cancel, question);
    }
    cmn::ConsolePrompt console;
    if (result.decodeError) console.Message(DecodeErrorMessage(*result.decodeError), cmn::MB_OK, {});
    const stOutcomeMessage outcome = OutcomeMessage(Command::kUnattended, result.nExitCode);
    console.Message(outcome.text, cmn::MB_OK, {});
    // The message first, then why: the last line a script reads (its bytes
    // as they are, like every message of the run, a path's included).
    if (result.nExitCode != 0)
        console.Message("QuendraReport: " + FailureLine(result.failure), cmn::MB_OK, {});
    return result.nExitCode;
}

}  // namespace acq
