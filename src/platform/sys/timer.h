#pragma once
// Timer resolution around the 1 ms and 10 ms loops. Windows needs timeBeginPeriod(1) for sleeps to
// keep that cadence; Linux sleeps are already that fine, so both calls succeed and do nothing.
namespace vrn::platform::sys {

inline constexpr unsigned kTimerNoError = 0;   // TIMERR_NOERROR

unsigned gf_timeBeginPeriod(unsigned periodMs);
unsigned gf_timeEndPeriod(unsigned periodMs);

// Begin on construction, end on destruction.
class ScopedTimerResolution {
public:
    explicit ScopedTimerResolution(unsigned periodMs = 1) : m_period(periodMs) { gf_timeBeginPeriod(m_period); }
    ~ScopedTimerResolution() { gf_timeEndPeriod(m_period); }
    ScopedTimerResolution(const ScopedTimerResolution&) = delete;
    ScopedTimerResolution& operator=(const ScopedTimerResolution&) = delete;

private:
    unsigned m_period;
};

}  // namespace vrn::platform::sys
