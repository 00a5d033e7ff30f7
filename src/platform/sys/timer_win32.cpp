#include "platform/sys/timer.h"

#include <windows.h>
#include <timeapi.h>

namespace vrn::platform::sys {

unsigned gf_timeBeginPeriod(unsigned periodMs) { return ::timeBeginPeriod(periodMs); }
unsigned gf_timeEndPeriod(unsigned periodMs) { return ::timeEndPeriod(periodMs); }

}  // namespace vrn::platform::sys
