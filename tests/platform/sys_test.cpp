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

// Runs a second "instance" in a child process and returns what its acquire gave.
SingleInstanceLock::Result acquireInChild(const std::filesystem::path& folder) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        SingleInstanceLock second("Local\\$Varnel$", folder);
        ::_exit(static_cast<int>(second.acquire()));
    }
    int status = -1;
    ::waitpid(pid, &status, 0);
    return static_cast<SingleInstanceLock::Result>(WEXITSTATUS(status));
}

TEST(SingleInstance, OneInstanceAcrossProcesses) {
    TempDir dir;
    const auto folder = dir / "made-when-missing";
    {
        SingleInstanceLock first("Local\\$Varnel$", folder);
        EXPECT_EQ(first.lockFile(), folder / "Varnel.lock");
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
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        SingleInstanceLock lock("Local\\$Varnel$", dir.path());
        (void)::write(ready[1], lock.acquire() == SingleInstanceLock::Result::Acquired ? "y" : "n", 1);
        ::pause();   // holds the lock until killed
        ::_exit(0);
    }
    char c = 0;
    ASSERT_TRUE(::read(ready[0], &c, 1) == 1 && c == 'y');
    SingleInstanceLock mine("Local\\$Varnel$", dir.path());
    EXPECT_EQ(mine.acquire(), SingleInstanceLock::Result::HeldElsewhere);
    ::kill(holder, SIGKILL);   // a crash: no release runs
    ::waitpid(holder, nullptr, 0);
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
