// Known folders, the single-instance lock across processes and thread names.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "core/text_files.h"
#include "platform/sys/known_folders.h"
#include "platform/sys/single_instance.h"
#include "platform/sys/thread_name.h"
#include "support/test_support.h"

namespace vrn::platform::sys {
namespace {

using test::ScopedEnv;
using test::TempDir;

TEST(KnownFolders, XdgFoldersWithHomeFallbacks) {
    ScopedEnv home("HOME", "/home/pilot");
    {
        ScopedEnv config("XDG_CONFIG_HOME", "/custom/config");
        ScopedEnv data("XDG_DATA_HOME", "/custom/data");
        EXPECT_EQ(gf_knownFolder(kCsidlAppData), "/custom/config");
        EXPECT_EQ(gf_knownFolder(kCsidlLocalAppData), "/custom/data");
        EXPECT_EQ(vrn::gf_getFolderPath(vrn::CSIDL_APPDATA), "/custom/config");
    }
    {
        ScopedEnv config("XDG_CONFIG_HOME", "");
        ScopedEnv data("XDG_DATA_HOME", "relative/ignored");
        EXPECT_EQ(gf_knownFolder(kCsidlAppData), "/home/pilot/.config");
        EXPECT_EQ(gf_knownFolder(kCsidlLocalAppData), "/home/pilot/.local/share");
        EXPECT_EQ(vrn::gf_getFolderPath(vrn::CSIDL_LOCAL_APPDATA), "/home/pilot/.local/share");
    }
    EXPECT_TRUE(gf_knownFolder(5).empty());   // a folder this platform does not have
    EXPECT_TRUE(vrn::gf_getFolderPath(40).empty());
    {
        // No usable $HOME: the password database still names one.
        ScopedEnv badHome("HOME", "not/absolute");
        EXPECT_TRUE(gf_homeFolder().is_absolute());
    }
}

TEST(SingleInstance, LockFileNames) {
    EXPECT_EQ(SingleInstanceLock::lockFileName("Local\\$Varnel$"), "Varnel.lock");
    EXPECT_EQ(SingleInstanceLock::lockFileName("$$$"), "instance.lock");
    TempDir dir;
    SingleInstanceLock lock("Local\\$Varnel$", dir / "sub");
    EXPECT_EQ(lock.lockFile(), dir / "sub" / "Varnel.lock");
    {
        ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path().string());
        EXPECT_EQ(SingleInstanceLock("Local\\$Varnel$").lockFile(), dir / "Varnel.lock");
    }
}

// Runs a second "instance" in a child process and returns what its acquire gave.
SingleInstanceLock::Result acquireInChild(const std::filesystem::path& folder) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        SingleInstanceLock second("Local\\$Varnel$", folder);
        ::_exit(static_cast<int>(second.acquire()));
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status)) throw std::runtime_error("child failed");
    return static_cast<SingleInstanceLock::Result>(WEXITSTATUS(status));
}

TEST(SingleInstance, OneInstanceAcrossProcesses) {
    TempDir dir;
    const auto folder = dir / "made-when-missing";
    {
        SingleInstanceLock first("Local\\$Varnel$", folder);
        ASSERT_EQ(first.acquire(), SingleInstanceLock::Result::Acquired);
        EXPECT_TRUE(first.held());
        EXPECT_EQ(acquireInChild(folder), SingleInstanceLock::Result::HeldElsewhere);
        // A second lock object of the same process is a second instance too.
        SingleInstanceLock same("Local\\$Varnel$", folder);
        EXPECT_EQ(same.acquire(), SingleInstanceLock::Result::HeldElsewhere);
        first.release();
        EXPECT_FALSE(first.held());
        EXPECT_EQ(acquireInChild(folder), SingleInstanceLock::Result::Acquired);
        ASSERT_EQ(first.acquire(), SingleInstanceLock::Result::Acquired);
    }   // the destructor releases
    EXPECT_EQ(acquireInChild(folder), SingleInstanceLock::Result::Acquired);
}

TEST(SingleInstance, ADeadHolderLeavesNoLockBehind) {
    TempDir dir;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        SingleInstanceLock lock("Local\\$Varnel$", dir.path());
        const char c = lock.acquire() == SingleInstanceLock::Result::Acquired ? 'y' : 'n';
        (void)::write(ready[1], &c, 1);
        ::pause();   // holds the lock until killed
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    SingleInstanceLock mine("Local\\$Varnel$", dir.path());
    EXPECT_EQ(mine.acquire(), SingleInstanceLock::Result::HeldElsewhere);
    ::kill(holder, SIGKILL);   // a crash: no release runs
    ::waitpid(holder, nullptr, 0);
    EXPECT_EQ(mine.acquire(), SingleInstanceLock::Result::Acquired);
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST(SingleInstance, NoLockFileMeansFailedNotAnotherInstance) {
    TempDir dir;
    test::writeFile(dir / "file", "x");
    SingleInstanceLock lock("Local\\$Varnel$", dir / "file");   // a file where the folder should be
    EXPECT_EQ(lock.acquire(), SingleInstanceLock::Result::Failed);
    EXPECT_FALSE(lock.held());
}

TEST(ThreadNames, LongNamesAreCutAtACharacter) {
    std::string shortName, longName, utf8Name;
    std::thread t([&] {
        EXPECT_TRUE(gf_setThreadName("Traffic Reader"));
        shortName = gf_threadName();
        EXPECT_TRUE(gf_setThreadName("SimConnect thread of Varnel"));
        longName = gf_threadName();
        EXPECT_TRUE(gf_setThreadName("Scan worker \xC3\xA9\xC3\xA9"));   // 16 bytes, the cut falls inside a character
        utf8Name = gf_threadName();
    });
    t.join();
    EXPECT_EQ(shortName, "Traffic Reader");
    EXPECT_EQ(longName, "SimConnect thre");
    EXPECT_EQ(utf8Name, "Scan worker \xC3\xA9");
}

}  // namespace
}  // namespace vrn::platform::sys
