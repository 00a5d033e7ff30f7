// The exception reporter of the threads' top handlers.
#include "app/exception_reporter.h"

#include <exception>
#include <new>
#include <stdexcept>

#include "app/gui_requests.h"
#include "app/main_window.h"
#include "core/exceptions.h"
#include "core/format.h"
#include "core/log.h"

namespace vrn {

namespace {

inline constexpr int kExitSystemError = 5;

void lf_systemError(const char* name, const std::exception& e) {
    gf_showError(format("{}: {}", name, e.what()));
    gf_requestExitFromWindow(kExitSystemError, 0);
}

}  // namespace

void gf_reportException(const char* functionName) {
    const char* name = functionName != nullptr ? functionName : "";
    if (!std::current_exception()) {
        // Called outside a handler there is nothing to rethrow; a bare rethrow would end the process.
        gf_logLine(format("gf_reportException({}) called without an exception", name));
        return;
    }
    try {
        try {
            throw;
        } catch (const UserErrorException& e) {
            gf_showError(e.what());
        } catch (const fmt::format_error& e) {
            gf_showError(std::string("std::format error: ") + e.what());
        } catch (const std::bad_alloc& e) {
            lf_systemError(name, e);
        } catch (const std::out_of_range& e) {
            lf_systemError(name, e);
        } catch (const std::runtime_error& e) {
            lf_systemError(name, e);
        } catch (const std::exception& e) {
            lf_systemError(name, e);
        } catch (...) {
            gf_showError("Unknown exception");
        }
    } catch (...) {
        // Showing or requesting failed (out of memory, an exit hook that throws): the log keeps a trace
        // when it can; nothing leaves the top handler that called us.
        try {
            gf_logLine(format("exception in gf_reportException({})", name));
        } catch (...) {
        }
    }
}

}  // namespace vrn
