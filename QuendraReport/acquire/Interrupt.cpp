#include "acquire/Interrupt.h"

#include <signal.h>

#include <atomic>

#include "acquire/HeadlessFrameUi.h"

namespace acq {

namespace {

std::atomic<HeadlessFrameUi*> g_target{nullptr};
std::atomic<bool> g_interrupted{false};

void OnSignal(int) {
    RequestInterrupt();
    // Whichever signal comes next ends the process: sigaction is
    // async-signal-safe.
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(SIGINT, &dfl, nullptr);
    sigaction(SIGTERM, &dfl, nullptr);
}

}  // namespace

void InstallInterruptHandlers() {
    struct sigaction sa {};
    sa.sa_handler = &OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaddset(&sa.sa_mask, SIGINT);
    sigaddset(&sa.sa_mask, SIGTERM);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

void RequestInterrupt() {
    g_interrupted.store(true);
    HeadlessFrameUi* ui = g_target.load();
    if (ui != nullptr) ui->RequestCancel();
}

bool InterruptRequested() {
    return g_interrupted.load();
}

CInterruptTarget::CInterruptTarget(HeadlessFrameUi& ui) {
    g_target.store(&ui);
    // Stored before the flag is read: a signal in between reaches the run
    // through one of the two.
    if (g_interrupted.load()) ui.RequestCancel();
}

CInterruptTarget::~CInterruptTarget() {
    g_target.store(nullptr);
}

}  // namespace acq
