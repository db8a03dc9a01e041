#include "acquire/SilentRun.h"

#include "acquire/Commands.h"
#include "acquire/HeadlessFrameUi.h"
#include "acquire/Interrupt.h"

namespace acq {

int RunSilent(const StartUpDecision& decision, const std::filesystem::path& programDir,
              qlink::IDisplayLink& link, const std::filesystem::path& workFolder, IProgress* progress) {
    HeadlessFrameUi ui;
    ui.progress = progress;
    const CInterruptTarget interrupt(ui);
    stFrameSetup setup =
        MakeFrameSetup(programDir, decision.m_strModel, decision.m_modelFolder, decision.m_bLanDefault);
    setup.workFolder = workFolder;
    CReportFrame frame(setup, ui, link);
    return frame.OnGetAllSilent(decision.m_cmdLine, &ui.cancelFlag);
}

}  // namespace acq
