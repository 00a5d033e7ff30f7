// Log.txt: start with the previous logs kept, the writers, and writers racing the close.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "core/exceptions.h"
#include "core/log.h"
#include "core/status_sink.h"
#include "core/time_of_week.h"
#include "display/window_state.h"
#include "support/test_support.h"

namespace vrn {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::readLinesOf;
using test::writeFile;

class LogTest : public ::testing::Test {
protected:
    void SetUp() override { gf_setWallClockForTests([] { return std::time_t{1733356800}; }); }   // Thu Dec  5 2024
    void TearDown() override {
        gf_closeLog();
        gf_setWallClockForTests({});
        // A full disk's error 46 goes to the status line: the next test finds it empty.
        gf_clearError();
        gf_clearStatus();
    }
    test::TempDir dir;
};

TEST_F(LogTest, HeaderPrefixesAndNothingOutsideTheOpenLog) {
    test::ScopedCurrentDir cwd(dir.path());
    gf_logLine("dropped before the start");
    gf_startLog();
    gf_logLine("plain");
    gf_logLineOfString("of string");
    gf_logArrowLine("arrow");
    gf_logIndentedLine("indented");
    gf_logLines({"block 1", "block 2"});
    gf_logLine("\nInformation:");   // a line feed inside the text is a line end of the system's kind too
    gf_closeLog();
    gf_logArrowLine("dropped after the close");
    EXPECT_EQ(readFile(dir / "Log.txt"),
              test::systemLines("Thu Dec  5 00:00:00 2024 (utc) Varnel version 9.4.0 for MSFS\n"
                                "plain\nof string\n===> arrow\n          indented\nblock 1\nblock 2\n\nInformation:\n"));
    EXPECT_FALSE(fs::exists(dir / "Log0.txt"));
}

TEST_F(LogTest, PreviousLogsAreKeptEvenOnAFullDiskAndOnlyAFailedOpenThrows) {
    writeFile(dir / "Log.txt", "run 3\n");
    writeFile(dir / "Log0.txt", "run 2\n");
    writeFile(dir / "Log00.txt", "run 1\n");
    const auto startAndClose = [this] {
        gf_startLog(dir / "Log.txt");
        gf_closeLog();
    };
#ifdef _WIN32
    startAndClose();   // Windows has no file size limit to stand for a full disk
#else
    // A full disk (a file size limit of one byte): keeping the old logs must not need room.
    test::withFileSizeLimit(1, startAndClose);
#endif
    EXPECT_EQ(readFile(dir / "Log00.txt"), "run 2\n");
    EXPECT_EQ(readFile(dir / "Log0.txt"), "run 3\n");
    fs::remove(dir / "Log00.txt");
    fs::remove(dir / "Log0.txt");
    gf_startLog(dir / "Log.txt");   // only Log.txt: no Log00.txt made from nothing
    EXPECT_FALSE(fs::exists(dir / "Log00.txt"));
    gf_closeLog();
    fs::remove(dir / "Log0.txt");
    writeFile(dir / "Log.txt", "run 4\n");
    fs::create_directory(dir / "Log0.txt");   // cannot be replaced: Log.txt is added to, not lost
    ASSERT_NO_THROW(gf_startLog(dir / "Log.txt"));
    gf_closeLog();
    EXPECT_EQ(readLinesOf(dir / "Log.txt").at(0), "run 4");
    fs::create_directories(dir / "sub" / "Log.txt");
    EXPECT_THROW(gf_startLog(dir / "sub" / "Log.txt"), SysErrorException);
    EXPECT_FALSE(gf_logIsOpen());
}

#ifndef _WIN32
// A disk without room (a file size limit of 0 bytes): the user is told once, with the folder, on
// the status line's error, however many lines then fail.
TEST_F(LogTest, AFullDiskIsToldOnceWithTheFolder) {
    static std::vector<std::string> errors;
    errors.clear();
    const ErrorSink previous = gf_setErrorSink([](std::string_view text) { errors.emplace_back(text); });
    test::withFileSizeLimit(0, [this] {
        gf_startLog(dir / "Log.txt");
        for (int i = 0; i < 3000; ++i) gf_logLine("a line that does not fit");
        gf_logArrowLine("flushed");
        gf_flushLog();
        gf_closeLog();
    });
    gf_setErrorSink(previous);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "46: Log.txt cannot be written (is the disk full?): free space on that disk and start Varnel "
                         "again; its folder: \"" + dir.path().string() + "\"");
    EXPECT_EQ(fs::file_size(dir / "Log.txt"), 0u);
    // Room again: the next start says nothing.
    gf_startLog(dir / "Log.txt");
    gf_logArrowLine("fits");
    gf_closeLog();
    EXPECT_EQ(errors.size(), 1u);
}
#endif

