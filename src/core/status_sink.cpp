#include "core/status_sink.h"

#include <atomic>

#include "core/log.h"

namespace vrn {

namespace {

std::atomic<StatusSink> l_statusSink{nullptr};
std::atomic<ErrorSink> l_errorSink{nullptr};

}  // namespace

void gf_setStatusSink(StatusSink sink) { l_statusSink.store(sink); }

void gf_reportStatus(const std::string& text, bool log) {
    if (const StatusSink sink = l_statusSink.load()) {
        sink(text, log);
    } else if (log) {
        gf_logLineOfString(text);
    }
}

ErrorSink gf_setErrorSink(ErrorSink sink) { return l_errorSink.exchange(sink); }

void gf_reportError(const std::string& text) {
    if (const ErrorSink sink = l_errorSink.load()) {
        sink(text);
    } else {
        gf_logLineOfString("Error " + text);
    }
}

}  // namespace vrn
