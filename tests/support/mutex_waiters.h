#pragma once
// Whether a thread waits in std::mutex::lock() for `mutex`: a test that must hold a mutex until another
// thread is surely blocked on it (not merely started) asks this instead of sleeping a while. It reads
// the threads library's own lock word (glibc on Linux, winpthreads with MinGW), where a waiter marks
// the mutex before it sleeps; try_lock() never does.
#include <mutex>

namespace vrn::test {

bool someoneWaitsFor(std::mutex& mutex);

}  // namespace vrn::test
