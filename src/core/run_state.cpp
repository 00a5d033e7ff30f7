#include "core/run_state.h"

namespace vrn {

std::atomic<bool> g_exitRequested{false};
std::atomic<bool> g_userStopped{false};
std::atomic<int> g_runningThreads{0};
std::atomic<bool> g_processEnding{false};

bool gf_exitUnderWay() { return g_exitRequested.load() || g_userStopped.load() || g_processEnding.load(); }

void gf_setProcessEnding() { g_processEnding.store(true); }

}  // namespace vrn
