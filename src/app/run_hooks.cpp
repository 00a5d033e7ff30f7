#include "app/run_hooks.h"

namespace vrn {

RunHooks& gf_runHooks() {
    static RunHooks hooks;
    return hooks;
}

}  // namespace vrn
