#pragma once
// A console program asked to stop by its user: SIGINT or SIGTERM on Linux; Ctrl+C, Ctrl+Break, the
// console window closed, a logoff or a shutdown on Windows.
namespace vrn::platform::sys {

// From now on `onStop` is called once per request, from a signal handler or a system thread: it may
// only touch atomics.
void gf_onStopRequest(void (*onStop)());

}  // namespace vrn::platform::sys
