#pragma once
// Log.txt: the program's one text log. No levels; every line is written whole under the log mutex
// while the log is open, and dropped silently while it is not.
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace vrn {

extern const std::string g_arrow;      // "===> "
extern const std::string g_indent;     // ten blanks
extern const std::string g_pluralS;    // "s", appended to make plurals ("{} liverie{}")

// Moves the two previous logs to Log0.txt and Log00.txt (a Log.txt that cannot be moved is added
// to, never truncated), opens Log.txt (in the current folder) and writes the header
// "{} (utc) {} version {} for {}". Throws SysErrorException 40 when Log.txt cannot be opened.
void gf_startLog();
// Same, with an explicit file (tests).
void gf_startLog(const std::filesystem::path& logFile);
// Closes the log (final exit); later lines are dropped.
void gf_closeLog();
bool gf_logIsOpen();
void gf_flushLog();

void gf_logLine(std::string_view text);
void gf_logLineOfString(const std::string& text);
void gf_logArrowLine(std::string_view text);       // "===> " + text, flushed
void gf_logIndentedLine(std::string_view text);    // ten blanks + text
// A block of lines written under one hold of the log mutex, so no other thread's line interleaves.
void gf_logLines(const std::vector<std::string>& lines);

// For a line that outside input can repeat at any rate (a bad datagram, a full queue): at most
// `linesPerMinute` lines a minute reach Log.txt, the rest are counted, and their number is said once,
// before the next line written, at flushDropped() or at gf_sayHeldBackLogLines(). The minute follows
// gf_wallClock (tests set it).
class LogLimiter {
public:
    explicit LogLimiter(std::string what, int linesPerMinute = 10);
    ~LogLimiter();
    LogLimiter(const LogLimiter&) = delete;
    LogLimiter& operator=(const LogLimiter&) = delete;
    void log(std::string_view line);
    // Says how many lines were dropped, when any were (a reader that stops).
    void flushDropped();
    // The same, and the next line opens a minute of its own (what it logs for stopped, and a new
    // start is judged on its own lines).
    void restart();

private:
    void lf_sayDropped();   // the caller holds m_mutex

    const std::string m_what;
    const int m_linesPerMinute;
    std::mutex m_mutex;
    std::time_t m_minuteStart = 0;
    int m_linesThisMinute = 0;
    std::uint64_t m_dropped = 0;
};

// Every limiter alive says how many lines it held back (the run ends: no later line would say it).
void gf_sayHeldBackLogLines();

}  // namespace vrn
