#include "support/mutex_waiters.h"

#include <pthread.h>

namespace vrn::test {

// glibc's lock word of a normal mutex: 0 free, 1 held, 2 held with a thread asleep (or about to sleep)
// in lock().
bool someoneWaitsFor(std::mutex& mutex) {
    return __atomic_load_n(&mutex.native_handle()->__data.__lock, __ATOMIC_ACQUIRE) == 2;
}

}  // namespace vrn::test
