#include "acquire/Interrupt.h"

#include <signal.h>

#include <atomic>

namespace acq {

namespace {

std::atomic<int*> g_target{nullptr};
std::atomic<bool> g_interrupted{false};

void SetCancel(int* flag) {
    std::atomic_ref<int>(*flag).store(1, std::memory_order_release);
}

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
    int* flag = g_target.load();
    if (flag != nullptr) SetCancel(flag);
}

bool InterruptRequested() {
    return g_interrupted.load();
}

CInterruptTarget::CInterruptTarget(int& cancel) {
    g_target.store(&cancel);
    // Stored before the flag is read: a signal in between reaches the run
    // through one of the two.
    if (g_interrupted.load()) SetCancel(&cancel);
}

CInterruptTarget::~CInterruptTarget() {
    g_target.store(nullptr);
}

}  // namespace acq