TEST_F(LogTest, ConcurrentWritersNeverInterleaveAndSurviveTheClose) {
    constexpr int kThreads = 8, kLines = 400;
    for (bool closeMeanwhile : {true, false}) {
        gf_startLog(dir / "Log.txt");
        std::atomic<int> started{0};
        std::vector<std::thread> writers;
        for (int t = 0; t < kThreads; ++t) {
            writers.emplace_back([t, &started] {
                ++started;
                const std::string text(60, static_cast<char>('a' + t));
                for (int i = 0; i < kLines; ++i) i % 3 ? gf_logIndentedLine(text) : gf_logArrowLine(text);
            });
        }
        while (closeMeanwhile && started.load() < kThreads) std::this_thread::yield();
        if (closeMeanwhile) gf_closeLog();   // lines after the close are dropped, none is cut
        for (auto& w : writers) w.join();
        gf_closeLog();
        const auto lines = readLinesOf(dir / "Log.txt");
        for (std::size_t i = 1; i < lines.size(); ++i) {
            const std::string body = lines[i].substr(lines[i].rfind("===> ", 0) == 0 ? 5 : 10);
            ASSERT_EQ(body, std::string(60, body[0])) << lines[i];
        }
        EXPECT_TRUE(closeMeanwhile || lines.size() == 1u + kThreads * kLines) << lines.size();
    }
}

// A limiter whose lines stop says its count only when asked, or as it ends: the run's end asks every
// limiter alive, and a count is said once.
TEST_F(LogTest, TheRunsEndSaysEveryLimitersHeldBackCountOnce) {
    gf_startLog(dir / "Log.txt");
    LogLimiter kept("\"kept\"", 2);
    auto gone = std::make_unique<LogLimiter>("\"gone\"", 1);
    LogLimiter quiet("\"quiet\"");
    for (int i = 0; i < 5; ++i) kept.log("kept line"), gone->log("gone line");
    quiet.log("quiet line");
    gone.reset();
    gf_sayHeldBackLogLines();
    gf_sayHeldBackLogLines();
    gf_closeLog();
    const auto lines = readLinesOf(dir / "Log.txt");
    const std::vector<std::string> expected{"kept line", "gone line", "kept line", "quiet line",
                                            "4 more \"gone\" lines were not logged",
                                            "3 more \"kept\" lines were not logged"};
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), expected);
}

// A log started anew (a restart, the next test) is not silenced by lines the last one held back:
// their count closes the old file, and every limiter opens the new one with a minute of its own.
TEST_F(LogTest, ANewLogStartsEveryLimiterAfresh) {
    gf_startLog(dir / "First.txt");
    LogLimiter limiter("\"removed\"", 2);
    for (int i = 0; i < 3; ++i) limiter.log("first log's line");
    gf_startLog(dir / "Second.txt");
    limiter.log("second log's line");
    gf_closeLog();
    const auto first = readLinesOf(dir / "First.txt");
    const auto second = readLinesOf(dir / "Second.txt");
    EXPECT_EQ(std::vector<std::string>(first.begin() + 1, first.end()),
              (std::vector<std::string>{"first log's line", "first log's line", "1 more \"removed\" line was not logged"}));
    EXPECT_EQ(std::vector<std::string>(second.begin() + 1, second.end()), std::vector<std::string>{"second log's line"});
}

}  // namespace
}  // namespace vrn
