#include "support/mutex_waiters.h"

#include <pthread.h>

#include <cstdint>

namespace vrn::test {

// winpthreads keeps a mutex as a pointer to its state, made on first use (until then a small negative
// value or 0); the state's first word is 0 free, 1 held, 2 held with a thread waiting in lock().
bool someoneWaitsFor(std::mutex& mutex) {
    const std::intptr_t handle = __atomic_load_n(mutex.native_handle(), __ATOMIC_ACQUIRE);
    if (handle >= -3 && handle <= 0) return false;
    return __atomic_load_n(reinterpret_cast<const long*>(handle), __ATOMIC_ACQUIRE) == 2;
}

}  // namespace vrn::test
