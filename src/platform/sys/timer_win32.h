#pragma once
// The system timer's resolution for the whole process. Every wait of the program goes through
// platform/sys/sleep.h, whose Windows side asks for 1 ms steps on its first wait and keeps them for
// the life of the process: the 10 ms pass clock and the SimConnect thread's 1 ms dispatch wait need
// them, and the system drops the request when the process ends.
//
// From Windows 11 the system may ignore that request while none of the process's windows can be
// seen (a full-screen or maximised simulator in front, or the window minimised): Sleep(1) then lasts
// a whole 15.6 ms tick. The process opts out of that power saving with SetProcessInformation. Systems
// without the call (before Windows 8) or without this policy (before Windows 11) refuse the opt-out,
// and grant the resolution asked for anyway.
#include <windows.h>

namespace vrn::platform::sys {

// Once per process: timeBeginPeriod(1) and the opt-out below. Later calls do nothing.
void gf_keepFineTimer();

// PROCESS_POWER_THROTTLING_STATE of the Win32 documentation.
struct PowerThrottlingState {
    ULONG version;       // 1, the only version there is
    ULONG controlMask;   // which policies this call decides
    ULONG stateMask;     // per policy in controlMask: set = throttle, clear = never throttle
};
inline constexpr int kProcessPowerThrottling = 4;                     // PROCESS_INFORMATION_CLASS value
inline constexpr ULONG kPowerThrottlingVersion = 1;                   // PROCESS_POWER_THROTTLING_CURRENT_VERSION
inline constexpr ULONG kThrottlingIgnoreTimerResolution = 0x4;        // PROCESS_POWER_THROTTLING_IGNORE_TIMER_RESOLUTION

using SetProcessInformationFunction = BOOL(WINAPI*)(HANDLE process, int informationClass, LPVOID information,
                                                    DWORD size);

// Tells the system never to ignore this process's timer resolution, through `setInformation`
// (kernel32's SetProcessInformation, or null where the system lacks it). True when it was accepted.
bool gf_honourTimerResolution(SetProcessInformationFunction setInformation);

// kernel32's SetProcessInformation, looked up at run time; null where the system has none.
SetProcessInformationFunction gf_setProcessInformationOfSystem();

}  // namespace vrn::platform::sys
