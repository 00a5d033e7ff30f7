// Known folders, the single-instance lock across processes and thread names.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "core/text_files.h"
#include "platform/sys/known_folders.h"
#include "platform/sys/single_instance.h"
#include "platform/sys/thread_name.h"
#include "support/process.h"
#include "support/test_support.h"

namespace vrn::platform::sys {
namespace {

using test::ScopedEnv;
using test::TempDir;

#ifdef _WIN32
TEST(KnownFolders, EnvironmentFoldersWithShellFallbacks) {
    {
        ScopedEnv config("APPDATA", "C:\\custom\\config"), data("LOCALAPPDATA", "C:\\custom\\data");
        EXPECT_EQ(gf_knownFolder(kCsidlAppData), "C:\\custom\\config");
        EXPECT_EQ(vrn::gf_getFolderPath(vrn::CSIDL_LOCAL_APPDATA), "C:\\custom\\data");
    }
    ScopedEnv config("APPDATA", ""), data("LOCALAPPDATA", "relative\\ignored");
    for (const int csidl : {kCsidlAppData, kCsidlLocalAppData}) EXPECT_TRUE(gf_knownFolder(csidl).is_absolute()) << csidl;
    EXPECT_NE(gf_knownFolder(kCsidlAppData), gf_knownFolder(kCsidlLocalAppData));
    EXPECT_TRUE(gf_knownFolder(5).empty());   // a folder the program never asks for
    EXPECT_TRUE(gf_runtimeFolder().empty());
}
#else
TEST(KnownFolders, XdgFoldersWithHomeFallbacks) {
    ScopedEnv home("HOME", "/home/pilot");
    {
        ScopedEnv config("XDG_CONFIG_HOME", "/custom/config"), data("XDG_DATA_HOME", "/custom/data");
        EXPECT_EQ(gf_knownFolder(kCsidlAppData), "/custom/config");
        EXPECT_EQ(vrn::gf_getFolderPath(vrn::CSIDL_LOCAL_APPDATA), "/custom/data");
    }
    {
        ScopedEnv config("XDG_CONFIG_HOME", ""), data("XDG_DATA_HOME", "relative/ignored");
        EXPECT_EQ(gf_knownFolder(kCsidlAppData), "/home/pilot/.config");
        EXPECT_EQ(vrn::gf_getFolderPath(vrn::CSIDL_LOCAL_APPDATA), "/home/pilot/.local/share");
    }
    EXPECT_TRUE(gf_knownFolder(5).empty());   // a folder this platform does not have
    ScopedEnv badHome("HOME", "not/absolute");
    EXPECT_TRUE(gf_homeFolder().is_absolute()) << "the password database still names one";
}
#endif

// The child side of the tests below: this test program started again, told by the environment to
// take the lock in a folder and either exit with what acquire gave or hold it until killed.
TEST(SingleInstanceChild, DISABLED_AcquireAndReport) {
    const char* folder = std::getenv("VARNEL_LOCK_CHILD_FOLDER");
    ASSERT_NE(folder, nullptr) << "only as a child of the tests below";
    SingleInstanceLock lock("Local\\$Varnel$", folder);
    const auto result = lock.acquire();
    if (const char* ready = std::getenv("VARNEL_LOCK_CHILD_READY")) {
        test::writeFile(ready, result == SingleInstanceLock::Result::Acquired ? "y" : "n");
        for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));   // holds the lock until killed
    }
    std::_Exit(static_cast<int>(result));
}

std::unique_ptr<test::ChildProcess> startChild(const std::filesystem::path& folder, const std::string& ready = {}) {
    test::ChildProcess::Options options;
    options.env = {"VARNEL_LOCK_CHILD_FOLDER=" + folder.string()};
    if (!ready.empty()) options.env.push_back("VARNEL_LOCK_CHILD_READY=" + ready);
    return std::make_unique<test::ChildProcess>(test::currentProgram(),
                                                std::vector<std::string>{"--gtest_also_run_disabled_tests", "--gtest_filter=SingleInstanceChild.*"}, options);
}

// Runs a second "instance" in a child process and returns what its acquire gave.
SingleInstanceLock::Result acquireInChild(const std::filesystem::path& folder) {
    const auto status = startChild(folder)->waitFor(120);
    return static_cast<SingleInstanceLock::Result>(status.value_or(-1));
}

TEST(SingleInstance, OneInstanceAcrossProcesses) {
    TempDir dir;
    const auto folder = dir / "made-when-missing";
    {
        SingleInstanceLock first("Local\\$Varnel$", folder);
#ifndef _WIN32   // on Windows the lock is a named mutex
        EXPECT_EQ(first.lockFile(), folder / "Varnel.lock");
#endif
        ASSERT_EQ(first.acquire(), SingleInstanceLock::Result::Acquired);
        EXPECT_EQ(acquireInChild(folder), SingleInstanceLock::Result::HeldElsewhere);
        // A second lock object of the same process is a second instance too.
        SingleInstanceLock same("Local\\$Varnel$", folder);
        EXPECT_EQ(same.acquire(), SingleInstanceLock::Result::HeldElsewhere);
        first.release();
        EXPECT_EQ(acquireInChild(folder), SingleInstanceLock::Result::Acquired);
        ASSERT_EQ(first.acquire(), SingleInstanceLock::Result::Acquired);
    }   // the destructor releases
    EXPECT_EQ(acquireInChild(folder), SingleInstanceLock::Result::Acquired);
    // No lock file: failed, not another instance.
    test::writeFile(dir / "file", "x");
    SingleInstanceLock lock("Local\\$Varnel$", dir / "file");
    EXPECT_EQ(lock.acquire(), SingleInstanceLock::Result::Failed);
    EXPECT_FALSE(lock.held());
}

TEST(SingleInstance, ADeadHolderLeavesNoLockBehind) {
    TempDir dir;
    const auto holder = startChild(dir.path(), (dir / "ready").string());
    ASSERT_TRUE(test::eventually([&] { return test::readFile(dir / "ready") == "y"; }, 120));
    SingleInstanceLock mine("Local\\$Varnel$", dir.path());
    EXPECT_EQ(mine.acquire(), SingleInstanceLock::Result::HeldElsewhere);
    holder->kill();   // a crash: no release runs
    EXPECT_EQ(mine.acquire(), SingleInstanceLock::Result::Acquired);
}

TEST(ThreadNames, LongNamesAreCutAtACharacter) {
    std::thread([] {
        // The third name has 16 bytes: the cut falls inside a character.
        for (const auto& [name, kept] : {std::pair{"Traffic Reader", "Traffic Reader"}, {"SimConnect thread of Varnel", "SimConnect thre"},
                                         {"Scan worker \xC3\xA9\xC3\xA9", "Scan worker \xC3\xA9"}}) {
            EXPECT_TRUE(gf_setThreadName(name));
            EXPECT_EQ(gf_threadName(), kept);
        }
    }).join();
}

}  // namespace
}  // namespace vrn::platform::sys
