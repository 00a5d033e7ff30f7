#include "platform/sys/timer.h"

namespace vrn::platform::sys {

unsigned gf_timeBeginPeriod(unsigned /*periodMs*/) { return kTimerNoError; }
unsigned gf_timeEndPeriod(unsigned /*periodMs*/) { return kTimerNoError; }

}  // namespace vrn::platform::sys
