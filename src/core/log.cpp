#include "core/log.h"

#include <atomic>
#include <fstream>
#include <ostream>

#include "core/exceptions.h"
#include "core/format.h"
#include "core/status_sink.h"
#include "core/text_files.h"
#include "core/time_of_week.h"
#include "core/utf8_paths.h"
#include "core/version.h"

namespace vrn {

const std::string g_arrow = "===> ";
const std::string g_indent = "          ";
const std::string g_pluralS = "s";

namespace {

constexpr std::string_view kArrow = "===> ";
constexpr std::string_view kIndent = "          ";

// The log outlives every static object: detached threads (readers, the exit thread) may still write
// while the process ends, so the stream and its mutex are never destroyed; a guard closes the file at
// exit, after which lines are dropped like before the start.
struct LogState {
    std::mutex mutex;
    std::ofstream stream;
    std::atomic<bool> open{false};   // read without the lock only as a quick "not open" exit
    std::filesystem::path file;
    bool failureSaid = false;        // a failed write (a full disk) is told the user once per start
};

LogState& lf_state() {
    static LogState* state = new LogState;
    return *state;
}

struct LogCloser {
    ~LogCloser() { gf_closeLog(); }
} g_logCloser;

// Log0.txt/Log00.txt keep the two previous runs. Renames, not copies: a rename needs no room on the
// disk, so a full disk cannot leave Log0.txt empty while Log.txt is truncated.
struct KeptLogs {
    std::vector<std::string> failures;
    bool logStillThere = false;   // Log.txt could not be moved aside: it must be added to, not truncated
};

KeptLogs lf_keepPreviousLogs(const std::filesystem::path& logFile) {
    KeptLogs kept;
    const std::string name = gf_utf8Of(logFile.filename());
    const auto dot = name.rfind('.');
    if (dot == std::string::npos) return kept;
    const std::string zero = "0";
    auto withZeros = [&](int count) {
        std::string n = name;
        for (int i = 0; i < count; ++i) n.insert(dot, zero);
        return logFile.parent_path() / n;
    };
    auto shift = [&](const std::filesystem::path& from, const std::filesystem::path& to) {
        std::error_code ec;
        if (!std::filesystem::exists(from, ec)) return true;
        if (!std::filesystem::is_regular_file(from, ec)) return false;   // not ours to move
        std::filesystem::rename(from, to, ec);
        if (ec) kept.failures.push_back(vrn::format("could not move {} to {}: {}", gf_utf8Of(from), gf_utf8Of(to), ec.message()));
        return !ec;
    };
    shift(withZeros(1), withZeros(2));
    kept.logStillThere = !shift(logFile, withZeros(1));
    return kept;
}

// One line in the system's line ends, also where the text itself holds line feeds ("\nInformation:").
void lf_putLine(std::ostream& stream, std::string_view prefix, std::string_view text) {
    const std::string_view end = gf_textLineEnd();
    stream << prefix;
    if (end == "\n" || text.find('\n') == std::string_view::npos)
        stream << text;
    else
        stream << gf_withLineEnds(text, end);
    stream << end;
}

// A write that failed (a full disk) leaves Log.txt empty or cut short without a word: the user is
// told once, on the status line, where and what to do. The caller holds the log mutex; the text
// is shown after it is released, as showing it logs a line too.
std::string lf_writeFailure(LogState& state) {
    if (!state.stream.bad() || state.failureSaid) return {};
    state.failureSaid = true;
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(state.file, ec);
    const std::filesystem::path folder = (ec ? state.file : absolute).parent_path();
    // What to do first: the folder may be long enough to fill the status line.
    return UserErrorException(46, vrn::format("{} cannot be written (is the disk full?): free space on that disk and "
                                              "start Varnel again; its folder: \"{}\"",
                                              gf_utf8Of(state.file.filename()), gf_utf8Of(folder)))
        .what();
}

void lf_sayWriteFailure(const std::string& text) {
    if (!text.empty()) gf_reportError(text);
}

void lf_writeLine(std::string_view prefix, std::string_view text, bool flush) {
    auto& state = lf_state();
    if (!state.open.load(std::memory_order_acquire)) return;
    std::string failure;
    {
        std::lock_guard lock(state.mutex);
        // Tested again under the lock: gf_closeLog may have closed the file meanwhile.
        if (!state.stream.is_open()) return;
        lf_putLine(state.stream, prefix, text);
        if (flush) state.stream.flush();
        failure = lf_writeFailure(state);
    }
    lf_sayWriteFailure(failure);
}

}  // namespace

static void lf_restartLimiters();

void gf_startLog() { gf_startLog("Log.txt"); }

void gf_startLog(const std::filesystem::path& logFile) {
    auto& state = lf_state();
    // What the limiters held back belongs to the file being closed; the new one starts with a
    // minute of its own for each of them.
    gf_sayHeldBackLogLines();
    {
        // A second start (tests, a restart of the log) first closes the file it is about to copy.
        std::lock_guard lock(state.mutex);
        state.open.store(false, std::memory_order_release);
        if (state.stream.is_open()) state.stream.close();
        state.stream.clear();
    }
    const KeptLogs kept = lf_keepPreviousLogs(logFile);

    std::unique_lock lock(state.mutex);
    state.file = logFile;
    state.failureSaid = false;
    state.stream.open(logFile, std::ios::out | (kept.logStillThere ? std::ios::app : std::ios::trunc) | std::ios::binary);
    if (!state.stream.is_open()) {
        state.stream.clear();
        throw SysErrorException(40, "Failed to write file " + gf_utf8Of(logFile));
    }
    lf_putLine(state.stream, {},
               vrn::format("{} (utc) {} version {} for {}", gf_utcTimeText(gf_wallClock()), g_programName,
                           g_programVersion.toString(), "MSFS"));
    for (const auto& failure : kept.failures) lf_putLine(state.stream, {}, failure);
    if (kept.logStillThere) lf_putLine(state.stream, {}, "the previous run's log is kept above the header of this run");
    // At once, so that a disk without room is known before the first line of the run is lost.
    state.stream.flush();
    state.open.store(true, std::memory_order_release);
    const std::string failure = lf_writeFailure(state);
    lock.unlock();
    lf_sayWriteFailure(failure);
    lf_restartLimiters();
}

void gf_closeLog() {
    auto& state = lf_state();
    std::lock_guard lock(state.mutex);
    state.open.store(false, std::memory_order_release);
    if (state.stream.is_open()) state.stream.close();
    state.stream.clear();
}

bool gf_logIsOpen() { return lf_state().open.load(std::memory_order_acquire); }

void gf_flushLog() {
    auto& state = lf_state();
    if (!state.open.load(std::memory_order_acquire)) return;
    std::string failure;
    {
        std::lock_guard lock(state.mutex);
        if (state.stream.is_open()) state.stream.flush();
        failure = lf_writeFailure(state);
    }
    lf_sayWriteFailure(failure);
}

void gf_logLine(std::string_view text) { lf_writeLine({}, text, false); }

void gf_logLineOfString(const std::string& text) { lf_writeLine({}, text, false); }

void gf_logArrowLine(std::string_view text) { lf_writeLine(kArrow, text, true); }

void gf_logIndentedLine(std::string_view text) { lf_writeLine(kIndent, text, false); }

void gf_logLines(const std::vector<std::string>& lines) {
    auto& state = lf_state();
    if (!state.open.load(std::memory_order_acquire)) return;
    std::string failure;
    {
        std::lock_guard lock(state.mutex);
        if (!state.stream.is_open()) return;
        for (const auto& line : lines) lf_putLine(state.stream, {}, line);
        failure = lf_writeFailure(state);
    }
    lf_sayWriteFailure(failure);
}

namespace {

// The limiters alive, so that the run's end can have each say its count. Never destroyed, as the
// limiters of static objects leave it while the process ends. Lock order: this mutex, then a
// limiter's, then the log's.
struct LimiterRegistry {
    std::mutex mutex;
    std::vector<LogLimiter*> limiters;
};

LimiterRegistry& lf_limiters() {
    static LimiterRegistry* registry = new LimiterRegistry;
    return *registry;
}

}  // namespace

LogLimiter::LogLimiter(std::string what, int linesPerMinute) : m_what(std::move(what)), m_linesPerMinute(linesPerMinute) {
    LimiterRegistry& registry = lf_limiters();
    std::lock_guard lock(registry.mutex);
    registry.limiters.push_back(this);
}

LogLimiter::~LogLimiter() {
    {
        LimiterRegistry& registry = lf_limiters();
        std::lock_guard lock(registry.mutex);
        std::erase(registry.limiters, this);
    }
    std::lock_guard lock(m_mutex);
    lf_sayDropped();
}

static void lf_restartLimiters() {
    LimiterRegistry& registry = lf_limiters();
    std::lock_guard lock(registry.mutex);
    for (LogLimiter* limiter : registry.limiters) limiter->restart();
}

void gf_sayHeldBackLogLines() {
    LimiterRegistry& registry = lf_limiters();
    std::lock_guard lock(registry.mutex);
    for (LogLimiter* limiter : registry.limiters) limiter->flushDropped();
}

void LogLimiter::log(std::string_view line) {
    std::lock_guard lock(m_mutex);
    const std::time_t now = gf_wallClock();
    // A clock set back starts a new minute as well.
    if (now - m_minuteStart >= 60 || now < m_minuteStart) {
        m_minuteStart = now;
        m_linesThisMinute = 0;
    }
    if (m_linesThisMinute >= m_linesPerMinute) {
        ++m_dropped;
        return;
    }
    ++m_linesThisMinute;
    lf_sayDropped();
    gf_logLine(line);
}

void LogLimiter::flushDropped() {
    std::lock_guard lock(m_mutex);
    lf_sayDropped();
}

void LogLimiter::restart() {
    std::lock_guard lock(m_mutex);
    lf_sayDropped();
    m_minuteStart = 0;
    m_linesThisMinute = 0;
}

void LogLimiter::lf_sayDropped() {
    if (m_dropped == 0) return;
    gf_logLine(vrn::format("{} more {} line{} not logged", m_dropped, m_what, m_dropped == 1 ? " was" : "s were"));
    m_dropped = 0;
}

}  // namespace vrn
